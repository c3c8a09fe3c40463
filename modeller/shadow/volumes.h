// Building the stencil shadow volumes of one shape in light space (the light shining along -z): the walls that
// the prisms of its lit triangles leave once the walls two prisms share in opposite directions cancel, and at
// outline accuracy the walls along the outlines of the lit parts.
#pragma once
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/ofu_types.h"
#include "modeller/gl_entity.h"
#include "modeller/shadow/depth.h"
#include "modeller/texture_image.h"

struct O3duShadowSettings {
    int accuracy = 0;        // 1: outline volumes as well
    int cull_mode = 0;       // non-zero: triangles facing away from the light cast too, reversed
    double extrusion = 0.0;  // how far the volumes reach along -z at most
    // A plane below every surface a frame draws, light space (a x + b y + c z + d, positive above it, c > 0): a wall
    // ends where it meets it, if that comes before `extrusion`. c == 0: no such plane.
    double floor[4] = {0.0, 0.0, 0.0, 0.0};
    bool every_prism = false;  // keep every prism's three walls, none cancelled (the reference the walls count as)

    // How far along -z the wall from the light-space point p reaches.
    float reach(const float* p) const;
};

// Whether the set casts at all: fully opaque, not a 32-bit texture, drawn as triangles.
bool casts_shadow(const CO3duGLTrianglePolygons& set, bool translucent_texture);
// Whether a set textured with the image casts none: a 32-bit image, whose alpha makes the set translucent.
bool texture_casts_none(const _OfuBitmap& image);

// Gathers the lit triangles of one shape, set by set (and pass by pass), and leaves its volumes when finished.
// One builder serves shape after shape, keeping its scratch memory.
class O3duShadowBuilder {
public:
    // Starts a shape whose volumes go into the two lists, both emptied. Where `closed` is given, it holds whether
    // the shape's faces close as a build before found it (-1 not yet known), and keeps what this build finds.
    void begin(const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms,
               std::int8_t* closed = nullptr);
    // Adds the set's triangles, its vertices moved by to_light (row vectors, divided by w).
    void add_set(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light);
    // Cancels the walls shared in opposite directions and fills the lists.
    void finish();
    // Starts a rebuild of shape after shape: the most scratch one of them uses is counted from here.
    void start_rebuild() { most_used_ = 0; }
    // Whether the scratch holds far more than the largest shape since start_rebuild() used: worth giving back.
    bool holds_far_more_than_used();

private:
    // Calls each(v) for every scratch vector v.
    template <class Each>
    void each_scratch(Each&& each) const;
    // Counts the scratch the shape built last used towards most_used_.
    void count_use();
    void add_lit(std::uint32_t a, std::uint32_t b, std::uint32_t c);
    // Whether the shape's faces close about their inside, turned outwards.
    bool closed();
    // Counts every face's edges in cells_, a table of every two corners, where the shape is small enough for one.
    bool count_edges();
    // Fills edges_ and edge_start_ with the edges of the first `count` faces not aside (closed()'s long way).
    bool gather_edges(std::size_t count);

    O3duShadowSettings settings_;
    CO3duShadowVolumes* outlines_ = nullptr;
    CO3duShadowVolumes* prisms_ = nullptr;
    std::int8_t* known_closed_ = nullptr;
    std::vector<float> points_;           // 3 a vertex of every set added, light space
    std::vector<std::uint32_t> lit_;      // 3 a lit triangle over points_, in its prism's order
    std::vector<std::uint32_t> unlit_;    // 3 a triangle that casts nothing, where back faces are culled
    std::vector<std::uint32_t> triples_;  // scratch of add_set(): 3 a triangle over the set's vertices
    std::vector<float> outline_corners_;  // 3 a corner of the outline walls
    std::vector<std::uint32_t> outline_walls_;
    // Scratch of finish().
    std::vector<std::pair<std::uint64_t, std::uint64_t>> sorted_;  // each position of a triangle, by its bits
    std::vector<std::uint64_t> slots_;  // a table of positions: each one's check (high half) and place in sorted_
    std::vector<std::uint32_t> rank_;   // a position's place in sorted_ once sorted
    std::vector<std::uint32_t> first_point_, corner_of_, kept_, wall_corner_, indices_;
    std::vector<std::uint64_t> walls_;
    // Scratch of closed(): edges with their triangle; each triangle's corners in order, its turn and itself;
    // whether it is left aside, its piece, and a piece's volume and the size of the terms that sum to it.
    // edges_ holds an edge as its higher corner, way and face (bits 33 up, 32, 0-31); those of lower corner c from
    // edge_start_[c].
    std::vector<std::uint64_t> edges_;
    std::vector<std::uint32_t> edge_start_, edge_next_;
    std::size_t gathered_ = 0;  // the faces whose edges edges_ holds as finish() gathered them, none aside
    struct Cell {  // an edge of a small shape: how often each way, the first face each way, how often lit each way
        std::uint8_t times[2], first[2], lit[2];
    };
    bool counted_ = false;                     // cells_ holds this shape's edges
    std::vector<std::uint32_t> face_corners_;  // 3 a face, lit ones first
    std::vector<Cell> cells_;                  // by its lower corner, then its higher
    std::vector<std::array<std::uint32_t, 5>> faces_;
    std::vector<std::uint8_t> aside_;
    std::vector<std::uint32_t> piece_;
    std::vector<double> volume_, scale_;
    O3duWindingDepth depth_;     // each list's depth, from its walls
    std::size_t most_used_ = 0;  // bytes
};

// One set as a whole shape: begin, add_set, finish.
void add_shadow_volumes(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light,
                        const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms);
