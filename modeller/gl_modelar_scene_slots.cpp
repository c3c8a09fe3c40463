// The scene slots of CO3duGLModelar: background, culling, cameras, viewport, lights, shadow settings and the
// section plane. Without a scene they do nothing, or answer with the defaults callers expect.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "geometry/vector_math.h"
#include "modeller/gl_modelar.h"
#include "modeller/shadow/groups.h"
#include "modeller/shadow/volumes.h"
#include "platform/heap_release.h"

void CO3duGLModelar::GetBkColor(OfuColorValue& color) {
    const float* b = renderer_.background;
    color = {b[0], b[1], b[2], b[3]};
}

void CO3duGLModelar::SetBkColor(const OfuColorValue& color) {
    float* b = renderer_.background;
    b[0] = color.r;
    b[1] = color.g;
    b[2] = color.b;
    b[3] = color.a;
}

void CO3duGLModelar::SetCullMode(int mode) {
    if (!scene_) return;
    if (scene_->cull_mode != mode) scene_->shadow_rebuild = 1;
    scene_->cull_mode = mode;
}

int CO3duGLModelar::GetCullMode() { return scene_ ? scene_->cull_mode : 0; }

// Assigning vectors copies their coordinates only: the caller's dimension fields stay as they were.
void CO3duGLModelar::GetCamera(_O3duCamera& camera) {
    if (scene_) camera = scene_->camera;
}

void CO3duGLModelar::SetCamera(const _O3duCamera& camera) {
    if (!scene_) return;
    if (length(camera.target - camera.eye) < 0.0001) return;
    scene_->camera = camera;
    scene_->camera_mode = 0;
}

int CO3duGLModelar::SetPersMode(int mode) {
    if (!scene_) return -1;
    const int previous = scene_->pers_mode;
    scene_->pers_mode = mode;
    return previous;
}

int CO3duGLModelar::GetPersMode() { return scene_ ? scene_->pers_mode : -1; }

void CO3duGLModelar::SetPersWindow(const _OFUDRECT& window) {
    if (scene_) scene_->pers_window = window;
}

_OFUDRECT CO3duGLModelar::GetPersWindow() { return scene_ ? scene_->pers_window : _OFUDRECT{}; }

void CO3duGLModelar::GetAxoCamera(_O3duAxoCamera& camera) {
    if (scene_) camera = scene_->axo_camera;
}

void CO3duGLModelar::SetAxoCamera(const _O3duAxoCamera& camera) {
    if (!scene_) return;
    if (std::fabs(camera.window_width) < 0.00001 || std::fabs(camera.window_height) < 0.00001) return;
    scene_->axo_camera = camera;
    scene_->camera_mode = 1;
}

int CO3duGLModelar::GetCameraMode() { return scene_ ? scene_->camera_mode : 0; }

void CO3duGLModelar::SetCameraMode(int mode) {
    if (!scene_) return;
    if (scene_->camera_mode != mode) scene_->shadow_rebuild = 1;
    scene_->camera_mode = mode;
}

void CO3duGLModelar::GetViewport(_O3duViewport& viewport) {
    if (scene_) viewport = scene_->viewport;
}

void CO3duGLModelar::SetViewport(_O3duViewport& viewport) {
    if (!scene_) return;
    scene_->viewport = viewport;
    // Only into our own context: another modeller's may be current on this thread. Every frame sets it again.
    if (renderer_.has_context() && kz::platform::current_context() == renderer_.context())
        glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    set_aspect_from_viewport();
}

void CO3duGLModelar::GetLight(int index, OfuLight& light) {
    if (!scene_ || index < 0 || index >= CO3duGLScene::kLights) return;
    scene_->lights[index].to_light(light);
}

void CO3duGLModelar::SetLight(int index, OfuLight light) {
    if (!scene_ || index < 0 || index >= CO3duGLScene::kLights) return;
    scene_->lights[index].from_light(light);
}

void CO3duGLModelar::GetShadowLight(OfuLight& light) {
    if (scene_) scene_->shadow_light.to_light(light);
}

void CO3duGLModelar::SetShadowLight(OfuLight light) {
    if (!scene_) return;
    // The volumes depend on the light's direction alone: the same light again costs no rebuild while it stays on.
    // Switched off, the light gives their memory back; switched on again, every shape builds them anew.
    const CO3duGLLightRecord before = scene_->shadow_light;
    scene_->shadow_light.from_light(light);
    if (std::memcmp(before.direction, scene_->shadow_light.direction, sizeof before.direction) != 0)
        scene_->shadow_rebuild = 1;
    if (before.on && !scene_->shadow_light.on) release_shadow_volumes();
}

void CO3duGLModelar::release_shadow_volumes() {
    bool freed = false;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) {
        freed = node->entity->clear_shadow_volumes() || freed;
        node->entity->shadow_rebuild = 1;
    }
    if (shadow_groups_) shadow_groups_->release();
    shadow_builder_.reset();
    if (freed) kz::platform::release_free_heap();
}

// Every shape stays marked for rebuilding through the night, as no frame builds volumes meanwhile: the first frame
// of the day builds them all.
void CO3duGLModelar::set_night(bool night) {
    if (night == night_) return;
    night_ = night;
    if (night) release_shadow_volumes();
}

std::size_t CO3duGLModelar::shadow_volume_bytes() const {
    std::size_t bytes = 0;
    for (const _OfuPosition* node = structure_.head(); node; node = node->next)
        bytes += node->entity->outline_volumes().bytes() + node->entity->prism_volumes().bytes();
    return bytes;
}

void CO3duGLModelar::SetShadowColor(OfuColorValue color) {
    if (scene_) scene_->shadow_color = color;
}

OfuColorValue CO3duGLModelar::GetShadowColor() {
    return scene_ ? scene_->shadow_color : CO3duModelar::GetShadowColor();
}

int CO3duGLModelar::GetShadowAccuracy() { return scene_ ? scene_->shadow_accuracy : 1; }

void CO3duGLModelar::SetShadowAccuracy(int accuracy) {
    if (!scene_) return;
    if (scene_->shadow_accuracy != accuracy) scene_->shadow_rebuild = 1;
    scene_->shadow_accuracy = accuracy;
}

void CO3duGLModelar::SetCliping(int on, OfuPlane plane, OfuColorValue cap_color) {
    if (!scene_) return;
    scene_->section_switch = on ? GL_CLIP_PLANE0 : 0;
    scene_->section_plane = plane;
    scene_->cap_color = cap_color;
}

void CO3duGLModelar::GetCliping(int& on, OfuPlane& plane, OfuColorValue& cap_color) {
    if (!scene_) return;
    on = scene_->section_switch ? 1 : 0;
    plane = scene_->section_plane;
    cap_color = scene_->cap_color;
}
