// Plain polygon faces: our ear clipping (through the polygon converter) against GLU's tessellator on the same
// concave star-shaped outlines of 100 to 2,000 points.
#include <benchmark/benchmark.h>

#include "geometry/polygon_to_primitive.h"
#include "glu_tessellation.h"
#include "tests/geometry/outline_samples.h"

namespace {

std::vector<OfuVector3> outline(int n) { return kz::test::random_star(n, 17); }

void BM_EarClipConverter(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    COfuPolygon polygon;
    for (const OfuVector3& p : outline(n)) polygon.points.Add(p);
    int triangles = 0;
    for (auto _ : state) {
        CO3duPolygonList list;
        CO3duPolygonToPrimitive::ConvertSolidPolygon(&polygon, list, 0, 0);
        triangles = list.GetSize() ? list[0].indices.GetSize() : 0;
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["triangles"] = triangles;
}

void BM_EarClipGluTessellator(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::vector<OfuVector3>> loops = {outline(n)};
    kz::bench::GluTessellator glu;
    int triangles = 0;
    for (auto _ : state) {
        triangles = glu.run(loops);
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["triangles"] = triangles;
}

}  // namespace

BENCHMARK(BM_EarClipConverter)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EarClipGluTessellator)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMicrosecond);
