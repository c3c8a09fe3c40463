// The bridge tests' stand-ins for the view and a scene shape, and a bridge on a headless window with a fixed
// camera and test-chosen light colours (the default scene's lights are black until the view pushes its own).
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/foundation/bridge_services.h"
#include "app/foundation/bus_mdl.h"
#include "modeller/render_support.h"
#include "platform/device_context.h"

namespace kz::foundation::test {

class FakeView : public BridgeServices {
public:
    explicit FakeView(int size = 64, bool with_dc = true);
    void BeginTiming(int slot) override { timings.push_back(slot); }
    void EndTiming(int slot) override { timings.push_back(-slot); }
    void* ViewDeviceContext() override { return dc.get(); }
    std::uint32_t BackgroundColor() override { return background; }
    double LightValue() override { return light; }
    void SetShadowDisplay(int on) override { shadow_display = on; }
    kz::crt::GlobalHandle RenderToDib(int width, int height) override;

    std::unique_ptr<kz::platform::DeviceContext> dc;
    std::vector<int> timings;
    std::uint32_t background = 0x000000;
    double light = 1.0;
    int shadow_display = -1;
    CBusMDL* bridge = nullptr;  // to see the modeller's background while the view renders
    OfuColorValue background_during_render{-1, -1, -1, -1};
};

class FakeShape : public BridgeShape {
public:
    _OfuPosition* ModelHandle() override { return handle; }
    void SetModelBounds(const double* mn, const double* mx, const double* c) override;
    int HitFlag() override { return hit_flag; }
    const MaterialRecord* FaceMaterial(int index) override {
        return index >= 0 && index < static_cast<int>(materials.size()) ? &materials[index] : nullptr;
    }
    std::uint64_t ItemTag() override { return item; }
    _OfuPosition* handle = nullptr;
    double minimum[3] = {}, maximum[3] = {}, centre[3] = {};
    int hit_flag = 0;
    std::uint64_t item = 0;
    std::vector<MaterialRecord> materials;
};

// A bridge on a headless window: camera from (0, -100, 0) at the origin, 30 degrees, and light 1 a white sun
// travelling along +y (light 0 stays black).
struct BridgeScene {
    explicit BridgeScene(int size = 64);
    kz::test::Frame render();
    _O3duCamera camera() const;
    FakeView view;
    std::unique_ptr<CBusMDL> bridge;
};

// The fixture of tests on one bridge scene of the default size: `using Suite = BridgeTest;`.
class BridgeTest : public ::testing::Test {
protected:
    BridgeScene s;
    CBusMDL& b = *s.bridge;
};

MaterialRecord colour_material(int r, int g, int b, double transparency = 0.0);
// A square of half-size h in the plane y = 0 about (x, z), facing -y (towards the camera).
std::vector<double> square_facing_camera(double x, double z, double h);
kz::test::OracleLight white_sun();

}  // namespace kz::foundation::test
