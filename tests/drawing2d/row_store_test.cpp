// Records written through the row writers read back cell for cell; texts keep their Shift_JIS; deletion leaves
// holes that later records reuse; raw byte rows, link attributes and block copies between drawings.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

// What a record should read back as, built from the arguments alone.
struct Expected {
    int type;
    int layer, group, colour, style;
    double a, b, c, d, e, f;  // line: ends; arc: centre, radius, angles
    std::string text;
};

TEST(RowStore, RandomDrawingReadsBackRecordForRecord) {
    Drawing d;
    drawing_context* ctx = zolt_lock(d.handle());
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::vector<std::pair<int32_t, Expected>> written;
    const char* words[] = {"A", "abcdef", "abcdefg", "\x88\x9f\x88\xa0", "x\x82\xa0y", "0123456789012"};
    for (int i = 0; i < 3000; ++i) {
        int layer = rng() % 256, group = 1 + rng() % 32000, colour = 1 + rng() % 15, style = 1 + rng() % 8;
        int kind = rng() % 3;
        Expected e{0, layer, group, colour, style, 0, 0, 0, 0, 0, 0, ""};
        int32_t row;
        if (kind == 0) {
            e.type = 2;
            e.a = u(rng), e.b = u(rng), e.c = u(rng), e.d = u(rng);
            row =
                xlum_set_line(ctx, nullptr, 13, 0, e.a, e.b, e.c, e.d, layer == 255 ? 3 : layer, group, colour, style);
            if (layer == 255) e.layer = 3;
        } else if (kind == 1) {
            e.type = 3;
            e.a = u(rng) * 5000, e.b = u(rng), e.c = 1 + std::fabs(u(rng)), e.d = 10.5, e.e = 200.25;
            row = xlum_set_arc(ctx, nullptr, 13, 0, e.a, e.b, e.c, e.d, e.e, layer == 255 ? 3 : layer, group, colour,
                               style);
            if (layer == 255) e.layer = 3;
        } else {
            e.text = words[rng() % 6];
            e.a = u(rng), e.b = u(rng);
            row = xlum_set_text(ctx, nullptr, 13, 0, e.text.c_str(), 0, e.a, e.b, 10, 20, 2, 30, 0, 4,
                                layer == 255 ? 3 : layer, group, colour, style);
            if (layer == 255) e.layer = 3;
            char full[64];
            if (sjis_char_count(e.text.c_str()) != static_cast<int>(e.text.size())) {
                to_full_width(e.text.c_str(), full);
                e.text = full;
                e.type = 6;
            } else {
                e.type = 5;
            }
        }
        ASSERT_GE(row, 0);
        written.emplace_back(row, e);
    }
    // Active attributes are back as they were.
    EXPECT_EQ(ctx->active_layer, 1);
    EXPECT_EQ(ctx->active_color, 5);
    int32_t next = 0;
    for (auto& [row, e] : written) {
        ASSERT_EQ(row, next) << "records follow each other";
        ASSERT_EQ(row_type(ctx, row), e.type);
        EXPECT_EQ(row_layer(ctx, row), e.layer);
        EXPECT_EQ(row_group(ctx, row), e.group);
        EXPECT_EQ(row_color(ctx, row), e.colour);
        EXPECT_EQ(row_style(ctx, row), e.style);
        if (e.type == 2) {
            EXPECT_EQ(ctx->c4[row], round_to_int32(e.a));
            EXPECT_EQ(ctx->c7[row], round_to_int32(e.d));
        } else if (e.type == 3) {
            EXPECT_NEAR(arc_centre_x(ctx, row), e.a, 0.5);
            EXPECT_NEAR(arc_centre_y(ctx, row), e.b, 0.5);
            EXPECT_EQ(ctx->c6[row], static_cast<int32_t>(e.c + 0.5));
            EXPECT_EQ(ctx->c6[row + 1], 10500000);
            EXPECT_EQ(ctx->c7[row + 1], 200250000);
        } else {
            char buffer[1024];
            EXPECT_EQ(xlum_getchar(ctx, row, buffer), static_cast<int>(e.text.size()));
            EXPECT_EQ(std::string(buffer), e.text);
            EXPECT_EQ(ctx->c5[row + 1], 30000000);
            EXPECT_EQ(ctx->c7[row + 1], 4);
        }
        next = row + primitive_row_count(ctx, row);
    }
    EXPECT_EQ(find_data_end(ctx, 0), next);
    zolt_unlock(d.handle());
}

