// Vector text against hand-computed points over a small test font, and a Japanese text in the program's own font.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "platform/file_system.h"
#include "platform/image_io.h"
#include "stroke_font_blocks.h"
#include "support/test_paths.h"

using namespace kz::foundation;
using kz::test::Segment;

namespace {

// Ａ is the rising diagonal of the em, あ the falling one; nothing else has a glyph.
std::vector<unsigned char> diagonal_font() {
    kz::test::TestFontBlock font;
    font.glyphs[0x2341] = {Segment{0, 0, 194, 194}};
    font.glyphs[0x2422] = {Segment{0, 194, 194, 0}};
    return font.bytes();
}

#define FW_A "\x82\x60"    // Ａ
#define HIRA_A "\x82\xA0"  // あ

// Points as laid out, to rounding.
auto same_points(const std::vector<double>& want) { return testing::Pointwise(testing::DoubleNear(1e-9), want); }

TEST(VectorText, LayoutPlacesGlyphsInTheirCells) {
    const std::vector<unsigned char> block = diagonal_font();
    kz::test::ScopedStrokeFont font(&block);
    const double move[3] = {10, 0, 0}, turn[3] = {0, 90, 0}, tilt[3] = {90, 90, 0};
    const double leader[6] = {1, 2, 3, 4, 5, 6};
    struct Case {
        const char* what;
        const char* text;
        double r, h, w, a, d;
        std::vector<double> points;
        const double* move = nullptr;
        const double* angles = nullptr;
        int mode = 0;
    } cases[] = {
        {"full width", FW_A, 1, 10, 20, 0, 0, {0, 0, 0, 20, 10, 0}},
        {"ASCII: full-width glyph, half cell, lowered", "A", 1, 10, 20, 0, 0, {0, -1, 0, 10, 9, 0}},
        {"space advances half plus r times a", " A", 0.5, 10, 20, 2, 0, {11, -0.5, 0, 16, 4.5, 0}},
        {"glyph-less character still advances", "\x88\x9F" HIRA_A, 1, 10, 20, 0, 0, {20, 10, 0, 40, 0, 0}},
        {"negative height flips the glyph", FW_A, 1, -10, 20, 0, 0, {0, 10, 0, 20, 0, 0}},
        {"next line", FW_A "__" FW_A, 1, 10, 20, 0, 30, {0, 0, 0, 20, 10, 0, 0, -30, 0, 20, -20, 0}},
        {"trailing lead byte stops", FW_A "\x82", 1, 10, 20, 0, 0, {0, 0, 0, 20, 10, 0}},
        {"rotated about Y then moved", FW_A, 1, 1, 1, 0, 0, {10, 0, 0, 10, 1, -1}, move, turn},
        {"rotated about Y before X", FW_A, 1, 1, 1, 0, 0, {0, 0, 0, 0, 1, 1}, nullptr, tilt},
        {"leader line in mode 1", FW_A, 1, 10, 20, 0, 0, {0, 0, 0, 20, 10, 0, 1, 2, 3, 4, 5, 6}, nullptr, nullptr, 1},
        {"no leader in mode 0", FW_A, 1, 10, 20, 0, 0, {0, 0, 0, 20, 10, 0}},
    };
    CBusMDL bridge(nullptr);
    for (const Case& c : cases) {
        const int before = bridge.polyline_count;
        const int p =
            bridge.LayoutVectorText(c.text, c.r, 0, 0, 0, c.h, c.w, c.a, c.d, c.move, c.angles, c.mode, leader);
        EXPECT_EQ(std::tuple(p, bridge.polyline_count), std::tuple(before, before + 1)) << c.what;
        EXPECT_THAT(bridge.polylines[p].points, same_points(c.points)) << c.what;
    }
}

TEST(VectorText, PasteTextFieldsAndBlockAlignment) {
    const std::vector<unsigned char> block = diagonal_font();
    kz::test::ScopedStrokeFont font(&block);
    // Default size 90, advance 90, ratio 0.9: each Ａ spans 81 units of its 90-unit cell.
    struct Case {
        const char* what;
        const char* paste;
        std::vector<double> points;
    } cases[] = {
        {"left, block above the anchor", "[lumfont=0:" FW_A FW_A, {0, 0, 0, 81, 81, 0, 90, 0, 0, 171, 81, 0}},
        {"centred both ways", "[lumfont=5:" FW_A FW_A, {-90, -45, 0, -9, 36, 0, 0, -45, 0, 81, 36, 0}},
        {"right, below the anchor", "[lumfont=10:" FW_A FW_A, {-180, -90, 0, -99, -9, 0, -90, -90, 0, -9, -9, 0}},
        // Three bytes (the dashes have no glyph): 45 each, so the block is 135 wide; the ASCII glyph is lowered by
        // 0.1 x 90 x 0.9.
        {"single-byte width is 45 a byte", "[lumfont=2:A--", {-135, -8.1, 0, -94.5, 72.9, 0}},
        {"two lines step down by size plus gap",
         "[lumfont=0:" FW_A "__" FW_A,
         {0, 108, 0, 81, 189, 0, 0, 0, 0, 81, 81, 0}},
        {"negative line direction stacks upward",
         "[lumfont=0:" FW_A "__" FW_A ":90::::-1",
         {0, 0, 0, 81, 81, 0, 0, 108, 0, 81, 189, 0}},
        {"moved, leader from its start to the anchor",
         "[lumfont=0:" FW_A ":10:::::::100:200:300::::1:7:8:9:1",
         {100, 200, 300, 110, 210, 300, 7, 8, 9, 100, 200, 300}},
    };
    CBusMDL bridge(nullptr);
    for (const Case& c : cases) {
        ASSERT_EQ(bridge.AddVectorText(c.paste, 0.25), 0) << c.what;
        const PolylineEntry& lines = bridge.polylines[bridge.polyline_count - 1];
        EXPECT_THAT(lines.points, same_points(c.points)) << c.what;
        EXPECT_EQ(std::tuple(lines.color, lines.line_width, lines.ambient, lines.transparency),
                  std::tuple(0u, 1, 5.0, 0.25))
            << c.what;
    }
    ASSERT_EQ(bridge.AddVectorText("[lumfont=0:" FW_A "::::::3:#FF8000::::::::::::0.5", 0), 0);
    const PolylineEntry& lines = bridge.polylines[bridge.polyline_count - 1];
    EXPECT_EQ(std::tuple(lines.line_width, lines.color, lines.transparency), std::tuple(3, 0x0080FFu, 0.5));
    const int count = bridge.polyline_count;
    for (const char* nothing : {"[lumfont=0::90", "[lumfont=0:" FW_A ":0.5", "[lumfont=0:" FW_A ":90:0.9", "[lumf", "",
                                "[lumfont=0: "})  // the last lays out no stroke: a space has no glyph
        EXPECT_EQ(bridge.AddVectorText(nothing, 0), 1) << nothing;
    EXPECT_EQ(bridge.AddVectorText(nullptr, 0), 1);
    EXPECT_EQ(bridge.polyline_count, count);  // nothing left behind
}

// Lines of width 1 into a 24-bit DIB, y upward from the bottom row; returns the pixels inked.
int draw_segments(kz::crt::GlobalHandle dib, int width, int height, const std::vector<double>& p, double scale,
                  double left, double bottom) {
    auto* bytes = static_cast<unsigned char*>(kz::crt::global_lock(dib));
    const int stride = dib_row_stride(width, 3);
    int inked = 0;
    for (std::size_t i = 0; i + 5 < p.size(); i += 6) {
        const double x1 = (p[i] - left) * scale, y1 = (p[i + 1] - bottom) * scale;
        const double x2 = (p[i + 3] - left) * scale, y2 = (p[i + 4] - bottom) * scale;
        const int steps = std::max(1, int(std::ceil(std::max(std::fabs(x2 - x1), std::fabs(y2 - y1)))));
        for (int s = 0; s <= steps; ++s) {
            const int x = int(std::lround(x1 + (x2 - x1) * s / steps)),
                      y = int(std::lround(y1 + (y2 - y1) * s / steps));
            if (x < 0 || y < 0 || x >= width || y >= height) continue;
            unsigned char* px = bytes + 40 + y * stride + x * 3;
            inked += px[0] != 0;
            px[0] = px[1] = px[2] = 0;
        }
    }
    kz::crt::global_unlock(dib);
    return inked;
}

TEST(VectorText, JapaneseTextInTheProgramFontStaysInsideItsBlock) {
    kz::platform::set_dialog_test_mode(true);
    load_font_resource(nullptr);
    // 漢字かなカナ on the first line, 東京ABC on the second.
    const char* paste =
        "[lumfont=0:\x8A\xBF\x8E\x9A\x82\xA9\x82\xC8\x83\x4A\x83\x69__\x93\x8C\x8B\x9E"
        "ABC";
    CBusMDL bridge(nullptr);
    ASSERT_EQ(bridge.AddVectorText(paste, 0), 0);
    const PolylineEntry& lines = bridge.polylines[0];
    kz::platform::set_dialog_test_mode(false);
    ASSERT_GT(lines.points.size(), 6u * 10);
    // Block: 12 bytes x 45 wide; lines at y 108 and 0, glyphs 81 tall; single-byte glyphs 8.1 lower.
    struct Cell {
        double left, right, bottom, top;
        int points = 0;
    };
    std::vector<Cell> cells;
    for (int k = 0; k < 6; ++k) cells.push_back({90.0 * k, 90.0 * k + 81, 108, 189});
    for (int k = 0; k < 2; ++k) cells.push_back({90.0 * k, 90.0 * k + 81, 0, 81});
    for (int k = 0; k < 3; ++k) cells.push_back({180 + 45.0 * k, 180 + 45.0 * k + 40.5, -8.1, 72.9});
    const double tolerance = 0.5;
    for (std::size_t i = 0; i < lines.points.size(); i += 3) {
        const double x = lines.points[i], y = lines.points[i + 1];
        EXPECT_EQ(lines.points[i + 2], 0.0);
        int owners = 0;
        for (Cell& c : cells)
            if (x >= c.left - tolerance && x <= c.right + tolerance && y >= c.bottom - tolerance &&
                y <= c.top + tolerance) {
                ++c.points;
                ++owners;
            }
        EXPECT_EQ(owners, 1) << "point (" << x << ", " << y << ") lies in no cell";
    }
    for (std::size_t k = 0; k < cells.size(); ++k) EXPECT_GE(cells[k].points, 8) << "cell " << k;

    // For a look: the text at 2 pixels a unit on white.
    const int width = 560 * 2 / 2, height = 220;
    kz::crt::GlobalHandle dib = create_dib24(width, height);
    ASSERT_NE(dib, nullptr);
    EXPECT_GT(draw_segments(dib, width, height, lines.points, 1.0, -10, -15), 1000);
    EXPECT_TRUE(kz::platform::save_dib_as_png(
        kz::platform::from_native_path(kz::test::output_file("vector_text_sample.png")), dib));
    kz::crt::global_free(dib);
}

}  // namespace
