// Holed polygon faces: our holed conversion (Delaunay with forced loop edges) against GLU's tessellator on the
// same outline with four holes, 100 to 2,000 points in all.
#include <benchmark/benchmark.h>

#include "geometry/hole_polygon_to_primitive.h"
#include "glu_tessellation.h"
#include "tests/geometry/outline_samples.h"

namespace {

// Half the points on a wavy outline, the rest on four round holes.
std::vector<std::vector<OfuVector3>> loops(int n) {
    std::vector<std::vector<OfuVector3>> out = {kz::test::star(n / 2, 10.0, 9.0)};
    const double at[4][2] = {{-4, -4}, {4, -4}, {4, 4}, {-4, 4}};
    for (const auto& c : at) out.push_back(kz::test::regular_polygon(n / 8, 2.0, c[0], c[1]));
    return out;
}

void BM_HoleMeshConverter(benchmark::State& state) {
    const auto input = loops(static_cast<int>(state.range(0)));
    COfuHolePolygon polygon;
    for (const OfuVector3& p : input[0]) polygon.points.Add(p);
    for (size_t h = 1; h < input.size(); ++h) {
        COfuPolygon hole;
        for (const OfuVector3& p : input[h]) hole.points.Add(p);
        polygon.holes.Add(hole);
    }
    int triangles = 0, vertices = 0;
    for (auto _ : state) {
        CO3duPolygonList list;
        CO3duHolePolygonToPrimitive::ConvertSolidHolePolygon(&polygon, list, 0, 0);
        triangles = list.GetSize() ? list[0].indices.GetSize() : 0;
        vertices = list.GetSize() ? list[0].vertices.GetSize() : 0;
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["triangles"] = triangles;
    state.counters["vertices"] = vertices;
}

void BM_HoleMeshGluTessellator(benchmark::State& state) {
    const auto input = loops(static_cast<int>(state.range(0)));
    kz::bench::GluTessellator glu;
    int triangles = 0;
    for (auto _ : state) {
        triangles = glu.run(input);
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["triangles"] = triangles;
}

}  // namespace

BENCHMARK(BM_HoleMeshConverter)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoleMeshGluTessellator)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMicrosecond);