TEST(RowStore, TextLimitsAndRowCounts) {
    Drawing d;
    drawing_context* ctx = d.peek();
    struct Case {
        std::string text;
        int32_t rows;  // 0 = refused
    } cases[] = {
        {"abcdef", 3}, {"abcdefg", 4}, {std::string(1023, 'q'), 2 + 171}, {std::string(1024, 'q'), 0}, {"", 0}};
    for (const auto& c : cases) {
        int32_t row = set_text_rows(ctx, 0, c.text.c_str(), 0, 0, 1, 1, 0, 0, 0, 0, 0);
        if (!c.rows) {
            EXPECT_EQ(row, -1);
            continue;
        }
        ASSERT_GE(row, 0);
        EXPECT_EQ(primitive_row_count(ctx, row), c.rows);
        char buffer[1100];
        EXPECT_EQ(xlum_getchar(ctx, row, buffer, sizeof buffer), static_cast<int>(c.text.size()));
    }
    // 512 double-byte characters after widening are 1024 bytes: refused.
    std::string wide(511, 'a');
    wide += "\x88\x9f";
    EXPECT_EQ(set_text_rows(ctx, 0, wide.c_str(), 0, 0, 1, 1, 0, 0, 0, 0, 0), -1);
}

TEST(RowStore, KanjiCellsHoldJisCodesOrTheirOwnPair) {
    Drawing d;
    drawing_context* ctx = d.peek();
    // "亜" (0x889F, JIS 0x3021) and a user-defined character (0xF040, no JIS form).
    int32_t row = set_text_rows(ctx, 0, "\x88\x9f\xf0\x40", 0, 0, 1, 1, 0, 0, 0, 0, 0);
    ASSERT_GE(row, 0);
    EXPECT_EQ(row_type(ctx, row), 6);
    EXPECT_EQ(ctx->c6[row], 2);
    EXPECT_EQ(ctx->c2[row + 2], 0x3021);
    EXPECT_EQ(ctx->c3[row + 2], 0xF040);
    ctx->c2[row + 2] |= 0x70000;  // high bits are no part of the character
    char buffer[16];
    EXPECT_EQ(xlum_getchar(ctx, row, buffer), 4);
    EXPECT_STREQ(buffer, "\x88\x9f\xf0\x40");
    EXPECT_EQ(ctx->c2[row + 2], 0x73021);  // read, not masked: a save writes back what was read
}

TEST(RowStore, GetcharIsBoundedByTheBufferAndTheRows) {
    Drawing d;
    drawing_context* ctx = d.peek();
    int32_t row = set_text_rows(ctx, 0, "abcdefgh", 0, 0, 1, 1, 0, 0, 0, 0, 0);
    ctx->c6[row] = 30000;  // a count read from a damaged file
    char small[5];
    EXPECT_EQ(xlum_getchar(ctx, row, small, sizeof small), 4);
    EXPECT_STREQ(small, "abcd");
    char big[1024];
    EXPECT_EQ(xlum_getchar(ctx, row, big), 8);  // stops at the first row that is no continuation
    ctx->c6[row] = 0;
    EXPECT_EQ(xlum_getchar(ctx, row, big), 0);
    EXPECT_STREQ(big, "");
    int32_t line = xlum_line_set(ctx, 0, 0, 0, 1, 1);
    EXPECT_EQ(xlum_getchar(ctx, line, big), 0);
    EXPECT_EQ(xlum_getchar(ctx, ctx->mat, big), 0);
}

