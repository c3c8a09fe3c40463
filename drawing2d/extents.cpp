// Extents of a row range over the records that pass the search filter: line ends, arc ends and the axis points an
// arc passes, text corners and type-15 outlines. An empty range gives a fixed large box.
#include <cfloat>
#include <cmath>
#include <initializer_list>

#include "drawing2d/plane_geometry.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/search_filter.h"
#include "drawing2d/text_corners.h"

namespace kz::drawing2d {

bool read_arc(const drawing_context* ctx, int32_t row, ArcRecord* arc) {
    if (!row_in_columns(ctx, row) || row + 1 > ctx->mat) return false;
    arc->cx = arc_centre_x(ctx, row);
    arc->cy = arc_centre_y(ctx, row);
    arc->r = ctx->c6[row];
    arc->start = ctx->c6[row + 1] / 1000000.0;
    arc->end = ctx->c7[row + 1] / 1000000.0;
    return true;
}

int extend_box(double x, double y, double* xmin, double* ymin, double* xmax, double* ymax) {
    if (x < *xmin) *xmin = x;
    if (x > *xmax) *xmax = x;
    if (y < *ymin) *ymin = y;
    if (y > *ymax) *ymax = y;
    return 1;
}

int arc_extents(const drawing_context* ctx, int32_t row, double* xmin, double* ymin, double* xmax, double* ymax,
                int centre_switch) {
    ArcRecord a;
    if (row_type(ctx, row) != kTypeArc || !read_arc(ctx, row, &a)) return 0;
    *xmin = *ymin = DBL_MAX;
    *xmax = *ymax = -DBL_MAX;
    double start = normalize_degrees(a.start), end = normalize_degrees(a.end);
    if (start == end) {
        start = 0;
        end = 360;
    }
    for (double deg : {start, end}) {
        double t = deg * M_PI / 180.0;
        extend_box(a.cx + a.r * std::cos(t), a.cy - a.r * std::sin(t), xmin, ymin, xmax, ymax);
    }
    int q_first = 0, q_last = 0;
    arc_quadrant_span(start, end, &q_first, &q_last);
    for (int q = q_first; q < q_last; ++q) {
        double px = 0, py = 0;
        quadrant_end_point(a.cx, a.cy, a.r, q, &px, &py);
        extend_box(px, py, xmin, ymin, xmax, ymax);
    }
    if (centre_switch == 1) extend_box(a.cx, a.cy, xmin, ymin, xmax, ymax);
    return 1;
}

int row_range_extents(drawing_context* ctx, int32_t first, double* xmin, double* ymin, double* xmax, double* ymax,
                      int centre_switch) {
    *xmin = *ymin = DBL_MAX;
    *xmax = *ymax = -DBL_MAX;
    int taken = 0;
    auto corners_into_box = [&](const double* c, int points) {
        for (int i = 0; i < points; ++i) extend_box(c[2 * i], c[2 * i + 1], xmin, ymin, xmax, ymax);
    };
    walk_head_rows(ctx, first, [&](int32_t row) {
        if (!search_filter_accepts(ctx, row)) return true;
        int32_t type = row_type(ctx, row);
        if (type == kTypeLine) {
            extend_box(ctx->c4[row], ctx->c5[row], xmin, ymin, xmax, ymax);
            extend_box(ctx->c6[row], ctx->c7[row], xmin, ymin, xmax, ymax);
            ++taken;
        } else if (type == kTypeArc) {
            double b[4];
            if (arc_extents(ctx, row, &b[0], &b[1], &b[2], &b[3], centre_switch)) {
                extend_box(b[0], b[1], xmin, ymin, xmax, ymax);
                extend_box(b[2], b[3], xmin, ymin, xmax, ymax);
                ++taken;
            }
        } else if (type == kTypeText || type == kTypeKanjiText) {
            double c[8];
            int exact = calc_text_corners_rough(ctx, row, c, 0);
            if (exact < 0) return true;
            ++taken;
            if (exact == 1) {
                corners_into_box(c, 4);
                return true;
            }
            bool all_inside = true;
            for (int i = 0; i < 4; ++i)
                if (!(c[2 * i] >= *xmin && c[2 * i] <= *xmax && c[2 * i + 1] >= *ymin && c[2 * i + 1] <= *ymax))
                    all_inside = false;
            if (!all_inside && calc_text_corners(ctx, row, c, nullptr)) corners_into_box(c, 4);
        } else if (type == kTypeMultiRow) {
            double xs[6], ys[6];
            if (!type15_corners(ctx, row, xs, ys)) return true;
            for (int i = 0; i < 4; ++i) extend_box(xs[i], ys[i], xmin, ymin, xmax, ymax);
            if (centre_switch == 1) extend_box(xs[5], ys[5], xmin, ymin, xmax, ymax);
            ++taken;
        }
        return true;
    });
    if (*xmin > *xmax || *ymin > *ymax) {
        *xmin = *ymin = -33554431;
        *xmax = *ymax = 33554431;
    }
    return taken ? 1 : 0;
}

int xlum_gmxmn(drawing_context* ctx, int32_t first, double* xmin, double* ymin, double* xmax, double* ymax) {
    int result = row_range_extents(ctx, first, xmin, ymin, xmax, ymax, ctx->gmxmn_center_sw);
    ctx->gmxmn_center_sw = 0;
    return result;
}

}  // namespace kz::drawing2d
