// Conversion of primitives into OpenGL entities and back: doubles narrowed to floats, set types to OpenGL modes.
// Every count comes from the arrays actually held, so a malformed primitive can make a set draw less, never more.
#include "modeller/gl_entity.h"

#include <GL/gl.h>

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

void CO3duGLTrianglePolygons::Destroy() {
    positions.clear();
    positions.shrink_to_fit();
    normals.clear();
    normals.shrink_to_fit();
    colors.clear();
    colors.shrink_to_fit();
    indices.clear();
    indices.shrink_to_fit();
    tex_coords.clear();
    tex_coords.shrink_to_fit();
    vertex_count = 0;
    element_count = 0;
    indexed = 0;
}

bool CO3duGLTrianglePolygons::is_triangle_mode() const {
    return mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN;
}

void CO3duGLTrianglePolygons::take_geometry(const CO3duTrianglePolys& set) {
    const int n = set.vertices.GetSize();
    positions.resize(std::size_t(n) * 3);
    normals.resize(std::size_t(n) * 3);
    for (int i = 0; i < n; ++i) {
        const _O3duVertex& v = set.vertices[i];
        float* p = &positions[std::size_t(i) * 3];
        float* q = &normals[std::size_t(i) * 3];
        p[0] = static_cast<float>(v.position.x);
        p[1] = static_cast<float>(v.position.y);
        p[2] = static_cast<float>(v.position.z);
        q[0] = static_cast<float>(v.normal.x);
        q[1] = static_cast<float>(v.normal.y);
        q[2] = static_cast<float>(v.normal.z);
    }
}

void CO3duGLTrianglePolygons::take_material(const CO3duTrianglePolys& set) {
    material = set.material;
    if (set.material_type >= O3DU_MATERIAL_SINGLE && set.material_type <= O3DU_MATERIAL_SPHERE_MAP)
        material_kind = set.material_type;
    const int n = set.vertices.GetSize();
    colors.resize(std::size_t(n) * 4);
    for (int i = 0; i < n; ++i) {
        float* c = &colors[std::size_t(i) * 4];
        c[0] = set.vertices[i].color[0];
        c[1] = set.vertices[i].color[1];
        c[2] = set.vertices[i].color[2];
        c[3] = 1.0f;  // translucency comes from the material alone
    }
}

void CO3duGLTrianglePolygons::take_set_type(const CO3duTrianglePolys& set) {
    const int n = set.vertices.GetSize();
    line_width = set.line_width;
    indexed = 0;
    indices.clear();
    // Counts in float, truncated, as the element counts have always been worked out.
    const float count = static_cast<float>(n);
    switch (set.type) {
    case O3DU_SET_POINTS:
        mode = GL_POINTS;
        element_count = n;
        break;
    case O3DU_SET_LINE_LIST:
        mode = GL_LINES;
        element_count = static_cast<std::int32_t>(count / 2.0f);
        break;
    case O3DU_SET_LINE_STRIP:
        mode = GL_LINE_STRIP;
        element_count = static_cast<std::int32_t>(count - 1.0f);
        break;
    case O3DU_SET_TRIANGLE_LIST:
        mode = GL_TRIANGLES;
        element_count = static_cast<std::int32_t>(count / 3.0f);
        break;
    case O3DU_SET_TRIANGLE_FAN:
        mode = GL_TRIANGLE_FAN;
        element_count = static_cast<std::int32_t>(count - 2.0f);
        break;
    case O3DU_SET_INDEXED_TRIANGLES:
    case O3DU_SET_INDEXED_LINES: {
        mode = set.type == O3DU_SET_INDEXED_TRIANGLES ? GL_TRIANGLES : GL_LINES;
        indexed = 1;
        const int entries = set.indices.GetSize();
        indices.reserve(std::size_t(entries) * 3);
        // An index outside the vertex list would make OpenGL read past the arrays: such triples are dropped.
        for (int i = 0; i < entries; ++i) {
            const _O3duVertexIndex& t = set.indices[i];
            if (t.a < 0 || t.b < 0 || t.c < 0 || t.a >= n || t.b >= n || t.c >= n) continue;
            indices.push_back(static_cast<std::uint32_t>(t.a));
            indices.push_back(static_cast<std::uint32_t>(t.b));
            indices.push_back(static_cast<std::uint32_t>(t.c));
        }
        element_count = static_cast<std::int32_t>(indices.size() / 3);
        break;
    }
    default:  // the triangle strip, which is also what a set of an unknown type is drawn as
        mode = GL_TRIANGLE_STRIP;
        element_count = static_cast<std::int32_t>(count - 2.0f);
        break;
    }
    if (element_count < 0) element_count = 0;
}

void CO3duGLTrianglePolygons::take_texture(const CO3duTrianglePolys& set) {
    texture_number = set.texture_number;
    const int n = set.vertices.GetSize();
    tex_coords.resize(std::size_t(n) * 2);
    for (int i = 0; i < n; ++i) {
        tex_coords[std::size_t(i) * 2] = static_cast<float>(set.vertices[i].tex.x);
        tex_coords[std::size_t(i) * 2 + 1] = static_cast<float>(set.vertices[i].tex.y);
    }
}

void CO3duGLTrianglePolygons::Convert(const CO3duTrianglePolys& set) {
    Destroy();
    material_kind = O3DU_MATERIAL_SINGLE;
    vertex_count = set.vertices.GetSize();
    take_geometry(set);
    take_material(set);
    take_set_type(set);
    take_texture(set);
}

