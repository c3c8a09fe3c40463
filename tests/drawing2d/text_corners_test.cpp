// Text outlines: the corner construction by alignment, slant and angle, and the rough and measured variants.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "drawing2d/row_store.h"
#include "drawing2d/text_corners.h"
#include "drawing_test_support.h"
#include "support/all_near.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

TEST(TextCorners, ConstructionByAlignmentSlantAndAngle) {
    struct Case {
        double angle, slant;
        int alignment;
        double want[8];
    } cases[] = {
        {0, 0, 0, {0, 0, 0, -5, 34, -5, 34, 0}},
        {0, 0, 9, {-17, 5, -17, 0, 17, 0, 17, 5}},
        {0, 0, 6, {-34, 2.5, -34, -2.5, 0, -2.5, 0, 2.5}},
        {0, 0, 15, {0, 0, 0, -5, 34, -5, 34, 0}},
        {0, 45, 0, {0, 0, 5, -5, 39, -5, 34, 0}},
        {0, 120, 0, {0, 0, 5 * std::tan(80 * M_PI / 180), -5, 34 + 5 * std::tan(80 * M_PI / 180), -5, 34, 0}},
        {90, 0, 0, {0, 0, -5, 0, -5, -34, 0, -34}},
    };
    for (const auto& c : cases) {
        double out[8];
        text_corners(0, 0, 3, 10, 5, 2, c.angle, c.slant, c.alignment, out);
        for (int i = 0; i < 8; ++i) EXPECT_NEAR(out[i], c.want[i], 1e-9) << c.alignment << " " << c.angle << " " << i;
    }
    double out[8];
    text_corners(100, 200, 3, 10, 5, 2, 0, 0, 0, out);
    EXPECT_EQ(std::tuple(out[4], out[5]), std::tuple(134, 195));
}

TEST(TextCorners, RoughAndMeasuredVariants) {
    Drawing d;
    drawing_context* ctx = d.peek();
    int32_t row = xlum_moji_set(ctx, 0, "abc", 0, 0, 0, 10, 5, 2, 0, 30);
    double c[8];
    EXPECT_EQ(calc_text_corners_stored(ctx, row, c), 1);
    EXPECT_NEAR(c[2], 5 * std::tan(30 * M_PI / 180), 1e-9);
    EXPECT_EQ(calc_text_corners_rough(ctx, row, c, 0), 1);  // a system font, not measured: stored values
    // Drawn with a slant of 8 degrees.
    EXPECT_TRUE(
        kz::test::all_near({c[2], c[4]}, {5 * std::tan(8 * M_PI / 180), 34 + 5 * std::tan(8 * M_PI / 180)}, 1e-9));
    ctx->ank_res[5] = 1;
    struct Mode {
        int mode;
        double width;
    } modes[] = {{0, 0.3 * 5}, {1, 1.0 * 5}, {2, 0.5 * 5}};
    for (const auto& m : modes) {
        EXPECT_EQ(calc_text_corners_rough(ctx, row, c, m.mode), 0);
        EXPECT_NEAR(c[6], 3 * m.width, 1e-9) << m.mode;
    }
    // Without a device the text is measured on the desktop's: three letters of a proportional face, 5 high, are
    // wider than one letter's height and narrower than three heights.
    EXPECT_EQ(calc_text_corners(ctx, row, c, nullptr), 1);
    EXPECT_GT(c[6], 5);
    EXPECT_LT(c[6], 15);
    double x[4], y[4];
    xlum_get_text_4point(ctx, row, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2], &x[3], &y[3]);
    EXPECT_EQ(x[3], c[6]);
    {
        // A measurement that fails falls back to 0.7 (0.9 with double-byte characters) of the byte length.
        struct Failing {
            TextWidthMeasurer previous = set_text_width_measurer(
                [](device_context*, const char*, const char*, int, int, int, int, int, double*) { return false; });
            ~Failing() { set_text_width_measurer(previous); }
        } failing;
        EXPECT_EQ(calc_text_corners(ctx, row, c, nullptr), 1);
        EXPECT_NEAR(c[6], 3 * 0.7 * 5, 1e-9);
        EXPECT_EQ(calc_text_corners(ctx, row, c, "\x88\x9f\x88\x9f"), 1);
        EXPECT_NEAR(c[6], 4 * 0.9 * 5, 1e-9);
    }
    // Vertical writing exchanges width and height in the rough outline.
    ctx->ank_res[5] = 0;
    ctx->c7[row + 1] |= 0x100;
    calc_text_corners_rough(ctx, row, c, 0);
    EXPECT_NEAR(c[3], -10, 1e-9);
    int32_t line = xlum_line_set(ctx, 0, 0, 0, 1, 1);
    EXPECT_EQ(calc_text_corners_rough(ctx, line, c, 0), -1);
    EXPECT_EQ(calc_text_corners_stored(ctx, ctx->mat, c), 0);
}

int g_last_pixel_height = 0;
bool measure_two_per_byte(device_context*, const char*, const char* text, int pixel_height, int, int, int, int,
                          double* out) {
    g_last_pixel_height = pixel_height;
    *out = 2.0 * pixel_height * static_cast<double>(std::strlen(text));
    return true;
}

TEST(TextCorners, MeasuredPixelHeightIsHeldWithinItsLimits) {
    struct Installed {
        TextWidthMeasurer previous = set_text_width_measurer(measure_two_per_byte);
        ~Installed() { set_text_width_measurer(previous); }
    } installed;
    Drawing d;
    drawing_context* ctx = d.peek();
    int32_t row = xlum_moji_set(ctx, 0, "abc", 0, 0, 0, 10, 100, 2, 0, 0);
    ctx->ank_res[5] = 1;
    double c[8];
    struct Case {
        double scale;
        int pixel;
    } cases[] = {{1, 50}, {0.01, 10}, {0.3, 30}};
    for (const auto& cs : cases) {
        ctx->disp_bscale = cs.scale;
        calc_text_corners(ctx, row, c, nullptr);
        EXPECT_EQ(g_last_pixel_height, cs.pixel);
        EXPECT_NEAR(c[6], 6 * 100, 1e-9);  // ratio 2 per byte, times the height
    }
    std::string long_text(500, 'x');
    ctx->disp_bscale = 1;
    calc_text_corners(ctx, row, c, long_text.c_str());
    EXPECT_EQ(g_last_pixel_height, 32);  // 16000 / 500
}

}  // namespace
}  // namespace kz::drawing2d
