// O3duShapeData: everything one shape of the OpenGL modeller draws, in one block of memory: its sets, what each
// set looks like (held once for the sets that look alike), the vertex arrays OpenGL takes (positions, normals,
// colours, texture coordinates) and the index triples of indexed sets. A vertex that sets without indices give
// more than once, to the bit (the corners faces share), is held once and the sets name it by its number; only the
// first 65,536 such vertices of a shape (what 16-bit numbers name) are matched so, later ones are held as they
// come. The vertices of an indexed set follow each other, as its triples count them. Colours and texture
// coordinates are held only when one of them is not zero. The block is made whole from the unpacked form
// (O3duShapeWork); only its positions and normals are ever changed in place.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/ofu_types.h"

// What a set looks like.
struct O3duSetPaint {
    _OfuMaterial material;  // diffuse, ambient, specular, emission (carried, never drawn), power
    float line_width = 1.0f;
    std::int32_t texture_number = 0;
    std::int32_t material_kind = 0;
};

// Where a set lies in the shape's arrays and how it is drawn.
struct O3duSetRange {
    // Indexed sets: their first vertex. Other sets: where the numbers of their vertices start.
    std::uint32_t first_vertex = 0;
    std::int32_t vertex_count = 0;
    std::uint32_t first_index = 0;  // indexed sets: where their triples start in the shape's index array
    std::int32_t element_count = 0;
    std::uint32_t paint = 0;
    std::uint16_t mode = 0;  // OpenGL primitive
    std::uint16_t indexed = 0;
};

// One set unpacked.
struct O3duWorkSet {
    std::uint32_t first_vertex = 0;      // where the set's vertices start in the store
    std::vector<std::uint32_t> indices;  // 3 an element, counted from the set's first vertex
    _OfuMaterial material;
    std::int32_t vertex_count = 0;
    std::int32_t element_count = 0;
    std::uint32_t mode = 0;
    std::int32_t indexed = 0;
    std::int32_t material_kind = 0;
    float line_width = 1.0f;
    std::int32_t texture_number = 0;
};

// Every vertex of one shape unpacked, set after set. Colours and texture coordinates are held only once one of
// them is not zero: an empty array stands for all (0, 0, 0, 1) and all (0, 0).
struct CO3duGLVertexStore {
    std::vector<float> positions;   // 3 a vertex
    std::vector<float> normals;     // 3 a vertex
    std::vector<float> colors;      // 4 a vertex (alpha always 1), or empty
    std::vector<float> tex_coords;  // 2 a vertex, or empty

    std::size_t vertex_count() const { return positions.size() / 3; }
    void hold_colors();
    void hold_tex_coords();
};

// A shape unpacked, for the changes that rework its sets.
struct O3duShapeWork {
    std::vector<O3duWorkSet> sets;
    CO3duGLVertexStore store;
};

class O3duShapeData {
public:
    O3duShapeData() = default;
    O3duShapeData(O3duShapeData&&) noexcept = default;
    O3duShapeData& operator=(O3duShapeData&&) noexcept = default;

    static O3duShapeData pack(const O3duShapeWork& work);
    O3duShapeWork unpack() const;

    std::uint32_t set_count() const { return header().set_count; }
    std::uint32_t paint_count() const { return header().paint_count; }
    const O3duSetRange& range(std::size_t set) const { return ranges()[set]; }
    const O3duSetPaint& paint(std::size_t paint) const { return paints()[paint]; }

    // The vertices held, each once.
    std::uint32_t vertex_count() const { return header().vertex_count; }
    const float* positions() const { return floats(positions_at()); }
    float* positions() { return mutable_floats(positions_at()); }
    const float* normals() const { return floats(normals_at()); }
    float* normals() { return mutable_floats(normals_at()); }
    // Null when the shape holds none.
    const float* colors() const { return has(kColors) ? floats(colors_at()) : nullptr; }
    const float* tex_coords() const { return has(kTexCoords) ? floats(tex_coords_at()) : nullptr; }
    const std::uint32_t* indices() const;

    // The vertex numbers of the sets without indices, 16 bits each when every vertex can be named so, else 32.
    bool short_numbers() const { return has(kShortNumbers); }
    const void* numbers() const;
    // The number of the held vertex that is vertex i of the set.
    std::uint32_t vertex_of(const O3duSetRange& set, std::size_t i) const {
        if (set.indexed) return set.first_vertex + std::uint32_t(i);
        const std::size_t at = set.first_vertex + i;
        return short_numbers() ? static_cast<const std::uint16_t*>(numbers())[at]
                               : static_cast<const std::uint32_t*>(numbers())[at];
    }

    // The same sets, looks and vertices, to the bit.
    bool operator==(const O3duShapeData& other) const;
    std::size_t size_in_bytes() const;

private:
    struct Header {
        std::uint32_t set_count = 0;
        std::uint32_t paint_count = 0;
        std::uint32_t vertex_count = 0;
        std::uint32_t index_count = 0;
        std::uint32_t number_count = 0;
        std::uint32_t flags = 0;
    };
    static constexpr std::uint32_t kColors = 1, kTexCoords = 2, kShortNumbers = 4;

    const Header& header() const;
    bool has(std::uint32_t flag) const { return (header().flags & flag) != 0; }
    const O3duSetRange* ranges() const;
    const O3duSetPaint* paints() const;
    // Byte offsets of the arrays, which follow each other in this order.
    std::size_t positions_at() const;
    std::size_t normals_at() const { return positions_at() + 12 * std::size_t(vertex_count()); }
    std::size_t colors_at() const { return normals_at() + 12 * std::size_t(vertex_count()); }
    std::size_t tex_coords_at() const { return colors_at() + (has(kColors) ? 16 * std::size_t(vertex_count()) : 0); }
    std::size_t indices_at() const { return tex_coords_at() + (has(kTexCoords) ? 8 * std::size_t(vertex_count()) : 0); }
    std::size_t numbers_at() const { return indices_at() + 4 * std::size_t(header().index_count); }
    const float* floats(std::size_t at) const;
    float* mutable_floats(std::size_t at);

    std::unique_ptr<std::byte[]> bytes_;  // null for a shape without sets
};
