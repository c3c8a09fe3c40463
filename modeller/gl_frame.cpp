// One frame of CO3duGLModelar: clearing, camera and lights, the opaque pass with the per-shape hooks, the
// translucent pass, the section caps, and the three ways out: swapped to a window, read back, or a memory bitmap.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <typeinfo>

#include "modeller/gl_device.h"
#include "modeller/gl_draw_cache.h"
#include "modeller/gl_modelar.h"
#include "modeller/gl_passes.h"
#include "modeller/gl_state.h"
#include "modeller/gl_view_volume.h"
#include "platform/device_context.h"

void CO3duGLModelar::clear_and_draw() {
    O3duPassScope pass(O3duPass::frame);
    glPolygonMode(GL_FRONT, GL_FILL);
    const float* b = renderer_.background;
    glClearColor(b[0], b[1], b[2], 1.0f);
    scene_->background = renderer_.background;
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    DrawScene();
    glFlush();
}

void CO3duGLModelar::DrawModel(HDC& hdc) {
    if (!hdc) return;
    if (!scene_) Initialize(hdc);
    if (!scene_) return;
    CO3duGLCurrent current(renderer_, hdc);
    if (!current) return;
    clear_and_draw();
    kz::platform::swap_buffers(*hdc);
}

void CO3duGLModelar::DrawTo24DIBPixel(HDC& hdc, BYTE* buffer, int size, _OFURECT& rect) {
    if (!hdc || !buffer) return;
    const std::int64_t width = std::llabs(std::int64_t(rect.right) - rect.left);
    const std::int64_t height = std::llabs(std::int64_t(rect.bottom) - rect.top);
    const std::int64_t row = (width * 3 + 3) / 4 * 4;
    if (size < row * height) return;
    if (!scene_) Initialize(hdc);
    if (!scene_) return;
    CO3duGLCurrent current(renderer_, hdc);
    if (!current) return;
    clear_and_draw();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(rect.left, rect.top, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_BGR,
                 GL_UNSIGNED_BYTE, buffer);
}

void CO3duGLModelar::MemDCToBitmap(BYTE* pixels, int size, _OFURECT& rect, HDC hdc) {
    if (!scene_ || !pixels || size <= 0) return;
    // Without a device context of its own the frame is drawn off screen all the same, and the context goes back
    // to the device it was on (so a file writer's thumbnail does not leave the modeller unable to draw).
    if (!hdc) hdc = renderer_.hdc;
    const int width = std::abs(rect.right - rect.left);
    const int height = std::abs(rect.bottom - rect.top);
    std::unique_ptr<kz::platform::Bitmap> dib = kz::platform::Bitmap::create_dib_section(width, height, 24);
    std::unique_ptr<kz::platform::DeviceContext> memory = kz::platform::DeviceContext::create_memory();
    if (!dib || !memory) return;
    memory->select_bitmap(dib.get());
    if (renderer_.SetupBitmapPixelFormat(memory.get())) {
        scene_->SetupGL();
        renderer_.UploadTextures(structure_.textures);
        kz::platform::make_current(nullptr, nullptr);
        if (scene_->camera_mode == 0) set_aspect_from_viewport();
        HDC target = memory.get();
        DrawModel(target);
        // The bitmap's own size bounds the copy, whatever the caller claims its buffer holds.
        const std::int64_t bytes = std::int64_t(dib->stride()) * dib->height();
        std::memcpy(pixels, dib->bits(), static_cast<std::size_t>(std::min<std::int64_t>(size, bytes)));
    }
    renderer_.ReleaseContext();  // made for the memory DC, which goes now
    memory->select_bitmap(nullptr);
    memory.reset();
    dib.reset();
    if (hdc) Initialize(hdc);
}

