// Drawing single sets with OpenGL 1.1 vertex arrays: textures, materials, per-vertex colours, and the immediate
// mode the translucent pass uses for per-vertex colours. Every call leaves the state it switched on off again.
#include "modeller/gl_device.h"

#include <GL/gl.h>

#include <algorithm>

#include "modeller/gl_renderer.h"

namespace {

bool has_texture_kind(const CO3duGLTrianglePolygons& set) {
    return set.material_kind() == O3DU_MATERIAL_TEXTURE || set.material_kind() == O3DU_MATERIAL_SPHERE_MAP;
}

}  // namespace

CO3duGLDevice::CO3duGLDevice(CO3duGLScene* s, const CO3duGLRenderer* renderer, const CO3duTextureTable* textures)
    : scene(s),
      material_face(s && s->cull_mode ? GL_FRONT_AND_BACK : GL_FRONT),
      renderer_(renderer),
      textures_(textures) {
    // Texture set-up switches texturing on; every set starts from it off, as each textured set leaves it.
    glDisable(GL_TEXTURE_2D);
}

void CO3duGLDevice::begin_texture(const CO3duGLEntity& entity, const CO3duGLBatch& batch) {
    const CO3duGLTrianglePolygons set = entity.look(batch);
    texturing_ = true;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, renderer_->texture_name(set.texture_number()));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (set.material_kind() == O3DU_MATERIAL_SPHERE_MAP) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        return;
    }
    const O3duFloats coords = entity.tex_coords(batch);
    if (coords.empty()) {
        // A shape whose coordinates are all zero holds none: every vertex takes the one current coordinate.
        glTexCoord2f(0.0f, 0.0f);
        return;
    }
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
}

