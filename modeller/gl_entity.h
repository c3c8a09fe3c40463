// CO3duGLEntity, one shape of the OpenGL modeller: its vertices in float arrays ready for OpenGL vertex arrays,
// its sets (CO3duGLTrianglePolygons) as ranges of them, and the draw form that draws runs of alike sets at once;
// conversion from and back to the library's CO3duPrimitive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/primitive.h"
#include "modeller/shape_properties.h"

// A run of floats held by the entity: positions, normals, colours or texture coordinates of one set or batch.
class O3duFloats {
public:
    O3duFloats() = default;
    O3duFloats(const float* data, std::size_t size) : data_(size ? data : nullptr), size_(size) {}
    const float* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const float& operator[](std::size_t i) const { return data_[i]; }

private:
    const float* data_ = nullptr;
    std::size_t size_ = 0;
};

// Every vertex of one shape, set after set. Colours and texture coordinates are held only once one of them is
// not zero: most shapes have neither, and an empty array stands for all (0, 0, 0, 1) and all (0, 0).
struct CO3duGLVertexStore {
    std::vector<float> positions;   // 3 a vertex
    std::vector<float> normals;     // 3 a vertex
    std::vector<float> colors;      // 4 a vertex (alpha always 1), or empty
    std::vector<float> tex_coords;  // 2 a vertex, or empty

    std::size_t vertex_count() const { return positions.size() / 3; }
    void hold_colors();
    void hold_tex_coords();
};

class CO3duGLTrianglePolygons {
public:
    virtual ~CO3duGLTrianglePolygons() = default;

    bool is_triangle_mode() const;
    // The set's vertices in the entity's store; colours and texture coordinates are empty when the store holds
    // none.
    O3duFloats positions() const;
    O3duFloats normals() const;
    O3duFloats colors() const;
    O3duFloats tex_coords() const;

    const CO3duGLVertexStore* store = nullptr;
    std::uint32_t first_vertex = 0;      // where the set's vertices start in the store
    std::vector<std::uint32_t> indices;  // 3 an element, counted from the set's first vertex
    _OfuMaterial material;               // diffuse, ambient, specular, emission (carried, never drawn), power
    std::int32_t vertex_count = 0;
    std::int32_t element_count = 0;
    std::uint32_t mode = 0;  // OpenGL primitive
    std::int32_t indexed = 0;
    std::int32_t material_kind = 0;
    float line_width = 1.0f;
    std::int32_t texture_number = 0;
};

// One draw of the draw form: a run of neighbouring sets that look alike (material, material kind, texture, line
// width and kind of primitive), drawn with the first one's look. Triangles of fans, strips, lists and indexed sets
// become one triangle list; line lists one line list; points one point list. A run of one set without indices
// draws its own primitive straight from the store.
struct CO3duGLBatch {
    std::uint32_t first_set = 0;
    std::uint32_t set_count = 0;
    std::uint32_t mode = 0;              // OpenGL primitive
    std::uint32_t first_vertex = 0;      // the vertex arrays start here
    std::int32_t vertex_count = 0;       // drawn as arrays when there are no indices
    std::vector<std::uint32_t> indices;  // counted from first_vertex
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

    // Replaces the sets by conversions of the primitive's sets; index triples that point outside a set's vertex
    // list are dropped.
    void ConvertSets(const CO3duPrimitive& primitive);
    // What one change did: whether the shadow volumes need rebuilding (by the flags asked for), and whether
    // anything a frame draws of the shape now differs (by what was really replaced).
    struct Changed {
        bool shadow = false;
        bool drawing = false;
    };
    // ChangePrimitive's work on this entity.
    Changed Change(const CO3duPrimitive& primitive, long flags);
    // Back into a primitive, by the same flag bits; every set's vertex list is sized to its vertex count.
    void ConvertBack(CO3duPrimitive& primitive, long flags) const;
    // Moves positions by m (row vectors, divided by w) and turns normals by its upper 3x3.
    void Transform(const OfuMatrix4x4& m);

    // The batch's look, which is that of its first set.
    const CO3duGLTrianglePolygons& look(const CO3duGLBatch& batch) const { return sets[batch.first_set]; }
    O3duFloats positions(const CO3duGLBatch& batch) const;
    O3duFloats normals(const CO3duGLBatch& batch) const;
    O3duFloats colors(const CO3duGLBatch& batch) const;
    O3duFloats tex_coords(const CO3duGLBatch& batch) const;

    const CO3duGLVertexStore& store() const { return store_; }
    const std::vector<CO3duGLBatch>& batches() const { return batches_; }
    // Issues the batch's draw call; the vertex arrays must already point at its first vertex.
    void DrawBatch(const CO3duGLBatch& batch) const;
    // Corners of the box around every vertex (the shape's own coordinates), empty (lo above hi) without
    // vertices, and how many pixels its lines and points may reach past it.
    const float* box_lo() const { return box_lo_; }
    const float* box_hi() const { return box_hi_; }
    float pixel_reach() const;

    // Whether a set may use a texture (and so the shape its texture matrix), and whether one is translucent.
    bool uses_texture() const { return textured_; }
    bool has_translucent_set() const { return translucent_; }
    // Whether every set is a triangle set whose look a batch can carry in its vertices: opaque, and a single
    // colour within 0..1 (or per-vertex colours). Textures are left to the caller, who knows the table.
    bool has_plain_look() const { return plain_look_; }

    // Read for every shape on every frame and pick: kept together at the front, in two or three cache lines.
    std::int32_t draw_mode = O3DU_DRAW_PICKABLE;
    std::int32_t kind = 0;
    std::uint32_t polygon_mode;  // OpenGL value
    std::int32_t shadow_rebuild = 1;
    // The draw cache's marks: how many frames had begun when what the shape draws last changed, where its draw
    // list holds it, and whether the cache watches it to join a batch once it keeps still.
    std::uint32_t changed_frame = 0;
    enum class CachePlace : std::uint8_t { own, batch, left_out } cache_place = CachePlace::own;
    bool watched = false;

private:
    float box_lo_[3] = {1.0f, 1.0f, 1.0f};
    float box_hi_[3] = {-1.0f, -1.0f, -1.0f};
    float widest_line_ = 1.0f;
    bool all_triangles_ = true;
    bool textured_ = false;
    bool translucent_ = false;
    bool plain_look_ = true;

public:
    OfuMatrix4x4 model_matrix;
    std::vector<CO3duGLTrianglePolygons> sets;
    CO3duShadowVolumes outline_volumes;  // outlines of the lit parts, drawn at shadow accuracy 1
    CO3duShadowVolumes prism_volumes;    // one prism of eight vertices a triangle
    OfuMatrix4x4 texture_matrix;
    CO3duPropertyMap<std::int32_t> prop1;
    CO3duPropertyMap<std::uint64_t> prop3;
    COfuPropertySet prop2;
    std::uint32_t layer = 0;

private:
    // Lays the store out for the primitive's vertex counts, keeping the vertices of sets whose count is unchanged.
    void lay_out(const CO3duPrimitive& primitive);
    // Each takes its part of the primitive's set i and returns whether the set now differs from before.
    bool take_geometry(std::size_t i, const CO3duTrianglePolys& set);
    bool take_material(std::size_t i, const CO3duTrianglePolys& set);
    bool take_set_type(std::size_t i, const CO3duTrianglePolys& set);
    bool take_texture(std::size_t i, const CO3duTrianglePolys& set);
    void take_all(std::size_t i, const CO3duTrianglePolys& set);
    void point_sets_at_store();
    // The draw form and the box, made again from the sets after every change of them.
    void rebuild_batches();
    void measure_box();

    CO3duGLVertexStore store_;
    std::vector<CO3duGLBatch> batches_;
};

// Appends the set's elements as indices counted from `offset`, in the order OpenGL draws them: fans and strips
// as the triangles they make, with the winding OpenGL gives each.
void append_set_elements(const CO3duGLTrianglePolygons& set, std::uint32_t offset, std::vector<std::uint32_t>& out);

// Polygon modes of the primitive (0 fill, 1 lines, 2 points) and OpenGL's; unknown values fill.
std::uint32_t gl_polygon_mode(std::int32_t primitive_mode);
std::int32_t primitive_polygon_mode(std::uint32_t gl_mode);
