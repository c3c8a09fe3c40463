// CO3duGLModelar's life cycle and shape list: construction, Initialize on window device contexts, Finalize, and
// the slots that reorder, list and remove shapes.
#include "modeller/gl_modelar.h"

#include <GL/gl.h>

#include <algorithm>

#include "modeller/shadow/groups.h"
#include "modeller/shadow/volumes.h"
#include "platform/device_context.h"

CO3duGLModelar::CO3duGLModelar() = default;

CO3duGLModelar::~CO3duGLModelar() { Finalize(); }

void CO3duGLModelar::set_aspect_from_viewport() {
    const _O3duViewport& v = scene_->viewport;
    if (v.height <= 0) return;  // no height, no ratio: the camera keeps the one it has
    _O3duCamera camera;
    GetCamera(camera);
    camera.aspect = static_cast<double>(static_cast<float>(v.width) / static_cast<float>(v.height));
    SetCamera(camera);
}

int CO3duGLModelar::setup_context(HDC hdc, const _O3duViewport* viewport) {
    if (!renderer_.SetupWindowPixelFormat(hdc)) {
        // The scene goes, the shapes stay: a later Initialize starts the scene afresh over the same list.
        scene_.reset();
        return 0;
    }
    if (viewport) {
        scene_->viewport = *viewport;
        glViewport(viewport->x, viewport->y, viewport->width, viewport->height);
    }
    scene_->SetupGL();
    renderer_.UploadTextures(structure_.textures);
    return 1;
}

int CO3duGLModelar::Initialize(HDC hdc) {
    if (!hdc) return 0;
    if (!scene_) {
        // A first start, or a restart after a failed one. Either way the shape list is the caller's and stays.
        renderer_.ReleaseContext();
        scene_ = std::make_unique<CO3duGLScene>(this, &structure_);
        if (!setup_context(hdc, nullptr)) return 0;
        set_aspect_from_viewport();
    } else {
        renderer_.ReleaseContext();
        if (!setup_context(hdc, nullptr)) return 0;
        const _O3duViewport& v = scene_->viewport;
        if (v.height > 0.00001) {
            const double aspect = static_cast<double>(static_cast<float>(v.width) / static_cast<float>(v.height));
            if (aspect > 0.00001) scene_->camera.aspect = aspect;
            if (scene_->camera_mode == 0) {
                SetCamera(scene_->camera);
            } else if (aspect > 0.00001) {
                SetCamera(scene_->camera);
                _O3duAxoCamera axo;
                GetAxoCamera(axo);
                axo.window_width = axo.window_height * aspect;
                SetAxoCamera(axo);
            }
        }
    }
    kz::platform::make_current(nullptr, nullptr);
    return 1;
}

int CO3duGLModelar::Initialize(HDC hdc, _O3duViewport viewport) {
    // Without a device context the context is made on a stand-in of the viewport's size, as on the screen.
    std::unique_ptr<kz::platform::DeviceContext> screen;
    if (!hdc) {
        screen = kz::platform::DeviceContext::create_window(std::max(viewport.width, 1), std::max(viewport.height, 1));
        hdc = screen.get();
    }
    const bool first = !scene_;
    renderer_.ReleaseContext();
    if (first) scene_ = std::make_unique<CO3duGLScene>(this, &structure_);
    if (!setup_context(hdc, &viewport)) return 0;
    if (first) {
        set_aspect_from_viewport();
    } else if (viewport.height > 0) {
        const double aspect = static_cast<double>(viewport.width) / viewport.height;
        if (scene_->camera_mode == 0) {
            _O3duCamera camera;
            GetCamera(camera);
            camera.aspect = aspect;
            SetCamera(camera);
        } else {
            _O3duAxoCamera axo;
            GetAxoCamera(axo);
            axo.window_width = aspect * axo.window_height;
            SetAxoCamera(axo);
        }
    }
    kz::platform::make_current(nullptr, nullptr);
    if (screen) renderer_.hdc = nullptr;  // the stand-in goes now; the context outlives it
    return 1;
}

void CO3duGLModelar::Finalize() {
    cache_.clear();
    structure_.RemoveAll();
    scene_.reset();
    renderer_.ReleaseContext();
}

HDC CO3duGLModelar::SetCurrent(HDC& hdc) { return hdc; }

HDC CO3duGLModelar::GetCurrent() { return kz::platform::current_device_context(); }

void CO3duGLModelar::RemoveShapeAt(_OfuPosition*& pos) {
    if (!entity_of(pos)) return;
    structure_.RemoveShapeNode(pos);
    pos = nullptr;
}

void CO3duGLModelar::RemoveShapeAll() {
    cache_.clear();
    structure_.RemoveAll();
}

void CO3duGLModelar::MoveDepthToTail(_OfuPosition*& pos) { pos = structure_.relink(pos, false); }

void CO3duGLModelar::MoveDepthToHead(_OfuPosition*& pos) { pos = structure_.relink(pos, true); }

void CO3duGLModelar::GetPosArray(CO3duPosList& list) {
    list.SetSize(structure_.count());
    int i = 0;
    for (_OfuPosition* node = structure_.head(); node; node = node->next) list[i++] = node;
}

void CO3duGLModelar::SetOffset(OfuVector3& offset) { structure_.offset = offset; }

void CO3duGLModelar::DeviceSetting() {}

void CO3duGLModelar::ResetViewport() {}
