// Device mapping, pens and strokes, checked against GDI's documented rules and numbers worked out by hand: the
// window fit, pen widths on screen, the raster-operation rules, dash runs from the millimetre patterns and the
// device resolution, the end pixel kept by dot widening, and one short stroke in 101 drawn.
#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <array>
#include <tuple>
#include <utility>
#include <vector>

#include "device_test_support.h"
#include "drawing2d/device_mapping.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using DeviceMapping = test::DrawingTest;
using test::Device;
using testing::DoubleEq;
using testing::Pointwise;
using Runs = std::vector<std::pair<int, int>>;

TEST_F(DeviceMapping, WindowFitsTheDeviceRectangle) {
    struct Case {
        int align;
        double x1, y1, x2, y2, dx1, dy1, dx2, dy2;
        int result;
        double scale, xmin, ymin, xmax, ymax;
    } cases[] = {
        {0, 0, 0, 100, 100, 0, 0, 1000, 1000, 1, 10, 0, 0, 100, 100},
        {0, 0, 0, 10, 10, 0, 0, 1000, 1000, 0, 10, 0, 0, 100, 100},     // limited to 10
        {0, 50, 0, 50, 100, 1000, 0, 0, 1000, 1, 10, 50, 0, 150, 100},  // x1 = x2 widened to 100; device ordered
        {5, 0, 0, 100, 50, 0, 0, 1000, 1000, 1, 10, 0, -25, 100, 75},   // centred vertically
        {9, 0, 0, 50, 100, 0, 0, 1000, 1000, 1, 10, -25, 0, 75, 100},   // centred across, upper edge kept
        {2, 0, 0, 50, 100, 0, 0, 1000, 1000, 1, 10, -50, 0, 50, 100},   // right edge kept
        {8, 0, 0, 100, 50, 0, 0, 1000, 1000, 1, 10, 0, -50, 100, 50},   // upper edge kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(xlum_make_window_d(ctx, c.align, c.x1, c.y1, c.x2, c.y2, c.dx1, c.dy1, c.dx2, c.dy2), c.result);
        EXPECT_THAT((std::array{ctx->disp_bscale, ctx->dwxmin, ctx->dwymin, ctx->dwxmax, ctx->dwymax}),
                    Pointwise(DoubleEq(), {c.scale, c.xmin, c.ymin, c.xmax, c.ymax}))
            << c.align;
    }
    EXPECT_EQ(std::tuple(ctx->dvxmin, ctx->dvxmax), std::tuple(0, 1000));
    xlum_make_window_d(ctx, 0, 100, 200, 300, 400, 10, 20, 210, 220);  // scale 1, shifted
    EXPECT_EQ(xlum_fn_mcx(ctx, 150.5), 61);
    EXPECT_EQ(xlum_fn_mcy(ctx, 199.4), 19);
    EXPECT_EQ(xlum_fn_mcx(ctx, 89.5), -1);  // -0.5: half away from zero
    EXPECT_EQ(xlum_fn_mcx(ctx, 1e12), 2147483647);
    EXPECT_DOUBLE_EQ(xlum_fn_gcx(ctx, 61), 151);
    EXPECT_DOUBLE_EQ(xlum_fn_gcy(ctx, 20), 200);
    EXPECT_EQ(xlum_make_window_d(nullptr, 0, 0, 0, 1, 1, 0, 0, 1, 1), 0);
}

