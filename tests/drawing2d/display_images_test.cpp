// Regression images of the display: every pen style and width by GDI pens and by dashes at their real lengths,
// arcs and circles, XOR drawing, the limit box; texts in every anchor and angle in a Windows face (drawn in the IPA
// fonts), in the program's stroke font and as boxes; painted outlines, groups and marker floods, link lines and
// text origin marks. New references: KZ_WRITE_REFERENCE=1, then copy the actual
// images from the output folder into tests/data/drawing2d/ after looking at them.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <string>

#include "app/foundation/stroke_font_data.h"
#include "device_test_support.h"
#include "drawing2d/active_attributes.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/link_lines.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/stroke_glyphs.h"
#include "drawing_test_support.h"
#include "platform/crt/jis_codes.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
using test::Device;
using test::Drawing;

// One drawing shown in a part of the device, one drawing unit to a device pixel.
void show_part(Device& dev, int x0, int y0, int w, int h, const std::function<void(drawing_context*)>& fill,
               int rop = 13, int paint = 0) {
    Drawing d;
    drawing_context* ctx = d.peek();
    ctx->disp_pen_width = -1;
    fill(ctx);
    xlum_make_window_d(ctx, 0, 0, 0, w, h, x0, y0, x0 + w, y0 + h);
    xlum_gdisp(ctx, dev.dc(), 0, rop, paint);
}

void line(drawing_context* ctx, double x1, double y1, double x2, double y2, int colour, int style) {
    xlum_set_line(ctx, nullptr, 13, 0, x1, y1, x2, y2, 1, 1, colour, style);
}

// Styles 1..8 down, widths 1, 2, 3 and 6 (colours 1..4) across.
void pen_rows(drawing_context* ctx) {
    const int widths[4] = {1, 2, 3, 6};
    for (int c = 0; c < 4; ++c) ctx->pen_width[c + 1] = widths[c];
    for (int style = 1; style <= 8; ++style)
        for (int c = 0; c < 4; ++c) line(ctx, 6 + 58 * c, 18 * style, 56 + 58 * c, 4 + 18 * style, c + 1, style);
}

TEST(DisplayImages, PensArcsXorAndTheLimitBox) {
    Device dev(480, 320);
    show_part(dev, 0, 0, 240, 160, pen_rows);
    show_part(dev, 240, 0, 240, 160, [](drawing_context* ctx) {
        pen_rows(ctx);
        // Dashes at their real lengths: 240 units of 0.254 mm at 1:1 shown 240 dots wide make 100 dots an inch.
        ctx->plot_scale = 0.254;
        ctx->print_scale = 1;
        ctx->real_draw = 1;
        ctx->ext_pen_sw = 1;  // wide pens with flat ends
        ctx->ext_pen_endcap = platform::kPsEndcapFlat;
    });
    show_part(dev, 0, 160, 240, 160, [](drawing_context* ctx) {
        ctx->pen_width[2] = 2;
        ctx->fill_circle_layer[2] = 1;
        for (int i = 0; i < 6; ++i)
            xlum_set_arc(ctx, nullptr, 13, 0, 40, 40, 8 + 5 * i, 60 * i, 60 * i + 100, 1, 1, i % 2 ? 2 : 5, 1);
        xlum_set_arc(ctx, nullptr, 13, 0, 120, 40, 30, 0, 360, 1, 1, 3, 2);     // dashed circle
        xlum_set_arc(ctx, nullptr, 13, 0, 190, 40, 25, 0, 360, 2, 1, 1, 1);     // filled on layer 2
        xlum_set_arc(ctx, nullptr, 13, 0, 30, 100, 1, 0, 360, 1, 1, 5, 1);      // a cross
        xlum_set_arc(ctx, nullptr, 13, 0, 240, 400, 320, 95, 140, 1, 1, 4, 4);  // large: segments
        xlum_set_arc(ctx, nullptr, 13, 0, 120, 170, 60, 0, 180, 1, 1, 6, 1);    // cut by the window
        const int32_t row = xlum_set_arc(ctx, nullptr, 13, 0, 0, 0, 1, 0, 1, 1, 1, 5, 1);
        ctx->c1[row] = (ctx->c1[row] & ~0xFF00) | (kTypeMultiRow << 8);  // a type-15 outline over its two rows
        ctx->c4[row] = 180, ctx->c5[row] = 110, ctx->c6[row] = -20, ctx->c7[row] = -10;
        ctx->c4[row + 1] = 30000000, ctx->c6[row + 1] = 20, ctx->c7[row + 1] = 10;
    });
    show_part(dev, 240, 160, 240, 160, [&](drawing_context*) {
        platform::fill_rect(*dev.dc(), {300, 200, 420, 280}, platform::Brush{false, 0x406080});
    });
    show_part(
        dev, 240, 160, 240, 160,
        [](drawing_context* ctx) {
            ctx->pen_width[1] = 3;
            for (int i = 0; i < 8; ++i) line(ctx, 10 + 25 * i, 10, 230 - 25 * i, 150, 1 + i % 3, 1);
        },
        7);
    // The right end of the coordinate range: the limit box's edge, at 4 / 5 of the device's width, with lines
    // running into it.
    Drawing d;
    drawing_context* ctx = d.peek();
    ctx->disp_pen_width = -1;
    for (int i = 0; i < 5; ++i) line(ctx, 2147483547.0, 10 + 40 * i, 2147483647.0, 60 + 20 * i, 2, 1);
    xlum_make_window_d(ctx, 0, 2147483547.0, 0, 2147483647.0, 200, 360, 160, 480, 320);
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);
    EXPECT_TRUE(dev.matches_reference("pens_arcs_xor", 0, 0.0));
}