TEST(RowStore, SlantAngleAndAlignmentOfTexts) {
    Drawing d;
    drawing_context* ctx = d.peek();
    struct Case {
        double slant, stored;
    } cases[] = {{120, 80}, {200, 280}, {300, 300}, {-30, 330}, {80, 80}, {79, 79}};
    for (const auto& c : cases) {
        int32_t row = xlum_moji_set(ctx, 0, "ab", 0, 0, 0x105, 1, 1, 0, -90, c.slant);
        ASSERT_GE(row, 0);
        EXPECT_EQ(ctx->c6[row + 1], static_cast<int32_t>(c.stored * 1e6)) << c.slant;
        EXPECT_EQ(ctx->c5[row + 1], 270000000);
        EXPECT_EQ(ctx->c7[row + 1], 0x105);
    }
    int32_t row = xlum_moji_set(ctx, 0, "ab", 3e9, 0, 0, 1, 1, 0, 0, 0);
    EXPECT_EQ(row, -1);  // origin outside int32
    row = xlum_moji_set(ctx, 0, "ab", 0, 0, 0, 0.2, 0.1, 0, 0, 0);
    EXPECT_EQ(ctx->c2[row + 1], 1);  // width and height of at least one unit
    EXPECT_EQ(ctx->c3[row + 1], 1);
}

TEST(RowStore, ArcsAndLinesByTheirRules) {
    Drawing d;
    drawing_context* ctx = d.peek();
    int32_t row = xlum_en_set(ctx, 0, 10, 10, 5, 45, 45);
    EXPECT_EQ(ctx->c6[row + 1], 0);
    EXPECT_EQ(ctx->c7[row + 1], 360000000);
    row = xlum_en_set(ctx, 0, 10, 10, 0.2, 0, 90);
    EXPECT_EQ(ctx->c6[row], 1);
    row = xlum_en_set(ctx, 0, 5e18, 0, 5, 0, 90);  // refused: both rows left empty, the row still returned
    EXPECT_GE(row, 0);
    EXPECT_EQ(ctx->c1[row], 0);
    EXPECT_EQ(ctx->c1[row + 1], 0);
    row = xlum_en_set(ctx, 0, 0, 0, 3e9, 0, 90);
    EXPECT_EQ(ctx->c1[row], 0);
    int32_t line = xlum_line_set_d(ctx, nullptr, 0, 1, 1, 1, 1, 3.2, 4, 3.4, 4, 1);
    EXPECT_EQ(ctx->c1[line], 0);  // both ends round to one point: no record
    line = xlum_line_set_d(ctx, nullptr, 0, 1, 1, 1, 1, 3e10, -2.5, 0, 2.5, 0);
    EXPECT_EQ(ctx->c4[line], 2147483647);
    EXPECT_EQ(ctx->c5[line], -3);
    EXPECT_EQ(ctx->c7[line], 3);
}

TEST(RowStore, WritingOverTheEndCodeKeepsAnEnd) {
    Drawing d;
    drawing_context* ctx = d.peek();
    xlum_line_set(ctx, 0, 0, 0, 1, 1);
    // Stale rows behind the end must not turn into data when a record is written at the end row.
    ctx->c1[2] = 0x0201;
    ASSERT_EQ(find_data_end(ctx, 0), 1);
    EXPECT_EQ(xlum_line_set(ctx, 1, 5, 5, 6, 6), 1);
    EXPECT_EQ(find_data_end(ctx, 0), 2);
    EXPECT_EQ(xlum_en_set(ctx, 2, 5, 5, 6, 0, 90), 2);
    EXPECT_EQ(find_data_end(ctx, 0), 4);
    EXPECT_EQ(set_text_rows(ctx, 4, "abc", 0, 0, 1, 1, 0, 0, 0, 0, 0), 4);
    EXPECT_EQ(find_data_end(ctx, 0), 7);
}

TEST(RowStore, DeletedRecordsLeaveHolesThatAreReused) {
    Drawing d;
    drawing_context* ctx = d.peek();
    xlum_line_set(ctx, 0, 0, 0, 1, 1);                                       // row 0
    int32_t text = set_text_rows(ctx, 0, "abc", 0, 0, 1, 1, 0, 0, 0, 0, 0);  // rows 1..3
    xlum_line_set(ctx, 0, 0, 0, 2, 2);                                       // row 4
    ASSERT_EQ(text, 1);
    EXPECT_EQ(xlum_delete_primitive(ctx, text), 3);
    EXPECT_EQ(xlum_delete_primitive(ctx, text), 0);  // nothing left there
    EXPECT_EQ(reserve_rows(ctx, 0, 4), 5);           // too small a hole: the data end
    ctx->c1[5] = 0x0201;                             // fill the reserved row
    EXPECT_EQ(reserve_rows(ctx, 0, 3), 1);
    EXPECT_EQ(reserve_rows(ctx, -2, 2), 2);  // a search from row 2
    EXPECT_EQ(reserve_rows(ctx, 0, -1), -1);
    // A continuation row missing in the middle stops the deletion there.
    int32_t t2 = set_text_rows(ctx, 0, "abcdefghijklm", 0, 0, 1, 1, 0, 0, 0, 0, 0);
    ctx->c1[t2 + 3] = 0x0201;
    EXPECT_EQ(xlum_delete_primitive(ctx, t2), 3);
    EXPECT_EQ(ctx->c1[t2 + 3], 0x0201);
}

