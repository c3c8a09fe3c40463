// The draw form of an entity: neighbouring sets that look alike merged into one draw each, so a shape of many
// faces of one material costs one draw call, not one a face. Only neighbours merge, so everything is still drawn
// in the order of the sets and the same triangles come out with the same corners in the same order.
#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "modeller/gl_entity.h"

namespace {

// 1 triangles, 2 separate lines, 3 points; 0 for what never merges (line strips).
int merge_class(const CO3duGLTrianglePolygons& set) {
    switch (set.mode) {
    case GL_TRIANGLES:
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN: return 1;
    case GL_LINES: return 2;
    case GL_POINTS: return 3;
    default: return 0;
    }
}

bool alike(const CO3duGLTrianglePolygons& a, const CO3duGLTrianglePolygons& b) {
    const int c = merge_class(a);
    return c != 0 && c == merge_class(b) && a.material_kind == b.material_kind &&
           a.texture_number == b.texture_number && a.line_width == b.line_width &&
           std::memcmp(&a.material, &b.material, sizeof a.material) == 0;
}

}  // namespace

void append_set_elements(const CO3duGLTrianglePolygons& set, std::uint32_t offset, std::vector<std::uint32_t>& out) {
    const std::uint32_t n = static_cast<std::uint32_t>(std::max(set.vertex_count, 0));
    if (set.indexed) {
        // Indexed lines are drawn as consecutive pairs of the whole list, whatever the triples.
        std::size_t count = set.indices.size();
        if (set.mode == GL_LINES) count -= count % 2;
        for (std::size_t i = 0; i < count; ++i) out.push_back(offset + set.indices[i]);
        return;
    }
    switch (set.mode) {
    case GL_TRIANGLE_FAN:
        for (std::uint32_t i = 0; i + 2 < n; ++i) out.insert(out.end(), {offset, offset + i + 1, offset + i + 2});
        break;
    case GL_TRIANGLE_STRIP:
        for (std::uint32_t i = 0; i + 2 < n; ++i) {
            if (i % 2 == 0)
                out.insert(out.end(), {offset + i, offset + i + 1, offset + i + 2});
            else
                out.insert(out.end(), {offset + i + 1, offset + i, offset + i + 2});
        }
        break;
    default: {
        const std::uint32_t per = set.mode == GL_TRIANGLES ? 3 : set.mode == GL_LINES ? 2 : 1;
        for (std::uint32_t i = 0; i < n - n % per; ++i) out.push_back(offset + i);
        break;
    }
    }
}

namespace {

// A batch colours its vertices with their diffuse colour, which OpenGL would clamp where a material is not.
bool has_plain_look_of(const CO3duGLTrianglePolygons& set) {
    if (!set.is_triangle_mode() || set.material.diffuse.a < 1.0f) return false;
    if (set.material_kind == O3DU_MATERIAL_VERTEX_COLOR) return true;
    const OfuColorValue& d = set.material.diffuse;
    return d.r >= 0.0f && d.r <= 1.0f && d.g >= 0.0f && d.g <= 1.0f && d.b >= 0.0f && d.b <= 1.0f;
}

}  // namespace

void CO3duGLEntity::rebuild_batches() {
    batches_.clear();
    all_triangles_ = true;
    textured_ = false;
    translucent_ = false;
    plain_look_ = true;
    widest_line_ = 1.0f;
    for (std::size_t i = 0; i < sets.size();) {
        std::size_t end = i + 1;
        while (end < sets.size() && alike(sets[i], sets[end])) ++end;
        CO3duGLBatch batch;
        batch.first_set = static_cast<std::uint32_t>(i);
        batch.set_count = static_cast<std::uint32_t>(end - i);
        batch.first_vertex = sets[i].first_vertex;
        if (batch.set_count == 1) {
            batch.mode = sets[i].mode;
            batch.vertex_count = sets[i].vertex_count;
        } else {
            const int c = merge_class(sets[i]);
            batch.mode = c == 1 ? GL_TRIANGLES : c == 2 ? GL_LINES : GL_POINTS;
            for (std::size_t k = i; k < end; ++k)
                append_set_elements(sets[k], sets[k].first_vertex - batch.first_vertex, batch.indices);
            batch.indices.shrink_to_fit();
        }
        for (std::size_t k = i; k < end; ++k) {
            all_triangles_ = all_triangles_ && sets[k].is_triangle_mode();
            textured_ = textured_ || sets[k].material_kind == O3DU_MATERIAL_TEXTURE ||
                        sets[k].material_kind == O3DU_MATERIAL_SPHERE_MAP;
            translucent_ = translucent_ || sets[k].material.diffuse.a < 1.0f;
            widest_line_ = std::max(widest_line_, sets[k].line_width);
            plain_look_ = plain_look_ && has_plain_look_of(sets[k]);
        }
        batches_.push_back(std::move(batch));
        i = end;
    }
    batches_.shrink_to_fit();
    measure_box();
}

void CO3duGLEntity::DrawBatch(const CO3duGLBatch& batch) const {
    if (batch.set_count > 1) {
        glDrawElements(batch.mode, static_cast<GLsizei>(batch.indices.size()), GL_UNSIGNED_INT, batch.indices.data());
        return;
    }
    const CO3duGLTrianglePolygons& set = sets[batch.first_set];
    if (set.indexed)
        glDrawElements(set.mode, static_cast<GLsizei>(set.indices.size()), GL_UNSIGNED_INT, set.indices.data());
    else
        glDrawArrays(set.mode, 0, set.vertex_count);
}

void CO3duGLEntity::measure_box() {
    const std::vector<float>& p = store_.positions;
    if (p.size() < 3) {
        std::fill_n(box_lo_, 3, 1.0f);
        std::fill_n(box_hi_, 3, -1.0f);
        return;
    }
    std::copy_n(p.begin(), 3, box_lo_);
    std::copy_n(p.begin(), 3, box_hi_);
    for (std::size_t i = 3; i + 2 < p.size(); i += 3) {
        for (int k = 0; k < 3; ++k) {
            box_lo_[k] = std::min(box_lo_[k], p[i + std::size_t(k)]);
            box_hi_[k] = std::max(box_hi_[k], p[i + std::size_t(k)]);
        }
    }
}

float CO3duGLEntity::pixel_reach() const {
    // Wide lines and points reach half their width past their vertices; one pixel more covers rounding.
    return all_triangles_ && polygon_mode == GL_FILL ? 0.0f : widest_line_ * 0.5f + 1.0f;
}
