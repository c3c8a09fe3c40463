// Camera mathematics against independent oracles: the view and projection matrices against GLU's, the moves
// against positions worked out by hand, the rectangle zoom and the approach toward a window point.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/vector_math.h"
#include "modeller/camera/o3du_math_camera.h"
#include "modeller/camera/o3du_math_matrix.h"
#include "tests/modeller/render_support.h"

namespace {

using Cam = CO3duMathCamera;

constexpr double kEps = 1e-9;

_O3duCamera camera(OfuVector3 eye, OfuVector3 target) {
    _O3duCamera c;
    c.eye = eye;
    c.target = target;
    c.fov = 30;
    c.near_distance = 1;
    c.far_distance = 1000;
    c.aspect = 1.5;
    return c;
}

void expect_near(const OfuVector3& got, const OfuVector3& want, double eps = 1e-6) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

struct LookCase {
    OfuVector3 eye, target;
};

TEST(MakeLookAtMatrix, MatchesGluLookAtWithZUp) {
    kz::test::HeadlessScene scene;
    CO3duGLCurrent current(scene.modeller->renderer(), scene.dc.get());
    ASSERT_TRUE(current);
    const LookCase cases[] = {
        {{0, -100, 0}, {0, 0, 0}}, {{10, 20, 30}, {-5, 7, 1}},  {{3, 3, 3}, {3, 10, 3}},
        {{3, 3, 3}, {-4, 3, 3}},   {{0, 0, 5}, {10, -10, -20}}, {{-50, 40, 2}, {60, -30, 2}},
    };
    for (const LookCase& c : cases) {
        OfuMatrix4x4 ours;
        MakeLookAtMatrix(c.eye, c.target, 0.0, ours);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, 0, 0, 1);
        GLdouble glu[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, glu);
        // OpenGL's column-major matrix for column vectors is our row-major matrix for row vectors.
        for (int k = 0; k < 16; ++k) EXPECT_NEAR(ours.m[k / 4][k % 4], glu[k], 1e-5) << k;
    }
}

TEST(GetPerspectiveMatrix, AgreesWithGluPerspectiveAfterTheAspect) {
    const _O3duCamera c = camera({5, -60, 20}, {0, 0, 0});
    OfuMatrix4x4 ours;
    CO3duMathMatrix::GetPerspectiveMatrix(c, 0.0, ours);
    OfuMatrix4x4 view;
    MakeLookAtMatrix(c.eye, c.target, 0.0, view);
    const double focal = 1.0 / std::tan(c.fov * M_PI / 360.0);
    for (const OfuVector3& p : {OfuVector3(0, 0, 0), OfuVector3(10, 5, -3), OfuVector3(-8, 20, 12)}) {
        OfuVector3 q = p, e = p;
        TransformPointByMatrix4x4(ours, q);
        TransformPointByMatrix4x4(view, e);
        // gluPerspective: x_ndc = focal / aspect * x_e / -z_e, y_ndc = focal * y_e / -z_e.
        EXPECT_NEAR(q.x, focal * e.x / -e.z, 1e-9);
        EXPECT_NEAR(q.y, focal * e.y / -e.z, 1e-9);
    }
}

struct MoveCase {
    const char* name;
    void (*move)(_O3duCamera&);
    OfuVector3 eye, target;
    OfuVector3 looking_at{10, 0, 0};  // the target before the move, the eye at the origin
};

