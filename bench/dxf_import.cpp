// DXF import of a 100,000-entity file of about 17 MB (lines, arcs, circles, polylines with bulges, texts) and of a
// file of 10,000 block references, against dxflib's parser with an adapter that only counts, and against ezdxf
// (a separate Python process, so its figure includes the interpreter's start of about a tenth of a second).
#include <benchmark/benchmark.h>
#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "drawing2d/drawing_files.h"
#include "drawing_read.h"
#include "platform/file_system.h"

namespace {
using namespace kz::drawing2d;

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

void BM_LargeOurs(benchmark::State& s) { read_drawing_each_iteration(s, large_file()); }
void BM_LargeDxflib(benchmark::State& s) { read_dxflib(s, large_file()); }
void BM_LargeEzdxf(benchmark::State& s) { read_ezdxf(s, large_file()); }
void BM_InsertsOurs(benchmark::State& s) { read_drawing_each_iteration(s, insert_file()); }
void BM_InsertsDxflib(benchmark::State& s) { read_dxflib(s, insert_file()); }
void BM_InsertsEzdxf(benchmark::State& s) { read_ezdxf(s, insert_file()); }
BENCHMARK(BM_LargeOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeDxflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeEzdxf)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_InsertsOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertsDxflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertsEzdxf)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
