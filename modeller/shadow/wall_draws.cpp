// Gathering walls into draws and pacing them must cost the frame little: corners are copied once a draw, and the
// work a share holds is estimated from the screen area its triangles cover, not measured.
//
// A shape's corners go into the open draw as its wall triangles first use them; a shape that no longer fits there
// starts a new draw, and one that fits no single draw goes on over several. The rasterizer's work is counted in
// the bins it sorts a triangle into, those of its area and of its outline (a triangle that may reach behind the
// eye: the whole screen), and in what it keeps of the triangle itself, as much as a dozen bins' entries take.
#include "modeller/shadow/wall_draws.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The bins of one share of work: a few milliseconds of the threads' time, and a few megabytes of the driver's.
constexpr double kShare = 250000.0;
constexpr double kBin = 64.0;  // the rasterizer's tile, pixels a side
constexpr double kTriangle = 12.0;

// The clip coordinates x, y and w of the point (x, y, z) through the matrix m (row vectors).
void clip_xyw(const OfuMatrix4x4& m, double x, double y, double z, double out[3]) {
    for (int j = 0; j < 3; ++j) {
        const int k = j == 2 ? 3 : j;
        out[j] = x * m.m[0][k] + y * m.m[1][k] + z * m.m[2][k] + m.m[3][k];
    }
}

double g_share_for_testing = 0.0;

std::function<void(bool, GLuint)>& wait_observer() {
    static std::function<void(bool, GLuint)> observer;
    return observer;
}

}  // namespace

void set_wall_share_for_testing(double bins) { g_share_for_testing = bins; }

void set_wall_wait_observer_for_testing(std::function<void(bool finished, GLuint mark)> observer) {
    wait_observer() = std::move(observer);
}

O3duWallDraws::O3duWallDraws(const OfuMatrix4x4& to_clip, int width, int height, const O3duQueryFunctions& queries)
    : to_clip_(to_clip),
      width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      screen_bins_(std::ceil(width_ / kBin) * std::ceil(height_ / kBin)),
      queries_(queries) {}

O3duWallDraws::~O3duWallDraws() {
    for (GLuint& mark : marks_)
        if (mark) queries_.remove(1, &mark);
}

O3duWallDraws::Chunk& O3duWallDraws::open_chunk() {
    if (used_ == chunks_.size()) chunks_.emplace_back();
    return chunks_[used_++];
}

void O3duWallDraws::note_work(const double* a, const double* b, const double* c) {
    double bins = screen_bins_;
    if (a[2] > 0.0 && b[2] > 0.0 && c[2] > 0.0) {
        double x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            const double* p = k == 0 ? a : k == 1 ? b : c;
            x[k] = (p[0] / p[2] + 1.0) * 0.5 * width_, y[k] = (p[1] / p[2] + 1.0) * 0.5 * height_;
        }
        const double area = std::fabs((x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0])) * 0.5;
        const double across = std::max({x[0], x[1], x[2]}) - std::min({x[0], x[1], x[2]}) +
                              std::max({y[0], y[1], y[2]}) - std::min({y[0], y[1], y[2]});
        bins = std::min(area / (kBin * kBin) + across / kBin, screen_bins_);
    }
    work_ += kTriangle + bins;
}

