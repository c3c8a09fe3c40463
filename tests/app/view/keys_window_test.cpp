// The program's keys on a real X display, typed with xdotool: in the walk mode the arrow keys step back and
// forth, so a box ahead shrinks and grows again; the wire display key changes the picture and changes it back;
// Escape paints the key help, whose every line holds type of the mapped IPA font (its ink fits that font's
// rendering of the same text, and not the proportional one's); F starts the walk-through and a second F ends it,
// and a walk ended by closing the window ends the program cleanly. The parent test
// starts this program again inside `xvfb-run -a`; the screenshot with the key help stays in the output folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/view/key_help.h"
#include "real_window.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

#ifdef KZVIEW_PROGRAM

std::string folder() { return kz::test::output_dir() + "/view_keys_window"; }

bool is_green(int r, int g, int b) { return g > 100 && r < 80 && b < 80; }

// The key help's lines against the ink on the screen: "font size difference" for the fixed and the
// proportional Gothic.
std::string font_fit(Display* display) {
    const int width = DisplayWidth(display, DefaultScreen(display));
    int count = 0;
    const char* const* lines = key_help_lines(&count);
    std::ofstream rows(folder() + "/ink.txt");
    for (int n = 1; n <= count; ++n) {
        const ScreenArea band = screen_area(display, is_green, 19 * n, 19 * n + 18);
        std::ostringstream hex;
        for (const char* p = lines[n - 1]; *p; ++p) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(*p));
            hex << digits;
        }
        rows << hex.str() << " " << band.left - 10 << " " << band.right + 1 - 10 << " " << width - 10 << "\n";
    }
    rows.close();
    return kz::test::command_output(
        "/usr/bin/python3 '" + std::string(std::getenv("KZ_SOURCE_DIR")) +
        "/tests/app/view/text_ink_fit.py' /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf "
        "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf < '" +
        folder() + "/ink.txt'");
}

TEST(KeysOnRealWindow, Child) {
    if (!std::getenv("KZ_VIEW_KEYS_CHILD")) GTEST_SKIP() << "runs only inside the Xvfb child";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const pid_t pid = start_program(folder(), folder() + "/box.fig");
    ASSERT_GT(pid, 0);
    // Each look waits for the state the keys ask for: a loaded machine may answer them seconds later.
    const ScreenArea start = settled(display, is_red, [](const ScreenArea& a) { return a.count > 100; });
    EXPECT_GT(start.count, 100) << "the box is not on the screen";
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(width / 2) + " " + std::to_string(height / 2)));

    // V walks; the up arrow steps back 50 mm a press, the down arrow forward.
    EXPECT_TRUE(xdotool("key v key --delay 40 --repeat 20 Up"));
    const auto as_at_start = [&](const ScreenArea& a) { return std::abs(a.count - start.count) <= start.count * 0.02; };
    const ScreenArea back = settled(display, is_red, [&](const ScreenArea& a) { return a.count < start.count * 0.9; });
    EXPECT_LT(back.count, start.count * 0.9) << "from " << start.count;
    EXPECT_TRUE(xdotool("key --delay 40 --repeat 20 Down"));
    EXPECT_NEAR(settled(display, is_red, as_at_start).count, start.count, start.count * 0.02);

    // I: the wire display leaves the box's edges only.
    EXPECT_TRUE(xdotool("key i"));
    EXPECT_LT(settled(display, is_red, [&](const ScreenArea& a) { return a.count < start.count / 2; }).count,
              start.count / 2);
    EXPECT_TRUE(xdotool("key i"));
    EXPECT_NEAR(settled(display, is_red, as_at_start).count, start.count, start.count * 0.02);

    // Escape: the key help over the frame, one line every 19 pixels.
    EXPECT_TRUE(xdotool("key Escape"));
    settled(display, is_green);
    int count = 0;
    key_help_lines(&count);
    for (int n = 1; n <= count; ++n) EXPECT_GT(screen_area(display, is_green, 19 * n, 19 * n + 18).count, 20) << n;
    kz::test::command_output("xwd -root -silent -out '" + folder() + "/key_help.xwd' && /usr/bin/python3 '" +
                             std::getenv("KZ_SOURCE_DIR") + "/scripts/xwd_to_png.py' '" + folder() +
                             "/key_help.xwd' '" + folder() + "/key_help.png'");
    std::istringstream fit(font_fit(display));
    std::string font;
    int size = 0, fixed_difference = 99, proportional_difference = 0;
    fit >> font >> size >> fixed_difference >> font >> size >> proportional_difference;
    EXPECT_LE(fixed_difference, 2) << fit.str();
    EXPECT_GT(proportional_difference, 6) << fit.str();

    // F: the walk-through runs; F again ends it and the picture rests. The walk roams the box's own floor at the
    // box's heights, so it often ends inside the box (nothing red, or red everywhere): Home brings the whole box
    // into view, which a walk still running would move away again.
    EXPECT_TRUE(xdotool("key f sleep 2 key f key Home"));
    const long screen = long(width) * height;
    const auto shows_the_box = [&](const ScreenArea& a) { return a.count > 100 && a.count < screen / 2; };
    const ScreenArea rested = settled(display, is_red, shows_the_box);
    EXPECT_TRUE(shows_the_box(rested)) << testing::PrintToString(rested);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(screen_area(display, is_red), rested);

    // A walk ended by closing the window ends the program with exit code 0.
    EXPECT_TRUE(xdotool("key f sleep 1"));
    std::string title;
    close_window(display, find_main_window(display, &title));
    EXPECT_TRUE(wait_program(pid, 60)) << "the program did not end by itself with code 0";
    const std::string text = kz::test::read_all(folder() + "/stderr.txt");
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_EQ(text.find("runtime error"), std::string::npos) << text;
    XCloseDisplay(display);
}

TEST(KeysOnRealWindow, ArrowsSwitchesKeyHelpAndWalkThrough) {
    if (std::getenv("KZ_VIEW_KEYS_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    if (access("/usr/bin/xdotool", X_OK) != 0) GTEST_SKIP() << "xdotool (package xdotool) is missing";
    prepare_program_folder(folder());
    expect_child_passes(folder(), "1024x768x24", "KZ_VIEW_KEYS_CHILD=1", "KeysOnRealWindow.Child");
}

#endif

}  // namespace
}  // namespace kz::view::test