TEST(RowStore, ReservingGrowsTheColumns) {
    Drawing d;
    drawing_context* ctx = d.peek();
    for (int i = 0; i < 2600; ++i) ASSERT_EQ(xlum_line_set(ctx, 0, i, 0, i, 1), i);
    EXPECT_EQ(ctx->max, 3000 + 1 + 5000);  // grown when the end came within 500 rows of the capacity
    EXPECT_EQ(ctx->c4[2599], 2599);
    // Inside the gathered block, beyond max, there is no growth.
    int32_t beyond = ctx->max + 10;
    for (int r = beyond; r < beyond + 5; ++r) ctx->c1[r] = 0x0201;
    ctx->c1[beyond + 5] = 0xFFFF;
    EXPECT_EQ(reserve_rows(ctx, -beyond, 2), beyond + 5);
    ctx->c1[ctx->mat - 5] = 0xFFFF;
    for (int r = beyond; r < ctx->mat - 5; ++r) ctx->c1[r] = 0x0201;
    EXPECT_EQ(reserve_rows(ctx, -beyond, 2), -1);
}

TEST(RowStore, RawByteRowsRoundTrip) {
    Drawing d;
    drawing_context* ctx = d.peek();
    for (std::string s :
         {std::string(), std::string("a"), std::string(11, 'b'), std::string(12, 'c'), std::string(25, 'd')}) {
        int rows = xlum_set_char_dat(ctx, 100, s.c_str());
        EXPECT_EQ(rows, static_cast<int>(s.size() / 12) + 1) << s.size();
        ctx->c1[100 + rows] = 0;
        char buffer[64];
        EXPECT_EQ(xlum_get_char_dat(ctx, 100, buffer, sizeof buffer), static_cast<int>(s.size()));
        EXPECT_EQ(std::string(buffer), s);
    }
    char buffer[4];
    xlum_set_char_dat(ctx, 100, "abcdefgh");
    EXPECT_EQ(xlum_get_char_dat(ctx, 100, buffer, sizeof buffer), 3);
    EXPECT_EQ(xlum_get_char_dat(ctx, 99, buffer, sizeof buffer), 0);
}

