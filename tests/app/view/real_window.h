// The program on a real X display, for the tests that drive it with xdotool inside `xvfb-run`: a copy of the
// built program started on a model, the part of the screen of one colour, waiting until the screen settles, and
// ending the program.
#pragma once
#ifdef KZVIEW_PROGRAM
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_paths.h"

namespace kz::view::test {

// A black room with one red box straight behind the target, seen level from the front.
inline constexpr char kRedBoxModel[] =
    "set,haikei,0,0,0\r\n"
    "set,eye point,0,-4000,1000,0,0,1000,55\r\n"
    "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,marker\r\n"
    "box,-300,2700,700,,,,,,,,,,600,600,600,,,,,,1,255,0,0\r\n";

// A new folder with a copy of the program and the red box model as box.fig.
inline void prepare_program_folder(const std::string& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(KZVIEW_PROGRAM, folder + "/kzview");
    std::ofstream(folder + "/box.fig", std::ios::binary) << kRedBoxModel;
}

using PixelTest = bool (*)(int r, int g, int b);

inline bool is_red(int r, int g, int b) { return r > 120 && g < 60 && b < 60; }
inline bool is_green(int r, int g, int b) { return g > 120 && r < 60 && b < 60; }

struct ScreenArea {
    long count = 0;
    double centre_x = 0.0, centre_y = 0.0;
    int left = -1, right = -1;  // the first and the last column holding such pixels
    bool operator==(const ScreenArea&) const = default;
};
inline void PrintTo(const ScreenArea& a, std::ostream* out) {
    *out << a.count << " pixels around (" << a.centre_x << ", " << a.centre_y << "), columns " << a.left << ".."
         << a.right;
}

// The screen's pixels that pass the test, in the rows top..bottom (the whole screen by default).
inline ScreenArea screen_area(Display* display, PixelTest test, int top = 0, int bottom = -1) {
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    if (bottom < 0 || bottom > height) bottom = height;
    ScreenArea a;
    if (top >= bottom) return a;
    XImage* image = XGetImage(display, RootWindow(display, screen), 0, top, width, bottom - top, AllPlanes, ZPixmap);
    if (!image) return a;
    double sum_x = 0.0, sum_y = 0.0;
    for (int y = 0; y < bottom - top; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            if (!test((p >> 16) & 255, (p >> 8) & 255, p & 255)) continue;
            ++a.count, sum_x += x, sum_y += y + top;
            if (a.left < 0 || x < a.left) a.left = x;
            if (x > a.right) a.right = x;
        }
    XDestroyImage(image);
    if (a.count) a.centre_x = sum_x / a.count, a.centre_y = sum_y / a.count;
    return a;
}

// The area once it shows the state the caller waits for (by default: some such pixels) and two looks a little
// apart agree, or the last look after about a minute. The program answers input in its own time: on a loaded
// machine the frame an input asks for may come seconds later, and until then a screen that holds still only
// shows that the answer has not come yet.
inline ScreenArea settled(Display* display, PixelTest test = is_red,
                          const std::function<bool(const ScreenArea&)>& awaited = {}) {
    ScreenArea last = screen_area(display, test);
    for (int i = 0; i < 90; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const ScreenArea now = screen_area(display, test);
        if (now == last && (awaited ? awaited(now) : now.count > 0)) return now;
        last = now;
    }
    return last;
}

inline bool xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

// Starts folder/kzview on the model (none: an empty name) with Qt's scale factor; its standard error goes to
// folder/stderr.txt.
inline pid_t start_program(const std::string& folder, const std::string& model, const char* scale = "1") {
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen((folder + "/stderr.txt").c_str(), "w", stderr);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("QT_SCALE_FACTOR", scale, 1);
        const std::string program = folder + "/kzview";
        if (model.empty())
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        else
            execl(program.c_str(), program.c_str(), model.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits up to the given time for the program to end by itself; then ends it. True when it ended by itself with
// exit code 0.
inline bool wait_program(pid_t pid, int seconds) {
    int status = 0;
    for (int i = 0; i < seconds * 10; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
}

inline void stop_program(pid_t pid) {
    kill(pid, SIGTERM);
    wait_program(pid, 10);
}

// The first top-level window whose name begins "KZ3Dview" (or `prefix`), or 0.
inline Window find_main_window(Display* display, std::string* name, const char* prefix = "KZ3Dview") {
    Window root_return, parent_return, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent_return, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* window_name = nullptr;
        if (XFetchName(display, children[i], &window_name) && window_name) {
            if (std::string(window_name).rfind(prefix, 0) == 0) {
                found = children[i];
                *name = window_name;
            }
            XFree(window_name);
        }
    }
    if (children) XFree(children);
    return found;
}

inline void close_window(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// Runs this test program (or the copy of it given) again inside `xvfb-run` on a screen of that size ("640x480x24"),
// with the environment assignment and the gtest filter; expects the child's one test to pass, and shows its log
// when it did not.
inline void expect_child_passes(const std::string& folder, const std::string& screen, const std::string& assignment,
                                const std::string& filter, std::string program = {}) {
    if (program.empty()) program = kz::test::self_path();
    const std::string command = "/usr/bin/xvfb-run -a -s '-screen 0 " + screen + "' env " + assignment + " '" +
                                program + "' --gtest_filter=" + filter + " > '" + folder + "/child.txt' 2>&1";
    const int result = std::system(command.c_str());
    const std::string log = kz::test::read_all(folder + "/child.txt");
    EXPECT_EQ(result, 0) << assignment << "\n" << log;
    EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << assignment << "\n" << log;
}

// A copy of this test program under a plain name in the folder: the program reads a start file's name out of its
// own file name ("view_tests" would ask for "tests.fig").
inline std::string plain_named_self(const std::string& folder, const std::string& name) {
    const std::string self = kz::test::self_path(), plain = folder + "/" + name;
    if (self.empty()) return {};
    std::error_code linked;
    std::filesystem::create_hard_link(self, plain, linked);
    if (linked) std::filesystem::copy_file(self, plain);
    return plain;
}

// The whole screen, 0xRRGGBB a pixel, row by row.
inline std::vector<unsigned long> screenshot(Display* display) {
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, RootWindow(display, screen), 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

// The share of pixels whose colour moved by more than the tolerance in some channel (1 when the sizes differ):
// rasterisation and overlay text move a few pixels, a changed picture many.
inline double changed_share(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b,
                            int tolerance = 40) {
    if (a.size() != b.size() || a.empty()) return 1.0;
    long changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a[i] >> shift) & 255) - static_cast<int>((b[i] >> shift) & 255)) >
                tolerance) {
                ++changed;
                break;
            }
    return static_cast<double>(changed) / static_cast<double>(a.size());
}

// The share of the screenshot's pixels that pass the test.
inline double colour_share(const std::vector<unsigned long>& pixels, PixelTest test) {
    long count = 0;
    for (unsigned long p : pixels) count += test((p >> 16) & 255, (p >> 8) & 255, p & 255);
    return pixels.empty() ? 0.0 : static_cast<double>(count) / static_cast<double>(pixels.size());
}

// Polls the screen until it holds still and passes the check, or a minute goes by: a loaded machine may take
// long to show a frame, and a still screen that does not pass yet may still be waiting for one. The last
// screenshot comes back for the caller's own check.
template <class Check>
std::vector<unsigned long> screen_once(Display* display, Check check) {
    std::vector<unsigned long> last = screenshot(display);
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        std::vector<unsigned long> now = screenshot(display);
        const bool still = changed_share(now, last, 8) < 0.001;
        last = std::move(now);
        if (still && check(last)) break;
    }
    return last;
}

}  // namespace kz::view::test
#endif
