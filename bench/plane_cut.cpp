// The plane cut of a sphere of about 100k triangles through its middle, with the heap's peak during the cut;
// beside it the same primitive's copy, the floor any cut in place pays.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "geometry/math_primitive.h"

namespace {

std::atomic<long long> live_bytes{0};
std::atomic<long long> peak_bytes{0};

void note_allocation(void* p) {
    if (!p) return;
    const long long now = live_bytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = peak_bytes.load();
    while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {}
}

}  // namespace

// Every heap block of the program is counted, so the peak of one call is its own working memory.
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    note_allocation(p);
    return p;
}
void operator delete(void* p) noexcept {
    if (p) live_bytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

CO3duPrimitive sphere(int bands, int steps) {
    CO3duPrimitive primitive;
    primitive.model_matrix = identity_matrix();
    primitive.sets.Add(CO3duTrianglePolys());
    CO3duMathPrimitive::MakeKeiisenKyu(primitive.sets[0], bands, steps, 1000.0, 0.0, nullptr);
    return primitive;
}

void BM_CutPrimitiveToPlane(benchmark::State& state) {
    const CO3duPrimitive whole = sphere(160, 320);  // 2 * 160 * 320 - 2 strip triangles
    const OfuVector3 points[3] = {{0, 0, 123.0}, {1, 0, 123.0}, {1, 1, 123.0}};
    long long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CO3duPrimitive cut = whole;
        const long long before = live_bytes.load();
        peak_bytes = before;
        state.ResumeTiming();
        CO3duMathPrimitive::CutPrimitiveToPlane(cut, points, _OfuMaterial(), 0, 0.0, 0.0);
        peak = std::max(peak, peak_bytes.load() - before);
        benchmark::DoNotOptimize(cut.sets.GetSize());
    }
    state.counters["triangles"] = 2.0 * 160 * 320 - 2;
    state.counters["peak_MiB"] = peak / 1048576.0;
    state.counters["input_MiB"] = 2.0 * 160 * 320 * sizeof(_O3duVertex) / 1048576.0;
}

void BM_CopyPrimitive(benchmark::State& state) {
    const CO3duPrimitive whole = sphere(160, 320);
    for (auto _ : state) {
        CO3duPrimitive copy = whole;
        benchmark::DoNotOptimize(copy.sets.GetSize());
    }
}

}  // namespace

BENCHMARK(BM_CutPrimitiveToPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyPrimitive)->Unit(benchmark::kMillisecond);
