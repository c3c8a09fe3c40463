// The plain-function interface: the table of 16 modellers, drawing, files, shapes by handle, properties, camera
// and lights. Each function only forwards to the modeller of its handle.
#include "modeller/plain_functions/o3dx_interface.h"

#include <array>
#include <cmath>
#include <memory>

#include "geometry/math_primitive.h"
#include "modeller/camera/o3du_math_camera.h"
#include "modeller/files/o3du_read_mesh3.h"
#include "modeller/files/o3du_write_mesh3.h"
#include "modeller/plain_functions/o3dx_table.h"

namespace {

std::array<std::unique_ptr<CO3duGLModelar>, 16> g_modellers;
std::unique_ptr<CO3duPrimitive> g_current;  // O3dxGetPrimitive's copy

// Host doubles that become 32-bit integers: NaN gives 0, the rest saturates.
std::int32_t to_int32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

_O3duCamera camera_from(const double* a) {
    _O3duCamera c;
    c.eye = {a[0], a[1], a[2]};
    c.target = {a[3], a[4], a[5]};
    c.fov = a[6];
    c.near_distance = a[7];
    c.far_distance = a[8];
    c.aspect = a[9];
    return c;
}

void camera_to(const _O3duCamera& c, double* a) {
    const double values[10] = {c.eye.x,    c.eye.y, c.eye.z,         c.target.x,     c.target.y,
                               c.target.z, c.fov,   c.near_distance, c.far_distance, c.aspect};
    for (int i = 0; i < 10; ++i) a[i] = values[i];
}

void color_to(const OfuColorValue& c, double* a) {
    a[0] = c.r;
    a[1] = c.g;
    a[2] = c.b;
    a[3] = c.a;
}

OfuColorValue color_from(const double* a) {
    return {static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2]), static_cast<float>(a[3])};
}

// Moves a shape to the end of the drawing order when translucent, to the start otherwise, handing back the new
// handle; null for a shape the modeller does not hold.
_OfuPosition* reorder(CO3duGLModelar& m, _OfuPosition*& shape, bool translucent) {
    _OfuPosition* moved = shape;
    if (translucent)
        m.MoveDepthToTail(moved);
    else
        m.MoveDepthToHead(moved);
    shape = moved;
    return moved;
}

}  // namespace

CO3duGLModelar* o3dx_modeller(O3DXLONG h) {
    if (h < 0 || h >= static_cast<O3DXLONG>(g_modellers.size())) return nullptr;
    return g_modellers[static_cast<std::size_t>(h)].get();
}

O3DXLONG O3dxCreate() {
    // Modellers left from an earlier session of the host are destroyed, not forgotten with their contexts.
    return O3dxDelete();
}

O3DXLONG O3dxDelete() {
    for (auto& m : g_modellers) m.reset();
    g_current.reset();
    return 1;
}

O3DXLONG O3dxOpen(HDC& hdc) {
    for (std::size_t i = 0; i < g_modellers.size(); ++i) {
        if (g_modellers[i]) continue;
        g_modellers[i] = std::make_unique<CO3duGLModelar>();
        CO3duGLModelar& m = *g_modellers[i];
        m.Initialize(hdc);
        OfuVector3 centre;
        m.GetCenterPoint(centre, 0);
        m.SetOffset(centre);
        m.SetCameraForAllView_Hi(0);
        return static_cast<O3DXLONG>(i);
    }
    return -1;
}

O3DXLONG O3dxInitialize(O3DXLONG& h, HDC& hdc) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->Initialize(hdc);
    return 1;
}

O3DXLONG O3dxDrawModel(O3DXLONG& h, HDC& hdc) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->SetCurrent(hdc);
    m->DrawModel(hdc);
    return 1;
}

_OfuPosition* O3dxRead(O3DXLONG& h, const char* path) {
    CO3duGLModelar* m = o3dx_modeller(h);
    return m ? CO3duReadMesh3::ReadFile_Singlepos(*m, path) : nullptr;
}

O3DXLONG O3dxWrite(O3DXLONG& h, const char* path) {
    CO3duGLModelar* m = o3dx_modeller(h);
    return m ? CO3duWriteMesh3::WriteModel(*m, path, 1) : 0;
}

O3DXLONG O3dxGetPrimitive(O3DXLONG& h, _OfuPosition*& shape) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    g_current = std::make_unique<CO3duPrimitive>();
    m->GetPrimitive(shape, *g_current, O3DU_PRIM_ALL);
    return 1;
}

_OfuPosition* O3dxAddPrimitive(O3DXLONG& h) {
    CO3duGLModelar* m = o3dx_modeller(h);
    return m && g_current ? m->AddPrimitive(*g_current) : nullptr;
}

O3DXLONG O3dxRemoveShapeAt(O3DXLONG& h, _OfuPosition*& shape) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    _OfuPosition* copy = shape;
    m->RemoveShapeAt(copy);
    return 1;
}

_OfuPosition* O3dxHitTest(O3DXLONG& h, O3DXLONG& x, O3DXLONG& y, HDC& hdc) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return nullptr;
    _O3duSelect select{nullptr, 0.0, 0};
    return m->HitTestS(hdc, x, y, select);
}

O3DXLONG O3dxSetDrawMode(O3DXLONG& h, _OfuPosition*& shape, O3DXLONG& mode) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    // Through the primitive, so the shape's shadow follows; read first, so its kind stays what it was.
    CO3duPrimitive p;
    m->GetPrimitive(shape, p, O3DU_PRIM_DRAW_MODE);
    p.draw_mode = mode;
    m->ChangePrimitive(shape, p, O3DU_PRIM_DRAW_MODE);
    return 1;
}

