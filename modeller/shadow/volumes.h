// Building the stencil shadow volumes of one shape in light space (the light shining along -z): the walls that
// the prisms of its lit triangles leave once the walls two prisms share in opposite directions cancel, and at
// outline accuracy the walls along the outlines of the lit parts.
#pragma once
#include <cstdint>
#include <vector>

#include "geometry/ofu_types.h"
#include "modeller/gl_entity.h"
#include "modeller/shadow/depth.h"

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

// Gathers the lit triangles of one shape, set by set (and pass by pass), and leaves its volumes when finished.
// One builder serves shape after shape, keeping its scratch memory.
class O3duShadowBuilder {
public:
    // Starts a shape whose volumes go into the two lists, both emptied.
    void begin(const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms);
    // Adds the set's triangles, its vertices moved by to_light (row vectors, divided by w).
    void add_set(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light);
    // Cancels the walls shared in opposite directions and fills the lists.
    void finish();

private:
    void add_lit(std::uint32_t a, std::uint32_t b, std::uint32_t c);

    O3duShadowSettings settings_;
    CO3duShadowVolumes* outlines_ = nullptr;
    CO3duShadowVolumes* prisms_ = nullptr;
    std::vector<float> points_;           // 3 a vertex of every set added, light space
    std::vector<std::uint32_t> lit_;      // 3 a lit triangle over points_, in its prism's order
    std::vector<float> outline_corners_;  // 3 a corner of the outline walls
    std::vector<std::uint32_t> outline_walls_;
    // Scratch of finish().
    std::vector<std::uint32_t> order_, first_point_, corner_of_, kept_, wall_corner_, indices_;
    std::vector<std::uint64_t> walls_;
    O3duWindingDepth depth_;  // each list's depth, from its walls
};

// One set as a whole shape: begin, add_set, finish.
void add_shadow_volumes(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light,
                        const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms);
