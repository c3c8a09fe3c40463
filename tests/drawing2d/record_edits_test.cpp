// Record edits, each checked before and after: text changes by placement mode, moves and exchanges of records of
// different lengths, a shuffled chain sorted back, inside tests against a closed outline, link renumbering and
// delimiter clearing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <tuple>

#include "drawing2d/active_attributes.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_edits.h"
#include "drawing2d/row_store.h"
#include "drawing2d/transforms.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using RecordEdits = test::DrawingTest;
std::string text_at(drawing_context* ctx, int32_t row) {
    char buffer[64];
    xlum_getchar(ctx, row, buffer, sizeof buffer);
    return buffer;
}
std::vector<int32_t> types(drawing_context* ctx) {
    std::vector<int32_t> out;
    for (int32_t row : test::head_rows(ctx, 0)) out.push_back(row_type(ctx, row));
    return out;
}
uint32_t link_of(drawing_context* ctx, int32_t row) { return static_cast<uint32_t>(ctx->c3[row]) >> 16; }

// A line (row 0), a text "abcdefg" of 4 rows linked with number 7 (rows 1..4) and a line after it (row 5).
struct TextCase {
    const char* what;
    const char* string;
    int32_t mode;
    int32_t head;        // where the new text starts (-1: nowhere)
    int32_t line_after;  // where the second line ends up
};
const TextCase kTextCases[] = {
    {"mode 0, longer: in place, the next line pushed down", "abcdefghijklmnopq", 0, 1, 6},
    {"mode 0, shorter: in place, empty rows behind", "ab", 0, 1, 5},
    {"mode 2, shorter: in place", "ab", 2, 1, 5},
    {"mode 2, longer: at the first room after it", "abcdefghijklmnopq", 2, 6, 5},
    {"mode 1: at the first room after it", "xyz", 1, 6, 5},
    {"mode 3: at the data end", "xyz", 3, 6, 5},
    {"an empty string deletes the text", "", 0, -1, 5},
    {"an unknown mode changes nothing", "xyz", 7, -1, 5},
};

TEST_F(RecordEdits, TextChangeByPlacement) {
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(c.what);
        fresh_drawing();
        xlum_set_active(ctx, 3, 12, 4, 2);
        xlum_line_set(ctx, 0, 0, 0, 10, 10);
        int32_t text = xlum_moji_set(ctx, 0, "abcdefg", 5, 6, 1, 10, 20, 2, 30, 0);
        xlum_line_set(ctx, 0, 1, 2, 3, 4);
        xlum_set_link_attribute(ctx, text, 7, 1, 0, 1, 2, 3, 9);
        int32_t param_c7 = ctx->c7[text + 1];
        xlum_set_active(ctx, 1, 1, 1, 1);
        int32_t head = xlum_moji_change(ctx, text, c.string, c.mode);
        EXPECT_EQ(head, c.head);
        EXPECT_EQ(std::tuple(row_type(ctx, c.line_after), ctx->c4[c.line_after]), std::tuple(kTypeLine, 1));
        EXPECT_EQ(ctx->active_layer, 1);  // the record's attributes were only borrowed
        if (head < 0) {
            EXPECT_EQ(text_at(ctx, text), *c.string ? "abcdefg" : "");
            continue;
        }
        EXPECT_EQ(text_at(ctx, head), c.string);
        EXPECT_EQ(std::tuple(link_of(ctx, head), ctx->c7[head + 1]), std::tuple(7u, param_c7));
        EXPECT_EQ(std::tuple(row_layer(ctx, head), row_group(ctx, head)), std::tuple(3, 12));
        EXPECT_EQ(types(ctx), (std::vector<int32_t>{2, head == 1 ? 5 : 2, head == 1 ? 2 : 5}));
    }
    fresh_drawing();
    EXPECT_EQ(xlum_moji_change(ctx, xlum_line_set(ctx, 0, 0, 0, 1, 1), "x", 0), -1);
}

TEST_F(RecordEdits, MovesAndExchangesKeepRecordsWhole) {
    int32_t line = xlum_line_set(ctx, 0, 0, 0, 1, 1);
    int32_t text = xlum_moji_set(ctx, 0, "abcdefghij", 0, 0, 0, 10, 10, 1, 0, 0);  // 4 rows
    int32_t arc = xlum_en_set(ctx, 0, 5, 5, 5, 0, 90);
    EXPECT_EQ(xlum_move_primitive(ctx, arc, text + 2), text);  // onto a continuation row: before the record
    EXPECT_EQ(types(ctx), (std::vector<int32_t>{2, 3, 5}));
    EXPECT_EQ(text_at(ctx, text + 2), "abcdefghij");
    int32_t end = find_data_end(ctx, 0);
    EXPECT_EQ(xlum_move_primitive(ctx, line, -1), end);
    EXPECT_EQ(types(ctx), (std::vector<int32_t>{3, 5, 2}));
    xlum_gpack(ctx, 0, -1, -1);
    ASSERT_EQ(swap_records(ctx, 0, 6), 1);  // an arc of 2 rows and a line of 1, the text between them
    EXPECT_EQ(types(ctx), (std::vector<int32_t>{2, 5, 3}));
    EXPECT_EQ(text_at(ctx, 1), "abcdefghij");
    EXPECT_EQ(ctx->c6[5], 5);  // the arc's radius, whole behind the text
}

