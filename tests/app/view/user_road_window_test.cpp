// The user's road through the program on a real X display, typed and clicked with xdotool: the sample room comes
// up; a drag orbits, the arrows walk; the move tool drags the ball; Escape shows the key help; section, shadows and
// stereo each change the picture and change it back; Ctrl+S writes the moved ball into the file; K reads the file
// again after another program changed it; P prints a PDF page that is not blank; read again with the door example
// written over it, a click on its door runs the door's scripted action; a figure file dragged from another program
// and dropped on the window opens in its place. Each step waits for the screen to settle and compares screenshots
// with tolerance. The parent test starts this program again inside `xvfb-run -a`, where the child runs the
// program's entry itself (so its printer prints into a file) and drives it from a second thread.
#include <gtest/gtest.h>

#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/view/program_entry.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/window.h"
#include "support/test_paths.h"

// Last: Xlib's macros (None, Bool, Status) must not reach the program's headers.
#include "real_window.h"

namespace kz::view::test {
namespace {

#ifdef KZVIEW_PROGRAM

namespace fs = std::filesystem;
namespace kp = kz::platform;
using Pixels = std::vector<unsigned long>;

std::string folder() { return kz::test::output_dir() + "/view_user_road"; }

// Replaces the line holding the word; false when there is none.
bool replace_line(std::string& text, const std::string& word, const std::string& line) {
    const std::size_t at = text.find(word);
    if (at == std::string::npos) return false;
    const std::size_t start = text.rfind('\n', at) + 1;
    text.replace(start, text.find_first_of("\r\n", at) - start, line);
    return true;
}

bool near(int value, int wanted) { return value > wanted - 12 && value < wanted + 12; }
bool is_sky(int r, int g, int b) { return near(r, 170) && near(g, 200) && near(b, 235); }
bool is_purple(int r, int g, int b) { return near(r, 120) && near(g, 0) && near(b, 120); }
bool is_hall(int r, int g, int b) { return near(r, 200) && near(g, 215) && near(b, 230); }
bool is_door(int r, int g, int b) { return r < 200 && r > g + 25 && g > b + 20; }
bool is_magenta(int r, int g, int b) { return r > 240 && g < 15 && b > 240; }

auto differs_from(const Pixels& before, double share) {
    return [&before, share](const Pixels& now) { return changed_share(now, before) > share; };
}

// The share of the page's pixels darker than light grey, from pdftoppm's greyscale rendering of the first page.
double printed_ink(const std::string& pdf) {
    const std::string stem = folder() + "/page";
    if (std::system(("pdftoppm -r 20 -gray -singlefile '" + pdf + "' '" + stem + "' 2>/dev/null").c_str()) != 0)
        return 0.0;
    std::ifstream in(stem + ".pgm", std::ios::binary);
    std::string magic;
    int width = 0, height = 0, top = 0;
    in >> magic >> width >> height >> top;
    in.get();
    std::vector<char> grey(static_cast<std::size_t>(width) * height);
    if (magic != "P5" || grey.empty() || !in.read(grey.data(), static_cast<std::streamsize>(grey.size()))) return 0.0;
    long ink = 0;
    for (char g : grey) ink += static_cast<unsigned char>(g) < 200;
    return static_cast<double>(ink) / static_cast<double>(grey.size());
}

void road(Display* display) {
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    const std::string middle = std::to_string(width / 2) + " " + std::to_string(height / 2);
    const kp::WindowHandle view = g_view->output.view_window[0];

    const Pixels start = screen_once(display, [](const Pixels& p) { return colour_share(p, is_sky) > 0.05; });
    ASSERT_GT(colour_share(start, is_sky), 0.05) << "the sample room is not on the screen";

    EXPECT_TRUE(xdotool("mousemove " + middle +
                        " sleep 0.2 mousedown 1 sleep 0.2 mousemove_relative 40 0 sleep 0.1 "
                        "mousemove_relative 40 0 sleep 0.2 mouseup 1"));
    const Pixels orbited = screen_once(display, differs_from(start, 0.05));
    EXPECT_GT(changed_share(orbited, start), 0.05) << "orbit";

    EXPECT_TRUE(xdotool("key v key --delay 40 --repeat 10 Down"));
    const Pixels walked = screen_once(display, differs_from(orbited, 0.05));
    EXPECT_GT(changed_share(walked, orbited), 0.05) << "walk";

    // The move tool, as a host program chooses it, drags the ball 60 pixels to the right.
    const ScreenArea ball = screen_area(display, is_red);
    ASSERT_GT(ball.count, 30) << "the ball is not on the screen";
    kp::post_message(view, move_trunk_xy, 0, 0);
    EXPECT_TRUE(xdotool("mousemove " + std::to_string(int(ball.centre_x)) + " " + std::to_string(int(ball.centre_y)) +
                        " sleep 0.3 mousedown 1 sleep 0.2 mousemove_relative 30 0 sleep 0.1 mousemove_relative 30 0 "
                        "sleep 0.2 mouseup 1"));
    const auto ball_moved = [&](const Pixels&) { return screen_area(display, is_red).centre_x > ball.centre_x + 15; };
    screen_once(display, ball_moved);
    EXPECT_TRUE(ball_moved({})) << "drag from x " << ball.centre_x << " to " << screen_area(display, is_red).centre_x;
    kp::post_message(view, VIEW_AROUND, 0, 0);

    const std::string file = folder() + "/room/room.fig";
    const std::string original = kz::test::read_all(file);
    EXPECT_TRUE(xdotool("key ctrl+s"));
    std::string saved = original;
    for (int i = 0; i < 100 && saved == original; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        saved = kz::test::read_all(file);
    }
    EXPECT_NE(saved, original) << "Ctrl+S wrote nothing";
    EXPECT_NE(saved.find("red ball"), std::string::npos) << saved;

    // Another program changes the background in the file and sets the sun at a summer noon; K reads it again.
    ASSERT_TRUE(replace_line(saved, "haikei", "set,haikei,120,0,120")) << saved;
    ASSERT_TRUE(replace_line(saved, "shadow_month", "set,shadow_month,6,21,12,0")) << saved;
    std::ofstream(file, std::ios::binary) << saved;
    EXPECT_TRUE(xdotool("key k"));
    const Pixels reloaded = screen_once(display, [](const Pixels& p) { return colour_share(p, is_purple) > 0.05; });
    EXPECT_GT(colour_share(reloaded, is_purple), 0.05) << "reload";

    EXPECT_TRUE(xdotool("key Escape"));
    const Pixels help = screen_once(display, differs_from(reloaded, 0.02));
    EXPECT_GT(changed_share(help, reloaded), 0.02) << "key help";

    // Each switch changes the picture, and its last press brings the first picture back; the switch's line of
    // text over the frame's top rows is left out.
    const auto picture_change = [width](const Pixels& a, const Pixels& b) {
        const std::size_t skip = static_cast<std::size_t>(width) * 20;
        if (a.size() <= skip || b.size() <= skip) return 1.0;
        return changed_share(Pixels(a.begin() + skip, a.end()), Pixels(b.begin() + skip, b.end()));
    };
    struct Switch {
        const char* name;
        const char* on;
        const char* off;
    };
    for (const Switch& s :
         {Switch{"section", "d", "d d d"}, Switch{"shadows", "s", "s"}, Switch{"stereo", "w", "w w w"}}) {
        EXPECT_TRUE(xdotool(std::string("key ") + s.on));
        const Pixels on = screen_once(display, [&](const Pixels& p) { return picture_change(p, reloaded) > 0.01; });
        EXPECT_GT(picture_change(on, reloaded), 0.01) << s.name << " on";
        EXPECT_TRUE(xdotool(std::string("key --delay 200 ") + s.off));
        const Pixels off = screen_once(display, [&](const Pixels& p) { return picture_change(p, reloaded) < 0.003; });
        EXPECT_LT(picture_change(off, reloaded), 0.003) << s.name << " off";
    }

    const std::string pdf = folder() + "/print.pdf";
    EXPECT_TRUE(xdotool("key p"));
    for (int i = 0; i < 100 && printed_ink(pdf) == 0.0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_GT(printed_ink(pdf), 0.05) << "print";

    // The door example written over the file and read again: a click on its door runs the door's action.
    fs::copy_file(folder() + "/door.fig", file, fs::copy_options::overwrite_existing);
    EXPECT_TRUE(xdotool("key k"));
    const Pixels hall = screen_once(display, [](const Pixels& p) { return colour_share(p, is_hall) > 0.1; });
    ASSERT_GT(colour_share(hall, is_hall), 0.1) << "the door example is not on the screen";
    const ScreenArea door = screen_area(display, is_door);
    ASSERT_GT(door.count, 50) << "the door is not on the screen";
    EXPECT_TRUE(xdotool("mousemove " + std::to_string(int(door.centre_x)) + " " + std::to_string(int(door.centre_y)) +
                        " sleep 0.3 click 1"));
    const Pixels acted = screen_once(display, differs_from(hall, 0.2));
    EXPECT_GT(changed_share(acted, hall), 0.2) << "the door's action";

    // The tests' drag source shows its square at the top left; a drag from it onto the view drops the red box.
    std::string box = folder() + "/box.fig";
    char* arguments[] = {const_cast<char*>(KZ_DRAG_SOURCE), box.data(), nullptr};
    pid_t source = 0;
    ASSERT_EQ(posix_spawn(&source, KZ_DRAG_SOURCE, nullptr, nullptr, arguments, environ), 0);
    screen_once(display, [&](const Pixels&) { return screen_area(display, is_magenta).count > 9000; });
    EXPECT_TRUE(
        xdotool("mousemove 48 48 sleep 0.3 mousedown 1 sleep 0.3 mousemove 60 60 sleep 0.2 mousemove 150 120 "
                "sleep 0.2 mousemove 250 200 sleep 0.2 mousemove " +
                middle + " sleep 1 mousemove_relative 2 2 sleep 0.5 mouseup 1"));
    const auto box_shown = [](const Pixels& p) {
        return colour_share(p, is_red) > 0.002 && colour_share(p, is_hall) < 0.01;
    };
    const Pixels dropped = screen_once(display, box_shown);
    EXPECT_TRUE(box_shown(dropped)) << "drop: red " << colour_share(dropped, is_red) << ", hall "
                                    << colour_share(dropped, is_hall);
    std::string title;
    find_main_window(display, &title);
    EXPECT_NE(title.find("box.fig"), std::string::npos) << title;
    EXPECT_TRUE(wait_program(source, 30)) << "the drag source was not asked for the dropped names";
}

// The road, on a thread of its own while the program's loop runs; the program's window is closed at the end.
void drive() {
    for (int i = 0; i < 600 && !g_view; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (Display* display = XOpenDisplay(nullptr)) {
        if (g_view) road(display);
        XCloseDisplay(display);
    } else {
        ADD_FAILURE() << "no display";
    }
    kp::post_message(g_main_window, kp::WM_CLOSE, 0, 0);
}

TEST(UserRoadOnRealWindow, Child) {
    if (!std::getenv("KZ_VIEW_ROAD_CHILD")) GTEST_SKIP() << "runs only inside the Xvfb child";
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // the tests' offscreen platform shows nothing on the display
    ASSERT_TRUE(kp::ensure_application());
    kp::DialogTestAnswers answers;
    answers.print_pdf_file = folder() + "/print.pdf";
    kp::set_dialog_test_mode(true, answers);
    std::thread driver(drive);
    const std::string model = kp::from_native_path(folder() + "/room/room.fig");
    WinMain(nullptr, nullptr, model.c_str(), 1);
    driver.join();
    kp::set_dialog_test_mode(false);
}

TEST(UserRoadOnRealWindow, OrbitWalkDragSwitchesSaveReloadPrintActionAndDrop) {
    if (std::getenv("KZ_VIEW_ROAD_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    for (const char* tool : {"/usr/bin/xvfb-run", "/usr/bin/xdotool", "/usr/bin/pdftoppm"})
        if (access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is missing";
    const std::string examples = std::string(std::getenv("KZ_SOURCE_DIR")) + "/examples";
    fs::remove_all(folder());
    fs::create_directories(folder() + "/room");
    fs::copy(examples + "/sample-room", folder() + "/room");
    fs::copy_file(examples + "/door-demo/door.fig", folder() + "/door.fig");
    std::ofstream(folder() + "/box.fig", std::ios::binary) << kRedBoxModel;
    expect_child_passes(folder(), "640x480x24", "KZ_VIEW_ROAD_CHILD=1", "UserRoadOnRealWindow.Child",
                        plain_named_self(folder(), "roadview"));
}

#endif

}  // namespace
}  // namespace kz::view::test
