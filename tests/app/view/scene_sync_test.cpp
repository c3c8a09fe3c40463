// The per-frame push into the modeller: light levels and background, the sun's shadow light for a date, time,
// place and north angle, the section plane, the view matrices, the stereo camera, and all of it without a modeller.
#include <gtest/gtest.h>

#include <cmath>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/solar_position.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"

namespace kz::view::test {
namespace {

CO3duGLModelar& modeller(XView* view) { return *view->output.bridge->modeller; }

TEST_F(PaintTest, LightLevelScalesLightsAndBackgroundButNotShadowColour) {
    struct Case {
        double level;
    };
    for (Case c : {Case{1.0}, Case{0.5}}) {
        SCOPED_TRACE(c.level);
        view->settings.light_value = c.level;
        view->settings.head[0] = 0.1, view->settings.head[1] = 0.6, view->settings.head[2] = 0.9;
        view->settings.head[3] = 0.0;
        view->settings.sun[0] = 0.2, view->settings.sun[1] = 0.7, view->settings.sun[2] = 0.3;
        view->settings.background_color = 0x0080FF40;  // red 0x40, green 0xFF, blue 0x80
        view->settings.shadow_display = 1;
        view->settings.shadow_color = 0x00336699;
        view->settings.shadow_transparency = 0.25;
        ASSERT_EQ(view->SyncScene(0), 1);
        OfuLight head, sun;
        modeller(view).GetLight(0, head);
        modeller(view).GetLight(1, sun);
        EXPECT_FLOAT_EQ(head.ambient.r, float(c.level * 0.1));
        EXPECT_FLOAT_EQ(head.diffuse.g, float(c.level * 0.6));
        EXPECT_FLOAT_EQ(head.specular.b, float(c.level * 0.9));
        EXPECT_EQ(head.attenuation, 0.0f);
        EXPECT_FLOAT_EQ(sun.ambient.g, float(c.level * 0.2));
        EXPECT_FLOAT_EQ(sun.diffuse.r, float(c.level * 0.7));
        EXPECT_FLOAT_EQ(sun.specular.b, float(c.level * 0.3));
        EXPECT_DOUBLE_EQ(sun.direction.z, -1.0);
        OfuColorValue bg;
        modeller(view).GetBkColor(bg);
        EXPECT_FLOAT_EQ(bg.r, float(c.level * 0x40 / 255.0));
        EXPECT_FLOAT_EQ(bg.g, float(c.level * 0xFF / 255.0));
        EXPECT_FLOAT_EQ(bg.b, float(c.level * 0x80 / 255.0));
        const OfuColorValue shadow = modeller(view).GetShadowColor();
        EXPECT_FLOAT_EQ(shadow.r, float(0x99 / 255.0));
        EXPECT_FLOAT_EQ(shadow.b, float(0x33 / 255.0));
        EXPECT_FLOAT_EQ(shadow.a, 0.75f);
    }
}

TEST_F(PaintTest, ShadowLightFollowsTheSunTurnedByTheNorthAngle) {
    view->settings.shadow_display = 1;
    view->settings.latitude = 35.0, view->settings.longitude = 135.0;
    view->settings.shadow_date = 171;  // 21 June
    view->settings.shadow_time = 9.5;
    double s[3];
    kz::foundation::solar_position(35.0, 135.0, 6, 21, 9, 30, s);
    const double q = std::sqrt(0.5);
    struct Case {
        double north;
        double x, y;  // the sun's plan direction after the turn
    };
    for (Case c : {Case{0.0, s[0], s[1]}, Case{90.0, -s[1], s[0]}, Case{45.0, q * (s[0] - s[1]), q * (s[0] + s[1])}}) {
        SCOPED_TRACE(c.north);
        view->settings.north_angle = c.north;
        view->SyncScene(0);
        OfuLight light;
        modeller(view).GetShadowLight(light);
        EXPECT_NEAR(light.direction.x, -c.x, 1e-6);
        EXPECT_NEAR(light.direction.y, -c.y, 1e-6);
        EXPECT_NEAR(light.direction.z, -s[2], 1e-6);
        EXPECT_EQ(light.on, 1);
    }
}

TEST_F(PaintTest, ShadowsOffPushTheLightSwitchedOffAndLeaveTheShadowColour) {
    view->settings.shadow_display = 0;
    modeller(view).SetShadowColor({0.5f, 0.5f, 0.5f, 0.5f});
    view->SyncScene(0);
    OfuLight light;
    modeller(view).GetShadowLight(light);
    EXPECT_EQ(light.on, 0);
    EXPECT_FLOAT_EQ(modeller(view).GetShadowColor().r, 0.5f);
    OfuLight sun;
    modeller(view).GetLight(1, sun);
    EXPECT_FLOAT_EQ(sun.ambient.r, 0.8f);  // the sun still lights the scene
}

TEST_F(PaintTest, SectionPlaneFromAxesSideAndPartFrame) {
    const int item = add_box_item("box,w=100,d=100,h=100");
    ASSERT_EQ(view->SetSectionAtPart(item, 1), 1);
    int on = 0;
    OfuPlane plane;
    OfuColorValue cap;
    modeller(view).GetCliping(on, plane, cap);
    EXPECT_EQ(on, 1);
    EXPECT_DOUBLE_EQ(plane.c, -1.0);
    EXPECT_DOUBLE_EQ(plane.d, -1.0);

    struct Case {
        double axis[3];
        int side;
        double a, b, c, d;
    };
    const Case cases[] = {
        {{0, 0, -1}, 1, 0, 0, 1, -(1.0 * (5 + 1))},  // side flag turns the plane round
        {{3, 0, 4}, 0, 0.6, 0, 0.8, -(0.6 * 3 + 0.8 * (5 + 4))},
        {{0, 0, 4e-6}, 0, 0, 0, 4e-6, -(4e-6 * (5 + 4e-6))},  // too short: used as it is
    };
    for (const Case& c : cases) {
        view->display.section_point[0] = view->display.section_point[1] = 0, view->display.section_point[2] = 5;
        for (int k = 0; k < 3; ++k) view->display.section_axes[1][k] = c.axis[k];
        view->display.section_axis = 1;
        view->display.section_side = c.side;
        view->display.section_switch = 1;
        view->SyncScene(0);
        modeller(view).GetCliping(on, plane, cap);
        EXPECT_EQ(on, 1);
        EXPECT_NEAR(plane.a, c.a, 1e-12);
        EXPECT_NEAR(plane.b, c.b, 1e-12);
        EXPECT_NEAR(plane.c, c.c, 1e-12);
        EXPECT_NEAR(plane.d, c.d, 1e-12);
    }
    view->display.section_switch = 0;
    view->SyncScene(0);
    modeller(view).GetCliping(on, plane, cap);
    EXPECT_EQ(on, 0);
    // A part outside the item switches the section off but keeps the view's section.
    view->display.section_point[2] = 7;
    EXPECT_EQ(view->SetSectionAtPart(item, 5), 0);
    EXPECT_EQ(view->display.section_point[2], 7);
}

TEST_F(PaintTest, ViewMatricesPutTheTargetAheadLeftAndUp) {
    const double from[3] = {100, -300, 400}, to[3] = {-50, 200, 0};
    look(from, to);
    view->UpdateViewMatrices();
    const double d = std::sqrt(150.0 * 150 + 500.0 * 500 + 400.0 * 400);
    double out[3], back[3];
    kz::foundation::transform_point(out, to, view->camera.eye->view_matrix);
    EXPECT_NEAR(out[0], d, 1e-9);
    EXPECT_NEAR(out[1], 0, 1e-9);
    EXPECT_NEAR(out[2], 0, 1e-9);
    // Looking roughly along +y: -x lies to the left, +z above.
    const double left[3] = {from[0] - 100, from[1], from[2]}, up[3] = {from[0], from[1], from[2] + 100};
    kz::foundation::transform_point(out, left, view->camera.eye->view_matrix);
    EXPECT_GT(out[1], 50);
    kz::foundation::transform_point(out, up, view->camera.eye->view_matrix);
    EXPECT_GT(out[2], 50);
    kz::foundation::transform_point(back, out, view->camera.eye->inverse_view_matrix);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], up[k], 1e-9);
}

