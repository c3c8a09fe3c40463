// Temporary: the display calls these before the paint of closed outlines, marker floods and link lines exist;
// until then nothing is painted and every call reports that it completed.
#include "drawing2d/paint.h"

namespace kz::drawing2d {

int paint_displayed_layers(drawing_context*, device_context*, int32_t) { return 0; }
int paint_layers_ordered(drawing_context*, device_context*, int32_t, int32_t, int32_t) { return 1; }
int paint_group_tags(drawing_context*, device_context*, int32_t, int32_t) { return 1; }
int flood_markers(drawing_context* ctx, device_context*, int32_t) {
    ctx->marker_paint = 0;
    return 1;
}
int xlum_draw_link_line(drawing_context*, device_context*, int32_t, int32_t) { return 1; }

}  // namespace kz::drawing2d
