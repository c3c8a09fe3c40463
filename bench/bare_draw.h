// The bare draws the modeller benchmarks measure against: per shape its matrix, per batch of its draw form its
// material and one draw from the entity's own arrays, with no passes, sorting or state checks around it; or per
// item one static batch made once, its matrix and one draw. Shapes and batches that cannot reach the viewport are
// passed over by the same view-volume tests the modeller's frame makes, so that both sides draw the same shapes.
#pragma once
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "modeller/gl_draw_cache.h"
#include "modeller/gl_modelar.h"
#include "modeller/gl_view_volume.h"

// What the frame's viewport shows, from the matrices now set.
inline O3duViewVolume bare_view_volume() {
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    const _O3duViewport viewport{box[0], box[1], box[2], box[3]};
    return O3duViewVolume(viewport, box[0], box[1], double(box[0]) + box[2], double(box[1]) + box[3]);
}

// The modelview must hold the view alone, the projection and viewport the frame's.
inline void draw_entities_bare(CO3duGLModelar& modeller) {
    const O3duViewVolume window = bare_view_volume();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
        const CO3duGLEntity& e = *node->entity;
        if (window.misses(e, e.model_matrix)) continue;
        glPushMatrix();
        glMultMatrixd(&e.model_matrix.m[0][0]);
        for (const CO3duGLBatch& batch : e.batches()) {
            const _OfuMaterial& m = e.look(batch).material();
            glMaterialfv(GL_FRONT, GL_AMBIENT, &m.ambient.r);
            glMaterialf(GL_FRONT, GL_SHININESS, m.power);
            glMaterialfv(GL_FRONT, GL_SPECULAR, &m.specular.r);
            glMaterialfv(GL_FRONT, GL_DIFFUSE, &m.diffuse.r);
            glVertexPointer(3, GL_FLOAT, 0, e.positions(batch).data());
            glNormalPointer(GL_FLOAT, 0, e.normals(batch).data());
            e.DrawBatch(batch);
        }
        glPopMatrix();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

using BareBatches = std::vector<std::unique_ptr<O3duItemBatch>>;

// One static batch for each run of shapes of one item in the list, made as the draw cache makes its batches.
inline BareBatches bare_item_batches(const CO3duGLModelar& modeller) {
    BareBatches batches;
    std::vector<CO3duGLEntity*> members;
    std::uint64_t run_item = 0;
    for (const _OfuPosition* node = modeller.structure().head();; node = node->next) {
        std::uint64_t item = 0;
        if (node) node->entity->prop3.Get(kO3duItemProperty, item);
        if (!members.empty() && (!node || item != run_item)) {
            batches.push_back(make_item_batch(members, 0));
            members.clear();
        }
        if (!node) return batches;
        run_item = item;
        members.push_back(node->entity.get());
    }
}

// Each batch in sight: its frame, its arrays and one draw of all its triangles, the vertex colours as ambient and
// diffuse colour. The modelview must hold the view alone, the projection and viewport the frame's.
inline void draw_item_batches_bare(const BareBatches& batches) {
    const O3duViewVolume window = bare_view_volume();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    constexpr GLsizei stride = O3duItemBatch::kStride * sizeof(float);
    for (const std::unique_ptr<O3duItemBatch>& b : batches) {
        if (window.misses(b->box)) continue;
        glPushMatrix();
        glMultMatrixd(&b->frame.m[0][0]);
        glVertexPointer(3, GL_FLOAT, stride, b->vertices.data());
        glNormalPointer(GL_FLOAT, stride, b->vertices.data() + 3);
        glColorPointer(3, GL_FLOAT, stride, b->vertices.data() + 6);
        if (b->short_indices.empty())
            glDrawElements(GL_TRIANGLES, GLsizei(b->indices.size()), GL_UNSIGNED_INT, b->indices.data());
        else
            glDrawElements(GL_TRIANGLES, GLsizei(b->short_indices.size()), GL_UNSIGNED_SHORT, b->short_indices.data());
        glPopMatrix();
    }
    glDisable(GL_COLOR_MATERIAL);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

// One bare frame of the modeller's camera: clear, projection, view and head light, the entities (or what `draw`
// draws instead), and one glReadPixels of the whole frame into pixels (4 bytes a pixel). The modeller's context
// must be current.
template <class Draw>
inline void bare_frame_of(CO3duGLModelar& modeller, int width, int height, std::vector<std::uint8_t>& pixels,
                          Draw draw) {
    const _O3duCamera c = modeller.scene()->camera;
    pixels.resize(std::size_t(width) * height * 4);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(c.fov, c.aspect, c.near_distance, c.far_distance);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, 0, 0, 1);
    glViewport(0, 0, width, height);
    const GLfloat head[4] = {float(c.eye.x), float(c.eye.y), float(c.eye.z), 1};
    glLightfv(GL_LIGHT0, GL_POSITION, head);
    draw();
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
}

inline void bare_frame(CO3duGLModelar& modeller, int width, int height, std::vector<std::uint8_t>& pixels) {
    bare_frame_of(modeller, width, height, pixels, [&] { draw_entities_bare(modeller); });
}
