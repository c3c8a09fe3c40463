// The repair of a drawing: planted faults are counted and fixed, damaged records are cleared without taking the
// end code with them, and links are paired.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/repair.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using Repair = test::DrawingTest;

void set_cell(drawing_context* ctx, const char* column, int32_t row, int64_t value) {
    xlum_set_val(ctx, column, row, static_cast<double>(static_cast<int32_t>(value)));
}

int32_t link_of(drawing_context* ctx, int32_t row) {
    return static_cast<int32_t>(xlum_get_val(ctx, "c3", row)) >> 16 & 0xFFFF;
}

TEST_F(Repair, PlantedFaultsAreCountedAndFixed) {
    int32_t first = xlum_line_set(ctx, 0, 0, 0, 5, 5);
    int32_t second = xlum_line_set(ctx, 0, 1, 1, 6, 6);
    int32_t lonely = xlum_line_set(ctx, 0, 2, 2, 7, 7);
    int32_t text = xlum_moji_set(ctx, 0, "label", 0, 0, 0, 1, 1, 0, 0, 0);
    int32_t orphan = xlum_moji_set(ctx, 0, "orphan", 0, 0, 0, 1, 1, 0, 0, 0);
    for (auto [row, link] : {std::pair{first, 7}, {second, 7}, {lonely, 9}, {text, 7}, {orphan, 11}})
        xlum_set_link_attribute(ctx, row, link, 0, 0, 0, 0, 0, 0);
    int32_t arc = xlum_en_set(ctx, 0, 0, 0, 10, 0, 90);
    set_cell(ctx, "c6", arc + 1, -90000000);
    set_cell(ctx, "c7", arc + 1, 450000000);
    int32_t odd = xlum_line_set(ctx, 0, 0, 0, 1, 1);
    set_cell(ctx, "c3", odd, (20 << 8) | 9);  // colour 20, style 9
    int32_t unknown = xlum_line_set(ctx, 0, 0, 0, 1, 1);
    set_cell(ctx, "c1", unknown, (200 << 8) | 1);
    set_cell(ctx, "c1", first, 0x55550000 | (2 << 8) | 1);  // junk in the high half of a head row
    int32_t broken = xlum_moji_set(ctx, 0, "thirteen char", 0, 0, 0, 1, 1, 0, 0, 0);  // 13 characters, 5 rows
    set_cell(ctx, "c1", broken + 3, 0);

    // Two links repaired on lines (the duplicate, the lonely one), one on a text, the unknown type, the damaged
    // text's head and two continuation rows, and its last row, met where a head row belongs.
    EXPECT_EQ(xlum_gbaketu(ctx, 0), 8);
    EXPECT_EQ((std::array{link_of(ctx, first), link_of(ctx, second), link_of(ctx, lonely), link_of(ctx, text),
                          link_of(ctx, orphan)}),
              (std::array{7, 0, 0, 7, 0}));
    EXPECT_EQ(xlum_get_val(ctx, "c1", first), 1 | (2 << 8));
    EXPECT_EQ(std::tuple(xlum_get_val(ctx, "c6", arc + 1), xlum_get_val(ctx, "c7", arc + 1)),
              std::tuple(270000000, 90000000));
    EXPECT_EQ(std::tuple(row_color(ctx, odd), row_style(ctx, odd)), std::tuple(5, 1));
    EXPECT_EQ(row_code(ctx, unknown), 0);
    for (int32_t r = broken; r < broken + 5; ++r) EXPECT_EQ(row_code(ctx, r), 0) << r;
    EXPECT_EQ(xlum_gbaketu(ctx, 0), 0);
}

TEST_F(Repair, ZeroLengthLinesAndRecordsCutOffAtTheEnd) {
    int32_t dot = xlum_line_set(ctx, 0, 3, 3, 3, 3);
    EXPECT_EQ(xlum_gbaketu(ctx, 0), 0);
    xlum_set_val(ctx, "baketu_mode", 0, 1);
    EXPECT_EQ(xlum_gbaketu(ctx, 0), 1);
    EXPECT_EQ(row_code(ctx, dot), 0);
    // An arc head right before the end code, and a multi-row record claiming more rows than there are.
    xlum_set_val(ctx, "c1c", 2, -1);
    set_cell(ctx, "c1", 1, 3 << 8);
    EXPECT_EQ(xlum_gbaketu(ctx, 0), 1);
    EXPECT_EQ(find_data_end(ctx, 0), 2);
    set_cell(ctx, "c1", 1, 15 << 8);
    set_cell(ctx, "c1", 2, 0xFE00);
    set_cell(ctx, "c2", 2, 1000000);
    set_cell(ctx, "c1c", 3, -1);
    EXPECT_EQ(xlum_gbaketu(ctx, 0), 2);
    EXPECT_EQ(find_data_end(ctx, 0), 3);
}

}  // namespace
}  // namespace kz::drawing2d
