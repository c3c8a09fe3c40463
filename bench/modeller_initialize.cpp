// Initialize of the OpenGL modeller on a window it has drawn to before (a new context, the scene's fixed state
// and the textures uploaded again), against just making the existing context current on the window again: the
// price of re-creating the context at every Initialize rather than keeping it.
#include <benchmark/benchmark.h>

#include <memory>

#include "modeller/gl_modelar.h"
#include "platform/device_context.h"
#include "platform/gl_context.h"

namespace {

// A modeller on a 1280 x 720 window holding `textures` 256 x 256 images.
struct Setup {
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(1280, 720);
    CO3duGLModelar modeller;
    explicit Setup(int textures) {
        HDC hdc = dc.get();
        modeller.Initialize(hdc);
        for (int i = 0; i < textures; ++i) {
            _OfuBitmap image;
            image.info_header.biWidth = 256;
            image.info_header.biHeight = 256;
            PrepareDibBuffers(image.pixels, image.palette, image.file_header, image.info_header);
            modeller.AddTexture(image);
        }
        modeller.Initialize(hdc);
    }
};

void BM_Initialize(benchmark::State& state) {
    Setup s(static_cast<int>(state.range(0)));
    HDC hdc = s.dc.get();
    for (auto _ : state) benchmark::DoNotOptimize(s.modeller.Initialize(hdc));
}

void BM_RebindContext(benchmark::State& state) {
    Setup s(static_cast<int>(state.range(0)));
    HDC hdc = s.dc.get();
    for (auto _ : state) {
        kz::platform::make_current(hdc, s.modeller.renderer().context());
        kz::platform::make_current(nullptr, nullptr);
    }
}

}  // namespace

BENCHMARK(BM_Initialize)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RebindContext)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
