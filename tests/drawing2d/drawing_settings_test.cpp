// Named variables (views of the record cells, settings, bounds), layer switches and names, free numbers, the named
// commands with the layer-display stack, the font names of slots, and the copy of settings between drawings.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using NamedVariables = test::DrawingTest;
using Layers = test::DrawingTest;
using Commands = test::DrawingTest;
using FontNames = test::DrawingTest;

TEST_F(NamedVariables, ViewsOfTheCellsAndSettingsByName) {
    for (int i = 0; i < 8; ++i) xlum_line_set(ctx, 0, 10 * i, 0, 1, 1);
    const int32_t cell = static_cast<int32_t>(0xABCD0000u | (3 << 8) | 4);
    EXPECT_EQ(xlum_set_val(ctx, "c1", 5, cell), 1);
    double in = 7.9, out[3] = {-9, -9, -9};
    EXPECT_EQ(xlum_set_array(ctx, "c1L", &in, 5, 5), 1);
    EXPECT_EQ(xlum_get_val(ctx, "c1", 5), cell + 3);  // layer 7, type and high half kept
    EXPECT_EQ(xlum_set_val(ctx, "c1c", 3, -1.0), 1);
    EXPECT_EQ(ctx->c1[3] & 0xFFFF, 0xFFFF);
    EXPECT_EQ(xlum_get_array(ctx, "C4", out, 1, 2), 1);
    EXPECT_EQ((std::array{out[0], out[1], out[2]}), (std::array{10.0, 20.0, -9.0}));
    EXPECT_EQ(xlum_get_val(ctx, "c1h", 1), 2);
    EXPECT_EQ(xlum_get_val(ctx, "line_style_data2", 0), 4.0);
    EXPECT_EQ(xlum_get_val(ctx, "line_style_data9", 0), 0.0);
    EXPECT_EQ(select_variable(ctx, "line_style_data9"), 0);
    EXPECT_EQ(xlum_get_val(ctx, "back_color", 0), 0.0);
    EXPECT_EQ(xlum_set_val(ctx, "real_draw", 0, 1), 1);
    EXPECT_EQ(xlum_get_val(ctx, "line_style_print_switch", 0), 1);  // one field under two names
    EXPECT_EQ(xlum_get_array(ctx, "no_such_name", out, 0, 0), 0);
    // Indexes are held inside the field: nothing outside is read or written.
    double many[300];
    for (double& v : many) v = 3;
    EXPECT_EQ(xlum_set_array(ctx, "pen_width", many, -5, 294), 1);
    EXPECT_EQ(xlum_get_val(ctx, "pen_width", 15), 3);
    EXPECT_EQ(xlum_get_val(ctx, "pen_width", 16), 0.0);
    EXPECT_EQ(xlum_get_val(ctx, "pen_color", 15), 0x808080);  // the field before it untouched
    EXPECT_EQ(xlum_init_array(ctx, "disp_layer", 0, 250, 1000000000), 1);
    EXPECT_EQ(std::pair(xlum_get_val(ctx, "disp_layer", 249), xlum_get_val(ctx, "disp_layer", 255)),
              std::pair(1.0, 0.0));
    EXPECT_EQ(xlum_set_val(ctx, "max", -1, 5), 1);
    EXPECT_EQ(ctx->max, 3000);
}

TEST_F(Layers, SwitchesNamesAndFreeNumbers) {
    EXPECT_EQ(xlum_set_layer(ctx, 10, 5, 1), 0);
    EXPECT_EQ(xlum_set_layer(ctx, 3, 4, -1), 1);
    EXPECT_EQ(xlum_get_val(ctx, "disp_layer", 3), 0);
    EXPECT_EQ(xlum_set_layer_name(ctx, 256, "x"), 0);
    for (int group : {6, 7}) {
        xlum_set_active(ctx, group, group, 1, 1);
        xlum_line_set(ctx, 0, 0, 0, 1, 1);
    }
    EXPECT_EQ(xlum_get_aki(ctx, "group", 5), 8);
    EXPECT_EQ(xlum_get_aki(ctx, "Segment", -3), 2);
    EXPECT_EQ(xlum_get_aki(ctx, "layer", 6), 8);
    EXPECT_EQ(xlum_get_aki(ctx, "layer", -7), 5);
    EXPECT_EQ(xlum_get_aki(ctx, "link", 0), 1);
    EXPECT_EQ(xlum_get_aki(ctx, "colour", 0), -1);
    EXPECT_EQ(xlum_make_layer_exist(ctx, 0), 1);
    EXPECT_EQ(std::pair(xlum_get_val(ctx, "layer_exist", 7), xlum_get_val(ctx, "layer_exist", 8)), std::pair(1.0, 0.0));
}