TEST(RowStore, LinkAttributesPackAndUnpack) {
    Drawing d;
    drawing_context* ctx = d.peek();
    int32_t line = xlum_line_set(ctx, 0, 0, 0, 5, 5);
    int32_t text = set_text_rows(ctx, 0, "abc", 0, 0, 1, 1, 0, 0, 0, 3, 1);
    int32_t arc = xlum_en_set(ctx, 0, 0, 0, 5, 0, 0);
    int32_t link = -1, a = -1, b = -1, c = -1, dd = -1, e = -1, f = -1;
    EXPECT_EQ(xlum_set_link_attribute(ctx, line, 70000, 0, 0, 0, 0, 0, 0), 1);
    xlum_get_link_attribute(ctx, line, &link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(link, 70000 & 0xFFFF);
    EXPECT_EQ(xlum_set_link_attribute(ctx, line, -1, 0, 0, 0, 0, 0, 0), 1);
    xlum_get_link_attribute(ctx, line, &link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(link, 70000 & 0xFFFF);
    EXPECT_EQ(xlum_set_link_attribute(ctx, text, 12, 1, 0, 1, 3, 5, 200), 1);
    EXPECT_EQ(xlum_get_link_attribute(ctx, text, &link, &a, &b, &c, &dd, &e, &f), 1);
    EXPECT_EQ(link, 12);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(dd, 3);
    EXPECT_EQ(e, 5);
    EXPECT_EQ(f, -56);                                              // a signed byte
    EXPECT_EQ(ctx->c7[text + 1] & 0x1FF, 0x103);                    // alignment and vertical bit untouched
    xlum_set_link_attribute(ctx, text, -1, -1, 1, -1, 9, -1, 300);  // 9 cut to 2 bits; 300 ignored
    xlum_get_link_attribute(ctx, text, &link, &a, &b, &c, &dd, &e, &f);
    EXPECT_EQ(link, 12);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(dd, 1);
    EXPECT_EQ(f, -56);
    xlum_set_link_attribute(ctx, text, 0, 1, 1, 1, 1, 1, 1);
    xlum_get_link_attribute(ctx, text, &link, &a, &b, &c, &dd, &e, &f);
    EXPECT_EQ(link, 0);
    EXPECT_EQ(a + b + c + dd + e + f, 0);
    EXPECT_EQ(xlum_set_link_attribute(ctx, arc, 1, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(xlum_get_link_attribute(ctx, arc, &link, &a, &b, &c, &dd, &e, &f), 0);
}

TEST(RowStore, BridgeCopiesBlocksBetweenDrawings) {
    Drawing src, dst;
    drawing_context* s = src.peek();
    drawing_context* t = dst.peek();
    for (int i = 0; i < 10; ++i) xlum_line_set(s, 0, i, i, i + 1, i + 1);
    xlum_line_set(t, 0, 100, 100, 101, 101);
    // Up to the source's end code, at the destination's data end: the end row comes along.
    EXPECT_EQ(xlum_bridge(s, 0, -1, t, -1), 1);
    EXPECT_EQ(find_data_end(t, 0), 12);
    EXPECT_EQ(t->c1[1], 0);
    EXPECT_EQ(t->c4[2], 0);
    EXPECT_EQ(t->c4[11], 9);
    EXPECT_EQ(xlum_bridge(s, 5, 2, t, 0), -1);
    EXPECT_EQ(xlum_bridge(s, 0, 9, t, 6000), 6000);  // grows the destination
    EXPECT_GE(t->max, 6509);
    EXPECT_EQ(t->c4[6009], 9);
    EXPECT_EQ(xlum_bridge(s, 0, s->mat + 5, t, 0), -1);
}

TEST(RowStore, InsertingRowsMovesTheRest) {
    Drawing d;
    drawing_context* ctx = d.peek();
    for (int i = 0; i < 5; ++i) xlum_line_set(ctx, 0, i, 0, i, 1);
    ASSERT_EQ(insert_rows(ctx, 2, -1, 3), 1);
    EXPECT_EQ(ctx->c1[2], 0);
    EXPECT_EQ(ctx->c4[5], 2);
    EXPECT_EQ(find_data_end(ctx, 0), 8);
    ASSERT_EQ(xlum_insert_space(ctx, 0, 0, 1), 1);
    EXPECT_EQ(ctx->c4[1], 0);
    EXPECT_EQ(find_data_end(ctx, 0), 9);
    EXPECT_EQ(insert_rows(ctx, 5, 2, 1), 0);
    // Near the capacity the columns grow.
    EXPECT_EQ(insert_rows(ctx, 0, 9, 2700), 1);
    EXPECT_GE(ctx->max, 8000);
    EXPECT_EQ(find_data_end(ctx, 0), 2709);
}

TEST(ActiveAttributes, RingKeepsTheSixteenNewest) {
    Drawing d;
    drawing_context* ctx = d.peek();
    for (int i = 1; i <= 17; ++i) xlum_push_pop_active(ctx, 1, i, i, i % 16, 1 + i % 8);
    for (int i = 1; i <= 17; ++i) {
        xlum_push_pop_active(ctx, -1, 0, 0, 0, 0);
        int want = i <= 14 ? 17 - i : 2;
        EXPECT_EQ(ctx->active_layer, want) << i;
    }
    xlum_push_pop_active(ctx, 1, 255, 0, 0, 9);
    EXPECT_EQ(ctx->active_layer, 2);
    EXPECT_EQ(ctx->active_color, 0);
    EXPECT_EQ(xlum_set_active(ctx, 300, 0, 16, 9), 0);
    EXPECT_EQ(ctx->active_layer, 2);
    xlum_set_active(ctx, 0, 32000, 15, 8);
    EXPECT_EQ(ctx->active_layer, 0);
    EXPECT_EQ(ctx->active_group, 32000);
}

}  // namespace
}  // namespace kz::drawing2d
