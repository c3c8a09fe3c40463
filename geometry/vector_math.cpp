// Vector and matrix functions of the 3D library, in the row-vector convention (p' = p x M).
// Rotations snap sines and cosines below 1e-5 to zero so that quarter turns are exact.
#include "geometry/vector_math.h"

#include <cmath>

namespace {

constexpr double kShort = 1e-5;

double snap(double v) { return std::fabs(v) < kShort ? 0.0 : v; }

}  // namespace

void MultiplyMatrix4x4(OfuMatrix4x4& a, const OfuMatrix4x4& b) {
    OfuMatrix4x4 t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a[r][k] * b[k][c];
            t[r][c] = s;
        }
    a = t;
}

void TransformPointByMatrix4x4(const OfuMatrix4x4& m, OfuVector3& p) {
    const double x = p.x, y = p.y, z = p.z;
    const double w = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
    p.x = (x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0]) / w;
    p.y = (x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1]) / w;
    p.z = (x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2]) / w;
}

void MakeRotateXMatrix(OfuMatrix4x4& m, double angle) {
    const double c = snap(std::cos(angle)), s = snap(std::sin(angle));
    m = identity_matrix();
    m[1][1] = c;
    m[1][2] = s;
    m[2][1] = -s;
    m[2][2] = c;
}

void MakeRotateYMatrix(OfuMatrix4x4& m, double angle) {
    const double c = snap(std::cos(angle)), s = snap(std::sin(angle));
    m = identity_matrix();
    m[0][0] = c;
    m[0][2] = -s;
    m[2][0] = s;
    m[2][2] = c;
}

void MakeRotateZMatrix(OfuMatrix4x4& m, double angle) {
    const double c = snap(std::cos(angle)), s = snap(std::sin(angle));
    m = identity_matrix();
    m[0][0] = c;
    m[0][1] = s;
    m[1][0] = -s;
    m[1][1] = c;
}

double length(const OfuVector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

int NormalizeXYZ(double& x, double& y, double& z) {
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len < kShort) return 0;
    x /= len;
    y /= len;
    z /= len;
    return 1;
}

int NormalizeVector3(OfuVector3& v) { return NormalizeXYZ(v.x, v.y, v.z); }

double planar_angle(const OfuVector3& v) {
    if (length(v) < kShort) return 0.0;
    if (v.x != 0.0) return std::atan(v.y / v.x) + (v.x < 0.0 ? M_PI : 0.0);
    if (v.y == 0.0) return 0.0;
    return v.y < 0.0 ? -M_PI / 2 : M_PI / 2;
}

int DirectionToAngles(const OfuVector3& d, double& elevation, double& azimuth) {
    const double len = length(d);
    if (len < kShort) return 0;
    elevation = std::asin(d.z / len);
    azimuth = 0.0;
    if (d.x != 0.0) {
        azimuth = std::atan(d.y / d.x);
        if (d.x < 0.0) azimuth += M_PI;
        return 1;
    }
    if (d.y < 0.0) {
        azimuth = -M_PI / 2;
        return 1;
    }
    if (d.y > 0.0) {
        azimuth = M_PI / 2;
        return 1;
    }
    return 2;
}

int PolygonNormal(const OfuVector3* points, int count, OfuVector3& normal) {
    if (!points || count < 2) return 0;
    double nx = 0.0, ny = 0.0, nz = 0.0;
    for (int i = 0; i < count; ++i) {
        const OfuVector3& a = points[i];
        const OfuVector3& b = points[i + 1 < count ? i + 1 : 0];
        nx += (a.y - b.y) * (a.z + b.z);
        ny += (a.z - b.z) * (a.x + b.x);
        nz += (a.x - b.x) * (a.y + b.y);
    }
    if (!NormalizeXYZ(nx, ny, nz)) return 0;
    normal.x = nx;
    normal.y = ny;
    normal.z = nz;
    return 1;
}

OfuVector3 PolygonCentroid(const COfuPoint3Array& points) {
    OfuVector3 c;
    const int n = points.GetSize();
    if (n <= 0) return c;
    for (int i = 0; i < n; ++i) {
        c.x += points[i].x;
        c.y += points[i].y;
        c.z += points[i].z;
    }
    c.x /= n;
    c.y /= n;
    c.z /= n;
    return c;
}

int MakePlaneToXYMatrix(const OfuVector3& normal, const OfuVector3& point, OfuMatrix4x4& m) {
    m = identity_matrix();
    m[3][0] = -point.x;
    m[3][1] = -point.y;
    m[3][2] = -point.z;
    double elevation = 0.0, azimuth = 0.0;
    const int kind = DirectionToAngles(normal, elevation, azimuth);
    if (kind == 0) return 0;
    OfuMatrix4x4 r;
    if (kind == 2) {
        MakeRotateYMatrix(r, M_PI / 2 - elevation);
        MultiplyMatrix4x4(m, r);
        return 1;
    }
    MakeRotateZMatrix(r, -M_PI / 2 - azimuth);
    MultiplyMatrix4x4(m, r);
    MakeRotateXMatrix(r, elevation - M_PI / 2);
    MultiplyMatrix4x4(m, r);
    return 1;
}

OfuMatrix4x4 rotation_part(const OfuMatrix4x4& m) {
    OfuMatrix4x4 r = m;
    r[3][0] = r[3][1] = r[3][2] = 0.0;
    return r;
}

int MakePlaneToXYMatrixAligned(const OfuVector3& normal, const OfuVector3& point, const OfuVector3& direction,
                               OfuMatrix4x4& m) {
    MakePlaneToXYMatrix(normal, point, m);
    OfuVector3 r = direction;
    NormalizeVector3(r);
    TransformPointByMatrix4x4(rotation_part(m), r);
    OfuMatrix4x4 turn;
    MakeRotateZMatrix(turn, -planar_angle(r));
    MultiplyMatrix4x4(m, turn);
    return 1;
}
