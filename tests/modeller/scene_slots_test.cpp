// Scene slots of the OpenGL modeller: light records converted both ways, the headlight after a frame, camera and
// parallel-camera refusals, projection settings, the viewport's aspect ratio, and the shadow-rebuild triggers.
#include <gtest/gtest.h>

#include <cmath>

#include "modeller/gl_modelar.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

TEST(SceneSlots, LightsConvertBetweenInterfaceAndStoredForm) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    const struct {
        int type;
        OfuVector3 direction;
        int kind;  // as stored
    } cases[] = {{OFU_LIGHT_DIRECTIONAL, {0, 0, -5}, 0}, {OFU_LIGHT_POSITIONAL, {3, 4, 0}, 1}};
    for (const auto& tc : cases) {
        OfuLight in =
            make_light(tc.type, {0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, {0.9f, 1, 0, 1}, tc.direction);
        in.position = OfuVector3(7, 8, 9);
        in.attenuation = 0.25f;
        m.SetLight(3, in);
        const CO3duGLLightRecord& stored = m.scene()->lights[3];
        EXPECT_EQ(stored.kind, tc.kind);
        const double len = std::sqrt(tc.direction.x * tc.direction.x + tc.direction.y * tc.direction.y +
                                     tc.direction.z * tc.direction.z);
        EXPECT_FLOAT_EQ(stored.direction[0], float(-tc.direction.x / len));  // towards the light, unit length
        EXPECT_FLOAT_EQ(stored.direction[2], float(-tc.direction.z / len));
        OfuLight out;
        m.GetLight(3, out);
        EXPECT_EQ(out.type, tc.type);
        EXPECT_NEAR(out.direction.x, tc.direction.x / len, 1e-6);
        EXPECT_NEAR(out.direction.z, tc.direction.z / len, 1e-6);
        EXPECT_EQ(out.position.z, 9.0);
        EXPECT_EQ(out.ambient.g, 0.6f);
        EXPECT_EQ(out.specular.r, 0.9f);
        EXPECT_EQ(out.attenuation, 0.25f);
        EXPECT_EQ(out.on, 1);
    }
    OfuLight probe;
    m.SetLight(8, probe);  // out of range: ignored
    // The shadow light converts the same way and asks for new shadow volumes.
    m.scene()->shadow_rebuild = 0;
    m.SetShadowLight(make_light(OFU_LIGHT_DIRECTIONAL, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, -1}));
    EXPECT_EQ(m.scene()->shadow_rebuild, 1);
    m.GetShadowLight(probe);
    EXPECT_EQ(probe.type, OFU_LIGHT_DIRECTIONAL);
    EXPECT_NEAR(probe.direction.z, -1, 1e-6);
}

TEST(SceneSlots, LightZeroFollowsTheCameraAfterAFrame) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    _O3duCamera c;
    m.GetCamera(c);
    c.eye = OfuVector3(30, -40, 0);
    c.target = OfuVector3(0, 0, 0);
    m.SetCamera(c);
    s.render();
    OfuLight head;
    m.GetLight(0, head);
    EXPECT_EQ(head.type, OFU_LIGHT_POSITIONAL);
    EXPECT_FLOAT_EQ(float(head.position.x), 30.0f);
    EXPECT_FLOAT_EQ(float(head.position.y), -40.0f);
    EXPECT_NEAR(head.direction.x, -0.6, 1e-6);  // from the eye towards the target
    EXPECT_NEAR(head.direction.y, 0.8, 1e-6);
}

