// The paint operations callers run on their own, each framed like a display.
#include "drawing2d/drawing_display.h"
#include "drawing2d/paint.h"

namespace kz::drawing2d {

int xlum_paint_all_layer(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    if (!ctx || !dc) return 0;
    on_device(ctx, dc, rop, [&] { return paint_displayed_layers(ctx, dc, start_row); });
    return 1;
}

int xlum_paint_layer(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop, int32_t first_layer,
                     int32_t last_layer, int32_t colour) {
    if (!ctx || !dc) return 0;
    return on_device(ctx, dc, rop,
                     [&] { return paint_layer_range(ctx, dc, start_row, first_layer, last_layer, colour); });
}

int xlum_paint_group(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop, int32_t group) {
    if (!ctx || !dc) return 0;
    return on_device(ctx, dc, rop, [&] { return paint_group_tags(ctx, dc, start_row, group); });
}

int xlum_gdisp_paint_by_zudat(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    return xlum_paint_group(ctx, dc, start_row, rop, -1);
}

int xlum_gdisp_paint_by_marker(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop) {
    if (!ctx || !dc) return 0;
    return on_device(ctx, dc, rop, [&] { return flood_markers(ctx, dc, start_row); });
}

}  // namespace kz::drawing2d
