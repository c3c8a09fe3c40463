// The program on a real X display walking through a room: the walk message reaches the view window while the
// program runs its own message loop, and two screenshots taken while the walk runs differ, because its frames
// reach the window. The parent test starts this program again inside `xvfb-run -a`, where the child runs the
// program's entry itself with a small driver window beside it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/view/program_entry.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "support/test_paths.h"

// Last: Xlib's macros (None, Bool, Status) must not reach the program's headers.
#include "real_window.h"

namespace {

#ifdef KZVIEW_PROGRAM

namespace fs = std::filesystem;

// A room of four coloured walls on a floor.
constexpr char kModel[] =
    "set,haikei,0,0,0\r\n"
    "set,eye point,2000,-3000,1500,2000,1500,800,55\r\n"
    "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,room\r\n"
    "box,0,0,-100,,,,,,,,,,4000,3000,100,,,,,,1,200,200,200\r\n"
    "box,0,3000,0,,,,,,,,,,4000,100,2500,,,,,,1,255,0,0\r\n"
    "box,-100,0,0,,,,,,,,,,100,3000,2500,,,,,,1,0,255,0\r\n"
    "box,4000,0,0,,,,,,,,,,100,3000,2500,,,,,,1,0,0,255\r\n"
    "box,0,-100,0,,,,,,,,,,4000,100,600,,,,,,1,255,255,0\r\n";

std::string folder() { return kz::test::output_dir() + "/view_walk_window"; }

using kz::view::test::screenshot;

// Ticks of the driver window, a quarter second apart, on the program's own loop (inside the walk's pump once
// it runs). The walk wanders at random, over the floor and a margin around it, and may look from outside the room
// over its low wall into the dark, so the room is looked for before the walk: once a screenshot shows it, the walk
// message goes, and screenshots three and four and a half seconds later must differ; then the close.
namespace kp = kz::platform;
Display* g_display = nullptr;
int g_ticks = 0, g_walk_tick = 0;
std::vector<unsigned long> g_first, g_second;

long lit_pixels(const std::vector<unsigned long>& pixels) {
    return static_cast<long>(pixels.size()) - std::count(pixels.begin(), pixels.end(), 0ul);
}

kp::LResult driver_procedure(kp::WindowHandle w, std::uint32_t message, kp::WParam wp, kp::LParam lp) {
    if (message != kp::WM_USER + 1) return kp::default_window_procedure(w, message, wp, lp);
    ++g_ticks;
    if (!g_walk_tick && kz::view::g_view) {
        const std::vector<unsigned long> room = screenshot(g_display);
        if (lit_pixels(room) > static_cast<long>(room.size() / 10) || g_ticks == 60) {
            g_walk_tick = g_ticks;
            kp::post_message(kz::view::g_view->output.view_window[0], kz::view::VIEW_SWALOW, 0, 0);
        }
    }
    if (g_walk_tick && g_ticks == g_walk_tick + 12) g_first = screenshot(g_display);
    if (g_walk_tick && g_ticks == g_walk_tick + 18) {
        g_second = screenshot(g_display);
        kp::post_message(kz::view::g_main_window, kp::WM_CLOSE, 0, 0);
    }
    return 0;
}

TEST(WalkOnRealWindow, Child) {
    if (!std::getenv("KZ_VIEW_WALK_CHILD")) GTEST_SKIP() << "runs only inside the Xvfb child";
    g_display = XOpenDisplay(nullptr);
    ASSERT_NE(g_display, nullptr);
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // the tests' offscreen platform shows nothing on the display
    ASSERT_TRUE(kp::ensure_application());
    kp::WindowClass driver_class;
    driver_class.name = "KzWalkDriver";
    driver_class.procedure = driver_procedure;
    ASSERT_TRUE(kp::register_window_class(driver_class));
    const kp::WindowHandle driver = kp::create_window("KzWalkDriver", "", 0, 0, 0, 1, 1, kp::desktop_window());
    kp::PeriodicTimer timer;
    ASSERT_TRUE(timer.start(250, [driver] { kp::post_message(driver, kp::WM_USER + 1, 0, 0); }));
    const std::string model = kp::from_native_path(folder() + "/walk.fig");
    kz::view::WinMain(nullptr, nullptr, model.c_str(), 1);
    timer.stop();
    kp::destroy_window(driver);
    ASSERT_FALSE(g_first.empty());
    ASSERT_EQ(g_first.size(), g_second.size());
    EXPECT_LT(g_walk_tick, 60) << "the room is not on the screen";
    long changed = 0;
    for (std::size_t i = 0; i < g_first.size(); ++i) changed += g_first[i] != g_second[i];
    EXPECT_GT(changed, static_cast<long>(g_second.size() / 100)) << "the walk shows no frames";
    XCloseDisplay(g_display);
}

TEST(WalkOnRealWindow, ScreenshotsDuringAWalkDiffer) {
    if (std::getenv("KZ_VIEW_WALK_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    fs::remove_all(folder());
    fs::create_directories(folder());
    std::ofstream(folder() + "/walk.fig", std::ios::binary) << kModel;
    kz::view::test::expect_child_passes(folder(), "320x240x24", "KZ_VIEW_WALK_CHILD=1", "WalkOnRealWindow.Child",
                                        kz::view::test::plain_named_self(folder(), "walkview"));
}

#endif

}  // namespace
