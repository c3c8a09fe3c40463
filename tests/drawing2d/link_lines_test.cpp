// Link lines and text origin marks on a device, and the row helpers of the cuts.
#include <gtest/gtest.h>

#include <tuple>

#include "device_test_support.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/link_lines.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/window.h"

namespace kz::drawing2d {
namespace {

using test::Drawing;

int32_t link_of(drawing_context* ctx, int32_t row) {
    int32_t link = 0;
    xlum_get_link_attribute(ctx, row, &link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return link;
}

// A drawing shown one unit to a pixel on a square device, link lines and origin marks in black.
struct Shown {
    Drawing d;
    drawing_context* ctx = d.peek();
    test::Device dev;
    explicit Shown(int size) : dev(size, size) {
        ctx->disp_pen_width = -1;
        ctx->pen_color[7] = 0;
        xlum_make_window_d(ctx, 0, 0, 0, size, size, 0, 0, size, size);
    }
    int32_t text(double x, double y) {
        return xlum_set_text(ctx, nullptr, 0, -1, "AB", 5, x, y, 2, 2, 0, 0, 0, 0, 1, 1, 2, 1);
    }
};

// Two lines and a text with link number 7: the later line loses its number, and one stroke joins the text's box
// centre (about (102, 150)) to the middle of the first line (100, 20), though that line's layer is hidden.
TEST(LinkLines, TextJoinsTheFirstLineOfItsNumber) {
    Shown s(200);
    s.ctx->disp_layer[5] = 0;
    const int32_t first = xlum_set_line(s.ctx, nullptr, 0, -1, 60, 20, 140, 20, 5, 1, 2, 1);
    const int32_t second = xlum_set_line(s.ctx, nullptr, 0, -1, 10, 100, 30, 100, 1, 1, 2, 1);
    const int32_t text = s.text(100, 150);
    for (int32_t row : {first, second, text}) xlum_set_link_attribute(s.ctx, row, 7, -1, -1, -1, -1, -1, -1);
    s.ctx->link_line_disp_sw = 1;
    EXPECT_EQ(xlum_gdisp(s.ctx, s.dev.dc(), 0, 13, 0), 1);
    EXPECT_EQ(std::tuple(link_of(s.ctx, first), link_of(s.ctx, second)), std::tuple(7, 0));
    const auto runs = test::runs(s.dev.row(85));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_GE(runs[0].first, 99);
    EXPECT_LE(runs[0].second, 104);
    // Hidden text and line: no link line.
    s.dev.clear();
    s.ctx->disp_layer[1] = 0;
    xlum_gdisp(s.ctx, s.dev.dc(), 0, 13, 0);
    EXPECT_EQ(s.dev.drawn(), 0);
}

// Escape ends the walk after its poll interval, and the result stays 1.
TEST(LinkLines, TextOriginMarksAreCountedAndEscapeStillGivesOne) {
    Shown s(100);
    for (int i = 0; i < 300; ++i) s.text(i % 90, 50);
    s.text(150, 50);  // outside the device
    EXPECT_EQ(xlum_draw_text_origin(s.ctx, s.dev.dc(), 0, 13), 1);
    EXPECT_EQ(s.ctx->stroke_count, 600);
    EXPECT_GT(s.dev.drawn(), 0);
    s.ctx->stroke_count = 0;
    platform::set_forced_key_state(platform::VK_ESCAPE, 1);
    const int result = xlum_draw_text_origin(s.ctx, s.dev.dc(), 0, 13);
    platform::set_forced_key_state(platform::VK_ESCAPE, -1);
    EXPECT_EQ(result, 1);
    EXPECT_LT(s.ctx->stroke_count, 600);
}

TEST(LinkRows, ExtendMaxGrowsOnlyWhenFewRowsAreLeft) {
    Drawing d;
    drawing_context* ctx = d.peek();
    for (int32_t short_of : {600, 501, 500, 400}) {  // 5000 more rows from 500 short of the limit on
        const int32_t max = ctx->max;
        EXPECT_EQ(extend_max(ctx, max - short_of), 1);
        EXPECT_EQ(ctx->max, max + (short_of <= 500 ? 5000 : 0)) << short_of;
    }
    // In the spare block the rows up to its end count, and nothing grows.
    const int32_t max = ctx->max;
    EXPECT_EQ(extend_max(ctx, ctx->mat - 501), 1);
    EXPECT_EQ(extend_max(ctx, ctx->mat - 500), 0);
    EXPECT_EQ(ctx->max, max);
}

TEST(LinkRows, LinkAttributesCopyBetweenDrawings) {
    Drawing a, b;
    const int32_t line = xlum_set_line(a.peek(), nullptr, 0, -1, 0, 0, 100, 0, 1, 1, 2, 1);
    const int32_t text = xlum_set_text(a.peek(), nullptr, 0, -1, "12", 5, 0, 0, 10, 10, 0, 0, 0, 0, 1, 1, 2, 1);
    xlum_set_link_attribute(a.peek(), line, 7, -1, -1, -1, -1, -1, -1);
    xlum_set_link_attribute(a.peek(), text, 7, 1, 0, 1, 2, 5, 9);
    const int32_t line_b = xlum_set_line(b.peek(), nullptr, 0, -1, 5, 5, 50, 5, 3, 4, 5, 2);
    const int32_t text_b = xlum_set_text(b.peek(), nullptr, 0, -1, "12", 5, 0, 0, 10, 10, 0, 0, 0, 0, 3, 4, 5, 2);
    const int32_t c3 = b.peek()->c3[text_b];
    copy_link_attributes(a.peek(), line, b.peek(), line_b);
    copy_link_attributes(a.peek(), text, b.peek(), text_b);
    int32_t link = 0, v[6] = {};
    ASSERT_EQ(xlum_get_link_attribute(b.peek(), text_b, &link, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
    EXPECT_EQ(link, 7);
    EXPECT_EQ(std::vector<int32_t>(v, v + 6), (std::vector<int32_t>{1, 0, 1, 2, 5, 9}));
    EXPECT_EQ(b.peek()->c3[text_b] & 0xFFFF, c3 & 0xFFFF) << "colour and style stay";
    ASSERT_EQ(xlum_get_link_attribute(b.peek(), line_b, &link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              1);
    EXPECT_EQ(link, 7);
}

}  // namespace
}  // namespace kz::drawing2d
