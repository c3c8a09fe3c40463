// Matrix codes, products and transforms against Eigen; the vector helpers against independent sums.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/foundation/matrix_ops.h"
#include "app/foundation/vector_geometry.h"

namespace kz::foundation {
namespace {

constexpr double kPi = 3.141592653589793;

Eigen::Vector3d apply(const double* m, const Eigen::Vector3d& p) {
    double in[3] = {p.x(), p.y(), p.z()}, out[3];
    transform_point(out, in, m);
    return {out[0], out[1], out[2]};
}

struct Step {
    std::string code;
    // The same step as a column-vector transform applied to a point.
    Eigen::Affine3d (*oracle)(const Eigen::Vector3d& v, const Eigen::Vector3d& r, bool z_up);
};

Eigen::Affine3d rot(int axis, double degrees) {
    const Eigen::Vector3d axes[3] = {Eigen::Vector3d::UnitX(), Eigen::Vector3d::UnitY(), Eigen::Vector3d::UnitZ()};
    return Eigen::Affine3d(Eigen::AngleAxisd(degrees * kPi / 180.0, axes[axis]));
}

const std::vector<Step>& steps() {
    static const std::vector<Step> table = {
        {"M", [](auto& v, auto&, bool) { return Eigen::Affine3d(Eigen::Translation3d(v)); }},
        {"m+", [](auto& v, auto&, bool) { return Eigen::Affine3d(Eigen::Translation3d(v)); }},
        {"M-", [](auto& v, auto&, bool) { return Eigen::Affine3d(Eigen::Translation3d(-v)); }},
        {"S", [](auto& v, auto&, bool) { return Eigen::Affine3d(Eigen::Scaling(v)); }},
        {"s-", [](auto& v, auto&, bool) { return Eigen::Affine3d(Eigen::Scaling(v.cwiseInverse().eval())); }},
        {"X", [](auto&, auto& r, bool) { return rot(0, r.x()); }},
        {"x-", [](auto&, auto& r, bool) { return rot(0, -r.x()); }},
        {"Y", [](auto&, auto& r, bool z_up) { return rot(z_up ? 2 : 1, r.y()); }},
        {"y-", [](auto&, auto& r, bool z_up) { return rot(z_up ? 2 : 1, -r.y()); }},
        {"Z+", [](auto&, auto& r, bool) { return rot(2, r.z()); }},
        {"z-", [](auto&, auto& r, bool) { return rot(2, -r.z()); }},
        {"YZ", [](auto&, auto& r, bool) { return rot(2, r.y()); }},
        {"yz-", [](auto&, auto& r, bool) { return rot(2, -r.y()); }},
    };
    return table;
}

TEST(MatrixOps, RandomCodeChainsMatchEigen) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-100, 100), angle(-360, 360), scale(0.2, 5);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(steps().size()) - 1), length(1, 7), flip(0, 1);
    for (int trial = 0; trial < 500; ++trial) {
        const Eigen::Vector3d v(scale(rng) * (flip(rng) ? 1 : -1), scale(rng), scale(rng));
        const Eigen::Vector3d r(angle(rng), angle(rng), angle(rng));
        const bool z_up = flip(rng);
        const bool onto = flip(rng);
        const int n = length(rng);
        int codes[7] = {};
        Eigen::Affine3d oracle = Eigen::Affine3d::Identity();
        double start[16];
        identity_matrix4(start);
        if (onto) {  // a translation already in the matrix is applied before the chain
            start[12] = 3, start[13] = -4, start[14] = 5;
            oracle = Eigen::Translation3d(3, -4, 5) * oracle;
        }
        std::string names;
        for (int i = 0; i < n; ++i) {
            const Step& s = steps()[pick(rng)];
            codes[i] = op_code(s.code.c_str());
            oracle = s.oracle(v, r, z_up) * oracle;  // row vectors: each further code applies after the last
            names += s.code + " ";
        }
        const double vv[3] = {v.x(), v.y(), v.z()}, rr[3] = {r.x(), r.y(), r.z()};
        double m[16];
        std::copy(start, start + 16, m);
        compose_matrix_ops(onto, m, vv, rr, z_up, codes[0], codes[1], codes[2], codes[3], codes[4], codes[5], codes[6]);
        const Eigen::Vector3d p(coord(rng), coord(rng), coord(rng));
        const Eigen::Vector3d got = apply(m, p), want = oracle * p;
        ASSERT_LT((got - want).norm(), 1e-9 * (1 + want.norm())) << names << (onto ? "onto" : "");
    }
}

