// Conversion of primitives into OpenGL entities and back: doubles narrowed to floats, set types to OpenGL modes,
// every set's vertices laid out one after another in the entity's store. Every count comes from the arrays
// actually held, so a malformed primitive can make a set draw less, never more.
#include "modeller/gl_entity.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "modeller/vertex_transform.h"

std::uint32_t gl_polygon_mode(std::int32_t primitive_mode) {
    switch (primitive_mode) {
    case 1: return GL_LINE;
    case 2: return GL_POINT;
    default: return GL_FILL;
    }
}

std::int32_t primitive_polygon_mode(std::uint32_t gl_mode) {
    switch (gl_mode) {
    case GL_LINE: return 1;
    case GL_POINT: return 2;
    default: return 0;
    }
}

void CO3duGLVertexStore::hold_colors() {
    if (!colors.empty()) return;
    colors.assign(vertex_count() * 4, 0.0f);
    for (std::size_t i = 3; i < colors.size(); i += 4) colors[i] = 1.0f;
}

void CO3duGLVertexStore::hold_tex_coords() {
    if (tex_coords.empty()) tex_coords.assign(vertex_count() * 2, 0.0f);
}

bool CO3duGLTrianglePolygons::is_triangle_mode() const {
    return mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN;
}

namespace {

O3duFloats range_of(const std::vector<float>& values, std::size_t first, std::size_t count, std::size_t width) {
    if (values.empty()) return {};
    return {values.data() + first * width, count * width};
}

}  // namespace

O3duFloats CO3duGLTrianglePolygons::positions() const {
    return store ? range_of(store->positions, first_vertex, std::size_t(vertex_count), 3) : O3duFloats{};
}

O3duFloats CO3duGLTrianglePolygons::normals() const {
    return store ? range_of(store->normals, first_vertex, std::size_t(vertex_count), 3) : O3duFloats{};
}

O3duFloats CO3duGLTrianglePolygons::colors() const {
    return store ? range_of(store->colors, first_vertex, std::size_t(vertex_count), 4) : O3duFloats{};
}

O3duFloats CO3duGLTrianglePolygons::tex_coords() const {
    return store ? range_of(store->tex_coords, first_vertex, std::size_t(vertex_count), 2) : O3duFloats{};
}

// What a batch draws runs from its first vertex to the end of its last set.
namespace {

std::size_t batch_vertices(const CO3duGLEntity& entity, const CO3duGLBatch& batch) {
    const CO3duGLTrianglePolygons& last = entity.sets[batch.first_set + batch.set_count - 1];
    return last.first_vertex + std::size_t(last.vertex_count) - batch.first_vertex;
}

}  // namespace

O3duFloats CO3duGLEntity::positions(const CO3duGLBatch& batch) const {
    return range_of(store_.positions, batch.first_vertex, batch_vertices(*this, batch), 3);
}

O3duFloats CO3duGLEntity::normals(const CO3duGLBatch& batch) const {
    return range_of(store_.normals, batch.first_vertex, batch_vertices(*this, batch), 3);
}

O3duFloats CO3duGLEntity::colors(const CO3duGLBatch& batch) const {
    return range_of(store_.colors, batch.first_vertex, batch_vertices(*this, batch), 4);
}

O3duFloats CO3duGLEntity::tex_coords(const CO3duGLBatch& batch) const {
    return range_of(store_.tex_coords, batch.first_vertex, batch_vertices(*this, batch), 2);
}

namespace {

// Stores v and tells whether it differs from what was there.
bool put(float& to, float v) {
    const bool differs = to != v;
    to = v;
    return differs;
}

}  // namespace

