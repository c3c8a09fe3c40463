// The bare draw the modeller benchmarks measure against: per shape its matrix, per batch of its draw form its
// material and one draw from the entity's own arrays, with no passes, sorting or state checks around it. Shapes
// that cannot reach the viewport are passed over by the same view-volume test the modeller's frame makes, so that
// both sides draw the same shapes.
#pragma once
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>
#include <vector>

#include "modeller/gl_modelar.h"
#include "modeller/gl_view_volume.h"

// The modelview must hold the view alone, the projection and viewport the frame's.
inline void draw_entities_bare(CO3duGLModelar& modeller) {
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    const _O3duViewport viewport{box[0], box[1], box[2], box[3]};
    const O3duViewVolume window(viewport, box[0], box[1], double(box[0]) + box[2], double(box[1]) + box[3]);
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

// One bare frame of the modeller's camera: clear, projection, view and head light, the entities, and one
// glReadPixels of the whole frame into pixels (4 bytes a pixel). The modeller's context must be current.
inline void bare_frame(CO3duGLModelar& modeller, int width, int height, std::vector<std::uint8_t>& pixels) {
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
    draw_entities_bare(modeller);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
}
