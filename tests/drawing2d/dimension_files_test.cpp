// Dimension files: the value's text, a drawing's dimensions split out into the ".DIM" file and rebuilt from it
// (a second split gives the same file), and the file's brackets read only where they open or close a level.
#include <gtest/gtest.h>

#include "drawing2d/dimension_files.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

// The rows from 2.5 on sit at and beside each rounding type's step: half up, 0.001 short of a unit, just above a
// unit, and halves.
TEST(DimensionFiles, ValuesAsText) {
    const struct {
        double value;
        int mode, decimals, unit, thousands, delzero;
        const char* text;
    } cases[] = {{1234.5, 1, 1, 0, 1, 0, "1,234.5"},    {1234.5, 1, 0, 0, 1, 0, "1,235"},
                 {1234.5, 7, 0, 0, 1, 0, "1,234.5"},    {1234.2, 7, 0, 0, 0, 0, "1234"},
                 {1234.5, 1, 2, 2, 0, 0, "1.23"},       {1.5, 1, 3, 0, 0, 1, "1.5"},
                 {1.5, 1, 3, 0, 0, 0, "1.500"},         {-2.25, 3, 1, 0, 0, 0, "-2.2"},
                 {1234567, 0, 0, 0, 1, 0, "1,234,567"}, {2.5, 1, 0, 0, 0, 0, "3"},
                 {2.4999999, 1, 0, 0, 0, 0, "2"},       {-2.5, 1, 0, 0, 0, 0, "-3"},
                 {2.999, 3, 0, 0, 0, 0, "3"},           {2.998, 3, 0, 0, 0, 0, "2"},
                 {2.00000001, 5, 0, 0, 0, 0, "3"},      {2, 5, 0, 0, 0, 0, "2"},
                 {1234.25, 7, 0, 0, 0, 0, "1234.5"},    {1234.24, 7, 0, 0, 0, 0, "1234"},
                 {1234.75, 7, 0, 0, 0, 0, "1235"},      {1234.74, 7, 0, 0, 0, 0, "1234.5"}};
    for (const auto& c : cases) {
        char* text = xlum_new_marume(nullptr, c.value, c.mode, c.decimals, c.unit, c.thousands, 0, c.delzero);
        EXPECT_STREQ(text, c.text) << c.value << " " << c.mode << " " << c.decimals;
        release_block(text);
    }
}

// A dimension of 1234.5 real units with its text, two extension lines and two arrows, and one plain line.
void add_dimension(drawing_context* ctx) {
    const int32_t line = xlum_set_line(ctx, nullptr, 0, -1, 0, 0, 1234500, 0, 9, 3, 2, 1);
    xlum_set_line(ctx, nullptr, 0, -1, 0, 0, 0, 5000, 9, 3, 2, 1);
    xlum_set_line(ctx, nullptr, 0, -1, 1234500, 1, 1234500, 5000, 9, 3, 2, 1);
    xlum_set_arc(ctx, nullptr, 0, -1, 0, 0, 200, 0, 360, 9, 3, 2, 1);
    xlum_set_arc(ctx, nullptr, 0, -1, 1234500, 0, 200, 0, 360, 9, 3, 2, 1);
    xlum_set_line(ctx, nullptr, 0, -1, 7, 7, 900, 900, 4, 1, 1, 1);
    const int32_t text =
        xlum_set_text(ctx, nullptr, 0, -1, "(0)", 5, 600000, -2000, 3000, 4000, 500, 0, 0, 1, 9, 3, 2, 1);
    const int32_t rebuilt = xlum_set_dimstring(ctx, nullptr, 0, 1, line, text, 1, 1, 1, 0, 0, -1);
    char written[64];
    xlum_getchar(ctx, rebuilt, written, sizeof written);
    EXPECT_STREQ(written, "1,234.5");
}

int count_of(drawing_context* ctx, int type) {
    int n = 0;
    for (int32_t r = 0; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r)
        n += row_code(ctx, r) > 0 && row_type(ctx, r) == type;
    return n;
}

