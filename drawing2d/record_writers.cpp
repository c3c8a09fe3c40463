// Line and arc records, and the writers that apply given attributes for one record through the attribute stack.
// Coordinates are rounded half away from zero with saturation; an arc centre beyond int32 is split into a high
// and a low part.
#include <algorithm>
#include <cmath>

#include "drawing2d/active_attributes.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
constexpr double kTwo31 = 2147483648.0;
// An arc centre coordinate is high x 2^31 + low with int32 parts.
constexpr double kCentreLow = -4611686018427387904.0, kCentreHigh = 4611686016279904256.0;

int32_t head_code(int32_t layer, int32_t type) { return (layer & 0xFF) | ((type & 0xFF) << 8); }
int32_t attribute_cell(int32_t style, int32_t colour) { return (style & 0xFF) | ((colour & 0xFF) << 8); }

// After a record was written over the end code, the data must still end right behind it.
void keep_data_end(drawing_context* ctx, bool was_end, int32_t after) {
    if (was_end && after < ctx->mat) {
        ctx->c1[after] = kEndCode;
        ctx->data_end = after;
    }
}
}  // namespace

int32_t angle_to_millionths(double degrees) { return truncate_to_int32(degrees * 1000000.0 + 0.5); }

void store_arc_centre(drawing_context* ctx, int32_t row, double cx, double cy) {
    // Beyond what a high and a low part can hold the centre saturates, as every other coordinate does.
    auto held = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(v, kCentreLow, kCentreHigh); };
    cx = held(cx);
    cy = held(cy);
    double hx = std::trunc(cx / kTwo31), hy = std::trunc(cy / kTwo31);
    ctx->c4[row] = round_to_int32(cx - hx * kTwo31);
    ctx->c5[row] = round_to_int32(cy - hy * kTwo31);
    ctx->c4[row + 1] = truncate_to_int32(hx);
    ctx->c5[row + 1] = truncate_to_int32(hy);
}

double arc_centre_x(const drawing_context* ctx, int32_t row) {
    return static_cast<double>(ctx->c4[row + 1]) * kTwo31 + ctx->c4[row];
}
double arc_centre_y(const drawing_context* ctx, int32_t row) {
    return static_cast<double>(ctx->c5[row + 1]) * kTwo31 + ctx->c5[row];
}

int32_t xlum_line_set_d(drawing_context* ctx, device_context* dc, int32_t row, int32_t layer, int32_t group,
                        int32_t colour, int32_t style, double x1, double y1, double x2, double y2, int refuse_zero) {
    int32_t ix1 = round_to_int32(x1), iy1 = round_to_int32(y1), ix2 = round_to_int32(x2), iy2 = round_to_int32(y2);
    if (row < 1) {
        int32_t reserved = reserve_rows(ctx, row, 1);
        if (reserved < 0) return row == INT32_MIN ? INT32_MAX : (row < 0 ? -row : row);
        row = reserved;
    } else {
        if (row >= ctx->mat) return row;
        note_rows_changed(ctx, row);
    }
    bool was_end = row_code_u(ctx, row) == kEndCode;
    ctx->c1[row] = 0;
    if (refuse_zero == 1 && ix1 == ix2 && iy1 == iy2) {
        keep_data_end(ctx, was_end, row + 1);
        return row;
    }
    ctx->c1[row] = head_code(layer, kTypeLine);
    ctx->c2[row] = group & 0xFFFF;
    ctx->c3[row] = attribute_cell(style, colour);
    ctx->c4[row] = ix1;
    ctx->c5[row] = iy1;
    ctx->c6[row] = ix2;
    ctx->c7[row] = iy2;
    keep_data_end(ctx, was_end, row + 1);
    if (dc) xlum_gdisp_one(ctx, dc, row, 15);
    return row;
}

int32_t xlum_line_set(drawing_context* ctx, int32_t row, double x1, double y1, double x2, double y2) {
    return xlum_line_set_d(ctx, nullptr, row, ctx->active_layer, ctx->active_group, ctx->active_color,
                           ctx->active_style, x1, y1, x2, y2, 0);
}

int set_arc_rows(drawing_context* ctx, int32_t row, int32_t layer, int32_t group, int32_t colour, int32_t style,
                 double cx, double cy, double r, double start, double end) {
    if (row < 0 || row + 1 >= ctx->mat) return 0;
    bool was_end = row_code_u(ctx, row) == kEndCode || row_code_u(ctx, row + 1) == kEndCode;
    ctx->c1[row] = 0;
    ctx->c1[row + 1] = 0;
    note_rows_changed(ctx, row);
    if (!(cx >= kCentreLow && cx <= kCentreHigh) || !(cy >= kCentreLow && cy <= kCentreHigh) || !(r <= 2147483647.0) ||
        std::isnan(r)) {
        keep_data_end(ctx, was_end, row + 2);
        return 0;
    }
    if (r < 0.5) r = 1;
    ctx->c1[row] = head_code(layer, kTypeArc);
    ctx->c2[row] = group & 0xFFFF;
    ctx->c3[row] = attribute_cell(style, colour);
    ctx->c6[row] = truncate_to_int32(r + 0.5);
    ctx->c7[row] = 0;
    ctx->c1[row + 1] = kContinuationCode;
    ctx->c2[row + 1] = 0;
    ctx->c3[row + 1] = 0;
    store_arc_centre(ctx, row, cx, cy);
    ctx->c6[row + 1] = angle_to_millionths(start);
    ctx->c7[row + 1] = angle_to_millionths(end);
    keep_data_end(ctx, was_end, row + 2);
    return 1;
}

int32_t xlum_en_set(drawing_context* ctx, int32_t row, double cx, double cy, double r, double start, double end) {
    if (row < 1) {
        int32_t reserved = reserve_rows(ctx, row, 2);
        if (reserved < 0) return row;
        row = reserved;
    }
    if (start == end) {
        start = 0;
        end = 360;
    }
    set_arc_rows(ctx, row, ctx->active_layer, ctx->active_group, ctx->active_color, ctx->active_style, cx, cy, r, start,
                 end);
    return row;
}

int32_t xlum_set_line(drawing_context* ctx, device_context* dc, int32_t draw_mode, int32_t row, double x1, double y1,
                      double x2, double y2, int32_t layer, int32_t group, int32_t colour, int32_t style) {
    xlum_push_pop_active(ctx, 1, layer, group, colour, style);
    row = xlum_line_set(ctx, row, x1, y1, x2, y2);
    xlum_push_pop_active(ctx, -1, 0, 0, 0, 0);
    if (dc) xlum_gdisp_one(ctx, dc, row, draw_mode);
    return row;
}

int32_t xlum_set_arc(drawing_context* ctx, device_context* dc, int32_t draw_mode, int32_t row, double cx, double cy,
                     double r, double start, double end, int32_t layer, int32_t group, int32_t colour, int32_t style) {
    xlum_push_pop_active(ctx, 1, layer, group, colour, style);
    row = xlum_en_set(ctx, row, cx, cy, r, start, end);
    xlum_push_pop_active(ctx, -1, 0, 0, 0, 0);
    if (dc) xlum_gdisp_one(ctx, dc, row, draw_mode);
    return row;
}

}  // namespace kz::drawing2d
