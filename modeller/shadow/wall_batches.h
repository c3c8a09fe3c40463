// Gathers shapes whose walls reach no common pixel into batches where the stencil saturates, so the rasterizer
// changes its stencil state twice a batch instead of twice a shape while each shape still counts on its own.
//
// A batch counts the increments of all its shapes and then their decrements. A pixel still meets each shape's
// increments and then its decrements with no other shape's between them, though not always in the order of the list:
// that comes to the same counts, as no shape takes away more than it adds where a pixel's ray does not start within
// its volume (a shape whose prisms the near plane's rectangle reaches into counts on its own, after those prisms have
// added theirs). Where the stencil wraps, every shape's walls count in one go instead.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "modeller/gl_entity.h"

class O3duWallBatches {
public:
    using Count = std::function<void(const std::vector<const CO3duShadowVolumes*>&)>;

    // A viewport of width x height pixels; count is handed each batch when it is done.
    O3duWallBatches(int width, int height, Count count);

    // Adds the shape to an open batch none of whose shapes' walls can reach the tiles its own walls can reach
    // through to_clip (light space to clip coordinates, row vectors), counting the oldest batch first when every
    // one is taken there; a shape whose walls reach no pixel is left out.
    void add(const OfuMatrix4x4& to_clip, const CO3duShadowVolumes& volumes);
    // Counts every batch still open.
    void finish();

    // A point on the screen, in pixels.
    struct Point {
        double x, y;
    };

private:
    // A run of tiles x0..x1 in one row of tiles.
    struct Run {
        int row, x0, x1;
    };
    static constexpr int kTile = 4;  // pixels a side
    // Shapes of up to so many corners are followed by the hull of their corners; larger ones by that of their box.
    static constexpr std::size_t kCornersFollowed = 64;
    // The tiles of the viewport the walls can reach, in runs: within the hull of the walls' corners and far ends on
    // the screen, or, for a shape of many corners or one reaching behind the near plane, within the light-space box
    // of them all (which the walls sweep along the light) on the eye's side of that plane; widened by a pixel
    // either way.
    void footprint(const OfuMatrix4x4& to_clip, const CO3duShadowVolumes& volumes, std::vector<Run>& runs);
    struct Batch {
        std::vector<const CO3duShadowVolumes*> shapes;
        std::vector<Run> runs;  // the tiles its shapes took
        std::size_t corners = 0;
        std::uint64_t opened = 0;
    };
    void count(int slot);

    int width_, height_, columns_, rows_;
    Count count_;
    static constexpr int kSlots = 64;
    Batch open_[kSlots];
    std::vector<std::uint64_t> taken_;  // a tile's bit for each open batch whose shapes reach it
    std::uint64_t added_ = 0;
    // Scratch of footprint().
    std::vector<Run> runs_;
    std::vector<Point> points_, hull_;
    std::vector<double> row_lo_, row_hi_;
};
