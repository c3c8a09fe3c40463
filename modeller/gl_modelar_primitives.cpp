// The primitive slots of CO3duGLModelar: adding, changing and reading back shapes, their matrices, layer and draw
// mode, and moving their vertex data. Handles are checked against the shape list before anything is touched.
#include "modeller/gl_modelar.h"

#include <cstring>

_OfuPosition* CO3duGLModelar::AddPrimitive(CO3duPrimitive& primitive) {
    if (!scene_) return nullptr;
    auto entity = std::make_unique<CO3duGLEntity>();
    entity->ConvertSets(primitive);
    entity->draw_mode = primitive.draw_mode;
    entity->model_matrix = primitive.model_matrix;
    entity->set_texture_matrix(primitive.texture_matrix);
    entity->kind = primitive.kind;
    entity->polygon_mode = gl_polygon_mode(primitive.polygon_mode);
    // The layer is kept too, so that what is added reads back whole (mesh files store it with the shape).
    entity->layer = primitive.layer;
    cache_.changed(*entity);
    _OfuPosition* pos = structure_.append(std::move(entity));
    scene_->shadow_rebuild = 1;
    return pos;
}

_OfuPosition* CO3duGLModelar::ChangePrimitive(_OfuPosition* pos, CO3duPrimitive& primitive, long flags) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!scene_ || !entity) return pos;
    const auto change = placing(*entity);
    const CO3duGLEntity::Changed changed = entity->Change(primitive, flags);
    if (changed.shadow) entity->shadow_rebuild = 1;
    if (changed.drawing) cache_.changed(*entity);
    return pos;
}

void CO3duGLModelar::GetPrimitive(_OfuPosition* pos, CO3duPrimitive& primitive, long flags) {
    const CO3duGLEntity* entity = entity_of(pos);
    if (!entity) return;
    entity->ConvertBack(primitive, flags);
}

unsigned int CO3duGLModelar::GetLayer(_OfuPosition* pos) {
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->layer : 0;
}

void CO3duGLModelar::SetLayer(_OfuPosition* pos, unsigned int layer) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!entity || entity->layer == layer) return;
    entity->layer = layer;
    cache_.changed(*entity);
}

void CO3duGLModelar::GetMatrix(_OfuPosition* pos, OfuMatrix4x4& m) {
    if (const CO3duGLEntity* entity = entity_of(pos)) m = entity->model_matrix;
}

void CO3duGLModelar::SetMatrix(_OfuPosition* pos, OfuMatrix4x4& m) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!entity) return;
    const auto change = placing(*entity);
    // The same matrix again (the view pushes placements every frame) changes nothing the cache keeps.
    if (std::memcmp(&entity->model_matrix, &m, sizeof m) != 0) cache_.changed(*entity);
    entity->model_matrix = m;
    entity->shadow_rebuild = 1;
}

void CO3duGLModelar::GetTexMatrix(_OfuPosition* pos, OfuMatrix4x4& m) {
    if (const CO3duGLEntity* entity = entity_of(pos)) m = entity->texture_matrix();
}

void CO3duGLModelar::SetTexMatrix(_OfuPosition* pos, OfuMatrix4x4& m) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!entity || std::memcmp(&entity->texture_matrix(), &m, sizeof m) == 0) return;
    entity->set_texture_matrix(m);
    cache_.changed(*entity);
}

void CO3duGLModelar::MoveShape(_OfuPosition* pos, OfuMatrix4x4& m) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!entity) return;
    const auto change = placing(*entity);
    entity->Transform(m);
    entity->shadow_rebuild = 1;
    cache_.changed(*entity);
}

long CO3duGLModelar::GetDrawMode(_OfuPosition*& pos) {
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->draw_mode : -1;
}

void CO3duGLModelar::SetDrawMode(_OfuPosition*& pos, long mode) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!entity) return;
    const auto change = placing(*entity);
    if (entity->draw_mode != static_cast<std::int32_t>(mode)) cache_.changed(*entity);
    entity->draw_mode = static_cast<std::int32_t>(mode);
}

int CO3duGLModelar::GetShadowRebuild(_OfuPosition* pos) const {
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->shadow_rebuild : -1;
}
