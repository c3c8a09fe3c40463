// Whether a record lies wholly or partly inside a box or crosses a segment: the tests the gatherings and the cuts
// apply to one record at a time. Texts are judged by their rough outline and, where that is only an estimate,
// by the measured one as well.
#include <cmath>
#include <initializer_list>

#include "drawing2d/plane_geometry.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/search_filter.h"
#include "drawing2d/selection.h"
#include "drawing2d/text_corners.h"

namespace kz::drawing2d {
namespace {
struct Box {
    double xmin, ymin, xmax, ymax;
    bool holds(double x, double y) const { return x >= xmin && x <= xmax && y >= ymin && y <= ymax; }
    bool holds_all(const double* xy, int points) const {
        for (int i = 0; i < points; ++i)
            if (!holds(xy[2 * i], xy[2 * i + 1])) return false;
        return true;
    }
};

void arc_point(double cx, double cy, double r, double degrees, double* x, double* y) {
    double t = degrees * M_PI / 180.0;
    *x = cx + r * std::cos(t);
    *y = cy - r * std::sin(t);
}

// The 4 corners of a type-15 record and then its origin, as the display places them.
bool type15_points(const drawing_context* ctx, int32_t row, double xy[10]) {
    double xs[6], ys[6];
    if (!type15_corners(ctx, row, xs, ys)) return false;
    for (int i = 0; i < 4; ++i) xy[2 * i] = xs[i], xy[2 * i + 1] = ys[i];
    xy[8] = xs[5], xy[9] = ys[5];
    return true;
}

bool polygon_crosses(const double* xy, double x1, double y1, double x2, double y2, double tol1, double tol2) {
    for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4;
        double x = 0, y = 0;
        if (xfc_cross_or_not(x1, y1, x2, y2, xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1], &x, &y, tol1, tol2))
            return true;
    }
    return false;
}
}  // namespace

int arc_wholly_inside(drawing_context* ctx, int32_t row, double xmin, double ymin, double xmax, double ymax) {
    ArcRecord a;
    if (!read_arc(ctx, row, &a)) return -1;
    auto in_turn = [](double v) { return v >= 0 && v <= 360 ? v : 0.0; };
    double start = in_turn(a.start), end = in_turn(a.end);
    if (start == end) start = end = 0;
    Box box{xmin, ymin, xmax, ymax};
    double x = 0, y = 0;
    arc_point(a.cx, a.cy, a.r, start, &x, &y);
    if (!box.holds(x, y)) return -1;
    arc_point(a.cx, a.cy, a.r, end, &x, &y);
    if (!box.holds(x, y)) return -1;
    int q_first = 0, q_last = 0;
    arc_quadrant_span(start, end, &q_first, &q_last);
    for (int q = q_first; q < q_last; ++q) {
        quadrant_end_point(a.cx, a.cy, a.r, q, &x, &y);
        if (!box.holds(x, y)) return -1;
    }
    return 0;
}

int record_wholly_inside(drawing_context* ctx, int32_t row, double xmin, double ymin, double xmax, double ymax) {
    Box box{xmin, ymin, xmax, ymax};
    switch (row_type(ctx, row)) {
    case kTypeLine: {
        const double xy[4] = {double(ctx->c4[row]), double(ctx->c5[row]), double(ctx->c6[row]), double(ctx->c7[row])};
        return box.holds_all(xy, 2) ? 0 : -1;
    }
    case kTypeArc: return arc_wholly_inside(ctx, row, xmin, ymin, xmax, ymax);
    case kTypeText:
    case kTypeKanjiText: {
        double c[8];
        int exact = calc_text_corners_rough(ctx, row, c, 0);
        if (exact < 0 || !box.holds_all(c, 4)) return -1;
        if (exact == 0 && (!calc_text_corners(ctx, row, c, nullptr) || !box.holds_all(c, 4))) return -1;
        return 0;
    }
    case kTypeMultiRow: {
        double xy[10];
        return type15_points(ctx, row, xy) && box.holds_all(xy, 5) ? 0 : -1;
    }
    default: return -1;
    }
}

int record_partly_inside(drawing_context* ctx, int32_t row, double xmin, double ymin, double xmax, double ymax) {
    Box box{xmin, ymin, xmax, ymax};
    switch (row_type(ctx, row)) {
    case kTypeLine: return box.holds(ctx->c4[row], ctx->c5[row]) || box.holds(ctx->c6[row], ctx->c7[row]) ? 0 : -1;
    case kTypeArc: {
        ArcRecord a;
        if (!read_arc(ctx, row, &a)) return -1;
        double x = 0, y = 0;
        if ((ctx->c6[row + 1] == 0 && ctx->c7[row + 1] == 360000000) || ctx->c6[row + 1] == ctx->c7[row + 1]) {
            for (int q = 0; q < 4; ++q) {
                quadrant_end_point(a.cx, a.cy, a.r, q, &x, &y);
                if (box.holds(x, y)) return 0;
            }
            return -1;
        }
        for (double at : {a.start, a.end}) {
            arc_point(a.cx, a.cy, a.r, at, &x, &y);
            if (box.holds(x, y)) return 0;
        }
        auto turn = [](double v) { return v < 0 ? v + 360 : v; };
        double sweep = turn(a.end - a.start);
        for (double q : {0.0, 180.0, 270.0, 90.0}) {
            arc_point(a.cx, a.cy, a.r, q, &x, &y);
            if (sweep >= turn(q - a.start) && box.holds(x, y)) return 0;
        }
        return -1;
    }
    case kTypeText:
    case kTypeKanjiText:
    case kTypeMultiRow: return box.holds(ctx->c4[row], ctx->c5[row]) ? 0 : -1;
    default: return -1;
    }
}

int record_crosses_segment(drawing_context* ctx, int32_t row, double x1, double y1, double x2, double y2, double tol1,
                           double tol2) {
    switch (row_type(ctx, row)) {
    case kTypeLine: {
        double x = 0, y = 0;
        return xfc_cross_or_not(x1, y1, x2, y2, ctx->c4[row], ctx->c5[row], ctx->c6[row], ctx->c7[row], &x, &y, tol1,
                                tol2);
    }
    case kTypeArc: {
        ArcRecord a;
        double xs[2], ys[2];
        return read_arc(ctx, row, &a) &&
                       xcf_cross_line_arc(x1, y1, x2, y2, a.cx, a.cy, a.r, a.start, a.end, xs, ys, tol1) >= 1
                   ? 1
                   : 0;
    }
    case kTypeText:
    case kTypeKanjiText: {
        double c[8];
        int exact = calc_text_corners_rough(ctx, row, c, 0);
        if (exact < 0) return 0;
        if (polygon_crosses(c, x1, y1, x2, y2, tol1, tol2)) return 1;
        return exact == 0 && calc_text_corners(ctx, row, c, nullptr) && polygon_crosses(c, x1, y1, x2, y2, tol1, tol2)
                   ? 1
                   : 0;
    }
    case kTypeMultiRow: {
        double xy[10];
        return type15_points(ctx, row, xy) && polygon_crosses(xy, x1, y1, x2, y2, tol1, tol2) ? 1 : 0;
    }
    default: return 0;
    }
}

}  // namespace kz::drawing2d
