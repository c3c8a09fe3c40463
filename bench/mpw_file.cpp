// MPW files of two million rows: reading into a drawing against fread of the same file into seven arrays plus the
// passes a read must make (dropping degenerate arcs, the layer-used flags, finding attribute records, packing, room
// to grow); writing against a plain write of the same bytes, with and without the flush to disk that a safe
// replacement ends with.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "drawing2d/drawing_files.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_read.h"
#include "platform/file_system.h"

namespace {
using namespace kz::drawing2d;
constexpr int32_t kRows = 2000000;

std::string bench_path(const char* name) { return kz::platform::temp_path() + name; }

// Two million rows of lines, arcs and texts, written once; the drawing stays open for the write benchmarks.
drawing_handle sample_drawing() {
    static drawing_handle h = [] {
        drawing_handle d = zolt_open();
        // Without a client lock, so that appends keep their free-row hint: two million appends must not each
        // scan the rows from the start.
        auto* ctx = static_cast<drawing_context*>(kz::crt::global_lock(d));
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(0, 1e6);
        while (find_data_end(ctx, ctx->data_end) < kRows) {
            double x = u(rng), y = u(rng);
            switch (rng() % 8) {
            case 0: xlum_en_set(ctx, 0, x, y, 50, 0, 270); break;
            case 1: xlum_moji_set(ctx, 0, "ROOM 101", x, y, 0, 40, 60, 10, 0, 0); break;
            default: xlum_line_set(ctx, 0, x, y, x + 300, y + 200); break;
            }
        }
        xlum_write(ctx, bench_path("kz_bench_read.mpw").c_str(), 0, 0);
        kz::crt::global_unlock(d);
        return d;
    }();
    return h;
}

void BM_MpwRead(benchmark::State& state) {
    sample_drawing();
    read_drawing_each_iteration(state, bench_path("kz_bench_read.mpw"));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_MpwRead)->Unit(benchmark::kMillisecond);

// The peer: the same file into seven arrays, then the passes over the rows that a read of a drawing makes.
void BM_FreadSevenArraysAndPasses(benchmark::State& state) {
    sample_drawing();
    const std::string path = kz::platform::to_native_path(bench_path("kz_bench_read.mpw"));
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fseek(f, 0, SEEK_SET);
        const std::size_t n = static_cast<std::size_t>(size - 4096) / 28;
        unsigned char header[4096];
        std::size_t got = std::fread(header, 1, sizeof header, f);
        std::unique_ptr<int32_t[]> c[7];
        for (auto& column : c) {
            column = std::make_unique_for_overwrite<int32_t[]>(n + 5000 + 1501);
            got += std::fread(column.get(), 4, n, f);
        }
        std::fclose(f);
        int32_t layers[256] = {};
        std::size_t texts = 0, write = 0;
        for (std::size_t r = 0; r < n; ++r) {
            const int32_t code = c[0][r] & 0xFFFF, type = (c[0][r] >> 8) & 0xFF;
            if (static_cast<int16_t>(code) <= 0) continue;
            if (type == 3 && c[5][r + 1] == c[6][r + 1]) c[0][r] = c[0][r + 1] = 0;  // degenerate arcs
            layers[code & 0xFF] = 1;                                                 // layer-used flags
            if ((type == 5 || type == 6) && (c[1][r + 2] & 0xFF) == '<') ++texts;    // attribute records
        }
        for (std::size_t r = 0; r < n; ++r)  // packing
            if ((c[0][r] & 0xFFFF) != 0) {
                for (auto& column : c) column[write] = column[r];
                ++write;
            }
        benchmark::DoNotOptimize(got + texts + write + layers[1]);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FreadSevenArraysAndPasses)->Unit(benchmark::kMillisecond);

void BM_MpwWrite(benchmark::State& state) {
    drawing_handle h = sample_drawing();
    const std::string path = bench_path("kz_bench_write.mpw");
    for (auto _ : state) {
        drawing_context* ctx = zolt_lock(h);
        if (xlum_write(ctx, path.c_str(), 0, 0) != 1) state.SkipWithError("write failed");
        zolt_unlock(h);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_MpwWrite)->Unit(benchmark::kMillisecond);

// The peer: the bytes of the written file put back in one plain write (then, as the safe write does, flushed).
void plain_write(benchmark::State& state, bool flush) {
    sample_drawing();
    std::string bytes;
    kz::platform::read_whole_file(bench_path("kz_bench_read.mpw"), &bytes);
    const std::string path = kz::platform::to_native_path(bench_path("kz_bench_plain.mpw"));
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fflush(f);
        if (flush) fsync(fileno(f));
        std::fclose(f);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
void BM_PlainWrite(benchmark::State& state) { plain_write(state, false); }
void BM_PlainWriteFlushed(benchmark::State& state) { plain_write(state, true); }
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteFlushed)->Unit(benchmark::kMillisecond);

}  // namespace
