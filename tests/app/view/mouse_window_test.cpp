// The program on a real X display, driven by xdotool, at scale 1 and with Qt's scale factor 2: a left drag to
// the right orbits the eye, so a box behind the target slides left on the screen; a wheel notch forward dollies
// in, so the box grows; a middle click on the box makes it the target, so it comes to the middle of the screen.
// The parent test starts this program again inside `xvfb-run -a`.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "real_window.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

#ifdef KZVIEW_PROGRAM

std::string folder() { return kz::test::output_dir() + "/view_mouse_window"; }

TEST(MouseOnRealWindow, Child) {
    const char* scale = std::getenv("KZ_VIEW_MOUSE_CHILD");
    if (!scale) GTEST_SKIP() << "runs only inside the Xvfb child";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const pid_t pid = start_program(folder(), folder() + "/box.fig", scale);
    ASSERT_GT(pid, 0);
    // Each look waits for the state the step asks for: a loaded machine may answer an input seconds later.
    const ScreenArea start = settled(display, is_red, [](const ScreenArea& a) { return a.count > 100; });
    EXPECT_GT(start.count, 100) << "the box is not on the screen";
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    const std::string middle = std::to_string(width / 2) + " " + std::to_string(height / 2);

    // Drag 80 screen pixels right: the eye orbits, and what lies beyond the target moves left.
    EXPECT_TRUE(xdotool("mousemove " + middle +
                        " sleep 0.2 mousedown 1 sleep 0.2 mousemove_relative 40 0 sleep 0.1 "
                        "mousemove_relative 40 0 sleep 0.2 mouseup 1"));
    const ScreenArea dragged =
        settled(display, is_red, [&](const ScreenArea& a) { return a.centre_x < start.centre_x - 10; });
    EXPECT_LT(dragged.centre_x, start.centre_x - 10) << "from " << start.centre_x;

    // One wheel notch forward: the eye comes 10 % nearer the target and the box grows.
    EXPECT_TRUE(xdotool("click 4"));
    const ScreenArea nearer =
        settled(display, is_red, [&](const ScreenArea& a) { return a.count > dragged.count * 1.05; });
    EXPECT_GT(nearer.count, dragged.count * 1.05) << "from " << dragged.count;

    // A middle click on the box: the point under the cursor becomes the target, in the middle of the screen.
    const std::string on_box =
        std::to_string(static_cast<int>(nearer.centre_x)) + " " + std::to_string(static_cast<int>(nearer.centre_y));
    EXPECT_TRUE(xdotool("mousemove " + on_box + " sleep 0.2 click 2"));
    const auto in_middle = [&](const ScreenArea& a) {
        return std::abs(a.centre_x - width / 2.0) <= width * 0.03 &&
               std::abs(a.centre_y - height / 2.0) <= height * 0.04;
    };
    const ScreenArea aimed = settled(display, is_red, in_middle);
    EXPECT_NEAR(aimed.centre_x, width / 2.0, width * 0.03) << "clicked at " << on_box;
    EXPECT_NEAR(aimed.centre_y, height / 2.0, height * 0.04) << "clicked at " << on_box;

    stop_program(pid);
    XCloseDisplay(display);
}

TEST(MouseOnRealWindow, DragWheelAndMiddleClickChangeTheScreen) {
    if (std::getenv("KZ_VIEW_MOUSE_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    if (access("/usr/bin/xdotool", X_OK) != 0) GTEST_SKIP() << "xdotool (package xdotool) is missing";
    prepare_program_folder(folder());
    for (const char* scale : {"1", "2"})
        expect_child_passes(folder(), "640x480x24", std::string("KZ_VIEW_MOUSE_CHILD=") + scale,
                            "MouseOnRealWindow.Child");
}

#endif

}  // namespace
}  // namespace kz::view::test
