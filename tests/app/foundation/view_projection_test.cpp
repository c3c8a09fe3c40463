// The GDI plan projection against GLU's gluProject, clipping against Boost.Geometry, and its pixels.
#include <gtest/gtest.h>

#include <GL/glu.h>

#include <Eigen/Dense>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "app/foundation/eye_record.h"
#include "app/foundation/view_projection.h"
#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/gdi.h"
#include "support/all_near.h"

namespace kz::foundation {
namespace {

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BPolygon = bg::model::polygon<BPoint>;

// An eye looking from `from` at `to` with z up; its window maps x / depth in [offset, offset + width / scale].
EyeRecord make_eye(const Eigen::Vector3d& from, const Eigen::Vector3d& to, int width, int height) {
    EyeRecord e;
    const Eigen::Vector3d f = (to - from).normalized();
    const Eigen::Vector3d s = f.cross(Eigen::Vector3d::UnitZ()).normalized();
    const Eigen::Vector3d u = s.cross(f);
    Eigen::Matrix<double, 4, 4, Eigen::RowMajor> v = Eigen::Matrix<double, 4, 4, Eigen::RowMajor>::Zero();
    v.block<3, 1>(0, 0) = f;
    v.block<3, 1>(0, 1) = -s;
    v.block<3, 1>(0, 2) = u;
    v(3, 0) = -f.dot(from);
    v(3, 1) = s.dot(from);
    v(3, 2) = -u.dot(from);
    v(3, 3) = 1;
    const Eigen::Matrix<double, 4, 4, Eigen::RowMajor> inv = v.inverse();
    std::copy(v.data(), v.data() + 16, e.view_matrix);
    std::copy(inv.data(), inv.data() + 16, e.inverse_view_matrix);
    e.screen_scale = 100.0;
    e.screen_offset_x = -width / 2.0 / e.screen_scale + 0.07;
    e.screen_offset_y = -height / 2.0 / e.screen_scale - 0.05;
    e.window_left = 7;
    e.window_top = 5;
    e.window_pixel_height = height;
    return e;
}

// gluProject of a world point through the modelview of the same eye and glFrustum of the same window.
bool glu_window_point(const EyeRecord& e, const Eigen::Vector3d& from, const Eigen::Vector3d& to, int width, int height,
                      const Eigen::Vector3d& p, double* x, double* y) {
    const Eigen::Vector3d f = (to - from).normalized();
    const Eigen::Vector3d s = f.cross(Eigen::Vector3d::UnitZ()).normalized();
    const Eigen::Vector3d u = s.cross(f);
    Eigen::Matrix4d mv = Eigen::Matrix4d::Identity();  // column-major, as GL wants it
    mv.block<1, 3>(0, 0) = s.transpose();
    mv.block<1, 3>(1, 0) = u.transpose();
    mv.block<1, 3>(2, 0) = -f.transpose();
    mv.block<3, 1>(0, 3) = -mv.block<3, 3>(0, 0) * from;
    const double n = 1.0, fa = 1000.0;
    const double l = e.screen_offset_x * n, r = (e.screen_offset_x + width / e.screen_scale) * n;
    const double b = e.screen_offset_y * n, t = (e.screen_offset_y + height / e.screen_scale) * n;
    Eigen::Matrix4d pr = Eigen::Matrix4d::Zero();
    pr(0, 0) = 2 * n / (r - l), pr(0, 2) = (r + l) / (r - l);
    pr(1, 1) = 2 * n / (t - b), pr(1, 2) = (t + b) / (t - b);
    pr(2, 2) = -(fa + n) / (fa - n), pr(2, 3) = -2 * fa * n / (fa - n);
    pr(3, 2) = -1;
    const GLint viewport[4] = {e.window_left, 0, width, height};
    double wx = 0, wy = 0, wz = 0;
    if (!gluProject(p.x(), p.y(), p.z(), mv.data(), pr.data(), viewport, &wx, &wy, &wz)) return false;
    *x = wx;
    *y = e.window_top + height - wy;  // GDI counts from the top
    return true;
}

TEST(ViewProjection, WorldPointsLandWhereGluProjectPutsThem) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<double> u(-300, 300);
    const int w = 640, h = 480;
    for (int trial = 0; trial < 50; ++trial) {
        const Eigen::Vector3d from(u(rng), u(rng) - 1000, u(rng)), to(u(rng) / 10, u(rng) / 10, u(rng) / 10);
        const EyeRecord e = make_eye(from, to, w, h);
        for (int k = 0; k < 20; ++k) {
            const Eigen::Vector3d p(u(rng), u(rng), u(rng));
            double view[3];
            const double world[3] = {p.x(), p.y(), p.z()};
            transform_to_view(e, world, view);
            ASSERT_GT(view[2], 0);
            int s[2];
            project_points_to_screen(e, 1, view, s);
            double gx = 0, gy = 0;
            ASSERT_TRUE(glu_window_point(e, from, to, w, h, p, &gx, &gy));
            // Pixels are truncated, GLU's are exact.
            EXPECT_TRUE(kz::test::all_near({s[0], s[1]}, {gx, gy}, 1.0));
            double back[3];
            transform_from_view(e, view, back);
            EXPECT_LT((Eigen::Vector3d(back[0], back[1], back[2]) - p).norm(), 1e-9);
        }
    }
}

TEST(ViewProjection, ScreenPointsUnprojectOntoTheViewPlane) {
    const EyeRecord e = make_eye({0, -500, 0}, {0, 0, 0}, 200, 100);
    for (auto [x, y] : {std::pair{200, 300}, {7, 5}, {150, 60}, {-20, 1000}}) {
        const std::uint64_t packed = static_cast<std::uint32_t>(x) | (static_cast<std::uint64_t>(y) << 32);
        double v[3];
        unproject_screen_point(e, packed, v);
        EXPECT_EQ(v[2], e.screen_scale);
        int s[2];
        project_points_to_screen(e, 1, v, s);
        EXPECT_TRUE(kz::test::all_near({s[0], s[1]}, {x, y}, 1)) << x << "," << y;
    }
    // A point on the eye plane is projected as if it lay 1e-11 in front (or behind, keeping its sign).
    const double on_plane[3] = {1e-13, 2e-13, 0.0}, behind[3] = {1e-13, 0, -0.0};
    int a[2], b[2];
    project_points_to_screen(e, 1, on_plane, a);
    project_points_to_screen(e, 1, behind, b);
    EXPECT_EQ(std::tuple(a[0], b[0]),
              std::tuple(static_cast<int>((0.01 - e.screen_offset_x) * e.screen_scale + e.window_left),
                         static_cast<int>((-0.01 - e.screen_offset_x) * e.screen_scale + e.window_left)));
}

EyeRecord clip_eye() {
    EyeRecord e;
    e.frustum_left = -1, e.frustum_width = 2, e.frustum_bottom = -0.5, e.frustum_height = 1;
    return e;
}

TEST(ViewProjection, SegmentClippingHandCases) {
    struct Case {
        const char* name;
        double p[3], q[3];
        int kept;
        double p_out[3], q_out[3];
    };
    const Case cases[] = {
        {"inside", {0, 0, 10}, {1, 1, 10}, 1, {0, 0, 10}, {1, 1, 10}},
        {"right end cut", {0, 0, 10}, {20, 0, 10}, 1, {0, 0, 10}, {10, 0, 10}},
        {"both left", {-20, 0, 10}, {-30, 0, 10}, 0, {}, {}},
        {"through top and bottom", {0, -10, 10}, {0, 10, 10}, 1, {0, -5, 10}, {0, 5, 10}},
        {"from behind the eye", {0, 0, -10}, {0, 0, 10}, 1, {0, 0, 0}, {0, 0, 10}},
        {"behind the eye", {1, 1, -10}, {-1, -1, -5}, 0, {}, {}},
    };
    const EyeRecord e = clip_eye();
    for (const Case& c : cases) {
        double p[3], q[3];
        std::copy(c.p, c.p + 3, p);
        std::copy(c.q, c.q + 3, q);
        ASSERT_EQ(clip_segment_to_view(e, p, q), c.kept) << c.name;
        if (!c.kept) continue;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(kz::test::all_near({p[i], q[i]}, {c.p_out[i], c.q_out[i]}, 1e-12)) << c.name;
    }
}

TEST(ViewProjection, PolygonClippingMatchesBoostIntersectionArea) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-25, 25);
    const EyeRecord e = clip_eye();
    const double depth = 10;  // the window at this depth is x in [-10, 10], y in [-5, 5]
    const bg::model::box<BPoint> window({-10, -5}, {10, 5});
    for (int trial = 0; trial < 200; ++trial) {
        bg::model::multi_point<BPoint> cloud;
        for (int k = 0; k < 8; ++k) bg::append(cloud, BPoint(u(rng), u(rng)));
        BPolygon hull;
        bg::convex_hull(cloud, hull);
        std::vector<double> poly;
        for (const BPoint& p : hull.outer()) poly.insert(poly.end(), {p.x(), p.y(), depth});
        std::vector<BPolygon> cut;
        bg::intersection(hull, window, cut);
        double want = 0;
        for (const BPolygon& c : cut) want += bg::area(c);
        const int n = clip_polygon_to_view(e, poly);
        double got = 0;
        BPolygon result;
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(poly[3 * k + 2], depth, 1e-9);
            bg::append(result.outer(), BPoint(poly[3 * k], poly[3 * k + 1]));
        }
        if (n > 0) got = std::fabs(bg::area(result));
        ASSERT_NEAR(got, std::fabs(want), 1e-6) << "trial " << trial;
        if (n > 0) {  // closed
            EXPECT_EQ(std::tuple(poly[0], poly[1]), std::tuple(poly[3 * (n - 1)], poly[3 * (n - 1) + 1]));
        }
    }
    // Wholly outside or behind: empty, and nothing to project.
    std::vector<double> away = {30, 0, 10, 40, 0, 10, 40, 5, 10};
    EXPECT_EQ(clip_polygon_to_view(e, away), 0);
    EXPECT_TRUE(away.empty());
    const double behind[9] = {0, 0, -5, 1, 0, -5, 0, 1, -5};
    std::vector<int> screen = {1, 2};
    EXPECT_EQ(project_polygon_to_screen(e, behind, 3, screen), 0);
    EXPECT_TRUE(screen.empty());
}

