// Crossing points of lines, segments, circles and arcs. Vertical and horizontal lines are met without
// arithmetic, so that a crossing on an axis-parallel line lies exactly on it.
#include <cmath>

#include "drawing2d/plane_geometry.h"

namespace kz::drawing2d {
namespace {
void put(double* x, double* y, double vx, double vy) {
    if (x) *x = vx;
    if (y) *y = vy;
}

double deg(double radians) { return radians * 180.0 / M_PI; }
}  // namespace

int cross_line_line(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4, double* x,
                    double* y) {
    if (x1 == x2) {  // also a first line given by one point
        if (x3 == x4) return 0;
        if (y3 == y4) {
            put(x, y, x1, y3);
            return 1;
        }
        put(x, y, x1, y3 + (x1 - x3) * (y4 - y3) / (x4 - x3));
        return 1;
    }
    if (y1 == y2) {
        if (y3 == y4) return 0;
        if (x3 == x4) {
            put(x, y, x3, y1);
            return 1;
        }
        put(x, y, x3 + (y1 - y3) * (x4 - x3) / (y4 - y3), y1);
        return 1;
    }
    if (x3 == x4) {
        put(x, y, x3, y1 + (x3 - x1) * (y2 - y1) / (x2 - x1));
        return 1;
    }
    if (y3 == y4) {
        put(x, y, x1 + (x2 - x1) * (y3 - y1) / (y2 - y1), y3);
        return 1;
    }
    double d = (y2 - y1) * (x4 - x3) - (x2 - x1) * (y4 - y3);
    if (!(std::fabs(d) >= 1e-9)) return 0;
    put(x, y, ((y3 * x4 - x3 * y4) * (x2 - x1) - (y1 * x2 - x1 * y2) * (x4 - x3)) / d,
        -((x3 * y4 - y3 * x4) * (y2 - y1) - (x1 * y2 - y1 * x2) * (y4 - y3)) / d);
    return 1;
}

int cross_circle_circle(double cx1, double cy1, double r1, double cx2, double cy2, double r2, double* xa, double* ya,
                        double* xb, double* yb) {
    if (cx1 == cx2 && cy1 == cy2) return 0;
    double dx = cx2 - cx1, dy = cy2 - cy1;
    double q = dx * dx + dy * dy, k = r2 * r2 - r1 * r1;
    double disc = 2 * (r1 * r1 + r2 * r2) * q - q * q - k * k;
    if (!(disc >= 0)) return 0;
    double t = 0.5 - k / (2 * q);
    double fx = cx1 + t * dx, fy = cy1 + t * dy;
    if (disc == 0) {
        put(xa, ya, fx, fy);
        return 1;
    }
    double h = std::sqrt(disc) / (2 * q);
    put(xa, ya, fx - dy * h, fy + dx * h);
    put(xb, yb, fx + dy * h, fy - dx * h);
    return 2;
}

int cross_line_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, double* xa,
                      double* ya, double* xb, double* yb) {
    double dx = x2 - x1, dy = y2 - y1, q = dx * dx + dy * dy;
    if (q == 0) return 0;
    double c = (cy - y1) * dx - (cx - x1) * dy;
    double disc = r * r * q - c * c;
    if (!(disc >= 0)) return 0;
    double s = (cy - y1) * dy + (cx - x1) * dx;
    if (disc == 0) {
        put(xa, ya, x1 + s / q * dx, y1 + s / q * dy);
        return 1;
    }
    double root = std::sqrt(disc);
    double t1 = (s - root) / q, t2 = (s + root) / q;
    put(xa, ya, x1 + t1 * dx, y1 + t1 * dy);
    put(xb, yb, x1 + t2 * dx, y1 + t2 * dy);
    return 2;
}

int cross_segment_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, double* xa,
                         double* ya, double* xb, double* yb) {
    if (x1 == x2 && y1 == y2) return 0;
    if (std::fmin(x1, x2) > cx + r || std::fmax(x1, x2) < cx - r || std::fmin(y1, y2) > cy + r ||
        std::fmax(y1, y2) < cy - r)
        return 0;
    double ax = 0, ay = 0, bx = 0, by = 0;
    int n = cross_line_circle(cx, cy, r, x1, y1, x2, y2, &ax, &ay, &bx, &by);
    if (n == 0) return 0;
    bool along_x = std::fabs(x2 - x1) > std::fabs(y2 - y1);
    auto param = [&](double px, double py) { return along_x ? (px - x1) / (x2 - x1) : (py - y1) / (y2 - y1); };
    auto on = [](double t) { return t >= 0 && t <= 1; };
    bool first = on(param(ax, ay));
    bool second = n == 2 && on(param(bx, by));
    if (first) {
        put(xa, ya, ax, ay);
        if (second) put(xb, yb, bx, by);
    } else if (second) {
        put(xa, ya, bx, by);
    }
    return (first ? 1 : 0) + (second ? 1 : 0);
}