TEST_F(DeviceMapping, PenWidthsOnScreen) {
    Device dev(8, 8);
    ctx->disp_pen_width = 3;
    ctx->pen_width[2] = 0;
    ctx->pen_width[4] = -1;
    ASSERT_TRUE(select_record_pen(ctx, dev.dc(), 2, 1, 1, 0).has_value());
    EXPECT_EQ(platform::gdi_state(*dev.dc()).pen.width, 1);  // a one-dot pen whatever the forced width
    EXPECT_EQ(color_pen_width(ctx, 2), 1);
    EXPECT_FALSE(select_record_pen(ctx, dev.dc(), 4, 1, 1, 0).has_value());
    EXPECT_EQ(color_pen_width(ctx, 4), 0);
    ctx->pen_width[5] = 2;
    select_record_pen(ctx, dev.dc(), 5, 3, 1, 0);
    EXPECT_EQ(platform::gdi_state(*dev.dc()).pen.width, 3);
    EXPECT_EQ(platform::gdi_state(*dev.dc()).pen.style, platform::kPsDot);  // line style 3
    // A colour change reaches the next pen even though the cache cell was made before.
    ctx->pen_color[5] = 0x123456;
    platform::ColorRef got = 0;
    select_record_pen(ctx, dev.dc(), 5, 3, 1, 0, &got);
    EXPECT_EQ(got, 0x123456u);
    ctx->lock_layer[7] = 1;
    select_record_pen(ctx, dev.dc(), 5, 3, 7, 0, &got);
    EXPECT_EQ(got, static_cast<platform::ColorRef>(ctx->lock_layer_color));
    // Millimetres: 0.35 mm at 1:100 with 1 unit = 0.001 m shown at 0.01 dots a unit: 0.35 x 100 x 0.01 / 0.001.
    ctx->plot_scale = 0.001;
    ctx->print_scale = 100;
    ctx->disp_bscale = 0.01;
    double mm[16] = {0.35, -1, 0};
    int32_t w[16] = {};
    mili_widths_for_device(ctx, mm, w);
    EXPECT_EQ((std::array{w[0], w[1], w[2]}), (std::array{350, -1, 1}));
    // The exported width of a colour: forced by disp_pen_width unless the colour has none.
    ctx->pen_width_sw = 1;
    ctx->pen_width_mili[6] = 0.35;
    ctx->pen_width_mili[7] = -1;
    EXPECT_EQ(xlum_disp_black_pen_width(ctx, 6), 3);
    EXPECT_EQ(xlum_disp_black_pen_width(ctx, 7), 0);
    ctx->disp_pen_width = -1;
    EXPECT_EQ(xlum_disp_black_pen_width(ctx, 6), 350);
    // The device scale kept and put back around a device change.
    EXPECT_EQ(xlum_disp_bscale(ctx, dev.dc(), "create"), 0);
    ctx->disp_bscale = 4;
    EXPECT_EQ(xlum_disp_bscale(ctx, dev.dc(), "BACK"), 0);
    EXPECT_EQ(ctx->disp_bscale, 0.01);
    EXPECT_EQ(xlum_disp_bscale(ctx, dev.dc(), "Other"), -1);
}

TEST_F(DeviceMapping, RasterOperationRules) {
    Device dev(4, 4);
    struct Case {
        int32_t back, rop, mode, colour;
    } cases[] = {
        {0xFFFFFF, 1, 13, 0xFFFFFF}, {0, 1, 13, 0}, {0, 0, 15, -1},     {0, 17, 15, -1},
        {0xFFFFFF, 0, 13, -1},       {0, 7, 7, -1}, {0xFF, 15, 13, -1},
    };
    for (const Case& c : cases) {
        ctx->back_color = c.back;
        platform::set_rop2(*dev.dc(), platform::kR2Nop);
        const RasterState saved = begin_raster(ctx, dev.dc(), c.rop);
        EXPECT_EQ(platform::gdi_state(*dev.dc()).rop2, c.mode) << c.rop;
        EXPECT_EQ(ctx->disp_mode, c.mode);
        EXPECT_EQ(ctx->disp_line_color, c.colour) << c.rop;
        end_raster(ctx, dev.dc(), saved);
        EXPECT_EQ(platform::gdi_state(*dev.dc()).rop2, platform::kR2Nop);
        EXPECT_EQ(std::tuple(ctx->disp_line_color, ctx->disp_paint_color), std::tuple(-1, -1));
    }
    ctx->back_color = 0;
    int32_t mode = 1, colour = 0;
    set_rop_mode(ctx, dev.dc(), &mode, &colour, 3);  // flag 3 keeps black
    EXPECT_EQ(platform::gdi_state(*dev.dc()).rop2, platform::kR2Black);
    EXPECT_EQ(mode, 15);  // handed back: what was in force before
}

// Draws one horizontal stroke of a line style along row 1 and returns its runs of drawn pixels.
Runs dash_runs(drawing_context* ctx, int style, double dpi, double length_px, bool mark_end = true) {
    Device dev(200, 3);
    ctx->device_dpi = dpi;
    ctx->dash_style = style;
    ctx->dot_widening = 0;
    select_record_pen(ctx, dev.dc(), 5, 1, 1, 1);
    draw_styled_segment(ctx, dev.dc(), 0, 1, length_px, 1, mark_end, false);
    return test::runs(dev.row(1));
}

