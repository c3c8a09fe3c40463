// The draw form of an entity: neighbouring sets that look alike merged into one draw each, so a shape of many
// faces of one material costs one draw call, not one a face. Only neighbours merge, so everything is still drawn
// in the order of the sets and the same triangles come out with the same corners in the same order. The runs are
// found as they are walked and a merged run's indices made as it is drawn: a shape keeps nothing for its draw form.
// Every draw but that of a lone indexed set names the shape's held vertices, through the sets' vertex numbers.
#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "modeller/gl_entity.h"

namespace {

// 1 triangles, 2 separate lines, 3 points; 0 for what never merges (line strips).
int merge_class(std::uint32_t mode) {
    switch (mode) {
    case GL_TRIANGLES:
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN: return 1;
    case GL_LINES: return 2;
    case GL_POINTS: return 3;
    default: return 0;
    }
}

// Alike sets share their look record: the shape's block holds each look once.
bool alike(const O3duSetRange& a, const O3duSetRange& b) {
    const int c = merge_class(a.mode);
    return c != 0 && c == merge_class(b.mode) && a.paint == b.paint;
}

// The merged indices of one draw call on this thread, which OpenGL reads before the call returns.
std::vector<std::uint32_t>& scratch_indices() {
    thread_local std::vector<std::uint32_t> indices;
    return indices;
}

}  // namespace

CO3duGLEntity::BatchIterator::BatchIterator(const CO3duGLEntity* entity, std::size_t first) : entity_(entity) {
    batch_.first_set = static_cast<std::uint32_t>(first);
    gather();
}

CO3duGLEntity::BatchIterator& CO3duGLEntity::BatchIterator::operator++() {
    batch_.first_set += batch_.set_count;
    gather();
    return *this;
}

void CO3duGLEntity::BatchIterator::gather() {
    const O3duShapeData& data = entity_->data();
    const std::size_t sets = data.set_count();
    const std::size_t i = batch_.first_set;
    if (i >= sets) {
        batch_ = CO3duGLBatch{};
        batch_.first_set = static_cast<std::uint32_t>(sets);
        return;
    }
    const O3duSetRange& first = data.range(i);
    std::size_t end = i + 1;
    while (end < sets && alike(first, data.range(end))) ++end;
    batch_.set_count = static_cast<std::uint32_t>(end - i);
    const int c = merge_class(first.mode);
    batch_.mode = batch_.set_count == 1 ? first.mode : c == 1 ? GL_TRIANGLES : c == 2 ? GL_LINES : GL_POINTS;
    // A lone indexed set draws its triples from its own first vertex; every other draw names held vertices.
    const bool own_vertices = batch_.set_count == 1 && first.indexed;
    batch_.first_vertex = own_vertices ? first.first_vertex : 0;
    batch_.vertex_count = own_vertices ? std::max(first.vertex_count, 0) : std::int32_t(data.vertex_count());
}

void append_set_elements(const CO3duGLTrianglePolygons& set, std::vector<std::uint32_t>& out) {
    const std::uint32_t n = static_cast<std::uint32_t>(std::max(set.vertex_count(), 0));
    if (set.indexed()) {
        // Indexed lines are drawn as consecutive pairs of the whole list, whatever the triples.
        std::size_t count = set.index_count();
        if (set.mode() == GL_LINES) count -= count % 2;
        out.insert(out.end(), set.indices(), set.indices() + count);
        return;
    }
    switch (set.mode()) {
    case GL_TRIANGLE_FAN:
        for (std::uint32_t i = 0; i + 2 < n; ++i) out.insert(out.end(), {0u, i + 1, i + 2});
        break;
    case GL_TRIANGLE_STRIP:
        for (std::uint32_t i = 0; i + 2 < n; ++i) {
            if (i % 2 == 0)
                out.insert(out.end(), {i, i + 1, i + 2});
            else
                out.insert(out.end(), {i + 1, i, i + 2});
        }
        break;
    default: {
        const std::uint32_t per = set.mode() == GL_TRIANGLES ? 3 : set.mode() == GL_LINES ? 2 : 1;
        for (std::uint32_t i = 0; i < n - n % per; ++i) out.push_back(i);
        break;
    }
    }
}

namespace {

O3duFloats held(const float* values, const CO3duGLBatch& batch, std::size_t width) {
    if (!values) return {};
    return {values + std::size_t(batch.first_vertex) * width, std::size_t(batch.vertex_count) * width};
}

}  // namespace

O3duFloats CO3duGLEntity::positions(const CO3duGLBatch& batch) const { return held(data_.positions(), batch, 3); }

O3duFloats CO3duGLEntity::normals(const CO3duGLBatch& batch) const { return held(data_.normals(), batch, 3); }

O3duFloats CO3duGLEntity::colors(const CO3duGLBatch& batch) const { return held(data_.colors(), batch, 4); }

O3duFloats CO3duGLEntity::tex_coords(const CO3duGLBatch& batch) const { return held(data_.tex_coords(), batch, 2); }

