// Shapes' shadow walls gathered into batches whose shapes cover no common pixel, so that a batch counts the
// increments of all its shapes and then their decrements, and the rasterizer changes its stencil state twice a
// batch instead of twice a shape. A pixel still meets each shape's increments and then its decrements with no other
// shape's between them, though not always in the order of the list: that comes to the same counts, as no shape
// takes away more than it adds where the eye is not within its volume, nor where it is, once the prisms holding the
// eye have added theirs.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "modeller/gl_entity.h"

// The clip coordinates x, y and w of the point (x, y, z) through the matrix m (row vectors).
inline void o3du_clip_xyw(const OfuMatrix4x4& m, double x, double y, double z, double out[3]) {
    for (int j = 0; j < 3; ++j) {
        const int k = j == 2 ? 3 : j;
        out[j] = x * m.m[0][k] + y * m.m[1][k] + z * m.m[2][k] + m.m[3][k];
    }
}

// Where on the screen a shape's walls can fall, in tiles of the viewport; empty when x0 > x1.
struct O3duTileRect {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
};

class O3duWallBatches {
public:
    using Count = std::function<void(const std::vector<const CO3duShadowVolumes*>&)>;

    // A viewport of width x height pixels; count is handed each batch when it is done.
    O3duWallBatches(int width, int height, Count count);

    // The tiles that the walls of the volumes can reach (within the boxes of their corners and of their far ends),
    // through the matrix from light space to clip coordinates (row vectors); every tile when part of a box lies at
    // or behind the eye.
    O3duTileRect footprint(const OfuMatrix4x4& to_clip, const CO3duShadowVolumes& volumes) const;
    // Adds the shape whose walls fall within `tiles` to a batch none of whose shapes reach any of them.
    void add(const CO3duShadowVolumes& volumes, const O3duTileRect& tiles);
    // Counts every batch still open.
    void finish();

private:
    struct Batch {
        std::vector<const CO3duShadowVolumes*> shapes;
        std::vector<std::uint64_t> taken;  // a bit a tile, words_ a row
    };
    O3duTileRect everywhere() const { return {0, 0, columns_ - 1, rows_ - 1}; }
    bool fits(const Batch& batch, const O3duTileRect& r) const;
    void take(Batch& batch, const O3duTileRect& r);
    void count(Batch& batch);

    int width_, height_, columns_, rows_, words_;
    Count count_;
    std::vector<Batch> open_;
    std::size_t pending_ = 0;
};
