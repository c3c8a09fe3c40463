// DXF import of a 100,000-entity file of about 17 MB (lines, arcs, circles, polylines with bulges, texts) and of a
// file of 10,000 block references, against dxflib's parser with an adapter that only counts, and against ezdxf
// (a separate Python process, so its figure includes the interpreter's start of about a tenth of a second). A file
// of a million lines is imported with the heap's peak counted, against the same lines appended straight to the rows;
// a file of ten blocks nested ten inserts deep, up to the import's budget of records, against as many lines
// appended to the rows.
#include <benchmark/benchmark.h>
#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "drawing2d/drawing_files.h"
#include "drawing2d/dxf_files.h"
#include "drawing2d/row_store.h"
#include "drawing_read.h"
#include "platform/file_system.h"
#include "platform/report.h"

// Every block of the C heap is counted (the rows are calloc'd and realloc'd), so the peak of one import is all it
// held at once. Under AddressSanitizer, which owns the heap, nothing is counted.
#ifndef __SANITIZE_ADDRESS__
namespace {
std::atomic<long long> live_bytes{0};
std::atomic<long long> peak_bytes{0};

void note(void* p, long long sign) {
    if (!p) return;
    const long long now = live_bytes += sign * static_cast<long long>(malloc_usable_size(p));
    long long peak = peak_bytes.load();
    while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {}
}
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    void* p = __libc_malloc(n);
    note(p, 1);
    return p;
}
void* calloc(std::size_t count, std::size_t n) {
    void* p = __libc_calloc(count, n);
    note(p, 1);
    return p;
}
// A block that moves is counted twice until the old one goes: the copy needs both.
void* realloc(void* old, std::size_t n) {
    const long long before = old ? static_cast<long long>(malloc_usable_size(old)) : 0;
    void* p = __libc_realloc(old, n);
    if (!p) {
        if (n == 0) live_bytes -= before;
        return p;
    }
    note(p, 1);
    live_bytes -= before;
    return p;
}
void* reallocarray(void* old, std::size_t count, std::size_t n) {
    std::size_t total;
    if (__builtin_mul_overflow(count, n, &total)) return nullptr;
    return realloc(old, total);
}
void* memalign(std::size_t alignment, std::size_t n) {
    void* p = __libc_memalign(alignment, n);
    note(p, 1);
    return p;
}
void* aligned_alloc(std::size_t alignment, std::size_t n) { return memalign(alignment, n); }
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    void* p = memalign(alignment, n);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
void* valloc(std::size_t n) { return memalign(4096, n); }
void* pvalloc(std::size_t n) { return memalign(4096, (n + 4095) & ~std::size_t{4095}); }
void free(void* p) {
    if (p) live_bytes -= static_cast<long long>(malloc_usable_size(p));
    __libc_free(p);
}
}
#endif

