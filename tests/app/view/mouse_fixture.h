// A laid-out view driven through its first window's procedure: messages with a window point, forced modifier
// keys released after each test, and the window point over a world point as the modeller's camera sees it.
#pragma once
#include "app/foundation/bus_mdl.h"
#include "paint_fixture.h"
#include "platform/dialogs.h"
#include "platform/window.h"

namespace kz::view::test {

class MouseTest : public PaintTest {
public:
    void SetUp() override {
        PaintTest::SetUp();
        kz::platform::set_dialog_test_mode(true);
        kz::platform::take_dialog_test_log();
    }
    void TearDown() override {
        kz::platform::set_forced_key_state(-1, -1);
        kz::platform::set_dialog_test_mode(false);
        PaintTest::TearDown();
    }
    void send(std::uint32_t message, int x, int y, kz::platform::WParam wparam = 0) {
        kz::platform::send_message(view->output.view_window[0], message, wparam, kz::platform::make_point_lparam(x, y));
    }
    void drag(kz::platform::Point from, kz::platform::Point to) {
        send(kz::platform::WM_LBUTTONDOWN, from.x, from.y, kz::platform::MK_LBUTTON);
        send(kz::platform::WM_MOUSEMOVE, to.x, to.y, kz::platform::MK_LBUTTON);
        send(kz::platform::WM_LBUTTONUP, to.x, to.y);
    }
    static void hold(int virtual_key) {
        kz::platform::set_forced_key_state(-1, -1);
        if (virtual_key) kz::platform::set_forced_key_state(virtual_key, 1);
    }
    // The window point (y from the top) over a world point, seen by the given camera.
    kz::platform::Point pixel_of(const double* world, const _O3duCamera& seen_by) const {
        int x = -1, y = -1;
        EXPECT_TRUE(project_to_pixel(seen_by, kW, kH, world, &x, &y));
        return {x, kH - y};
    }
    kz::platform::Point pixel_of(const double* world) const { return pixel_of(world, camera()); }
    // A 400 mm cube standing on its corner at the origin, seen from the front and above; its top's middle.
    int cube_scene() {
        const int item = add_box_item("box,0,0,0,,,,,,,,,,400,400,400,,,,,,1,200,100,50", "cube");
        const double from[3] = {200, -3000, 2000}, to[3] = {200, 200, 0};
        look(from, to);
        view->Redraw(0);
        return item;
    }
    static constexpr double kCubeTop[3] = {200, 200, 400};
};

}  // namespace kz::view::test