bool CO3duGLEntity::take_geometry(std::size_t index, const CO3duTrianglePolys& set) {
    const CO3duGLTrianglePolygons& mine = sets[index];
    bool differs = false;
    for (int i = 0; i < mine.vertex_count; ++i) {
        const _O3duVertex& v = set.vertices[i];
        float* p = &store_.positions[(mine.first_vertex + std::size_t(i)) * 3];
        float* q = &store_.normals[(mine.first_vertex + std::size_t(i)) * 3];
        differs |= put(p[0], static_cast<float>(v.position.x));
        differs |= put(p[1], static_cast<float>(v.position.y));
        differs |= put(p[2], static_cast<float>(v.position.z));
        differs |= put(q[0], static_cast<float>(v.normal.x));
        differs |= put(q[1], static_cast<float>(v.normal.y));
        differs |= put(q[2], static_cast<float>(v.normal.z));
    }
    return differs;
}

bool CO3duGLEntity::take_material(std::size_t index, const CO3duTrianglePolys& set) {
    CO3duGLTrianglePolygons& mine = sets[index];
    bool differs = std::memcmp(&mine.material, &set.material, sizeof mine.material) != 0;
    mine.material = set.material;
    if (set.material_type >= O3DU_MATERIAL_SINGLE && set.material_type <= O3DU_MATERIAL_SPHERE_MAP) {
        differs |= mine.material_kind != set.material_type;
        mine.material_kind = set.material_type;
    }
    const int n = mine.vertex_count;
    bool any = !store_.colors.empty();
    for (int i = 0; i < n && !any; ++i) {
        const float* c = set.vertices[i].color;
        any = c[0] != 0.0f || c[1] != 0.0f || c[2] != 0.0f;
    }
    if (!any) return differs;
    store_.hold_colors();
    for (int i = 0; i < n; ++i) {
        float* c = &store_.colors[(mine.first_vertex + std::size_t(i)) * 4];
        differs |= put(c[0], set.vertices[i].color[0]);
        differs |= put(c[1], set.vertices[i].color[1]);
        differs |= put(c[2], set.vertices[i].color[2]);
        c[3] = 1.0f;  // translucency comes from the material alone
    }
    return differs;
}

bool CO3duGLEntity::take_set_type(std::size_t index, const CO3duTrianglePolys& set) {
    CO3duGLTrianglePolygons& mine = sets[index];
    const int n = mine.vertex_count;
    const CO3duGLTrianglePolygons before = mine;
    mine.line_width = set.line_width;
    mine.indexed = 0;
    mine.indices.clear();
    mine.indices.shrink_to_fit();
    // Counts in float, truncated, as the element counts have always been worked out.
    const float count = static_cast<float>(n);
    switch (set.type) {
    case O3DU_SET_POINTS:
        mine.mode = GL_POINTS;
        mine.element_count = n;
        break;
    case O3DU_SET_LINE_LIST:
        mine.mode = GL_LINES;
        mine.element_count = static_cast<std::int32_t>(count / 2.0f);
        break;
    case O3DU_SET_LINE_STRIP:
        mine.mode = GL_LINE_STRIP;
        mine.element_count = static_cast<std::int32_t>(count - 1.0f);
        break;
    case O3DU_SET_TRIANGLE_LIST:
        mine.mode = GL_TRIANGLES;
        mine.element_count = static_cast<std::int32_t>(count / 3.0f);
        break;
    case O3DU_SET_TRIANGLE_FAN:
        mine.mode = GL_TRIANGLE_FAN;
        mine.element_count = static_cast<std::int32_t>(count - 2.0f);
        break;
    case O3DU_SET_INDEXED_TRIANGLES:
    case O3DU_SET_INDEXED_LINES: {
        mine.mode = set.type == O3DU_SET_INDEXED_TRIANGLES ? GL_TRIANGLES : GL_LINES;
        mine.indexed = 1;
        const int entries = set.indices.GetSize();
        mine.indices.reserve(std::size_t(entries) * 3);
        // An index outside the vertex list would make OpenGL read past the arrays: such triples are dropped.
        for (int i = 0; i < entries; ++i) {
            const _O3duVertexIndex& t = set.indices[i];
            if (t.a < 0 || t.b < 0 || t.c < 0 || t.a >= n || t.b >= n || t.c >= n) continue;
            mine.indices.push_back(static_cast<std::uint32_t>(t.a));
            mine.indices.push_back(static_cast<std::uint32_t>(t.b));
            mine.indices.push_back(static_cast<std::uint32_t>(t.c));
        }
        mine.element_count = static_cast<std::int32_t>(mine.indices.size() / 3);
        break;
    }
    default:  // the triangle strip, which is also what a set of an unknown type is drawn as
        mine.mode = GL_TRIANGLE_STRIP;
        mine.element_count = static_cast<std::int32_t>(count - 2.0f);
        break;
    }
    if (mine.element_count < 0) mine.element_count = 0;
    return mine.line_width != before.line_width || mine.mode != before.mode || mine.indexed != before.indexed ||
           mine.element_count != before.element_count || mine.indices != before.indices;
}

