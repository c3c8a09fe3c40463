// Timed camera moves and the walk-through on an injected clock: eased moves end exactly on their camera, the walk
// goes from mesh node to mesh node inside the floor rectangle with targets in their spans and legs of 500 to 3999
// ms, refuses a flat model, and ends on a posted stop message, a window close or a quit.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/auto_mesh.h"
#include "geometry/geometry_elements.h"
#include "modeller/camera/o3du_animation_host.h"
#include "modeller/camera/o3du_math_camera.h"
#include "platform/message_loop.h"
#include "platform/window.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

namespace kp = kz::platform;

// Time moves one millisecond a reading and by every sleep; messages still go through the real pump.
class FakeClock : public CO3duAnimationHost {
public:
    std::uint32_t time_get_time() override { return now++; }
    void sleep(unsigned ms) override { now += ms; }
    std::uint32_t now = 123457;
};

struct Event {
    bool draw = false;
    _O3duCamera camera;
    std::uint32_t time = 0;
};

// Records every camera set and frame, and after a number of legs does what the test asks (a posted message).
class RecordingModelar : public CO3duGLModelar {
public:
    explicit RecordingModelar(FakeClock& c) : clock(c) {}
    void SetCamera(const _O3duCamera& camera) override {
        CO3duGLModelar::SetCamera(camera);
        events.push_back({false, camera, clock.now});
        if (!events.empty() && legs() == act_after_legs && act) {
            act();
            act = nullptr;
        }
    }
    void DrawModel(HDC&) override { events.push_back({true, {}, clock.now}); }
    // A camera set that no frame follows ends a leg.
    std::vector<Event> leg_ends() const {
        std::vector<Event> out;
        for (std::size_t i = 0; i < events.size(); ++i)
            if (!events[i].draw && (i + 1 == events.size() || !events[i + 1].draw)) out.push_back(events[i]);
        return out;
    }
    int legs() const { return static_cast<int>(leg_ends().size()); }

    FakeClock& clock;
    std::vector<Event> events;
    int act_after_legs = -1;
    void (*act)() = nullptr;
};

kp::WindowHandle g_window = nullptr;

kp::LResult stop_aware_procedure(kp::WindowHandle w, std::uint32_t message, kp::WParam wp, kp::LParam lp) {
    animation_host().note_message(message, wp, lp);
    return kp::default_window_procedure(w, message, wp, lp);
}

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kp::ensure_application());
        static const bool registered = [] {
            kp::WindowClass window_class;
            window_class.name = "KzWalkWindow";
            window_class.procedure = stop_aware_procedure;
            return kp::register_window_class(window_class);
        }();
        (void)registered;
        g_window = kp::create_window("KzWalkWindow", "walk", kp::WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr);
        dc = kp::DeviceContext::create_window(32, 32);
        HDC hdc = dc.get();
        ASSERT_EQ(m.Initialize(hdc), 1);
        CO3duPrimitive box = make_box(kLo, kHi, make_material({1, 1, 1, 1}, {1, 1, 1, 1}));
        m.AddPrimitive(box);
        m.events.clear();
    }
    void TearDown() override {
        if (kp::is_window(g_window)) kp::destroy_window(g_window);
    }
    const OfuVector3 kLo{0, 0, 0}, kHi{100, 80, 30};
    FakeClock clock;
    CO3duAnimationHostScope scope{clock};
    std::unique_ptr<kp::DeviceContext> dc;
    RecordingModelar m{clock};
};

