// Look-at and perspective matrices from the elementary rotations, and the barycentric point-in-triangle mask.
#include "modeller/camera/o3du_math_matrix.h"

#include <algorithm>
#include <cmath>

#include "geometry/shared_math.h"
#include "geometry/vector_math.h"

namespace {

constexpr double kTiny = 1e-5;

OfuMatrix4x4 translation(double x, double y, double z) {
    OfuMatrix4x4 t = identity_matrix();
    t[3][0] = x;
    t[3][1] = y;
    t[3][2] = z;
    return t;
}

}  // namespace

void MakeLookAtMatrix(const OfuVector3& eye, const OfuVector3& target, double distance, OfuMatrix4x4& out) {
    out = translation(-eye.x, -eye.y, -eye.z);
    const OfuVector3 d = target - eye;
    const double len = length(d);
    if (len >= kTiny) {
        OfuMatrix4x4 r;
        if (d.x != 0.0 || d.y != 0.0) {
            double azimuth = 0.0;
            if (d.x != 0.0) {
                azimuth = std::atan(d.y / d.x);
                if (d.x < 0.0) azimuth += M_PI;
            } else {
                azimuth = d.y > 0.0 ? M_PI / 2 : -M_PI / 2;
            }
            MakeRotateZMatrix(r, -(azimuth - M_PI / 2));
            MultiplyMatrix4x4(out, r);
        }
        const double elevation = std::asin(std::clamp(d.z / len, -1.0, 1.0));
        MakeRotateXMatrix(r, -(elevation + M_PI / 2));
        MultiplyMatrix4x4(out, r);
    }
    MultiplyMatrix4x4(out, translation(0.0, 0.0, distance));
}

void CO3duMathMatrix::GetToViewMatrix(const _O3duCamera& camera, double d, OfuMatrix4x4& m) {
    MakeLookAtMatrix(camera.eye, camera.target, d, m);
}

void CO3duMathMatrix::GetPerspectiveMatrix(const _O3duCamera& camera, double d, OfuMatrix4x4& m) {
    const double t = std::tan(camera.fov * M_PI / 360.0);
    MakeLookAtMatrix(camera.eye, camera.target, d, m);
    OfuMatrix4x4 flip = identity_matrix();
    flip[2][2] = -1.0;
    MultiplyMatrix4x4(m, flip);
    OfuMatrix4x4 p = identity_matrix();
    p[2][2] = t;
    p[2][3] = t;
    p[3][2] = -t * d;
    p[3][3] = 0.0;
    MultiplyMatrix4x4(m, p);
}

int PointInTriangleMask(const double x[3], const double y[3], double px, double py) {
    const double rows[3][3] = {{1.0, 1.0, 1.0}, {x[0], x[1], x[2]}, {y[0], y[1], y[2]}};
    double inverse[3][3];
    if (!InverseMatrix3x3(rows, inverse)) return 7;
    int mask = 0;
    const int bits[3] = {4, 2, 1};
    for (int i = 0; i < 3; ++i) {
        const double weight = inverse[i][0] + inverse[i][1] * px + inverse[i][2] * py;
        if (weight + kTiny < 0.0) mask |= bits[i];
    }
    return mask;
}
