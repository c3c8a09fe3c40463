// The headless bridged view of the scene's end-to-end tests.
#include "bridged_view.h"

namespace kz::scene::test {

BridgedView::BridgedView(bool with_bridge, int size) {
    eye = &eye_record;
    if (!with_bridge) return;
    dc = kz::platform::DeviceContext::create_window(size, size);
    bridge_owner = std::make_unique<kz::foundation::CBusMDL>(this);
    bridge = bridge_owner.get();
}

BridgedView::~BridgedView() {
    // Parts release their models through the bridge, so they go first, children before parents.
    for (auto it = trunks.rbegin(); it != trunks.rend(); ++it) delete *it;
    trunks.clear();
    bridge = nullptr;
    bridge_owner.reset();
}

XTrunk* BridgedView::add_trunk(const char* name, XTrunk* parent) {
    if (parent) current_trunk = parent;
    auto* trunk = new XTrunk(this, nullptr, nullptr, nullptr, nullptr, name, static_cast<int>(trunks.size()));
    if (trunk->index != 0) trunks.push_back(trunk);
    return trunk;
}

XLeaves* BridgedView::add_shape(XTrunk* trunk, const char* line) {
    XLeaves* shape = trunk->parts[trunk->AddLeaves()];
    shape->record->ReadFigureLine(line);
    shape->Build(nullptr);
    trunk->RecalcMatrices(1);
    return shape;
}

void BridgedView::look(const OfuVector3& from, const OfuVector3& target, double fov) {
    auto& m = *bridge->modeller;
    _O3duCamera c = kz::test::camera_looking(m, from, target, fov, 10, 5000);
    c.aspect = double(dc->width()) / dc->height();
    m.SetCamera(c);
    m.SetBkColor({0, 0, 0, 1});
    // Global ambient 0.2 plus 0.8 from the light: every face shows exactly its own colour, whatever it faces.
    for (int i = 0; i < 8; ++i) m.SetLight(i, OfuLight{});
    m.SetLight(0, kz::test::make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1}));
}

_O3duCamera BridgedView::camera() const {
    _O3duCamera c;
    bridge->modeller->GetCamera(c);
    return c;
}

kz::test::Frame BridgedView::render() {
    kz::test::Frame frame(dc->width(), dc->height(), 0xCD);
    bridge->RenderToPixels(frame.bytes.data(), static_cast<int>(frame.bytes.size()));
    return frame;
}

}  // namespace kz::scene::test