// The program's stroke font block in the layout of a kanji font file: its directory widened to the file's 94 x 94
// cells (the glyphs keep their offsets, which count from the start of the glyph area).
std::string kanji_font_file() {
    const unsigned char* block = foundation::kStrokeFontBlock;
    const std::size_t header = read_le32(block);
    const unsigned col_lo = block[4], col_hi = block[5], row_lo = block[6], row_hi = block[7];
    std::string file(30 + kKanjiIndexBytes, '\0');
    file[0] = static_cast<char>(kKanjiIndexBytes & 0xFF);
    file[1] = static_cast<char>(kKanjiIndexBytes >> 8);
    file.replace(4, 4, "!~!~");
    for (unsigned row = row_lo; row <= row_hi; ++row)
        for (unsigned col = col_lo; col <= col_hi; ++col) {
            const std::size_t from = 30 + 4 * ((col_hi - col_lo + 1) * (row - row_lo) + (col - col_lo));
            const std::size_t to = 30 + 4 * (94 * (row - 0x21) + (col - 0x21));
            file.replace(to, 4, reinterpret_cast<const char*>(block + from), 4);
        }
    file.append(reinterpret_cast<const char*>(block + 30 + header), foundation::kStrokeFontBlockSize - 30 - header);
    return file;
}

// The program's stroke font as a kanji font file, linked into a drawing for slot 3.
class StrokeFont {
public:
    StrokeFont() : fonts_(lumfont_open()) {
        const std::string dir = test::fresh_path("stroke_font") + "\\";
        platform::create_directory(dir);
        test::put_file(dir + "kzstroke.fnt", kanji_font_file());
        lumfont_load_kanji(fonts_, dir.c_str());
    }
    ~StrokeFont() { lumfont_close(fonts_); }
    StrokeFont(const StrokeFont&) = delete;
    StrokeFont& operator=(const StrokeFont&) = delete;
    void link(const Drawing& d, int slot) const {
        zolt_link_lumfont(d.handle(), fonts_, "LINK");
        xlum_set_string(d.peek(), "kanji", slot, "kzstroke.fnt");
        xlum_function(d.peek(), "SetFontType", 0, nullptr);
    }

private:
    lumfont_handle fonts_;
};

void text(drawing_context* ctx, const char* s, int kind, double x, double y, double w, double h, double angle,
          int alignment, int colour, double slant = 0) {
    xlum_set_text(ctx, nullptr, 13, 0, s, kind, x, y, w, h, 1, angle, slant, alignment, 1, 1, colour, 1);
}

const char kKanji[] = "\x8a\xbf\x8e\x9a\x82\xa0";  // three characters: kanji, kanji, hiragana

