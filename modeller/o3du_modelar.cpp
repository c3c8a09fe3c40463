// Default bodies of CO3duModelar's operations and the helpers built only on its virtual operations.
// Nothing here keeps state: every helper reads the shape or camera back, changes it and writes it again.
#include "modeller/o3du_modelar.h"

#include <algorithm>
#include <cmath>

#include "geometry/shape_to_primitive.h"
#include "geometry/vector_math.h"
#include "modeller/vertex_transform.h"

HDC CO3duModelar::SetCurrent(HDC& hdc) { return hdc; }

HDC CO3duModelar::GetCurrent() { return nullptr; }

void CO3duModelar::MoveShape(_OfuPosition* pos, OfuMatrix4x4& m) {
    CO3duPrimitive p;
    GetPrimitive(pos, p, O3DU_PRIM_GEOMETRY);
    for (int s = 0; s < p.sets.GetSize(); ++s) {
        CO3duVertexList& vertices = p.sets[s].vertices;
        for (int i = 0; i < vertices.GetSize(); ++i) {
            move_vertex(m, vertices[i].position, vertices[i].normal);
        }
    }
    ChangePrimitive(pos, p, O3DU_PRIM_GEOMETRY);
}

_OfuPosition* CO3duModelar::HitTestS(HDC hdc, int x, int y, _O3duSelect& select) {
    _O3duSelect local{nullptr, 0.0, 0};
    if (HitTest(hdc, x, y, &local, 1) == 0) return nullptr;
    select = local;
    return local.position;
}

void CO3duModelar::DeviceSetting() {}

int CO3duModelar::DrawStart(_OfuPosition*&) { return 1; }

int CO3duModelar::PreDraw(_OfuPosition*&, OfuMatrix4x4&, int) { return 0; }

int CO3duModelar::DrawEnd(_OfuPosition*&, int) { return 1; }

OfuColorValue CO3duModelar::GetShadowColor() { return {0.5f, 0.5f, 0.5f, 1.0f}; }

void CO3duModelar::ShapeToPrimitive(const COfuShape& shape, CO3duPrimitive& primitive, int simplify, int solid) {
    CO3duShapeToPrimitive::ConvertShape(shape, primitive, simplify, solid);
}

_OfuPosition* CO3duModelar::AddShape(const COfuShape& shape, int simplify, int solid) {
    CO3duPrimitive p;
    ShapeToPrimitive(shape, p, simplify, solid);
    return AddPrimitive(p);
}

_OfuPosition* CO3duModelar::ChangeShape(_OfuPosition* pos, const COfuShape& shape, int simplify, int solid) {
    CO3duPrimitive p;
    ShapeToPrimitive(shape, p, simplify, solid);
    return ChangePrimitive(pos, p, O3DU_PRIM_ALL);
}

void CO3duModelar::ChangeAlpha(_OfuPosition* pos, float alpha) {
    CO3duPrimitive p;
    GetPrimitive(pos, p, O3DU_PRIM_MATERIAL);
    for (int s = 0; s < p.sets.GetSize(); ++s) p.sets[s].material.diffuse.a = alpha;
    ChangePrimitive(pos, p, O3DU_PRIM_MATERIAL);
}

void CO3duModelar::ChangeMaterial(_OfuPosition* pos, _OfuMaterial& material) {
    CO3duPrimitive p;
    GetPrimitive(pos, p, O3DU_PRIM_MATERIAL);
    for (int s = 0; s < p.sets.GetSize(); ++s) p.sets[s].material = material;
    ChangePrimitive(pos, p, O3DU_PRIM_MATERIAL);
}

long CO3duModelar::GetDrawMode(_OfuPosition*& pos) {
    CO3duPrimitive p;
    GetPrimitive(pos, p, O3DU_PRIM_DRAW_MODE);
    return p.draw_mode;
}

void CO3duModelar::SetDrawMode(_OfuPosition*& pos, long mode) {
    CO3duPrimitive p;
    GetPrimitive(pos, p, O3DU_PRIM_DRAW_MODE);
    p.draw_mode = static_cast<int32_t>(mode);
    ChangePrimitive(pos, p, O3DU_PRIM_DRAW_MODE);
}

namespace {

// The near and far distances of a camera copy pulled in around the probed distance r, so that the depth buffer
// spends its whole resolution on the neighbourhood of the picked point.
template <class Camera>
void narrow_depth_range(Camera& camera, double r, double margin) {
    camera.near_distance = std::max(camera.near_distance, r - margin);
    camera.far_distance = std::min(camera.far_distance, r + margin);
}

}  // namespace

void CO3duModelar::GetDepthToPoint3_Hi(HDC hdc, _O3duSelect& select, int x, int y, OfuVector3& point) {
    _O3duCamera camera;
    _O3duAxoCamera axo;
    GetCamera(camera);
    GetAxoCamera(axo);
    if (!HitTestS(hdc, x, y, select)) return;
    if (select.depth == 0.0 || select.depth == 1.0) return;
    // The first hit's own depth places the point the narrowed range is centred on.
    double probe = select.depth;
    if (GetCameraMode() == 0) {
        _O3duCamera copy = camera;
        GetDepthToPoint3(hdc, x, y, probe, point);
        const double r = length(point - camera.eye);
        narrow_depth_range(copy, r, 0.1 * r);
        SetCamera(copy);
        if (HitTestS(hdc, x, y, select)) GetDepthToPoint3(hdc, x, y, select.depth, point);
        SetCamera(camera);
    } else {
        _O3duAxoCamera copy = axo;
        GetDepthToPoint3(hdc, x, y, probe, point);
        const double r = length(point - axo.eye);
        narrow_depth_range(copy, r, 1000.0);
        SetAxoCamera(copy);
        if (HitTestS(hdc, x, y, select)) GetDepthToPoint3(hdc, x, y, select.depth, point);
        SetAxoCamera(axo);
    }
}

void CO3duModelar::GetDepthToPoint3_Hi(HDC hdc, _OfuPosition* pos, int x, int y, double& depth, OfuVector3& point) {
    _O3duSelect select{pos, depth, 0};
    GetDepthToPoint3_Hi(hdc, select, x, y, point);
    depth = select.depth;
}
