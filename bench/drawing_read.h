// A drawing file read into a new drawing (once per iteration, as the drawing-file benchmarks measure reading).
#pragma once
#include <benchmark/benchmark.h>

#include <string>

#include "drawing2d/drawing_context.h"
#include "drawing2d/drawing_files.h"

// One read of the file into a new drawing, closed again.
inline void read_drawing_once(benchmark::State& state, const std::string& path) {
    using namespace kz::drawing2d;
    drawing_handle h = zolt_open();
    drawing_context* ctx = zolt_lock(h);
    if (xlum_read(ctx, path.c_str(), 0) != 1) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(ctx->data_end);
    zolt_unlock(h);
    zolt_close(h);
}

inline void read_drawing_each_iteration(benchmark::State& state, const std::string& path) {
    for (auto _ : state) read_drawing_once(state, path);
}
