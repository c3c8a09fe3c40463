// Mouse messages to the first view window and wheel messages to the main window, with forced Shift and Ctrl:
// the eye record after camera drags, wheel notches and a middle click, against orbit, head-turn and walk
// geometry worked out by hand; hover picks that wait for the last queued move.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/program_entry.h"
#include "mouse_fixture.h"
#include "platform/message_loop.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

constexpr double kDeg = M_PI / 180.0;
// From eye (0, -2000, 500) looking at (0, 0, 500) with the 55 mm lens: orbit 0.2 degree per pixel, head turn
// 4 / 55 degree per pixel, walk 20 mm per pixel.
const double kEye[3] = {0, -2000, 500}, kTarget[3] = {0, 0, 500};
const double kTurn = M_PI / 2 + 10 * 4.0 / 55.0 * kDeg;

class MouseInput : public MouseTest {
public:
    void level_view() { look(kEye, kTarget); }
    void expect_eye(const double* eye, const double* target, const std::string& name) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(view->camera.eye->eye[k], eye[k], 1e-6) << name << " eye " << k;
            EXPECT_NEAR(view->camera.eye->target[k], target[k], 1e-6) << name << " target " << k;
        }
    }
};

TEST_F(MouseInput, LeftDragsMoveTheEyeAsComputedByHand) {
    struct Case {
        const char* name;
        int view_mode, key, dx, dy;
        double eye[3], target[3];
    } cases[] = {
        {"orbit", 1, 0, 10, 0, {2000 * std::cos(-92 * kDeg), 2000 * std::sin(-92 * kDeg), 500}, {0, 0, 500}},
        {"orbit up", 1, 0, 0, 10, {0, -2000 * std::cos(2 * kDeg), 500 + 2000 * std::sin(2 * kDeg)}, {0, 0, 500}},
        {"ctrl turns the head",
         1,
         plat::VK_CONTROL,
         10,
         0,
         {0, -2000, 500},
         {2000 * std::cos(kTurn), -2000 + 2000 * std::sin(kTurn), 500}},
        {"shift walks sideways", 1, plat::VK_SHIFT, 10, 0, {200, -2000, 500}, {200, 0, 500}},
        {"walk mode, drag up walks ahead", 2, 0, 0, -10, {0, -1800, 500}, {0, 200, 500}},
    };
    for (const auto& c : cases) {
        level_view();
        view->input.view_mode = c.view_mode;
        hold(c.key);
        send(plat::WM_LBUTTONDOWN, 80, 60, plat::MK_LBUTTON);
        send(plat::WM_MOUSEMOVE, 80 + c.dx, 60 + c.dy, plat::MK_LBUTTON);
        EXPECT_EQ(view->input.button_state, 5) << c.name;
        send(plat::WM_LBUTTONUP, 80 + c.dx, 60 + c.dy);
        EXPECT_EQ(view->input.button_state, 2) << c.name;
        expect_eye(c.eye, c.target, c.name);
    }
}

TEST_F(MouseInput, WheelOnTheMainWindowDolliesOrChangesTheLens) {
    struct Case {
        const char* name;
        int key, notches, interaction_class;
        double eye_y, lens;
    } cases[] = {
        {"forward dollies in", 0, 1, 1, -1800.0, 55.0},
        {"backward dollies out", 0, -1, 2, -2000.0 / 0.9, 55.0},
        {"ctrl steps the lens", plat::VK_CONTROL, 1, 1, -2000.0, 56.0},
        {"no class, no move", 0, 1, 0, -2000.0, 55.0},
    };
    g_view = view;
    for (const auto& c : cases) {
        level_view();
        view->SetEye(kEye, kTarget, 55.0, 0);
        view->input.interaction_class = c.interaction_class;
        hold(c.key);
        const auto high = static_cast<std::uint16_t>(static_cast<std::int16_t>(120 * c.notches));
        MainWindowProc(parent_window, plat::WM_MOUSEWHEEL, static_cast<plat::WParam>(high) << 16, 0);
        const double eye[3] = {0, c.eye_y, 500};
        expect_eye(eye, kTarget, c.name);
        EXPECT_DOUBLE_EQ(view->camera.eye->lens, c.lens) << c.name;
    }
    g_view = nullptr;
}

TEST_F(MouseInput, MiddleClickAnimatesTheTargetToThePointOverTheEyeMoveTime) {
    cube_scene();
    const double eye[3] = {view->camera.eye->eye[0], view->camera.eye->eye[1], view->camera.eye->eye[2]};
    const _O3duCamera before = camera();
    const plat::Point p = pixel_of(kCubeTop);
    send(plat::WM_MBUTTONDOWN, p.x, p.y, plat::MK_MBUTTON);
    send(plat::WM_MBUTTONUP, p.x, p.y);
    EXPECT_EQ(view->input.button_state, 0);
    EXPECT_DOUBLE_EQ(view->camera.camera_motion.duration_ms, view->camera.eye_move_time * 1000.0);
    clock->advance(static_cast<std::int64_t>(view->camera.eye_move_time * 1000.0) + 1);
    view->OnTimerTick();
    // The new target lies on the top face under the clicked pixel as the eye saw it; the eye stays.
    EXPECT_NEAR(view->camera.eye->target[2], kCubeTop[2], 1e-6);
    const plat::Point target = pixel_of(view->camera.eye->target, before);
    EXPECT_NEAR(target.x, p.x, 1);
    EXPECT_NEAR(target.y, p.y, 1);
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(view->camera.eye->eye[k], eye[k]);
    hold(plat::VK_CONTROL);  // Ctrl only marks the press
    send(plat::WM_MBUTTONDOWN, 5, 5, plat::MK_MBUTTON);
    EXPECT_EQ(view->input.button_state, 16);
    EXPECT_EQ(view->camera.camera_motion.active, 0);
}

TEST_F(MouseInput, HoverPicksOnlyTheLastQueuedPosition) {
    const int item = cube_scene();
    XLeaves* box = view->document.trunks[item]->parts[1];
    box->record->action = kz::foundation::set_heap_string(box->record->action, "S;0;0;x", nullptr, -1);
    const plat::Point over = pixel_of(kCubeTop);
    view->display.comment_display = 0;
    send(plat::WM_MOUSEMOVE, 1, 1);
    send(plat::WM_MOUSEMOVE, over.x, over.y);
    EXPECT_EQ(view->input.mouse.hover, 0) << "no pick before the queue runs dry";
    plat::pump_messages();
    EXPECT_EQ(view->input.mouse.hover, 4);
    send(plat::WM_MOUSEMOVE, over.x, over.y);
    send(plat::WM_MOUSEMOVE, 1, 1);
    plat::pump_messages();
    EXPECT_EQ(view->input.mouse.hover, 0);
    send(plat::WM_MOUSEMOVE, over.x, over.y);
    plat::send_message(view->output.view_window[0], plat::WM_SETCURSOR, 0, 0);  // the cursor settles it first
    EXPECT_EQ(view->input.mouse.hover, 4);
}

}  // namespace
}  // namespace kz::view::test
