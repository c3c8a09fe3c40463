// Matrix math against Eigen on random matrices, mirrors included; rotations and frames by their defining properties.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <random>
#include <tuple>

#include "geometry/shared_math.h"
#include "geometry/vector_math.h"
#include "support/all_near.h"

namespace {

using Mat4 = Eigen::Matrix4d;

Mat4 to_eigen(const OfuMatrix4x4& m) {
    Mat4 e;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) e(r, c) = m[r][c];
    return e;
}

OfuMatrix4x4 from_eigen(const Mat4& e) {
    OfuMatrix4x4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = e(r, c);
    return m;
}

// Random general matrices, random affine placements, and both turned into mirrors by negating one axis.
std::vector<Mat4> sample_matrices() {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    std::vector<Mat4> out;
    for (int i = 0; i < 40; ++i) {
        Mat4 g;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) g(r, c) = u(rng);
        out.push_back(g);
        Mat4 a = Mat4::Identity();
        a.topLeftCorner<3, 3>() =
            Eigen::AngleAxisd(u(rng), Eigen::Vector3d(u(rng), u(rng), u(rng)).normalized()).toRotationMatrix() *
            (1.0 + std::fabs(u(rng)));
        a.row(3).head<3>() = Eigen::Vector3d(u(rng), u(rng), u(rng)) * 10.0;
        out.push_back(a);
        Mat4 mirror = Mat4::Identity();
        mirror(i % 3, i % 3) = -1.0;
        out.push_back(mirror * a);
        out.push_back(g * mirror);
    }
    return out;
}

TEST(MatrixMath, ProductsAndTransformsMatchEigen) {
    const std::vector<Mat4> ms = sample_matrices();
    for (size_t i = 0; i + 1 < ms.size(); ++i) {
        OfuMatrix4x4 a = from_eigen(ms[i]);
        MultiplyMatrix4x4(a, from_eigen(ms[i + 1]));
        EXPECT_TRUE(to_eigen(a).isApprox(ms[i] * ms[i + 1], 1e-12)) << i;

        const Eigen::RowVector4d p(1.5, -2.0, 0.25, 1.0);
        const Eigen::RowVector4d q = p * ms[i];
        OfuVector3 v(p(0), p(1), p(2));
        TransformPointByMatrix4x4(from_eigen(ms[i]), v);
        EXPECT_NEAR(v.x, q(0) / q(3), 1e-9 * (1 + std::fabs(q(0) / q(3)))) << i;
        EXPECT_NEAR(v.y, q(1) / q(3), 1e-9 * (1 + std::fabs(q(1) / q(3)))) << i;
        EXPECT_NEAR(v.z, q(2) / q(3), 1e-9 * (1 + std::fabs(q(2) / q(3)))) << i;
    }
}

TEST(MatrixMath, DeterminantAndInverseMatchEigenIncludingMirrors) {
    int mirrors = 0;
    for (const Mat4& e : sample_matrices()) {
        const OfuMatrix4x4 m = from_eigen(e);
        const double det = e.determinant();
        EXPECT_NEAR(DeterminantMatrix4x4(m), det, 1e-9 * (1 + std::fabs(det)));
        if (std::fabs(det) < 1e-3) continue;
        mirrors += det < 0;
        OfuMatrix4x4 inv;
        ASSERT_EQ(InverseMatrix4x4(m, inv), 1);
        EXPECT_TRUE(to_eigen(inv).isApprox(e.inverse(), 1e-9)) << "det " << det;
        // 3x3: the upper-left block.
        double m3[3][3], inv3[3][3];
        const Eigen::Matrix3d e3 = e.topLeftCorner<3, 3>();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m3[r][c] = e3(r, c);
        EXPECT_NEAR(DeterminantMatrix3x3(m3), e3.determinant(), 1e-9 * (1 + std::fabs(e3.determinant())));
        if (std::fabs(e3.determinant()) < 1e-3) continue;
        ASSERT_EQ(InverseMatrix3x3(m3, inv3), 1);
        const Eigen::Matrix3d want = e3.inverse();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(inv3[r][c], want(r, c), 1e-9 * (1 + std::fabs(want(r, c))));
    }
    EXPECT_GT(mirrors, 20);  // the sample really holds mirrors
}

TEST(MatrixMath, CofactorsFollowTheSignPattern) {
    const Mat4 e = sample_matrices()[0];
    const Mat4 adjugate = e.inverse() * e.determinant();  // adj(A)[c][r] = cofactor(r, c)
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            EXPECT_NEAR(CofactorMatrix4x4(from_eigen(e), r, c), adjugate(c - 1, r - 1), 1e-9) << r << c;
    EXPECT_EQ(std::tuple(CofactorMatrix4x4(from_eigen(e), 0, 1), CofactorMatrix4x4(from_eigen(e), 1, 5)),
              std::tuple(0.0, 0.0));
}

TEST(MatrixMath, NearlySingularLeavesOutputUntouched) {
    OfuMatrix4x4 m = identity_matrix();
    m[0][0] = 0.000001;  // determinant 1e-6
    OfuMatrix4x4 out;
    for (auto& row : out.m)
        for (double& v : row) v = 42.0;
    EXPECT_EQ(InverseMatrix4x4(m, out), 0);
    for (auto& row : out.m)
        for (double v : row) EXPECT_EQ(v, 42.0);
    double m3[3][3] = {{1, 1, 1}, {0, 1, 2}, {0, 2, 4}}, out3[3][3] = {{7}};
    EXPECT_EQ(InverseMatrix3x3(m3, out3), 0);
    EXPECT_EQ(out3[0][0], 7.0);
}

