// The program on a real X display, closed by the window manager (WM_DELETE_WINDOW) while it is busy opening its
// start model: a unit file trickling in over "http:", a long figure file, a mesh file, a drawing file imported on
// a face and a drawing laid on a face. Each time the program ends by itself soon after the close, says once on
// standard error that the open was stopped because the window was closed, and starts no further transfer. The local
// files are small: the viewer built with a pause in every step of long work (slow_viewer/) takes minutes over them.
// The parent test starts this program again inside `xvfb-run -a`.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/scene/pasted_drawing.h"
#include "drawing2d/drawing_files.h"
#include "modeller/files/om3_chunks.h"
#include "real_window.h"
#include "support/loopback_server.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

#ifdef KZVIEW_PROGRAM

std::string folder() { return kz::test::output_dir() + "/view_busy_window"; }

// Steps of long work each case's files hold: at the slow viewer's pause they would keep it busy for minutes.
constexpr int kSteps = 2500;

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

const char* const kBoxLine = "box,-300,2700,700,,,,,,,,,,600,600,600,,,,,,1,255,0,0";

// A DXF of `lines` red lines and `points` points (points are read, and drawn by nobody).
std::string dxf(int lines, int points) {
    std::string out = "0\nSECTION\n2\nENTITIES\n";
    char entity[160];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(entity, sizeof entity, "0\nLINE\n8\n1\n62\n1\n10\n0\n20\n%d\n11\n50\n21\n%d\n", i % 100, i % 100);
        out += entity;
    }
    for (int i = 0; i < points; ++i) {
        std::snprintf(entity, sizeof entity, "0\nPOINT\n8\n1\n10\n%d\n20\n0\n", i % 100);
        out += entity;
    }
    return out + "0\nENDSEC\n0\nEOF\n";
}

// An OM3 file of one primitive with one triangle list of `vertices` vertices.
std::string om3(int vertices) {
    std::string out;
    auto chunk = [&](std::int32_t type, int size) {
        std::string c(static_cast<std::size_t>(size), '\0');
        auto* p = reinterpret_cast<unsigned char*>(c.data());
        om3_put<std::int32_t>(om3_put<std::int32_t>(p, type), size);
        return c;
    };
    std::string header = chunk(kOm3Magic, kOm3HeaderSize);
    om3_put<std::int32_t>(reinterpret_cast<unsigned char*>(header.data()) + 8, kOm3Version);
    out += header;
    std::string primitive = chunk(OM3_PRIMITIVE, kOm3PrimitiveSize);
    auto* p = reinterpret_cast<unsigned char*>(primitive.data());
    om3_put<std::int32_t>(p + 8, 2);
    for (int i = 0; i < 4; ++i) {
        om3_put<double>(p + 12 + 8 * (5 * i), 1.0);   // model matrix
        om3_put<double>(p + 148 + 8 * (5 * i), 1.0);  // texture matrix
    }
    out += primitive;
    std::string set = chunk(OM3_TRIANGLE_SET, kOm3SetSize);
    p = reinterpret_cast<unsigned char*>(set.data());
    om3_put<std::int32_t>(p + 8, 3);
    for (int i = 0; i < 12; ++i) om3_put<float>(p + 12 + 4 * i, 1.0f);
    om3_put<float>(p + 68, 1.0f);
    out += set;
    for (int i = 0; i < vertices; ++i) {
        std::string vertex = chunk(OM3_VERTEX, kOm3VertexSize);
        p = reinterpret_cast<unsigned char*>(vertex.data());
        om3_put<double>(p + 8, 100.0 * (i % 3));
        om3_put<double>(p + 16, 100.0 * (i / 3));
        om3_put<double>(p + 48, 1.0);
        for (int k = 0; k < 4; ++k) om3_put<float>(p + 56 + 4 * k, 1.0f);
        out += vertex;
    }
    return out;
}

