// The property slots of CO3duGLModelar: integer, 64-bit and byte-string properties attached to a shape by its
// callers. A handle that is not a shape of this modeller reads as "not found" and stores nothing.
#include "modeller/gl_modelar.h"

void CO3duGLModelar::SetProp1(_OfuPosition* pos, int key, int value) {
    if (CO3duGLEntity* entity = entity_of(pos)) entity->prop1.Set(key, value);
}

int CO3duGLModelar::GetProp1(_OfuPosition* pos, int key, int& value) {
    value = 0;
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->prop1.Get(key, value) : 0;
}

void CO3duGLModelar::SetProp3(_OfuPosition* pos, int key, std::uint64_t value) {
    CO3duGLEntity* entity = entity_of(pos);
    if (!entity) return;
    std::uint64_t old = 0;
    // A shape given another item leaves the batch it was in.
    if (key == kO3duItemProperty && (!entity->prop3.Get(key, old) || old != value)) cache_.changed(*entity);
    entity->prop3.Set(key, value);
}

int CO3duGLModelar::GetProp3(_OfuPosition* pos, int key, std::uint64_t& value) {
    value = 0;
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->prop3.Get(key, value) : 0;
}

DWORD CO3duGLModelar::GetProp2(_OfuPosition* pos, void* key, DWORD key_length, void* buffer,
                               DWORD buffer_length) const {
    const CO3duGLEntity* entity = entity_of(pos);
    return entity ? entity->prop2().Get(key, key_length, buffer, buffer_length) : 0;
}

int CO3duGLModelar::SetProp2(_OfuPosition* pos, void* key, DWORD key_length, void* value, DWORD value_length) {
    CO3duGLEntity* entity = entity_of(pos);
    // The store is made for the first record, not for a call that stores nothing.
    if (!entity || !key || !value || key_length == 0 || value_length == 0) return 0;
    return entity->prop2_to_change().Set(key, key_length, value, value_length);
}

int CO3duGLModelar::RemoveAtProp(_OfuPosition* pos, void* key, DWORD key_length) {
    CO3duGLEntity* entity = entity_of(pos);
    return entity && entity->prop2().GetUsedSize() ? entity->prop2_to_change().Remove(key, key_length) : 0;
}