TEST(MatrixOps, DocumentedCases) {
    const double v[3] = {1, 2, 3};
    double m[16];
    ASSERT_EQ(matrix_op_step(m, v, nullptr, 0x2D4D, 0), 1);
    EXPECT_EQ(apply(m, {0, 0, 0}), Eigen::Vector3d(-1, -2, -3));

    const double r[3] = {0, 90, 0}, t[3] = {10, 0, 0};
    compose_matrix_ops(0, m, t, r, 0, 'y', 'x', 'z', 'M');
    EXPECT_LT((apply(m, {1, 0, 0}) - Eigen::Vector3d(10, 0, -1)).norm(), 1e-12);

    const double s[3] = {2, 0, 4};
    scale_matrix(m, s, -1);
    const double want[16] = {0.5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.25, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_DOUBLE_EQ(m[i], want[i]) << i;

    // Codes that name nothing leave the output alone; 0 and 1 are the zero and identity matrices.
    for (int code : {op_code("Q"), op_code("M*"), op_code("XY"), op_code("YZ*"), op_code("M+-")}) {
        std::fill(m, m + 16, 7.0);
        EXPECT_EQ(matrix_op_step(m, v, r, code, 0), 0) << code;
        EXPECT_EQ(m[0], 7.0);
    }
    matrix_op_step(m, v, r, 0, 0);
    EXPECT_EQ(std::count(m, m + 16, 0.0), 16);
}

TEST(MatrixOps, ProductsAliasAndDirectionsAreUnit) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-2, 2);
    for (int trial = 0; trial < 100; ++trial) {
        double a[16], b[16];
        for (double& x : a) x = u(rng);
        for (double& x : b) x = u(rng);
        const Eigen::Matrix<double, 4, 4, Eigen::RowMajor> ea(a), eb(b);
        const Eigen::Matrix<double, 4, 4, Eigen::RowMajor> want = ea * eb;
        multiply_matrix4(a, a, b);  // out aliases A
        for (int i = 0; i < 16; ++i) ASSERT_NEAR(a[i], want.data()[i], 1e-12);
        const double d[3] = {u(rng), u(rng), u(rng)};
        double out[3];
        transform_direction(out, d, b);
        const Eigen::Vector3d w = (Eigen::RowVector4d(d[0], d[1], d[2], 0) * eb).head<3>().transpose();
        if (w.norm() > 1e-6) {
            ASSERT_LT((Eigen::Vector3d(out[0], out[1], out[2]) - w.normalized()).norm(), 1e-9);
        }
    }
}

TEST(VectorGeometry, PolarRoundTripsAndAngles) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-50, 50);
    for (int trial = 0; trial < 200; ++trial) {
        const double from[3] = {u(rng), u(rng), u(rng)}, to[3] = {u(rng), u(rng), u(rng)};
        double polar[3], dir[3], back[3];
        const double d = vector_to_polar(from, to, polar, dir);
        EXPECT_NEAR(d, std::hypot(to[0] - from[0], to[1] - from[1], to[2] - from[2]), 1e-9);
        polar_to_point(from, polar, back);
        for (int i = 0; i < 3; ++i) ASSERT_NEAR(back[i], to[i], 1e-9);
        double direction[3];
        angles_to_direction(polar[2], polar[1], direction);
        for (int i = 0; i < 3; ++i) ASSERT_NEAR(direction[i], dir[i], 1e-12);
    }
    double p[3] = {1, 2, 3}, dir[3];
    EXPECT_EQ(vector_to_polar(p, p, nullptr, dir), 0.0);
    EXPECT_EQ(dir[0] + dir[1] + dir[2], 0.0);
    double az = 0, el = 0;
    const double down[3] = {1, 0, -1};
    vector_to_angles(down, &az, &el);
    EXPECT_NEAR(el, 45.0, 1e-12);  // elevation counts downward
    double ux = 0, uy = 0;
    rotated_direction_2d(2, 0, 90, &ux, &uy);
    EXPECT_NEAR(ux, 0, 1e-12);
    EXPECT_NEAR(uy, 1, 1e-12);
    rotated_direction_2d(0, 0, 30, &ux, &uy);
    EXPECT_EQ(ux, 1.0);
}