TEST_F(DeviceMapping, DashRunsFollowTheMillimetrePatterns) {
    ctx->pen_width[5] = 1;
    ctx->disp_pen_width = -1;
    // Style 2 is 4 mm on, 1 mm off; at 50.8 dots an inch a millimetre is two dots. 23 mm: no centring.
    EXPECT_EQ(dash_runs(ctx, 2, 50.8, 46), (Runs{{0, 8}, {10, 18}, {20, 28}, {30, 38}, {40, 46}}));
    // 3 mm: the pattern (9 mm with its first dash again) is centred: 1 mm dash, gap, 1 mm dash ...
    EXPECT_EQ(dash_runs(ctx, 2, 50.8, 6), (Runs{{0, 2}, {4, 6}}));
    // ... unless the centred first dash would be under two dots: at 25.4 dots an inch it starts at its beginning.
    EXPECT_EQ(dash_runs(ctx, 2, 25.4, 3), (Runs{{0, 3}}));
    // Style 5 is 10, -1, 1, -1, 1, -1 mm: at 25.4 dots an inch, 30 mm, two periods.
    EXPECT_EQ(dash_runs(ctx, 5, 25.4, 30), (Runs{{0, 10}, {11, 12}, {13, 14}, {15, 25}, {26, 27}, {28, 29}, {30, 31}}));
    // Style 7 is 8 on, 1 off; 18 mm end in a gap, and with mark_end the end point gets a dot.
    EXPECT_EQ(dash_runs(ctx, 7, 25.4, 18), (Runs{{0, 8}, {9, 17}, {18, 19}}));
    EXPECT_EQ(dash_runs(ctx, 7, 25.4, 18, false), (Runs{{0, 8}, {9, 17}}));
    // A pattern continued into the next stroke goes on where it stopped.
    Device dev(200, 3);
    ctx->dash_style = 2;
    ctx->device_dpi = 25.4;
    select_record_pen(ctx, dev.dc(), 5, 1, 1, 1);
    draw_styled_segment(ctx, dev.dc(), 0, 1, 12, 1, false, false);  // 4 on, 1 off, 4 on, 1 off, 2 of 4 on
    draw_styled_segment(ctx, dev.dc(), 12, 1, 20, 1, false, true);  // 2 more on, 1 off, 4 on, 1 off
    EXPECT_EQ(test::runs(dev.row(1)), (Runs{{0, 4}, {5, 9}, {10, 14}, {15, 19}}));
}

TEST_F(DeviceMapping, SolidStrokesKeepTheirEndPixel) {
    ctx->disp_pen_width = -1;
    ctx->device_dpi = 100;
    struct Case {
        int widening;
        bool continued;
        double x1, y1, x2, y2;
        Runs row5;
    } cases[] =
        {
            {1, false, 10, 5, 20, 5, {{10, 21}}}, {1, false, 20, 5, 10, 5, {{10, 21}}},
            {1, true, 10, 5, 20, 5, {{10, 20}}},  {0, false, 10, 5, 20, 5, {{10, 20}}},
            {1, false, 15, 0, 15, 5, {{15, 16}}},  // vertical: the end pixel at row 5 is drawn
            {0, false, 15, 0, 15, 5, {}},
        };
    for (const Case& c : cases) {
        Device dev(40, 10);
        ctx->dot_widening = c.widening;
        ctx->dash_style = 1;
        select_record_pen(ctx, dev.dc(), 5, 1, 1, 1);
        draw_styled_segment(ctx, dev.dc(), c.x1, c.y1, c.x2, c.y2, true, c.continued);
        EXPECT_EQ(test::runs(dev.row(5)), c.row5) << c.x1 << " " << c.widening << c.continued;
    }
}

TEST_F(DeviceMapping, OneZeroLengthStrokeIn101IsDrawn) {
    Device dev(300, 3);
    ctx->disp_pen_width = -1;
    ctx->device_dpi = 100;
    ctx->dash_style = 1;
    ctx->dot_widening = 0;
    ctx->stroke_count = ctx->zero_length_count = 0;
    select_record_pen(ctx, dev.dc(), 5, 1, 1, 1);
    for (int i = 0; i < 250; ++i) draw_styled_segment(ctx, dev.dc(), i + 0.1, 1.1, i + 0.3, 1.2, false, false);
    // Without widening the dot is a LineTo to its own point, which GDI leaves undrawn; the count still tells.
    EXPECT_EQ(ctx->stroke_count, 2);
    ctx->dot_widening = 1;
    ctx->stroke_count = ctx->zero_length_count = 0;
    for (int i = 0; i < 250; ++i) draw_styled_segment(ctx, dev.dc(), i + 0.1, 1.1, i + 0.3, 1.2, false, false);
    EXPECT_EQ(test::runs(dev.row(1)), (Runs{{100, 101}, {201, 202}}));
    EXPECT_EQ(ctx->stroke_count, 2);
}

TEST_F(DeviceMapping, BoxMayShowUnlessBeyondOneSide) {
    struct Case {
        double c[8];
        int want;
    } cases[] = {
        {{-5, 1, -1, 1, -1, 5, -5, 5}, 0},  // all left
        {{1, 11, 5, 11, 5, 15, 1, 15}, 0},  // all below (y beyond ymax)
        {{-5, -5, 15, -5, 15, 15, -5, 15}, 1},
        {{-5, 5, 5, -5, 15, 5, 5, 15}, 1},  // a diamond around the box: no side holds all four
        {{-5, -5, -1, -5, 15, 15, 15, 20}, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(box_may_show(c.c, 0, 0, 10, 10), c.want);
}

}  // namespace
}  // namespace kz::drawing2d