TEST(DimensionFiles, SplitOutAndRebuiltAndSplitAgain) {
    Drawing d;
    drawing_context* ctx = d.peek();
    add_dimension(ctx);
    const std::vector<double> before = test::record_cells(ctx);
    const std::string path = test::fresh_path("plan.MPW"), dim = test::fresh_path("plan.DIM");
    ASSERT_EQ(xlum_dimconv_write(ctx, path.c_str(), 0), 1);
    EXPECT_EQ(test::record_cells(ctx), before);  // the drawing is left as it was
    const std::string first = test::file_bytes(dim);
    EXPECT_NE(first.find("DIM{\r\n\tLINE_ATTRIBUTE{\r\n\t\tlayer=9\r\n"), std::string::npos);
    EXPECT_NE(first.find("\t\tdimflag=32\r\n"), std::string::npos);  // both extension lines found
    EXPECT_NE(first.find("\t\ttext=\"1,234.5\"\r\n"), std::string::npos);
    EXPECT_NE(first.find("\t\tvalue=1234.500000\r\n"), std::string::npos);
    {
        Drawing rest;  // the MPW part holds the plain line alone
        ASSERT_EQ(xlum_read(rest.peek(), path.c_str(), 0), 1);
        EXPECT_EQ(count_of(rest.peek(), kTypeLine), 1);
        EXPECT_EQ(count_of(rest.peek(), kTypeArc), 0);
    }
    Drawing back;
    ASSERT_EQ(xlum_dimconv_read(back.peek(), path.c_str(), 0), 1);
    EXPECT_EQ(count_of(back.peek(), kTypeLine), 4);
    EXPECT_EQ(count_of(back.peek(), kTypeArc), 2);
    EXPECT_EQ(count_of(back.peek(), kTypeText), 1);
    ASSERT_EQ(xlum_dimconv_write(back.peek(), path.c_str(), 0), 1);
    EXPECT_EQ(test::file_bytes(dim), first);
}

TEST(DimensionFiles, BracketsInValuesAndBlockNames) {
    const std::string path = test::fresh_path("ref.MPW"), dim = test::fresh_path("ref.DIM");
    {
        Drawing empty;
        ASSERT_EQ(xlum_write(empty.peek(), path.c_str(), 0, 0), 1);
    }
    test::put_file(
        dim,
        "}\n"
        "dim (\n\tSUNPOU[\n\t\txdim1=0\n\t\txdim2=100\n\t]\n\tLINE_ATTRIBUTE{\n\t\tdimflag=24\n\t\tlayer=3\n\t}\n"
        "\tTEXT_ATTRIBUTE{\n\t\ttext=\"[100]\x81\x5b(a)__^^__rest\"\n\t\ttakasa=2\n\t\thaba=2\n\t\tlayer=3\n\t}\n)\n"
        "DIM{\n\tLINE_ATTRIBUTE{\n\t\tdimflag=24\n\t}\n\tTEXT_ATTRIBUTE{\n\t\ttext=\"2\"\n\t\ttakasa=2\n\t}\n}\n");
    Drawing d;
    drawing_context* ctx = d.peek();
    ASSERT_EQ(xlum_dimconv_read(ctx, path.c_str(), 0), 1);
    EXPECT_EQ(count_of(ctx, kTypeLine), 2);  // two dimension lines, no extension lines in the first
    char text[64] = {};
    for (int32_t r = 0; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r)
        if (row_code(ctx, r) > 0 && row_type(ctx, r) == kTypeKanjiText) xlum_getchar(ctx, r, text, sizeof text);
    EXPECT_STREQ(text, "\x81\x6d\x82\x50\x82\x4f\x82\x4f\x81\x6e\x81\x5b\x81\x69\x82\x81\x81\x6a");
}

// The text's link attributes from "round", "nodec" and "marume_type": the type is the low two bits of a positive
// "marume_type" and none for a negative one, also where twice it leaves the int range.
TEST(DimensionFiles, RoundingTypeOfAnyIntInTheFile) {
    const std::string path = test::fresh_path("round.MPW"), dim = test::fresh_path("round.DIM");
    {
        Drawing empty;
        ASSERT_EQ(xlum_write(empty.peek(), path.c_str(), 0, 0), 1);
    }
    const struct {
        int64_t type, nodec, round;
        int32_t on, want;
    } cases[] = {{2, 1, 0, 1, 2},           {5, 1, 0, 1, 1},           {2147483647, 1, 0, 1, 3},
                 {1073741825, 1, 0, 1, 1},  {-1073741825, 1, 0, 1, 0}, {-2147483648, -2147483648, 0, 1, 0},
                 {-2147483648, 1, 1, 1, 3}, {7, 16, 0, 0, 0}};
    for (const auto& c : cases) {
        test::put_file(dim,
                       "DIM{\n\tSUNPOU{\n\t\txdim2=100\n\t}\n\tTEXT_ATTRIBUTE{\n\t\ttext=\"1\"\n\t\ttakasa=2\n"
                       "\t\tmarume_type=" +
                           std::to_string(c.type) + "\n\t\tnodec=" + std::to_string(c.nodec) +
                           "\n\t\tround=" + std::to_string(c.round) + "\n\t}\n}\n");
        Drawing d;
        drawing_context* ctx = d.peek();
        ASSERT_EQ(xlum_dimconv_read(ctx, path.c_str(), 0), 1);
        int32_t on = -1, type = -1;
        for (int32_t r = 0; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r)
            if (row_code(ctx, r) > 0 && row_type(ctx, r) == kTypeText)
                xlum_get_link_attribute(ctx, r, nullptr, &on, nullptr, nullptr, &type, nullptr, nullptr);
        EXPECT_EQ(on, c.on) << c.type;
        EXPECT_EQ(type, c.want) << c.type;
    }
}

}  // namespace
}  // namespace kz::drawing2d
