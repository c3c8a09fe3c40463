// Convex splitting of concave caps (the face makers' triangulate_polygon) against GLU's tessellator on the same
// 2,000-point outlines: a regular gear and a star of random radii (a reflex corner every other point) and a comb.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "app/foundation/convex_split.h"
#include "glu_tessellation.h"

namespace {

constexpr double kPi = 3.141592653589793;

// A comb of n points: teeth on a bar, so most diagonals from a reflex corner leave the outline.
std::vector<OfuVector3> comb(int n) {
    const int teeth = n / 4;
    std::vector<OfuVector3> out = {{0, 0, 0}, {2.0 * teeth - 1, 0, 0}};
    for (int k = teeth - 1; k >= 0; --k) {
        out.emplace_back(2.0 * k + 1, 50, 0);
        out.emplace_back(2.0 * k, 50, 0);
        if (k > 0) out.emplace_back(2.0 * k, 1, 0), out.emplace_back(2.0 * k - 1, 1, 0);
    }
    return out;
}

std::vector<OfuVector3> cap(int n, int kind) {
    if (kind == 2) return comb(n);
    const bool random_radii = kind == 1;
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> r(300, 1000);
    std::vector<OfuVector3> out;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * kPi * k / n, rad = random_radii ? r(rng) : (k % 2 ? 600 : 1000);
        out.emplace_back(rad * std::cos(a), rad * std::sin(a), 0.0);
    }
    return out;
}

void BM_ConvexSplit(benchmark::State& state) {
    const auto outline = cap(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<double> flat;
    for (const OfuVector3& p : outline) flat.insert(flat.end(), {p.x, p.y, p.z});
    int pieces = 0;
    for (auto _ : state) {
        kz::foundation::PolygonPiece* chain =
            kz::foundation::triangulate_polygon(flat.data(), static_cast<int>(outline.size()), nullptr, nullptr);
        pieces = 0;
        for (auto* p = chain; p; p = p->next) ++pieces;
        kz::foundation::free_polygon_chain(chain);
        benchmark::DoNotOptimize(pieces);
    }
    state.counters["pieces"] = pieces;
}

void BM_GluTessellator(benchmark::State& state) {
    const std::vector<std::vector<OfuVector3>> loops = {
        cap(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))};
    kz::bench::GluTessellator glu;
    int triangles = 0;
    for (auto _ : state) {
        triangles = glu.run(loops);
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["triangles"] = triangles;
}

// Second argument: 0 the regular gear, 1 random radii, 2 a comb.
BENCHMARK(BM_ConvexSplit)
    ->Args({200, 0})
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({2000, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GluTessellator)
    ->Args({200, 0})
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({2000, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace
