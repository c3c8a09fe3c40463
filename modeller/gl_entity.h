// CO3duGLEntity, one shape of the OpenGL modeller: its sets and vertices in one block ready for OpenGL vertex
// arrays (O3duShapeData), the draw form that draws runs of alike sets at once, and what most shapes never use (a
// texture matrix other than the identity, shadow volumes, byte-string properties) behind one pointer made when
// first needed; conversion from and back to the library's CO3duPrimitive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "geometry/primitive.h"
#include "modeller/gl_shape_data.h"
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

// One set of a shape, read from the shape's block.
class CO3duGLTrianglePolygons {
public:
    CO3duGLTrianglePolygons(const O3duShapeData& data, std::size_t index)
        : data_(&data), range_(&data.range(index)), paint_(&data.paint(range_->paint)) {}

    std::uint32_t mode() const { return range_->mode; }  // OpenGL primitive
    bool indexed() const { return range_->indexed != 0; }
    bool is_triangle_mode() const;
    std::int32_t vertex_count() const { return range_->vertex_count; }
    std::int32_t element_count() const { return range_->element_count; }
    // The look, shared by the sets that look alike.
    std::uint32_t paint() const { return range_->paint; }
    const _OfuMaterial& material() const { return paint_->material; }
    std::int32_t material_kind() const { return paint_->material_kind; }
    float line_width() const { return paint_->line_width; }
    std::int32_t texture_number() const { return paint_->texture_number; }

    // Index triples of an indexed set, counted from the set's first vertex.
    const std::uint32_t* indices() const { return data_->indices() + range_->first_index; }
    std::size_t index_count() const { return indexed() ? std::size_t(range_->element_count) * 3 : 0; }
    // The number among the shape's held vertices of the set's vertex i, and that vertex's arrays; colour and
    // texture coordinate are null when the shape holds none.
    std::uint32_t vertex(std::size_t i) const { return data_->vertex_of(*range_, i); }
    const float* position(std::size_t i) const { return data_->positions() + std::size_t(vertex(i)) * 3; }
    const float* normal(std::size_t i) const { return data_->normals() + std::size_t(vertex(i)) * 3; }
    const float* color(std::size_t i) const;
    const float* tex_coord(std::size_t i) const;

private:
    const O3duShapeData* data_;
    const O3duSetRange* range_;
    const O3duSetPaint* paint_;
};

// One draw of the draw form: a run of neighbouring sets that look alike (material, material kind, texture, line
// width and kind of primitive), drawn with the first one's look. Triangles of fans, strips, lists and indexed sets
// become one triangle list; line lists one line list; points one point list. A run of one set draws its own
// primitive.
// The triangles OpenGL draws of `count` vertices in the mode: none for points and lines.
std::uint64_t o3du_triangles_of(std::uint32_t mode, std::size_t count);

struct CO3duGLBatch {
    std::uint32_t first_set = 0;
    std::uint32_t set_count = 0;
    std::uint32_t mode = 0;  // OpenGL primitive
    // The vertex arrays start at this held vertex: the first of a lone indexed set, else the shape's first.
    std::uint32_t first_vertex = 0;
    std::int32_t vertex_count = 0;
};

// Indices kept in 16 bits while the corners they point at allow it: half the bytes for most shapes.
struct CO3duVolumeIndices {
    std::vector<std::uint16_t> narrow;
    std::vector<std::uint32_t> wide;

    std::size_t size() const { return narrow.empty() ? wide.size() : narrow.size(); }
    std::uint32_t operator[](std::size_t i) const { return narrow.empty() ? wide[i] : narrow[i]; }
    // Takes the values, narrow when every value below `bound` fits.
    void assign(const std::vector<std::uint32_t>& values, std::size_t bound);
    void clear();
};

// Shadow volumes of one shape in light space (the light shining along -z): corners, each position once, those of
// the walls first and followed by their copies moved along the extrusion; the walls as an indexed triangle list
// over them (two triangles a wall, winding as the strips they come from); and the lit triangles, each as its prism
// takes it, for the parts of the near plane's rectangle inside prisms.
struct CO3duShadowVolumes {
    std::vector<float> corners;  // 3 a corner
    CO3duVolumeIndices walls;    // 3 a triangle
    CO3duVolumeIndices lit;      // 3 a triangle, counter-clockwise seen from the light
    // Bounds of the wall corners before their extrusion, of their moved copies (the walls' far ends), and of the
    // lit triangles' corners; lo above hi when empty.
    float walls_lo[3] = {kNone, kNone, kNone}, walls_hi[3] = {-kNone, -kNone, -kNone};
    float ends_lo[3] = {kNone, kNone, kNone}, ends_hi[3] = {-kNone, -kNone, -kNone};
    float lit_lo[3] = {kNone, kNone, kNone}, lit_hi[3] = {-kNone, -kNone, -kNone};
    static constexpr float kNone = 3.0e38f;
    // How deep the shape's prisms stack over one point of light space: the most of its lit triangles one line along
    // the light can cross (O3duWindingDepth), found as `depth_found` says: exactly; from above by the shape's parts,
    // for a shape too large to sweep as it is built, which a frame that needs it exactly sweeps; or from above for
    // good, where it is deeper than a frame needs to know, where the sweep met far more crossings of walls than there
    // are walls, or where a corner is not finite.
    enum class DepthFound : std::uint8_t { exactly, by_parts, from_above };
    std::uint32_t depth = 0;
    // Whether a ray from outside the shape may pass one of its lit faces from behind (see O3duShadowBuilder).
    bool open = false;
    DepthFound depth_found = DepthFound::exactly;

    void clear();
    // The bytes the corners and both index lists have taken, narrow or wide.
    std::size_t bytes() const;
};

class CO3duGLEntity {
public:
    CO3duGLEntity();
    CO3duGLEntity(const CO3duGLEntity&) = delete;
    CO3duGLEntity& operator=(const CO3duGLEntity&) = delete;
    ~CO3duGLEntity();

    // Replaces the sets by conversions of the primitive's sets; index triples that point outside a set's vertex
    // list are dropped.
    void ConvertSets(const CO3duPrimitive& primitive);
    // What one change did: whether the shadow volumes need rebuilding (by the flags asked for; a new draw mode is
    // the modeller's to judge), and whether anything a frame draws of the shape now differs (by what was really
    // replaced).
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

    // The sets, in drawing order.
    std::size_t set_count() const { return data_.set_count(); }
    CO3duGLTrianglePolygons set(std::size_t i) const { return {data_, i}; }
    class SetIterator;
    struct Sets {
        const CO3duGLEntity* entity;
        SetIterator begin() const;
        SetIterator end() const;
    };
    Sets sets() const { return {this}; }
    const O3duShapeData& data() const { return data_; }

    // The draw form, made as it is walked.
    class BatchIterator;
    struct Batches {
        const CO3duGLEntity* entity;
        BatchIterator begin() const;
        BatchIterator end() const;
    };
    Batches batches() const { return {this}; }
    // The batch's look, which is that of its first set.
    CO3duGLTrianglePolygons look(const CO3duGLBatch& batch) const { return set(batch.first_set); }
    // The held vertices the batch draws from.
    O3duFloats positions(const CO3duGLBatch& batch) const;
    O3duFloats normals(const CO3duGLBatch& batch) const;
    O3duFloats colors(const CO3duGLBatch& batch) const;
    O3duFloats tex_coords(const CO3duGLBatch& batch) const;
    // Issues the batch's draw call; the vertex arrays must already point at its first vertex. Returns the triangles
    // it drew.
    std::uint64_t DrawBatch(const CO3duGLBatch& batch) const;
    // The triangles DrawBatch draws of the batch, without drawing.
    std::uint64_t TrianglesOf(const CO3duGLBatch& batch) const;
    // The vertices the batch draws, in the order OpenGL takes them, counted from its first vertex.
    void batch_elements(const CO3duGLBatch& batch, std::vector<std::uint32_t>& out) const;

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

    const OfuMatrix4x4& texture_matrix() const;
    void set_texture_matrix(const OfuMatrix4x4& m);
    // Outlines of the lit parts (drawn at shadow accuracy 1), and one prism of eight vertices a triangle.
    const CO3duShadowVolumes& outline_volumes() const;
    const CO3duShadowVolumes& prism_volumes() const;
    CO3duShadowVolumes& outline_volumes_to_fill();
    CO3duShadowVolumes& prism_volumes_to_fill();
    // Frees both lists; whether they held any volume.
    bool clear_shadow_volumes();
    const COfuPropertySet& prop2() const;
    COfuPropertySet& prop2_to_change();

    // Read for every shape on every frame and pick: kept together at the front, in three cache lines with the
    // model matrix.
    std::int32_t draw_mode = O3DU_DRAW_PICKABLE;
    std::int32_t kind = 0;
    std::uint32_t polygon_mode;  // OpenGL value
    std::int32_t shadow_rebuild = 1;
    // The draw cache's marks: how many frames had begun when what the shape draws last changed, where its draw
    // list holds it, and whether the cache watches it to join a batch once it keeps still.
    std::uint32_t changed_frame = 0;
    enum class CachePlace : std::uint8_t { own, batch, left_out } cache_place = CachePlace::own;
    bool watched = false;
    // Whether the shape's faces close about their inside (1) or not (0), as its shadow volumes' last build found
    // them; -1 until a build has looked, and again once what it draws changes.
    std::int8_t shadow_closed = -1;

private:
    bool all_triangles_ = true;
    bool textured_ = false;
    bool translucent_ = false;
    bool plain_look_ = true;
    float widest_line_ = 1.0f;
    float box_lo_[3] = {1.0f, 1.0f, 1.0f};
    float box_hi_[3] = {-1.0f, -1.0f, -1.0f};

public:
    std::uint32_t layer = 0;
    OfuMatrix4x4 model_matrix;

private:
    O3duShapeData data_;

public:
    CO3duPropertyMap<std::int32_t> prop1;
    CO3duPropertyMap<std::uint64_t> prop3;

private:
    struct Extras;
    Extras& extras();
    // Takes the unpacked sets as the shape's; returns whether what it draws differs from before.
    bool take(const O3duShapeWork& work);
    // The flags and the box, made again from the sets after every change of them.
    void measure();
    void measure_box();

    std::unique_ptr<Extras> extras_;
};

class CO3duGLEntity::SetIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = CO3duGLTrianglePolygons;
    using difference_type = std::ptrdiff_t;
    SetIterator(const CO3duGLEntity* entity, std::size_t i) : entity_(entity), i_(i) {}
    CO3duGLTrianglePolygons operator*() const { return entity_->set(i_); }
    SetIterator& operator++() {
        ++i_;
        return *this;
    }
    bool operator!=(const SetIterator& o) const { return i_ != o.i_; }

private:
    const CO3duGLEntity* entity_;
    std::size_t i_;
};

inline CO3duGLEntity::SetIterator CO3duGLEntity::Sets::begin() const { return {entity, 0}; }
inline CO3duGLEntity::SetIterator CO3duGLEntity::Sets::end() const { return {entity, entity->set_count()}; }

class CO3duGLEntity::BatchIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = CO3duGLBatch;
    using difference_type = std::ptrdiff_t;
    BatchIterator(const CO3duGLEntity* entity, std::size_t first);
    const CO3duGLBatch& operator*() const { return batch_; }
    BatchIterator& operator++();
    bool operator!=(const BatchIterator& o) const { return batch_.first_set != o.batch_.first_set; }

private:
    void gather();
    const CO3duGLEntity* entity_;
    CO3duGLBatch batch_;
};

inline CO3duGLEntity::BatchIterator CO3duGLEntity::Batches::begin() const { return {entity, 0}; }
inline CO3duGLEntity::BatchIterator CO3duGLEntity::Batches::end() const { return {entity, entity->set_count()}; }

// Appends the set's elements as its own vertex numbers (0 for its first vertex), in the order OpenGL draws them:
// fans and strips as the triangles they make, with the winding OpenGL gives each.
void append_set_elements(const CO3duGLTrianglePolygons& set, std::vector<std::uint32_t>& out);

// Polygon modes of the primitive (0 fill, 1 lines, 2 points) and OpenGL's; unknown values fill.
std::uint32_t gl_polygon_mode(std::int32_t primitive_mode);
std::int32_t primitive_polygon_mode(std::uint32_t gl_mode);
