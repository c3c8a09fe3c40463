// Link lines, text origin marks and the row helpers of the cuts (see link_lines.h).
#include "drawing2d/link_lines.h"

#include <vector>

#include "drawing2d/device_mapping.h"
#include "drawing2d/paint.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/text_utils.h"
#include "platform/gdi.h"

namespace kz::drawing2d {

namespace {

uint32_t high_half(int32_t cell) { return static_cast<uint32_t>(cell) & 0xFFFF0000u; }
int32_t with_high_half(int32_t cell, uint32_t high) {
    return static_cast<int32_t>((static_cast<uint32_t>(cell) & 0xFFFFu) | high);
}

uint32_t link_number(const drawing_context* ctx, int32_t row) { return static_cast<uint32_t>(ctx->c3[row]) >> 16; }

bool is_text(int32_t type) { return type == kTypeText || type == kTypeKanjiText; }

bool layer_shown(const drawing_context* ctx, int32_t layer) {
    return ctx->disp_layer[layer] != 0 && (ctx->disp_layer_number == -1 || ctx->disp_layer_number == layer);
}

// The row of the line that holds each link number (-1: none). A line whose number an earlier line holds loses it,
// so that a text labels one line only.
std::vector<int32_t> link_table(drawing_context* ctx, int32_t start_row) {
    std::vector<int32_t> lines(66000, -1);
    walk_head_rows(ctx, start_row, [&](int32_t row) {
        const uint32_t link = link_number(ctx, row);
        if (row_type(ctx, row) != kTypeLine || link == 0) return true;
        if (lines[link] == -1)
            lines[link] = row;
        else
            ctx->c3[row] = with_high_half(ctx->c3[row], 0);
        return true;
    });
    return lines;
}

}  // namespace

int xlum_draw_link_line(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    if (!ctx || !dc) return 0;
    mark_row_limits(ctx);
    escape_pressed(200);
    const RasterState raster = begin_raster(ctx, dc, rop);
    const auto previous = select_record_pen(ctx, dc, 7, 1, 0, ctx->real_draw != 0 ? 1 : 0);
    const std::vector<int32_t> lines = link_table(ctx, start_row);
    int result = 1;
    if (previous) {
        walk_head_rows(ctx, start_row, [&](int32_t row) {
            if (escape_pressed(0) || (ctx->draw_limit > 0 && ctx->stroke_count > ctx->draw_limit)) {
                result = 0;
                return false;
            }
            const uint32_t link = link_number(ctx, row);
            if (!is_text(row_type(ctx, row)) || link == 0 || lines[link] == -1) return true;
            const int32_t line = lines[link];
            if (!layer_shown(ctx, row_layer(ctx, row)) && !layer_shown(ctx, row_layer(ctx, line))) return true;
            double corners[8];
            if (calc_text_corners_rough(ctx, row, corners, 0) < 0) return true;
            double x1, y1, x2, y2;
            display_transform_point(ctx, (corners[0] + corners[4]) / 2, (corners[1] + corners[5]) / 2, &x1, &y1);
            display_transform_point(ctx, (ctx->c4[line] + 0.0 + ctx->c6[line]) / 2,
                                    (ctx->c5[line] + 0.0 + ctx->c7[line]) / 2, &x2, &y2);
            draw_window_segment(ctx, dc, x1, y1, x2, y2);
            return true;
        });
        platform::select_pen(*dc, *previous);
    }
    end_raster(ctx, dc, raster);
    return result;
}

bool draw_text_origin_mark(drawing_context* ctx, device_context* dc, int32_t row, int solid) {
    const auto previous = select_record_pen(ctx, dc, 7, 1, row_layer(ctx, row), solid);
    if (!previous) return false;
    double ox, oy;
    display_transform_point(ctx, ctx->c4[row], ctx->c5[row], &ox, &oy);
    const int x = xlum_fn_mcx(ctx, ox), y = xlum_fn_mcy(ctx, oy);
    const double s = ctx->text_orgin_disp_size;
    const platform::Brush brush = platform::select_brush(*dc, platform::stock_null_brush());
    platform::ellipse(*dc, round_to_int32(x - s), round_to_int32(y - s), round_to_int32(x + s + 1),
                      round_to_int32(y + s + 1));
    platform::select_brush(*dc, brush);
    platform::select_pen(*dc, *previous);
    ctx->stroke_count += 2;
    return true;
}

int xlum_draw_text_origin(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    if (!ctx || !dc) return 0;
    mark_row_limits(ctx);
    escape_pressed(200);
    int32_t mode = rop, colour = 0;
    set_rop_mode(ctx, dc, &mode, &colour, 1);
    walk_head_rows(ctx, start_row, [&](int32_t row) {
        if (escape_pressed(0)) return false;
        const int32_t layer = row_layer(ctx, row);
        if (!is_text(row_type(ctx, row)) || !layer_shown(ctx, layer) || color_pen_width(ctx, row_color(ctx, row)) <= 0)
            return true;
        double ox, oy;
        display_transform_point(ctx, ctx->c4[row], ctx->c5[row], &ox, &oy);
        const int x = xlum_fn_mcx(ctx, ox), y = xlum_fn_mcy(ctx, oy);
        if (x >= ctx->dvxmin && x <= ctx->dvxmax && y >= ctx->dvymin && y <= ctx->dvymax)
            draw_text_origin_mark(ctx, dc, row, ctx->real_draw != 0 ? 1 : 0);
        return true;
    });
    set_rop_mode(ctx, dc, &mode, &colour, 0);
    return 1;
}

void copy_link_attributes(const drawing_context* source, int32_t source_row, drawing_context* target,
                          int32_t target_row) {
    if (!source || !target || !row_in_columns(source, source_row) || !row_in_columns(target, target_row)) return;
    target->c3[target_row] = with_high_half(target->c3[target_row], high_half(source->c3[source_row]));
    const int32_t type = row_type(source, source_row);
    if ((type == kTypeText || type == kTypeKanjiText) && row_in_columns(source, int64_t{source_row} + 1) &&
        row_in_columns(target, int64_t{target_row} + 1))
        target->c7[target_row + 1] = with_high_half(target->c7[target_row + 1], high_half(source->c7[source_row + 1]));
}

}  // namespace kz::drawing2d
