// The program on a real X display, driven by xdotool, at scale 1 and with Qt's scale factor 2: a left drag to
// the right orbits the eye, so a box behind the target slides left on the screen; a wheel notch forward dollies
// in, so the box grows; a middle click on the box makes it the target, so it comes to the middle of the screen.
// The parent test starts this program again inside `xvfb-run -a`.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef KZVIEW_PROGRAM
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

#include "support/test_paths.h"

namespace {

#ifdef KZVIEW_PROGRAM

namespace fs = std::filesystem;

// A black room with one red box straight behind the target, seen level from the front.
constexpr char kModel[] =
    "set,haikei,0,0,0\r\n"
    "set,eye point,0,-4000,1000,0,0,1000,55\r\n"
    "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,marker\r\n"
    "box,-300,2700,700,,,,,,,,,,600,600,600,,,,,,1,255,0,0\r\n";

std::string folder() { return kz::test::output_dir() + "/view_mouse_window"; }

struct RedArea {
    long count = 0;
    double centre_x = 0.0, centre_y = 0.0;
};

RedArea red_area(Display* display) {
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    RedArea a;
    XImage* image = XGetImage(display, RootWindow(display, screen), 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return a;
    double sum_x = 0.0, sum_y = 0.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (r > 120 && g < 60 && b < 60) ++a.count, sum_x += x, sum_y += y;
        }
    XDestroyImage(image);
    if (a.count) a.centre_x = sum_x / a.count, a.centre_y = sum_y / a.count;
    return a;
}

// The screen once two looks a little apart agree (start-up moves, eye moves and paints have settled).
RedArea settled(Display* display) {
    RedArea last = red_area(display);
    for (int i = 0; i < 30; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const RedArea now = red_area(display);
        if (now.count > 0 && now.count == last.count && now.centre_x == last.centre_x && now.centre_y == last.centre_y)
            return now;
        last = now;
    }
    return last;
}

bool xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

TEST(MouseOnRealWindow, Child) {
    const char* scale = std::getenv("KZ_VIEW_MOUSE_CHILD");
    if (!scale) GTEST_SKIP() << "runs only inside the Xvfb child";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const std::string errors = folder() + "/stderr.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen(errors.c_str(), "w", stderr);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("QT_SCALE_FACTOR", scale, 1);
        const std::string program = folder() + "/kzview", model = folder() + "/box.fig";
        execl(program.c_str(), program.c_str(), model.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const RedArea start = settled(display);
    EXPECT_GT(start.count, 100) << "the box is not on the screen";
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    const std::string middle = std::to_string(width / 2) + " " + std::to_string(height / 2);

    // Drag 80 screen pixels right: the eye orbits, and what lies beyond the target moves left.
    EXPECT_TRUE(xdotool("mousemove " + middle +
                        " sleep 0.2 mousedown 1 sleep 0.2 mousemove_relative 40 0 sleep 0.1 "
                        "mousemove_relative 40 0 sleep 0.2 mouseup 1"));
    const RedArea dragged = settled(display);
    EXPECT_LT(dragged.centre_x, start.centre_x - 10) << "from " << start.centre_x;

    // One wheel notch forward: the eye comes 10 % nearer the target and the box grows.
    EXPECT_TRUE(xdotool("click 4"));
    const RedArea nearer = settled(display);
    EXPECT_GT(nearer.count, dragged.count * 1.05) << "from " << dragged.count;

    // A middle click on the box: the point under the cursor becomes the target, in the middle of the screen.
    const std::string on_box =
        std::to_string(static_cast<int>(nearer.centre_x)) + " " + std::to_string(static_cast<int>(nearer.centre_y));
    EXPECT_TRUE(xdotool("mousemove " + on_box + " sleep 0.2 click 2"));
    const RedArea aimed = settled(display);
    EXPECT_NEAR(aimed.centre_x, width / 2.0, width * 0.03) << "clicked at " << on_box;
    EXPECT_NEAR(aimed.centre_y, height / 2.0, height * 0.04) << "clicked at " << on_box;

    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    XCloseDisplay(display);
}

TEST(MouseOnRealWindow, DragWheelAndMiddleClickChangeTheScreen) {
    if (std::getenv("KZ_VIEW_MOUSE_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    if (access("/usr/bin/xdotool", X_OK) != 0) GTEST_SKIP() << "xdotool (package xdotool) is missing";
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    fs::remove_all(folder());
    fs::create_directories(folder());
    fs::copy_file(KZVIEW_PROGRAM, folder() + "/kzview");
    std::ofstream(folder() + "/box.fig", std::ios::binary) << kModel;
    for (const char* scale : {"1", "2"}) {
        const std::string command =
            "/usr/bin/xvfb-run -a -s '-screen 0 640x480x24' env KZ_VIEW_MOUSE_CHILD=" + std::string(scale) + " '" +
            self + "' --gtest_filter=MouseOnRealWindow.Child > '" + folder() + "/child.txt' 2>&1";
        const int result = std::system(command.c_str());
        std::ifstream in(folder() + "/child.txt");
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(result, 0) << "scale " << scale << "\n" << log;
        EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << "scale " << scale << "\n" << log;
    }
}

#endif

}  // namespace