TEST(SceneSlots, CamerasRefuseDegenerateInputAndSwitchTheMode) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    _O3duCamera c;
    m.GetCamera(c);
    EXPECT_EQ(c.fov, 30.0);
    _O3duCamera same = c;
    same.eye = OfuVector3(1, 2, 3);
    same.target = OfuVector3(1, 2, 3.00005);
    m.SetCamera(same);
    _O3duCamera after;
    m.GetCamera(after);
    EXPECT_EQ(after.eye.y, c.eye.y);

    _O3duAxoCamera axo;
    m.GetAxoCamera(axo);
    EXPECT_EQ(axo.window_width, 1000.0);
    axo.eye = OfuVector3(0, -10, 0);
    axo.window_height = 0.000001;
    m.SetAxoCamera(axo);
    EXPECT_EQ(m.GetCameraMode(), 0);
    axo.window_height = 500;
    m.SetAxoCamera(axo);
    EXPECT_EQ(m.GetCameraMode(), 1);
    m.SetCamera(c);
    EXPECT_EQ(m.GetCameraMode(), 0);

    // GetCamera fills coordinates and values, never the caller's dimension fields.
    _O3duCamera tagged;
    tagged.eye.dim = 77;
    m.GetCamera(tagged);
    EXPECT_EQ(tagged.eye.dim, 77);
}

TEST(SceneSlots, ViewportSetsTheAspectRatioUnlessItHasNoHeight) {
    HeadlessScene s(80, 40);
    CO3duGLModelar& m = *s.modeller;
    _O3duViewport v;
    m.GetViewport(v);
    EXPECT_EQ(v.width, 80);  // read back from the context at set-up
    EXPECT_EQ(v.height, 40);
    const struct {
        int width, height;
        double aspect;
    } steps[] = {{300, 100, 3.0}, {300, 0, 3.0}, {50, 200, 0.25}};
    for (const auto& step : steps) {
        _O3duViewport nv{0, 0, step.width, step.height};
        m.SetViewport(nv);
        _O3duCamera c;
        m.GetCamera(c);
        EXPECT_EQ(c.aspect, step.aspect) << step.width << "x" << step.height;
    }
    // Initialize again reads the window's viewport and its ratio.
    HDC hdc = s.dc.get();
    ASSERT_EQ(m.Initialize(hdc), 1);
    _O3duCamera c;
    m.GetCamera(c);
    EXPECT_EQ(c.aspect, 2.0);
    _O3duViewport given{0, 0, 120, 30};
    ASSERT_EQ(m.Initialize(hdc, given), 1);
    m.GetCamera(c);
    EXPECT_EQ(c.aspect, 4.0);
    m.GetViewport(v);
    EXPECT_EQ(v.width, 120);
}

TEST(SceneSlots, SettingsThatChangeShadowsMarkThemForRebuilding) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    struct Step {
        const char* what;
        void (*apply)(CO3duGLModelar&);
        int rebuild;
    };
    const Step steps[] = {
        {"same cull mode", [](CO3duGLModelar& x) { x.SetCullMode(0); }, 0},
        {"new cull mode", [](CO3duGLModelar& x) { x.SetCullMode(1); }, 1},
        {"same accuracy", [](CO3duGLModelar& x) { x.SetShadowAccuracy(1); }, 0},
        {"new accuracy", [](CO3duGLModelar& x) { x.SetShadowAccuracy(3); }, 1},
        {"same camera mode", [](CO3duGLModelar& x) { x.SetCameraMode(0); }, 0},
        {"new camera mode", [](CO3duGLModelar& x) { x.SetCameraMode(1); }, 1},
        {"shape added", [](CO3duGLModelar& x) { x.AddPrimitive(*std::make_unique<CO3duPrimitive>()); }, 1},
    };
    for (const Step& step : steps) {
        m.scene()->shadow_rebuild = 0;
        step.apply(m);
        EXPECT_EQ(m.scene()->shadow_rebuild, step.rebuild) << step.what;
    }
    int on = -1;
    OfuPlane plane;
    OfuColorValue cap{};
    m.GetCliping(on, plane, cap);
    EXPECT_EQ(on, 0);
    EXPECT_NEAR(plane.a * plane.a + plane.b * plane.b + plane.c * plane.c, 1.0, 1e-12);
    EXPECT_NEAR(plane.a * 1010 + plane.c * 100 + plane.d, 0.0, 1e-9);  // through (1010, 0, 100)
    m.SetCliping(5, OfuPlane{0, 0, 1, -2}, {1, 0, 0, 1});
    m.GetCliping(on, plane, cap);
    EXPECT_EQ(on, 1);  // any non-zero switch reads back as 1
}

}  // namespace
}  // namespace kz::test
