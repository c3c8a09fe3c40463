// Distances of a point from points, segments and arcs within a tolerance (-1.0 when beyond it), and the side of a
// point relative to a directed line.
#include <cmath>

#include "drawing2d/plane_geometry.h"

namespace kz::drawing2d {
namespace {
constexpr double kTiny = 2.2250738585072014e-305;
}

double point_point_distance(double x1, double y1, double x2, double y2, double tol) {
    if (std::fabs(x2 - x1) > tol || std::fabs(y2 - y1) > tol) return -1.0;
    double d = std::hypot(x2 - x1, y2 - y1);
    return d <= tol ? d : -1.0;
}

int right_left(double px, double py, double x1, double y1, double x2, double y2, double tol) {
    double len = std::hypot(x2 - x1, y2 - y1);
    if (!(len >= kTiny)) return -1;
    double dist = std::hypot(px - x1, py - y1);
    if (dist < kTiny) return 0;
    if (tol != 0) {
        double fx = 0, fy = 0;
        if (cross_line_line(x1, y1, x2, y2, px, py, px - (y2 - y1), py + (x2 - x1), &fx, &fy) &&
            std::hypot(px - fx, py - fy) <= tol)
            return 0;
    }
    double v = ((py - y1) / dist) * ((x2 - x1) / len) - ((px - x1) / dist) * ((y2 - y1) / len);
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

double point_segment_distance(double px, double py, double x1, double y1, double x2, double y2, double tol) {
    double d = -1.0;
    if (x1 == x2 && y1 != y2) {
        if (py >= std::fmin(y1, y2) && py <= std::fmax(y1, y2)) d = std::fabs(px - x1);
    } else if (y1 == y2) {
        if (px >= std::fmin(x1, x2) && px <= std::fmax(x1, x2)) d = std::fabs(py - y1);
    } else {
        bool in_box = px >= std::fmin(x1, x2) - tol && px <= std::fmax(x1, x2) + tol && py >= std::fmin(y1, y2) - tol &&
                      py <= std::fmax(y1, y2) + tol;
        // The foot falls on the segment when the point lies between the perpendiculars at its two ends.
        double nx = y2 - y1, ny = -(x2 - x1);
        if (in_box && right_left(px, py, x1, y1, x1 + nx, y1 + ny, 0) != -1 &&
            right_left(px, py, x2, y2, x2 + nx, y2 + ny, 0) != 1)
            d = std::fabs((x1 - px) * (y2 - py) - (y1 - py) * (x2 - px)) / std::hypot(x2 - x1, y2 - y1);
    }
    return d >= 0 && d <= tol ? d : -1.0;
}

double point_arc_distance(double px, double py, double cx, double cy, double r, double start, double end, double tol) {
    if (!(std::fabs(px - cx) <= r + tol) || !(std::fabs(py - cy) <= r + tol)) return -1.0;
    if (px == cx && py == cy) return r <= tol ? r : -1.0;
    double sweep = 360;
    if (start == end) {
        start = 0;
    } else {
        sweep = wrap_angle(end - start, 0, 360);
        if (sweep == 0) sweep = 360;
    }
    double a = std::atan2(cy - py, px - cx);
    if (a < 0) a += 2 * M_PI;
    double rel = wrap_angle(a * 180.0 / M_PI - start, 0, 360);
    if (!(rel < sweep)) return -1.0;
    double d = std::fabs(std::hypot(px - cx, py - cy) - r);
    return d <= tol ? d : -1.0;
}

}  // namespace kz::drawing2d