void CO3duGLDevice::end_texture() {
    if (!texturing_) return;
    texturing_ = false;
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

void CO3duGLDevice::apply_material(const CO3duGLTrianglePolygons& set) {
    const _OfuMaterial& m = set.material();
    glMaterialfv(material_face, GL_AMBIENT, &m.ambient.r);
    // OpenGL refuses a shininess outside 0..128 and would keep the previous set's.
    glMaterialf(material_face, GL_SHININESS, std::clamp(m.power, 0.0f, 128.0f));
    glMaterialfv(material_face, GL_SPECULAR, &m.specular.r);
    glMaterialfv(material_face, GL_DIFFUSE, &m.diffuse.r);
}

void CO3duGLDevice::draw_arrays(const CO3duGLEntity& entity, const CO3duGLBatch& batch) {
    const CO3duGLTrianglePolygons set = entity.look(batch);
    glVertexPointer(3, GL_FLOAT, 0, entity.positions(batch).data());
    glNormalPointer(GL_FLOAT, 0, entity.normals(batch).data());
    if (set.line_width() != line_width_) {
        line_width_ = set.line_width();
        glLineWidth(set.line_width() * renderer_->line_scale);
        glPointSize(set.line_width() * renderer_->line_scale);
    }
    triangles_ += entity.DrawBatch(batch);
}

namespace {

bool usable_texture(const CO3duGLTrianglePolygons& set, const CO3duTextureTable& textures) {
    return has_texture_kind(set) && set.texture_number() >= 1 && set.texture_number() <= textures.GetSize();
}

}  // namespace

bool CO3duGLDevice::waits_for_translucent_pass(const CO3duGLEntity& entity) const {
    if (entity.has_translucent_set()) return true;
    if (!entity.uses_texture()) return false;
    for (const CO3duGLBatch& batch : entity.batches()) {
        const CO3duGLTrianglePolygons set = entity.look(batch);
        if (usable_texture(set, *textures_) && (*textures_)[set.texture_number() - 1].info_header.biBitCount == 32)
            return true;
    }
    return false;
}

bool CO3duGLDevice::DrawOpaqueBatch(const CO3duGLEntity& entity, const CO3duGLBatch& batch) {
    const CO3duGLTrianglePolygons set = entity.look(batch);
    if (set.material().diffuse.a < 1.0f) return false;
    if (usable_texture(set, *textures_)) {
        if ((*textures_)[set.texture_number() - 1].info_header.biBitCount == 32) return false;
        begin_texture(entity, batch);
    }
    apply_material(set);
    const bool vertex_colors = set.material_kind() == O3DU_MATERIAL_VERTEX_COLOR;
    if (vertex_colors) {
        glColorMaterial(material_face, GL_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        const O3duFloats colors = entity.colors(batch);
        if (colors.empty()) {
            glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
        } else {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(4, GL_FLOAT, 0, colors.data());
        }
    }
    draw_arrays(entity, batch);
    if (vertex_colors) {
        glDisable(GL_COLOR_MATERIAL);
        glDisableClientState(GL_COLOR_ARRAY);
    }
    end_texture();
    return true;
}

void CO3duGLDevice::DrawTranslucentBatch(const CO3duGLEntity& entity, const CO3duGLBatch& batch) {
    const CO3duGLTrianglePolygons set = entity.look(batch);
    if (set.material_kind() != O3DU_MATERIAL_VERTEX_COLOR) {
        if (usable_texture(set, *textures_)) begin_texture(entity, batch);
        apply_material(set);
        draw_arrays(entity, batch);
        end_texture();
        return;
    }
    // Per-vertex colours go in one vertex at a time, each colour as the vertex's ambient material.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    apply_material(set);
    const O3duFloats positions = entity.positions(batch), normals = entity.normals(batch);
    const O3duFloats colors = entity.colors(batch);
    static const float kNoColor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    auto emit = [&](std::size_t i) {
        glMaterialfv(material_face, GL_AMBIENT, colors.empty() ? kNoColor : &colors[i * 4]);
        glNormal3fv(&normals[i * 3]);
        glVertex3fv(&positions[i * 3]);
    };
    std::vector<std::uint32_t> elements;
    entity.batch_elements(batch, elements);
    glBegin(batch.mode);
    for (std::uint32_t index : elements) emit(index);
    glEnd();
    triangles_ += o3du_triangles_of(batch.mode, elements.size());
}

void CO3duGLDevice::DrawItemBatch(const O3duItemBatch& batch) {
    if (!batching_) {
        batching_ = true;
        look_sent_ = false;
        glEnableClientState(GL_COLOR_ARRAY);
        glEnable(GL_COLOR_MATERIAL);
    }
    glPushMatrix();
    glMultMatrixd(&batch.frame.m[0][0]);
    constexpr GLsizei stride = O3duItemBatch::kStride * sizeof(float);
    glVertexPointer(3, GL_FLOAT, stride, batch.vertices.data());
    glNormalPointer(GL_FLOAT, stride, batch.vertices.data() + 3);
    glColorPointer(3, GL_FLOAT, stride, batch.vertices.data() + 6);
    for (const O3duItemBatch::Part& part : batch.parts) {
        const O3duBatchLook& look = part.look;
        if (!look_sent_ || !(look == look_)) {
            if (!look_sent_ || look.ambient_follows != look_.ambient_follows)
                glColorMaterial(material_face, look.ambient_follows ? GL_AMBIENT_AND_DIFFUSE : GL_DIFFUSE);
            if (!look.ambient_follows) glMaterialfv(material_face, GL_AMBIENT, look.ambient);
            glMaterialf(material_face, GL_SHININESS, look.shininess);
            glMaterialfv(material_face, GL_SPECULAR, look.specular);
            look_ = look;
            look_sent_ = true;
        }
        if (batch.short_indices.empty())
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part.count), GL_UNSIGNED_INT,
                           batch.indices.data() + part.first);
        else
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part.count), GL_UNSIGNED_SHORT,
                           batch.short_indices.data() + part.first);
        triangles_ += part.count / 3;
    }
    glPopMatrix();
}

void CO3duGLDevice::end_item_batches() {
    if (!batching_) return;
    batching_ = false;
    glDisable(GL_COLOR_MATERIAL);
    glDisableClientState(GL_COLOR_ARRAY);
}