O3DXLONG O3dxSetMatrix(O3DXLONG& h, _OfuPosition*& shape, double* m16) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !m16) return 0;
    OfuMatrix4x4 matrix;
    for (int i = 0; i < 16; ++i) matrix.m[i / 4][i % 4] = m16[i];
    m->SetMatrix(shape, matrix);
    return 1;
}

_OfuPosition* O3dxSetAlpha(O3DXLONG& h, _OfuPosition*& shape, double& alpha) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || m->GetDrawMode(shape) == -1) return nullptr;
    m->ChangeAlpha(shape, static_cast<float>(alpha));
    return reorder(*m, shape, alpha < 1.0);
}

O3DXLONG O3dxSetMaterial(O3DXLONG& h, _OfuPosition*& shape, double* rgba, double ambient, double diffuse,
                         double specular, double power) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !rgba || m->GetDrawMode(shape) == -1) return 0;
    _OfuMaterial material =
        CO3duMathPrimitive::MakeMaterialFromColor(color_from(rgba), ambient, diffuse, specular, power);
    m->ChangeMaterial(shape, material);
    reorder(*m, shape, rgba[3] < 1.0);
    return 1;
}

O3DXLONG O3dxSetProp(O3DXLONG& h, _OfuPosition*& shape, O3DXLONG& key, O3DXLONG& value) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->SetProp1(shape, key, value);
    return 1;
}

O3DXLONG O3dxGetProp(O3DXLONG& h, _OfuPosition*& shape, O3DXLONG& key, O3DXLONG& value) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    int v = 0;
    m->GetProp1(shape, key, v);
    value = v;
    return 1;
}

O3DXLONG O3dxSetBkColor(O3DXLONG& h, double* rgb) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !rgb) return 0;
    m->SetBkColor({static_cast<float>(rgb[0]), static_cast<float>(rgb[1]), static_cast<float>(rgb[2]), 1.0f});
    return 1;
}

O3DXLONG O3dxGetCamera(O3DXLONG& h, double* camera10) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !camera10) return 0;
    _O3duCamera c;
    m->GetCamera(c);
    camera_to(c, camera10);
    return 1;
}

O3DXLONG O3dxSetCamera(O3DXLONG& h, double* camera10) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !camera10) return 0;
    m->SetCamera(camera_from(camera10));
    return 1;
}

O3DXLONG O3dxGetLight(O3DXLONG& h, O3DXLONG& index, double* light21) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !light21) return 0;
    OfuLight l;
    m->GetLight(index, l);
    light21[0] = l.type == OFU_LIGHT_POSITIONAL ? 0.0 : 1.0;
    color_to(l.diffuse, light21 + 1);
    color_to(l.ambient, light21 + 5);
    color_to(l.specular, light21 + 9);
    const double rest[8] = {l.position.x,  l.position.y,  l.position.z, l.direction.x,
                            l.direction.y, l.direction.z, double(l.on), l.attenuation};
    for (int i = 0; i < 8; ++i) light21[13 + i] = rest[i];
    return 1;
}

O3DXLONG O3dxSetLight(O3DXLONG& h, O3DXLONG& index, double* light21) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !light21) return 0;
    OfuLight l;
    l.type = light21[0] == 0.0 ? OFU_LIGHT_POSITIONAL : OFU_LIGHT_DIRECTIONAL;
    l.diffuse = color_from(light21 + 1);
    l.ambient = color_from(light21 + 5);
    l.specular = color_from(light21 + 9);
    l.position = {light21[13], light21[14], light21[15]};
    l.direction = {light21[16], light21[17], light21[18]};
    l.on = to_int32(light21[19]);
    l.attenuation = static_cast<float>(light21[20]);
    m->SetLight(index, l);
    return 1;
}

O3DXLONG O3dxPanTilt(O3DXLONG& h, double& pan, double& tilt) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->PanTilt(pan, tilt);
    return 1;
}

O3DXLONG O3dxRoundDolly(O3DXLONG& h, double& vertical, double& horizontal) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->RoundDolly(vertical, horizontal);
    return 1;
}

O3DXLONG O3dxDolly(O3DXLONG& h, double& forward, double& left, double& up, O3DXLONG& eye_only) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->Dolly(forward, left, up, eye_only);
    return 1;
}

O3DXLONG O3dxFly(O3DXLONG& h, double& forward, double& right, double& up, O3DXLONG& eye_only) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->Fly(forward, right, up, eye_only);
    return 1;
}

O3DXLONG O3dxApproachCamera(O3DXLONG& h, double& x, double& y, double& ratio, O3DXLONG& pick, HDC& hdc) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    m->ApproachCamera(OfuVector2(x, y), ratio, pick, hdc);
    return 1;
}

O3DXLONG O3dxAnimationCamera(O3DXLONG& h, double* from10, double* to10, double& milliseconds, HDC& hdc) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m || !from10 || !to10) return 0;
    m->AnimationCamera(camera_from(from10), camera_from(to10), milliseconds, hdc);
    return 1;
}

O3DXLONG O3dxSetCameraForAllView(O3DXLONG& h, O3DXLONG& milliseconds, HDC& hdc) {
    CO3duGLModelar* m = o3dx_modeller(h);
    if (!m) return 0;
    // Point and line sets are left out of the fit.
    CO3duMathCamera::ModelarAllmodelView(m, 3, hdc, milliseconds);
    return 1;
}
