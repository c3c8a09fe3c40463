// The display of drawings on a device, checked against GDI's rules and numbers worked out by hand: arc ends and
// boxes, the GDI arc below the arc limit and segments from it on, the smallest circles, the limit box of the
// coordinate range, raster modes, white halos, layers hidden by paint, clipping, the stroke limit and Escape.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

#include "device_test_support.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/window.h"

namespace kz::drawing2d {
namespace {
using test::Device;
using test::Drawing;
using Runs = std::vector<std::pair<int, int>>;
using Colours = std::vector<platform::ColorRef>;

constexpr platform::ColorRef kWhite = 0xFFFFFF;

// A drawing shown one drawing unit to a device pixel, from (0, 0) at the device's top left.
struct Shown {
    Drawing drawing;
    drawing_context* ctx;
    Device device;
    Shown(int w, int h) : ctx(drawing.peek()), device(w, h) {
        xlum_make_window_d(ctx, 0, 0, 0, w, h, 0, 0, w, h);
        ctx->disp_pen_width = -1;
    }
    int show(int rop = 13, int paint = 0) { return xlum_gdisp(ctx, device.dc(), 0, rop, paint); }
    int32_t line(double x1, double y1, double x2, double y2, int colour = 5, int layer = 1) {
        return xlum_set_line(ctx, nullptr, 13, 0, x1, y1, x2, y2, layer, 1, colour, 1);
    }
    int32_t arc(double cx, double cy, double r, double start, double end, int style = 1) {
        return xlum_set_arc(ctx, nullptr, 13, 0, cx, cy, r, start, end, 1, 1, 5, style);
    }
    // Every drawn pixel lies in [x0, x1] x [y0, y1].
    bool drawn_within(int x0, int y0, int x1, int y1) const {
        for (int y = 0; y < device.height(); ++y)
            for (int x = 0; x < device.width(); ++x)
                if (device.at(x, y) != kWhite && (x < x0 || x > x1 || y < y0 || y > y1)) return false;
        return true;
    }
    bool drawn_near(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (device.at(x + dx, y + dy) != kWhite) return true;
        return false;
    }
};

TEST(DrawingDisplay, ArcEndsAndBoxesByGdiBelowTheArcLimitAndBySegmentsFromIt) {
    struct Case {
        double r;
        bool gdi;
    } cases[] = {{40, true}, {299, true}, {300, false}, {500, false}};
    for (const Case& c : cases) {
        Shown s(1100, 1100);
        s.arc(550, 550, c.r, 0, 90);  // counter-clockwise as displayed: from the right to the top
        ASSERT_EQ(s.show(), 1);
        const int r = static_cast<int>(c.r);
        EXPECT_TRUE(s.drawn_within(550, 550 - r, 550 + r, 550)) << c.r;
        EXPECT_EQ(std::tuple(s.drawn_near(550 + r, 550), s.drawn_near(550, 550 - r)), std::tuple(true, true)) << c.r;
        EXPECT_TRUE(s.drawn_near(550 + static_cast<int>(std::lround(r * std::cos(M_PI / 4))),
                                 550 - static_cast<int>(std::lround(r * std::sin(M_PI / 4)))));
        // A GDI arc counts two strokes; segments count one each.
        EXPECT_EQ(s.ctx->stroke_count == 2, c.gdi) << c.r << " " << s.ctx->stroke_count;
    }
    for (int r : {30, 400}) {  // three quarters, by GDI and by segments: everything but the upper right quadrant
        Shown s(1100, 1100);
        s.arc(550, 550, r, 90, 0);
        s.show();
        const int d = static_cast<int>(std::lround(r * std::cos(M_PI / 4)));
        EXPECT_TRUE(s.drawn_near(550 - r, 550) && s.drawn_near(550, 550 + r) && !s.drawn_near(550 + d, 550 - d)) << r;
    }
    // Circles the window cuts at top and bottom, their 0° point on screen, large or dashed (both by segments):
    // the piece across 0° runs out to that point, not straight from the top cut to the bottom one.
    for (const auto& [w, h, cx, r, style] : {std::array{1100, 1100, 400, 600, 1}, std::array{300, 120, 100, 100, 2}}) {
        Shown s(w, h);
        s.ctx->real_draw = 1;
        s.arc(cx, h / 2.0, r, 0, 360, style);
        s.show();
        const int cut_x = cx + static_cast<int>(std::sqrt(r * r - h * h / 4.0));
        EXPECT_FALSE(s.drawn_within(0, 0, cut_x + 5, h)) << r;
    }
}

TEST(DrawingDisplay, SmallestCirclesAreADotAndACross) {
    Shown s(20, 20);
    xlum_make_window_d(s.ctx, 0, 0, 0, 50, 50, 0, 0, 20, 20);  // 0.4 dots a unit
    s.arc(12.5, 12.5, 1, 0, 360);                              // device radius 0.4: 0
    s.arc(35, 35, 3, 0, 360);                                  // 1.2: 1
    s.show();
    const Runs dot{{5, 7}}, cross_ends{{13, 14}, {15, 16}}, cross_middle{{14, 15}};
    for (const auto& [y, want] : {std::pair{5, dot}, {6, dot}, {13, cross_ends}, {14, cross_middle}, {15, cross_ends}})
        EXPECT_EQ(test::runs(s.device.row(y)), want) << y;
    EXPECT_EQ(s.device.drawn(), 4 + 5);
}

TEST(DrawingDisplay, EmptyDrawingShowsTheLimitBoxWhereTheWindowReachesIt) {
    Drawing d;
    drawing_context* ctx = d.peek();
    Device dev(400, 200);
    // 100 units at the right end of the coordinate range into 400 x 200: two dots a unit, the window runs on
    // past the range, whose right edge falls on device x 200.
    xlum_make_window_d(ctx, 0, 2147483547.0, 0, 2147483647.0, 100, 0, 0, 400, 200);
    EXPECT_EQ(ctx->dwxmax, 2147483747.0);
    EXPECT_EQ(xlum_gdisp(ctx, dev.dc(), 0, 13, 0), 1);
    for (int y = 1; y < 200; ++y) ASSERT_EQ(dev.at(200, y), static_cast<platform::ColorRef>(ctx->lock_layer_color));
    EXPECT_EQ(dev.drawn(), 199);  // from the bottom up to, not including, the end at the top
    ctx->print_device = 3;        // not on screen: no limit box
    dev.clear();
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);
    EXPECT_EQ(dev.drawn(), 0);
}

TEST(DrawingDisplay, RasterModes) {
    Shown s(40, 10);
    s.line(5, 5, 30, 5);  // colour 5: 0xFFFF00
    s.device.clear(0x808080);
    s.show(7);  // R2_XORPEN
    EXPECT_EQ(s.device.at({{10, 5}, {10, 4}}), (Colours{0xFFFF00u ^ 0x808080u, 0x808080u}));
    s.show(7);
    EXPECT_EQ(s.device.drawn(0x808080), 0);  // drawn twice, gone
    s.ctx->back_color = 0x00FF00;
    s.show(1);  // mode 1: copied in the background colour
    EXPECT_EQ(s.device.at(10, 5), 0x00FF00u);
    EXPECT_EQ(s.ctx->disp_line_color, -1);  // ... and the pen colour put back
    s.show(0);                              // no mode: R2_COPYPEN since a background colour is set
    EXPECT_EQ(s.device.at(10, 5), 0xFFFF00u);
}

TEST(DrawingDisplay, WhiteHalosUnderLinesInCopyModes) {
    for (int rop : {13, 7}) {
        Shown s(100, 100);
        s.ctx->white_line_sw = 1;
        s.ctx->back_color = 0x00FF00;
        s.ctx->pen_width[2] = 1;
        s.ctx->pen_width_dot_white[2] = 3;
        s.line(20, 50, 80, 50, 2);
        s.show(rop);
        const platform::ColorRef red = static_cast<platform::ColorRef>(s.ctx->pen_color[2]);
        const platform::ColorRef halo = rop == 13 ? 0x00FF00u : kWhite;
        EXPECT_EQ(s.device.at({{50, 50}, {50, 49}, {50, 51}, {50, 48}}),
                  (Colours{rop == 7 ? red ^ kWhite : red, halo, halo, kWhite}))
            << rop;
        EXPECT_EQ(s.ctx->pen_width[2], 1);  // the caller's widths are back
    }
}

TEST(DrawingDisplay, LayersHiddenByPaintOrByTheirFlagAndTheSingleRecordDraw) {
    Shown s(40, 10);
    const int32_t row = s.line(5, 5, 30, 5, 5, 3);
    s.ctx->paint_layer_color[3] = -2;
    s.show(13, 1);
    EXPECT_EQ(s.device.drawn(), 0);
    s.show(13, 0);
    EXPECT_GT(s.device.drawn(), 0);
    s.device.clear();
    s.ctx->disp_layer[3] = 0;
    s.show();
    EXPECT_EQ(s.device.drawn(), 0);
    EXPECT_EQ(xlum_gdisp_one(s.ctx, s.device.dc(), row, 13), 1);
    EXPECT_EQ(test::runs(s.device.row(5)), (Runs{{5, 30}}));
    EXPECT_EQ(xlum_gdisp_one(s.ctx, s.device.dc(), s.ctx->mat + 1, 13), 0);
    s.ctx->pen_width[5] = -1;  // a colour without width: nothing, yet done
    s.device.clear();
    EXPECT_EQ(xlum_gdisp_one(s.ctx, s.device.dc(), row, 13), 1);
    EXPECT_EQ(s.device.drawn(), 0);
}

TEST(DrawingDisplay, EverythingStaysInTheDeviceRectangle) {
    Drawing d;
    drawing_context* ctx = d.peek();
    Device dev(200, 200);
    ctx->disp_pen_width = -1;
    xlum_make_window_d(ctx, 0, 0, 0, 100, 100, 50, 50, 150, 150);
    xlum_set_arc(ctx, nullptr, 13, 0, 50, 50, 80, 0, 360, 1, 1, 5, 1);
    xlum_set_line(ctx, nullptr, 13, 0, -100, 20, 300, 20, 1, 1, 5, 1);
    xlum_set_text(ctx, nullptr, 13, 0, "ABCDEFGHIJ", 5, 70, 60, 10, 30, 0, 0, 0, 0, 1, 1, 5, 1);
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);
    int inside = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (dev.at(x, y) != kWhite) {
                ASSERT_TRUE(x >= 50 && x < 150 && y >= 50 && y < 150) << x << " " << y;
                ++inside;
            }
    EXPECT_GT(inside, 200);
    EXPECT_FALSE(platform::gdi_state(*dev.dc()).clipping);  // the clip is gone after the display
}

