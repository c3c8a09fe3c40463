// Saving on a real X display, typed and clicked with xdotool: a model names a figure file outside its folder and
// a text file of the user's as units; a right click and Delete remove an item of each, and Ctrl+S asks, in a real
// message box, before writing the file outside: Escape leaves both files as they were and names them on standard
// error, a second Ctrl+S answered with Return writes the figure file, and the text file is never written. The
// parent test starts this program again inside `xvfb-run -a`.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "real_window.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

#ifdef KZVIEW_PROGRAM

std::string folder() { return kz::test::output_dir() + "/view_save_window"; }

// A black room with two boxes side by side, each the only item of a unit: the red one in a figure file outside
// the model's folder, the green one in a text file of the user's that happens to hold figure lines.
void write_models() {
    const std::string item = "trunk" + std::string(29, ',');
    std::filesystem::create_directories(folder() + "/model");
    std::filesystem::create_directories(folder() + "/outside");
    std::filesystem::create_directories(folder() + "/victim");
    std::ofstream(folder() + "/model/main.fig", std::ios::binary)
        << "set,haikei,0,0,0\r\nset,eye point,0,-4000,1000,0,0,1000,55\r\n"
        << item << "far,,#frefer=..\\outside\\far.fig\r\n"
        << item << "victim,,#frefer=..\\victim\\target.txt\r\n";
    std::ofstream(folder() + "/outside/far.fig", std::ios::binary)
        << item << "red item\r\nbox,-800,2700,700,,,,,,,,,,600,600,600,,,,,,1,255,0,0\r\n";
    std::ofstream(folder() + "/victim/target.txt", std::ios::binary)
        << "# notes of mine\n"
        << item << "green item\nbox,200,2700,700,,,,,,,,,,600,600,600,,,,,,1,0,255,0\n";
}

// Right click on the middle of the area, then Delete: the item under the pointer is selected and deleted.
void delete_item_at(Display* display, PixelTest colour) {
    const ScreenArea a = settled(display, colour, [](const ScreenArea& s) { return s.count > 100; });
    ASSERT_GT(a.count, 100);
    EXPECT_TRUE(xdotool("mousemove " + std::to_string(int(a.centre_x)) + " " + std::to_string(int(a.centre_y)) +
                        " sleep 0.3 click 3 sleep 0.5 key Delete"));
    EXPECT_EQ(settled(display, colour, [](const ScreenArea& s) { return s.count == 0; }).count, 0);
}

// Ctrl+S, then the key typed into the question box once it shows and has the focus; false when no box came.
bool save_and_answer(const char* key) {
    return xdotool("key ctrl+s") &&
           std::system(
               "timeout 90 xdotool search --sync --onlyvisible --limit 1 --name 'フォルダ外' windowfocus --sync") ==
               0 &&
           xdotool(std::string("sleep 0.5 key ") + key);
}

TEST(SaveOnRealWindow, Child) {
    if (!std::getenv("KZ_VIEW_SAVE_CHILD")) GTEST_SKIP() << "runs only inside the Xvfb child";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const std::string far = folder() + "/outside/far.fig", victim = folder() + "/victim/target.txt";
    const std::string far_before = kz::test::read_all(far), victim_before = kz::test::read_all(victim);
    pid_t pid = start_program(folder(), folder() + "/model/main.fig");
    ASSERT_GT(pid, 0);
    // A check that gives up early still ends the program.
    struct Ending {
        pid_t& pid;
        ~Ending() {
            if (pid > 0) stop_program(pid);
        }
    } ending{pid};
    delete_item_at(display, is_red);
    delete_item_at(display, is_green);

    ASSERT_TRUE(save_and_answer("Escape")) << "no question before writing outside the model's folder";
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(kz::test::read_all(far), far_before);
    EXPECT_EQ(kz::test::read_all(victim), victim_before);
    const std::string cancelled = kz::test::read_all(folder() + "/stderr.txt");
    EXPECT_NE(cancelled.find("far.fig"), std::string::npos) << cancelled;
    EXPECT_NE(cancelled.find("target.txt"), std::string::npos) << cancelled;

    ASSERT_TRUE(save_and_answer("Return"));
    std::string written = far_before;
    for (int i = 0; i < 100 && written == far_before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        written = kz::test::read_all(far);
    }
    EXPECT_EQ(written.find("red item"), std::string::npos) << written;
    EXPECT_NE(written, far_before);
    EXPECT_EQ(kz::test::read_all(victim), victim_before);

    std::string title;
    close_window(display, find_main_window(display, &title));
    EXPECT_TRUE(wait_program(pid, 60)) << "the program did not end by itself with code 0";
    pid = 0;
    const std::string errors = kz::test::read_all(folder() + "/stderr.txt");
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    XCloseDisplay(display);
}

TEST(SaveOnRealWindow, OutsideFilesAreWrittenOnlyAfterTheQuestion) {
    if (std::getenv("KZ_VIEW_SAVE_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    for (const char* tool : {"/usr/bin/xvfb-run", "/usr/bin/xdotool", "/usr/bin/timeout"})
        if (access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is missing";
    prepare_program_folder(folder());
    write_models();
    expect_child_passes(folder(), "800x600x24", "KZ_VIEW_SAVE_CHILD=1", "SaveOnRealWindow.Child");
}

#endif

}  // namespace
}  // namespace kz::view::test