TEST_F(PaintTest, StereoEyeMovesSidewaysByDistanceAndPitch) {
    struct Case {
        double from[3];
        double right[2];  // expected move of the positive eye, to the right of the line of sight
    };
    const double down = 2000 * std::sin(M_PI / 3), across = 2000 * std::cos(M_PI / 3);
    const Case cases[] = {
        {{0, -2000, 0}, {65.0, 0}},  // looking along +y: right is +x
        {{0, -32000, 0}, {520.0, 0}},
        {{0, -across, down}, {32.5, 0}},  // 60 degrees down: half the move
        {{-2000, 0, 0}, {0, -65.0}},      // looking along +x: right is -y
    };
    const double to[3] = {0, 0, 0};
    for (const Case& c : cases) {
        look(c.from, to);
        for (double offset : {32.5, -1.0}) {
            view->SetStereoEye(offset);
            const _O3duCamera cam = camera();
            const double sign = offset > 0 ? 1.0 : -1.0;
            EXPECT_NEAR(cam.eye.x - c.from[0], sign * c.right[0], 1e-6);
            EXPECT_NEAR(cam.eye.y - c.from[1], sign * c.right[1], 1e-6);
            EXPECT_NEAR(cam.eye.z, c.from[2], 1e-6);
        }
    }
}