struct Canvas {
    kz::crt::GlobalHandle dib;
    std::unique_ptr<kz::platform::DeviceContext> dc;
    Canvas(int w, int h) : dib(kz::platform::allocate_packed_dib(w, h, 24)) {
        dc = kz::platform::DeviceContext::create_memory_over_dib(dib);
        kz::platform::fill_rect(*dc, {0, 0, w, h}, kz::platform::Brush{false, 0xFFFFFF});
    }
    ~Canvas() {
        dc.reset();
        kz::crt::global_free(dib);
    }
    std::uint32_t at(int x, int y) const { return static_cast<std::uint32_t>(kz::platform::get_pixel(*dc, x, y)); }
};

TEST(ViewProjection, LinesAndFacesAreDrawnAtTheirPixels) {
    EyeRecord e = make_eye({0, -100, 0}, {0, 0, 0}, 100, 100);
    e.frustum_left = e.screen_offset_x, e.frustum_width = 1.0;
    e.frustum_bottom = e.screen_offset_y, e.frustum_height = 1.0;
    e.pens[0] = {kz::platform::kPsNull, 0, 0};
    e.pens[1] = {kz::platform::kPsSolid, 1, 0x000000};
    e.pens[2] = {kz::platform::kPsSolid, 1, 0x00FF00};
    Canvas c(120, 120);
    // A horizontal world line at z = 0 lands on the screen row of the window's centre.
    const double a[3] = {-20, 0, 0}, b[3] = {20, 0, 0};
    ASSERT_EQ(draw_projected_line(e, *c.dc, a, b, 0x0000FF), 1);
    double v[3];
    transform_to_view(e, a, v);
    int s[2];
    project_points_to_screen(e, 1, v, s);
    EXPECT_EQ(std::tuple(c.at(s[0] + 5, s[1]), c.at(s[0] + 5, s[1] - 3)), std::tuple(0x0000FFu, 0xFFFFFFu));
    const double behind_a[3] = {0, -200, 0}, behind_b[3] = {5, -150, 0};
    EXPECT_EQ(draw_projected_line(e, *c.dc, behind_a, behind_b, 0x0000FF), 0);

    // A square face: filled with the colour; in outline mode only its edges in the third pen.
    const int square[8] = {20, 20, 40, 20, 40, 40, 20, 40};
    draw_plan_polygon(e, square, 4, *c.dc, 0x123456, -1);
    EXPECT_EQ(c.at(30, 30), 0x123456u);
    EXPECT_EQ(c.at(20, 30), 0x000000u);  // x steps back by 20: the second (black) pen
    const int forward[8] = {60, 60, 80, 60, 80, 62, 75, 70};
    draw_plan_polygon(e, forward, 4, *c.dc, 0x654321, -1);
    EXPECT_EQ(c.at(75, 63), 0x654321u);
    EXPECT_NE(c.at(79, 61), 0x000000u);  // no step back of 11 pixels: the null pen
    e.outline_mode = 2;
    const int open[8] = {90, 90, 110, 90, 110, 110, 90, 110};
    draw_plan_polygon(e, open, 4, *c.dc, 0x123456, 1);
    EXPECT_EQ(std::tuple(c.at(100, 100), c.at(100, 90)), std::tuple(0xFFFFFFu, 0x00FF00u));
}

}  // namespace
}  // namespace kz::foundation