bool CO3duGLEntity::take_texture(std::size_t index, const CO3duTrianglePolys& set) {
    CO3duGLTrianglePolygons& mine = sets[index];
    bool differs = mine.texture_number != set.texture_number;
    mine.texture_number = set.texture_number;
    const int n = mine.vertex_count;
    bool any = !store_.tex_coords.empty();
    for (int i = 0; i < n && !any; ++i) any = set.vertices[i].tex.x != 0.0 || set.vertices[i].tex.y != 0.0;
    if (!any) return differs;
    store_.hold_tex_coords();
    for (int i = 0; i < n; ++i) {
        float* t = &store_.tex_coords[(mine.first_vertex + std::size_t(i)) * 2];
        differs |= put(t[0], static_cast<float>(set.vertices[i].tex.x));
        differs |= put(t[1], static_cast<float>(set.vertices[i].tex.y));
    }
    return differs;
}

void CO3duGLEntity::take_all(std::size_t index, const CO3duTrianglePolys& set) {
    sets[index].material_kind = O3DU_MATERIAL_SINGLE;
    take_geometry(index, set);
    take_material(index, set);
    take_set_type(index, set);
    take_texture(index, set);
}

void CO3duGLEntity::point_sets_at_store() {
    for (CO3duGLTrianglePolygons& set : sets) set.store = &store_;
}

CO3duGLEntity::CO3duGLEntity()
    : polygon_mode(GL_FILL), model_matrix(identity_matrix()), texture_matrix(identity_matrix()) {}

void CO3duGLEntity::ConvertSets(const CO3duPrimitive& primitive) {
    sets.clear();
    sets.resize(static_cast<std::size_t>(primitive.sets.GetSize()));
    std::size_t total = 0;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        sets[i].first_vertex = static_cast<std::uint32_t>(total);
        sets[i].vertex_count = primitive.sets[static_cast<int>(i)].vertices.GetSize();
        total += std::size_t(sets[i].vertex_count);
    }
    store_ = CO3duGLVertexStore{};
    store_.positions.resize(total * 3);
    store_.normals.resize(total * 3);
    point_sets_at_store();
    for (std::size_t i = 0; i < sets.size(); ++i) take_all(i, primitive.sets[static_cast<int>(i)]);
    rebuild_batches();
}

void CO3duGLEntity::lay_out(const CO3duPrimitive& primitive) {
    CO3duGLVertexStore old = std::move(store_);
    store_ = CO3duGLVertexStore{};
    std::size_t total = 0;
    for (int i = 0; i < primitive.sets.GetSize(); ++i) total += std::size_t(primitive.sets[i].vertices.GetSize());
    store_.positions.resize(total * 3);
    store_.normals.resize(total * 3);
    if (!old.colors.empty()) store_.hold_colors();
    if (!old.tex_coords.empty()) store_.hold_tex_coords();
    std::size_t at = 0;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        CO3duGLTrianglePolygons& mine = sets[i];
        const std::size_t n = std::size_t(primitive.sets[static_cast<int>(i)].vertices.GetSize());
        if (n == std::size_t(mine.vertex_count)) {
            const auto copy = [&](const std::vector<float>& from, std::vector<float>& to, std::size_t width) {
                if (from.empty()) return;
                std::copy_n(from.begin() + std::ptrdiff_t(mine.first_vertex * width), n * width,
                            to.begin() + std::ptrdiff_t(at * width));
            };
            copy(old.positions, store_.positions, 3);
            copy(old.normals, store_.normals, 3);
            copy(old.colors, store_.colors, 4);
            copy(old.tex_coords, store_.tex_coords, 2);
        }
        mine.first_vertex = static_cast<std::uint32_t>(at);
        at += n;
    }
    point_sets_at_store();
}

