// Attribute records read back into settings (each key's rules), merged files losing theirs unapplied, and the
// field splitting that reads them; layer-name files written with CR LF and read with either line end.
#include <gtest/gtest.h>

#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/attribute_records.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/layer_name_file.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_fields.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

// A drawing holding one line and the given record texts, read back as a file would be.
void read_records(drawing_context* ctx, std::initializer_list<const char*> texts, int apply = 1) {
    xlum_line_set(ctx, 0, 0, 0, 10, 10);
    for (const char* text : texts) put_attribute_text(ctx, 0, 200, 1, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, text, 0);
    read_attribute_records(ctx, 0, apply);
}

TEST(AttributeRecords, EachKeyIsAppliedByItsRules) {
    struct Case {
        const char* record;
        const char* variable;
        int index;
        double value;
    } cases[] = {
        {"&RUV.LayCol& 3 255 0 0", "paint_layer_color", 3, 0x0000FF},
        {"&ruv.laycol& 3 1 2 3", "paint_layer_color", 3, 1 + 2 * 256 + 3 * 65536},  // keys ignore case
        {"&RUV.LayCol& 3 -2", "paint_layer_color", 3, -2},
        {"<~PenColor= 0 -1", "pen_color", 0, 0},
        {"<~PenColor= 0 -1", "pen_color", 1, 0xFF0000},  // a negative colour takes the default
        {"<~PenColor= 0 -1", "pen_color", 2, 0x0000FF},  // values not given stay
        {"<~LineStyle 4 20 -1 1", "line_style_data4", 3, -1},
        {"<~LineStyle 4 20 -1 1", "line_style_data4", 4, 0},
        {"<~LineStyle 6 9 -2 3", "line_style_data6", 7, -2},
        {"<~LineWidth= 3 -5", "pen_width", 1, -1},
        {"<~LineWidthWhite= 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 1", "pen_width_dot_white", 15, 16},
        {"<~ParamI= 2 3", "pen_white_width_sw", 0, 3},
        {"<~LineWidthMili=  0.25   0.50", "pen_width_mili", 1, 0.5},
        {"<~LayerColor=-1,7,22,4", "layer_color", 1, 7},
        {"<~LayerColor=-1,7,22,4", "layer_color", 2, -1},  // 22 is no colour
        {"<~LayerStyle=9,3", "layer_style", 1, 3},
        {"<~KanjiFont= 4 65 66 0 1 7.6", "text_res", 4, 8},
        {"&RUV.TextFont& 99 65 0 3 50", "ank_res", 0, 50},  // a slot out of range means slot 0; switch 3 is 0
    };
    for (const Case& c : cases) {
        Drawing d;
        drawing_context* ctx = d.peek();
        read_records(ctx, {c.record});
        EXPECT_EQ(xlum_get_val(ctx, c.variable, c.index), c.value) << c.record;
        EXPECT_EQ(find_data_end(ctx, 0), 1) << c.record;  // the record is gone and the rows packed
        EXPECT_EQ(ctx->attribute_records_found, 1);
    }
}

TEST(AttributeRecords, NamesAndFontsTravelAsCodes) {
    Drawing d, e;
    drawing_context* ctx = d.peek();
    const char kanji[] = "\x8a\x4b";  // 階
    xlum_set_layer_name(ctx, 7, kanji);
    xlum_set_layer_group(ctx, 255, "top");
    xlum_set_string(ctx, "ank", 3, "Roman.bin");
    xlum_set_val(ctx, "text_back", 3, 1);
    std::string path = test::fresh_path("names.mpw");
    ASSERT_EQ(xlum_write(ctx, path.c_str(), 0, 0), 1);
    ASSERT_EQ(xlum_read(e.peek(), path.c_str(), 0), 1);
    EXPECT_STREQ(layer_name_of(e.peek(), 7), kanji);
    EXPECT_STREQ(layer_group_of(e.peek(), 255), "top");
    char font[32];
    xlum_get_string(e.peek(), "ank", 3, font);
    EXPECT_STREQ(font, "Roman.bin");
    EXPECT_EQ(xlum_get_val(e.peek(), "text_back", 3), 1);
    // The name record as the maker's programs write it: the layer, then each byte, in hexadecimal.
    Drawing f;
    read_records(f.peek(), {"<~LayerName=078A4B"});
    EXPECT_STREQ(layer_name_of(f.peek(), 7), kanji);
}

