// The bridge's life cycle, default scene, drawing, pixel rendering, picking and viewport update. The modeller is
// re-initialised on the device only when something marked it dirty, never per frame.
#include "app/foundation/bus_mdl.h"

#include <cstdint>

#include "app/foundation/bridge_services.h"
#include "app/foundation/date_time.h"
#include "app/foundation/eye_record.h"

namespace kz::foundation {

sub_CO3duGLModelar::~sub_CO3duGLModelar() = default;

namespace {

void split_packed(std::uint64_t point, int* x, int* y) {
    *x = static_cast<std::int32_t>(static_cast<std::uint32_t>(point & 0xFFFFFFFFu));
    *y = static_cast<std::int32_t>(static_cast<std::uint32_t>(point >> 32));
}

OfuColorValue color_value(std::uint32_t color, double level) {
    return {static_cast<float>((color & 0xFF) / 255.0 * level),
            static_cast<float>(((color >> 8) & 0xFF) / 255.0 * level),
            static_cast<float>(((color >> 16) & 0xFF) / 255.0 * level), 1.0f};
}

}  // namespace

CBusMDL::CBusMDL(BridgeServices* owner) {
    // Image loading on this platform needs no library start-up, so the token stays 0.
    view = owner;
    GrowTextureTable();
    device_dirty = 1;
    ambient_factor = diffuse_factor = specular_level = 1.0;
    device_context = view ? static_cast<HDC>(view->ViewDeviceContext()) : nullptr;
    modeller = std::make_unique<sub_CO3duGLModelar>();
    modeller->bridge = this;
    if (device_context) modeller->Initialize(device_context);
    set_default_scene();
    for (TextLabel& label : labels) label = TextLabel{};
    InitTextLabels();
    frame_count = 0;
}

CBusMDL::~CBusMDL() {
    RemoveAllTextures();
    modeller.reset();
    FreePolygonBuffers();
}

void CBusMDL::set_default_scene() {
    modeller->SetBkColor({0.0f, 0.0f, 0.7f, 1.0f});
    for (int i = 0; i < 8; ++i) modeller->SetLight(i, OfuLight{});
    OfuLight head;
    head.type = OFU_LIGHT_POSITIONAL;
    head.on = 1;
    modeller->SetLight(0, head);
    OfuLight sun;
    sun.type = OFU_LIGHT_DIRECTIONAL;
    sun.direction = OfuVector3(0, 0, -1);
    sun.on = 1;
    modeller->SetLight(1, sun);
    if (view) view->SetShadowDisplay(0);
}

void CBusMDL::InitDevice(HDC hdc) {
    if (!modeller) return;
    if (!hdc) hdc = device_context;
    if (hdc) modeller->Initialize(hdc);
}

void CBusMDL::DrawModel(HDC hdc) {
    if (!modeller) return;
    if (!hdc) hdc = device_context;
    if (!hdc) return;
    if (device_dirty == 1) {
        modeller->Initialize(hdc);
        device_dirty = 0;
    }
    for (int slot = 0; slot < 16; ++slot) RebuildTextLabel(slot, nullptr);
    std::int64_t frequency = 0, start = 0;
    start_perf_timer(&frequency, &start);
    modeller->DrawModel(hdc);
    last_draw_time = perf_timer_seconds(frequency, start);
    ++frame_count;
}

void CBusMDL::RenderToPixels(BYTE* buffer, int size) {
    if (!modeller) return;
    _O3duViewport viewport;
    modeller->GetViewport(viewport);
    _OFURECT rect{0, 0, viewport.width, viewport.height};
    if (device_dirty == 1) {
        if (device_context) modeller->Initialize(device_context);
        device_dirty = 0;
    }
    HDC hdc = device_context;
    modeller->DrawTo24DIBPixel(hdc, buffer, size, rect);
}

kz::crt::GlobalHandle CBusMDL::RenderToDib(int width, int height, std::int32_t background) {
    if (!modeller) return nullptr;
    if (background != -1) modeller->SetBkColor(color_value(static_cast<std::uint32_t>(background), 1.0));
    kz::crt::GlobalHandle dib = view ? view->RenderToDib(width, height) : nullptr;
    if (background != -1 && view) modeller->SetBkColor(color_value(view->BackgroundColor(), view->LightValue()));
    if (device_context) modeller->Initialize(device_context);
    return dib;
}

_OfuPosition* CBusMDL::PickShapeAt(std::uint64_t point, double* hit_point) {
    if (!modeller) return nullptr;
    int x = 0, y = 0;
    split_packed(point, &x, &y);
    _O3duSelect select{};
    _OfuPosition* shape = modeller->HitTestS(device_context, x, y, select);
    if (shape && hit_point) {
        OfuVector3 p;
        double depth = select.depth;
        // The refined query gives up on a hit at the very near or far plane; the point there is still the one
        // under the cursor at that depth.
        if (depth == 0.0 || depth == 1.0)
            modeller->GetDepthToPoint3(device_context, x, y, depth, p);
        else
            modeller->GetDepthToPoint3_Hi(device_context, shape, x, y, depth, p);
        hit_point[0] = p.x;
        hit_point[1] = p.y;
        hit_point[2] = p.z;
    }
    return shape;
}

_OfuPosition* CBusMDL::HitTestShape(std::uint64_t point) {
    if (!modeller) return nullptr;
    int x = 0, y = 0;
    split_packed(point, &x, &y);
    _O3duSelect select[1] = {};
    if (modeller->HitTest(device_context, x, y, select, 1) < 1) return nullptr;
    return select[0].position;
}

void CBusMDL::UpdateViewport(const EyeRecord& eye) {
    if (!modeller) return;
    _O3duViewport viewport;
    viewport.x = eye.screen_origin_x;
    viewport.y = eye.window_height - eye.screen_origin_y - eye.screen_height;
    viewport.width = eye.screen_width;
    viewport.height = eye.screen_height;
    modeller->SetViewport(viewport);
    // A minimised window has no height: keep the last aspect rather than divide by zero.
    if (eye.screen_height == 0) return;
    _O3duCamera camera;
    modeller->GetCamera(camera);
    camera.aspect = static_cast<double>(eye.screen_width) / static_cast<double>(eye.screen_height);
    modeller->SetCamera(camera);
}

}  // namespace kz::foundation