TEST(DisplayImages, TextsInEveryAnchorAndAngle) {
    ASSERT_GT(foundation::kStrokeFontBlockSize, 0u) << "the build made no stroke font";
    StrokeFont font;
    Device dev(640, 480);
    const char gothic[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";  // the Gothic face
    const double angles[5] = {0, 30, 90, 180, 300};
    // Windows faces: nine anchors across, five angles down, origin marks on.
    Drawing d;
    drawing_context* ctx = d.peek();
    ctx->disp_pen_width = -1;
    ctx->text_orgin_disp_sw = 1;
    ctx->text_orgin_disp_size = 2;
    ctx->pen_color[7] = 0;  // black origin marks
    for (int s : {2, 4}) {
        xlum_set_string(ctx, "ank", s, gothic);
        xlum_set_string(ctx, "kanji", s, gothic);
    }
    xlum_function(ctx, "SetFontType", 0, nullptr);
    const int anchors[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
    for (int a = 0; a < 9; ++a)
        for (int k = 0; k < 5; ++k)
            text(ctx, a % 2 ? "Ag1" : kKanji, a % 2 ? 5 : 6, 36 + 70 * a, 30 + 60 * k, 8, 12, angles[k], anchors[a],
                 a % 2 ? 2 : 4);
    xlum_make_window_d(ctx, 0, 0, 0, 640, 300, 0, 0, 640, 300);
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);

    // The stroke font: angles, anchors, a slant, vertical writing, a code outside the font.
    Drawing strokes;
    font.link(strokes, 3);
    ctx = strokes.peek();
    ctx->disp_pen_width = -1;
    for (int k = 0; k < 5; ++k) text(ctx, kKanji, 6, 30 + 70 * k, 50, 12, 16, angles[k], k == 4 ? 5 : 0, 3);
    text(ctx, kKanji, 6, 20, 110, 14, 18, 0, 0, 3, 60);
    // Vertical writing: the glyphs turned, the long-vowel mark kept, the full stop moved into its corner.
    xlum_set_text(ctx, nullptr, 13, 0, "\x8a\xbf\x81\x5b\x82\xa0\x81\x42", 6, 370, 100, 14, 14, 1, 270, 0, 0x100, 1, 1,
                  3, 1);
    text(ctx, "\xf0\x40\x8a\xbf", 6, 20, 160, 14, 18, 0, 0, 3);  // the first lies beyond the font: a cross
    xlum_make_window_d(ctx, 0, 0, 0, 400, 180, 0, 300, 400, 480);
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);

    // Boxes: texts under the box limit of 6 device units as crosses (single-byte) and ladders (double-byte).
    Drawing boxes;
    ctx = boxes.peek();
    ctx->disp_pen_width = -1;
    text(ctx, "ABCDE", 5, 10, 20, 8, 5, 0, 0, 5);
    text(ctx, kKanji, 6, 10, 40, 8, 5, 20, 0, 5);
    ctx->draw_kanji_mode = 0;  // every double-byte text as a box
    text(ctx, kKanji, 6, 80, 60, 20, 30, 0, 0, 1);
    xlum_make_window_d(ctx, 0, 0, 0, 240, 180, 400, 300, 640, 480);
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);
    EXPECT_TRUE(dev.matches_reference("texts", 255, 0.01));
}

// The line records a text becomes: its glyphs' strokes, a code beyond the font as the cross's, a slant beyond 80
// degrees as 80.
TEST(DisplayImages, TextsBecomeTheStrokesOfTheirGlyphs) {
    ASSERT_GT(foundation::kStrokeFontBlockSize, 0u) << "the build made no stroke font";
    StrokeFont font;
    StrokeFontBlock block;
    ASSERT_TRUE(block.attach(foundation::kStrokeFontBlock, foundation::kStrokeFontBlockSize));
    std::vector<double> segments(4 * kMaxGlyphSegments);
    const int kanji = block.glyph_segments(crt::sjis_to_jis(0x8abf), segments.data());
    const int cross = block.glyph_segments(crt::sjis_to_jis(0x817e), segments.data());
    ASSERT_EQ(block.glyph_segments(crt::sjis_to_jis(0xf040), segments.data()), -1);
    const auto lines = [&](const char* string, double slant) {
        Drawing d;
        font.link(d, 3);
        drawing_context* ctx = d.peek();
        const int32_t row = xlum_set_text(ctx, nullptr, 13, 0, string, 6, 0, 0, 100, 100, 0, 20, 0, 0, 1, 1, 3, 1);
        ctx->c6[row + 1] = static_cast<int32_t>(slant * 1000000);  // as a file may hold it, unfolded
        EXPECT_EQ(xlum_make_text_line(ctx, nullptr, row, -1, 13), 1);
        std::vector<std::array<int32_t, 4>> out;
        for (int32_t r = row + 1; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r)
            if (row_code(ctx, r) > 0 && row_type(ctx, r) == kTypeLine)
                out.push_back({ctx->c4[r], ctx->c5[r], ctx->c6[r], ctx->c7[r]});
        return out;
    };
    EXPECT_EQ(lines("\x8a\xbf", 0).size(), static_cast<std::size_t>(kanji));
    EXPECT_EQ(lines("\xf0\x40", 0).size(), static_cast<std::size_t>(cross));
    EXPECT_EQ(lines("\x8a\xbf\x8a\xbf", 85), lines("\x8a\xbf\x8a\xbf", 80));
    EXPECT_NE(lines("\x8a\xbf\x8a\xbf", 70), lines("\x8a\xbf\x8a\xbf", 80));
}

