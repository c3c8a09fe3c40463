// Matrix operation codes and products: the placement of every shape goes through compose_matrix_ops, so the
// codes keep the exact element layout the figure files were written against.
#include "app/foundation/matrix_ops.h"

#include <cmath>
#include <cstring>

#include "app/foundation/small_vector_math.h"
#include "app/foundation/trig_memo.h"

namespace kz::foundation {

namespace {
constexpr double kPi = 3.141592653589793;

void translation(double* m, const double* v, double sign) {
    identity_matrix4(m);
    if (!v) return;
    m[12] = sign * v[0];
    m[13] = sign * v[1];
    m[14] = sign * v[2];
}
}  // namespace

void identity_matrix4(double* m) {
    std::memset(m, 0, 16 * sizeof(double));
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

void axis_rotation_matrix(double* m, int axis, double degrees, double sign) {
    identity_matrix4(m);
    const double t = degrees / 180.0 * kPi * sign;
    double c = 1.0, s = 0.0;
    memo_sin_cos(t, &s, &c);
    switch (axis) {
    case 'X':
    case 'x':
        m[5] = c;
        m[6] = s;
        m[9] = -s;
        m[10] = c;
        break;
    case 'Y':
    case 'y':
        m[0] = c;
        m[2] = -s;
        m[8] = s;
        m[10] = c;
        break;
    case 'Z':
    case 'z':
        m[0] = c;
        m[1] = s;
        m[4] = -s;
        m[5] = c;
        break;
    default: break;
    }
}

void axis_rotation_matrix_rad(double* m, int axis, double radians, double sign) {
    axis_rotation_matrix(m, axis, radians / kPi * 180.0, sign);
}

void scale_matrix(double* m, const double* v, double sign) {
    identity_matrix4(m);
    if (!v) return;
    for (int i = 0; i < 3; ++i) {
        const double s = std::fabs(v[i]) < 1e-8 ? 1.0 : v[i];
        m[i * 5] = sign > 0 ? s : 1.0 / s;
    }
}

int matrix_op_step(double* out, const double* v, const double* r, int code, int z_up) {
    static const double zero[3] = {0.0, 0.0, 0.0};
    if (!v) v = zero;
    if (!r) r = zero;
    if (code == 0) {
        std::memset(out, 0, 16 * sizeof(double));
        return 1;
    }
    if (code == 1) {
        identity_matrix4(out);
        return 1;
    }
    if (static_cast<unsigned>(code) >> 24) return 0;
    auto lower = [](int c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
    const int first = lower(code & 0xFF), second = lower((code >> 8) & 0xFF), third = (code >> 16) & 0xFF;
    auto sign_of = [](int c) { return c == 0 || c == '+' ? 1 : c == '-' ? -1 : 0; };
    if (first == 'y' && second == 'z') {
        const int sign = sign_of(third);
        if (!sign) return 0;
        axis_rotation_matrix(out, 'Z', r[1], sign);
        return 1;
    }
    const int sign = third ? 0 : sign_of(second);
    if (!sign) return 0;
    switch (first) {
    case 'm': translation(out, v, sign); return 1;
    case 's': scale_matrix(out, v, sign); return 1;
    case 'x': axis_rotation_matrix(out, 'X', r[0], sign); return 1;
    case 'y': axis_rotation_matrix(out, z_up ? 'Z' : 'Y', r[1], sign); return 1;
    case 'z': axis_rotation_matrix(out, 'Z', r[2], sign); return 1;
    default: return 0;
    }
}

void compose_matrix_ops(int onto, double* m, const double* v, const double* r, int z_up, int c1, int c2, int c3, int c4,
                        int c5, int c6, int c7) {
    const int codes[7] = {c1, c2, c3, c4, c5, c6, c7};
    double step[16];
    for (int i = 0; i < 7; ++i) {
        if (i > 0 && codes[i] == 0) break;
        if (!matrix_op_step(step, v, r, codes[i], z_up)) {
            if (i == 0 && !onto) identity_matrix4(m);
            continue;
        }
        if (i == 0 && !onto)
            std::memcpy(m, step, sizeof step);
        else
            multiply_matrix4(m, m, step);
    }
}

void multiply_matrix4(double* out, const double* a, const double* b) {
    double t[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            t[i * 4 + j] =
                a[i * 4] * b[j] + a[i * 4 + 1] * b[4 + j] + a[i * 4 + 2] * b[8 + j] + a[i * 4 + 3] * b[12 + j];
    std::memcpy(out, t, sizeof t);
}

void transform_point(double* out, const double* p, const double* m) {
    const double x = p[0], y = p[1], z = p[2];
    for (int j = 0; j < 3; ++j) out[j] = x * m[j] + y * m[4 + j] + z * m[8 + j] + m[12 + j];
}

void transform_direction(double* out, const double* d, const double* m) {
    const double x = d[0], y = d[1], z = d[2];
    double t[3];
    for (int j = 0; j < 3; ++j) t[j] = x * m[j] + y * m[4 + j] + z * m[8 + j];
    vec3_normalize(t, out);
}

}  // namespace kz::foundation
