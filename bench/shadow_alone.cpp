// A frame in which K shapes count alone: stacks of 130 plates, each stack one shape as deep as its plates (deeper
// than a group holds, within what a wrapping count holds), whose light-space boxes overlap so that the frame's bound
// passes 250 and it counts in groups. Each shape's walls cover a small part of the window (stacks 2 m wide on a grid,
// seen from above) or at least half of it (each stack over a roof of its own, 50 x 60 m, one over another, whose
// shadow a low sun casts across the window), in windows of 0.5, 1 and 2 megapixels, K 10, 20 and 100. The frame is
// drawn once to build the volumes, then timed; shadowed_fraction is the share of the window the shadows darken, each
// pixel of it behind a wall.
//   bench_shadow_alone --measure K MEGAPIXELS HALF FRAMES prints, in a process of its own, the median wall-clock
// microseconds of a frame over FRAMES frames: what a comparison with another build of this program runs, the two
// programs' processes taking turns. MEGAPIXELS is 0 (0.5), 1 or 2.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "box_shapes.h"
#include "modeller/gl_modelar.h"
#include "platform/device_context.h"

namespace {

using namespace kz_bench;

// Plates a stack, 10 cm apart, each 5 cm thick, the lowest 20 m up; the sun along kTravel (small) or kLowTravel
// (half).
constexpr int kPlates = 130;
const OfuVector3 kTravel(0.3, 0.2, -1), kLowTravel(4, 0, -1);

struct Window {
    int width, height;
};
// 16:10 windows of 0.5, 1 and 2 megapixels.
constexpr Window kWindows[] = {{896, 560}, {1280, 800}, {1792, 1120}};

// A stack of plates over the square from (x, y), `side` wide, from `z` up, each plate moved towards the sun against
// `travel` as far as it stands higher, so that one line along the light meets them all; with a roof at a height
// above 0, one shape with a plate 50 x 60 m that high, whose walls, under the low sun, reach across most of the
// window.
CO3duPrimitive stack(const OfuVector3& travel, double x, double y, double z, double side, double roof = 0) {
    std::vector<double> boxes;
    for (int i = 0; i < kPlates; ++i) {
        const double up = 0.1 * i, x0 = x + up * travel.x / travel.z, y0 = y + up * travel.y / travel.z;
        boxes.insert(boxes.end(), {x0, y0, z + up, x0 + side, y0 + side, z + up + 0.05});
    }
    if (roof > 0) boxes.insert(boxes.end(), {-70, -30, roof, -20, 30, roof + 0.05});
    return boxes_shape(boxes, {0.2f, 0.4f, 0.8f, 1.0f});
}

class AloneScene {
public:
    AloneScene(int shapes, int megapixels, bool half)
        : window_(kWindows[megapixels]),
          travel_(half ? kLowTravel : kTravel),
          dc_(kz::platform::DeviceContext::create_window(window_.width, window_.height)),
          modeller_(std::make_unique<CO3duGLModelar>()),
          bytes_(std::size_t((window_.width * 3 + 3) & ~3) * window_.height) {
        HDC hdc = dc_.get();
        modeller_->Initialize(hdc);
        CO3duPrimitive floor = boxes_shape({-400, -400, -1, 400, 400, 0}, {0.8f, 0.8f, 0.8f, 1.0f});
        primitives_.push_back(floor);
        // Small: stacks 2 m wide, ten a row, 3 m apart, rows 6 m apart, so that each stack's box overlaps its
        // neighbours'. Half: stacks 20 cm wide from 12 m up, each over a roof 10 m up, 1 cm above the roof before.
        for (int j = 0; j < shapes; ++j)
            primitives_.push_back(half ? stack(travel_, -30 + 0.05 * j, 0, 12, 0.2, 10 + 0.01 * j)
                                       : stack(travel_, -15 + 3.0 * (j % 10), -30 + 6.0 * (j / 10), 20, 2));
        for (CO3duPrimitive& p : primitives_) modeller_->AddPrimitive(p);
        OfuLight light;
        light.type = OFU_LIGHT_DIRECTIONAL;
        light.diffuse = light.ambient = {1, 1, 1, 1};
        light.direction = travel_;
        light.on = 1;
        modeller_->SetLight(1, light);
        _O3duCamera c;
        modeller_->GetCamera(c);
        c.eye = half ? OfuVector3(-5, 0, 40) : OfuVector3(0, -55, 95);
        c.target = half ? OfuVector3(-5, 0.01, 0) : OfuVector3(0, 0, 0);
        c.fov = 50;
        c.near_distance = 1;
        c.far_distance = 2000;
        c.aspect = double(window_.width) / window_.height;
        modeller_->SetCamera(c);
        modeller_->SetShadowColor({0, 0, 0, 0.5f});
        shadows(true);
    }

    void shadows(bool on) {
        OfuLight light;
        light.type = OFU_LIGHT_DIRECTIONAL;
        light.direction = travel_;
        light.on = on ? 1 : 0;
        modeller_->SetShadowLight(light);
    }
    void draw() {
        HDC hdc = dc_.get();
        _OFURECT rect{0, 0, window_.width, window_.height};
        modeller_->DrawTo24DIBPixel(hdc, bytes_.data(), int(bytes_.size()), rect);
    }
    double timed_frame() {
        const auto start = std::chrono::steady_clock::now();
        draw();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    // The share of the window's pixels that shadows change: each lies behind a wall of some stack.
    double shadowed_fraction() {
        shadows(false);
        draw();
        const std::vector<std::uint8_t> plain = bytes_;
        shadows(true);
        draw();
        std::size_t changed = 0;
        const std::size_t stride = bytes_.size() / window_.height;
        for (int y = 0; y < window_.height; ++y)
            for (int x = 0; x < window_.width; ++x) {
                const std::size_t at = std::size_t(y) * stride + std::size_t(x) * 3;
                changed += !std::equal(&plain[at], &plain[at] + 3, &bytes_[at]);
            }
        return double(changed) / (double(window_.width) * window_.height);
    }
    std::uint64_t passes() const { return modeller_->shadow_count_passes_last_frame(); }

private:
    Window window_;
    OfuVector3 travel_;
    std::unique_ptr<kz::platform::DeviceContext> dc_;
    std::unique_ptr<CO3duGLModelar> modeller_;
    std::vector<CO3duPrimitive> primitives_;
    std::vector<std::uint8_t> bytes_;
};

void BM_AloneShapesFrame(benchmark::State& state) {
    AloneScene scene(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    scene.draw();
    for (auto _ : state) state.SetIterationTime(scene.timed_frame() / 1e3);
    state.counters["passes"] = double(scene.passes());
    state.counters["shadowed_fraction"] = scene.shadowed_fraction();
}

int measure(int shapes, int megapixels, bool half, int frames) {
    AloneScene scene(shapes, megapixels, half);
    scene.draw();
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) ms.push_back(scene.timed_frame());
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    // In microseconds, an integer, whatever the locale Qt set.
    std::printf("%lld\n", static_cast<long long>(ms[ms.size() / 2] * 1e3));
    return 0;
}

}  // namespace

BENCHMARK(BM_AloneShapesFrame)
    ->ArgNames({"K", "megapixels", "half"})
    ->ArgsProduct({{10, 20, 100}, {0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--measure") == 0)
        return measure(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]) != 0, std::atoi(argv[5]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