void polygon_lines(drawing_context* ctx, std::initializer_list<std::array<double, 2>> points, int layer, int group,
                   int colour) {
    const std::array<double, 2>* p = points.begin();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % points.size()];
        xlum_set_line(ctx, nullptr, 13, 0, a[0], a[1], b[0], b[1], layer, group, colour, 1);
    }
}
int32_t arc(drawing_context* ctx, double cx, double cy, double r, int layer, int group, int colour) {
    return xlum_set_arc(ctx, nullptr, 13, 0, cx, cy, r, 0, 360, layer, group, colour, 1);
}

TEST(DisplayImages, PaintGroupsMarkersAndLinkLines) {
    Device dev(320, 240);
    // Marker floods in greys 3, 9 and 12 inside a square, a triangle and a circle.
    show_part(dev, 0, 0, 160, 120, [](drawing_context* ctx) {
        polygon_lines(ctx, {{10, 10}, {70, 10}, {70, 70}, {10, 70}}, 1, 1, 1);
        polygon_lines(ctx, {{90, 10}, {150, 10}, {120, 70}}, 1, 1, 2);
        arc(ctx, 40, 95, 20, 1, 1, 4);
        const double seeds[3][3] = {{40, 40, 3}, {120, 30, 9}, {40, 95, 12}};
        for (const auto& m : seeds) ctx->c7[arc(ctx, m[0], m[1], 4, 1, 1, 5)] = static_cast<int32_t>(m[2]);
        ctx->marker_paint = 1;
        ctx->back_color = 0xFFFFFF;  // the device's white
    });
    // Layer paint: a square with a square hole (its layer painted later in the background colour), and outlines
    // of a layer in pen colours, left undrawn: a triangle and a circle.
    show_part(
        dev, 160, 0, 160, 120,
        [](drawing_context* ctx) {
            ctx->paint_layer_color[3] = 0xC08040;
            ctx->paint_layer_color[2] = 0xFFFFFF;
            ctx->paint_layer_color[5] = -2;
            polygon_lines(ctx, {{10, 10}, {110, 10}, {110, 110}, {10, 110}}, 3, 1, 1);
            polygon_lines(ctx, {{35, 35}, {85, 35}, {85, 85}, {35, 85}}, 2, 1, 1);
            polygon_lines(ctx, {{120, 10}, {155, 10}, {137, 50}}, 5, 1, 2);
            arc(ctx, 137, 85, 20, 5, 1, 4);
        },
        13, 1);
    // Group paint: one group by its RGB tag, one by a named colour; the tag texts on a hidden layer.
    show_part(
        dev, 0, 120, 160, 120,
        [](drawing_context* ctx) {
            ctx->paint_layer_color[8] = 0;  // a painted layer lets the group paint run
            ctx->disp_layer[9] = 0;
            polygon_lines(ctx, {{10, 10}, {70, 10}, {40, 100}}, 1, 3, 1);
            arc(ctx, 115, 55, 35, 1, 4, 1);
            const char* tags[3][2] = {{"&RUV.RGB& 0 160 255", "3"}, {"&RUV.NAME& sea 40 200 120", "4"}, {"sea", "4"}};
            for (const auto& t : tags)
                xlum_set_text(ctx, nullptr, 13, 0, t[0], 5, 0, 0, 10, 10, 1, 0, 0, 0, 9, t[1][0] - '0', 1, 1);
        },
        13, 1);
    // Link lines from texts (drawn as boxes) to their lines, and the texts' origin marks.
    Drawing d;
    drawing_context* ctx = d.peek();
    ctx->disp_pen_width = -1;
    ctx->draw_kanji_mode = 0;
    ctx->link_line_disp_sw = 1;
    ctx->text_orgin_disp_size = 3;
    ctx->pen_color[7] = 0x0000C0;
    for (int i = 0; i < 3; ++i) {
        const int32_t line = xlum_set_line(ctx, nullptr, 13, 0, 20 + 45 * i, 20, 50 + 45 * i, 30, 1, 1, 2, 1);
        const int32_t text = xlum_set_text(ctx, nullptr, 13, 0, kKanji, 6, 10 + 50 * i, 80 + 10 * i, 12, 16, 1, 15 * i,
                                           0, 0, 1, 1, 1, 1);
        xlum_set_link_attribute(ctx, line, i + 1, -1, -1, -1, -1, -1, -1);
        xlum_set_link_attribute(ctx, text, i + 1, -1, -1, -1, -1, -1, -1);
    }
    xlum_make_window_d(ctx, 0, 0, 0, 160, 120, 160, 120, 320, 240);
    xlum_gdisp(ctx, dev.dc(), 0, 13, 0);
    EXPECT_EQ(xlum_draw_text_origin(ctx, dev.dc(), 0, 13), 1);
    EXPECT_TRUE(dev.matches_reference("paint_links", 0, 0.0));
}

}  // namespace
}  // namespace kz::drawing2d