TEST_F(WalkTest, LegsGoFromNodeToNodeAndAPostedStopEndsTheWalk) {
    m.act_after_legs = 40;
    m.act = [] { kp::post_message(g_window, kp::WM_COMMAND, 2, 0); };
    int flag = 0;
    // A stop taken by a leg's own pump ends the walk at the top of its next cycle, which reports 1.
    EXPECT_LE(CO3duMathCamera::Walk(&m, 3, flag, g_window), 1);
    EXPECT_EQ(flag, 0);
    const std::vector<Event> ends = m.leg_ends();
    ASSERT_GE(ends.size(), 38u);
    EXPECT_LE(ends.size(), 41u);  // the stop is taken at the next pump

    // The floor mesh the walk lays: the box's floor plus 30% each way.
    COfuHolePolygon2D floor;
    const double x0 = -30, x1 = 130, y0 = -24, y1 = 104;
    for (const OfuVector2& p : {OfuVector2(x0, y0), OfuVector2(x1, y0), OfuVector2(x1, y1), OfuVector2(x0, y1)})
        floor.points.Add(p);
    COfuPoint2Array nodes;
    COfuArray<int> kinds, triangles;
    CO3duAutoMesh().DivisionType03(floor, nodes, kinds, triangles, 15, 3);
    ASSERT_GT(nodes.GetSize(), 4);
    for (std::size_t i = 0; i < ends.size(); ++i) {
        SCOPED_TRACE(i);
        const _O3duCamera& c = ends[i].camera;
        bool on_node = false;
        for (int k = 0; k < nodes.GetSize(); ++k) on_node |= nodes[k].x == c.eye.x && nodes[k].y == c.eye.y;
        EXPECT_TRUE(on_node);
        EXPECT_GE(c.eye.x, x0);
        EXPECT_LE(c.eye.x, x1);
        EXPECT_GE(c.eye.y, y0);
        EXPECT_LE(c.eye.y, y1);
        // Whole-number targets from low = min + 20% over a span of 60%.
        EXPECT_EQ(c.target.x, std::trunc(c.target.x));
        EXPECT_GE(c.target.x, 20);
        EXPECT_LT(c.target.x, 80);
        EXPECT_GE(c.target.y, 16);
        EXPECT_LT(c.target.y, 64);
        EXPECT_GE(c.target.z, 6);
        EXPECT_LT(c.target.z, 24);
        if (i >= 2) {  // from the second leg on the eye height is drawn too: low 6, span trunc(30 + 9 - 6)
            EXPECT_GE(c.eye.z, 6);
            EXPECT_LT(c.eye.z, 39);
        }
        if (i >= 1) {
            // Each leg takes its duration plus the few readings of the clock between legs and one last frame.
            const std::uint32_t gap = ends[i].time - ends[i - 1].time;
            EXPECT_GE(gap, 500u);
            EXPECT_LT(gap, 4000u + 30u);
        }
    }
}

// The walk's frames show in its window: they are drawn through the device context the window's owner set.
TEST_F(WalkTest, WalkFramesArePresentedInItsWindow) {
    struct StopLater : FakeClock {
        std::uint32_t time_get_time() override {
            if (now - start > 3000 && !stopped) stopped = kp::post_message(g_window, kp::WM_COMMAND, 2, 0);
            return FakeClock::time_get_time();
        }
        std::uint32_t start = now;
        bool stopped = false;
    } stop_later;
    CO3duAnimationHostScope walk_clock{stop_later};
    CO3duGLModelar real;
    HDC hdc = dc.get();
    ASSERT_EQ(real.Initialize(hdc), 1);
    CO3duPrimitive box = make_box(kLo, kHi, make_material({1, 1, 1, 1}, {1, 1, 1, 1}));
    real.AddPrimitive(box);
    int presented = 0;
    dc->set_present_callback([&](kp::DeviceContext&) { ++presented; });
    kp::set_window_dc(g_window, dc.get());
    int flag = 0;
    CO3duMathCamera::Walk(&real, 3, flag, g_window);
    EXPECT_GT(presented, 10);
}

TEST_F(WalkTest, WindowCloseAndQuitEndTheWalk) {
    m.act_after_legs = 3;
    m.act = [] { kp::post_message(g_window, kp::WM_CLOSE, 0, 0); };
    int flag = 0;
    EXPECT_LE(CO3duMathCamera::Walk(&m, 3, flag, g_window), 1);
    EXPECT_EQ(flag, 0);
    EXPECT_LE(m.legs(), 4);

    m.events.clear();
    m.act_after_legs = 2;
    m.act = [] { kp::post_quit_message(7); };
    EXPECT_LE(CO3duMathCamera::Walk(&m, 3, flag, nullptr), 1);
    EXPECT_EQ(flag, 0);
    EXPECT_LE(m.legs(), 3);
    EXPECT_TRUE(kp::quit_requested());  // left for the main loop
    EXPECT_EQ(kp::run_message_loop(), 7);
}