TEST_F(RecordEdits, ShuffledChainSortsBackAndClosesAnOutline) {
    const int kSides = 12;
    std::vector<std::pair<int32_t, int32_t>> corners;
    for (int i = 0; i < kSides; ++i)
        corners.emplace_back(1000 + int32_t(800 * std::cos(i * 2 * M_PI / kSides)),
                             1000 - int32_t(800 * std::sin(i * 2 * M_PI / kSides)));
    std::vector<int> order(kSides);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin() + 1, order.end(), std::mt19937(3));
    for (int i : order) {
        auto [ax, ay] = corners[i];
        auto [bx, by] = corners[(i + 1) % kSides];
        xlum_set_active(ctx, 2, 40, 1, 1);
        if (i % 3 == 1) std::swap(ax, bx), std::swap(ay, by);
        xlum_line_set(ctx, 0, ax, ay, bx, by);
        xlum_set_active(ctx, 2, 41, 1, 1);  // another group's line and a text in between
        xlum_line_set(ctx, 0, ax, ay, 5, 5);
        xlum_moji_set(ctx, 0, "n", ax, ay, 0, 10, 10, 1, 0, 0);
    }
    xlum_set_active(ctx, 2, 40, 1, 1);  // a tail from the start point, left out once the chain has closed
    xlum_line_set(ctx, 0, corners[0].first, corners[0].second, 1000, 1000);
    int32_t first = -1, end = -1;
    ASSERT_EQ(xlum_sort_polyline(ctx, 0, -1, 40, &first, &end), kSides);
    EXPECT_EQ(end, first + kSides);
    for (int i = 0; i < kSides; ++i) {
        int32_t row = first + i;
        EXPECT_EQ(row_group(ctx, row), 40);
        EXPECT_EQ(std::make_pair(ctx->c4[row], ctx->c5[row]), corners[i]);
        EXPECT_EQ(std::make_pair(ctx->c6[row], ctx->c7[row]), corners[(i + 1) % kSides]);
    }
    EXPECT_EQ(test::head_rows(ctx, 0).size(), size_t(3 * kSides + 1));
    EXPECT_EQ(xlum_inside_group(ctx, 1000, 1000, 40, 0), 1);
    EXPECT_EQ(xlum_inside_group(ctx, 1900, 1000, 40, 0), 0);
    EXPECT_EQ(xlum_inside_group(ctx, 1000, 1000, 41, 0), 0);  // open spokes wind no full turn
    EXPECT_EQ(xlum_inside_group(ctx, 1000, 1000, 42, 0), -1);
    int32_t line = xlum_line_set(ctx, 0, 100, 0, 200, 0);
    EXPECT_EQ(find_connected_line(ctx, line, 204.9, 0), line);  // joins by its second end, turned round
    EXPECT_EQ(ctx->c4[line], 200);
    EXPECT_EQ(find_connected_line(ctx, line, 95, 0), -1);  // 5.0 away does not join
}

TEST_F(RecordEdits, LinkNumbersRenewedAndDelimitersCleared) {
    // Lines a and b share 7 (the repair first takes it from b), c has 9; the texts follow their lines.
    int32_t a = xlum_line_set(ctx, 0, 0, 0, 1, 1), b = xlum_line_set(ctx, 0, 2, 2, 3, 3);
    int32_t text = xlum_moji_set(ctx, 0, "t", 0, 0, 0, 10, 10, 1, 0, 0);
    int32_t c = xlum_line_set(ctx, 0, 4, 4, 5, 5), text9 = xlum_moji_set(ctx, 0, "u", 0, 0, 0, 10, 10, 1, 0, 0);
    for (auto [row, link] : {std::pair{a, 7}, {b, 7}, {text, 7}, {c, 9}, {text9, 9}})
        xlum_set_link_attribute(ctx, row, link, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(xlum_change_new_link_code(ctx, 0), 1);
    EXPECT_EQ(std::vector<uint32_t>(
                  {link_of(ctx, a), link_of(ctx, b), link_of(ctx, text), link_of(ctx, c), link_of(ctx, text9)}),
              std::vector<uint32_t>({1, 0, 1, 2, 2}));

    int32_t delimiter = reserve_rows(ctx, 0, 1);
    xlum_set_val(ctx, "c1", delimiter, 0x8001);
    xlum_line_set(ctx, 0, 0, 0, 5, 5);
    xlum_set_val(ctx, "c1", reserve_rows(ctx, 0, 1), 0xFF00);
    xlum_set_val(ctx, "c1", find_data_end(ctx, 0) + 1, 0x8002);  // behind the end row: not walked
    EXPECT_EQ(xlum_delete_delimit_code(ctx, 0, delimiter), 1);
    EXPECT_EQ(xlum_delete_delimit_code(ctx, 0, -1), 1);
    EXPECT_EQ(types(ctx), (std::vector<int32_t>{2, 2, 5, 2, 5, 2}));
    EXPECT_EQ(text_at(ctx, text), "t");  // its continuation rows stay
    EXPECT_EQ(xlum_get_val(ctx, "c1", find_data_end(ctx, 0) + 1), 0x8002);
}

}  // namespace
}  // namespace kz::drawing2d
