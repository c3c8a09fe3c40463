// The primitive slots of CO3duGLModelar: adding, changing and reading back shapes, their matrices, layer and draw
// mode, and moving their vertex data. Handles are checked against the shape list before anything is touched.
#include "modeller/gl_modelar.h"

#include <GL/gl.h>

#include <cstring>
#include <vector>

#include "modeller/shadow/volumes.h"

namespace {

// Hidden or casting no shadow, a shape's volumes go; shown or casting again, they are built. Either way the frame's
// bound is worked out again, with the shape or without it. Hosts set the same mode over and over: that rebuilds
// nothing.
bool casting_turned(std::int32_t before, std::int32_t after) {
    return ((before ^ after) & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SHADOW)) != 0;
}

}  // namespace

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
    // Material, texture and polygon mode alter the shadow only where they alter what casts: a part recoloured (as
    // a selection does) keeps its volumes; one made translucent, given a 32-bit texture or no longer filled loses
    // them, and gains them back the other way round.
    const bool looks = (flags & (O3DU_PRIM_MATERIAL | O3DU_PRIM_TEXTURE | O3DU_PRIM_POLYGON_MODE)) != 0;
    const std::vector<bool> cast_before = looks ? casting_sets(*entity) : std::vector<bool>();
    const std::int32_t mode_before = entity->draw_mode;
    const CO3duGLEntity::Changed changed = entity->Change(primitive, flags);
    if (changed.shadow || casting_turned(mode_before, entity->draw_mode) ||
        (looks && casting_sets(*entity) != cast_before))
        entity->shadow_rebuild = 1;
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
    const std::int32_t now = static_cast<std::int32_t>(mode);
    if (entity->draw_mode != now) cache_.changed(*entity);
    if (casting_turned(entity->draw_mode, now)) entity->shadow_rebuild = 1;
    entity->draw_mode = now;
}

bool CO3duGLModelar::set_casts(const CO3duGLTrianglePolygons& set) const {
    const int texture = set.texture_number();
    const bool translucent_texture = texture >= 1 && texture <= structure_.textures.GetSize() &&
                                     texture_casts_none(structure_.textures[texture - 1]);
    return casts_shadow(set, translucent_texture);
}

std::vector<bool> CO3duGLModelar::casting_sets(const CO3duGLEntity& entity) const {
    std::vector<bool> casts{entity.polygon_mode == GL_FILL && entity.kind != 1};
    for (const CO3duGLTrianglePolygons set : entity.sets()) casts.push_back(set_casts(set));
    return casts;
}

int CO3duGLModelar::GetShadowRebuild(_OfuPosition* pos) const {
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->shadow_rebuild : -1;
}