void CO3duGLModelar::DrawScene() {
    triangles_last_frame_ = 0;
    shadow_wall_draws_last_frame_ = 0;
    shadow_count_passes_last_frame_ = 0;
    if (!scene_->SetupCamera()) return;
    scene_->SetupLights();
    if (scene_->cull_mode) {
        glDisable(GL_CULL_FACE);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    const bool section = scene_->section_switch != 0;
    if (section) {
        const OfuPlane& p = scene_->section_plane;
        const GLdouble equation[4] = {p.a, p.b, p.c, p.d};
        glEnable(GL_CLIP_PLANE0);
        glClipPlane(GL_CLIP_PLANE0, equation);
    }
    CO3duGLDevice device(scene_.get(), &renderer_, &structure_.textures);
    const _O3duViewport& v = scene_->viewport;
    O3duViewVolume window(v, v.x, v.y, double(v.x) + v.width, double(v.y) + v.height);
    if (section) window.set_section(scene_->section_plane);
    draw_opaque(device, window);
    draw_translucent(device, window);
    triangles_last_frame_ = device.triangles_drawn();
    if (scene_->shadow_light.on && !section) draw_shadows();
    if (section) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        draw_section_caps(window);
        glDisable(GL_CLIP_PLANE0);
    }
}

std::uint64_t CO3duGLModelar::TrianglesOfShownShapes() {
    std::uint64_t triangles = 0;
    for_each_shape(structure_, [&](_OfuPosition* node, CO3duGLEntity& entity) {
        _OfuPosition* pos = node;
        if ((entity.draw_mode & O3DU_DRAW_HIDDEN) || !DrawStart(pos)) return;
        for (const CO3duGLBatch& batch : entity.batches()) triangles += entity.TrianglesOf(batch);
    });
    return triangles;
}

// A shape drawn more than once, or moved by its hook, casts a different shadow than its volumes hold.
void CO3duGLModelar::note_passes(CO3duGLEntity& entity, int passes, const OfuMatrix4x4& saved) {
    if (passes != 1 || std::memcmp(&saved, &entity.model_matrix, sizeof saved) != 0) entity.shadow_rebuild = 1;
}

