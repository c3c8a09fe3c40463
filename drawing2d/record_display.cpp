// Layer visibility, the display transform and type-15 outlines, for the display as for searches and extents.
#include "drawing2d/record_display.h"

#include <cmath>

#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"

namespace kz::drawing2d {

int xlum_disp_or_not(const drawing_context* ctx, int32_t row) {
    if (!row_in_columns(ctx, row)) return 0;
    return ctx->disp_layer[row_layer(ctx, row)] ? 1 : 0;
}

void display_transform_point(const drawing_context* ctx, double x, double y, double* out_x, double* out_y) {
    double ox = ctx->disp_origin_x, oy = ctx->disp_origin_y;
    double sx = ctx->disp_scale_x, sy = ctx->disp_scale_y, c = ctx->disp_cos, s = ctx->disp_sin;
    *out_x = ox + ctx->display_offset_x + (x - ox) * sx * c + (y - oy) * sy * s;
    *out_y = oy + ctx->display_offset_y - (x - ox) * sx * s + (y - oy) * sy * c;
}

int type15_corners(const drawing_context* ctx, int32_t row, double xs[6], double ys[6]) {
    if (!row_in_columns(ctx, row) || !row_in_columns(ctx, static_cast<int64_t>(row) + 1)) return 0;
    double x1 = ctx->c6[row], y1 = ctx->c7[row], x2 = ctx->c6[row + 1], y2 = ctx->c7[row + 1];
    double angle = ctx->c4[row + 1] / 1000000.0, ox = ctx->c4[row], oy = ctx->c5[row];
    const double px[4] = {x1, x2, x2, x1}, py[4] = {y1, y1, y2, y2};
    for (int i = 0; i < 4; ++i) {
        double rx = 0, ry = 0;
        rotate_point_deg(px[i], py[i], angle, &rx, &ry);
        display_transform_point(ctx, rx + ox, ry + oy, &xs[i], &ys[i]);
    }
    xs[4] = xs[0];
    ys[4] = ys[0];
    display_transform_point(ctx, ox, oy, &xs[5], &ys[5]);
    return 1;
}

}  // namespace kz::drawing2d
