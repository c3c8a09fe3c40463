// Paint: group colours from tag texts; outlines chained and filled, groups painted, markers flooded on a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "device_test_support.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/paint.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/window.h"

namespace kz::drawing2d {
namespace {
using GroupPaint = test::DrawingTest;

using Colours = std::vector<platform::ColorRef>;
constexpr platform::ColorRef kWhite = 0xFFFFFF;

int32_t put_text(drawing_context* ctx, const char* text, int kind, int group) {
    return xlum_set_text(ctx, nullptr, 0, -1, text, kind, 0, 0, 10, 10, 0, 0, 0, 0, 1, group, 1, 1);
}

// A drawing shown one unit to a pixel on a 200 x 200 device.
struct Painted {
    test::Drawing drawing;
    drawing_context* ctx = drawing.peek();
    test::Device device{200, 200};
    Painted() {
        ctx->disp_pen_width = -1;
        ctx->back_color = 0xFFFFFF;
        xlum_make_window_d(ctx, 0, 0, 0, 200, 200, 0, 0, 200, 200);
    }
    int32_t line(double x1, double y1, double x2, double y2, int layer = 1, int group = 1, int colour = 1) {
        return xlum_set_line(ctx, nullptr, 13, 0, x1, y1, x2, y2, layer, group, colour, 1);
    }
    void square(double x0, double y0, double x1, double y1, int layer = 1, int group = 1, int colour = 1) {
        line(x0, y0, x1, y0, layer, group, colour);
        line(x1, y0, x1, y1, layer, group, colour);
        line(x1, y1, x0, y1, layer, group, colour);
        line(x0, y1, x0, y0, layer, group, colour);
    }
    int show(int paint = 1) { return xlum_gdisp(ctx, device.dc(), 0, 13, paint); }
};

// A square with a notch cut into its left side; the notch's first line starts `gap` units from the bottom's end.
// Ends within 2 units join, so a gap of 2 keeps the notch; at 3 the chain closes straight up the left side and
// the notch's two lines form a triangle of their own: the notch is painted too.
TEST(LayerPaint, EndsWithinTwoUnitsJoinAndOpenChainsCloseStraightBack) {
    for (const auto& [gap, notch_painted] : {std::pair{2, false}, std::pair{3, true}}) {
        Painted p;
        p.ctx->paint_layer_color[1] = 0xFF0000;
        p.line(20, 20, 180, 20), p.line(180, 20, 180, 180), p.line(180, 180, 20, 180);
        p.line(20 + gap, 180, 100, 100), p.line(100, 100, 20, 20);
        p.show();
        EXPECT_EQ(p.device.at(150, 100), 0xFF0000u) << gap;
        EXPECT_EQ(p.device.at(40, 100) == 0xFF0000u, notch_painted) << gap;
    }
}

TEST(LayerPaint, LayerColoursOwnOrPenOrNone) {
    Painted p;
    p.ctx->paint_layer_color[1] = -1;  // never painted
    p.ctx->paint_layer_color[2] = -2;  // in the pen colour of the first line's colour number
    p.ctx->paint_layer_color[3] = 0x00FF00;
    p.ctx->pen_color[4] = 0x123456;
    p.square(10, 10, 60, 60, 1);
    p.square(70, 10, 120, 60, 2, 1, 4);
    p.square(130, 10, 180, 60, 3);
    p.square(10, 70, 60, 120, 4);  // layer 4 has no paint colour
    p.show();
    EXPECT_EQ(p.device.at({{35, 35}, {95, 35}, {155, 35}, {35, 95}}), (Colours{kWhite, 0x123456, 0x00FF00, kWhite}));
    // On its own: a colour given replaces the layer's own, but a layer without one stays unpainted; the clip and
    // the raster mode are put back.
    p.device.clear();
    EXPECT_EQ(xlum_paint_layer(p.ctx, p.device.dc(), 0, 13, 1, 3, 0x0000FF), 1);
    EXPECT_EQ(p.device.at({{35, 35}, {95, 35}, {155, 35}}), (Colours{kWhite, 0x0000FF, 0x0000FF}));
    EXPECT_FALSE(platform::gdi_state(*p.device.dc()).clipping);
    EXPECT_EQ(p.ctx->disp_paint_color, -1);
    EXPECT_EQ(xlum_paint_layer(p.ctx, p.device.dc(), 0, 13, 1, 1, 0x0000FF), 0);
}

// Squares on layers 1 and 2 overlap: the layer painted later covers the overlap. Layers go from 0 up with the
// order switch at 1, else from 255 down; with the locked-layer switch at 0 locked layers come first, in their colour.
TEST(LayerPaint, LaterLayersCoverTheOverlapAndLockedLayersGoFirst) {
    const platform::ColorRef one = 0xFF0000, two = 0x00FF00, locked = 0x0000FF;
    const struct {
        int up, same_colour, locked_layer;
        platform::ColorRef first, second, overlap;
    } cases[] = {{1, 1, 0, one, two, two},     {-1, 1, 0, one, two, one}, {1, 0, 2, one, locked, one},
                 {-1, 0, 1, locked, two, two}, {1, 1, 2, one, two, two},  {-1, 1, 1, one, two, one}};
    for (const auto& c : cases) {
        Painted p;
        p.ctx->paint_layer_color[1] = one, p.ctx->paint_layer_color[2] = two, p.ctx->lock_layer_color = locked;
        p.square(20, 20, 120, 120, 1);
        p.square(80, 80, 180, 180, 2);
        p.ctx->layer_paint_jun = c.up, p.ctx->lock_paint_same_color_sw = c.same_colour;
        p.ctx->lock_layer[c.locked_layer] = c.locked_layer != 0;
        EXPECT_EQ(xlum_paint_layer(p.ctx, p.device.dc(), 0, 13, 1, 2, -1), 1);
        EXPECT_EQ((std::array{p.device.at(40, 40), p.device.at(160, 160), p.device.at(100, 100)}),
                  (std::array{c.first, c.second, c.overlap}))
            << c.up << c.same_colour << c.locked_layer;
    }
}

TEST_F(GroupPaint, TaggedGroupsAreFilledInTheirColour) {
    Painted p;
    p.square(20, 20, 80, 80, 1, 3);
    p.square(120, 20, 180, 80, 1, 4);
    put_text(p.ctx, "&RUV.RGB& 255 300 -5", 5, 3);
    EXPECT_EQ(xlum_gdisp_paint_by_zudat(p.ctx, p.device.dc(), 0, 13), 1);
    EXPECT_EQ(p.device.at({{50, 50}, {150, 50}}), (Colours{0x00FFFF, kWhite}));
}

TEST(MarkerFlood, MarkersFloodTheirAreaInGreyOnce) {
    Painted p;
    p.square(20, 20, 100, 100);
    const int32_t marker = xlum_set_arc(p.ctx, nullptr, 13, 0, 60, 60, 5, 0, 360, 1, 1, 1, 1);
    p.ctx->c7[marker] = 3;
    p.ctx->marker_paint = 1;
    EXPECT_EQ(p.show(0), 1);
    EXPECT_EQ(p.device.at({{60, 60}, {30, 30}, {150, 150}}),
              (Colours{platform::rgb(48, 48, 48), platform::rgb(48, 48, 48), kWhite}));
    EXPECT_EQ(p.ctx->marker_paint, 0);
    p.device.clear();
    p.show(0);  // the marker is an arc again, and nothing floods
    EXPECT_EQ(p.device.at(30, 30), kWhite);
    p.ctx->marker_paint = 1;
    platform::set_forced_key_state(platform::VK_ESCAPE, 1);
    EXPECT_EQ(xlum_gdisp_paint_by_marker(p.ctx, p.device.dc(), 0, 13), 0);
    platform::set_forced_key_state(platform::VK_ESCAPE, -1);
    EXPECT_EQ(p.device.at(30, 30), kWhite);
}

TEST_F(GroupPaint, TagTextsColourTheirGroups) {
    put_text(ctx, "&RUV.RGB& 255 300 -5", 5, 3);
    put_text(ctx, "&RUV.NAME& \"sea\" 0 0 200", 5, 9);
    put_text(ctx, "&RUV.NAME& sea 1 1 1", 5, 9);  // a later definition of the same name is not used
    // "＆ＢＯＵ．ＮＡＭＥ＆ｓｋｙ　１０　２０　３０": the full-width form, read after conversion.
    put_text(ctx,
             "\x81\x95\x82\x61\x82\x6e\x82\x74\x81\x44\x82\x6d\x82\x60\x82\x6c\x82\x64\x81\x95\x82\x93\x82\x8b\x82\x99"
             "\x81\x40\x82\x50\x82\x4f\x81\x40\x82\x51\x82\x4f\x81\x40\x82\x52\x82\x4f",
             6, 9);
    put_text(ctx, "sea", 5, 4);
    put_text(ctx, "sky", 5, 5);
    put_text(ctx, "sea", 5, 3);  // group 3 has its own colour already
    put_text(ctx, "seal", 5, 6);
    const std::vector<int32_t> all = group_tag_colors(ctx, 0, -1);
    ASSERT_EQ(all.size(), 33000u);
    EXPECT_EQ((std::array{all[3], all[4], all[5], all[6]}),
              (std::array{0x0000FFFF, 200 << 16, 10 | 20 << 8 | 30 << 16, -1}));
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](int32_t c) { return c != -1; }), 3);
    const std::vector<int32_t> one = group_tag_colors(ctx, 0, 4);
    EXPECT_EQ(one[4], 200 << 16);
    EXPECT_EQ(std::count_if(one.begin(), one.end(), [](int32_t c) { return c != -1; }), 1);
}

}  // namespace
}  // namespace kz::drawing2d