void CO3duGLEntity::batch_elements(const CO3duGLBatch& batch, std::vector<std::uint32_t>& out) const {
    if (batch.set_count == 1) {
        const CO3duGLTrianglePolygons one = set(batch.first_set);
        if (one.indexed()) {
            out.insert(out.end(), one.indices(), one.indices() + one.index_count());
        } else {
            for (std::int32_t i = 0; i < one.vertex_count(); ++i) out.push_back(one.vertex(std::size_t(i)));
        }
        return;
    }
    for (std::size_t s = batch.first_set; s < std::size_t(batch.first_set) + batch.set_count; ++s) {
        const CO3duGLTrianglePolygons member = set(s);
        const std::size_t from = out.size();
        append_set_elements(member, out);
        for (std::size_t k = from; k < out.size(); ++k) out[k] = member.vertex(out[k]);
    }
}

std::uint64_t o3du_triangles_of(std::uint32_t mode, std::size_t count) {
    switch (mode) {
    case GL_TRIANGLES: return count / 3;
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN: return count > 2 ? count - 2 : 0;
    default: return 0;
    }
}

namespace {

// The triangles a batch of the one set draws.
std::uint64_t lone_set_triangles(const CO3duGLTrianglePolygons& set) {
    return o3du_triangles_of(set.mode(),
                             set.indexed() ? set.index_count() : std::size_t(std::max(set.vertex_count(), 0)));
}

}  // namespace

std::uint64_t CO3duGLEntity::DrawBatch(const CO3duGLBatch& batch) const {
    const CO3duGLTrianglePolygons first = set(batch.first_set);
    if (batch.set_count == 1 && first.indexed()) {
        glDrawElements(first.mode(), static_cast<GLsizei>(first.index_count()), GL_UNSIGNED_INT, first.indices());
        return lone_set_triangles(first);
    }
    if (batch.set_count == 1) {
        // A lone set names its held vertices straight from the block.
        const std::size_t at = data_.range(batch.first_set).first_vertex;
        if (data_.short_numbers())
            glDrawElements(first.mode(), first.vertex_count(), GL_UNSIGNED_SHORT,
                           static_cast<const std::uint16_t*>(data_.numbers()) + at);
        else
            glDrawElements(first.mode(), first.vertex_count(), GL_UNSIGNED_INT,
                           static_cast<const std::uint32_t*>(data_.numbers()) + at);
        return lone_set_triangles(first);
    }
    std::vector<std::uint32_t>& indices = scratch_indices();
    indices.clear();
    batch_elements(batch, indices);
    glDrawElements(batch.mode, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    return o3du_triangles_of(batch.mode, indices.size());
}

std::uint64_t CO3duGLEntity::TrianglesOf(const CO3duGLBatch& batch) const {
    if (batch.set_count == 1) return lone_set_triangles(set(batch.first_set));
    std::vector<std::uint32_t>& indices = scratch_indices();
    indices.clear();
    batch_elements(batch, indices);
    return o3du_triangles_of(batch.mode, indices.size());
}

namespace {

// A batch colours its vertices with their diffuse colour, which OpenGL would clamp where a material is not.
bool has_plain_look_of(const CO3duGLTrianglePolygons& set) {
    if (!set.is_triangle_mode() || set.material().diffuse.a < 1.0f) return false;
    if (set.material_kind() == O3DU_MATERIAL_VERTEX_COLOR) return true;
    const OfuColorValue& d = set.material().diffuse;
    return d.r >= 0.0f && d.r <= 1.0f && d.g >= 0.0f && d.g <= 1.0f && d.b >= 0.0f && d.b <= 1.0f;
}

}  // namespace

void CO3duGLEntity::measure() {
    all_triangles_ = true;
    textured_ = false;
    translucent_ = false;
    plain_look_ = true;
    widest_line_ = 1.0f;
    for (const CO3duGLTrianglePolygons s : sets()) {
        all_triangles_ = all_triangles_ && s.is_triangle_mode();
        textured_ =
            textured_ || s.material_kind() == O3DU_MATERIAL_TEXTURE || s.material_kind() == O3DU_MATERIAL_SPHERE_MAP;
        translucent_ = translucent_ || s.material().diffuse.a < 1.0f;
        widest_line_ = std::max(widest_line_, s.line_width());
        plain_look_ = plain_look_ && has_plain_look_of(s);
    }
    measure_box();
}

void CO3duGLEntity::measure_box() {
    const float* p = data_.positions();
    const std::size_t n = data_.vertex_count();
    if (!p || n == 0) {
        std::fill_n(box_lo_, 3, 1.0f);
        std::fill_n(box_hi_, 3, -1.0f);
        return;
    }
    std::copy_n(p, 3, box_lo_);
    std::copy_n(p, 3, box_hi_);
    for (std::size_t i = 1; i < n; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            box_lo_[k] = std::min(box_lo_[k], p[i * 3 + k]);
            box_hi_[k] = std::max(box_hi_[k], p[i * 3 + k]);
        }
    }
}

float CO3duGLEntity::pixel_reach() const {
    // Wide lines and points reach half their width past their vertices; one pixel more covers rounding.
    return all_triangles_ && polygon_mode == GL_FILL ? 0.0f : widest_line_ * 0.5f + 1.0f;
}
