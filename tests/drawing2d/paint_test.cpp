// Paint: group colours from tag texts, and paint of nested outlines on a device.
#include <gtest/gtest.h>

#include <algorithm>

#include "drawing2d/paint.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {

using test::Drawing;

int32_t put_text(drawing_context* ctx, const char* text, int kind, int group) {
    return xlum_set_text(ctx, nullptr, 0, -1, text, kind, 0, 0, 10, 10, 0, 0, 0, 0, 1, group, 1, 1);
}

TEST(GroupPaint, TagTextsColourTheirGroups) {
    Drawing d;
    drawing_context* ctx = d.peek();
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
    EXPECT_EQ(all[3], 0x0000FFFF);
    EXPECT_EQ(all[4], 200 << 16);
    EXPECT_EQ(all[5], 10 | 20 << 8 | 30 << 16);
    EXPECT_EQ(all[6], -1);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](int32_t c) { return c != -1; }), 3);
    const std::vector<int32_t> one = group_tag_colors(ctx, 0, 4);
    EXPECT_EQ(one[4], 200 << 16);
    EXPECT_EQ(std::count_if(one.begin(), one.end(), [](int32_t c) { return c != -1; }), 1);
}

}  // namespace
}  // namespace kz::drawing2d