int point_on_extended_segment(double x1, double y1, double x2, double y2, double px, double py, double tol) {
    double dx = x2 - x1, dy = y2 - y1, len = std::hypot(dx, dy);
    if (len == 0) return 0;
    double ux = dx / len * tol, uy = dy / len * tol;
    double sx = x1 - ux, sy = y1 - uy, ex = x2 + ux, ey = y2 + uy;
    bool in_x = dx == 0 ? px == sx : (px >= std::fmin(sx, ex) && px <= std::fmax(sx, ex));
    bool in_y = dy == 0 ? py == sy : (py >= std::fmin(sy, ey) && py <= std::fmax(sy, ey));
    return in_x && in_y ? 1 : 0;
}

int xcf_cross_line_arc(double x1, double y1, double x2, double y2, double cx, double cy, double r, double start,
                       double end, double xs[2], double ys[2], double tol) {
    if (!(r > 0)) return 0;
    double px[2], py[2];
    int n = cross_line_circle(cx, cy, r, x1, y1, x2, y2, &px[0], &py[0], &px[1], &py[1]);
    int found = 0;
    for (int i = 0; i < n; ++i) {
        if (!point_on_extended_segment(x1, y1, x2, y2, px[i], py[i], tol)) continue;
        if (!angle_in_range(start, end, angle_about(cx, cy, px[i], py[i]), deg(tol / r))) continue;
        xs[found] = px[i];
        ys[found] = py[i];
        ++found;
    }
    return found;
}

int xcf_cross_arc_arc(double cx1, double cy1, double r1, double start1, double end1, double cx2, double cy2, double r2,
                      double start2, double end2, double xs[2], double ys[2], double tol) {
    if (!(r1 > 0) || !(r2 > 0)) return 0;
    double px[2], py[2];
    int n = cross_circle_circle(cx1, cy1, r1, cx2, cy2, r2, &px[0], &py[0], &px[1], &py[1]);
    int found = 0;
    for (int i = 0; i < n; ++i) {
        if (!angle_in_range(start1, end1, angle_about(cx1, cy1, px[i], py[i]), deg(tol / r1))) continue;
        if (!angle_in_range(start2, end2, angle_about(cx2, cy2, px[i], py[i]), deg(tol / r2))) continue;
        xs[found] = px[i];
        ys[found] = py[i];
        ++found;
    }
    return found;
}

int xfc_cross_or_not(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4, double* x,
                     double* y, double tol1, double tol2) {
    double px = 0, py = 0;
    if (!cross_line_line(x1, y1, x2, y2, x3, y3, x4, y4, &px, &py)) return 0;
    double len1 = std::hypot(x2 - x1, y2 - y1), len2 = std::hypot(x4 - x3, y4 - y3);
    if (len1 == 0 || len2 == 0) return 0;
    // Each segment scaled about its midpoint so that it grows by its tolerance at both ends.
    auto within = [&](double ax, double ay, double bx, double by, double len, double tol) {
        double f = (2 * tol + len) / len, mx = (ax + bx) / 2, my = (ay + by) / 2;
        double sx = mx + (ax - mx) * f, sy = my + (ay - my) * f, ex = mx + (bx - mx) * f, ey = my + (by - my) * f;
        return (sx - px) * (ex - px) <= 0 && (sy - py) * (ey - py) <= 0;
    };
    if (!within(x1, y1, x2, y2, len1, tol1) || !within(x3, y3, x4, y4, len2, tol2)) return 0;
    put(x, y, px, py);
    return 1;
}

namespace {
int take_nearest(int n, double ax, double ay, double bx, double by, double* x, double* y, double* ox, double* oy) {
    if (n == 0) return 0;
    if (n == 1) {
        put(x, y, ax, ay);
        put(ox, oy, ax, ay);
        return 1;
    }
    double da = (ax - *x) * (ax - *x) + (ay - *y) * (ay - *y);
    double db = (bx - *x) * (bx - *x) + (by - *y) * (by - *y);
    if (da < db) {
        put(x, y, ax, ay);
        put(ox, oy, bx, by);
    } else {  // a tie takes the second point
        put(x, y, bx, by);
        put(ox, oy, ax, ay);
    }
    return 1;
}
}  // namespace

int nearest_circle_crossing(double cx1, double cy1, double r1, double cx2, double cy2, double r2, double* x, double* y,
                            double* other_x, double* other_y) {
    double ax = 0, ay = 0, bx = 0, by = 0;
    int n = cross_circle_circle(cx1, cy1, r1, cx2, cy2, r2, &ax, &ay, &bx, &by);
    return take_nearest(n, ax, ay, bx, by, x, y, other_x, other_y);
}

int nearest_line_circle_crossing(double x1, double y1, double x2, double y2, double cx, double cy, double r, double* x,
                                 double* y, double* other_x, double* other_y) {
    double ax = 0, ay = 0, bx = 0, by = 0;
    int n = cross_line_circle(cx, cy, r, x1, y1, x2, y2, &ax, &ay, &bx, &by);
    return take_nearest(n, ax, ay, bx, by, x, y, other_x, other_y);
}

}  // namespace kz::drawing2d
