// The generated model of 100k boxes (10k items) opened in a view of 1000 x 600 under a parent window, shared by the
// large-model benchmark programs, on the ground or in ten storeys: the eye of an overview or of a walk among the
// items, turned a little before each frame; the view's frames and the bare frames drawn from the same eyes; the sun
// of the shadow cases.
#pragma once
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/date_time.h"
#include "bare_draw.h"
#include "bench_view.h"
#include "box_models.h"
#include "platform/file_system.h"
#include "platform/gl_context.h"
#include "platform/window.h"

namespace kz_bench {

constexpr int kWidth = 1000, kHeight = 600, kBoxes = 100000;

// The heap in use (glibc's count of allocated bytes, mapped blocks included): what the program holds, whatever the
// allocator keeps of what was freed.
inline std::uint64_t heap_in_use_bytes() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

struct LargeScene {
    kz::platform::WindowHandle parent = nullptr;
    std::unique_ptr<kz::view::XView> view;
    std::vector<std::int64_t> points;
    double centre[3] = {0, 0, 0};
    double extent = 0;

    explicit LargeScene(int storeys = 1) {
        parent = make_bench_parent(kWidth, kHeight);
        view = std::make_unique<kz::view::XView>(parent, nullptr);
        view->LayoutWindows(kWidth, kHeight);
        view->camera.immediate_eye_move = 1;
        const std::string fig = kz::platform::from_native_path(box_model(kBoxes, storeys).fig);
        if (view->OpenModel(fig.c_str()) != 1) std::fprintf(stderr, "model missing\n");
        // Navigation starts on a model already shown: the first frames after opening, which draw every new shape on
        // its own and then make the items' batches, belong to opening (bench_whole_open), not to navigating.
        view->Redraw(0);
        view->Redraw(0);
        const int side = static_cast<int>(std::ceil(std::sqrt(kBoxes / double(kBoxesPerItem))));
        extent = side * 1200.0;
        centre[0] = centre[1] = extent / 2;
        for (int i = 0; i < 64; ++i)
            points.push_back(kz::view::pack_view_point(100 + (i * 131) % 800, 60 + (i * 77) % 480));
    }
    ~LargeScene() {
        view.reset();
        kz::platform::destroy_window(parent);
    }
    // Overview: the whole model from outside; walking: eye height among the items, looking along a row.
    void place_eye(int walking, double turn) {
        double* eye = view->camera.eye->eye;
        double* target = view->camera.eye->target;
        if (walking) {
            target[0] = centre[0] + 3000 * std::cos(turn), target[1] = centre[1] + 3000 * std::sin(turn);
            target[2] = 1500;
            eye[0] = centre[0], eye[1] = centre[1], eye[2] = 1500;
        } else {
            target[0] = centre[0], target[1] = centre[1], target[2] = 0;
            eye[0] = centre[0] + extent * std::cos(turn - 1.2), eye[1] = centre[1] + extent * std::sin(turn - 1.2);
            eye[2] = extent * 0.6;
        }
    }
};

// The model on the ground (storeys 1) and in ten storeys, each opened when first asked for.
inline std::unique_ptr<LargeScene>& large_scene_slot(int storeys) {
    static std::unique_ptr<LargeScene> slots[2];
    return slots[storeys > 1 ? 1 : 0];
}

inline LargeScene& large_scene(int storeys = 1) {
    std::unique_ptr<LargeScene>& s = large_scene_slot(storeys);
    if (!s) s = std::make_unique<LargeScene>(storeys);
    return *s;
}

// Closes the scenes while the window system is still up: a program whose other views came and went calls it before
// main returns, as windows destroyed after the window system's own teardown would take it down.
inline void close_large_scene() {
    large_scene_slot(1).reset();
    large_scene_slot(10).reset();
}

// A sun by its date and hour at the default site: the 0-based day of a 365-day year and the hour of the day.
struct Sun {
    int day_of_year;
    double hour;
};

// The suns of the shadow cases as their arguments name them, month, day, hour and minute in one number.
constexpr std::int64_t kJune21At10 = 6211000, kDecember8At16 = 12081600, kDecember8At1620 = 12081620,
                       kDecember8At1622 = 12081622, kDecember8At23 = 12082300;
// Late autumn afternoons whose sun stands as low (0.19 to 0.32 degrees up) as that of 8 December 16:22.
constexpr std::int64_t kNovember5At1640 = 11051640, kNovember16At1630 = 11161630;

// The sun a case's argument names (12081620 is 8 December 16:20), reckoned as the view reads a figure file's date.
inline Sun sun_named(std::int64_t code) {
    const int month = int(code / 1000000), day = int(code / 10000 % 100);
    return {kz::foundation::month_day_to_day_of_year(month, day),
            kz::foundation::hour_minute_to_hours(int(code / 100 % 100), int(code % 100))};
}

// The sun's shadows (at the default accuracy) on or off, under the sun given.
inline void set_shadows(kz::view::XView& view, bool on, Sun sun = sun_named(kJune21At10)) {
    view.SetShadowDate(sun.day_of_year);
    view.SetShadowTime(sun.hour);
    view.SetShadowDisplay(on ? 1 : 0);
}

inline void set_shadows(LargeScene& s, bool on, Sun sun = sun_named(kJune21At10)) { set_shadows(*s.view, on, sun); }

// The view's frames, the eye turning a little before each (overview, or walking for a non-zero first argument).
inline void navigate_frames(benchmark::State& state, LargeScene& s) {
    double turn = 0.0;
    for (auto _ : state) {
        s.place_eye(int(state.range(0)), turn += 0.01);
        s.view->Redraw(0);
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The eye turns as in navigate_frames, handed to the modeller's camera without a redraw, so that the bare frames
// pass over and draw the same shapes as the view's.
template <class Draw>
void run_bare_frames(benchmark::State& state, Draw draw, LargeScene& s = large_scene()) {
    s.place_eye(int(state.range(0)), 0.0);
    s.view->Redraw(0);
    auto& modeller = *s.view->output.bridge->modeller;
    HDC hdc = s.view->output.view_dc[0].get();
    std::vector<std::uint8_t> pixels;
    kz::platform::make_current(hdc, modeller.renderer().context());
    double turn = 0.0;
    for (auto _ : state) {
        s.place_eye(int(state.range(0)), turn += 0.01);
        s.view->SetStereoEye(0);
        bare_frame_of(modeller, kWidth, kHeight, pixels, [&] { draw(modeller); });
    }
    kz::platform::make_current(nullptr, nullptr);
    benchmark::DoNotOptimize(pixels.data());
}

}  // namespace kz_bench
