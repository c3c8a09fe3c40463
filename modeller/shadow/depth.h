// How deep a frame's shadow counts can go. A pixel's count is the number of prisms its surface lies in, and no more
// than the sum of the depths of the shapes whose walls' light-space box holds the point; a stencil that wraps shows a
// count of 256 as none, so a frame whose counts may come near that counts otherwise (shadows.h). Each shape's depth
// is worked out from its walls as they are built, the frame's from the shapes' where their boxes meet.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "modeller/gl_entity.h"
#include "modeller/shadow/exact_sign.h"

// The light-space box of walls, and how deep the prisms they close stack within it at most.
struct O3duDepthBox {
    double x0, y0, x1, y1;
    std::uint32_t depth;
};

// The deepest a shape's prisms stack over one point of light space: the most its walls wind about a point. Its walls
// close up around its lit triangles, each walked counter-clockwise seen from the light, so along a line across the
// light-space plane (along x) a wall going down is a way into one more prism and a wall going up a way out of one,
// and the count after any first run of them is the number of prisms over that stretch of the line. A line swept up y
// carries the walls in their order along it and swaps those that cross where they cross (Bentley and Ottmann), so
// every stretch between two walls lies on the line at some height, and the deepest stack is the most any first run
// adds up to. Every order is decided by the exact sign of sums of products of the walls' floats: walls that cross,
// overlap, touch or meet at a T are taken as they stand, and walls along one line, where one leaves and another
// enters, enclose nothing between them. One instance serves shape after shape, keeping its scratch memory.
class O3duWindingDepth {
public:
    // Shapes of up to this many walls are swept as they are built; larger ones only where a frame needs it.
    static constexpr std::size_t kSwept = 2048;

    // The shape's `depth` and `depth_found` as its volumes' builder keeps them: exactly where a few walls, or the
    // walls any line meets, allow one prism over a point, and by the sweep for a shape of up to kSwept walls; for a
    // larger one, its parts (walls joined by their corners), each as deep as half the most of its walls one line
    // meets, summed where the parts' boxes meet: a bound from above, unless that allows one prism over a point.
    void bound(CO3duShadowVolumes& volumes);
    // The deepest stack by the sweep into `depth`; or, as soon as it finds more than `enough`, what it found. False,
    // `depth` left a bound from above, where the walls cross more than eight times as often as there are walls (there
    // the sweep would cost far more than the frame) or a corner is not finite.
    bool deepest(const CO3duShadowVolumes& volumes, std::uint32_t enough, std::uint32_t& depth);
    // A shape bounded from above by its parts' boxes (its corners finite), bounded by its parts' rows instead where
    // that is less: each part counted, row by row, in the cells from the first to the last its walls touch.
    void tighten(CO3duShadowVolumes& volumes);
    // No more than the deepest stack of a shape whose corners are finite: the most prisms over a point of a few lines
    // across the light-space plane; or, as soon as one finds more than `enough`, that.
    std::uint32_t least(const CO3duShadowVolumes& volumes, std::uint32_t enough = ~0u);

private:
    // A wall's ends in light space, low then high along y, and what it adds to a run of the line crossing it.
    struct Wall {
        float lo[2], hi[2];
        int step;
    };
    // The walls on the line in their order along it: a treap (by a priority made from each slot's number) whose
    // every node holds the sum of its subtree's steps and the most that any first run of them adds up to. A wall
    // keeps its slot until walls crossing at one point are put in their new order, which moves them among theirs.
    struct Node {
        std::uint32_t child[2], parent;  // left and right
        int sum, best;
    };
    // Two walls next to each other on the line that cross above it, and where: at the height y / d, d the cross
    // product of their directions, in doubles; and exactly once a comparison has asked for it, kept from `exact`.
    struct Crossing {
        std::uint32_t left, right;
        int turn;  // the sign of d
        O3duApprox y, d;
        mutable std::uint32_t exact;
    };

    bool gather(const CO3duShadowVolumes& volumes);
    std::uint32_t walls_met() const;
    bool parts_bound(const CO3duShadowVolumes& volumes, bool raster, std::uint32_t& depth);
    // The sweep's steps.
    bool placed_left(std::uint32_t w, std::uint32_t v) const;
    void insert(std::uint32_t w);
    void erase(std::uint32_t w);
    void cross_at(const Crossing& c);
    void look_for_crossing(std::uint32_t left, std::uint32_t right);
    bool later(const Crossing& a, const Crossing& b) const;
    int against(const Crossing& c, float y) const;
    void exactly(const Crossing& c, O3duExact& y, O3duExact& d, bool kept) const;
    std::uint32_t beside(std::uint32_t slot, int side) const;
    void rotate_up(std::uint32_t x);
    void pull(std::uint32_t x);
    void pull_up(std::uint32_t x);

    std::vector<Wall> walls_;
    std::vector<std::uint64_t> events_;  // the line's y (ordered bits), then put on (1) or taken off (0), the wall
    std::vector<Node> nodes_;            // by slot
    std::vector<std::uint32_t> slot_of_, wall_of_;
    std::vector<std::uint32_t> waiting_;       // by wall: the wall right of it that it waits to cross, on the heap
    std::vector<Crossing> crossings_;          // a heap, the lowest first
    mutable std::vector<double> exact_parts_;  // the crossings' heights worked out exactly
    mutable std::vector<std::size_t> exact_places_;  // where each one's y and d begin, and where its d ends
    std::vector<std::uint32_t> touched_, block_;
    std::uint32_t root_ = ~0u;
    // Scratch of the bounds that need no sweep.
    std::vector<std::uint32_t> part_, first_, order_;
    std::vector<float> spans_;
    std::vector<std::pair<float, int>> ends_;
    std::vector<std::pair<double, std::uint32_t>> along_;
    std::vector<O3duDepthBox> boxes_;                             // a part's box and depth
    std::vector<std::pair<std::size_t, std::size_t>> box_walls_;  // its walls in order_
    std::vector<std::int32_t> grid_;                              // the parts' depths by cell, as steps along each row
    std::vector<int> row_lo_, row_hi_;
};

// How many shapes the sweep has gone over since the program started (for the tests and benchmarks).
std::uint64_t o3du_winding_sweeps();

// The most that the depths of the volumes added sum to over one point of light space, each counted over the box of
// its walls: on a grid, each box counted in every cell it reaches. Only where that passes `enough` can a shape's depth
// change how the frame counts: then the shapes bounded by their parts are bounded by their parts' rows, and where the
// sum still passes `enough`, swept (unless a line across one already finds more than `enough`), each keeping what it
// was found to be; the sum is worked out again after each.
class O3duShadowDepth {
public:
    void add(CO3duShadowVolumes& volumes);
    std::uint32_t most(std::uint32_t enough);

private:
    std::vector<O3duDepthBox> boxes_;
    std::vector<std::pair<std::size_t, CO3duShadowVolumes*>> bounded_;  // depth bounded only from above, by box
    std::uint64_t total_ = 0;
    std::uint64_t everywhere_ = 0;  // the depths of shapes whose walls reach out of a float's range
};