TEST(VectorGeometry, SmallHelpers) {
    struct {
        int i, n, want;
    } wraps[] = {{-1, 5, 4}, {5, 5, 0}, {-11, 5, 4}, {3, 5, 3}, {7, 0, 0}, {4, -3, 0}};
    for (auto c : wraps) EXPECT_EQ(wrap_index(c.i, c.n), c.want) << c.i << " " << c.n;
    std::uint32_t out = 0;
    EXPECT_EQ(scale_color(2.0, 0x10FF40, &out), 0x20FF80u);
    EXPECT_EQ(out, 0x20FF80u);
    EXPECT_EQ(scale_color(-1.0, 0x10FF40, nullptr), 0u);
    EXPECT_EQ(scale_color(0.5, 0x0301FF, nullptr), 0x01007Fu);
    const double point[3] = {0, 0, 10}, dir[3] = {0, 0, -2}, plane_point[3] = {5, 5, 4}, normal[3] = {0, 0, 1};
    double hit[3];
    ASSERT_EQ(intersect_line_plane(point, dir, plane_point, normal, hit), 1);
    EXPECT_DOUBLE_EQ(hit[2], 4.0);
    const double along[3] = {1, 0, 0};
    EXPECT_EQ(intersect_line_plane(point, along, plane_point, normal, hit), 0);
    EXPECT_EQ(hit[2], 10.0);
}

TEST(VectorGeometry, NewellNormalAndAreaOfRandomPlanarPolygons) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int trial = 0; trial < 100; ++trial) {
        const Eigen::Vector3d n = Eigen::Vector3d(u(rng), u(rng), u(rng)).normalized();
        const Eigen::Vector3d e1 = n.unitOrthogonal(), e2 = n.cross(e1);
        // A star of 7 points counter-clockwise about n, so its normal is n.
        std::vector<double> pts;
        double area2d = 0;
        std::vector<Eigen::Vector2d> flat;
        for (int k = 0; k < 7; ++k) {
            const double a = 2 * kPi * k / 7, rad = k % 2 ? 3 : 7;
            flat.emplace_back(rad * std::cos(a), rad * std::sin(a));
            const Eigen::Vector3d p = Eigen::Vector3d(1, 2, 3) + flat.back().x() * e1 + flat.back().y() * e2;
            pts.insert(pts.end(), {p.x(), p.y(), p.z()});
        }
        for (int k = 0; k < 7; ++k) {
            const Eigen::Vector2d& a = flat[k];
            const Eigen::Vector2d& b = flat[(k + 1) % 7];
            area2d += (a.x() * b.y() - b.x() * a.y()) / 2;
        }
        double normal[3], signed_area = 0;
        const double length = polygon_normal(pts.data(), 7, normal, &signed_area);
        EXPECT_NEAR(length, 2 * area2d, 1e-9);
        EXPECT_LT((Eigen::Vector3d(normal[0], normal[1], normal[2]) - n).norm(), 1e-9);
        EXPECT_NEAR(signed_area, -area2d * n.z(), 1e-9);  // negative when counter-clockwise seen from +z

        std::vector<double> out;
        PlaneFrame frame;
        ASSERT_EQ(polygon_to_plane(pts.data(), 7, out, &frame), 1);
        ASSERT_EQ(out.size(), 21u);
        EXPECT_NEAR(out[0] * out[0] + out[1] * out[1] + out[2] * out[2], 0, 1e-18);
        EXPECT_NEAR(out[4], 0, 1e-9);  // first edge along +x
        EXPECT_GT(out[3], 0);
        for (int k = 0; k < 7; ++k) {
            EXPECT_NEAR(out[3 * k + 2], 0, 1e-9);
            for (int l = 0; l < k; ++l) {
                const Eigen::Vector3d a(&pts[3 * k]), b(&pts[3 * l]), c(&out[3 * k]), d(&out[3 * l]);
                EXPECT_NEAR((a - b).norm(), (c - d).norm(), 1e-9);
            }
        }
        double flat_normal[3];
        polygon_normal(out.data(), 7, flat_normal, nullptr);
        EXPECT_NEAR(flat_normal[2], 1.0, 1e-9);  // not mirrored
        EXPECT_EQ(frame.origin[0], pts[0]);
    }
    std::vector<double> untouched = {9};
    const double two[6] = {0, 0, 0, 1, 0, 0};
    EXPECT_EQ(polygon_to_plane(two, 2, untouched, nullptr), 0);
    EXPECT_EQ(untouched.size(), 1u);
}

}  // namespace
}  // namespace kz::foundation
