// Sample outlines for converter tests and benchmarks: regular polygons, stars, random star-shaped outlines, an L,
// a comb, and rigid placements into 3D. Header-only so the benchmark programs can share them.
#pragma once
#include <cmath>
#include <random>
#include <vector>

#include "geometry/geometry_elements.h"
#include "geometry/ofu_types.h"
#include "geometry/vector_math.h"

namespace kz::test {

inline std::vector<OfuVector3> regular_polygon(int n, double radius, double cx = 0.0, double cy = 0.0,
                                               double phase = 0.0) {
    std::vector<OfuVector3> out;
    for (int i = 0; i < n; ++i) {
        const double a = phase + 2.0 * M_PI * i / n;
        out.emplace_back(cx + radius * std::cos(a), cy + radius * std::sin(a), 0.0);
    }
    return out;
}

// Alternating outer and inner radius: concave at every other corner.
inline std::vector<OfuVector3> star(int n, double outer, double inner, double cx = 0.0, double cy = 0.0) {
    std::vector<OfuVector3> out;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * M_PI * i / n;
        const double r = i % 2 == 0 ? outer : inner;
        out.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a), 0.0);
    }
    return out;
}

// Star-shaped about the centre with random radii: always simple, usually very concave.
inline std::vector<OfuVector3> random_star(int n, unsigned seed, double lo = 0.3, double hi = 1.0) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<OfuVector3> out;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * M_PI * i / n;
        const double r = u(rng);
        out.emplace_back(r * std::cos(a), r * std::sin(a), 0.0);
    }
    return out;
}

inline std::vector<OfuVector3> l_shape() { return {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}; }

// Teeth of width 1 and height 3 on a base of height 1, with gaps of width 1.
inline std::vector<OfuVector3> comb(int teeth) {
    std::vector<OfuVector3> out;
    const double width = 2.0 * teeth - 1.0;
    out.emplace_back(0, 0, 0);
    out.emplace_back(width, 0, 0);
    for (int t = teeth - 1; t >= 0; --t) {
        const double x = 2.0 * t;
        out.emplace_back(x + 1, 4, 0);
        out.emplace_back(x, 4, 0);
        if (t > 0) {
            out.emplace_back(x, 1, 0);
            out.emplace_back(x - 1, 1, 0);
        }
    }
    return out;  // area: width + 3 * teeth
}

inline std::vector<OfuVector3> reversed(std::vector<OfuVector3> v) {
    std::vector<OfuVector3> out(v.rbegin(), v.rend());
    return out;
}

// A rigid motion: rotation about a random axis, then a translation.
inline OfuMatrix4x4 random_placement(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    OfuMatrix4x4 m;
    OfuVector3 normal(u(rng), u(rng), u(rng));
    NormalizeVector3(normal);
    // The inverse of a plane frame is a placement that lays XY onto that plane.
    OfuMatrix4x4 frame;
    MakePlaneToXYMatrix(normal, OfuVector3(u(rng) * 5, u(rng) * 5, u(rng) * 5), frame);
    OfuMatrix4x4 rz;
    MakeRotateZMatrix(rz, u(rng) * M_PI);
    m = rz;
    // m = rz x frame^-1, written out for a rigid frame: transpose the rotation, move back the translation.
    OfuMatrix4x4 back = identity_matrix();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) back[r][c] = frame[c][r];
    for (int c = 0; c < 3; ++c)
        back[3][c] = -(frame[3][0] * back[0][c] + frame[3][1] * back[1][c] + frame[3][2] * back[2][c]);
    MultiplyMatrix4x4(m, back);
    return m;
}

inline std::vector<OfuVector3> placed(std::vector<OfuVector3> v, const OfuMatrix4x4& m) {
    for (OfuVector3& p : v) TransformPointByMatrix4x4(m, p);
    return v;
}

inline OfuVector3 placed_normal(const OfuMatrix4x4& m) {
    OfuVector3 n(0, 0, 1);
    TransformPointByMatrix4x4(rotation_part(m), n);
    return n;
}

inline COfuPolygon polygon_of(const std::vector<OfuVector3>& outline) {
    COfuPolygon p;
    for (const OfuVector3& q : outline) p.points.Add(q);
    return p;
}

}  // namespace kz::test
