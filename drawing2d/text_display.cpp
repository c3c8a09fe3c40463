// Texts on the device: by a Windows font through GDI, by the drawing's stroke fonts, or as a box of crosses or
// cells when too small or too large to be worth drawing; the slots' fonts measured once per display.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/link_lines.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/text_utils.h"
#include "platform/device_context.h"

namespace kz::drawing2d {
namespace {
bool lead_byte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool has_double_byte(const char* s) {
    for (; *s; ++s)
        if (lead_byte(static_cast<unsigned char>(*s))) return true;
    return false;
}

void transform_corners(const drawing_context* ctx, double c[8]) {
    for (int i = 0; i < 4; ++i) display_transform_point(ctx, c[2 * i], c[2 * i + 1], &c[2 * i], &c[2 * i + 1]);
}

int flip_part(int v) { return v == 0 ? 2 : v == 2 ? 0 : v; }

// The font of a slot at a device height (GDI's logical font record).
platform::LogFont slot_font(const drawing_context* ctx, int slot, const char* face, int height, int width) {
    platform::LogFont font;
    font.height = ctx->lf_height_type == 1 ? -height : height;
    font.width = width;
    font.weight = ctx->pen_bold[slot] == 1 ? 700 : 400;
    font.char_set = 1;
    std::snprintf(font.face_name, sizeof font.face_name, "%s", face);
    return font;
}

// The device limit of a Windows-font text's size.
double text_size_limit(const drawing_context* ctx) {
    if (ctx->print_device == 2) return 10.0 * ctx->disp_moji_max_size;
    if (ctx->print_device == 1) return 200000;
    return ctx->disp_moji_max_size;
}

// Whether a device box from (x, y) of the given size, turned by the angle, can meet the device rectangle.
bool near_device(const drawing_context* ctx, double x, double y, double reach) {
    return x + reach >= ctx->dvxmin && x - reach <= ctx->dvxmax && y + reach >= ctx->dvymin && y - reach <= ctx->dvymax;
}
}  // namespace

int upright_text_angle(double scale_x, double scale_y, double angle, int alignment, double* angle_out,
                       int* alignment_out, int on) {
    *angle_out = angle;
    *alignment_out = alignment;
    if (!on || (scale_x >= 0 && scale_y >= 0)) return 0;
    if (scale_x < 0 && scale_y < 0) {
        *angle_out = angle + 180;
        return 0;
    }
    double a = wrap_angle(scale_x < 0 ? -angle : -angle - 180, 0, 360);
    int horizontal = alignment & 3, vertical = (alignment >> 2) & 3;
    if (a > 90 && a < 270) {
        a += 180;
        vertical = flip_part(vertical);
    } else {
        horizontal = flip_part(horizontal);
    }
    *angle_out = a;
    *alignment_out = horizontal | vertical << 2;
    return 1;
}

void measure_slot_fonts(drawing_context* ctx, device_context* dc) {
    for (int s = 0; s < kSlots; ++s) {
        ctx->text_scale[s][0] = ctx->text_scale[s][1] = 1.0;
        if (ctx->ank_slot_kind[s] != 0 || ctx->kanji_slot_kind[s] != 0) continue;
        const struct {
            const char* face;
            int width;
            const char* sample;
        } sides[2] = {{ctx->ank_font_name[s], 50, "G"}, {ctx->kanji_font_name[s], 25, "\x90\x7d"}};
        for (int k = 0; k < 2; ++k) {
            const platform::LogFont previous =
                platform::select_font(*dc, slot_font(ctx, s, sides[k].face, 50, sides[k].width));
            const platform::GdiSize size = platform::text_extent(*dc, sides[k].sample);
            platform::select_font(*dc, previous);
            if (size.cx > 0) ctx->text_scale[s][k] = static_cast<double>(size.cy) / size.cx;
        }
    }
}

int text_box_corners(drawing_context* ctx, int32_t row, double corners[8], int with_slant) {
    if (!row_in_columns(ctx, row) || row_code(ctx, row) <= 0) return 0;
    if (!calc_text_corners(ctx, row, corners, nullptr, with_slant != 0)) return 0;
    transform_corners(ctx, corners);
    return 1;
}

void draw_text_box(drawing_context* ctx, device_context* dc, const double c[8], int32_t row, int n) {
    if (n < 1) n = 1;
    const double sx = (c[6] - c[0]) / n, sy = (c[7] - c[1]) / n;
    if (row_type(ctx, row) == kTypeKanjiText) {
        draw_window_segment(ctx, dc, c[2], c[3], c[4], c[5]);
        draw_window_segment(ctx, dc, c[0], c[1], c[6], c[7]);
        for (int i = 0; i <= n; ++i)
            draw_window_segment(ctx, dc, c[0] + i * sx, c[1] + i * sy, c[2] + i * sx, c[3] + i * sy);
        return;
    }
    for (int i = 0; i < n; ++i) {
        draw_window_segment(ctx, dc, c[0] + i * sx, c[1] + i * sy, c[2] + (i + 1) * sx, c[3] + (i + 1) * sy);
        draw_window_segment(ctx, dc, c[2] + i * sx, c[3] + i * sy, c[0] + (i + 1) * sx, c[1] + (i + 1) * sy);
    }
}

void draw_gdi_text(drawing_context* ctx, device_context* dc, double x, double y, double width, double height,
                   double pitch, double angle, double slant, platform::ColorRef colour, const char* string,
                   const char* face, int bk_mode, int whole, int type, int slot, int vertical) {
    const double dx = xlum_fn_mcxr(ctx, x), dy = xlum_fn_mcyr(ctx, y);
    const double reach = ctx->print_device == 1 ? 200000 : ctx->print_device == 2 ? 80000 : 30000;
    if (std::abs(dx) > reach || std::abs(dy) > reach || !string || !*string) return;
    const double w = ctx->disp_bscale * width, h = ctx->disp_bscale * height, p = ctx->disp_bscale * pitch;
    const double ratio = type == kTypeText ? ctx->text_scale[slot][0] : ctx->text_scale[slot][1] / 2;
    std::string name = face ? face : "";
    if (vertical && has_double_byte(name.c_str()) && name[0] != '@') name = "@" + name;
    platform::LogFont font =
        slot_font(ctx, slot, name.c_str(), round_to_int32(h), whole == 1 ? 0 : round_to_int32(w * ratio));
    font.italic = slant >= 5 ? 1 : 0;
    font.quality = 3;
    platform::LogFont flat = font;  // measures the characters
    font.escapement = round_to_int32(angle * 10);
    flat.escapement = 0;
    const int rop = platform::set_rop2(*dc, platform::kR2CopyPen);
    const platform::ColorRef back = platform::set_bk_color(*dc, static_cast<platform::ColorRef>(ctx->back_color));
    const int mode = platform::set_bk_mode(*dc, bk_mode);
    const platform::ColorRef text_colour = platform::set_text_color(*dc, colour);
    const platform::LogFont previous = platform::select_font(*dc, flat);
    const double c = std::cos(angle * M_PI / 180), s = std::sin(angle * M_PI / 180);
    const auto out = [&](double px, double py, std::string_view text) {
        platform::select_font(*dc, font);
        platform::text_out(*dc, truncate_to_int32(px + 0.5), truncate_to_int32(py + 0.5), text);
        platform::select_font(*dc, flat);
    };
    const std::size_t bytes = std::strlen(string);
    const platform::GdiSize extent = platform::text_extent(*dc, string);
    if (whole == 1 && extent.cx < 1600) {
        if (near_device(ctx, dx, dy, extent.cx + extent.cy)) out(dx, dy, string);
    } else {
        double along = 0;
        for (std::size_t i = 0; i < bytes;) {
            const std::size_t n =
                type == kTypeKanjiText && i + 1 < bytes && lead_byte(static_cast<unsigned char>(string[i])) ? 2 : 1;
            const std::string_view ch(string + i, n);
            i += n;
            const platform::GdiSize size = platform::text_extent(*dc, ch);
            const double offset = whole == 1 ? along : along + (w - size.cx) / 2;
            along += whole == 1 ? size.cx : w + p;
            const double px = dx + offset * c, py = dy - offset * s;
            if (near_device(ctx, px, py, size.cx + size.cy)) out(px, py, ch);
        }
    }
    ctx->stroke_count += 2 * static_cast<int32_t>(bytes);
    platform::select_font(*dc, previous);
    platform::set_text_color(*dc, text_colour);
    platform::set_bk_mode(*dc, mode);
    platform::set_bk_color(*dc, back);
    platform::set_rop2(*dc, rop);
}

void draw_text_record(drawing_context* ctx, device_context* dc, int32_t row) {
    if (!row_in_columns(ctx, static_cast<int64_t>(row) + 1)) return;
    const int32_t p = row + 1, type = row_type(ctx, row);
    const bool kanji = type == kTypeKanjiText;
    const double ax = std::abs(ctx->disp_scale_x), ay = std::abs(ctx->disp_scale_y);
    const double width = ctx->c2[p] * ax, height = ctx->c3[p] * ay, pitch = ctx->c4[p] * ax;
    double angle = ctx->c5[p] / 1000000.0 + ctx->disp_angle;
    const double slant = ctx->c6[p] / 1000000.0;
    int alignment = ctx->c7[p] & 15;
    const int vertical = (ctx->c7[p] >> 8) & 1;
    upright_text_angle(ctx->disp_scale_x, ctx->disp_scale_y, angle, alignment, &angle, &alignment,
                       ctx->disp_text_angle_sw);
    double rough[8];
    calc_text_corners_rough(ctx, row, rough, 1);
    transform_corners(ctx, rough);
    if (!box_may_show(rough, ctx->dwxmin, ctx->dwymin, ctx->dwxmax, ctx->dwymax)) return;
    char text[kTextBuffer] = {};
    xlum_getchar(ctx, row, text, sizeof text);
    int slot = row_color(ctx, row);
    if (slot > 15) slot = 5;
    const int kind = kanji ? ctx->kanji_slot_kind[slot] : ctx->ank_slot_kind[slot];
    const int whole = kanji ? ctx->text_res[slot] : ctx->ank_res[slot];
    const int bk_mode =
        (kanji ? ctx->text_back[slot] : ctx->ank_back[slot]) ? platform::kOpaque : platform::kTransparent;
    const char* face = kanji ? ctx->kanji_font_name[slot] : ctx->ank_font_name[slot];
    const lumfont_entry* font = kanji ? ctx->kanji_slot_font[slot] : ctx->ank_slot_font[slot];
    const double w = ctx->disp_bscale * width, h = ctx->disp_bscale * height;
    bool box = (kanji ? ctx->draw_kanji_mode : ctx->draw_ank_mode) == 0 || ctx->disp_font_box_limit > h;
    if (kind != 0 && ctx->disp_font_box_limit > w) box = true;
    if (kind == 0 && (h > text_size_limit(ctx) || w > text_size_limit(ctx))) box = true;
    platform::ColorRef colour = 0;
    const auto previous =
        select_record_pen(ctx, dc, slot, row_style(ctx, row), row_layer(ctx, row), ctx->real_draw != 0, &colour);
    if (!previous) return;
    const int n = static_cast<int16_t>(ctx->c6[row] & 0xFFFF);
    const auto boxed = [&] {
        double c[8];
        if (text_box_corners(ctx, row, c, 1)) draw_text_box(ctx, dc, c, row, n);
    };
    const auto strokes = [&] {
        double c[8];
        if (!text_box_corners(ctx, row, c, 1)) return 1;
        auto draw = kanji ? draw_kanji_strokes : draw_ank_strokes;
        return draw(ctx, dc, font, text, c[0], c[1], width, height, pitch, angle, slant, alignment, slot, 0, row, -1,
                    vertical);
    };
    if (box) {
        boxed();
    } else if (kind == kKanjiFontFile) {
        const bool boxed_too = (ctx->box_kanji & 2) != 0;
        if (boxed_too) boxed();
        if ((ctx->box_kanji & 1) && !strokes() && !boxed_too) boxed();
    } else if (kind == kAnkFontFile) {
        if (!strokes()) boxed();
    } else {
        const auto gdi = [&](platform::ColorRef c) {
            draw_gdi_text(ctx, dc, rough[2], rough[3], width, height, pitch, angle, slant, c, text, face, bk_mode,
                          whole, type, slot, vertical);
        };
        if (ctx->disp_mode == 1) {
            gdi(static_cast<platform::ColorRef>(ctx->back_color));
        } else {
            if (ctx->box_kanji & 2) boxed();
            if (ctx->box_kanji & 1) gdi(colour);
        }
    }
    platform::select_pen(*dc, *previous);
    if (ctx->text_orgin_disp_sw == 1) draw_text_origin_mark(ctx, dc, row, 1);
}

}  // namespace kz::drawing2d
