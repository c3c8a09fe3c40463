// How deep a frame's shadow counts can go. A pixel's count is the number of prisms its surface lies in, and no more
// than the lit triangles a line along the light crosses there; a stencil that wraps shows a count of 256 as none,
// so a frame whose counts may come near that counts where the stencil saturates instead. The bound is worked out
// from the volumes alone, so it changes only when they are built.
#pragma once
#include <cstdint>
#include <vector>

#include "modeller/gl_entity.h"

// The deepest the shape's own prisms stack over one point of light space: the most its walls wind about a point,
// found by a sweep of a line across the light-space plane (along x, moving up y). Its walls close up around its lit
// triangles, each walked counter-clockwise seen from the light, so along the line a wall going down is a way into
// one more prism and a wall going up a way out of one, and the most any run of them from the line's left end adds up
// to is the most prisms stacked over a point of that line. The walls' order along the line holds from one of their
// ends to the next only while no two of them meet but at a shared end; where two cross, overlap, touch or come
// within 16 float steps of each other, the sweep gives way to the walls the line meets at most, halved (a point
// within k prisms has k more walls on either side of it than against), which no order decides. Those walls met come
// first: where they allow one prism over a point (a lone box's outline, a plate's), no sweep is needed.
// One sweep serves shape after shape, keeping its scratch memory.
class O3duCrossingSweep {
public:
    std::uint32_t most(const CO3duShadowVolumes& volumes);

private:
    // A wall's ends in light space, low then high along y, and what it adds to a run of the line crossing it.
    struct Wall {
        float lo[2], hi[2];
        int step;
    };
    // The walls on the line in their order along it, a treap (by a priority made from each wall's number) whose
    // every node holds the sum of its subtree's steps and the most that any first run of them adds up to.
    struct Node {
        std::uint32_t child[2], parent;  // left and right
        int sum, best;
    };
    bool left_of(std::uint32_t a, std::uint32_t b);
    bool meet(std::uint32_t a, std::uint32_t b) const;
    void insert(std::uint32_t w);
    void erase(std::uint32_t w);
    std::uint32_t beside(std::uint32_t w, int side) const;
    void rotate_up(std::uint32_t x);
    void pull(std::uint32_t x);
    std::uint32_t walls_met() const;

    std::vector<Wall> walls_;
    std::vector<std::uint64_t> events_;  // the line's y (ordered bits), then taken off (0) or put on (1), the wall
    std::vector<Node> nodes_;
    std::uint32_t root_ = 0;
    bool unsure_ = false;  // two walls meet or come too near: their order along the line is not to be trusted
};

// O3duCrossingSweep::most with scratch of its own.
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
