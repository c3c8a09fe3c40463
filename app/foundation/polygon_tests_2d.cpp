// Crossing and inside tests behind the convex splitting of caps. The inside test counts windings instead of
// summing angles: the same answer off the outline, at a fraction of the cost on caps of thousands of points.
#include "app/foundation/polygon_tests_2d.h"

#include <algorithm>
#include <cmath>

#include "drawing2d/plane_geometry.h"

namespace kz::foundation {

namespace {

// Angle of the direction from (px, py) to (qx, qy).
double direction_angle(double px, double py, double qx, double qy) { return std::atan2(qy - py, qx - px); }

// Whether the end (ex, ey) lies between b1 and b2 on their line: the two directions are opposite within 0.001
// radians, or the end coincides with one of them.
bool end_between(double ex, double ey, const double* b1, const double* b2) {
    if ((ex == b1[0] && ey == b1[1]) || (ex == b2[0] && ey == b2[1])) return true;
    double d = std::fabs(direction_angle(ex, ey, b1[0], b1[1]) - direction_angle(ex, ey, b2[0], b2[1]));
    return std::fabs(d - 3.141592653589793) <= 0.001;
}

// Whether (x, y), already on the line through p and q, lies on the segment scaled about its midpoint by
// (2 * tol + length) / length. Measured along the segment, so a nearly horizontal or vertical segment does not
// lose a crossing to rounding across it.
bool on_lengthened(const double* p, const double* q, double x, double y, double tol) {
    const double dx = q[0] - p[0], dy = q[1] - p[1];
    const double length2 = dx * dx + dy * dy;
    if (!(length2 > 0.0)) return false;
    const double length = std::sqrt(length2);
    const double along = ((x - (p[0] + q[0]) / 2) * dx + (y - (p[1] + q[1]) / 2) * dy) / length;
    return std::fabs(along) <= (2 * tol + length) / 2;
}

bool boxes_apart(const double* a1, const double* a2, const double* b1, const double* b2) {
    return std::max(a1[0], a2[0]) < std::min(b1[0], b2[0]) || std::max(b1[0], b2[0]) < std::min(a1[0], a2[0]) ||
           std::max(a1[1], a2[1]) < std::min(b1[1], b2[1]) || std::max(b1[1], b2[1]) < std::min(a1[1], a2[1]);
}

}  // namespace

int segment_crossing_2d(const double* a1, const double* a2, const double* b1, const double* b2, double* out,
                        double tol_a, double tol_b, int mode) {
    double x = 0.0, y = 0.0;
    if (drawing2d::cross_line_line(a1[0], a1[1], a2[0], a2[1], b1[0], b1[1], b2[0], b2[1], &x, &y)) {
        if (!on_lengthened(a1, a2, x, y, tol_a) || !on_lengthened(b1, b2, x, y, tol_b)) return 0;
        if (out) out[0] = x, out[1] = y;
        return 1;
    }
    if (mode != 1 || (a1[0] == a2[0] && a1[1] == a2[1])) return 0;
    // Parallel: a touches b only when they share a line and an end of a sits between the ends of b.
    for (const double* e : {a1, a2}) {
        if (end_between(e[0], e[1], b1, b2)) {
            if (out) out[0] = e[0], out[1] = e[1];
            return 1;
        }
    }
    return 0;
}

int point_in_polygon_indexed(double x, double y, const double* pts, const int* index, int n, double tolerance) {
    if (!pts || n < 1) return 0;
    auto at = [&](int k) { return pts + 3 * static_cast<long>(index ? index[k] : k); };
    // The outline may or may not repeat its first point; a repeated one only adds an edge of length 0.
    // Squared comparisons: this runs for every candidate diagonal of a cap, and roots would dominate it.
    const double tol2 = tolerance >= 0 ? tolerance * tolerance : -1.0;
    for (int i = 0; i < n; ++i) {
        const double dx = at(i)[0] - x, dy = at(i)[1] - y;
        if (dx * dx + dy * dy <= tol2) return 1;
    }
    int winding = 0;
    for (int i = 0; i < n; ++i) {
        const double* p = at(i);
        const double* q = at(i + 1 < n ? i + 1 : 0);
        const double ux = p[0] - x, uy = p[1] - y, vx = q[0] - x, vy = q[1] - y;
        const double cross = ux * vy - uy * vx;
        const double dot = ux * vx + uy * vy;
        const double r1r2_squared = (ux * ux + uy * uy) * (vx * vx + vy * vy);
        if (dot < 0 && r1r2_squared > 0 && cross * cross <= tol2 * r1r2_squared) return 2;
        // Crossings of the ray towards +x, signed by the edge's direction.
        if (uy <= 0) {
            if (vy > 0 && cross > 0) ++winding;
        } else if (vy <= 0 && cross < 0) {
            --winding;
        }
    }
    return winding != 0 ? 3 : 0;
}

int point_in_polygon_2d(double x, double y, const double* poly, int n, double tolerance) {
    return point_in_polygon_indexed(x, y, poly, nullptr, n, tolerance);
}

int is_valid_diagonal_indexed(const double* pts, const int* index, int n, int i, int j) {
    if (!pts || n < 4 || i < 0 || j < 0 || i >= n || j >= n || i == j) return 0;
    auto at = [&](int k) { return pts + 3 * static_cast<long>(index ? index[k] : k); };
    const double* a = at(i);
    const double* b = at(j);
    for (int k = 0; k < n; ++k) {
        const int l = k + 1 < n ? k + 1 : 0;
        const double* p = at(k);
        const double* q = at(l);
        if (k == i || k == j || l == i || l == j) {
            // An edge from an end of the diagonal meets it there; it blocks only when the two are parallel.
            if (!segment_crossing_2d(a, b, p, q, nullptr, 0.1, 0.1, 0)) return 0;
        } else if (!boxes_apart(a, b, p, q) && segment_crossing_2d(a, b, p, q, nullptr, 0.0, 0.0, 1)) {
            return 0;
        }
    }
    return point_in_polygon_indexed((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, pts, index, n, 1e-9) == 3 ? 1 : 0;
}

int is_valid_diagonal(const double* poly, int n, int i, int j) {
    return is_valid_diagonal_indexed(poly, nullptr, n, i, j);
}

}  // namespace kz::foundation
