// A wall's corners in place are the second and third of its second triangle, as the walls are laid down (u', u, v'
// and v', u, v). Counting the walls a line meets takes each wall's span across the plane as reaching from its lower
// end up to just below its upper one, so a line through a corner meets the walls of a closed outline as often as a
// line beside it does.
#include "modeller/gl_shadow_depth.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Below this the sum of all the volumes' depths serves as the bound, and no grid is made.
constexpr std::uint64_t kShallow = 256;

}  // namespace

std::uint32_t o3du_most_crossed(const CO3duShadowVolumes& volumes) {
    const CO3duVolumeIndices& walls = volumes.walls;
    std::vector<std::pair<float, int>> ends;
    for (std::size_t t = 0; t + 5 < walls.size(); t += 6) {
        const float a = volumes.corners[std::size_t(walls[t + 4]) * 3 + 1];
        const float b = volumes.corners[std::size_t(walls[t + 5]) * 3 + 1];
        if (a == b) continue;
        ends.push_back({std::min(a, b), 1});
        ends.push_back({std::max(a, b), -1});
    }
    // A wall ending where another begins is left before that one is met.
    std::sort(ends.begin(), ends.end());
    int met = 0, most = 0;
    for (const auto& end : ends) most = std::max(most, met += end.second);
    return static_cast<std::uint32_t>(most + 1) / 2;
}

void O3duShadowDepth::add(const CO3duShadowVolumes& volumes) {
    if (volumes.walls_lo[0] > volumes.walls_hi[0] || volumes.depth == 0) return;
    boxes_.push_back(
        {volumes.walls_lo[0], volumes.walls_lo[1], volumes.walls_hi[0], volumes.walls_hi[1], volumes.depth});
    total_ += volumes.depth;
}

std::uint32_t O3duShadowDepth::most() const {
    if (total_ <= kShallow) return static_cast<std::uint32_t>(total_);
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const Box& b : boxes_)
        x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0), x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
    // Fine enough that shapes apart seldom share a cell, and a few megabytes at most.
    const int n = static_cast<int>(std::clamp(std::ceil(4.0 * std::sqrt(double(boxes_.size()))), 256.0, 1024.0));
    const auto cell = [n](double v, double lo, double hi) {
        return hi > lo ? std::clamp(int(std::floor((v - lo) / (hi - lo) * n)), 0, n - 1) : 0;
    };
    // Each box adds its depth at one corner of its cells and takes it away beyond the others; summed along both
    // axes, every cell holds the depths of the boxes reaching it.
    const std::size_t side = std::size_t(n) + 1;
    std::vector<std::int64_t> sums(side * side, 0);
    for (const Box& b : boxes_) {
        const int c0 = cell(b.x0, x0, x1), c1 = cell(b.x1, x0, x1) + 1, r0 = cell(b.y0, y0, y1),
                  r1 = cell(b.y1, y0, y1) + 1;
        sums[r0 * side + c0] += b.depth;
        sums[r0 * side + c1] -= b.depth;
        sums[r1 * side + c0] -= b.depth;
        sums[r1 * side + c1] += b.depth;
    }
    std::int64_t most = 0;
    for (std::size_t r = 0; r < side; ++r)
        for (std::size_t c = 0; c < side; ++c) {
            std::int64_t& s = sums[r * side + c];
            if (r > 0) s += sums[(r - 1) * side + c];
            if (c > 0) s += sums[r * side + c - 1];
            if (r > 0 && c > 0) s -= sums[(r - 1) * side + c - 1];
            most = std::max(most, s);
        }
    return static_cast<std::uint32_t>(most);
}
