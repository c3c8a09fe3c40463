// CO3duGLEntity, one shape of the OpenGL modeller, and CO3duGLTrianglePolygons, one of its sets with float arrays
// ready for OpenGL vertex arrays; conversion from and back to the library's CO3duPrimitive.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/primitive.h"
#include "modeller/shape_properties.h"

class CO3duGLTrianglePolygons {
public:
    virtual ~CO3duGLTrianglePolygons() = default;

    // Frees the arrays and forgets the counts.
    void Destroy();
    // Takes over everything of one set; index triples that point outside the vertex list are dropped.
    void Convert(const CO3duTrianglePolys& set);
    // The parts of one set chosen by the flag bits (geometry, material, set type, texture). The vertex count must
    // be the entity's already.
    void Replace(const CO3duTrianglePolys& set, long flags);
    // Back into a set, by the same flag bits; the vertex list is always sized to the vertex count.
    void ConvertBack(CO3duTrianglePolys& set, long flags) const;
    // Moves positions by m (row vectors, divided by w) and turns normals by its upper 3x3.
    void Transform(const OfuMatrix4x4& m);

    bool is_triangle_mode() const;

    std::vector<float> positions;        // 3 a vertex
    std::vector<float> normals;          // 3 a vertex
    std::vector<float> colors;           // 4 a vertex, alpha always 1
    std::vector<std::uint32_t> indices;  // 3 an element
    _OfuMaterial material;               // diffuse, ambient, specular, emission (carried, never drawn), power
    std::int32_t vertex_count = 0;
    std::int32_t element_count = 0;
    std::uint32_t mode = 0;  // OpenGL primitive
    std::int32_t indexed = 0;
    std::int32_t material_kind = 0;
    float line_width = 1.0f;
    std::vector<float> tex_coords;  // 2 a vertex
    std::int32_t texture_number = 0;

private:
    void take_geometry(const CO3duTrianglePolys& set);
    void take_material(const CO3duTrianglePolys& set);
    void take_set_type(const CO3duTrianglePolys& set);
    void take_texture(const CO3duTrianglePolys& set);
};

// Shadow volumes of one shape in light space: triangle strips kept as their vertices and drawn as one indexed
// triangle list, so a shape's volumes cost one draw call however many there are.
struct CO3duShadowVolumes {
    std::vector<float> vertices;           // 3 a vertex
    std::vector<std::uint32_t> triangles;  // 3 a triangle, winding as in the strips
    std::size_t strips = 0;

    // Appends one strip of `count` vertices.
    void add_strip(const float* xyz, std::size_t count);
    void clear();
};

class CO3duGLEntity {
public:
    CO3duGLEntity();
    CO3duGLEntity(const CO3duGLEntity&) = delete;
    CO3duGLEntity& operator=(const CO3duGLEntity&) = delete;
    virtual ~CO3duGLEntity() = default;

    // Replaces the sets by conversions of the primitive's sets.
    void ConvertSets(const CO3duPrimitive& primitive);
    // ChangePrimitive's work on this entity; returns whether the shadow volumes need rebuilding.
    bool Change(const CO3duPrimitive& primitive, long flags);
    void ConvertBack(CO3duPrimitive& primitive, long flags) const;

    std::vector<CO3duGLTrianglePolygons> sets;
    std::int32_t shadow_rebuild = 1;
    CO3duShadowVolumes outline_volumes;  // outlines of the lit parts, drawn at shadow accuracy 1
    CO3duShadowVolumes prism_volumes;    // one prism of eight vertices a triangle
    OfuMatrix4x4 model_matrix;
    OfuMatrix4x4 texture_matrix;
    std::int32_t draw_mode = O3DU_DRAW_PICKABLE;
    CO3duPropertyMap<std::int32_t> prop1;
    CO3duPropertyMap<std::uint64_t> prop3;
    std::int32_t kind = 0;
    std::uint32_t polygon_mode;  // OpenGL value
    COfuPropertySet prop2;
    std::uint32_t layer = 0;
};

// Polygon modes of the primitive (0 fill, 1 lines, 2 points) and OpenGL's; unknown values fill.
std::uint32_t gl_polygon_mode(std::int32_t primitive_mode);
std::int32_t primitive_polygon_mode(std::uint32_t gl_mode);
