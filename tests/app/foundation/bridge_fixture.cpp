// The bridge tests' fake view and shape, and the headless bridge scene they render.
#include "bridge_fixture.h"

#include <algorithm>

namespace kz::foundation::test {

FakeView::FakeView(int size, bool with_dc) {
    if (with_dc) dc = kz::platform::DeviceContext::create_window(size, size);
}

kz::crt::GlobalHandle FakeView::RenderToDib(int, int) {
    if (bridge) bridge->modeller->GetBkColor(background_during_render);
    return nullptr;
}

void FakeShape::SetModelBounds(const double* mn, const double* mx, const double* c) {
    std::copy(mn, mn + 3, minimum);
    std::copy(mx, mx + 3, maximum);
    std::copy(c, c + 3, centre);
}

BridgeScene::BridgeScene(int size) : view(size) {
    bridge = std::make_unique<CBusMDL>(&view);
    view.bridge = bridge.get();
    _O3duCamera c;
    c.eye = OfuVector3(0, -100, 0);
    c.target = OfuVector3(0, 0, 0);
    c.fov = 30;
    c.near_distance = 10;
    c.far_distance = 1000;
    c.aspect = 1;
    bridge->modeller->SetCamera(c);
    bridge->modeller->SetLight(
        1, kz::test::make_light(OFU_LIGHT_DIRECTIONAL, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 1, 0}));
}

kz::test::Frame BridgeScene::render() {
    kz::test::Frame frame(view.dc->width(), view.dc->height(), 0xCD);
    bridge->RenderToPixels(frame.bytes.data(), static_cast<int>(frame.bytes.size()));
    return frame;
}

_O3duCamera BridgeScene::camera() const {
    _O3duCamera c;
    bridge->modeller->GetCamera(c);
    return c;
}

MaterialRecord colour_material(int r, int g, int b, double transparency) {
    MaterialRecord m;
    m.color = static_cast<std::uint32_t>(r | (g << 8) | (b << 16));
    m.red = r, m.green = g, m.blue = b;
    m.transparency = transparency;
    return m;
}

std::vector<double> square_facing_camera(double x, double z, double h) {
    // Counter-clockwise seen from -y: its Newell normal is -y.
    return {x - h, 0, z - h, x + h, 0, z - h, x + h, 0, z + h, x - h, 0, z + h};
}

kz::test::OracleLight white_sun() {
    kz::test::OracleLight l;
    l.diffuse = {1, 1, 1, 1};
    l.toward_light = OfuVector3(0, -1, 0);
    return l;
}

}  // namespace kz::foundation::test