namespace {
using namespace kz::drawing2d;

#ifndef __SANITIZE_ADDRESS__
// Runs `step` and gives the heap's peak during it above what was held before.
template <class F>
long long heap_peak_of(F step) {
    const long long before = live_bytes.load();
    peak_bytes = before;
    step();
    return peak_bytes.load() - before;
}
#else
template <class F>
long long heap_peak_of(F step) {
    step();
    return 0;
}
#endif

std::string bench_path(const char* name) { return kz::platform::temp_path() + name; }
std::string native(const std::string& p) { return kz::platform::to_native_path(p); }

void entity(std::string& out, const char* kind, int handle, int layer) {
    char head[160];
    std::snprintf(head, sizeof head, "  0\n%s\n  5\n%X\n100\nAcDbEntity\n  8\nLAYER%d\n  6\nCONTINUOUS\n 62\n%6d\n",
                  kind, handle + 0x100, layer, 1 + handle % 7);  // handle 0 is no handle
    out += head;
}

void pair(std::string& out, int code, double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%3d\n%.6f\n", code, v);
    out += b;
}

std::string header() {
    return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$LIMMIN\n 10\n0.0\n 20\n0.0\n  9\n$LIMMAX\n"
           " 10\n100000.0\n 20\n100000.0\n  0\nENDSEC\n";
}

// The large file, written once.
const std::string& large_file() {
    static const std::string path = [] {
        std::string out = header() + "  0\nSECTION\n  2\nENTITIES\n";
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> u(0, 100000);
        for (int i = 0; i < 100000; ++i) {
            const double x = u(rng), y = u(rng);
            const int kind = i % 20;
            if (kind < 12) {
                entity(out, "LINE", i, i % 30);
                for (int c : {10, 20, 30}) pair(out, c, c == 30 ? 0 : c == 10 ? x : y);
                for (int c : {11, 21, 31}) pair(out, c, c == 31 ? 0 : c == 11 ? x + 500 : y + 300);
            } else if (kind < 15) {
                entity(out, "ARC", i, i % 30);
                pair(out, 10, x), pair(out, 20, y), pair(out, 30, 0), pair(out, 40, 250);
                pair(out, 50, 30), pair(out, 51, 300);
            } else if (kind < 16) {
                entity(out, "CIRCLE", i, i % 30);
                pair(out, 10, x), pair(out, 20, y), pair(out, 30, 0), pair(out, 40, 120);
            } else if (kind < 18) {
                entity(out, "LWPOLYLINE", i, i % 30);
                out += "100\nAcDbPolyline\n 90\n     5\n 70\n     1\n";
                for (int v = 0; v < 5; ++v) {
                    pair(out, 10, x + 100 * v), pair(out, 20, y + (v % 2) * 80);
                    if (v % 2) pair(out, 42, 0.4);
                }
            } else {
                entity(out, "TEXT", i, i % 30);
                pair(out, 10, x), pair(out, 20, y), pair(out, 30, 0), pair(out, 40, 250);
                out += "  1\nROOM LABEL\n 72\n     1\n";
                pair(out, 11, x), pair(out, 21, y), pair(out, 31, 0);
            }
        }
        out += "  0\nENDSEC\n  0\nEOF\n";
        const std::string p = bench_path("kz_bench_large.dxf");
        kz::platform::write_whole_file(p, out);
        return p;
    }();
    return path;
}

// 10,000 references to a block of twenty entities, some rotated and mirrored.
const std::string& insert_file() {
    static const std::string path = [] {
        std::string out = header() + "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  8\n0\n  2\nCHAIR\n 70\n     0\n";
        pair(out, 10, 0), pair(out, 20, 0), pair(out, 30, 0);
        for (int i = 0; i < 20; ++i) {
            entity(out, i % 4 ? "LINE" : "ARC", 100 + i, 0);
            pair(out, 10, i * 10), pair(out, 20, 0), pair(out, 30, 0);
            if (i % 4) {
                pair(out, 11, i * 10 + 5), pair(out, 21, 40), pair(out, 31, 0);
            } else {
                pair(out, 40, 8), pair(out, 50, 0), pair(out, 51, 180);
            }
        }
        out += "  0\nENDBLK\n  8\n0\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n";
        for (int i = 0; i < 10000; ++i) {
            entity(out, "INSERT", 1000 + i, i % 10);
            out += "  2\nCHAIR\n";
            pair(out, 10, (i % 100) * 900), pair(out, 20, (i / 100) * 900), pair(out, 30, 0);
            pair(out, 41, i % 7 ? 1 : -1), pair(out, 42, 1), pair(out, 50, (i % 8) * 45);
        }
        out += "  0\nENDSEC\n  0\nEOF\n";
        const std::string p = bench_path("kz_bench_inserts.dxf");
        kz::platform::write_whole_file(p, out);
        return p;
    }();
    return path;
}

struct Counter : DL_CreationAdapter {
    long n = 0;
    void addLine(const DL_LineData&) override { ++n; }
    void addArc(const DL_ArcData&) override { ++n; }
    void addCircle(const DL_CircleData&) override { ++n; }
    void addVertex(const DL_VertexData&) override { ++n; }
    void addText(const DL_TextData&) override { ++n; }
    void addInsert(const DL_InsertData&) override { ++n; }
};

void read_dxflib(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        Counter counter;
        DL_Dxf dxf;
        if (!dxf.in(native(path), &counter)) state.SkipWithError("dxflib failed");
        benchmark::DoNotOptimize(counter.n);
    }
}

void read_ezdxf(benchmark::State& state, const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c 'import sys, ezdxf; ezdxf.readfile(sys.argv[1])' '" + native(path) + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("ezdxf failed");
}

constexpr int kMillion = 1000000;

// A million LINE entities of a layer each, in R12's few pairs (about 70 MB).
const std::string& million_lines_file() {
    static const std::string path = [] {
        std::string out = header() + "  0\nSECTION\n  2\nENTITIES\n";
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> u(0, 100000);
        char b[200];
        for (int i = 0; i < kMillion; ++i) {
            const double x = u(rng), y = u(rng);
            std::snprintf(b, sizeof b, "  0\nLINE\n  8\n%d\n 10\n%.3f\n 20\n%.3f\n 11\n%.3f\n 21\n%.3f\n", i % 30, x, y,
                          x + 40, y + 25);
            out += b;
        }
        out += "  0\nENDSEC\n  0\nEOF\n";
        const std::string p = bench_path("kz_bench_million_lines.dxf");
        kz::platform::write_whole_file(p, out);
        return p;
    }();
    return path;
}

