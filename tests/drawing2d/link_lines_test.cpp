// Link lines and text origin marks on a device, and the row helpers of the cuts.
#include <gtest/gtest.h>

#include "drawing2d/link_lines.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {

using test::Drawing;

TEST(LinkRows, ExtendMaxGrowsOnlyWhenFewRowsAreLeft) {
    Drawing d;
    drawing_context* ctx = d.peek();
    const int32_t max = ctx->max;
    EXPECT_EQ(extend_max(ctx, max - 600), 1);
    EXPECT_EQ(ctx->max, max);
    EXPECT_EQ(extend_max(ctx, max - 400), 1);
    EXPECT_EQ(ctx->max, max + 5000);
    // In the spare block the rows up to its end count, and nothing grows.
    EXPECT_EQ(extend_max(ctx, ctx->mat - 501), 1);
    EXPECT_EQ(extend_max(ctx, ctx->mat - 500), 0);
    EXPECT_EQ(ctx->max, max + 5000);
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
