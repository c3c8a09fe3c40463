// Changes to a shape the bridge already committed: colours, transparency, fill or outline drawing, visibility,
// pickability and placement. Each reads the shape back and writes it with the one part flag it changes.
#include "app/foundation/bus_mdl.h"

#include <algorithm>

#include "app/foundation/bridge_services.h"

namespace kz::foundation {

namespace {
int prop_of(CO3duModelar& m, _OfuPosition* shape, int key) {
    int value = 0;
    m.GetProp1(shape, key, value);
    return value;
}
}  // namespace

int CBusMDL::ApplyObjectColors(BridgeShape* leaves, const MaterialRecord* record, int bits) {
    _OfuPosition* shape = leaves ? leaves->ModelHandle() : nullptr;
    if (!modeller || !shape) return 0;
    CO3duPrimitive primitive;
    modeller->GetPrimitive(shape, primitive, O3DU_PRIM_MATERIAL);
    const int faces = std::min(prop_of(*modeller, shape, kPropFaceSets), primitive.sets.GetSize());
    for (int i = 0; i < faces; ++i) {
        const MaterialRecord* own = record ? record : leaves->FaceMaterial(i);
        if (own) ApplyMaterialRecord(primitive.sets[i].material, *own, bits);
    }
    modeller->ChangePrimitive(shape, primitive, O3DU_PRIM_MATERIAL);
    return 1;
}

int CBusMDL::SetTransparency(_OfuPosition* shape, double transparency) {
    if (!modeller || !shape) return 0;
    if (transparency > 1.5) SetBlendProps(shape, 0, 1);
    CO3duPrimitive primitive;
    modeller->GetPrimitive(shape, primitive, O3DU_PRIM_MATERIAL);
    const float alpha = static_cast<float>(std::clamp(1.0 - transparency, 0.0, 1.0));
    for (int i = 0; i < primitive.sets.GetSize(); ++i) primitive.sets[i].material.diffuse.a = alpha;
    modeller->ChangePrimitive(shape, primitive, O3DU_PRIM_MATERIAL);
    return 1;
}

void CBusMDL::SetFaceDrawMode(_OfuPosition* shape, int style, int width) {
    if (!modeller || !shape) return;
    const std::int32_t target = (style & 1) ? O3DU_SET_TRIANGLE_FAN : O3DU_SET_LINE_STRIP;
    CO3duPrimitive primitive;
    modeller->GetPrimitive(shape, primitive, O3DU_PRIM_SET_TYPE);
    const int faces = std::min(prop_of(*modeller, shape, kPropFaceSets), primitive.sets.GetSize());
    bool changed = false;
    for (int i = 0; i < faces; ++i) {
        CO3duTrianglePolys& set = primitive.sets[i];
        if (set.type == O3DU_SET_LINE_LIST || set.type == target) continue;
        set.type = target;
        set.line_width = static_cast<float>(std::clamp(width, 1, 9));
        changed = true;
    }
    if (changed) modeller->ChangePrimitive(shape, primitive, O3DU_PRIM_SET_TYPE);
}

void CBusMDL::SetShapeMatrix(_OfuPosition* shape, const OfuMatrix4x4& matrix) {
    if (!modeller || !shape) return;
    OfuMatrix4x4 copy = matrix;
    modeller->SetMatrix(shape, copy);
}

int CBusMDL::SetShapeVisible(_OfuPosition* shape, int visible) {
    if (!modeller || !shape) return 0;
    const int control = prop_of(*modeller, shape, kPropPickControl);
    const int pickable = control == 0 ? O3DU_DRAW_PICKABLE : control == 1 ? 0 : visible ? O3DU_DRAW_PICKABLE : 0;
    // A model that already shows (or hides) as asked is left as it is: whole models are shown after every open.
    const long now = modeller->GetDrawMode(shape);
    if (now >= 0 && now == ((now & ~3L) | pickable | (visible ? 0 : O3DU_DRAW_HIDDEN))) return 1;
    CO3duPrimitive primitive;
    modeller->GetPrimitive(shape, primitive, O3DU_PRIM_DRAW_MODE);
    primitive.draw_mode = (primitive.draw_mode & ~3) | pickable | (visible ? 0 : O3DU_DRAW_HIDDEN);
    modeller->ChangePrimitive(shape, primitive, O3DU_PRIM_DRAW_MODE);
    return 1;
}

long CBusMDL::SetDrawModeBit8(_OfuPosition* shape, int on) {
    if (!modeller || !shape) return 0;
    const long now = modeller->GetDrawMode(shape);
    const long wanted = (now & ~static_cast<long>(O3DU_DRAW_NO_SHADOW)) | (on ? O3DU_DRAW_NO_SHADOW : 0);
    if (now >= 0 && now == wanted) return now;
    CO3duPrimitive primitive;
    modeller->GetPrimitive(shape, primitive, O3DU_PRIM_DRAW_MODE);
    primitive.draw_mode = (primitive.draw_mode & ~O3DU_DRAW_NO_SHADOW) | (on ? O3DU_DRAW_NO_SHADOW : 0);
    modeller->ChangePrimitive(shape, primitive, O3DU_PRIM_DRAW_MODE);
    return primitive.draw_mode;
}

void CBusMDL::SetOpacityProps(_OfuPosition* shape, double transparency, int hit_flag) {
    SetBlendProps(shape, transparency_prop(transparency), pick_prop(transparency, hit_flag));
}

int CBusMDL::SetBlendProps(_OfuPosition* shape, int transparency_value, int pick_value) {
    if (!modeller || !shape) return 0;
    modeller->SetProp1(shape, kPropTransparency, transparency_value);
    modeller->SetProp1(shape, kPropPickControl, pick_value);
    return 1;
}

int CBusMDL::RemoveShape(_OfuPosition* shape) {
    if (modeller && shape) modeller->RemoveShapeAt(shape);
    return 0;
}

void CBusMDL::set_unpickable(_OfuPosition* shape) { SetBlendProps(shape, -1, 1); }

}  // namespace kz::foundation