CO3duGLEntity::Changed CO3duGLEntity::Change(const CO3duPrimitive& primitive, long flags) {
    Changed changed;
    changed.shadow = (flags & (1 | 4 | 16 | 32)) != 0;
    changed.drawing = kind != primitive.kind;
    kind = primitive.kind;
    if (flags & (1 | 2 | 4 | 8)) {
        // Partial replacement needs matching arrays: a different number of sets is converted afresh, a set with a
        // different number of vertices takes everything of its new self.
        if (static_cast<std::size_t>(primitive.sets.GetSize()) != sets.size()) {
            ConvertSets(primitive);
            changed.drawing = true;
        } else {
            std::vector<bool> whole(sets.size(), false);
            for (std::size_t i = 0; i < sets.size(); ++i)
                whole[i] = primitive.sets[static_cast<int>(i)].vertices.GetSize() != sets[i].vertex_count;
            if (std::find(whole.begin(), whole.end(), true) != whole.end()) {
                lay_out(primitive);
                changed.drawing = true;
            }
            bool sets_differ = false;
            for (std::size_t i = 0; i < sets.size(); ++i) {
                const CO3duTrianglePolys& set = primitive.sets[static_cast<int>(i)];
                if (whole[i]) {
                    sets[i].vertex_count = set.vertices.GetSize();
                    take_all(i, set);
                    continue;
                }
                if (flags & 1) sets_differ |= take_geometry(i, set);
                if (flags & 2) sets_differ |= take_material(i, set);
                if (flags & 4) sets_differ |= take_set_type(i, set);
                if (flags & 8) sets_differ |= take_texture(i, set);
            }
            // The draw form and the box follow the sets; sets given back as they were leave both as they are.
            if (sets_differ || changed.drawing) rebuild_batches();
            changed.drawing = changed.drawing || sets_differ;
        }
    }
    const auto take = [&](auto& field, const auto& value) {
        static_assert(sizeof field == sizeof value);
        changed.drawing = changed.drawing || std::memcmp(&field, &value, sizeof field) != 0;
        field = value;
    };
    if (flags & 16) take(draw_mode, primitive.draw_mode);
    if (flags & 32) take(model_matrix, primitive.model_matrix);
    if (flags & 64) take(layer, primitive.layer);
    if (flags & 128) take(texture_matrix, primitive.texture_matrix);
    if (flags & 256) take(polygon_mode, gl_polygon_mode(primitive.polygon_mode));
    return changed;
}

