// The whole display and the single-record draw: device set-up and clip, raster rules, the line, text and halo
// passes over the row walker, and lines, arcs and type-15 outlines. Every setting changed is put back.
#include "drawing2d/drawing_display.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "drawing2d/clipping.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/link_lines.h"
#include "drawing2d/paint.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/record_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_utils.h"
#include "platform/device_context.h"

namespace kz::drawing2d {
namespace {
int wrap_colour(int32_t c) { return c < 0 ? 15 : c > 15 ? 0 : c; }

void restore_pen(device_context* dc, const std::optional<platform::Pen>& previous) {
    if (previous) platform::select_pen(*dc, *previous);
}

// The working widths of the lines (A) and of the white halos (B): from dots, or from millimetres when the switch
// is 1.
void working_widths(const drawing_context* ctx, int32_t millimetres, const int32_t dots[16], const double mm[16],
                    int32_t out[16]) {
    std::memcpy(out, dots, sizeof(int32_t) * 16);
    if (millimetres == 1)
        mili_widths_for_device(ctx, mm, out);
    else
        dot_widths_for_device(ctx, dots, out);
}
void line_widths(const drawing_context* ctx, int32_t out[16]) {
    working_widths(ctx, ctx->pen_width_sw, ctx->pen_width, ctx->pen_width_mili, out);
}
void white_widths(const drawing_context* ctx, int32_t out[16]) {
    working_widths(ctx, ctx->pen_white_width_sw, ctx->pen_width_dot_white, ctx->pen_width_mili_white, out);
}

void set_type_switches(drawing_context* ctx, bool lines, bool texts, bool outlines) {
    ctx->type_disp_sw[kTypeLine] = ctx->type_disp_sw[kTypeArc] = lines ? 1 : 0;
    ctx->type_disp_sw[kTypeText] = ctx->type_disp_sw[kTypeKanjiText] = texts ? 1 : 0;
    ctx->type_disp_sw[kTypeMultiRow] = outlines ? 1 : 0;
}

bool any_font_file_slot(const drawing_context* ctx) {
    for (int s = 0; s < kSlots; ++s)
        if (ctx->ank_slot_kind[s] != 0 || ctx->kanji_slot_kind[s] != 0) return true;
    return false;
}

// Texts are drawn without extended pens when a slot is a font file: the strokes of a glyph need plain pens.
template <class Draw>
auto without_extended_pens(drawing_context* ctx, bool when, Draw draw) {
    if (!when || ctx->ext_pen_sw != 1) return draw();
    delete_pens(ctx);
    ctx->ext_pen_sw = 0;
    auto result = draw();
    ctx->ext_pen_sw = 1;
    delete_pens(ctx);
    return result;
}

// On screen the edges of the int32 coordinate range show where a drawing can reach.
void draw_limit_box(drawing_context* ctx, device_context* dc) {
    if (ctx->print_device != 0) return;
    const platform::Pen previous = platform::select_pen(
        *dc, platform::Pen{platform::kPsSolid, 1, static_cast<platform::ColorRef>(ctx->lock_layer_color) & 0xFFFFFF});
    const int previous_rop = platform::set_rop2(*dc, platform::kR2CopyPen);
    const double lo = -2147483648.0, hi = 2147483647.0;
    const double edges[4][4] = {{lo, hi, hi, hi}, {hi, hi, hi, lo}, {hi, lo, lo, lo}, {lo, lo, lo, hi}};
    for (const auto& e : edges) {
        double x1 = e[0], y1 = e[1], x2 = e[2], y2 = e[3];
        if (!clip_to_window(ctx, &x1, &y1, &x2, &y2)) continue;
        platform::move_to(*dc, round_to_int32(xlum_fn_mcxr(ctx, x1)), round_to_int32(xlum_fn_mcyr(ctx, y1)));
        platform::line_to(*dc, round_to_int32(xlum_fn_mcxr(ctx, x2)), round_to_int32(xlum_fn_mcyr(ctx, y2)));
    }
    platform::select_pen(*dc, previous);
    platform::set_rop2(*dc, previous_rop);
}

bool halo_pass(int rop) { return rop == 13 || rop == 15; }

// A record's pen: colour number, line style and layer from its head row.
std::optional<platform::Pen> record_pen(drawing_context* ctx, device_context* dc, int32_t row, int solid,
                                        platform::ColorRef* colour = nullptr) {
    return select_record_pen(ctx, dc, row_color(ctx, row), row_style(ctx, row), row_layer(ctx, row), solid, colour);
}
}  // namespace

platform::GdiRect set_device_clip(const drawing_context* ctx, device_context* dc) {
    const platform::GdiRect rect{truncate_to_int32(ctx->dvxmin), truncate_to_int32(ctx->dvymin),
                                 truncate_to_int32(ctx->dvxmax), truncate_to_int32(ctx->dvymax)};
    platform::set_clip_rect(*dc, &rect);
    return rect;
}

void set_arc_limits(drawing_context* ctx) {
    ctx->overflow_flag = xlum_fn_mcxr(ctx, ctx->dwxmax) > 16000 || xlum_fn_mcyr(ctx, ctx->dwymax) > 16000 ? 1 : 0;
    ctx->arc_limit = ctx->print_device == 1 || ctx->print_device == 2 ? 2000 : 300;
}

int xlum_gdisp(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop, int32_t paint_flags) {
    if (!ctx || !dc) return 0;
    const int32_t saved_paint = ctx->paint_mode;
    ctx->paint_mode = paint_flags;
    const int result = on_device(ctx, dc, rop, [&] {
        measure_slot_fonts(ctx, dc);
        return ctx->layer_order_disp == 1 && ctx->disp_layer_number == -1 ? display_layer_order(ctx, dc, start_row, rop)
                                                                          : display_rows(ctx, dc, start_row, rop);
    });
    ctx->paint_mode = saved_paint;
    return result;
}

int on_device(drawing_context* ctx, device_context* dc, int32_t rop, const std::function<int()>& work) {
    const double scale = prepare_device(ctx, dc);
    set_device_clip(ctx, dc);
    const RasterState raster = begin_raster(ctx, dc, rop);
    const int result = work();
    end_raster(ctx, dc, raster);
    ctx->disp_bscale = scale;
    platform::set_clip_rect(*dc, nullptr);
    // The device is the caller's and may go once the display returns: nothing measures on it afterwards.
    ctx->current_dc = nullptr;
    return result;
}

int display_rows(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    if (ctx->paint_mode & 1) {
        const RasterState raster = begin_raster(ctx, dc, rop);
        if (paint_displayed_layers(ctx, dc, start_row)) paint_group_tags(ctx, dc, start_row, -1);
        end_raster(ctx, dc, raster);
    }
    int result = display_passes(ctx, dc, start_row, rop);
    if (ctx->marker_paint != 0 && result) result = flood_markers(ctx, dc, start_row);
    return result;
}

void finish_passes(drawing_context* ctx, const int32_t caller[16]) {
    std::memcpy(ctx->pen_width, caller, sizeof(int32_t) * 16);
    ctx->draw_limit = -1;
    delete_pens(ctx);
}

void prepare_passes(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t widths_a[16],
                    int32_t widths_b[16]) {
    delete_pens(ctx);
    draw_limit_box(ctx, dc);
    reset_dash_state(ctx);
    ctx->zero_length_count = ctx->stroke_count = 0;
    ctx->disp_start_row = start_row;
    platform::set_bk_mode(*dc, platform::kTransparent);
    std::fill(std::begin(ctx->type_disp_sw), std::end(ctx->type_disp_sw), 0);
    set_arc_limits(ctx);
    line_widths(ctx, widths_a);
    white_widths(ctx, widths_b);
}

int run_passes(drawing_context* ctx, device_context* dc, int32_t rop, const int32_t a[16], const int32_t b[16],
               const std::function<int()>& walk) {
    const bool halos = ctx->white_line_sw == 1 && halo_pass(rop);
    for (int c = 0; c < 16; ++c) ctx->pen_width[c] = halos && a[c] <= b[c] ? -1 : a[c];
    set_type_switches(ctx, true, false, true);
    int result = walk();
    if (result) {
        std::memcpy(ctx->pen_width, a, sizeof(int32_t) * 16);
        set_type_switches(ctx, false, true, false);
        result = without_extended_pens(ctx, any_font_file_slot(ctx), [&] { return walk(); });
    }
    if (!halos) return result;
    bool any = false;
    for (int c = 0; c < 16; ++c) {
        ctx->pen_width[c] = a[c] <= b[c] ? b[c] : -1;
        any |= ctx->pen_width[c] >= 1;
    }
    if (!any) return result;
    delete_pens(ctx);
    const int32_t line_color = ctx->disp_line_color, text_color = ctx->disp_text_color, mode = ctx->disp_mode;
    const int32_t forced = ctx->disp_pen_width;
    ctx->disp_line_color = ctx->disp_text_color = ctx->back_color;
    ctx->disp_pen_width = -1;
    ctx->disp_mode = platform::kR2CopyPen;
    const int previous_rop = platform::set_rop2(*dc, platform::kR2CopyPen);
    set_type_switches(ctx, true, false, false);
    if (result) result = walk();
    ctx->disp_line_color = line_color;
    ctx->disp_text_color = text_color;
    ctx->disp_mode = mode;
    ctx->disp_pen_width = forced;
    platform::set_rop2(*dc, previous_rop);
    delete_pens(ctx);
    for (int c = 0; c < 16; ++c) ctx->pen_width[c] = a[c] <= b[c] ? a[c] : -1;
    if (result) result = walk();
    delete_pens(ctx);
    return result;
}

int display_passes(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    int32_t a[16], b[16], caller[16];
    prepare_passes(ctx, dc, start_row, a, b);
    const RasterState raster = begin_raster(ctx, dc, rop);
    std::memcpy(caller, ctx->pen_width, sizeof caller);
    int result = run_passes(ctx, dc, rop, a, b, [&] { return walk_rows(ctx, dc); });
    finish_passes(ctx, caller);
    end_raster(ctx, dc, raster);
    if (result && ctx->link_line_disp_sw == 1) result = xlum_draw_link_line(ctx, dc, start_row, rop);
    return result;
}

bool row_is_drawn(const drawing_context* ctx, int32_t row) {
    if (row_code(ctx, row) <= 0) return false;
    const int32_t type = row_type(ctx, row), layer = row_layer(ctx, row);
    if (type < 2 || type > 15 || ctx->type_disp_sw[type] != 1 || !ctx->disp_layer[layer]) return false;
    if ((ctx->paint_mode & 1) && ctx->paint_layer_color[layer] == -2) return false;
    if (ctx->disp_layer_number != -1 && ctx->disp_layer_number != layer) return false;
    return color_pen_width(ctx, row_color(ctx, row)) > 0;
}

void draw_record(drawing_context* ctx, device_context* dc, int32_t row) {
    switch (row_type(ctx, row)) {
    case kTypeLine: draw_line_record(ctx, dc, row); break;
    case kTypeArc: draw_arc_record(ctx, dc, row); break;
    case kTypeText:
    case kTypeKanjiText:
        draw_text_record(ctx, dc, row);
        platform::set_bk_mode(*dc, platform::kTransparent);
        break;
    case kTypeMultiRow: draw_type15_record(ctx, dc, row); break;
    default: break;
    }
}

bool walk_should_stop(drawing_context* ctx) {
    if (escape_pressed(0)) return true;
    return ctx->draw_limit > 0 && ctx->stroke_count > ctx->draw_limit;
}

int walk_rows(drawing_context* ctx, device_context* dc) {
    mark_row_limits(ctx);
    platform::set_bk_mode(*dc, platform::kTransparent);
    escape_pressed(200);
    for (int32_t row = ctx->disp_start_row; row >= 0 && row < ctx->mat && row_code_u(ctx, row) != kEndCode; ++row) {
        if (walk_should_stop(ctx)) return 0;
        if (row_is_drawn(ctx, row)) draw_record(ctx, dc, row);
    }
    return 1;
}

void draw_line_record(drawing_context* ctx, device_context* dc, int32_t row) {
    double x1, y1, x2, y2;
    display_transform_point(ctx, ctx->c4[row], ctx->c5[row], &x1, &y1);
    display_transform_point(ctx, ctx->c6[row], ctx->c7[row], &x2, &y2);
    if (!clip_to_window(ctx, &x1, &y1, &x2, &y2)) return;
    const auto previous = record_pen(ctx, dc, row, ctx->real_draw != 0);
    if (!previous) return;
    if (ctx->real_draw) {
        const int32_t style = row_style(ctx, row);
        const bool continued = x1 == ctx->last_pen_x && y1 == ctx->last_pen_y && ctx->dash_style == style;
        if (!continued) ctx->dash_phase = 0, ctx->dash_index = 0;
        ctx->dash_style = style;
        draw_styled_segment(ctx, dc, xlum_fn_mcxr(ctx, x1), xlum_fn_mcyr(ctx, y1), xlum_fn_mcxr(ctx, x2),
                            xlum_fn_mcyr(ctx, y2), true, continued);
        ctx->last_pen_x = x2;
        ctx->last_pen_y = y2;
    } else {
        const int ax = truncate_to_int32(xlum_fn_mcxr(ctx, x1) + 0.5),
                  ay = truncate_to_int32(xlum_fn_mcyr(ctx, y1) + 0.5);
        const int bx = truncate_to_int32(xlum_fn_mcxr(ctx, x2) + 0.5),
                  by = truncate_to_int32(xlum_fn_mcyr(ctx, y2) + 0.5);
        if (ax == bx && ay == by) {
            draw_zero_length(ctx, dc, ax, ay);
        } else {
            platform::move_to(*dc, ax, ay);
            platform::line_to(*dc, bx, by);
            ++ctx->stroke_count;
        }
    }
    restore_pen(dc, previous);
}

void transform_arc(const drawing_context* ctx, double r, double start, double end, double* r_out, double* start_out,
                   double* end_out) {
    *r_out = r * std::max(std::abs(ctx->disp_scale_x), std::abs(ctx->disp_scale_y));
    if (ctx->disp_scale_y < 0) {
        const double s = -end, e = -start;
        start = s, end = e;
    }
    if (ctx->disp_scale_x < 0) {
        const double s = 180 - end, e = 180 - start;
        start = s, end = e;
    }
    start = wrap_angle(start + ctx->disp_angle, 0, 360);
    end = wrap_angle(end + ctx->disp_angle, 0, 360);
    if (start == end) start = 0, end = 360;
    if (start > end) end += 360;
    *start_out = start;
    *end_out = end;
}

void draw_arc_record(drawing_context* ctx, device_context* dc, int32_t row) {
    if (!row_in_columns(ctx, static_cast<int64_t>(row) + 1)) return;
    if (ctx->marker_paint == 1 && ctx->c7[row] != 0) return;
    double r, start, end, cx, cy;
    transform_arc(ctx, static_cast<uint32_t>(ctx->c6[row]), ctx->c6[row + 1] / 1000000.0, ctx->c7[row + 1] / 1000000.0,
                  &r, &start, &end);
    display_transform_point(ctx, arc_centre_x(ctx, row), arc_centre_y(ctx, row), &cx, &cy);
    if (cx + r <= ctx->dwxmin || cx - r >= ctx->dwxmax || cy + r <= ctx->dwymin || cy - r >= ctx->dwymax) return;
    int count = 2, inside[9] = {1};
    double angles[10] = {start, end};
    if (r > 0) {
        if (!xfc_arc_clip_by_rect(ctx->dwxmin, ctx->dwymin, ctx->dwxmax, ctx->dwymax, cx, cy, r, start, end, &count,
                                  inside, angles))
            return;
    }
    const int32_t style = row_style(ctx, row);
    ctx->dash_phase = 0;
    ctx->dash_index = 0;
    ctx->dash_style = style;
    const int x = xlum_fn_mcx(ctx, cx), y = xlum_fn_mcy(ctx, cy);
    const int radius = round_to_int32(xlum_fn_mcl(ctx, r));
    if (radius < 2) {
        const auto previous = record_pen(ctx, dc, row, 1);
        if (!previous) return;
        if (radius == 0) {
            platform::move_to(*dc, x, y), platform::line_to(*dc, x + 2, y);
            platform::move_to(*dc, x, y + 1), platform::line_to(*dc, x + 2, y + 1);
        } else {
            platform::move_to(*dc, x - 1, y - 1), platform::line_to(*dc, x + 2, y + 2);
            platform::move_to(*dc, x - 1, y + 1), platform::line_to(*dc, x + 2, y - 2);
        }
        ctx->stroke_count += 2;
        restore_pen(dc, previous);
        return;
    }
    const bool by_gdi = ctx->overflow_flag == 0 && (style == 1 || ctx->real_draw != 1) && radius < ctx->arc_limit;
    for (int i = 0; i + 1 < count; ++i) {
        if (!inside[i]) continue;
        const auto previous = record_pen(ctx, dc, row, by_gdi ? 0 : 1);
        if (!previous) return;
        if (by_gdi)
            draw_gdi_arc(ctx, dc, x, y, radius, angles[i], angles[i + 1], ctx->fill_circle_layer[row_layer(ctx, row)]);
        else
            draw_segmented_arc(ctx, dc, x, y, radius, angles[i], angles[i + 1]);
        restore_pen(dc, previous);
    }
}

void draw_type15_record(drawing_context* ctx, device_context* dc, int32_t row) {
    double xs[6], ys[6];
    if (!type15_corners(ctx, row, xs, ys)) return;
    const auto previous = record_pen(ctx, dc, row, ctx->real_draw != 0);
    if (!previous) return;
    for (int i = 0; i < 4; ++i) {
        double x1 = xs[i], y1 = ys[i], x2 = xs[i + 1], y2 = ys[i + 1];
        if (!ctx->real_draw) {
            draw_window_segment(ctx, dc, x1, y1, x2, y2);
            continue;
        }
        if (!clip_to_window(ctx, &x1, &y1, &x2, &y2)) continue;
        ctx->dash_style = row_style(ctx, row);
        draw_styled_segment(ctx, dc, xlum_fn_mcx(ctx, x1), xlum_fn_mcy(ctx, y1), xlum_fn_mcx(ctx, x2),
                            xlum_fn_mcy(ctx, y2), true, false);
        ctx->last_pen_x = x2;
        ctx->last_pen_y = y2;
    }
    restore_pen(dc, previous);
}

int xlum_gdisp_one(drawing_context* ctx, device_context* dc, int32_t row, int32_t rop) {
    if (!ctx || row < 0 || row > ctx->mat) return 0;
    if (!dc) return 1;
    int32_t caller[16];
    std::memcpy(caller, ctx->pen_width, sizeof caller);
    int32_t working[16];
    line_widths(ctx, working);
    std::memcpy(ctx->pen_width, working, sizeof working);
    const int32_t w = ctx->pen_width[wrap_colour(row_color(ctx, row))];
    const bool screen = ctx->print_device == 0;
    const bool forced_none = ctx->disp_pen_width >= 0 && ctx->disp_pen_width < 1 && !(screen && w == 0);
    if ((screen && w < 0) || (!screen && w < 1) || forced_none) {
        std::memcpy(ctx->pen_width, caller, sizeof caller);
        return 1;
    }
    reset_dash_state(ctx);
    ctx->disp_layer[0] = ctx->disp_layer[255] = 1;
    set_arc_limits(ctx);
    delete_pens(ctx);
    const double scale = prepare_device(ctx, dc);
    set_device_clip(ctx, dc);
    const RasterState raster = begin_raster(ctx, dc, rop);
    platform::set_bk_mode(*dc, platform::kTransparent);
    const int32_t type = row_type(ctx, row);
    if (row_code(ctx, row) > 0)
        without_extended_pens(ctx, type == kTypeText || type == kTypeKanjiText, [&] {
            draw_record(ctx, dc, row);
            return 0;
        });
    std::memcpy(ctx->pen_width, caller, sizeof caller);
    delete_pens(ctx);
    end_raster(ctx, dc, raster);
    ctx->disp_bscale = scale;
    platform::set_clip_rect(*dc, nullptr);
    ctx->current_dc = nullptr;
    return 1;
}

}  // namespace kz::drawing2d
