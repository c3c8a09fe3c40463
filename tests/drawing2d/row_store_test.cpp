// Records written through the row writers read back cell for cell; texts keep their Shift_JIS; deletion leaves
// holes that later records reuse; raw byte rows, link attributes and block copies between drawings.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "drawing_test_support.h"
#include "support/all_near.h"

namespace kz::drawing2d {
namespace {
using RowStore = test::DrawingTest;
using ActiveAttributes = test::DrawingTest;
using test::Drawing;

// What a record should read back as, built from the arguments alone.
struct Expected {
    int type;
    int layer, group, colour, style;
    double a, b, c, d, e, f;  // line: ends; arc: centre, radius, angles
    std::string text;
};

TEST_F(RowStore, RandomDrawingReadsBackRecordForRecord) {
    zolt_lock(d.handle());
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    std::vector<std::pair<int32_t, Expected>> written;
    const char* words[] = {"A", "abcdef", "abcdefg", "\x88\x9f\x88\xa0", "x\x82\xa0y", "0123456789012"};
    for (int i = 0; i < 3000; ++i) {
        int layer = rng() % 256, group = 1 + rng() % 32000, colour = 1 + rng() % 15, style = 1 + rng() % 8;
        if (layer == 255) layer = 3;
        int kind = rng() % 3;
        Expected e{0, layer, group, colour, style, 0, 0, 0, 0, 0, 0, ""};
        int32_t row;
        if (kind == 0) {
            e.type = 2;
            e.a = u(rng), e.b = u(rng), e.c = u(rng), e.d = u(rng);
            row = xlum_set_line(ctx, nullptr, 13, 0, e.a, e.b, e.c, e.d, layer, group, colour, style);
        } else if (kind == 1) {
            e.type = 3;
            e.a = u(rng) * 5000, e.b = u(rng), e.c = 1 + std::fabs(u(rng)), e.d = 10.5, e.e = 200.25;
            row = xlum_set_arc(ctx, nullptr, 13, 0, e.a, e.b, e.c, e.d, e.e, layer, group, colour, style);
        } else {
            e.text = words[rng() % 6];
            e.a = u(rng), e.b = u(rng);
            row = xlum_set_text(ctx, nullptr, 13, 0, e.text.c_str(), 0, e.a, e.b, 10, 20, 2, 30, 0, 4, layer, group,
                                colour, style);
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
    EXPECT_EQ(std::pair(ctx->active_layer, ctx->active_color), std::pair(1, 5));
    int32_t next = 0;
    for (auto& [row, e] : written) {
        ASSERT_EQ(row, next) << "records follow each other";
        ASSERT_EQ(row_type(ctx, row), e.type);
        EXPECT_EQ((std::array{row_layer(ctx, row), row_group(ctx, row), row_color(ctx, row), row_style(ctx, row)}),
                  (std::array{e.layer, e.group, e.colour, e.style}));
        if (e.type == 2) {
            EXPECT_EQ(std::tuple(ctx->c4[row], ctx->c7[row]), std::tuple(round_to_int32(e.a), round_to_int32(e.d)));
        } else if (e.type == 3) {
            EXPECT_TRUE(kz::test::all_near({arc_centre_x(ctx, row), arc_centre_y(ctx, row)}, {e.a, e.b}, 0.5));
            EXPECT_EQ(ctx->c6[row], static_cast<int32_t>(e.c + 0.5));
            EXPECT_EQ(std::pair(ctx->c6[row + 1], ctx->c7[row + 1]), std::pair(10500000, 200250000));
        } else {
            char buffer[1024];
            EXPECT_EQ(xlum_getchar(ctx, row, buffer), static_cast<int>(e.text.size()));
            EXPECT_EQ(std::string(buffer), e.text);
            EXPECT_EQ(std::pair(ctx->c5[row + 1], ctx->c7[row + 1]), std::pair(30000000, 4));
        }
        next = row + primitive_row_count(ctx, row);
    }
    EXPECT_EQ(find_data_end(ctx, 0), next);
    zolt_unlock(d.handle());
}

TEST_F(RowStore, TextLimitsAndRowCounts) {
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

TEST_F(RowStore, KanjiCellsHoldJisCodesOrTheirOwnPair) {
    // "亜" (0x889F, JIS 0x3021) and a user-defined character (0xF040, no JIS form).
    int32_t row = set_text_rows(ctx, 0, "\x88\x9f\xf0\x40", 0, 0, 1, 1, 0, 0, 0, 0, 0);
    ASSERT_GE(row, 0);
    EXPECT_EQ(std::tuple(row_type(ctx, row), ctx->c6[row]), std::tuple(6, 2));
    EXPECT_EQ(std::pair(ctx->c2[row + 2], ctx->c3[row + 2]), std::pair(0x3021, 0xF040));
    ctx->c2[row + 2] |= 0x70000;  // high bits are no part of the character
    char buffer[16];
    EXPECT_EQ(xlum_getchar(ctx, row, buffer), 4);
    EXPECT_STREQ(buffer, "\x88\x9f\xf0\x40");
    EXPECT_EQ(ctx->c2[row + 2], 0x73021);  // read, not masked: a save writes back what was read
}

TEST_F(RowStore, GetcharIsBoundedByTheBufferAndTheRows) {
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

TEST_F(RowStore, SlantAngleAndAlignmentOfTexts) {
    struct Case {
        double slant, stored;
    } cases[] = {{120, 80}, {200, 280}, {300, 300}, {-30, 330}, {80, 80}, {79, 79}};
    for (const auto& c : cases) {
        int32_t row = xlum_moji_set(ctx, 0, "ab", 0, 0, 0x105, 1, 1, 0, -90, c.slant);
        ASSERT_GE(row, 0);
        EXPECT_EQ(ctx->c6[row + 1], static_cast<int32_t>(c.stored * 1e6)) << c.slant;
        EXPECT_EQ(std::pair(ctx->c5[row + 1], ctx->c7[row + 1]), std::pair(270000000, 0x105));
    }
    int32_t row = xlum_moji_set(ctx, 0, "ab", 3e9, 0, 0, 1, 1, 0, 0, 0);
    EXPECT_EQ(row, -1);  // origin outside int32
    row = xlum_moji_set(ctx, 0, "ab", 0, 0, 0, 0.2, 0.1, 0, 0, 0);
    EXPECT_EQ(std::pair(ctx->c2[row + 1], ctx->c3[row + 1]), std::pair(1, 1));  // width and height of a unit at least
}

TEST_F(RowStore, ArcsAndLinesByTheirRules) {
    int32_t row = xlum_en_set(ctx, 0, 10, 10, 5, 45, 45);
    EXPECT_EQ(std::pair(ctx->c6[row + 1], ctx->c7[row + 1]), std::pair(0, 360000000));
    row = xlum_en_set(ctx, 0, 10, 10, 0.2, 0, 90);
    EXPECT_EQ(ctx->c6[row], 1);
    row = xlum_en_set(ctx, 0, 5e18, 0, 5, 0, 90);  // refused: both rows left empty, the row still returned
    EXPECT_GE(row, 0);
    EXPECT_EQ(std::pair(ctx->c1[row], ctx->c1[row + 1]), std::pair(0, 0));
    row = xlum_en_set(ctx, 0, 0, 0, 3e9, 0, 90);
    EXPECT_EQ(ctx->c1[row], 0);
    int32_t line = xlum_line_set_d(ctx, nullptr, 0, 1, 1, 1, 1, 3.2, 4, 3.4, 4, 1);
    EXPECT_EQ(ctx->c1[line], 0);  // both ends round to one point: no record
    line = xlum_line_set_d(ctx, nullptr, 0, 1, 1, 1, 1, 3e10, -2.5, 0, 2.5, 0);
    EXPECT_EQ((std::array{ctx->c4[line], ctx->c5[line], ctx->c7[line]}), (std::array{2147483647, -3, 3}));
}

TEST_F(RowStore, WritingOverTheEndCodeKeepsAnEnd) {
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

TEST_F(RowStore, DeletedRecordsLeaveHolesThatAreReused) {
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

TEST_F(RowStore, ReservingGrowsTheColumns) {
    for (int i = 0; i < 2600; ++i) ASSERT_EQ(xlum_line_set(ctx, 0, i, 0, i, 1), i);
    // Grown when the end came within 500 rows of the capacity.
    EXPECT_EQ(std::tuple(ctx->max, ctx->c4[2599]), std::tuple(3000 + 1 + 5000, 2599));
    // Inside the gathered block, beyond max, there is no growth.
    int32_t beyond = ctx->max + 10;
    for (int r = beyond; r < beyond + 5; ++r) ctx->c1[r] = 0x0201;
    ctx->c1[beyond + 5] = 0xFFFF;
    EXPECT_EQ(reserve_rows(ctx, -beyond, 2), beyond + 5);
    ctx->c1[ctx->mat - 5] = 0xFFFF;
    for (int r = beyond; r < ctx->mat - 5; ++r) ctx->c1[r] = 0x0201;
    EXPECT_EQ(reserve_rows(ctx, -beyond, 2), -1);
}

TEST_F(RowStore, RawByteRowsRoundTrip) {
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

TEST_F(RowStore, LinkAttributesPackAndUnpack) {
    int32_t line = xlum_line_set(ctx, 0, 0, 0, 5, 5);
    int32_t text = set_text_rows(ctx, 0, "abc", 0, 0, 1, 1, 0, 0, 0, 3, 1);
    int32_t arc = xlum_en_set(ctx, 0, 0, 0, 5, 0, 0);
    int32_t link = -1, a = -1, b = -1, c = -1, dd = -1, e = -1, f = -1;
    // The link number alone, then with the six attributes.
    const auto link_of = [&](int32_t row) {
        xlum_get_link_attribute(ctx, row, &link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        return link;
    };
    const auto all_of = [&](int32_t row) {
        xlum_get_link_attribute(ctx, row, &link, &a, &b, &c, &dd, &e, &f);
        return std::array{link, a, b, c, dd, e, f};
    };
    EXPECT_EQ(xlum_set_link_attribute(ctx, line, 70000, 0, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(link_of(line), 70000 & 0xFFFF);
    EXPECT_EQ(xlum_set_link_attribute(ctx, line, -1, 0, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(link_of(line), 70000 & 0xFFFF);
    EXPECT_EQ(xlum_set_link_attribute(ctx, text, 12, 1, 0, 1, 3, 5, 200), 1);
    EXPECT_EQ(xlum_get_link_attribute(ctx, text, &link, &a, &b, &c, &dd, &e, &f), 1);
    EXPECT_EQ(all_of(text), (std::array{12, 1, 0, 1, 3, 5, -56}));  // the last a signed byte
    EXPECT_EQ(ctx->c7[text + 1] & 0x1FF, 0x103);                    // alignment and vertical bit untouched
    xlum_set_link_attribute(ctx, text, -1, -1, 1, -1, 9, -1, 300);  // 9 cut to 2 bits; 300 ignored
    EXPECT_EQ(all_of(text), (std::array{12, 1, 1, 1, 1, 5, -56}));
    xlum_set_link_attribute(ctx, text, 0, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(all_of(text), (std::array{0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(xlum_set_link_attribute(ctx, arc, 1, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(xlum_get_link_attribute(ctx, arc, &link, &a, &b, &c, &dd, &e, &f), 0);
}

TEST_F(RowStore, BridgeCopiesBlocksBetweenDrawings) {
    Drawing dst;
    drawing_context *s = ctx, *t = dst.peek();
    for (int i = 0; i < 10; ++i) xlum_line_set(s, 0, i, i, i + 1, i + 1);
    xlum_line_set(t, 0, 100, 100, 101, 101);
    // Up to the source's end code, at the destination's data end: the end row comes along.
    EXPECT_EQ(xlum_bridge(s, 0, -1, t, -1), 1);
    EXPECT_EQ(find_data_end(t, 0), 12);
    EXPECT_EQ((std::array{t->c1[1], t->c4[2], t->c4[11]}), (std::array{0, 0, 9}));
    EXPECT_EQ(xlum_bridge(s, 5, 2, t, 0), -1);
    EXPECT_EQ(xlum_bridge(s, 0, 9, t, 6000), 6000);  // grows the destination
    EXPECT_GE(t->max, 6509);
    EXPECT_EQ(t->c4[6009], 9);
    EXPECT_EQ(xlum_bridge(s, 0, s->mat + 5, t, 0), -1);
}

TEST_F(RowStore, InsertingRowsMovesTheRest) {
    for (int i = 0; i < 5; ++i) xlum_line_set(ctx, 0, i, 0, i, 1);
    ASSERT_EQ(insert_rows(ctx, 2, -1, 3), 1);
    EXPECT_EQ(std::pair(ctx->c1[2], ctx->c4[5]), std::pair(0, 2));
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

TEST_F(ActiveAttributes, RingKeepsTheSixteenNewest) {
    for (int i = 1; i <= 17; ++i) xlum_push_pop_active(ctx, 1, i, i, i % 16, 1 + i % 8);
    for (int i = 1; i <= 17; ++i) {
        xlum_push_pop_active(ctx, -1, 0, 0, 0, 0);
        int want = i <= 14 ? 17 - i : 2;
        EXPECT_EQ(ctx->active_layer, want) << i;
    }
    xlum_push_pop_active(ctx, 1, 255, 0, 0, 9);
    EXPECT_EQ(std::pair(ctx->active_layer, ctx->active_color), std::pair(2, 0));
    EXPECT_EQ(xlum_set_active(ctx, 300, 0, 16, 9), 0);
    EXPECT_EQ(ctx->active_layer, 2);
    xlum_set_active(ctx, 0, 32000, 15, 8);
    EXPECT_EQ(std::pair(ctx->active_layer, ctx->active_group), std::pair(0, 32000));
}

}  // namespace
}  // namespace kz::drawing2d
