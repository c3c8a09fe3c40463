// Segments divided by a circle and clipped to a rectangle. The rectangle clip moves outside ends onto the
// x bounds first and then onto the y bounds, which leaves a segment wholly inside or proves it outside.
#include <algorithm>
#include <cmath>
#include <utility>

#include "drawing2d/clipping.h"
#include "drawing2d/plane_geometry.h"

namespace kz::drawing2d {

int extend_segment(double x1, double y1, double x2, double y2, double* ox1, double* oy1, double* ox2, double* oy2,
                   double d) {
    if (d == 0) return 1;
    double len = std::hypot(x2 - x1, y2 - y1);
    if (len == 0) return 0;
    double ux = (x2 - x1) / len * d, uy = (y2 - y1) / len * d;
    *ox1 = x1 - ux;
    *oy1 = y1 - uy;
    *ox2 = x2 + ux;
    *oy2 = y2 + uy;
    return 1;
}

namespace {
// The common division by a circle; 0 with count 0 when the (lengthened) segment does not cross it.
int divide_by_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, int* count,
                     int inside[3], double xs[4], double ys[4], double tol) {
    *count = 0;
    double ex1 = x1, ey1 = y1, ex2 = x2, ey2 = y2;
    extend_segment(x1, y1, x2, y2, &ex1, &ey1, &ex2, &ey2, tol);
    double ax = 0, ay = 0, bx = 0, by = 0;
    int n = cross_segment_circle(cx, cy, r, ex1, ey1, ex2, ey2, &ax, &ay, &bx, &by);
    if (n == 0) return 0;
    int m = 0;
    xs[m] = ex1, ys[m++] = ey1;
    xs[m] = ax, ys[m++] = ay;
    if (n == 2) xs[m] = bx, ys[m++] = by;
    xs[m] = ex2, ys[m++] = ey2;
    auto dist0 = [&](int i) { return std::hypot(xs[i] - xs[0], ys[i] - ys[0]); };
    for (int i = 1; i < m; ++i)
        for (int j = i + 1; j < m; ++j)
            if (dist0(j) < dist0(i)) {
                std::swap(xs[i], xs[j]);
                std::swap(ys[i], ys[j]);
            }
    for (int i = 0; i + 1 < m; ++i)
        inside[i] = std::hypot((xs[i] + xs[i + 1]) / 2 - cx, (ys[i] + ys[i + 1]) / 2 - cy) < r ? 1 : 0;
    *count = m;
    return 1;
}
}  // namespace

int xcf_line_clip_by_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, int* count,
                            int inside[3], double xs[4], double ys[4], double tol) {
    return divide_by_circle(cx, cy, r, x1, y1, x2, y2, count, inside, xs, ys, tol);
}

int clip_segment_by_circle_for_cut(double cx, double cy, double r, double x1, double y1, double x2, double y2,
                                   int* count, int inside[3], double xs[4], double ys[4], double tol) {
    if (std::hypot(x1 - cx, y1 - cy) <= r && std::hypot(x2 - cx, y2 - cy) <= r) {
        xs[0] = x1, ys[0] = y1, xs[1] = x2, ys[1] = y2;
        inside[0] = 1;
        *count = 2;
        return 1;
    }
    return divide_by_circle(cx, cy, r, x1, y1, x2, y2, count, inside, xs, ys, tol) ? 2 : 0;
}

int rect_outcode(double x, double y, double xmin, double ymin, double xmax, double ymax) {
    return (x < xmin ? 0x1000 : 0) + (x > xmax ? 0x100 : 0) + (y < ymin ? 0x10 : 0) + (y > ymax ? 0x1 : 0);
}

int clip_segment_by_rect_coded(double xmin, double ymin, double xmax, double ymax, double x1, double y1, double x2,
                               double y2, double* ox1, double* oy1, double* ox2, double* oy2) {
    auto code = [](double v, double lo, double hi) { return v > hi ? 1 : (v < lo ? 2 : 0); };
    int cx1 = code(x1, xmin, xmax), cx2 = code(x2, xmin, xmax);
    int cy1 = code(y1, ymin, ymax), cy2 = code(y2, ymin, ymax);
    if ((cx1 && cx1 == cx2) || (cy1 && cy1 == cy2)) return 0;
    bool clipped = cx1 || cx2 || cy1 || cy2;
    // Moves the end (u, v) along the line to u = bound; the first end moves first, so the second moves along the
    // line through the already moved first end.
    auto move_end = [](double& u, double& v, double u_other, double v_other, double bound) {
        v = v_other + (v - v_other) * (bound - u_other) / (u - u_other);
        u = bound;
    };
    if (clipped) {
        if (cx1) move_end(x1, y1, x2, y2, cx1 == 1 ? xmax : xmin);
        if (cx2) move_end(x2, y2, x1, y1, cx2 == 1 ? xmax : xmin);
        cy1 = code(y1, ymin, ymax);
        cy2 = code(y2, ymin, ymax);
        if (cy1 && cy1 == cy2) return 0;
        if (cy1) move_end(y1, x1, y2, x2, cy1 == 1 ? ymax : ymin);
        if (cy2) move_end(y2, x2, y1, x1, cy2 == 1 ? ymax : ymin);
    }
    if (ox1) *ox1 = x1;
    if (oy1) *oy1 = y1;
    if (ox2) *ox2 = x2;
    if (oy2) *oy2 = y2;
    return clipped ? 2 : 1;
}

int xfc_line_clip_by_rect(double xmin, double ymin, double xmax, double ymax, double x1, double y1, double x2,
                          double y2, double* ox1, double* oy1, double* ox2, double* oy2) {
    return clip_segment_by_rect_coded(xmin, ymin, xmax, ymax, x1, y1, x2, y2, ox1, oy1, ox2, oy2) ? 1 : 0;
}

int xfc_line_clip_by_rect_in_place(double xmin, double ymin, double xmax, double ymax, double* x1, double* y1,
                                   double* x2, double* y2) {
    return xfc_line_clip_by_rect(xmin, ymin, xmax, ymax, *x1, *y1, *x2, *y2, x1, y1, x2, y2);
}

}  // namespace kz::drawing2d