// Waits until the program's main window is on the screen (under its first title, or the view's once the view has
// named it) and the condition holds; 0 when that takes longer than two minutes.
Window busy_window(Display* display, const std::function<bool()>& ready) {
    for (int i = 0; i < 1200; ++i) {
        std::string title;
        Window w = find_main_window(display, &title, "kzview_oxu");
        if (!w) w = find_main_window(display, &title);
        XWindowAttributes attributes{};
        if (w && XGetWindowAttributes(display, w, &attributes) && attributes.map_state == IsViewable && ready())
            return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

TEST(BusyWindow, Child) {
    if (!std::getenv("KZ_VIEW_BUSY_CHILD")) GTEST_SKIP() << "runs only inside the Xvfb child";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const std::string log = folder() + "/requests.log";
    // "/slow..." promises 100000 bytes and sends one every half second.
    const kz::test::LoopbackServer server({folder(), log});
    ASSERT_GT(server.port(), 0);
    const std::string base = server.url("");

    std::string figure_lines = "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,long\r\n";
    for (int i = 0; i < kSteps; ++i) figure_lines += std::string(kBoxLine) + "\r\n";
    put(folder() + "/long.fig", figure_lines);
    put(folder() + "/remote.fig", "trunk" + std::string(29, ',') + "slow,,#frefer=" + base + "/slow/unit.fig\r\n" +
                                      "trunk" + std::string(29, ',') + "after,,#frefer=" + base +
                                      "/slow/second.fig\r\n");
    put(folder() + "/mesh.om3", om3(kSteps));
    put(folder() + "/points.dxf", dxf(1, kSteps));
    put(folder() + "/lines.dxf", dxf(kSteps, 0));
    {
        // The drawing laid on a face comes as a binary drawing, which is read at once: only laying it out is long.
        kz::scene::OpenedDrawing drawing;
        ASSERT_EQ(kz::drawing2d::xlum_read(drawing.context(), (folder() + "/lines.dxf").c_str(), 0), 1);
        ASSERT_EQ(kz::drawing2d::xlum_write(drawing.context(), (folder() + "/lines.MPW").c_str(), 0, 0), 1);
    }
    for (const char* drawing : {"points.dxf", "lines.MPW"})
        put(folder() + "/" + drawing + ".fig",
            "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,pasted\r\n"
            "box,w=100,d=100,h=100,color=#0000FF,paste=A;2;" +
                std::string(drawing) + ";1;1\r\n");

    const struct {
        const char* name;
        const char* model;  // the start model; empty: the start file beside the program names it
        const char* start;  // the start file's line
        bool paused;        // the slow viewer, which pauses in every step of long work
    } cases[] = {
        {"download", "remote.fig", "", false},
        {"figure file", "long.fig", "", true},
        {"mesh file", "", "mesh.om3", true},
        {"drawing import", "points.dxf.fig", "", true},
        {"drawing on a face", "lines.MPW.fig", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(log);
        std::filesystem::remove(folder() + "/start.txt");
        if (*c.start) put(folder() + "/start.txt", std::string(c.start) + "\n");
        std::filesystem::copy_file(c.paused ? KZ_SLOW_VIEWER : KZVIEW_PROGRAM, folder() + "/kzview",
                                   std::filesystem::copy_options::overwrite_existing);
        const pid_t pid = start_program(folder(), *c.model ? folder() + "/" + c.model : std::string());
        ASSERT_GT(pid, 0);
        // The download case closes once the first unit's transfer has begun.
        const Window window = busy_window(display, [&] {
            return !c.paused ? kz::test::read_all(log).find("/slow/unit.fig") != std::string::npos : true;
        });
        EXPECT_NE(window, 0u) << "the program's window did not show while it opened its model";
        if (window) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            close_window(display, window);
        }
        EXPECT_TRUE(wait_program(pid, 20)) << "the program did not end by itself within 20 s of the close";
        const std::string errors = kz::test::read_all(folder() + "/stderr.txt");
        EXPECT_EQ(kz::test::count_of(errors, "open stopped"), 1) << errors;
        EXPECT_NE(errors.find("the window was closed"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
        if (!c.paused) {
            // The server saw the transfer end, and the second unit was never asked for.
            std::string requests;
            for (int i = 0; i < 100 && requests.find("ended") == std::string::npos; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                requests = kz::test::read_all(log);
            }
            EXPECT_NE(requests.find("/slow/unit.fig ended"), std::string::npos) << requests;
            EXPECT_EQ(requests.find("second.fig"), std::string::npos) << requests;
        }
    }
    XCloseDisplay(display);
}

TEST(BusyWindow, ClosingEndsLongWorkAndDownloads) {
    if (std::getenv("KZ_VIEW_BUSY_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    prepare_program_folder(folder());
    expect_child_passes(folder(), "800x600x24", "KZ_VIEW_BUSY_CHILD=1", "BusyWindow.Child");
}

#endif

}  // namespace
}  // namespace kz::view::test
