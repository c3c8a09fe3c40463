// Fitting the camera to the model: every kept vertex projects (through GLU) into the viewport for several aspect
// ratios, the camera keeps its own field of view, and the parallel camera's window holds the whole model.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/vector_math.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

const OfuVector3 kCorners[2][2] = {{{-30, -10, 0}, {20, 15, 40}}, {{25, -40, -5}, {60, 0, 10}}};

std::vector<OfuVector3> corners() {
    std::vector<OfuVector3> out;
    for (const auto& box : kCorners)
        for (int i = 0; i < 8; ++i)
            out.emplace_back(i & 1 ? box[1].x : box[0].x, i & 2 ? box[1].y : box[0].y, i & 4 ? box[1].z : box[0].z);
    return out;
}

void add_model(CO3duGLModelar& m) {
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1});
    for (const auto& box : kCorners) {
        CO3duPrimitive p = make_box(box[0], box[1], white);
        m.AddPrimitive(p);
    }
    // A marker left out of fitting would pull the view far away if it were counted.
    CO3duPrimitive far_away = make_box({900, 900, 900}, {901, 901, 901}, white);
    far_away.draw_mode = O3DU_DRAW_PICKABLE | O3DU_DRAW_NO_BOUNDS;
    m.AddPrimitive(far_away);
    // So would a hidden shape.
    CO3duPrimitive hidden = make_box({-900, -900, -900}, {-899, -899, -899}, white);
    hidden.draw_mode = O3DU_DRAW_HIDDEN;
    m.AddPrimitive(hidden);
}

struct Aspect {
    int width, height;
};

TEST(CameraFitting, EveryVertexProjectsIntoTheViewport) {
    OfuVector3 wide_eye[2];  // the fits of the widest view, low and hi
    for (const Aspect a : {Aspect{128, 64}, Aspect{120, 80}, Aspect{96, 96}, Aspect{64, 128}}) {
        for (const bool hi : {false, true}) {
            SCOPED_TRACE(testing::Message() << a.width << "x" << a.height << (hi ? " hi" : " low"));
            HeadlessScene s(a.width, a.height);
            CO3duGLModelar& m = *s.modeller;
            add_model(m);
            _O3duCamera c;
            m.GetCamera(c);
            c.eye = OfuVector3(80, -150, 60);
            c.target = OfuVector3(10, 0, 10);
            c.near_distance = 1;
            m.SetCamera(c);
            if (hi)
                m.SetCameraForAllView_Hi(0);
            else
                m.SetCameraForAllView_Low(0);
            _O3duCamera fitted;
            m.GetCamera(fitted);
            EXPECT_EQ(fitted.fov, 30);  // a tall view fits with a narrower angle but keeps its own
            // Views at least as wide as tall fit alike: their whole vertical angle governs.
            if (a.width == 128) {
                wide_eye[hi] = fitted.eye;
            } else if (a.width >= a.height) {
                EXPECT_NEAR(length(fitted.eye - wide_eye[hi]), 0, 1e-6);
            }
            const OfuVector3 d0 = c.target - c.eye, d1 = fitted.target - fitted.eye;
            EXPECT_NEAR(length(cross(d0, d1)) / (length(d0) * length(d1)), 0, 1e-9);  // moved along the view only

            CO3duGLCurrent current(m.renderer(), s.dc.get());
            ASSERT_TRUE(current);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            gluPerspective(fitted.fov, fitted.aspect, fitted.near_distance, fitted.far_distance);
            GLdouble projection[16], model[16];
            glGetDoublev(GL_PROJECTION_MATRIX, projection);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            gluLookAt(fitted.eye.x, fitted.eye.y, fitted.eye.z, fitted.target.x, fitted.target.y, fitted.target.z, 0, 0,
                      1);
            glGetDoublev(GL_MODELVIEW_MATRIX, model);
            const GLint viewport[4] = {0, 0, a.width, a.height};
            double reach = 0.0;
            for (const OfuVector3& p : corners()) {
                GLdouble x = 0, y = 0, z = 0;
                ASSERT_EQ(gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z), GL_TRUE);
                EXPECT_GE(x, -2.0);
                EXPECT_LE(x, a.width + 2.0);
                EXPECT_GE(y, -2.0);
                EXPECT_LE(y, a.height + 2.0);
                EXPECT_GT(z, 0.0);
                EXPECT_LT(z, 1.0);
                reach = std::max({reach, std::fabs(x - a.width / 2.0) / (a.width / 2.0),
                                  std::fabs(y - a.height / 2.0) / (a.height / 2.0)});
            }
            EXPECT_GT(reach, 0.5);  // fitted, not merely somewhere far off
        }
    }
}

TEST(CameraFitting, ParallelWindowHoldsTheModel) {
    HeadlessScene s(96, 64);
    CO3duGLModelar& m = *s.modeller;
    add_model(m);
    _O3duAxoCamera axo;
    axo.eye = OfuVector3(100, -100, 100);
    axo.target = OfuVector3(0, 0, 0);
    axo.window_width = 30;
    axo.window_height = 20;
    axo.near_distance = -10;
    axo.far_distance = 10;
    m.SetAxoCamera(axo);
    m.SetCameraForAllView_Hi(0);
    _O3duAxoCamera fitted;
    m.GetAxoCamera(fitted);
    EXPECT_NEAR(fitted.window_width / fitted.window_height, 1.5, 1e-9);
    // The scene's own projection of the parallel camera, read back from OpenGL, carries the corners to pixels.
    CO3duGLCurrent current(m.renderer(), s.dc.get());
    ASSERT_TRUE(current);
    ASSERT_TRUE(m.scene()->SetupCamera());
    GLdouble projection[16], model[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double reach = 0.0;
    for (const OfuVector3& p : corners()) {
        GLdouble x = 0, y = 0, z = 0;
        ASSERT_EQ(gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z), GL_TRUE);
        EXPECT_GE(x, -2.0);
        EXPECT_LE(x, 96 + 2.0);
        EXPECT_GE(y, -2.0);
        EXPECT_LE(y, 64 + 2.0);
        EXPECT_GT(z, 0.0);
        EXPECT_LT(z, 1.0);
        reach = std::max({reach, std::fabs(x - 48) / 48, std::fabs(y - 32) / 32});
    }
    EXPECT_GT(reach, 0.9);  // the farthest corner reaches the window's edge
}

TEST(CameraFitting, BoundsAndCentreFollowTheFilters) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    OfuVector3 center(5, 5, 5);
    m.GetCenterPoint(center, 0);
    EXPECT_EQ(center.x, 0.0);  // empty model
    add_model(m);
    OfuVector3 hi(7, 7, 7), lo(7, 7, 7);
    m.GetBoundingBox(hi, lo, 4);
    EXPECT_EQ(hi.x, 7.0);  // every set left out: both untouched
    EXPECT_EQ(lo.z, 7.0);
    m.GetBoundingBox(hi, lo, 0);
    EXPECT_EQ(hi.x, 60.0);
    EXPECT_EQ(hi.z, 40.0);
    EXPECT_EQ(lo.y, -40.0);
    EXPECT_EQ(lo.x, -30.0);
    m.GetCenterPoint(center, 0);
    EXPECT_DOUBLE_EQ(center.x, 15.0);
    EXPECT_DOUBLE_EQ(center.y, -12.5);
    EXPECT_DOUBLE_EQ(center.z, 17.5);
}

}  // namespace
}  // namespace kz::test
