// Vector helpers in the application's tolerances: 1e-5 for a 2D direction, 1e-12 for 3D lengths.
// The outline test reads its points cyclically instead of writing a closing point into the caller's array.
#include "app/foundation/small_vector_math.h"

#include <cfloat>
#include <cmath>
#include <utility>

namespace kz::foundation {

double vec2_length(double x, double y) { return std::sqrt(x * x + y * y); }

double vec2_normalize(double x, double y, double* unit_x, double* unit_y, double* length, double* angle) {
    double l = vec2_length(x, y);
    bool usable = l > 1e-5;
    if (unit_x) *unit_x = usable ? x / l : 0.0;
    if (unit_y) *unit_y = usable ? y / l : 0.0;
    if (angle) *angle = usable ? std::atan2(y, x) * 180.0 / M_PI : 0.0;
    if (length) *length = l;
    return l;
}

double vec3_dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

double* vec3_cross(const double* a, const double* b, double* out) {
    double x = a[1] * b[2] - a[2] * b[1];
    double y = a[2] * b[0] - a[0] * b[2];
    double z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
    return out;
}

double vec3_length(const double* v) {
    double l = std::sqrt(vec3_dot(v, v));
    return l < 1e-12 ? 0.0 : l;
}

double* vec3_normalize(const double* v, double* out, double* length) {
    double l = vec3_length(v);
    for (int i = 0; i < 3; ++i) out[i] = l > 0.0 ? v[i] / l : 0.0;
    if (length) *length = l;
    return out;
}

double vec3_distance(const double* a, const double* b) {
    double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    return std::sqrt(vec3_dot(d, d));
}

double point_line_distance(const double* p, const double* a, const double* b) {
    double ap[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    double lap = 0.0, lab = 0.0, u[3], w[3], c[3];
    vec3_normalize(ap, u, &lap);
    vec3_normalize(ab, w, &lab);
    if (lap == 0.0 || lab == 0.0) return 0.0;
    return vec3_length(vec3_cross(u, w, c)) * lap;
}

int side_of_line(double x, double y, double x1, double y1, double x2, double y2, double tolerance) {
    double dx = x2 - x1, dy = y2 - y1;
    double l = std::sqrt(dx * dx + dy * dy);
    if (l == 0.0) return 1;
    double d = (dx * (y - y1) - dy * (x - x1)) / l;
    if (std::fabs(d) <= tolerance) return 0;
    return d > tolerance ? 2 : 1;
}

int point_in_polygon(const int* point, const int* points, int count) {
    if (!point || !points || count < 2) return 0;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        int j = (i + 1) % count;  // the closing edge; a ring already closed adds an empty edge
        double ax = double(points[2 * i]) - point[0], ay = double(points[2 * i + 1]) - point[1];
        double bx = double(points[2 * j]) - point[0], by = double(points[2 * j + 1]) - point[1];
        if ((ax == 0.0 && ay == 0.0) || (bx == 0.0 && by == 0.0)) continue;
        sum += std::atan2(ax * by - ay * bx, ax * bx + ay * by);
    }
    return std::fabs(sum) > M_PI ? 1 : 0;
}

void reset_bounds(double* box) {
    for (int i = 0; i < 3; ++i) {
        box[i] = DBL_MAX;
        box[i + 3] = -DBL_MAX;
    }
}

void add_point_to_bounds(double* box, const double* point) {
    for (int i = 0; i < 3; ++i) {
        if (point[i] < box[i]) box[i] = point[i];
        if (point[i] > box[i + 3]) box[i + 3] = point[i];
    }
}

void swap_doubles(double* a, double* b) { std::swap(*a, *b); }
void swap_ints(int* a, int* b) { std::swap(*a, *b); }

}  // namespace kz::foundation
