// Presenting a frame: the window DC's swap (read back as BGRA, rows flipped into the backing image, present
// callback), against its peers: reading the same frame as 24-bit BGR straight into a packed DIB, and the bare
// BGRA read-back without the flip.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/gl_context.h"

using namespace kz::platform;

namespace {

bool setup(DeviceContext& dc) {
    PixelFormatDescriptor want;
    want.flags = kPfdSupportOpenGL | kPfdDoubleBuffer | kPfdDrawToWindow;
    want.color_bits = 24;
    want.depth_bits = 32;
    want.stencil_bits = 1;
    const int f = choose_pixel_format(dc, want);
    return f && set_pixel_format(dc, f, want);
}

void draw_frame(int w, int h) {
    glViewport(0, 0, w, h);
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0);
    glVertex2f(-1, -1);
    glColor3f(0, 1, 0);
    glVertex2f(1, -1);
    glColor3f(0, 0, 1);
    glVertex2f(0, 1);
    glEnd();
}

void BM_WindowSwap(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto dc = DeviceContext::create_window(w, h);
    long presented = 0;
    dc->set_present_callback([&](DeviceContext&) { ++presented; });
    if (!setup(*dc)) return state.SkipWithError("no OpenGL");
    auto context = GlContext::create(*dc);
    make_current(dc.get(), context.get());
    draw_frame(w, h);
    for (auto _ : state) swap_buffers(*dc);
    make_current(nullptr, nullptr);
    benchmark::DoNotOptimize(presented);
}

void BM_Dib24ReadBack(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    kz::crt::GlobalHandle dib = allocate_packed_dib(w, h, 24);
    auto dc = DeviceContext::create_memory_over_dib(dib);
    if (!setup(*dc)) return state.SkipWithError("no OpenGL");
    auto context = GlContext::create(*dc);
    make_current(dc.get(), context.get());
    draw_frame(w, h);
    for (auto _ : state) swap_buffers(*dc);  // a memory DC's swap copies the frame into the DIB
    make_current(nullptr, nullptr);
    dc.reset();
    kz::crt::global_free(dib);
}

void BM_BareBgraReadPixels(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto dc = DeviceContext::create_window(w, h);
    if (!setup(*dc)) return state.SkipWithError("no OpenGL");
    auto context = GlContext::create(*dc);
    make_current(dc.get(), context.get());
    draw_frame(w, h);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(w) * h * 4);
    for (auto _ : state) {
        glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    }
    make_current(nullptr, nullptr);
}

}  // namespace

BENCHMARK(BM_WindowSwap)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dib24ReadBack)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareBgraReadPixels)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
