// O3duDrawCache: what the opaque pass draws, kept between frames as one array in drawing order. The still shapes
// of an item that follow each other in the list are one static batch in the frame of the first of them, its
// matrix applied by OpenGL: their vertices moved into that frame, coloured per vertex, one draw for each run of
// sets that light alike. Every other shape stays an entry of its own and is drawn as it is at the time.
#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "modeller/gl_structure.h"
#include "modeller/gl_view_volume.h"

// The 64-bit property (SetProp3) that names a shape's item: shapes with the same non-zero value may be drawn in
// one batch. It only groups: whatever the values, the frame shows what drawing shape by shape shows.
constexpr int kO3duItemProperty = 5;

// How a run of sets of a batch is lit besides its vertex colours, which give the diffuse colour, and the ambient
// colour too where the sets' ambient colour equals their diffuse one.
struct O3duBatchLook {
    bool ambient_follows = false;
    float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};  // when it does not follow
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
    bool operator==(const O3duBatchLook&) const = default;
};

struct O3duItemBatch {
    // One draw: indices first..first+count of the batch, lit alike.
    struct Part {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        O3duBatchLook look;
    };

    std::vector<CO3duGLEntity*> members;  // in drawing order
    std::uint32_t built_frame = 0;        // the frame the batch was made in
    OfuMatrix4x4 frame;                   // the first member's model matrix
    // Per vertex, one after another: position and normal in the frame, then the colour (3 floats each). One array
    // is handed to OpenGL in one piece, where three would be taken one by one at every draw.
    static constexpr std::size_t kStride = 9;
    std::vector<float> vertices;
    std::vector<std::uint16_t> short_indices;  // triangles, when every vertex can be named so
    std::vector<std::uint32_t> indices;        // triangles, otherwise
    std::size_t vertex_count() const { return vertices.size() / kStride; }
    std::vector<Part> parts;
    O3duWorldBox box;  // around every member, in world coordinates
};

// One entry of the draw list: a batch, with its box so that a batch out of sight is passed over without reading
// it, or one shape. A batch's node is its first member's, from which its members are found in the list when
// the batch is drawn shape by shape instead.
struct O3duDrawEntry {
    float centre[3];
    float extent[3];
    const O3duItemBatch* batch;
    _OfuPosition* node;
};

class O3duDrawCache {
public:
    // Called for every change of what a shape draws (geometry, look, matrices, draw mode, layer, item).
    void changed(CO3duGLEntity& entity);
    // Starts a frame: brings the draw list up to date with the list, the changes since the last frame and the
    // number of textures, and returns it.
    const std::vector<O3duDrawEntry>& begin_frame(const CO3duGLStructure& structure, int texture_count);
    // Drops every batch; the next frame starts the list afresh.
    void clear();

    std::size_t batch_count() const { return batches_.size(); }

private:
    // Whether a shape can join a batch when it is still: an item, a plain look, no texture in use, drawn filled
    // and lit, and a matrix that moves without projecting.
    bool can_join(const CO3duGLEntity& entity, int texture_count) const;
    bool is_still(const CO3duGLEntity& entity) const { return entity.changed_frame + 1 < frames_; }
    void rebuild(const CO3duGLStructure& structure, int texture_count);
    // The batches of the last walk by their first member.
    using OldBatches = std::unordered_map<const CO3duGLEntity*, std::unique_ptr<O3duItemBatch>>;
    // Puts the batch of the members gathered so far on the list: the old one when it holds the same members, none
    // of which changed since it was made, else a new one.
    void close_run(OldBatches& old, std::vector<CO3duGLEntity*>& members, _OfuPosition* first);

    std::uint32_t frames_ = 0;  // frames begun
    bool dirty_ = true;
    std::uint64_t list_version_ = 0;
    int texture_count_ = -1;
    std::vector<O3duDrawEntry> entries_;
    std::vector<std::unique_ptr<O3duItemBatch>> batches_;
    std::vector<CO3duGLEntity*> watched_;  // shapes of no batch that were changed, until they keep still
};

// Makes the batch of the members (each a shape that can join, in drawing order, all of one item).
std::unique_ptr<O3duItemBatch> make_item_batch(const std::vector<CO3duGLEntity*>& members, std::uint32_t frame);

// Switched off, frames draw every shape on its own, as a modeller with hooks of its own does; for the tests and
// benchmarks that compare both.
void set_draw_cache_for_testing(bool on);
bool draw_cache_enabled();