void CO3duGLTrianglePolygons::Replace(const CO3duTrianglePolys& set, long flags) {
    if (flags & 1) take_geometry(set);
    if (flags & 2) take_material(set);
    if (flags & 4) take_set_type(set);
    if (flags & 8) take_texture(set);
}

void CO3duGLTrianglePolygons::ConvertBack(CO3duTrianglePolys& set, long flags) const {
    const int n = vertex_count;
    set.vertices.SetSize(n);
    if (flags & 1) {
        for (int i = 0; i < n; ++i) {
            _O3duVertex& v = set.vertices[i];
            const float* p = &positions[std::size_t(i) * 3];
            const float* q = &normals[std::size_t(i) * 3];
            v.position = OfuVector3(p[0], p[1], p[2]);
            v.normal = OfuVector3(q[0], q[1], q[2]);
            v.tex = OfuVector2(0.0, 0.0);
        }
    }
    if (flags & 2) {
        set.material = material;
        set.material_type = material_kind;
        for (int i = 0; i < n; ++i) {
            const float* c = &colors[std::size_t(i) * 4];
            set.vertices[i].color[0] = c[0];
            set.vertices[i].color[1] = c[1];
            set.vertices[i].color[2] = c[2];
            set.vertices[i].color[3] = 1.0f;
        }
    }
    if (flags & 4) {
        set.line_width = line_width;
        switch (mode) {
        case GL_POINTS: set.type = O3DU_SET_POINTS; break;
        case GL_LINES: set.type = indexed ? O3DU_SET_INDEXED_LINES : O3DU_SET_LINE_LIST; break;
        case GL_LINE_STRIP: set.type = O3DU_SET_LINE_STRIP; break;
        case GL_TRIANGLES: set.type = indexed ? O3DU_SET_INDEXED_TRIANGLES : O3DU_SET_TRIANGLE_LIST; break;
        case GL_TRIANGLE_FAN: set.type = O3DU_SET_TRIANGLE_FAN; break;
        default: set.type = O3DU_SET_TRIANGLE_STRIP; break;
        }
        const int entries = static_cast<int>(indices.size() / 3);
        set.indices.SetSize(entries);
        for (int i = 0; i < entries; ++i) {
            set.indices[i].a = static_cast<std::int32_t>(indices[std::size_t(i) * 3]);
            set.indices[i].b = static_cast<std::int32_t>(indices[std::size_t(i) * 3 + 1]);
            set.indices[i].c = static_cast<std::int32_t>(indices[std::size_t(i) * 3 + 2]);
        }
    }
    if (flags & 8) {
        set.texture_number = texture_number;
        for (int i = 0; i < n; ++i)
            set.vertices[i].tex = OfuVector2(tex_coords[std::size_t(i) * 2], tex_coords[std::size_t(i) * 2 + 1]);
    }
}

void CO3duGLTrianglePolygons::Transform(const OfuMatrix4x4& m) {
    for (int i = 0; i < vertex_count; ++i) {
        float* p = &positions[std::size_t(i) * 3];
        float* q = &normals[std::size_t(i) * 3];
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
}

CO3duGLEntity::CO3duGLEntity()
    : model_matrix(identity_matrix()), texture_matrix(identity_matrix()), polygon_mode(GL_FILL) {}

void CO3duGLEntity::ConvertSets(const CO3duPrimitive& primitive) {
    sets.clear();
    sets.resize(static_cast<std::size_t>(primitive.sets.GetSize()));
    for (int i = 0; i < primitive.sets.GetSize(); ++i) sets[std::size_t(i)].Convert(primitive.sets[i]);
}

bool CO3duGLEntity::Change(const CO3duPrimitive& primitive, long flags) {
    kind = primitive.kind;
    if (flags & (1 | 2 | 4 | 8)) {
        // Partial replacement needs matching arrays: a different number of sets or vertices is converted afresh.
        if (static_cast<std::size_t>(primitive.sets.GetSize()) != sets.size()) {
            ConvertSets(primitive);
        } else {
            for (int i = 0; i < primitive.sets.GetSize(); ++i) {
                const CO3duTrianglePolys& set = primitive.sets[i];
                CO3duGLTrianglePolygons& mine = sets[std::size_t(i)];
                if (set.vertices.GetSize() != mine.vertex_count)
                    mine.Convert(set);
                else
                    mine.Replace(set, flags);
            }
        }
    }
    if (flags & 16) draw_mode = primitive.draw_mode;
    if (flags & 32) model_matrix = primitive.model_matrix;
    if (flags & 64) layer = primitive.layer;
    if (flags & 128) texture_matrix = primitive.texture_matrix;
    if (flags & 256) polygon_mode = gl_polygon_mode(primitive.polygon_mode);
    return (flags & (1 | 4 | 16 | 32)) != 0;
}

void CO3duGLEntity::ConvertBack(CO3duPrimitive& primitive, long flags) const {
    primitive.sets.RemoveAll();
    primitive.sets.SetSize(static_cast<int>(sets.size()));
    for (std::size_t i = 0; i < sets.size(); ++i) sets[i].ConvertBack(primitive.sets[static_cast<int>(i)], flags);
    if (flags & 16) primitive.draw_mode = draw_mode;
    if (flags & 32) primitive.model_matrix = model_matrix;
    if (flags & 64) primitive.layer = layer;
    if (flags & 128) primitive.texture_matrix = texture_matrix;
    if (flags & 256) primitive.polygon_mode = primitive_polygon_mode(polygon_mode);
    primitive.kind = kind;
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