void CO3duGLModelar::draw_opaque(CO3duGLDevice& device, const O3duViewVolume& window) {
    O3duPassScope pass(O3duPass::opaque);
    O3duKeptState kept(O3duKeptState::line_width);
    device.forget_line_width();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    // Shadow volumes are drawn shape by shape, each under its own matrix; the shapes beneath them are drawn so too,
    // or a batch's depths, rounded in its first member's frame, would let the volumes show through its other
    // members in specks. Those frames leave the batches as they are for the frames after them. With the section
    // plane no shadow is drawn, and the cached pass draws the items the plane crosses shape by shape; at night no
    // volume is drawn.
    const bool volumes = scene_->shadow_light.on != 0 && scene_->section_switch == 0 && !night_;
    if (draws_from_cache() && !volumes)
        draw_opaque_cached(device, window);
    else
        draw_opaque_shapes(device, window);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

bool CO3duGLModelar::draws_from_cache() const { return draw_cache_enabled() && typeid(*this) == *plain_hooks_; }

// One shape of the opaque pass: drawn unless out of sight, queued for the translucent pass when some of it must
// wait (out of sight too: it waits as a drawn one would).
void CO3duGLModelar::draw_opaque_shape(CO3duGLDevice& device, const O3duViewVolume& window, _OfuPosition* node,
                                       CO3duGLEntity& entity) {
    _OfuPosition* pos = node;
    const OfuMatrix4x4 saved = entity.model_matrix;
    bool deferred = false;
    const int passes = draw_passes(*this, pos, entity.model_matrix, [&] {
        if (window.misses(entity, entity.model_matrix)) {
            deferred = device.waits_for_translucent_pass(entity);
            return !deferred;
        }
        deferred = !draw_shape(device, entity, false);
        return !deferred;
    });
    if (deferred) {
        device.deferred.push_back(&entity);
        device.deferred_positions.push_back(node);
    }
    if (DrawEnd(pos, passes)) note_passes(entity, passes, saved);
    restore_matrix(entity.model_matrix, saved);
}

void CO3duGLModelar::draw_opaque_shapes(CO3duGLDevice& device, const O3duViewVolume& window) {
    // Underlays first, writing no depth; then the shapes that hide them.
    for (const bool underlays : {true, false}) {
        glDepthMask(underlays ? GL_FALSE : GL_TRUE);
        for_each_shape(structure_, [&](_OfuPosition* node, CO3duGLEntity& entity) {
            _OfuPosition* pos = node;
            if (((entity.draw_mode & O3DU_DRAW_UNDERLAY) != 0) != underlays) return;
            if (!DrawStart(pos) || (entity.draw_mode & O3DU_DRAW_HIDDEN)) return;
            draw_opaque_shape(device, window, node, entity);
        });
    }
}

// The same pass from the draw list, for a modeller whose hooks are the base ones (every shape drawn, once, as it
// is): the batches of items in their place in the list, every other shape as above. With the section plane an
// item wholly on its kept side is drawn as its batch, one wholly on the cut side not at all, and one the plane
// crosses shape by shape: the caps of its shapes then meet the depths of those shapes themselves.
void CO3duGLModelar::draw_opaque_cached(CO3duGLDevice& device, const O3duViewVolume& window) {
    const std::vector<O3duDrawEntry>& entries = cache_.begin_frame(structure_, structure_.textures.GetSize());
    for (const bool underlays : {true, false}) {
        glDepthMask(underlays ? GL_FALSE : GL_TRUE);
        for (const O3duDrawEntry& entry : entries) {
            if (entry.batch) {
                const O3duWorldBox box{{entry.centre[0], entry.centre[1], entry.centre[2]},
                                       {entry.extent[0], entry.extent[1], entry.extent[2]}};
                if (underlays || window.misses(box)) continue;
                if (window.section_side(box) == O3duViewVolume::Side::kept) {
                    device.DrawItemBatch(*entry.batch);
                    continue;
                }
                device.end_item_batches();
                draw_members_by_shape(device, window, entry);
                continue;
            }
            CO3duGLEntity& entity = *entry.node->entity;
            if (((entity.draw_mode & O3DU_DRAW_UNDERLAY) != 0) != underlays) continue;
            if (entity.draw_mode & O3DU_DRAW_HIDDEN) continue;
            device.end_item_batches();
            draw_opaque_shape(device, window, entry.node, entity);
        }
        device.end_item_batches();
    }
}

// The members of a batch, found from its first one's node in list order (the shapes between them are hidden
// ones and underlays, which belong to no batch).
void CO3duGLModelar::draw_members_by_shape(CO3duGLDevice& device, const O3duViewVolume& window,
                                           const O3duDrawEntry& entry) {
    const std::vector<CO3duGLEntity*>& members = entry.batch->members;
    std::size_t next = 0;
    for (_OfuPosition* node = entry.node; node && next < members.size(); node = node->next)
        if (node->entity.get() == members[next]) {
            ++next;
            draw_opaque_shape(device, window, node, *node->entity);
        }
}

void CO3duGLModelar::draw_translucent(CO3duGLDevice& device, const O3duViewVolume& window) {
    O3duPassScope pass(O3duPass::translucent);
    O3duKeptState kept(O3duKeptState::line_width);
    device.forget_line_width();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    // Without sorting, drawing the queue once without and once with depth writes lets translucent shapes show
    // through each other and still hide what lies behind them.
    for (int sweep = 0; sweep < 2; ++sweep) {
        glDepthMask(sweep == 0 ? GL_FALSE : GL_TRUE);
        for (std::size_t i = 0; i < device.deferred.size(); ++i) {
            _OfuPosition* pos = device.deferred_positions[i];
            CO3duGLEntity& entity = *device.deferred[i];
            if (!DrawStart(pos) || (entity.draw_mode & O3DU_DRAW_HIDDEN)) continue;
            const OfuMatrix4x4 saved = entity.model_matrix;
            const int passes = draw_passes(*this, pos, entity.model_matrix, [&] {
                return window.misses(entity, entity.model_matrix) || draw_shape(device, entity, true);
            });
            if (DrawEnd(pos, passes) && sweep == 0) note_passes(entity, passes, saved);
            restore_matrix(entity.model_matrix, saved);
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    device.deferred.clear();
    device.deferred.shrink_to_fit();
    device.deferred_positions.clear();
    device.deferred_positions.shrink_to_fit();
    glDepthMask(GL_TRUE);
}

bool CO3duGLModelar::draw_shape(CO3duGLDevice& device, CO3duGLEntity& entity, bool translucent) {
    const bool window = entity.kind == 1;
    std::optional<O3duPassScope> caption;
    if (window) caption.emplace(O3duPass::window_shape);
    glPolygonMode(GL_FRONT_AND_BACK, entity.polygon_mode);
    if (window) {
        push_window_projection();
        glDisable(GL_LIGHTING);
        glDisable(GL_CLIP_PLANE0);
    }
    // The texture matrix matters only to textured sets; leaving it alone elsewhere spares a state change per shape.
    const bool textured = entity.uses_texture();
    if (textured) {
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glMultMatrixd(&entity.texture_matrix().m[0][0]);
        glMatrixMode(GL_MODELVIEW);
    }
    glPushMatrix();
    glMultMatrixd(&entity.model_matrix.m[0][0]);
    bool all_drawn = true;
    // A batch that must wait does not stop the others: the opaque ones are drawn now, the whole shape again later.
    for (const CO3duGLBatch& batch : entity.batches()) {
        if (window) {
            const OfuColorValue& a = entity.look(batch).material().ambient;
            glColor4f(a.r, a.g, a.b, a.a);
        }
        if (translucent)
            device.DrawTranslucentBatch(entity, batch);
        else if (!device.DrawOpaqueBatch(entity, batch))
            all_drawn = false;
    }
    if (textured) {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    glPopMatrix();
    if (window) {
        // Back to what the section switch says, not simply on: clipping is off when there is no section.
        if (scene_->section_switch) glEnable(GL_CLIP_PLANE0);
        glEnable(GL_LIGHTING);
        pop_window_projection();
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    return all_drawn;
}

void CO3duGLModelar::push_window_projection() {
    const _O3duViewport& v = scene_->viewport;
    double near_distance = 0.0, far_distance = 0.0;
    scene_->depth_range(near_distance, far_distance);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, -1.0, 0.0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // Shapes at window depth 0 stand on the near plane, where rounding drops them for some near and far distances:
    // the projection reaches a hair nearer, 2^-20 of the depth range, which moves their depths by no more.
    const double hair = std::ldexp(far_distance - near_distance, -20);
    glOrtho(0.0, v.width, -v.height, 0.0, near_distance - hair, far_distance);
    // Window coordinates count from the viewport's corner, wherever the host put it in the window.
    glViewport(v.x, v.y, v.width, v.height);
    glMatrixMode(GL_MODELVIEW);
    glTranslated(0.0, 0.0, near_distance);
}

void CO3duGLModelar::pop_window_projection() {
    const _O3duViewport& v = scene_->viewport;
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    // The scene's viewport may sit off the window's corner; the shapes after this one are drawn into it again.
    glViewport(v.x, v.y, v.width, v.height);
}

// A cap shows only where the plane opens a shape: shapes out of sight, and those it does not cross (wholly cut
// away, or whole, their insides closed off by their own faces), are passed over, as the hook placed them.
void CO3duGLModelar::draw_section_caps(const O3duViewVolume& window) {
    O3duPassScope pass(O3duPass::section_caps);
    glDepthMask(GL_TRUE);
    glDisable(GL_LIGHTING);
    glEnableClientState(GL_VERTEX_ARRAY);
    const OfuColorValue& c = scene_->cap_color;
    glColor4f(c.r, c.g, c.b, c.a);
    for_each_shape(structure_, [&](_OfuPosition* node, CO3duGLEntity& entity) {
        _OfuPosition* pos = node;
        if (!DrawStart(pos) || (entity.draw_mode & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SECTION_CAP))) return;
        const OfuMatrix4x4 saved = entity.model_matrix;
        const int passes = draw_passes(*this, pos, entity.model_matrix, [&] {
            if (window.section_opens(entity, entity.model_matrix)) draw_cap_geometry(entity);
            return true;
        });
        DrawEnd(pos, passes);
        restore_matrix(entity.model_matrix, saved);
    });
    glEnable(GL_LIGHTING);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void CO3duGLModelar::draw_cap_geometry(CO3duGLEntity& entity) {
    if (entity.kind == 1) return;
    glPolygonMode(GL_FRONT_AND_BACK, entity.polygon_mode);
    glPushMatrix();
    glMultMatrixd(&entity.model_matrix.m[0][0]);
    for (const CO3duGLBatch& batch : entity.batches()) {
        if (!entity.look(batch).is_triangle_mode()) continue;
        glVertexPointer(3, GL_FLOAT, 0, entity.positions(batch).data());
        entity.DrawBatch(batch);
    }
    glPopMatrix();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}
