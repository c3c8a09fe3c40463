// Appending records through the exported writer (with its free-row hint, and with the hint dropped before every
// call, so that each append scans from row 0), and picks on a drawing of one million rows.
#include <benchmark/benchmark.h>

#include <random>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/zolt_exports.h"

namespace {
using namespace kz::drawing2d;

void BM_AppendLinesExported(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        drawing_handle h = zolt_open();
        for (int i = 0; i < n; ++i) benchmark::DoNotOptimize(zolt_line_set(h, 0, i, 0, i, 100));
        zolt_close(h);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AppendLinesExported)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_AppendLinesScanFromRowZero(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        drawing_handle h = zolt_open();
        for (int i = 0; i < n; ++i) {
            zolt_lock(h);  // a caller's lock drops the hint
            zolt_unlock(h);
            benchmark::DoNotOptimize(zolt_line_set(h, 0, i, 0, i, 100));
        }
        zolt_close(h);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AppendLinesScanFromRowZero)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One million rows: lines, arcs and texts spread over a square.
drawing_handle million_rows() {
    static drawing_handle h = [] {
        drawing_handle d = zolt_open();
        drawing_context* ctx = zolt_lock(d);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(0, 1e6);
        while (find_data_end(ctx, ctx->data_end) < 1000000) {
            double x = u(rng), y = u(rng);
            switch (rng() % 8) {
            case 0: xlum_en_set(ctx, 0, x, y, 50, 0, 270); break;
            case 1: xlum_moji_set(ctx, 0, "ROOM", x, y, 0, 40, 60, 10, 0, 0); break;
            default: xlum_line_set(ctx, 0, x, y, x + 300, y + 200); break;
            }
        }
        zolt_unlock(d);
        return d;
    }();
    return h;
}

void BM_PickOnMillionRows(benchmark::State& state) {
    drawing_handle h = million_rows();
    int32_t kinds[16], rows[16];
    double dists[16];
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(0, 1e6);
    for (auto _ : state) benchmark::DoNotOptimize(zolt_gsearch(h, 0, u(rng), u(rng), 500, 16, kinds, rows, dists));
}
BENCHMARK(BM_PickOnMillionRows)->Unit(benchmark::kMillisecond);

void BM_NearestPointOnMillionRows(benchmark::State& state) {
    drawing_handle h = million_rows();
    int32_t kinds[4], rows[4];
    double dists[4], xs[4], ys[4];
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(0, 1e6);
    for (auto _ : state)
        benchmark::DoNotOptimize(zolt_search_point(h, 0, u(rng), u(rng), 500, 4, kinds, rows, dists, xs, ys));
}
BENCHMARK(BM_NearestPointOnMillionRows)->Unit(benchmark::kMillisecond);

}  // namespace
