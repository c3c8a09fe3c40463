// Drawing single sets with OpenGL 1.1 vertex arrays: textures, materials, per-vertex colours, and the immediate
// mode the translucent pass uses for per-vertex colours. Every call leaves the state it switched on off again.
#include "modeller/gl_device.h"

#include <GL/gl.h>

#include <algorithm>

#include "modeller/gl_renderer.h"

namespace {

bool has_texture_kind(const CO3duGLTrianglePolygons& set) {
    return set.material_kind == O3DU_MATERIAL_TEXTURE || set.material_kind == O3DU_MATERIAL_SPHERE_MAP;
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

bool CO3duGLDevice::uses_texture(const CO3duGLEntity& entity) {
    for (const CO3duGLTrianglePolygons& set : entity.sets)
        if (has_texture_kind(set)) return true;
    return false;
}

void CO3duGLDevice::begin_texture(const CO3duGLTrianglePolygons& set) {
    texturing_ = true;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, renderer_->texture_name(set.texture_number));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (set.material_kind == O3DU_MATERIAL_SPHERE_MAP) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    } else {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, set.tex_coords.data());
    }
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
    const _OfuMaterial& m = set.material;
    glMaterialfv(material_face, GL_AMBIENT, &m.ambient.r);
    // OpenGL refuses a shininess outside 0..128 and would keep the previous set's.
    glMaterialf(material_face, GL_SHININESS, std::clamp(m.power, 0.0f, 128.0f));
    glMaterialfv(material_face, GL_SPECULAR, &m.specular.r);
    glMaterialfv(material_face, GL_DIFFUSE, &m.diffuse.r);
}

void CO3duGLDevice::draw_arrays(const CO3duGLTrianglePolygons& set) {
    glVertexPointer(3, GL_FLOAT, 0, set.positions.data());
    glNormalPointer(GL_FLOAT, 0, set.normals.data());
    if (set.line_width != line_width_) {
        line_width_ = set.line_width;
        glLineWidth(set.line_width);
        glPointSize(set.line_width);
    }
    if (set.indexed)
        glDrawElements(set.mode, static_cast<GLsizei>(set.indices.size()), GL_UNSIGNED_INT, set.indices.data());
    else
        glDrawArrays(set.mode, 0, set.vertex_count);
}

bool CO3duGLDevice::DrawOpaqueSet(const CO3duGLTrianglePolygons& set) {
    if (set.material.diffuse.a < 1.0f) return false;
    const bool textured =
        has_texture_kind(set) && set.texture_number >= 1 && set.texture_number <= textures_->GetSize();
    if (textured) {
        if ((*textures_)[set.texture_number - 1].info_header.biBitCount == 32) return false;
        begin_texture(set);
    }
    apply_material(set);
    const bool vertex_colors = set.material_kind == O3DU_MATERIAL_VERTEX_COLOR;
    if (vertex_colors) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorMaterial(material_face, GL_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        glColorPointer(4, GL_FLOAT, 0, set.colors.data());
    }
    draw_arrays(set);
    if (vertex_colors) {
        glDisable(GL_COLOR_MATERIAL);
        glDisableClientState(GL_COLOR_ARRAY);
    }
    end_texture();
    return true;
}

void CO3duGLDevice::DrawTranslucentSet(const CO3duGLTrianglePolygons& set) {
    if (set.material_kind != O3DU_MATERIAL_VERTEX_COLOR) {
        const bool textured =
            has_texture_kind(set) && set.texture_number >= 1 && set.texture_number <= textures_->GetSize();
        if (textured) begin_texture(set);
        apply_material(set);
        draw_arrays(set);
        end_texture();
        return;
    }
    // Per-vertex colours go in one vertex at a time, each colour as the vertex's ambient material.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    apply_material(set);
    auto emit = [&](std::size_t i) {
        glMaterialfv(material_face, GL_AMBIENT, &set.colors[i * 4]);
        glNormal3fv(&set.normals[i * 3]);
        glVertex3fv(&set.positions[i * 3]);
    };
    glBegin(set.mode);
    if (set.indexed) {
        for (std::uint32_t index : set.indices) emit(index);
    } else {
        for (std::int32_t i = 0; i < set.vertex_count; ++i) emit(static_cast<std::size_t>(i));
    }
    glEnd();
}