void O3duWallDraws::add(const CO3duShadowVolumes& volumes) {
    const std::size_t n = volumes.corners.size() / 3;
    if (n == 0 || volumes.walls.size() == 0) return;
    clip_.resize(n * 3);
    for (std::size_t c = 0; c < n * 3; c += 3) {
        const float* p = &volumes.corners[c];
        clip_xyw(to_clip_, p[0], p[1], p[2], &clip_[c]);
    }
    placed_.assign(n, ~0u);
    Chunk* chunk = used_ ? &chunks_[used_ - 1] : &open_chunk();
    if (!chunk->corners.empty() && chunk->corners.size() / 3 + n > kCorners) chunk = &open_chunk();
    const CO3duVolumeIndices& walls = volumes.walls;
    for (std::size_t t = 0; t + 2 < walls.size(); t += 3) {
        const std::uint32_t i[3] = {walls[t], walls[t + 1], walls[t + 2]};
        const double* a = &clip_[std::size_t(i[0]) * 3];
        const double* b = &clip_[std::size_t(i[1]) * 3];
        const double* c = &clip_[std::size_t(i[2]) * 3];
        note_work(a, b, c);
        // The orientation of the corners in clip space (x, y, w): one that may lie behind the eye or may be seen
        // edge-on goes to both passes, the culling deciding.
        const double turn = a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                            a[2] * (b[0] * c[1] - b[1] * c[0]);
        const double scale = (std::fabs(a[0]) + std::fabs(a[1]) + std::fabs(a[2])) *
                             (std::fabs(b[0]) + std::fabs(b[1]) + std::fabs(b[2])) *
                             (std::fabs(c[0]) + std::fabs(c[1]) + std::fabs(c[2]));
        const bool ahead = a[2] > 0.0 && b[2] > 0.0 && c[2] > 0.0;
        const bool clockwise = !ahead || turn <= 1e-9 * scale, other = !ahead || turn >= -1e-9 * scale;
        if (chunk->corners.size() / 3 + 3 > kCorners) {
            chunk = &open_chunk();
            placed_.assign(n, ~0u);
        }
        std::uint16_t local[3];
        for (int k = 0; k < 3; ++k) {
            std::uint32_t& at = placed_[i[k]];
            if (at == ~0u) {
                at = static_cast<std::uint32_t>(chunk->corners.size() / 3);
                const float* p = &volumes.corners[std::size_t(i[k]) * 3];
                chunk->corners.insert(chunk->corners.end(), p, p + 3);
            }
            local[k] = static_cast<std::uint16_t>(at);
        }
        if (clockwise) chunk->clockwise.insert(chunk->clockwise.end(), local, local + 3);
        if (other) chunk->other.insert(chunk->other.end(), local, local + 3);
    }
}

void O3duWallDraws::count(GLenum increment, GLenum decrement) {
    if (used_ == 0) return;
    const auto draw = [&](const Chunk& chunk, const std::vector<std::uint16_t>& triangles) {
        if (triangles.empty()) return;
        glVertexPointer(3, GL_FLOAT, 0, chunk.corners.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(triangles.size()), GL_UNSIGNED_SHORT, triangles.data());
        ++draws_;
    };
    glStencilOp(GL_KEEP, GL_KEEP, increment);
    glFrontFace(GL_CW);
    for (std::size_t i = 0; i < used_; ++i) draw(chunks_[i], chunks_[i].clockwise);
    glStencilOp(GL_KEEP, GL_KEEP, decrement);
    glFrontFace(GL_CCW);
    for (std::size_t i = 0; i < used_; ++i) draw(chunks_[i], chunks_[i].other);
    for (std::size_t i = 0; i < used_; ++i) {
        chunks_[i].corners.clear();
        chunks_[i].clockwise.clear();
        chunks_[i].other.clear();
    }
    used_ = 0;
    pace();
}

void O3duWallDraws::pace() {
    if (work_ - shared_ < (g_share_for_testing > 0.0 ? g_share_for_testing : kShare)) return;
    shared_ = work_;
    GLuint& mark = marks_[shares_++ % 2];
    if (!queries_.usable()) {
        // Without queries, every second share waits until the threads are through with all before it.
        if (shares_ % 2 == 0) {
            glFinish();
            if (wait_observer()) wait_observer()(true, 0);
        } else {
            glFlush();
        }
        return;
    }
    if (mark)
        wait_for_mark(mark);
    else
        queries_.generate(1, &mark);
    queries_.begin(GL_SAMPLES_PASSED, mark);
    queries_.end(GL_SAMPLES_PASSED);
    glFlush();
}

void O3duWallDraws::wait_for_mark(GLuint mark) {
    // A share the threads are through with already takes no wait; any other, its result waits for them.
    GLuint through = 0;
    queries_.result(mark, GL_QUERY_RESULT_AVAILABLE, &through);
    if (through) return;
    GLuint samples = 0;
    queries_.result(mark, GL_QUERY_RESULT, &samples);
    if (wait_observer()) wait_observer()(false, mark);
}