TEST(CameraMoves, MatchHandComputedPositions) {
    const double r3 = std::sqrt(3.0);
    const MoveCase cases[] = {
        {"pan 90 turns clockwise", [](_O3duCamera& c) { Cam::PanTilt(c, 90, 0); }, {0, 0, 0}, {0, -10, 0}},
        {"tilt 30 raises", [](_O3duCamera& c) { Cam::PanTilt(c, 0, 30); }, {0, 0, 0}, {5 * r3, 0, 5}},
        {"tilt to the pole refused", [](_O3duCamera& c) { Cam::PanTilt(c, 45, 90); }, {0, 0, 0}, {10, 0, 0}},
        {"orbit 90 counter-clockwise", [](_O3duCamera& c) { Cam::RoundDolly(c, 0, 90); }, {10, -10, 0}, {10, 0, 0}},
        {"orbit up 30", [](_O3duCamera& c) { Cam::RoundDolly(c, 30, 0); }, {10 - 5 * r3, 0, 5}, {10, 0, 0}},
        {"dolly left", [](_O3duCamera& c) { Cam::Dolly(c, 0, 1, 0, 0); }, {0, 1, 0}, {10, 1, 0}},
        {"dolly forward eye only", [](_O3duCamera& c) { Cam::Dolly(c, 2, 0, 3, 1); }, {2, 0, 3}, {10, 0, 0}},
        {"fly right", [](_O3duCamera& c) { Cam::Fly(c, 0, 1, 0, 0); }, {0, -1, 0}, {10, -1, 0}},
        {"fly forward", [](_O3duCamera& c) { Cam::Fly(c, 4, 0, 0, 1); }, {4, 0, 0}, {10, 0, 0}},
        // Looking along +y, left is -x; forward (1, 0, 1) plus up (-1, 0, 1): up stays perpendicular to the view.
        {"dolly along +y", [](_O3duCamera& c) { Cam::Dolly(c, 2, 1, 0, 0); }, {-1, 2, 0}, {-1, 12, 0}, {0, 10, 0}},
        {"fly up 45", [](_O3duCamera& c) { Cam::Fly(c, M_SQRT2, 0, M_SQRT2, 0); }, {0, 0, 2}, {10, 0, 12}, {10, 0, 10}},
    };
    for (const MoveCase& m : cases) {
        SCOPED_TRACE(m.name);
        _O3duCamera c = camera({0, 0, 0}, m.looking_at);
        m.move(c);
        expect_near(c.eye, m.eye);
        expect_near(c.target, m.target);
    }
}

TEST(CameraMoves, DegenerateCamerasStayPut) {
    for (const LookCase& lc : {LookCase{{1, 1, 1}, {1, 1, 1}}, LookCase{{0, 0, 10}, {0, 0, 0}}}) {
        _O3duCamera c = camera(lc.eye, lc.target);
        Cam::PanTilt(c, 10, 10);
        Cam::RoundDolly(c, 10, 10);
        Cam::Dolly(c, 1, 1, 1, 0);
        Cam::Fly(c, 1, 1, 1, 0);
        expect_near(c.eye, lc.eye, kEps);
        expect_near(c.target, lc.target, kEps);
    }
}

TEST(CameraMoves, AxonometricFlyShrinksTheWindowAndMovesTheTargetAlong) {
    _O3duAxoCamera a;
    a.eye = {0, -100, 0};
    a.target = {0, 0, 0};
    a.window_width = 300;
    a.window_height = 200;
    Cam::Fly(a, 20, 0, 0, 0);
    EXPECT_NEAR(a.window_height, 180, kEps);
    EXPECT_NEAR(a.window_width, 270, kEps);
    expect_near(a.eye, {0, -100, 0});
    expect_near(a.target, {0, 20, 0});
}

struct ZoomCase {
    OfuVector2 c1, c2;
    int result;
    _O3duViewport want;
};

TEST(ViewportZoom, EnlargesTheViewportOrRefuses) {
    const ZoomCase cases[] = {
        // 300 x 200 at aspect 1.5: the integer quotient 1 is not above 1.5, so the rectangle is kept whole.
        {{100, 50}, {400, 250}, 1, {-200, -300, 1200, 800}},
        {{10, 10}, {10.5, 200}, 0, {0, 0, 0, 190}},
        {{0, 0}, {100, 60}, 0, {0, 0, 100, 60}},  // sixfold
    };
    for (const ZoomCase& z : cases) {
        _O3duViewport v{0, 0, 600, 400};
        EXPECT_EQ(Cam::ViewportZoom(camera({0, 0, 0}, {1, 0, 0}), v, z.c1, z.c2), z.result);
        EXPECT_EQ(v.x, z.want.x);
        EXPECT_EQ(v.y, z.want.y);
        EXPECT_EQ(v.width, z.want.width);
        EXPECT_EQ(v.height, z.want.height);
    }
}

TEST(ApproachCamera, TurnsTowardTheWindowPointOrFliesToTheTarget) {
    _O3duCamera c = camera({0, 0, 0}, {10, 0, 0});
    // A point at the top edge of a 400-pixel viewport lies half the field of view above the view.
    Cam::ApproachCamera(c, OfuVector2(0, 200), 400, 1.0, 0.0);
    expect_near(c.eye, {0, 0, 0});
    expect_near(c.target, {10 * std::cos(15 * M_PI / 180), 0, 10 * std::sin(15 * M_PI / 180)});

    _O3duCamera f = camera({0, 0, 0}, {10, 0, 0});
    Cam::ApproachCamera(f, OfuVector2(0, 0), 400, 100, 10);
    expect_near(f.eye, {7.5, 0, 0});  // 10 x 100 / 400 left to go
    expect_near(f.target, {10, 0, 0});
}

}  // namespace
