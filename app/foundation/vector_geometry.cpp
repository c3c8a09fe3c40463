// Vector helpers of the application's geometry math; the face makers, the plan drawing and the label code all
// take their normals, angles and shading from here so that the GDI and OpenGL views agree.
#include "app/foundation/vector_geometry.h"

#include <algorithm>
#include <cmath>

#include "app/foundation/eye_record.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/small_vector_math.h"

namespace kz::foundation {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kDeg = 180.0 / kPi;
double rad(double degrees) { return degrees / 180.0 * kPi; }
}  // namespace

double normalize_vector(const double* v, double* out) {
    double length = 0.0;
    vec3_normalize(v, out, &length);
    return length;
}

double normalize_xyz(double x, double y, double z, double* out) {
    const double v[3] = {x, y, z};
    return normalize_vector(v, out);
}

double difference_length(const double* p0, const double* p1, double* direction) {
    const double d[3] = {p1[0] - (p0 ? p0[0] : 0.0), p1[1] - (p0 ? p0[1] : 0.0), p1[2] - (p0 ? p0[2] : 0.0)};
    double unit[3];
    const double length = normalize_vector(d, unit);
    if (direction) std::copy(unit, unit + 3, direction);
    return length;
}

double distance_with_direction(const double* p0, const double* p1, double* direction) {
    return difference_length(p0, p1, direction);
}

double distance_3d(const double* p0, const double* p1) { return difference_length(p0, p1, nullptr); }

double polygon_normal(const double* p, int n, double* normal, double* area) {
    double nx = 0.0, ny = 0.0, nz = 0.0, a = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* u = p + 3 * i;
        const double* w = p + 3 * (i + 1 < n ? i + 1 : 0);
        nx += u[1] * w[2] - u[2] * w[1];
        ny += u[2] * w[0] - u[0] * w[2];
        nz += u[0] * w[1] - u[1] * w[0];
        a += (u[1] + w[1]) * (w[0] - u[0]) / 2.0;
    }
    if (area) *area = a;
    return normalize_xyz(nx, ny, nz, normal);
}

double vector_to_polar(const double* from, const double* to, double* polar, double* direction) {
    const double dx = to[0] - from[0], dy = to[1] - from[1], dz = to[2] - from[2];
    const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (polar) {
        polar[0] = distance;
        polar[1] = std::atan2(dz, std::sqrt(dx * dx + dy * dy)) * kDeg;
        polar[2] = std::atan2(dy, dx) * kDeg;
    }
    if (direction) {
        if (distance < 1e-12) {
            direction[0] = direction[1] = direction[2] = 0.0;
        } else {
            direction[0] = dx / distance;
            direction[1] = dy / distance;
            direction[2] = dz / distance;
        }
    }
    return distance;
}

void polar_to_point(const double* from, const double* polar, double* out) {
    double d[3];
    angles_to_direction(polar[2], polar[1], d);
    for (int i = 0; i < 3; ++i) out[i] = (from ? from[i] : 0.0) + polar[0] * d[i];
}

void angles_to_direction(double azimuth, double elevation, double* out) {
    const double a = rad(azimuth), e = rad(elevation);
    out[0] = std::cos(e) * std::cos(a);
    out[1] = std::cos(e) * std::sin(a);
    out[2] = std::sin(e);
}

double vector_to_angles(const double* v, double* azimuth, double* elevation) {
    if (azimuth) *azimuth = std::atan2(v[1], v[0]) * kDeg;
    if (elevation) *elevation = std::atan2(-v[2], std::sqrt(v[0] * v[0] + v[1] * v[1])) * kDeg;
    return vec3_length(v);
}

void rotate_2d(double* v, double s, double c) {
    const double x = v[0], y = v[1];
    v[0] = x * c - y * s;
    v[1] = x * s + y * c;
}

void rotated_direction_2d(double x, double y, double degrees, double* ux, double* uy) {
    double v[2] = {x, y};
    rotate_2d(v, std::sin(rad(degrees)), std::cos(rad(degrees)));
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    *ux = length < 1e-12 ? 1.0 : v[0] / length;
    *uy = length < 1e-12 ? 0.0 : v[1] / length;
}

int wrap_index(int i, int n) {
    if (n < 1) return 0;
    const int r = i % n;
    return r < 0 ? r + n : r;
}

std::uint32_t scale_color(double factor, std::uint32_t color, std::uint32_t* out) {
    std::uint32_t result = 0;
    for (int k = 0; k < 3; ++k) {
        const double c = static_cast<double>((color >> (8 * k)) & 0xFF) * factor;
        // Negative or NaN factors give black rather than an out-of-range conversion.
        const int byte = c > 0.0 ? static_cast<int>(std::min(c, 255.0)) : 0;
        result |= static_cast<std::uint32_t>(byte) << (8 * k);
    }
    if (out) *out = result;
    return result;
}

double shade_factor(const EyeRecord& eye, const double* normal, double* out) {
    const double d = vec3_dot(normal, eye.light_direction);
    const double s = eye.two_sided ? (d + 1.0) / 2.0 * 0.7 : std::max(d, 0.0);
    const double result = (s + 0.3) * eye.light_intensity;
    if (out) *out = result;
    return result;
}

int intersect_line_plane(const double* point, const double* direction, const double* plane_point,
                         const double* plane_normal, double* out) {
    std::copy(point, point + 3, out);
    const double dn = vec3_dot(direction, plane_normal);
    if (std::fabs(dn) < 1e-11) return 0;
    const double rel[3] = {point[0] - plane_point[0], point[1] - plane_point[1], point[2] - plane_point[2]};
    const double t = vec3_dot(rel, plane_normal) / -dn;
    for (int i = 0; i < 3; ++i) out[i] = point[i] + t * direction[i];
    return 1;
}

int polygon_to_plane(const double* points, int n, std::vector<double>& out, PlaneFrame* frame, const double* second,
                     std::vector<double>* second_out) {
    if (!points || n < 3) return 0;
    double normal[3];
    polygon_normal(points, n, normal, nullptr);
    const double azimuth = std::atan2(normal[1], normal[0]) * kDeg - 90.0;
    const double tilt = std::atan2(normal[2], std::sqrt(normal[0] * normal[0] + normal[1] * normal[1])) * kDeg - 90.0;
    const double rotation[3] = {tilt, 0.0, azimuth};
    double m[16];
    compose_matrix_ops(0, m, points, rotation, 0, op_code("M-"), op_code("z-"), op_code("x-"));
    double a[3], b[3];
    transform_point(a, points, m);
    transform_point(b, points + 3, m);
    const double edge = std::atan2(b[1] - a[1], b[0] - a[0]) * kDeg;
    double turn[16];
    axis_rotation_matrix(turn, 'Z', edge, -1.0);
    multiply_matrix4(m, m, turn);
    out.resize(3 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) transform_point(&out[3 * i], points + 3 * i, m);
    if (second && second_out) {
        second_out->resize(3 * static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) transform_point(&(*second_out)[3 * i], second + 3 * i, m);
    }
    if (frame) {
        std::copy(points, points + 3, frame->origin);
        std::copy(rotation, rotation + 3, frame->rotation);
        frame->edge_angle = edge;
    }
    return 1;
}

}  // namespace kz::foundation
