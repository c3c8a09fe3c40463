// Angle helpers of the plane geometry: wrapping, ranges on arcs, mirroring and turning points.
#include <cmath>

#include "drawing2d/plane_geometry.h"

namespace kz::drawing2d {

double wrap_angle(double v, double low, double high, double step) {
    if (!std::isfinite(v)) return v;
    // Far-off values first come within a few turns, so that the loops below stay short.
    if (v < low - 64 * step || v > high + 64 * step) v = low + std::fmod(v - low, step);
    while (v < low) v += step;
    while (v > high) v -= step;
    return v;
}

double angle_about(double cx, double cy, double x, double y) { return std::atan2(cy - y, x - cx) * 180.0 / M_PI; }

int angle_in_range(double start, double end, double angle, double tol) {
    double base = start - tol;
    double span = wrap_angle(end + tol - base, 0, 720);
    double t = wrap_angle(angle - base, 0, 720);
    return span >= t ? 1 : 0;
}

double normalize_degrees(double angle) { return wrap_angle(angle, 0, 360); }

double mirror_angle(double axis, double angle) {
    double v = 2 * axis - angle;
    if (v > 360) v -= 360;
    if (v < 0) v += 360;
    return v;
}

void rotate_point_deg(double x, double y, double angle, double* out_x, double* out_y) {
    double a = angle * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
    double rx = x * c + y * s, ry = y * c - x * s;
    if (out_x) *out_x = rx;
    if (out_y) *out_y = ry;
}

}  // namespace kz::drawing2d
