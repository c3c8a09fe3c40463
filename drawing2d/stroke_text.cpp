// Texts drawn in the strokes of the drawing's font files (kanji and single-byte), cell by cell along the text's
// angle, with vertical writing's turned glyphs; the same engine turns a text into line records.
#include <cmath>

#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/stroke_glyphs.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/jis_codes.h"

namespace kz::drawing2d {
namespace {
bool lead_byte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// How a glyph is placed in vertical writing: marks that keep their form, marks turned and moved into the upper
// right of the cell, and the rest turned.
enum class Upright { turned, kept, moved };

struct StrokeText {
    drawing_context* ctx;
    device_context* dc;
    double x, y, width, height, pitch, angle, tangent;
    int make_lines;
    int32_t row, next_row;
    bool vertical;
};

double limited_slant(double slant) {
    double s = wrap_angle(slant, 0, 360);
    if (s >= 80 && s < 180) s = 80;
    if (s >= 180 && s < 280) s = 280;
    return s;
}

void put_stroke(StrokeText& t, double x1, double y1, double x2, double y2) {
    double ax, ay, bx, by;
    rotate_point_deg(x1, y1, t.angle, &ax, &ay);
    rotate_point_deg(x2, y2, t.angle, &bx, &by);
    ax += t.x, ay += t.y, bx += t.x, by += t.y;
    if (t.dc) draw_window_segment(t.ctx, t.dc, ax, ay, bx, by);
    if (!t.make_lines) return;
    drawing_context* ctx = t.ctx;
    const int32_t written = xlum_line_set_d(ctx, nullptr, t.next_row, row_layer(ctx, t.row), row_group(ctx, t.row),
                                            row_color(ctx, t.row), row_style(ctx, t.row), ax, ay, bx, by, 0);
    if (t.next_row > 0) t.next_row = written + 1;
}

// One glyph (segments in character heights, y upward) in the cell that starts `offset` along the text.
void put_glyph(StrokeText& t, const double* seg, int count, double offset, Upright upright) {
    // In vertical writing the cell's width and height exchange roles.
    const double w = t.vertical ? t.height : t.width, h = t.vertical ? t.width : t.height;
    for (int i = 0; i < count; ++i) {
        double p[4] = {seg[4 * i], seg[4 * i + 1], seg[4 * i + 2], seg[4 * i + 3]};
        if (t.vertical && upright != Upright::kept) {
            for (int k = 0; k < 4; k += 2) {
                const double gx = 1 - p[k + 1], gy = p[k];
                p[k] = upright == Upright::moved ? gx - 0.6 : gx;  // 116.4 of the 194 grid units
                p[k + 1] = upright == Upright::moved ? gy + 0.6 : gy;
            }
        }
        put_stroke(t, p[0] * w + p[1] * t.tangent * h + offset, -p[1] * h, p[2] * w + p[3] * t.tangent * h + offset,
                   -p[3] * h);
    }
}

template <class Glyph>
int draw_strokes(StrokeText& t, const char* string, bool kanji, Glyph glyph) {
    double segments[4 * kMaxGlyphSegments];
    const double w = t.vertical ? t.height : t.width;
    double offset = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(string ? string : "");
    while (*s) {
        unsigned code = *s++;
        if (kanji && lead_byte(static_cast<unsigned char>(code)) && *s) code = code << 8 | *s++;
        Upright upright = Upright::turned;
        if (kanji ? code == 0x815B || code == 0x817C : code == '-' || code == 0xB0) upright = Upright::kept;
        if (kanji ? code == 0x8142 || code == 0x8141 : code == ',' || code == '.') upright = Upright::moved;
        const int count = glyph(code, segments);
        if (count > 0) put_glyph(t, segments, count, offset, upright);
        offset += w + t.pitch;
    }
    return 1;
}

StrokeText stroke_text(drawing_context* ctx, device_context* dc, double x, double y, double width, double height,
                       double pitch, double angle, double slant, int make_lines, int32_t row, int32_t target_row,
                       int vertical) {
    StrokeText t{ctx,
                 dc,
                 x,
                 y,
                 width,
                 height,
                 pitch,
                 angle,
                 std::tan(limited_slant(slant) * M_PI / 180),
                 make_lines,
                 row,
                 0,
                 vertical != 0};
    if (make_lines && target_row >= 0 && row_in_columns(ctx, target_row)) {
        ctx->c1[target_row] = kEndCode;
        t.next_row = target_row;
    }
    return t;
}
}  // namespace

int draw_kanji_strokes(drawing_context* ctx, device_context* dc, const lumfont_entry* font, const char* string,
                       double x, double y, double width, double height, double pitch, double angle, double slant, int,
                       int, int make_lines, int32_t row, int32_t target_row, int vertical) {
    StrokeFontBlock block;
    if (!font || !block.attach(static_cast<const unsigned char*>(font->data), font->size)) return 0;
    StrokeText t =
        stroke_text(ctx, dc, x, y, width, height, pitch, angle, slant, make_lines, row, target_row, vertical);
    const unsigned cross = kz::crt::sjis_to_jis(0x817E);
    return draw_strokes(t, string, true, [&](unsigned code, double* out) {
        // A single byte is drawn as its full-width form; a code the font does not cover as the cross.
        if (code < 0x100) code = kz::crt::sjis_full_width(code);
        const int n = block.glyph_segments(kz::crt::sjis_to_jis(code), out);
        return n >= 0 ? n : block.glyph_segments(cross, out);
    });
}

int draw_ank_strokes(drawing_context* ctx, device_context* dc, const lumfont_entry* font, const char* string, double x,
                     double y, double width, double height, double pitch, double angle, double slant, int, int,
                     int make_lines, int32_t row, int32_t target_row, int vertical) {
    if (!font || !font->data) return 0;
    StrokeText t =
        stroke_text(ctx, dc, x, y, width, height, pitch, angle, slant, make_lines, row, target_row, vertical);
    const auto* data = static_cast<const unsigned char*>(font->data);
    return draw_strokes(t, string, false,
                        [&](unsigned code, double* out) { return ank_glyph_segments(data, font->size, code, out); });
}

int xlum_make_text_line(drawing_context* ctx, device_context* dc, int32_t row, int32_t target_row, int32_t rop) {
    if (!ctx || !row_in_columns(ctx, static_cast<int64_t>(row) + 1) || row_code(ctx, row) <= 0) return 0;
    const int32_t type = row_type(ctx, row);
    if (type != kTypeText && type != kTypeKanjiText) return 0;
    const bool kanji = type == kTypeKanjiText;
    char text[kTextBuffer] = {};
    xlum_getchar(ctx, row, text, sizeof text);
    int slot = row_color(ctx, row);
    if (slot > 15) slot = 5;
    const int32_t p = row + 1;
    double c[8];
    calc_text_corners_stored(ctx, row, c);
    display_transform_point(ctx, c[0], c[1], &c[0], &c[1]);
    const RasterState raster = begin_raster(ctx, dc, rop);
    const auto previous =
        dc ? select_record_pen(ctx, dc, slot, row_style(ctx, row), row_layer(ctx, row), ctx->real_draw != 0)
           : std::nullopt;
    auto draw = kanji ? draw_kanji_strokes : draw_ank_strokes;
    const int result = draw(ctx, previous ? dc : nullptr, kanji ? ctx->kanji_slot_font[slot] : ctx->ank_slot_font[slot],
                            text, c[0], c[1], ctx->c2[p], ctx->c3[p], ctx->c4[p], ctx->c5[p] / 1000000.0,
                            ctx->c6[p] / 1000000.0, ctx->c7[p] & 15, slot, 1, row, target_row, (ctx->c7[p] >> 8) & 1);
    if (previous) platform::select_pen(*dc, *previous);
    end_raster(ctx, dc, raster);
    return result;
}

}  // namespace kz::drawing2d
