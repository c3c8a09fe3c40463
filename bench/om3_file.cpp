// OM3 mesh files of a million vertices written and read through the modeller, against writing and reading the
// same number of bytes with nothing to do: plain stdio, and the file layer's safe replace (temporary file, flush
// to disk, rename) that the writer itself goes through.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "modeller/files/o3du_read_mesh3.h"
#include "modeller/files/o3du_write_mesh3.h"
#include "modeller/gl_modelar.h"
#include "platform/device_context.h"
#include "platform/file_system.h"

namespace {

constexpr int kVertices = 1 << 20;

std::string bench_path(const char* name) { return kz::platform::temp_path() + name; }

// A modeller holding one shape of a million vertices in 64 triangle-list sets.
struct Scene {
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(96, 96);
    CO3duGLModelar modeller;
    Scene() {
        HDC hdc = dc.get();
        modeller.Initialize(hdc);
        CO3duPrimitive p;
        for (int s = 0; s < 64; ++s) {
            CO3duTrianglePolys set;
            set.type = O3DU_SET_TRIANGLE_LIST;
            set.vertices.SetSize(kVertices / 64);
            for (int i = 0; i < kVertices / 64; ++i) {
                set.vertices[i].position = OfuVector3(i % 97, s + i / 97, (i * 7) % 13);
                set.vertices[i].normal = OfuVector3(0, 0, 1);
            }
            p.sets.Add(set);
        }
        modeller.AddPrimitive(p);
    }
};

std::size_t file_size(const std::string& path) {
    std::string bytes;
    kz::platform::read_whole_file(path, &bytes);
    return bytes.size();
}

// The scene written once, for the readers and the peers.
std::string written_om3() {
    const std::string path = bench_path("bench.om3");
    Scene scene;
    CO3duWriteMesh3::WriteModel(scene.modeller, path.c_str(), 1);
    return path;
}

// An empty modeller to read into.
struct Reader {
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(96, 96);
    CO3duGLModelar modeller;
    Reader() {
        HDC hdc = dc.get();
        modeller.Initialize(hdc);
    }
};

void BM_Om3Write(benchmark::State& state) {
    Scene scene;
    const std::string path = bench_path("bench.om3");
    for (auto _ : state) benchmark::DoNotOptimize(CO3duWriteMesh3::WriteModel(scene.modeller, path.c_str(), 1));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file_size(path)));
}

void BM_Om3Read(benchmark::State& state) {
    const std::string path = written_om3();
    Reader reader;
    CO3duGLModelar& modeller = reader.modeller;
    for (auto _ : state) {
        CO3duPosList added;
        benchmark::DoNotOptimize(CO3duReadMesh3::ReadFile(modeller, path.c_str(), added, 0));
        state.PauseTiming();
        modeller.RemoveShapeAll();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file_size(path)));
}

// The parts of a read: the chunks parsed and the shape added, from bytes in memory; and the add alone.
void BM_Om3ParseAndAdd(benchmark::State& state) {
    std::string bytes;
    kz::platform::read_whole_file(written_om3(), &bytes);
    Reader reader;
    CO3duGLModelar& modeller = reader.modeller;
    for (auto _ : state) {
        CO3duPosList added;
        std::string error;
        benchmark::DoNotOptimize(CO3duReadMesh3::ReadData(modeller, bytes, added, 0, error));
        state.PauseTiming();
        modeller.RemoveShapeAll();
        state.ResumeTiming();
    }
}

void BM_AddPrimitiveAlone(benchmark::State& state) {
    Scene scene;
    CO3duPosList shapes;
    scene.modeller.GetPosArray(shapes);
    CO3duPrimitive p;
    scene.modeller.GetPrimitive(shapes[0], p, O3DU_PRIM_ALL);
    for (auto _ : state) {
        _OfuPosition* pos = scene.modeller.AddPrimitive(p);
        state.PauseTiming();
        scene.modeller.RemoveShapeAt(pos);
        state.ResumeTiming();
    }
}

void BM_ThumbnailAlone(benchmark::State& state) {
    Scene scene;
    std::vector<BYTE> pixels(96 * 96 * 3);
    _OFURECT rect{0, 0, 96, 96};
    for (auto _ : state) scene.modeller.MemDCToBitmap(pixels.data(), int(pixels.size()), rect, nullptr);
}

// The peers: the same byte count, written and read as one block.
std::string same_bytes() { return std::string(file_size(written_om3()), 'x'); }

void BM_RawWriteStdio(benchmark::State& state) {
    const std::string bytes = same_bytes(), path = bench_path("bench.raw");
    for (auto _ : state) {
        std::FILE* f = std::fopen(kz::platform::to_native_path(path).c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_RawWriteFileLayer(benchmark::State& state) {
    const std::string bytes = same_bytes(), path = bench_path("bench.raw");
    for (auto _ : state) benchmark::DoNotOptimize(kz::platform::write_whole_file(path, bytes));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_RawReadStdio(benchmark::State& state) {
    const std::string bytes = same_bytes(), path = bench_path("bench.raw");
    kz::platform::write_whole_file(path, bytes);
    for (auto _ : state) {
        std::string in(bytes.size(), '\0');  // a reader holds what it read: new memory every time
        std::FILE* f = std::fopen(kz::platform::to_native_path(path).c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(in.data(), 1, in.size(), f));
        std::fclose(f);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_RawReadFileLayer(benchmark::State& state) {
    const std::string bytes = same_bytes(), path = bench_path("bench.raw");
    kz::platform::write_whole_file(path, bytes);
    for (auto _ : state) {
        std::string in;
        benchmark::DoNotOptimize(kz::platform::read_whole_file(path, &in));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

}  // namespace

BENCHMARK(BM_Om3Write)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawWriteStdio)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawWriteFileLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Om3Read)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawReadStdio)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawReadFileLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Om3ParseAndAdd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddPrimitiveAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThumbnailAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
