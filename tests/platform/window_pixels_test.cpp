// At a device pixel ratio of 2 the program sees device pixels: a window asked for 100 x 80 is told 100 x 80 and
// shows an image of that size pixel for pixel, while Qt lays it out at half that. The ratio is fixed when Qt
// starts, so the case runs in a child process started with Qt's scale factor.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/platform/ui_test_support.h"
#include "tests/support/test_paths.h"

namespace kz::platform {
namespace {

TEST(WindowPixels, Child) {
    if (!std::getenv("KZ_WINDOW_PIXELS_CHILD")) GTEST_SKIP() << "runs only in the child";
    kz::test::register_test_classes();
    EXPECT_EQ(screen_pixel_ratio(), 2.0);
    WindowHandle w = create_window("KzTestPlain", "x", WS_VISIBLE, 20, 20, 100, 80, desktop_window());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(window_pixel_ratio(w), 2.0);
    const auto sizes = kz::test::seen_of(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(lparam_x(sizes.back().lparam), 100);
    EXPECT_EQ(lparam_y(sizes.back().lparam), 80);
    EXPECT_EQ(client_rect(w).right, 100);
    EXPECT_EQ(static_cast<QWidget*>(native_widget(w))->width(), 50);
    // A one-pixel checkerboard survives only when nothing scales it on the way to the screen.
    std::vector<std::uint8_t> bgra(100 * 80 * 4);
    for (int i = 0; i < 100 * 80; ++i) bgra[std::size_t(i) * 4 + 1] = ((i % 100 + i / 100) % 2) ? 255 : 0;
    ASSERT_TRUE(present_window_image(w, bgra.data(), 100, 80, 400));
    const QImage shown = static_cast<QWidget*>(native_widget(w))->grab().toImage();
    ASSERT_EQ(shown.width(), 100);
    int matching = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) matching += (qGreen(shown.pixel(x, y)) > 127) == (((x + y) % 2) != 0);
    EXPECT_EQ(matching, 100 * 80);
    destroy_window(w);
}

TEST(WindowPixels, DevicePixelsAtScaleTwo) {
    if (std::getenv("KZ_WINDOW_PIXELS_CHILD")) GTEST_SKIP() << "the child runs the case itself";
    int status = -1;
    const std::string log =
        kz::test::command_output("env QT_SCALE_FACTOR=2 KZ_WINDOW_PIXELS_CHILD=1 '" + kz::test::self_path() +
                                     "' --gtest_filter=WindowPixels.Child 2>&1",
                                 &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << log;
}

}  // namespace
}  // namespace kz::platform