TEST(MatrixMath, RotationsTurnCounterClockwiseAndSnap) {
    OfuMatrix4x4 r;
    MakeRotateZMatrix(r, M_PI / 2);
    EXPECT_EQ(std::tuple(r[0][0], r[1][1]), std::tuple(0.0, 0.0));
    OfuVector3 p(1, 0, 0);
    TransformPointByMatrix4x4(r, p);
    EXPECT_EQ(std::tuple(p.x, p.y), std::tuple(0.0, 1.0));
    struct Case {
        void (*make)(OfuMatrix4x4&, double);
        Eigen::Vector3d axis;
    };
    const Case cases[] = {{MakeRotateXMatrix, Eigen::Vector3d::UnitX()},
                          {MakeRotateYMatrix, Eigen::Vector3d::UnitY()},
                          {MakeRotateZMatrix, Eigen::Vector3d::UnitZ()}};
    for (const Case& c : cases) {
        c.make(r, 0.7);
        // Row vectors: p x M equals (R p) for Eigen's right-handed rotation R by the same angle.
        const Eigen::Matrix3d want = Eigen::AngleAxisd(0.7, c.axis).toRotationMatrix().transpose();
        const Eigen::Matrix3d got = to_eigen(r).topLeftCorner<3, 3>();
        EXPECT_TRUE(got.isApprox(want, 1e-12));
    }
}

TEST(MatrixMath, DirectionToAngles) {
    struct Case {
        OfuVector3 d;
        int result;
        double elevation, azimuth;
    };
    const Case cases[] = {
        {{0, 0, 5}, 2, M_PI / 2, 0.0},   {{-1, 0, 0}, 1, 0.0, M_PI},
        {{0, -2, 0}, 1, 0.0, -M_PI / 2}, {{0, 3, 0}, 1, 0.0, M_PI / 2},
        {{1, 1, 0}, 1, 0.0, M_PI / 4},   {{-1, -1, std::sqrt(2.0)}, 1, M_PI / 4, 5 * M_PI / 4},
        {{0, 0, -1}, 2, -M_PI / 2, 0.0},
    };
    for (const Case& c : cases) {
        double e = 9, a = 9;
        EXPECT_EQ(DirectionToAngles(c.d, e, a), c.result);
        EXPECT_TRUE(kz::test::all_near({e, a}, {c.elevation, c.azimuth}, 1e-12));
    }
    double e = 9, a = 9;
    EXPECT_EQ(DirectionToAngles(OfuVector3(1e-6, 0, 0), e, a), 0);
    EXPECT_EQ(std::tuple(e, a), std::tuple(9.0, 9.0));
}

TEST(MatrixMath, PolygonNormalAndCentroid) {
    const OfuVector3 square[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    OfuVector3 n;
    ASSERT_EQ(PolygonNormal(square, 4, n), 1);
    EXPECT_EQ(n.z, 1.0);
    const OfuVector3 twice[] = {{1, 2, 3}, {1, 2, 3}};
    EXPECT_EQ(std::tuple(PolygonNormal(twice, 2, n), PolygonNormal(square, 1, n)), std::tuple(0, 0));
    COfuPoint3Array pts;
    for (const OfuVector3& p : square) pts.Add(p);
    const OfuVector3 c = PolygonCentroid(pts);
    EXPECT_EQ(std::tuple(c.dim, c.x, c.y), std::tuple(3, 0.5, 0.5));
}

TEST(MatrixMath, PlaneToXYMovesPointToOriginAndNormalToZ) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int i = 0; i < 200; ++i) {
        OfuVector3 normal(u(rng), u(rng), u(rng));
        if (i % 10 == 0) normal = OfuVector3(0, 0, i % 20 == 0 ? 2 : -2);  // the vertical cases
        if (i % 10 == 1) normal = OfuVector3(0, u(rng), 0);
        NormalizeVector3(normal);
        const OfuVector3 point(u(rng) * 10, u(rng) * 10, u(rng) * 10);
        OfuMatrix4x4 m;
        ASSERT_EQ(MakePlaneToXYMatrix(normal, point, m), 1);
        OfuVector3 p = point;
        TransformPointByMatrix4x4(m, p);
        EXPECT_NEAR(length(p), 0.0, 1e-9);
        OfuVector3 tip = point + normal;
        TransformPointByMatrix4x4(m, tip);
        EXPECT_TRUE(kz::test::all_near({tip.x, tip.y, tip.z}, {0.0, 0.0, 1.0}, 1e-9));
        EXPECT_NEAR(std::fabs(DeterminantMatrix4x4(m)), 1.0, 1e-9);  // a rigid motion

        const OfuVector3 direction = cross(normal, OfuVector3(u(rng), u(rng), u(rng)));
        if (length(direction) < 1e-3) continue;
        ASSERT_EQ(MakePlaneToXYMatrixAligned(normal, point, direction, m), 1);
        OfuVector3 along = point + direction;
        TransformPointByMatrix4x4(m, along);
        EXPECT_TRUE(kz::test::all_near({along.y, along.z}, {0.0, 0.0}, 1e-9));
        EXPECT_GT(along.x, 0.0);
    }
    OfuMatrix4x4 m;
    EXPECT_EQ(MakePlaneToXYMatrix(OfuVector3(0, 0, 1e-7), OfuVector3(1, 2, 3), m), 0);
    EXPECT_EQ(m[3][0], -1.0);
}

}  // namespace
