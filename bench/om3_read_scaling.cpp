// Reading OM3 files of many small chunks at about 8 and 80 MB: the time per megabyte should not grow with the
// file. Two shapes: one indexed set of three vertices whose triangles each come with a chunk of a type no reader
// knows behind them (28 bytes a triangle, so every run of index chunks is one chunk long), and empty triangle sets
// one after another (80 bytes each). The peer reads the same bytes with stdio and does nothing with them.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "modeller/files/o3du_read_mesh3.h"
#include "modeller/files/om3_chunks.h"
#include "modeller/gl_modelar.h"
#include "platform/device_context.h"
#include "platform/file_system.h"

namespace {

enum class Shape { interrupted_indices, triangle_sets };

std::string file_bytes(Shape shape, std::int64_t megabytes) {
    std::string out(kOm3HeaderSize, '\0');
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    om3_put(om3_put(om3_put(p, kOm3Magic), std::int32_t(kOm3HeaderSize)), kOm3Version);
    // A chunk of the size, its head filled in; the fields behind the head are zero until the caller writes them.
    auto chunk = [&](std::int32_t type, int size) {
        const std::size_t at = out.size();
        out.resize(at + std::size_t(size));
        return om3_put(om3_put(reinterpret_cast<unsigned char*>(out.data() + at), type), std::int32_t(size));
    };
    auto set = [&](std::int32_t type) {
        unsigned char* fields = chunk(OM3_TRIANGLE_SET, kOm3SetSize);
        om3_put(fields, type);
        om3_put(fields + 56, std::int32_t(O3DU_MATERIAL_SINGLE));
    };
    const std::size_t wanted = std::size_t(megabytes) * 1000000;
    out.reserve(wanted + 400);
    if (shape == Shape::triangle_sets) {
        while (out.size() < wanted) set(O3DU_SET_TRIANGLE_LIST);
        return out;
    }
    set(O3DU_SET_INDEXED_TRIANGLES);
    for (int v = 0; v < 3; ++v) om3_put(chunk(OM3_VERTEX, kOm3VertexSize) + 8 * v, 1.0);
    while (out.size() < wanted) {
        om3_put(om3_put(om3_put(chunk(OM3_INDEX, kOm3IndexSize), std::int32_t(0)), std::int32_t(1)), std::int32_t(2));
        chunk(99, kOm3ChunkHead);
    }
    return out;
}

// The benchmark's file on disk, gone when the benchmark ends.
struct File {
    std::string path = kz::platform::temp_path() + "bench_scaling.om3";
    std::size_t bytes;
    File(Shape shape, std::int64_t megabytes) {
        // Every large block comes fresh from the system, as in a program's first read of a file. Otherwise the
        // allocator keeps the freed blocks of the smaller file for the next round and the larger file's do not fit
        // its limit, and the comparison would be between reused memory and new.
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        const std::string content = file_bytes(shape, megabytes);
        bytes = content.size();
        kz::platform::write_whole_file(path, content);
    }
    ~File() { std::remove(kz::platform::to_native_path(path).c_str()); }
    // per_MB: the processor time of one megabyte of the file.
    void count(benchmark::State& state) const {
        state.counters["per_MB"] = benchmark::Counter(double(state.iterations()) * double(bytes) / 1e6,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
};

void BM_Om3Read(benchmark::State& state, Shape shape) {
    const File file(shape, state.range(0));
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(96, 96);
    CO3duGLModelar modeller;
    HDC hdc = dc.get();
    modeller.Initialize(hdc);
    for (auto _ : state) {
        CO3duPosList added;
        std::string error;
        if (!CO3duReadMesh3::ReadFile(modeller, file.path.c_str(), added, 0, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.PauseTiming();
        modeller.RemoveShapeAll();
        state.ResumeTiming();
    }
    file.count(state);
}

void BM_StdioRead(benchmark::State& state, Shape shape) {
    const File file(shape, state.range(0));
    for (auto _ : state) {
        std::string in(file.bytes, '\0');  // a reader holds what it read: new memory every time
        std::FILE* f = std::fopen(kz::platform::to_native_path(file.path).c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(in.data(), 1, in.size(), f));
        std::fclose(f);
    }
    file.count(state);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Om3Read, interrupted_indices, Shape::interrupted_indices)->Arg(8)->Arg(80);
BENCHMARK_CAPTURE(BM_StdioRead, interrupted_indices, Shape::interrupted_indices)->Arg(8)->Arg(80);
BENCHMARK_CAPTURE(BM_Om3Read, triangle_sets, Shape::triangle_sets)->Arg(8)->Arg(80);
BENCHMARK_CAPTURE(BM_StdioRead, triangle_sets, Shape::triangle_sets)->Arg(8)->Arg(80);