TEST_F(Commands, LayerStackAndTheNamedCommands) {
    xlum_set_layer(ctx, 2, 2, 0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(xlum_function(ctx, "PushLayer", 0, nullptr), i);
    EXPECT_EQ(xlum_function(ctx, "pushlayer", 0, nullptr), 9);  // full: nothing saved
    EXPECT_EQ(xlum_function(ctx, "AllLayerOn", 0, nullptr), 0);
    EXPECT_EQ(xlum_get_val(ctx, "disp_layer", 2), 1);
    EXPECT_EQ(xlum_function(ctx, "PopLayer", 0, nullptr), 8);
    EXPECT_EQ(xlum_get_val(ctx, "disp_layer", 2), 0);
    for (int i = 0; i < 9; ++i) xlum_function(ctx, "PopLayer", 0, nullptr);
    EXPECT_EQ(xlum_function(ctx, "PopLayer", 0, nullptr), -1);
    EXPECT_EQ(xlum_function(ctx, "AllLockLayer", 1.7, nullptr), 0);
    EXPECT_EQ(xlum_get_val(ctx, "lock_layer", 200), 1);
    EXPECT_EQ(xlum_function(ctx, "AllLayerOff", 0, nullptr), 0);
    EXPECT_EQ(xlum_get_val(ctx, "disp_layer", 0), 0);
    EXPECT_EQ(xlum_function(ctx, "SetFileName", 0, "C:\\data\\plans\\house.mpw"), 0);
    EXPECT_STREQ(ctx->folder_name, "plans\\");
    char name[512];
    xlum_get_last_file_name(ctx, name);
    EXPECT_STREQ(name, "C:\\data\\plans\\house.mpw");
    xlum_set_open_file(ctx, nullptr, nullptr, "\\", nullptr, nullptr);
    EXPECT_STREQ(ctx->folder_name, "C:");
    EXPECT_EQ(xlum_function(ctx, "Unknown", 0, nullptr), -1.0);
}

TEST_F(FontNames, SlotsByKeyAndByRecord) {
    char name[32];
    const char* longest = "0123456789012345678901234567890";  // 31 characters
    EXPECT_EQ(xlum_set_string(ctx, "TEXT", 3, longest), 1);
    EXPECT_EQ(xlum_get_string(ctx, "kanji", 3, name), 1);
    EXPECT_STREQ(name, longest);
    EXPECT_EQ(xlum_set_string(ctx, "ank", 16, "x"), 0);
    EXPECT_EQ(xlum_set_string(ctx, "font", 1, "x"), 0);
    // A double-byte character is never cut in half.
    std::string wide = std::string(30, 'a') + "\x82\xa0";
    xlum_set_text_font(ctx, 4, wide.c_str());
    xlum_get_text_font(ctx, 4, name);
    EXPECT_EQ(std::string(name), std::string(30, 'a'));
    xlum_set_text_font(ctx, 5, "Mincho.fnt");
    xlum_set_active(ctx, 1, 1, 5, 1);
    int32_t text = xlum_moji_set(ctx, 0, "abc", 0, 0, 0, 1, 1, 0, 0, 0);
    EXPECT_EQ(xlum_get_font(ctx, text, name), 1);
    EXPECT_STREQ(name, "Mincho.fnt");
    EXPECT_EQ(xlum_get_font(ctx, xlum_line_set(ctx, 0, 0, 0, 1, 1), name), 0);
}

TEST(SettingsCopy, EverythingButTheRecordsAndActiveAttributes) {
    test::Drawing from, to;
    test::fill_sample_drawing(from.peek(), 3);
    xlum_set_active(from.peek(), 9, 9, 9, 9);
    int32_t line = xlum_line_set(to.peek(), 0, 1, 2, 3, 4);
    std::vector<double> records = test::record_cells(to.peek());
    EXPECT_EQ(xlum_equ(to.peek(), from.peek()), 1);
    EXPECT_EQ(test::record_cells(to.peek()), records);
    EXPECT_EQ(xlum_get_val(to.peek(), "active_layer", 0), 1);
    EXPECT_EQ(xlum_get_val(to.peek(), "pen_width_mili", 2), 0.35);
    EXPECT_EQ(xlum_get_val(to.peek(), "plot_scale", 0), 0.01);
    EXPECT_STREQ(layer_group_of(to.peek(), 12), "stairs");
    EXPECT_NE(layer_name_of(to.peek(), 12), layer_name_of(from.peek(), 12));  // a copy of its own
    xlum_set_layer_name(from.peek(), 12, "changed");
    EXPECT_STREQ(layer_name_of(to.peek(), 12), "\x8a\x4b\x92\x69");
    EXPECT_EQ(row_type(to.peek(), line), kTypeLine);
}

}  // namespace
}  // namespace kz::drawing2d
