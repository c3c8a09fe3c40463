// Rebuilding the stencil shadow volumes of a closed mesh of 60k and 200k triangles (a bumpy sphere, lit from an
// oblique direction): outline volumes found through the hash of edges plus the walls the prisms leave once shared
// ones cancel, against those walls alone.
// The volumes' memory and the process's peak resident size are reported with each run.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>

#include "geometry/vector_math.h"
#include "modeller/shadow/volumes.h"
#include "shadow_volume_bytes.h"

namespace {

// A sphere of `rings` x 2 `rings` quads, each two indexed triangles, as the one set of a shape.
CO3duPrimitive sphere(int triangles) {
    const int rings = static_cast<int>(std::sqrt(triangles / 4.0));
    const int segments = 2 * rings;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material.diffuse = {1, 1, 1, 1};
    set.vertices.SetSize((rings + 1) * segments);
    int v = 0;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const double phi = M_PI * r / rings, theta = 2 * M_PI * s / segments;
            const double radius = 50 + 2 * std::sin(5 * theta) * std::sin(3 * phi);
            set.vertices[v++].position = OfuVector3(radius * std::sin(phi) * std::cos(theta),
                                                    radius * std::sin(phi) * std::sin(theta), radius * std::cos(phi));
        }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * segments + s, b = r * segments + (s + 1) % segments, c = a + segments, d = b + segments;
            set.indices.Add({a, c, b});
            set.indices.Add({b, c, d});
        }
    CO3duPrimitive shape;
    shape.sets.Add(set);
    return shape;
}

void rebuild(benchmark::State& state, int accuracy) {
    CO3duGLEntity entity;
    entity.ConvertSets(sphere(static_cast<int>(state.range(0))));
    const CO3duGLTrianglePolygons set = entity.set(0);
    OfuMatrix4x4 to_light;
    MakePlaneToXYMatrix(OfuVector3(0.3, -0.5, 0.8), OfuVector3(0, 0, 0), to_light);
    O3duShadowSettings settings;
    settings.accuracy = accuracy;
    settings.extrusion = 1000;
    double bytes = 0;
    for (auto _ : state) {
        CO3duShadowVolumes outlines, prisms;
        add_shadow_volumes(set, to_light, settings, outlines, prisms);
        bytes = double(kz_bench::volume_bytes(outlines) + kz_bench::volume_bytes(prisms));
        benchmark::DoNotOptimize(prisms.corners.data());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["triangles"] = double(set.element_count());
    state.counters["volume_MB"] = bytes / 1e6;
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1e3;
}

void BM_RebuildOutlinesAndPrisms(benchmark::State& state) { rebuild(state, 1); }
void BM_RebuildPrismsOnly(benchmark::State& state) { rebuild(state, 0); }

BENCHMARK(BM_RebuildOutlinesAndPrisms)->Arg(60000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildPrismsOnly)->Arg(60000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
