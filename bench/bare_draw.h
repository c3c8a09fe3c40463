// The bare draw the modeller benchmarks measure against: per shape its matrix, per set its material and one draw
// from the entity's own arrays, with no passes, sorting or state checks around it.
#pragma once
#include <GL/gl.h>

#include "modeller/gl_modelar.h"

inline void draw_entities_bare(CO3duGLModelar& modeller) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    for (const _OfuPosition* node = modeller.structure().head(); node; node = node->next) {
        const CO3duGLEntity& e = *node->entity;
        glPushMatrix();
        glMultMatrixd(&e.model_matrix.m[0][0]);
        for (const CO3duGLTrianglePolygons& set : e.sets) {
            glMaterialfv(GL_FRONT, GL_AMBIENT, &set.material.ambient.r);
            glMaterialf(GL_FRONT, GL_SHININESS, set.material.power);
            glMaterialfv(GL_FRONT, GL_SPECULAR, &set.material.specular.r);
            glMaterialfv(GL_FRONT, GL_DIFFUSE, &set.material.diffuse.r);
            glVertexPointer(3, GL_FLOAT, 0, set.positions.data());
            glNormalPointer(GL_FLOAT, 0, set.normals.data());
            if (set.indexed)
                glDrawElements(set.mode, GLsizei(set.indices.size()), GL_UNSIGNED_INT, set.indices.data());
            else
                glDrawArrays(set.mode, 0, set.vertex_count);
        }
        glPopMatrix();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}
