// The program on a real X display, driven by xdotool, at scale 1 and with Qt's scale factor 2: a left drag to
// the right orbits the eye, so a box behind the target slides left on the screen; a wheel notch forward dollies
// in, so the box grows; a middle click on the box makes it the target, so it comes to the middle of the screen.
// A click on a part whose action asks first ends its press when the question has taken the button's release:
// after the answer, by Return, Escape or a click, a plain move changes no pixel and a right click picks what is
// under the pointer. The parent tests start this program again inside `xvfb-run -a`.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

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

// A black room: left of the middle a red wall whose click asks before it starts a program, above it a green box
// that only watches.
constexpr char kAskingModel[] =
    "set,haikei,0,0,0\r\n"
    "set,eye point,0,-4000,1000,0,0,1000,55\r\n"
    "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,wall\r\n"
    "box,-3000,2700,1000,,,,,,,,,,3000,600,1200,,,,,,1,255,0,0,,,,,wall,,,,,,H;[exec=tool.sh]\r\n"
    "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,watcher\r\n"
    "box,-2500,2700,2400,,,,,,,,,,400,400,400,,,,,,1,0,255,0\r\n";
constexpr char kQuestion[] = "--onlyvisible --limit 1 --name 'プログラムの起動'";

std::string asking_folder() { return kz::test::output_dir() + "/view_mouse_asking"; }

// Each row presses on the wall, lets the button go while the question is up, and answers it.
TEST(MouseOnRealWindow, AskingChild) {
    if (!std::getenv("KZ_VIEW_ASKING_CHILD")) GTEST_SKIP() << "runs only inside the Xvfb child";
    const std::unique_ptr<Display, int (*)(Display*)> screen(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_NE(screen, nullptr);
    Display* display = screen.get();
    const std::string ran = asking_folder() + "/ran.txt";
    for (const std::string answer : {"Return", "Escape", "click"}) {
        SCOPED_TRACE(answer);
        std::filesystem::remove(ran);
        const pid_t pid = start_program(asking_folder(), asking_folder() + "/wall.fig");
        ASSERT_GT(pid, 0);
        const struct Ending {
            pid_t pid;
            ~Ending() { stop_program(pid); }
        } ending{pid};
        const ScreenArea wall = settled(display, is_red, [](const ScreenArea& a) { return a.count > 1000; });
        ASSERT_GT(wall.count, 1000);
        const ScreenArea watcher = screen_area(display, is_green);  // drawn in the same frame as the wall
        const std::string y = " " + std::to_string(static_cast<int>(wall.centre_y));
        ASSERT_TRUE(xdotool("mousemove " + std::to_string(wall.right - 150) + y + " sleep 0.3 mousedown 1"));
        const std::string box = kz::test::command_output("timeout 90 xdotool search --sync " + std::string(kQuestion) +
                                                         " getwindowgeometry --shell");
        EXPECT_TRUE(xdotool("mouseup 1"));
        int left = 0, top = 0, width = 0, height = 0;
        ASSERT_EQ(std::sscanf(box.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &left, &top, &width, &height), 4)
            << "no question: " << box;
        if (answer == "click")  // the button at the right end of the box's row of buttons
            EXPECT_TRUE(xdotool("mousemove " + std::to_string(left + width - 50) + " " +
                                std::to_string(top + height - 23) + " sleep 0.3 click 1"));
        else
            EXPECT_TRUE(xdotool(std::string("search ") + kQuestion + " windowfocus --sync") &&
                        xdotool("sleep 0.5 key " + answer));
        bool gone = false;
        for (int i = 0; i < 100 && !gone; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            gone = !xdotool(std::string("search ") + kQuestion + " > /dev/null");
        }
        ASSERT_TRUE(gone) << "the question stayed";
        // 120 pixels right, still on the wall: as a drag it would orbit the eye and slide the wall out from under
        // the pointer. The wall goes only with a frame that shows the watcher again, uncovered.
        EXPECT_TRUE(
            xdotool("mousemove " + std::to_string(wall.right - 30) + y + " sleep 0.3 click 3 sleep 0.5 key Delete"));
        EXPECT_EQ(settled(display, is_red, [](const ScreenArea& a) { return a.count == 0; }).count, 0);
        EXPECT_EQ(screen_area(display, is_green), watcher) << "the plain move changed the picture";
        std::string started;
        for (int i = 0; i < 100 && answer == "Return" && started.empty(); ++i) {
            std::ifstream in(ran);
            std::getline(in, started, '\0');
            if (started.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(600));
        }
        EXPECT_EQ(started, answer == "Return" ? "ran\n" : "") << "the program ran not once for a yes, never else";
    }
}

TEST(MouseOnRealWindow, AQuestionThatTookTheReleaseEndsThePress) {
    if (std::getenv("KZ_VIEW_ASKING_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    for (const char* tool : {"/usr/bin/xvfb-run", "/usr/bin/xdotool", "/usr/bin/timeout"})
        if (access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is missing";
    prepare_program_folder(asking_folder());
    std::ofstream(asking_folder() + "/wall.fig", std::ios::binary) << kAskingModel;
    std::ofstream(asking_folder() + "/tool.sh", std::ios::binary) << "#!/bin/sh\necho ran >> \"${0%/*}/ran.txt\"\n";
    std::filesystem::permissions(asking_folder() + "/tool.sh", std::filesystem::perms::owner_all);
    expect_child_passes(asking_folder(), "640x480x24", "KZ_VIEW_ASKING_CHILD=1", "MouseOnRealWindow.AskingChild");
}

#endif

}  // namespace
}  // namespace kz::view::test
