// The exported forwarders of the device mapping, the display and the paint.
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/link_lines.h"
#include "drawing2d/paint.h"
#include "drawing2d/zolt_exports.h"
#include "drawing2d/zolt_forward.h"

namespace kz::drawing2d {
namespace {
using Hint = LockedDrawing::Hint;
}  // namespace

int zolt_make_window_d(drawing_handle h, int32_t align, double x1, double y1, double x2, double y2, double dx1,
                       double dy1, double dx2, double dy2) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        return xlum_make_window_d(c, align, x1, y1, x2, y2, dx1, dy1, dx2, dy2);
    });
}

int zolt_disp_bscale(drawing_handle h, device_context* dc, const char* key) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_disp_bscale(c, dc, key); });
}

int32_t zolt_fn_mcx(drawing_handle h, double x) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_fn_mcx(c, x); });
}
int32_t zolt_fn_mcy(drawing_handle h, double y) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_fn_mcy(c, y); });
}
double zolt_fn_mcxr(drawing_handle h, double x) {
    return forward(h, 0.0, Hint::keep, [&](drawing_context* c) { return xlum_fn_mcxr(c, x); });
}
double zolt_fn_mcyr(drawing_handle h, double y) {
    return forward(h, 0.0, Hint::keep, [&](drawing_context* c) { return xlum_fn_mcyr(c, y); });
}
double zolt_fn_mcl(drawing_handle h, double length) {
    return forward(h, 0.0, Hint::keep, [&](drawing_context* c) { return xlum_fn_mcl(c, length); });
}
double zolt_fn_gcx(drawing_handle h, double dx) {
    return forward(h, 0.0, Hint::keep, [&](drawing_context* c) { return xlum_fn_gcx(c, dx); });
}
double zolt_fn_gcy(drawing_handle h, double dy) {
    return forward(h, 0.0, Hint::keep, [&](drawing_context* c) { return xlum_fn_gcy(c, dy); });
}

int zolt_gdisp(drawing_handle h, device_context* dc, int32_t row, int32_t rop, int32_t paint_flags) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_gdisp(c, dc, row, rop, paint_flags); });
}
int zolt_gdisp_one(drawing_handle h, device_context* dc, int32_t row, int32_t rop) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_gdisp_one(c, dc, row, rop); });
}

int zolt_paint_all_layer(drawing_handle h, device_context* dc, int32_t row, int32_t rop) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_paint_all_layer(c, dc, row, rop); });
}
int zolt_paint_layer(drawing_handle h, device_context* dc, int32_t row, int32_t rop, int32_t first_layer,
                     int32_t last_layer, int32_t colour) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        return xlum_paint_layer(c, dc, row, rop, first_layer, last_layer, colour);
    });
}
int zolt_paint_group(drawing_handle h, device_context* dc, int32_t row, int32_t rop, int32_t group) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_paint_group(c, dc, row, rop, group); });
}
int zolt_gdisp_paint_by_zudat(drawing_handle h, device_context* dc, int32_t row, int32_t rop) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_gdisp_paint_by_zudat(c, dc, row, rop); });
}
int zolt_gdisp_paint_by_marker(drawing_handle h, device_context* dc, int32_t row, int32_t rop) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_gdisp_paint_by_marker(c, dc, row, rop); });
}
int zolt_draw_text_origin(drawing_handle h, device_context* dc, int32_t row, int32_t rop) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_draw_text_origin(c, dc, row, rop); });
}

}  // namespace kz::drawing2d
