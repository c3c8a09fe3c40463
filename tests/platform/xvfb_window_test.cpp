// Real-display checks under Xvfb: the parent test starts this program again inside `xvfb-run -a` on Qt's xcb
// platform, where a window shows its presented image (read back with xwd) and printing to PDF runs as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/message_loop.h"
#include "platform/window.h"
#include "tests/platform/ui_test_support.h"
#include "tests/support/test_paths.h"

namespace kz::platform {
namespace {

bool in_xvfb_child() { return std::getenv("KZ_XVFB_CHILD") != nullptr; }

TEST(RealDisplay, WindowImageAndPrintingUnderXvfb) {
    if (in_xvfb_child()) GTEST_SKIP() << "the child runs the display tests themselves";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    if (access("/usr/bin/xwd", X_OK) != 0) GTEST_SKIP() << "xwd (package x11-apps) is missing";
    // The child needs the leak suppressions for the X11 libraries even when the test runner did not set them.
    std::string suppressions;
    if (!std::getenv("LSAN_OPTIONS"))
        suppressions = "LSAN_OPTIONS=suppressions=" +
                       (std::filesystem::path(__FILE__).parent_path().parent_path() / "lsan.supp").string() + " ";
    const std::string command = "/usr/bin/xvfb-run -a -s '-screen 0 640x480x24' env QT_QPA_PLATFORM=xcb " +
                                suppressions + "KZ_XVFB_CHILD=1 '" + kz::test::self_path() +
                                "' --gtest_filter='XvfbChild.*:DialogsInTestMode.PrintingIntoPdf*' 2>&1";
    int status = 0;
    const std::string output = kz::test::command_output(command, &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 2 tests."), std::string::npos) << output;
    EXPECT_EQ(output.find("SKIPPED"), std::string::npos) << output;
}

// An X window dump: a big-endian header of 25 words, the window name, the colour map, then the pixels in the
// server's byte order.
struct XwdImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;  // 0xRRGGBB
};

bool read_xwd(const std::string& path, XwdImage* image) {
    const std::string bytes = kz::test::read_all(path);
    if (bytes.size() < 100) return false;
    auto word = [&](std::size_t i) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + i * 4;
        return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
    };
    const std::uint32_t header_size = word(0), width = word(4), height = word(5), byte_order = word(7);
    const std::uint32_t bits_per_pixel = word(11), bytes_per_line = word(12);
    const std::uint32_t masks[3] = {word(14), word(15), word(16)};
    const std::uint32_t colors = word(19);
    if (bits_per_pixel != 32 || width == 0 || height == 0) return false;
    const std::size_t start = header_size + static_cast<std::size_t>(colors) * 12;
    if (bytes.size() < start + static_cast<std::size_t>(bytes_per_line) * height) return false;
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->rgb.resize(static_cast<std::size_t>(width) * height);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start + y * bytes_per_line + x * 4;
            const std::uint32_t v =
                byte_order == 0
                    ? (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0])
                    : (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3]);
            std::uint32_t rgb = 0;
            for (std::uint32_t mask : masks) {
                int shift = 0;
                while (mask && !((mask >> shift) & 1)) ++shift;
                rgb = (rgb << 8) | (((v & mask) >> shift) & 0xFF);
            }
            image->rgb[static_cast<std::size_t>(y) * width + x] = rgb;
        }
    return true;
}

LResult plain_procedure(WindowHandle w, std::uint32_t m, WParam wp, LParam lp) {
    return default_window_procedure(w, m, wp, lp);
}

TEST(XvfbChild, WindowShowsItsPresentedImage) {
    if (!in_xvfb_child()) GTEST_SKIP() << "runs only inside the Xvfb child started by RealDisplay";
    ASSERT_TRUE(ensure_application());
    WindowClass window_class;
    window_class.name = "KzXvfbWindow";
    window_class.procedure = plain_procedure;
    window_class.background = 0x808080;
    register_window_class(window_class);
    constexpr int W = 160, H = 120;
    WindowHandle w = create_window("KzXvfbWindow", "xvfb", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, W, H, nullptr);
    ASSERT_NE(w, nullptr);
    // Four quadrants: red, green / blue, white; BGRA top-down.
    const std::uint32_t quadrant_rgb[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(W) * H * 4);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t c = quadrant_rgb[(y >= H / 2) * 2 + (x >= W / 2)];
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * W + x) * 4];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
            p[3] = 0xFF;
        }
    ASSERT_TRUE(present_window_image(w, pixels.data(), W, H, W * 4));
    auto* widget = static_cast<QWidget*>(native_widget(w));
    ASSERT_TRUE(
        kz::test::pump_until([&] { return widget->windowHandle() && widget->windowHandle()->isExposed(); }, 3000));
    kz::test::pump_until([] { return false; }, 200);
    const std::string dump = kz::test::output_file("xvfb_window.xwd");
    const std::string command = "/usr/bin/xwd -silent -id " + std::to_string(widget->winId()) + " -out '" + dump + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    XwdImage shot;
    ASSERT_TRUE(read_xwd(dump, &shot));
    ASSERT_EQ(std::tuple(shot.width, shot.height), std::tuple(W, H));
    int wrong = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            wrong += shot.rgb[static_cast<std::size_t>(y) * W + x] != quadrant_rgb[(y >= H / 2) * 2 + (x >= W / 2)];
    EXPECT_EQ(wrong, 0);
    destroy_window(w);
}

}  // namespace
}  // namespace kz::platform
