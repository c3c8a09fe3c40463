// The shapes of a deep frame cut into groups for a wrapping stencil of seven bits: each group's count at a pixel
// stays below the band that reads as below zero, so it is exact modulo 128, and a frame counts in a few groups
// instead of a batch a shape. Shapes are taken in their order along the light, so a group is a slab of the scene
// across the light and a line along the light meets few of its shapes; a group's bound is the most its shapes'
// depths sum to over one cell of a grid across the light, each shape counted in every cell its walls' box reaches.
#pragma once
#include <cstdint>
#include <vector>

#include "modeller/gl_entity.h"

// A shape a frame counts: its walls, and its prisms for the near plane's rectangle.
struct O3duCountedShape {
    const CO3duShadowVolumes* walls = nullptr;
    const CO3duShadowVolumes* prisms = nullptr;
};

// A run of the shapes, counted in one pass: alone, a shape whose own depth passes a group's, which counts
// saturating.
struct O3duShadowGroup {
    std::size_t begin = 0, end = 0;
    bool alone = false;
};

// Orders the shapes along the light (nearest the light first) and cuts them into groups, each of whose bound is at
// most `capacity`; a shape deeper than that on its own is a group alone.
std::vector<O3duShadowGroup> o3du_shadow_groups(std::vector<O3duCountedShape>& shapes, std::uint32_t capacity);
