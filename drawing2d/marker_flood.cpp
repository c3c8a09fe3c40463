// Marker floods: an arc record marked in its head row's c7 is no outline but a seed; the area of background colour
// around its centre is flooded in a grey of the mark's low four bits.
#include "drawing2d/device_mapping.h"
#include "drawing2d/paint.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/text_utils.h"
#include "platform/gdi.h"

namespace kz::drawing2d {

namespace {

// The view's border in the complement of the background, so that no flood runs past it.
void draw_view_border(drawing_context* ctx, device_context* dc, platform::ColorRef back) {
    const platform::Pen previous = platform::select_pen(*dc, platform::Pen{platform::kPsSolid, 1, back ^ 0xFFFFFF});
    const int previous_rop = platform::set_rop2(*dc, platform::kR2CopyPen);
    const int x = truncate_to_int32(ctx->dvxmax), y = truncate_to_int32(ctx->dvymax);
    platform::move_to(*dc, 0, 0);
    platform::line_to(*dc, x, 0);
    platform::line_to(*dc, x, y);
    platform::line_to(*dc, 0, y);
    platform::line_to(*dc, 0, 0);
    platform::set_rop2(*dc, previous_rop);
    platform::select_pen(*dc, previous);
}

bool shown_layer(const drawing_context* ctx, int32_t layer) {
    return ctx->disp_layer[layer] != 0 && (ctx->disp_layer_number == -1 || ctx->disp_layer_number == layer);
}

}  // namespace

int flood_markers(drawing_context* ctx, device_context* dc, int32_t start_row) {
    ctx->marker_paint = 0;
    const platform::ColorRef back = static_cast<platform::ColorRef>(ctx->back_color) & 0xFFFFFF;
    draw_view_border(ctx, dc, back);
    escape_pressed(1);
    int result = 1;
    walk_head_rows(ctx, start_row, [&](int32_t row) {
        if (escape_pressed(0)) {
            result = 0;
            return false;
        }
        ArcRecord arc;
        if (row_type(ctx, row) != kTypeArc || ctx->c7[row] == 0 || !shown_layer(ctx, row_layer(ctx, row)) ||
            !read_arc(ctx, row, &arc))
            return true;
        double x = 0, y = 0;
        display_transform_point(ctx, arc.cx, arc.cy, &x, &y);
        if (x < ctx->dwxmin || x > ctx->dwxmax || y < ctx->dwymin || y > ctx->dwymax) return true;
        const int grey = (ctx->c7[row] & 15) * 16;
        const platform::Brush previous =
            platform::select_brush(*dc, platform::Brush{false, platform::rgb(grey, grey, grey)});
        platform::ext_flood_fill(*dc, xlum_fn_mcx(ctx, x), xlum_fn_mcy(ctx, y), back, platform::kFloodSurface);
        platform::select_brush(*dc, previous);
        return true;
    });
    return result;
}

}  // namespace kz::drawing2d