TEST_F(PaintTest, CameraRangeFromSceneRadius) {
    const double from[3] = {0, -1000, 0}, to[3] = {0, 0, 0};
    look(from, to);
    view->camera.scene_radius = 100.0;
    view->SetStereoEye(0);
    const _O3duCamera cam = camera();
    EXPECT_DOUBLE_EQ(cam.near_distance, 20.0);
    EXPECT_DOUBLE_EQ(cam.far_distance, 6 * 25000.0 + 1000.0);
    EXPECT_NEAR(cam.fov, std::atan2(view->camera.eye->zoom_ratio * 0.5, 1.0) / M_PI * 360.0, 1e-5);
    EXPECT_NEAR(cam.aspect, double(kW) / kH, 1e-6);
}

TEST_F(PaintTest, NothingBreaksWithoutAModeller) {
    add_box_item("box,w=100,d=100,h=100");
    CBusMDL* kept = view->output.bridge;
    view->output.bridge = nullptr;
    view->settings.shadow_display = 1;
    view->display.section_switch = 1;
    EXPECT_EQ(view->SyncScene(1), 1);
    view->Redraw(1);
    EXPECT_EQ(view->RenderFrame(0), 0);
    view->SetStereoEye(1.0);
    view->PushShadowColor();
    view->ShowGroundGrid(nullptr);
    kz::crt::GlobalHandle dib = view->RenderToDib(64, 48);
    if (dib) kz::crt::global_free(dib);
    view->output.bridge = kept;
}

TEST_F(PaintTest, CameraPartWithoutCameraFlagLeavesTheEye) {
    const int item = add_box_item("box,w=100,d=100,h=100");
    const double from[3] = {1, 2, 3}, to[3] = {4, 5, 6};
    look(from, to);
    view->LookFromCameraPart(view->document.trunks[item], nullptr);
    EXPECT_EQ(view->camera.current_camera_part, nullptr);
    EXPECT_EQ(view->camera.eye->eye[2], 3);
}

// A refreshing sync re-derives every item's mark from the current selection in the family display, so stale
// marks of an earlier selection do not keep their highlight.
TEST_F(PaintTest, RefreshingSyncRemarksTheSelectedFamily) {
    const int top = add_item(0, "top"), mid = add_item(top, "mid"), low = add_item(mid, "low");
    const int other = add_item(0, "other");
    view->document.trunks[other]->mark_state = 1;  // left over from an earlier selection
    view->SelectItem(mid, 0, 0);
    view->display.selection_display_mode = 3;
    view->SyncScene(1);
    const int expected[][2] = {{top, 2}, {mid, 0}, {low, 1}, {other, 0}};
    for (const auto& e : expected) EXPECT_EQ(view->document.trunks[e[0]]->mark_state, e[1]) << e[0];
    // The highlight follows the new marks: the family member and the outsider no longer look alike.
    EXPECT_NE(view->document.trunks[low]->highlight_color, view->document.trunks[other]->highlight_color);

    view->document.trunks[other]->mark_state = 1;
    view->SyncScene(0);  // no refresh: marks stay as they are
    EXPECT_EQ(view->document.trunks[other]->mark_state, 1);
}

}  // namespace
}  // namespace kz::view::test
