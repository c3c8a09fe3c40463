// Arcs divided by a circle (given as an arc) and by a rectangle. Division points closer than 3 drawing units
// along the arc to one already taken are dropped, so that a touch at an end or a corner does not split an arc.
#include <algorithm>
#include <cmath>

#include "drawing2d/clipping.h"
#include "drawing2d/plane_geometry.h"

namespace kz::drawing2d {
namespace {
constexpr double kArcTolerance = 3.0;

double deg(double radians) { return radians * 180.0 / M_PI; }
double rad(double degrees) { return degrees * M_PI / 180.0; }

// Difference of two relative angles as the duplicate test takes it: into 0..360, less 360 above 350.
double near_difference(double a, double b) {
    double d = wrap_angle(a - b, 0, 360);
    return d > 350 ? d - 360 : d;
}

// Sorts, makes the angles absolute, and joins the wrapping first and last pieces of a full circle from 0.
template <class InsideTest>
int finish_division(double* angles, int m, double start, int* inside, int* count, InsideTest is_inside) {
    std::sort(angles, angles + m);
    for (int i = 0; i < m; ++i) angles[i] += start;
    int any = 0;
    for (int k = 0; k + 1 < m; ++k) {
        inside[k] = is_inside(angles[k], angles[k + 1]) ? 1 : 0;
        any |= inside[k];
    }
    if (m > 2 && inside[0] == inside[m - 2] && angles[0] == 0 && angles[m - 1] == 360) {
        angles[0] = angles[m - 2];
        --m;
    }
    *count = m;
    return any;
}
}  // namespace

double relative_angle(double start, double angle, double tol) {
    double v = wrap_angle(angle - start, 0, 360);
    return v > 360 - tol ? v - 360 : v;
}

int xfc_arc_clip_by_arc(double cx1, double cy1, double r1, double start1, double end1, double cx2, double cy2,
                        double r2, double start2, double end2, int* count, int inside[3], double angles[4]) {
    *count = 0;
    if (!(r1 > 0) || !(r2 > 0)) return 0;
    double sweep1 = wrap_angle(end1 - start1, 0, 360), sweep2 = wrap_angle(end2 - start2, 0, 360);
    double t1 = deg(kArcTolerance / r1), t2 = deg(kArcTolerance / r2);
    int m = 0;
    angles[m++] = 0;
    angles[m++] = sweep2;
    double px[2], py[2];
    int n = cross_circle_circle(cx1, cy1, r1, cx2, cy2, r2, &px[0], &py[0], &px[1], &py[1]);
    for (int i = 0; i < n; ++i) {
        double a1 = wrap_angle(angle_about(cx1, cy1, px[i], py[i]) - start1, 0, 360);
        if (a1 > 360 - t1) a1 -= 360;
        if (!(a1 >= -t1 && a1 <= sweep1 + t1)) continue;
        double a2 = wrap_angle(angle_about(cx2, cy2, px[i], py[i]) - start2, 0, 360);
        if (!(a2 > 0 && a2 < sweep2)) continue;
        bool apart = true;
        for (int k = 0; k < m; ++k)
            if (std::fabs(near_difference(a2, angles[k])) < t2) apart = false;
        if (apart) angles[m++] = a2;
    }
    return finish_division(angles, m, start2, inside, count, [&](double a, double b) {
        double mid = rad((a + b) / 2);
        return std::hypot(cx2 + r2 * std::cos(mid) - cx1, cy2 - r2 * std::sin(mid) - cy1) <= r1;
    });
}

int xfc_arc_clip_by_rect(double xmin, double ymin, double xmax, double ymax, double cx, double cy, double r,
                         double start, double end, int* count, int inside[9], double angles[10]) {
    *count = 0;
    if (!(r > 0)) return 0;
    double sweep = wrap_angle(end - start, 0, 360);
    double t = deg(kArcTolerance / r);
    int m = 0;
    angles[m++] = 0;
    angles[m++] = sweep;
    auto offer = [&](double x, double y) {
        double rel = relative_angle(start, angle_about(cx, cy, x, y), 0);
        if (rel <= sweep && m < 10) angles[m++] = rel;
    };
    for (double X : {xmin, xmax})
        if (cx - r < X && X < cx + r) {
            double h = std::sqrt(r * r - (X - cx) * (X - cx));
            for (double y : {cy + h, cy - h})
                if (y >= ymin && y <= ymax) offer(X, y);
        }
    for (double Y : {ymin, ymax})
        if (cy - r < Y && Y < cy + r) {
            double w = std::sqrt(r * r - (Y - cy) * (Y - cy));
            for (double x : {cx + w, cx - w})
                if (x >= xmin && x <= xmax) offer(x, Y);
        }
    int kept = 2;
    for (int i = 2; i < m; ++i) {
        bool apart = true;
        for (int k = 0; k < kept; ++k)
            if (std::fabs(near_difference(angles[i], angles[k])) < t) apart = false;
        if (apart) angles[kept++] = angles[i];
    }
    auto in_rect = [&](double a) {
        double x = cx + r * std::cos(rad(a)), y = cy - r * std::sin(rad(a));
        return x >= xmin && x <= xmax && y >= ymin && y <= ymax;
    };
    return finish_division(angles, kept, start, inside, count,
                           [&](double a, double b) { return in_rect(a + (b - a) / 2) || in_rect(a + (b - a) / 3); });
}

}  // namespace kz::drawing2d