TEST_F(WalkTest, FlatEmptyOrBusyWalksAreRefused) {
    int flag = 1;
    EXPECT_EQ(CO3duMathCamera::Walk(&m, 3, flag, nullptr), 0);  // already running: a request to stop
    EXPECT_EQ(flag, 0);
    EXPECT_TRUE(m.events.empty());

    m.RemoveShapeAll();
    flag = 5;
    EXPECT_EQ(CO3duMathCamera::Walk(&m, 3, flag, nullptr), 0);  // empty
    CO3duPrimitive flat = make_quad_facing_minus_y(0, 0, 50, 50, 10, make_material({1, 1, 1, 1}, {1, 1, 1, 1}));
    m.AddPrimitive(flat);
    EXPECT_EQ(CO3duMathCamera::Walk(&m, 3, flag, nullptr), 0);  // flat in y
    CO3duPrimitive tiny = make_box({0, 0, 0}, {1, 1, 1}, make_material({1, 1, 1, 1}, {1, 1, 1, 1}));
    m.RemoveShapeAll();
    m.AddPrimitive(tiny);
    EXPECT_EQ(CO3duMathCamera::Walk(&m, 3, flag, nullptr), 0);  // spans below one unit
    EXPECT_EQ(flag, 5);
    EXPECT_TRUE(m.events.empty());
}

TEST_F(WalkTest, EasedMovesEndOnTheirCameraAndZeroDurationDoesNothing) {
    _O3duCamera from, to;
    m.GetCamera(from);
    to = from;
    to.eye = OfuVector3(50, -300, 40);
    to.target = OfuVector3(10, 10, 10);
    to.fov = 60;
    int flag = 1;
    CO3duMathCamera::AnimationCamera_Sec2(&m, from, to, 0.0, nullptr, flag);
    EXPECT_TRUE(m.events.empty());
    CO3duMathCamera::AnimationCamera_Sec2(&m, from, to, 400.0, nullptr, flag);
    ASSERT_GE(m.events.size(), 10u);
    const _O3duCamera& last = m.events.back().camera;
    EXPECT_EQ(last.eye.x, 50);
    EXPECT_EQ(last.target.z, 10);
    EXPECT_EQ(last.fov, 60);  // the end is the `to` camera itself
    // Eased: the frame at the middle of the time has covered more than half of the way.
    const std::uint32_t half = (m.events.front().time + m.events.back().time) / 2;
    Event middle;
    for (const Event& e : m.events)
        if (!e.draw && e.time <= half) middle = e;
    EXPECT_GT((middle.camera.eye.x - from.eye.x) / (50 - from.eye.x), 0.5);
    EXPECT_EQ(middle.camera.fov, from.fov);

    int orbit = 0;
    EXPECT_EQ(CO3duMathCamera::RoundAnimationStart(m, orbit, nullptr, 0), 1);
    EXPECT_EQ(orbit, 0);
    orbit = 3;
    EXPECT_EQ(CO3duMathCamera::RoundAnimationStart(m, orbit, nullptr, 1000), 0);
    EXPECT_EQ(orbit, 0);
}

TEST_F(WalkTest, WholeModelViewMovesLinearlyOntoTheFittedCamera) {
    _O3duCamera start;
    m.GetCamera(start);
    start.eye = OfuVector3(500, -400, 300);
    start.target = OfuVector3(400, -300, 280);
    m.SetCamera(start);
    m.events.clear();
    CO3duMathCamera::ModelarAllmodelView(&m, 0, nullptr, 300);
    _O3duCamera end;
    m.GetCamera(end);
    EXPECT_DOUBLE_EQ(end.target.x, 50);  // looking at the centre of the box
    EXPECT_DOUBLE_EQ(end.target.y, 40);
    EXPECT_DOUBLE_EQ(end.target.z, 15);
    ASSERT_TRUE(m.events.back().draw);
    // The frames in between lie on the straight way from the start to the fitted camera, in time order.
    int frames = 0;
    double last_s = 0;
    for (const Event& e : m.events) {
        if (e.draw || e.camera.target.x == 50 || e.camera.target.x == start.target.x) continue;
        const double s = (e.camera.target.x - start.target.x) / (50 - start.target.x);
        EXPECT_NEAR((e.camera.target.y - start.target.y) / (40 - start.target.y), s, 1e-9);
        EXPECT_GT(s, last_s);
        EXPECT_LT(s, 1.0);
        last_s = s;
        ++frames;
    }
    EXPECT_GT(frames, 5);
}

}  // namespace
}  // namespace kz::test