void BM_MillionLinesOurs(benchmark::State& state) {
    const std::string& path = million_lines_file();
    long long peak = 0;
    for (auto _ : state) peak = std::max(peak, heap_peak_of([&] { read_drawing_once(state, path); }));
    state.counters["peak_bytes_per_line"] = static_cast<double>(peak) / kMillion;
}

// The floor: the same number of lines appended to a new drawing's rows, without any file.
void BM_MillionLinesRowsOnly(benchmark::State& state) {
    long long peak = 0;
    for (auto _ : state)
        peak = std::max(peak, heap_peak_of([&] {
                            drawing_handle h = zolt_open();
                            drawing_context* ctx = zolt_lock(h);
                            // Each from the row before, as an import appends.
                            for (int32_t i = 0, row = 0; i < kMillion; ++i)
                                row = xlum_line_set_d(ctx, nullptr, -row, i % 30, 1, 1, 1, i, 0, i + 40, 25, 0);
                            benchmark::DoNotOptimize(ctx->data_end);
                            zolt_unlock(h);
                            zolt_close(h);
                        }));
    state.counters["peak_bytes_per_line"] = static_cast<double>(peak) / kMillion;
}

// Blocks B0 .. B9, each a line and ten inserts of the next, all on layer "0" as a block's entities mostly are,
// inserted once: a billion lines, of which the import makes its budget's records and stops. Nearly all of the
// work is the entities' own, so the layer each one names is found again and again.
const std::string& nested_inserts_file() {
    static const std::string path = [] {
        std::string out = header() + "  0\nSECTION\n  2\nBLOCKS\n";
        for (int b = 0; b < 10; ++b) {
            out += "  0\nBLOCK\n  8\n0\n  2\nB" + std::to_string(b) + "\n 70\n     0\n 10\n0.0\n 20\n0.0\n";
            out += "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 11\n9.0\n 21\n0.0\n";
            for (int i = 0; b < 9 && i < 10; ++i)
                out += "  0\nINSERT\n  8\n0\n  2\nB" + std::to_string(b + 1) + "\n 10\n" + std::to_string(i) +
                       "\n 20\n1.0\n";
            out += "  0\nENDBLK\n  8\n0\n";
        }
        out += "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  8\n0\n  2\nB0\n 10\n0.0\n 20\n0.0\n";
        out += "  0\nENDSEC\n  0\nEOF\n";
        const std::string p = bench_path("kz_bench_nested_inserts.dxf");
        kz::platform::write_whole_file(p, out);
        return p;
    }();
    return path;
}

// The import's lines held off meanwhile: it says, each time, that it stopped at its budget.
struct QuietReports {
    kz::platform::ReportFunction before = kz::platform::set_report_function([](std::string_view) {});
    ~QuietReports() { kz::platform::set_report_function(before); }
    QuietReports() = default;
    QuietReports(const QuietReports&) = delete;
    QuietReports& operator=(const QuietReports&) = delete;
};

void BM_NestedInsertsOurs(benchmark::State& state) {
    const std::string& path = nested_inserts_file();
    QuietReports quiet;
    read_drawing_each_iteration(state, path);
}

// The floor: as many lines as the import makes, appended to a new drawing's rows, without any file.
void BM_NestedInsertsRowsOnly(benchmark::State& state) {
    for (auto _ : state) {
        drawing_handle h = zolt_open();
        drawing_context* ctx = zolt_lock(h);
        for (int32_t i = 0, row = 0; i < kMaxDxfRecords; ++i)
            row = xlum_line_set_d(ctx, nullptr, -row, 0, 1, 1, 1, i % 10, 1, i % 10 + 9, 1, 0);
        benchmark::DoNotOptimize(ctx->data_end);
        zolt_unlock(h);
        zolt_close(h);
    }
}

void BM_LargeOurs(benchmark::State& s) { read_drawing_each_iteration(s, large_file()); }
void BM_LargeDxflib(benchmark::State& s) { read_dxflib(s, large_file()); }
void BM_LargeEzdxf(benchmark::State& s) { read_ezdxf(s, large_file()); }
void BM_InsertsOurs(benchmark::State& s) { read_drawing_each_iteration(s, insert_file()); }
void BM_InsertsDxflib(benchmark::State& s) { read_dxflib(s, insert_file()); }
void BM_InsertsEzdxf(benchmark::State& s) { read_ezdxf(s, insert_file()); }
void BM_MillionLinesDxflib(benchmark::State& s) { read_dxflib(s, million_lines_file()); }
BENCHMARK(BM_LargeOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeDxflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeEzdxf)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_InsertsOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertsDxflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertsEzdxf)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MillionLinesOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionLinesDxflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MillionLinesRowsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NestedInsertsOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NestedInsertsRowsOnly)->Unit(benchmark::kMillisecond);

}  // namespace
