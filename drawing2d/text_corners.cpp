// Text outlines for selection, picking, extents and files. Stored values serve stroke-font texts; system-font
// texts may ask for a width estimate or a measurement, and their slant is drawn at 8 degrees whatever is stored.
#include "drawing2d/text_corners.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "drawing2d/lumfont.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "platform/device_context.h"
#include "platform/gdi.h"

namespace kz::drawing2d {
namespace {
struct TextParams {
    double x, y, width, height, pitch, angle, slant;
    int n, alignment, vertical, slot, kind, measure;
    bool kanji;
};

bool read_text(const drawing_context* ctx, int32_t row, TextParams* t) {
    if (!row_in_columns(ctx, row) || !row_in_columns(ctx, static_cast<int64_t>(row) + 1)) return false;
    int32_t type = row_type(ctx, row);
    if (type != kTypeText && type != kTypeKanjiText) return false;
    int32_t p = row + 1;
    t->x = ctx->c4[row];
    t->y = ctx->c5[row];
    t->n = static_cast<int16_t>(ctx->c6[row] & 0xFFFF);
    t->width = ctx->c2[p];
    t->height = ctx->c3[p];
    t->pitch = ctx->c4[p];
    t->angle = ctx->c5[p] / 1000000.0;
    t->slant = ctx->c6[p] / 1000000.0;
    t->alignment = ctx->c7[p] & 15;
    t->vertical = (ctx->c7[p] >> 8) & 1;
    t->slot = row_color(ctx, row);
    if (t->slot > 15) t->slot = 5;
    t->kanji = type == kTypeKanjiText;
    t->kind = t->kanji ? ctx->kanji_slot_kind[t->slot] : ctx->ank_slot_kind[t->slot];
    t->measure = t->kanji ? ctx->text_res[t->slot] : ctx->ank_res[t->slot];
    return true;
}

void build(const TextParams& t, double out[8]) {
    text_corners(t.x, t.y, t.n, t.width, t.height, t.pitch, t.angle, t.slant, t.alignment, out);
}
}  // namespace

void text_corners(double x, double y, int n, double width, double height, double pitch, double angle, double slant,
                  int alignment, double out[8]) {
    double length = (n - 1) * pitch + n * width;
    double dx = 0, dy = 0;
    switch (alignment & 3) {
    case 1: dx = -length / 2; break;
    case 2: dx = -length; break;
    default: break;
    }
    switch (alignment & 12) {
    case 4: dy = height / 2; break;
    case 8: dy = height; break;
    default: break;
    }
    double px[4] = {dx, dx, dx + length, dx + length}, py[4] = {dy, dy - height, dy - height, dy};
    if (slant != 0) {
        double s = normalize_degrees(slant);
        if (s >= 80 && s < 180) s = 80;
        if (s >= 180 && s < 280) s = 280;
        double shift = std::tan(s * M_PI / 180.0) * height;
        px[1] += shift;
        px[2] += shift;
    }
    for (int i = 0; i < 4; ++i) {
        double rx = 0, ry = 0;
        rotate_point_deg(px[i], py[i], angle, &rx, &ry);
        out[2 * i] = rx + x;
        out[2 * i + 1] = ry + y;
    }
}

int calc_text_corners_stored(const drawing_context* ctx, int32_t row, double out[8]) {
    TextParams t;
    if (!read_text(ctx, row, &t)) return 0;
    build(t, out);
    return 1;
}

int calc_text_corners_rough(const drawing_context* ctx, int32_t row, double out[8], int mode) {
    TextParams t;
    if (!read_text(ctx, row, &t)) return -1;
    if (t.vertical) std::swap(t.width, t.height);
    if (t.kind == kWindowsFont) {
        if (t.slant != 0) t.slant = 8;
        if (t.measure) {
            t.width = t.height * (mode == 0 ? 0.3 : mode == 1 ? 1.0 : 0.5);
            t.pitch = 0;
            build(t, out);
            return 0;
        }
    }
    build(t, out);
    return 1;
}

int calc_text_corners(drawing_context* ctx, int32_t row, double out[8], const char* string, bool with_slant) {
    TextParams t;
    if (!read_text(ctx, row, &t)) return 0;
    if (!with_slant) t.slant = 0;
    if (t.kind == kWindowsFont) {
        if (t.slant != 0) t.slant = 8;
        if (t.measure) {
            char own[kTextBuffer];
            if (!string) {
                xlum_getchar(ctx, row, own, sizeof own);
                string = own;
            }
            int pixel = static_cast<int>(std::lround(t.height * ctx->disp_bscale));
            pixel = pixel < 10 ? 10 : pixel > 50 ? 50 : pixel;
            int bytes = static_cast<int>(std::strlen(string));
            if (bytes > 0 && static_cast<long>(bytes) * pixel > 16000) pixel = 16000 / bytes;
            const char* face = t.kanji ? ctx->kanji_font_name[t.slot] : ctx->ank_font_name[t.slot];
            double ratio = measure_text_with_font(ctx->current_dc, face, string, pixel, 0, ctx->pen_bold[t.slot],
                                                  ctx->lf_height_type, 0);
            t.width = t.n > 0 ? ratio * t.height : 0;
            t.n = 1;
            t.pitch = 0;
        }
    }
    build(t, out);
    return 1;
}

int xlum_get_text_4point(drawing_context* ctx, int32_t row, double* x1, double* y1, double* x2, double* y2, double* x3,
                         double* y3, double* x4, double* y4) {
    double c[8] = {};
    calc_text_corners(ctx, row, c, nullptr);
    double* outs[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    for (int i = 0; i < 8; ++i)
        if (outs[i]) *outs[i] = c[i];
    return 0;
}

namespace {
// GetTextExtentPoint32 with the font selected into the device context, which keeps its own font.
bool measure_on_device(device_context* dc, const char* face, const char* text, int pixel_height, int width, int bold,
                       int height_type, int italic, double* out) {
    platform::LogFont font;
    font.height = height_type == 1 ? -pixel_height : pixel_height;
    font.width = width;
    font.weight = bold == 1 ? 700 : 400;
    font.italic = italic != 0 ? 1 : 0;
    font.char_set = 1;
    font.quality = 3;
    std::snprintf(font.face_name, sizeof font.face_name, "%s", face ? face : "");
    const platform::LogFont previous = platform::select_font(*dc, font);
    const platform::GdiSize size = platform::text_extent(*dc, text);
    platform::select_font(*dc, previous);
    *out = size.cx;
    return size.cy > 0;
}

bool measure_with_desktop(device_context* dc, const char* face, const char* text, int pixel_height, int width, int bold,
                          int height_type, int italic, double* out) {
    if (dc && measure_on_device(dc, face, text, pixel_height, width, bold, height_type, italic, out)) return true;
    // The desktop's device context: a memory one, which measures as well as any.
    static const std::unique_ptr<platform::DeviceContext> desktop = platform::DeviceContext::create_memory();
    return measure_on_device(desktop.get(), face, text, pixel_height, width, bold, height_type, italic, out);
}

TextWidthMeasurer g_measurer = measure_with_desktop;
}  // namespace

TextWidthMeasurer set_text_width_measurer(TextWidthMeasurer measurer) {
    TextWidthMeasurer previous = g_measurer;
    g_measurer = measurer ? measurer : measure_with_desktop;
    return previous;
}

double measure_text_ratio(device_context* dc, const char* string, const char* face, int height, int width, int bold,
                          int height_type, int italic) {
    const char* text = string ? string : "G";
    double w = 0;
    if (height != 0 && g_measurer(dc, face, text, height, width, bold, height_type, italic, &w)) return w / height;
    bool wide = sjis_char_count(text) != static_cast<int>(std::strlen(text));
    return static_cast<double>(std::strlen(text)) * (wide ? 0.9 : 0.7);
}

double measure_text_with_font(device_context* dc, const char* face, const char* string, int pixel_height, int width,
                              int bold, int height_type, int italic) {
    return measure_text_ratio(dc, string, face, pixel_height, width, bold == 1 ? 1 : 0, height_type, italic);
}

}  // namespace kz::drawing2d