TEST(AttributeRecords, MergedRecordsAreRemovedWithoutBeingApplied) {
    Drawing d;
    drawing_context* ctx = d.peek();
    read_records(ctx, {"<~PenColor= 1 2 3", "&RUV.LineWidth& anything", "not a key"}, -1);
    EXPECT_EQ(xlum_get_val(ctx, "pen_color", 0), 0xFFFFFF);
    int32_t row = find_data_end(ctx, 0);
    EXPECT_EQ(row, 5);  // the line and the text that is no record (4 rows) stay
    char text[64];
    xlum_getchar(ctx, 1, text);
    EXPECT_STREQ(text, "not a key");
}

TEST(TextFields, FieldsBlanksQuotesAndCommas) {
    char line[64] = "a, \"b c\",,d", field[64];
    const char* want[] = {"a", "b c", "", "d"};
    for (const char* w : want) {
        take_field(line, field);
        EXPECT_STREQ(field, w);
    }
    char wide[] = "\x81\x40\x82\x60\x81\x43\x82\x61";  // full-width space, Ａ, comma, Ｂ
    take_field_wide(wide, field);
    EXPECT_STREQ(field, "\x82\x60");
    EXPECT_STREQ(wide, "\x82\x61");
    char trimmed[] = " \"x\" \n";
    trim_field(trimmed);
    EXPECT_STREQ(trimmed, "x");
    EXPECT_EQ(hex_field_value("7fZ", 0, 3), 0x7F0);
    EXPECT_EQ(hex_field_value("A", 0, 2), 0xA0);  // the end counts as 0
    EXPECT_EQ(byte_char_class(0x82), 2);
    EXPECT_EQ(byte_char_class('a'), 1);
    EXPECT_EQ(byte_char_class(0x7F), 0);
}

TEST(LayerNameFile, WrittenWithCrLfAndReadWithEitherLineEnd) {
    Drawing d;
    drawing_context* ctx = d.peek();
    std::string path = test::fresh_path("names.LAY");
    std::string dir = path.substr(0, path.rfind('\\') + 1);
    xlum_set_layer_name(ctx, 0, "base");
    xlum_set_layer_name(ctx, 12, "a\"b");
    ASSERT_EQ(write_layer_file(ctx, "", dir.c_str(), "drawing2d_names"), 2);
    EXPECT_EQ(test::file_bytes(path), "[Layer]\r\n0=\"base\"\r\n12=\"a\"b\"\r\n");

    test::put_file(path,
                   "  [layer]\n7=\"seven\"\n12=\"a\"b\"\n300=\"no\"\n256=\"no\"\n255=\"top\"\nx=\"no\"\n"
                   "[Other]\n8=\"not here\"\n[LAYER]\r\n9=nine\r\n");
    xlum_set_layer_name(ctx, 1, "kept");
    ASSERT_EQ(read_layer_file(ctx, "", dir.c_str(), "drawing2d_NAMES", 0), 1);  // found whatever the case
    EXPECT_STREQ(layer_name_of(ctx, 7), "seven");
    EXPECT_STREQ(layer_name_of(ctx, 12), "a");  // the quote inside ends the name
    EXPECT_STREQ(layer_name_of(ctx, 1), "kept");
    EXPECT_STREQ(layer_name_of(ctx, 8), "");
    EXPECT_STREQ(layer_name_of(ctx, 9), "nine");
    EXPECT_STREQ(layer_name_of(ctx, 255), "top");
    ASSERT_EQ(read_layer_file(ctx, "", dir.c_str(), "drawing2d_names", 1), 1);
    EXPECT_STREQ(layer_name_of(ctx, 1), "");
    EXPECT_EQ(read_layer_file(ctx, "", dir.c_str(), "drawing2d_missing", 1), 0);
    EXPECT_STREQ(layer_name_of(ctx, 7), "seven");

    reset_layer_tables(ctx);
    EXPECT_EQ(write_layer_file(ctx, "", dir.c_str(), "drawing2d_names"), 0);
    EXPECT_TRUE(test::file_bytes(path).empty());  // no names, no file
}

}  // namespace
}  // namespace kz::drawing2d
