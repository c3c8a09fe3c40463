// Cuts a deep frame's shapes into groups whose counts stay exact in seven bits of a wrapping stencil, so such a frame
// counts in a few passes instead of a batch a shape, and keeps the groups for as long as the volumes stay the same.
#pragma once
#include <cstdint>
#include <vector>

#include "modeller/gl_entity.h"

// A shape a frame counts: its walls, and its prisms for the near plane's rectangle.
struct O3duCountedShape {
    const CO3duShadowVolumes* walls = nullptr;
    const CO3duShadowVolumes* prisms = nullptr;
    bool operator==(const O3duCountedShape&) const = default;
};

// A run of the shapes, counted in one pass: alone, a shape whose own depth passes a group's.
struct O3duShadowGroup {
    std::size_t begin = 0, end = 0;
    bool alone = false;
};

// Orders the shapes along the light (nearest the light first) and cuts them into groups, each of whose bound is at
// most `capacity`; a shape deeper than that on its own is a group alone. Shapes are taken in their order along the
// light, so a group is a slab of the scene across the light and a line along the light meets few of its shapes; a
// group's bound is the most its shapes' depths sum to over one cell of a grid across the light, each shape counted
// in every cell its walls' box reaches. The groups follow each other along the light; within one, the shapes keep
// the order of the list.
std::vector<O3duShadowGroup> o3du_shadow_groups(std::vector<O3duCountedShape>& shapes, std::uint32_t capacity);

// The groups of the shapes a frame counts, worked out again only when those shapes, their volumes or the capacity
// changed. The volumes are in light space and the groups take every shape whatever the eye sees of it, so they do
// not depend on the eye: a frame that only moves the eye counts in the groups of the frame before, each group
// counting the shapes of it that it sees (a part of a group is bounded by the group's bound).
class O3duShadowGroups {
public:
    // `shapes`: every shape with walls, in the order of the model's list; `built`: a number that changes whenever
    // some shape's volumes were built anew. Afterwards shapes() holds them group by group and groups() the runs.
    void take(const std::vector<O3duCountedShape>& shapes, std::uint32_t capacity, std::uint64_t built);
    const std::vector<O3duCountedShape>& shapes() const { return along_; }
    const std::vector<O3duShadowGroup>& groups() const { return groups_; }
    // Gives back what the groups hold, as the volumes go.
    void release();

private:
    std::vector<O3duCountedShape> listed_, along_;
    std::vector<O3duShadowGroup> groups_;
    std::uint32_t capacity_ = 0;
    std::uint64_t built_ = 0;
};