namespace {

void convert_set_back(const CO3duGLTrianglePolygons& mine, CO3duTrianglePolys& set, long flags) {
    const int n = mine.vertex_count;
    set.vertices.SetSize(n);
    if (flags & 1) {
        const O3duFloats p = mine.positions(), q = mine.normals();
        for (int i = 0; i < n; ++i) {
            _O3duVertex& v = set.vertices[i];
            const std::size_t k = std::size_t(i) * 3;
            v.position = OfuVector3(p[k], p[k + 1], p[k + 2]);
            v.normal = OfuVector3(q[k], q[k + 1], q[k + 2]);
            v.tex = OfuVector2(0.0, 0.0);
        }
    }
    if (flags & 2) {
        set.material = mine.material;
        set.material_type = mine.material_kind;
        const O3duFloats c = mine.colors();
        for (int i = 0; i < n; ++i) {
            float* color = set.vertices[i].color;
            for (int k = 0; k < 3; ++k) color[k] = c.empty() ? 0.0f : c[std::size_t(i) * 4 + std::size_t(k)];
            color[3] = 1.0f;
        }
    }
    if (flags & 4) {
        set.line_width = mine.line_width;
        switch (mine.mode) {
        case GL_POINTS: set.type = O3DU_SET_POINTS; break;
        case GL_LINES: set.type = mine.indexed ? O3DU_SET_INDEXED_LINES : O3DU_SET_LINE_LIST; break;
        case GL_LINE_STRIP: set.type = O3DU_SET_LINE_STRIP; break;
        case GL_TRIANGLES: set.type = mine.indexed ? O3DU_SET_INDEXED_TRIANGLES : O3DU_SET_TRIANGLE_LIST; break;
        case GL_TRIANGLE_FAN: set.type = O3DU_SET_TRIANGLE_FAN; break;
        default: set.type = O3DU_SET_TRIANGLE_STRIP; break;
        }
        const int entries = static_cast<int>(mine.indices.size() / 3);
        set.indices.SetSize(entries);
        for (int i = 0; i < entries; ++i) {
            set.indices[i].a = static_cast<std::int32_t>(mine.indices[std::size_t(i) * 3]);
            set.indices[i].b = static_cast<std::int32_t>(mine.indices[std::size_t(i) * 3 + 1]);
            set.indices[i].c = static_cast<std::int32_t>(mine.indices[std::size_t(i) * 3 + 2]);
        }
    }
    if (flags & 8) {
        set.texture_number = mine.texture_number;
        const O3duFloats t = mine.tex_coords();
        for (int i = 0; i < n; ++i)
            set.vertices[i].tex =
                t.empty() ? OfuVector2(0.0, 0.0) : OfuVector2(t[std::size_t(i) * 2], t[std::size_t(i) * 2 + 1]);
    }
}

}  // namespace

void CO3duGLEntity::ConvertBack(CO3duPrimitive& primitive, long flags) const {
    primitive.sets.RemoveAll();
    primitive.sets.SetSize(static_cast<int>(sets.size()));
    for (std::size_t i = 0; i < sets.size(); ++i) convert_set_back(sets[i], primitive.sets[static_cast<int>(i)], flags);
    if (flags & 16) primitive.draw_mode = draw_mode;
    if (flags & 32) primitive.model_matrix = model_matrix;
    if (flags & 64) primitive.layer = layer;
    if (flags & 128) primitive.texture_matrix = texture_matrix;
    if (flags & 256) primitive.polygon_mode = primitive_polygon_mode(polygon_mode);
    primitive.kind = kind;
}

void CO3duGLEntity::Transform(const OfuMatrix4x4& m) {
    for (std::size_t i = 0; i < store_.vertex_count(); ++i) {
        float* p = &store_.positions[i * 3];
        float* q = &store_.normals[i * 3];
        OfuVector3 position(p[0], p[1], p[2]);
        OfuVector3 normal(q[0], q[1], q[2]);
        move_vertex(m, position, normal);
        p[0] = static_cast<float>(position.x);
        p[1] = static_cast<float>(position.y);
        p[2] = static_cast<float>(position.z);
        q[0] = static_cast<float>(normal.x);
        q[1] = static_cast<float>(normal.y);
        q[2] = static_cast<float>(normal.z);
    }
    measure_box();
}

void CO3duShadowVolumes::add_strip(const float* xyz, std::size_t count) {
    const auto first = static_cast<std::uint32_t>(vertices.size() / 3);
    vertices.insert(vertices.end(), xyz, xyz + 3 * count);
    for (std::uint32_t i = 0; i + 2 < count; ++i) {
        const std::uint32_t a = first + i, b = first + i + 1, c = first + i + 2;
        // Odd triangles of a strip run the other way round; swapping two keeps every face's winding.
        if (i % 2 == 0)
            triangles.insert(triangles.end(), {a, b, c});
        else
            triangles.insert(triangles.end(), {b, a, c});
    }
    ++strips;
}

void CO3duShadowVolumes::clear() {
    vertices.clear();
    vertices.shrink_to_fit();
    triangles.clear();
    triangles.shrink_to_fit();
    strips = 0;
}
