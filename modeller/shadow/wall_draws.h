// Hands the shadow walls to the driver in draws of at most 65,536 corners and in shares of work, so that 16-bit
// indices serve and the software rasterizer's queue stays as short as a plain frame keeps it.
//
// A draw hands the driver at most 65,536 corners, which its 16-bit indices reach, whatever the shapes hold; each
// wall triangle goes only to the pass whose culling keeps it. The software rasterizer queues what it is handed for its
// threads, taking a new place in its queue whenever every place is busy, and an idle place keeps the memory of the
// work it last held until it is used again, for as long as the driver lives; so the work goes on in shares, and a
// share first waits until the threads are through with the share two before it.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "modeller/gl_capabilities.h"
#include "modeller/gl_entity.h"

class O3duWallDraws {
public:
    // to_clip: light space to clip coordinates (row vectors), for telling the facing of each wall triangle; the
    // viewport of width x height pixels, for the work the rasterizer is handed; the context's queries, which mark
    // how far the rasterizer threads have come (none: the shares wait on glFinish instead).
    O3duWallDraws(const OfuMatrix4x4& to_clip, int width, int height, const O3duQueryFunctions& queries);
    ~O3duWallDraws();
    O3duWallDraws(const O3duWallDraws&) = delete;
    O3duWallDraws& operator=(const O3duWallDraws&) = delete;

    // Gathers the walls of one shape.
    void add(const CO3duShadowVolumes& volumes);
    // Whether what is gathered fills more than one draw.
    bool spills() const { return used_ > 1; }
    // Draws every triangle gathered with front faces clockwise under the stencil operation `increment`, then the
    // counter-clockwise ones under `decrement`, and empties the gathering.
    void count(GLenum increment, GLenum decrement);
    // The draws of walls made so far.
    std::uint64_t draws() const { return draws_; }

    // The corners one draw holds at most.
    static constexpr std::size_t kCorners = 65536;

private:
    struct Chunk {
        std::vector<float> corners;                   // 3 a corner
        std::vector<std::uint16_t> clockwise, other;  // 3 a triangle
    };
    Chunk& open_chunk();
    // Counts the rasterizer's work for a triangle of clip coordinates a, b, c (x, y, w).
    void note_work(const double* a, const double* b, const double* c);
    // Hands a share of work on to the rasterizer threads once enough has been drawn.
    void pace();
    // Waits until the threads are through with the share that `mark` ended.
    void wait_for_mark(GLuint mark);

    OfuMatrix4x4 to_clip_;
    double width_, height_, screen_bins_;
    O3duQueryFunctions queries_;
    std::vector<Chunk> chunks_;
    std::size_t used_ = 0;
    std::vector<double> clip_;
    std::vector<std::uint32_t> placed_;  // a shape's corner in the open chunk, or ~0
    std::uint64_t draws_ = 0;
    // The rasterizer's bins (64-pixel tiles) the triangles drawn fill, in all and when the last share went on.
    double work_ = 0.0, shared_ = 0.0;
    // A mark after each of the last two shares (an empty occlusion query), whose result comes once the threads are
    // through with it; none where the context has no queries.
    GLuint marks_[2] = {0, 0};
    unsigned shares_ = 0;
};

// Makes a share of the walls' work `bins` of the rasterizer's bins instead of its default (0: the default again),
// so that a small scene goes on in shares too; for the tests of the pacing.
void set_wall_share_for_testing(double bins);
// Called after each wait for the rasterizer threads between shares: every glFinish (a context without queries;
// finished true, mark 0), and each wait on the result of a query, `mark`, that was not there yet when the share
// asked for it; empty: nothing is called.
void set_wall_wait_observer_for_testing(std::function<void(bool finished, GLuint mark)> observer);