TEST(DrawingDisplay, StrokeLimitAndEscapeStopTheWalk) {
    Shown s(300, 300);
    for (int i = 0; i < 400; ++i) s.line(0, i % 300, 200, i % 300);
    s.ctx->draw_limit = 10;
    EXPECT_EQ(s.show(), 0);
    // Stopped at the first row after the count passed 10.
    EXPECT_EQ(std::tuple(s.ctx->stroke_count, s.ctx->draw_limit), std::tuple(11, -1));
    EXPECT_EQ(s.show(), 1);
    platform::set_forced_key_state(platform::VK_ESCAPE, 1);
    const int32_t mode = s.ctx->disp_mode;
    const int result = s.show(7);
    platform::set_forced_key_state(platform::VK_ESCAPE, -1);
    EXPECT_EQ(result, 0);
    EXPECT_LT(s.ctx->stroke_count, 400);
    EXPECT_EQ(std::tuple(s.ctx->disp_mode, s.ctx->disp_line_color), std::tuple(mode, -1));
    EXPECT_EQ(platform::gdi_state(*s.device.dc()).rop2, platform::kR2CopyPen);
}

TEST(DrawingDisplay, LayerOrderDrawsEachLayerOverTheOnesBefore) {
    for (int up : {1, 0}) {
        Shown s(40, 10);
        s.line(5, 5, 30, 5, 2, 2);  // red on layer 2 first in the rows
        s.line(5, 5, 30, 5, 4, 1);  // green on layer 1 after it
        s.ctx->layer_order_disp = 1;
        s.ctx->layer_order_up = up;
        EXPECT_EQ(s.show(), 1);
        // From layer 0 up, layer 2 comes last and covers layer 1; from 255 down, layer 1 does.
        EXPECT_EQ(s.device.at(10, 5), static_cast<platform::ColorRef>(s.ctx->pen_color[up ? 2 : 4])) << up;
        EXPECT_EQ(std::tuple(s.ctx->disp_layer_number, s.ctx->disp_layer[1]), std::tuple(-1, 1));
        s.ctx->layer_order_disp = 0;  // in row order the later record covers
        s.show();
        EXPECT_EQ(s.device.at(10, 5), static_cast<platform::ColorRef>(s.ctx->pen_color[4]));
    }
}

TEST(DrawingDisplay, UprightTextAngle) {
    struct Case {
        double sx, sy, angle;
        int alignment;
        double want_angle;
        int want_alignment, result;
    } cases[] = {
        {1, 1, 30, 1, 30, 1, 0},         {-1, -1, 30, 1, 210, 1, 0}, {-1, 1, 30, 0, 330, 2, 1},
        {1, -1, 30, 0, 150 + 180, 8, 1}, {-1, 1, 30, 6, 330, 4, 1},
    };
    for (const Case& c : cases) {
        double angle;
        int alignment;
        EXPECT_EQ(upright_text_angle(c.sx, c.sy, c.angle, c.alignment, &angle, &alignment, 1), c.result);
        EXPECT_DOUBLE_EQ(angle, c.want_angle) << c.sx << c.sy;
        EXPECT_EQ(alignment, c.want_alignment) << c.sx << c.sy;
    }
}

}  // namespace
}  // namespace kz::drawing2d
