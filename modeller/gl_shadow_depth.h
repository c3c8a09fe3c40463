// How deep a frame's shadow counts can go. A pixel's count is the number of prisms its surface lies in, and no more
// than the lit triangles a line along the light crosses there; a stencil that wraps shows a count of 256 as none,
// so a frame whose counts may come near that counts where the stencil saturates instead. The bound is worked out
// from the volumes alone, so it changes only when they are built.
#pragma once
#include <cstdint>
#include <vector>

#include "modeller/gl_entity.h"

// The most of the shape's lit triangles that one line along the light can cross: half the most of its walls that
// one line across the light-space plane (along x) meets, rounded up. Its walls close up around its lit triangles,
// each walked counter-clockwise seen from the light, so a point within k of them has k more walls on either side
// of it than against.
std::uint32_t o3du_most_crossed(const CO3duShadowVolumes& volumes);

// The most that any line along the light can cross of the volumes added, each as often as it may be crossed: from
// the light-space boxes of their walls, on a grid, each box counted in every cell it reaches.
class O3duShadowDepth {
public:
    void add(const CO3duShadowVolumes& volumes);
    std::uint32_t most() const;

private:
    struct Box {
        double x0, y0, x1, y1;
        std::uint32_t depth;
    };
    std::vector<Box> boxes_;
    std::uint64_t total_ = 0;
};
