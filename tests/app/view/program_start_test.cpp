// The program under a real display: started beside a "start.txt", beside a figure set, and with a file name
// argument, it opens the file its start rules choose (shown in its title), the libraries' lines on standard error
// carry its name, and closing its main window ends it with exit code 0 and no sanitizer report. The parent test starts
// this program again inside `xvfb-run -a`.
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

namespace fs = std::filesystem;

#ifdef KZVIEW_PROGRAM

struct StartCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;
    const char* argument;        // relative to the case folder, or null
    const char* opened;          // the model opened, relative to the case folder in the program's form
    const char* said = nullptr;  // a line on standard error after "kzview: " and the case folder
};

const StartCase kCases[] = {
    {"start_txt",
     {{"start.txt", "models\\first.fig\r\n"}, {"models/first.fig", ""}, {"z.fig", ""}},
     nullptr,
     "models\\first.fig"},
    {"figset", {{"room.figset", "figfile,inner.fig\r\n"}, {"inner.fig", ""}, {"a.fig", ""}}, nullptr, "inner.fig"},
    {"argument",
     {{"start.txt", "other.fig\r\n"},
      {"other.fig", ""},
      {"given.fig", "box,w=100,d=100,h=100,paste=A;2;binary.dxf;1;1\r\n"},
      {"binary.dxf", "AutoCAD Binary DXF\r\n"}},
     "given.fig",
     "given.fig",
     "/binary.dxf: binary DXF files are not read"},
};

std::string case_folder(const char* name) { return kz::test::output_dir() + "/view_program_" + name; }

// The main window's title for the case: the opened model's file by its native path, the lens and the stereo factor.
std::string expected_title(const StartCase& c) {
    std::string file = case_folder(c.name) + "/" + c.opened;
    for (char& ch : file)
        if (ch == '\\') ch = '/';
    return "KZ3Dview " + file + "[55mm](1.000)";
}

// Runs inside Xvfb: one case, named by KZ_VIEW_START_CASE.
TEST(KzviewUnderXvfb, Child) {
    const char* case_name = std::getenv("KZ_VIEW_START_CASE");
    if (!case_name) GTEST_SKIP() << "runs only inside the Xvfb child started by StartsAndClosesCleanly";
    const StartCase* c = nullptr;
    for (const StartCase& k : kCases)
        if (std::string(k.name) == case_name) c = &k;
    ASSERT_NE(c, nullptr);
    const std::string folder = case_folder(c->name);
    const std::string program = folder + "/kzview";
    const std::string errors = folder + "/stderr.txt";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen(errors.c_str(), "w", stderr);
        if (chdir("/") != 0) _exit(126);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        const std::string argument = c->argument ? folder + "/" + c->argument : "";
        if (c->argument)
            execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
        else
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string title;
    Window main_window = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        main_window = find_main_window(display, &title);
        if (main_window && title == expected_title(*c)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(title, expected_title(*c));
    if (main_window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, main_window, &attributes);
        // Stretched over the whole screen.
        EXPECT_EQ(attributes.width, DisplayWidth(display, DefaultScreen(display)));
        EXPECT_EQ(attributes.map_state, IsViewable);
        close_window(display, main_window);
    }
    EXPECT_TRUE(wait_program(pid, 60)) << "the program did not end with code 0 after its main window was closed";
    XCloseDisplay(display);
    const std::string text = kz::test::read_all(errors);
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_EQ(text.find("runtime error"), std::string::npos) << text;
    if (c->said) {
        EXPECT_NE(text.find("kzview: " + folder + c->said), std::string::npos) << text;
    }
}

TEST(KzviewUnderXvfb, StartsAndClosesCleanly) {
    if (std::getenv("KZ_VIEW_START_CASE")) GTEST_SKIP() << "the child runs one case itself";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    for (const StartCase& c : kCases) {
        const std::string folder = case_folder(c.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(KZVIEW_PROGRAM, folder + "/kzview");
        for (const auto& [file, content] : c.files) {
            fs::create_directories(fs::path(folder + "/" + file).parent_path());
            std::ofstream(folder + "/" + file, std::ios::binary) << content;
        }
        expect_child_passes(folder, "800x600x24", std::string("QT_QPA_PLATFORM=xcb KZ_VIEW_START_CASE=") + c.name,
                            "KzviewUnderXvfb.Child");
    }
}

#endif

}  // namespace
}  // namespace kz::view::test
