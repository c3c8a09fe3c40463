// A wall's corners in place are the second and third of its second triangle, as the walls are laid down (u', u, v'
// and v', u, v). Each wall lies on the sweep's line from its lower end up to just below its upper one, so at a y
// where walls end and others begin, those ending leave the line before the others join it, and a wall along the
// line (both ends at one y) is on it nowhere: it changes no count along a line at another y.
#include "modeller/shadow/depth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Below this the sum of all the volumes' depths serves as the bound, and no grid is made.
constexpr std::uint64_t kShallow = 256;

constexpr std::uint32_t kNil = ~0u;

// How near a point may come to a wall before it is taken to touch it: 16 steps of a float at the largest coordinate
// of the three points. The corners are floats rounded from where the shape's vertices were moved to, so a corner
// meant to lie on a wall (a T-junction, a plate over a plate) may stand a step off it either way.
constexpr double kNear = 1.0 / (1 << 20);

// Where the point r lies against the wall from p to q: on which side of its line (1 left, -1 right, 0 on it as far as
// sums of doubles tell: they round far less than a float's step), and whether it touches the wall itself.
struct Side {
    int sign;
    bool touching;
};
Side side_of(const float* p, const float* q, const float* r) {
    const double ax = double(q[0]) - p[0], ay = double(q[1]) - p[1], bx = double(r[0]) - p[0], by = double(r[1]) - p[1];
    const double l = ax * by, m = ay * bx, d = l - m, rounding = 1e-12 * (std::fabs(l) + std::fabs(m));
    double largest = 0.0;
    for (const float* v : {p, q, r}) largest = std::max({largest, std::fabs(double(v[0])), std::fabs(double(v[1]))});
    // d and along are the wall's length times the point's distance from its line and along it.
    const double length = std::sqrt(ax * ax + ay * ay), near = kNear * largest * length, along = ax * bx + ay * by;
    return {d > rounding    ? 1
            : d < -rounding ? -1
                            : 0,
            std::fabs(d) <= near && along >= -near && along <= length * length + near};
}

bool same(const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1]; }

// Up to this many walls, the walls met are counted pair by pair first, which for most shapes (a box's outline, a
// plate's) is the depth.
constexpr std::size_t kFew = 8;

// The walls a line meets at most, halved and rounded up, for a shape of kFew walls at most: the line meets the most
// just above the lower end of one of them. Not finite: as many as there are.
std::uint32_t few_walls_met(const CO3duShadowVolumes& volumes) {
    const CO3duVolumeIndices& walls = volumes.walls;
    const std::size_t n = walls.size() / 6;
    const float* corners = volumes.corners.data();
    float lo[kFew], hi[kFew];
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t u = walls.narrow.empty() ? walls.wide[6 * i + 4] : walls.narrow[6 * i + 4],
                          v = walls.narrow.empty() ? walls.wide[6 * i + 5] : walls.narrow[6 * i + 5];
        const float a = corners[u * 3 + 1], b = corners[v * 3 + 1];
        if (!std::isfinite(a) || !std::isfinite(b)) return static_cast<std::uint32_t>(n);
        lo[k] = std::min(a, b), hi[k] = std::max(a, b);
        k += a != b;
    }
    int most = 0;
    for (std::size_t i = 0; i < k; ++i) {
        int met = 0;
        for (std::size_t j = 0; j < k; ++j) met += lo[j] <= lo[i] && lo[i] < hi[j];
        most = std::max(most, met);
    }
    return static_cast<std::uint32_t>((most + 1) / 2);
}

// A float's bits turned so that their order as unsigned numbers is the floats' order (-0 taken as 0).
std::uint32_t ordered_bits(float v) {
    v += 0.0f;
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b & 0x80000000u ? ~b : b | 0x80000000u;
}

// A priority of the treap from a wall's number, spread so that walls put on in order still make a shallow tree.
std::uint32_t priority(std::uint32_t w) {
    std::uint32_t h = w * 0x9E3779B9u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    return h ^ (h >> 13);
}

}  // namespace

std::uint32_t O3duCrossingSweep::most(const CO3duShadowVolumes& volumes) {
    const CO3duVolumeIndices& walls = volumes.walls;
    if (walls.size() <= 6 * kFew) {
        const std::uint32_t met = few_walls_met(volumes);
        if (met <= 1) return met;
    }
    walls_.clear();
    events_.clear();
    bool finite = true;
    for (std::size_t t = 0; t + 5 < walls.size(); t += 6) {
        const float* u = &volumes.corners[std::size_t(walls[t + 4]) * 3];
        const float* v = &volumes.corners[std::size_t(walls[t + 5]) * 3];
        finite = finite && std::isfinite(u[0]) && std::isfinite(u[1]) && std::isfinite(v[0]) && std::isfinite(v[1]);
        if (u[1] + 0.0f == v[1] + 0.0f) continue;
        const bool down = u[1] > v[1];
        const float *lo = down ? v : u, *hi = down ? u : v;
        const auto w = static_cast<std::uint32_t>(walls_.size());
        walls_.push_back({{lo[0], lo[1]}, {hi[0], hi[1]}, down ? 1 : -1});
        events_.push_back(std::uint64_t(ordered_bits(lo[1])) << 32 | 0x80000000u | w);
        events_.push_back(std::uint64_t(ordered_bits(hi[1])) << 32 | w);
    }
    std::sort(events_.begin(), events_.end());
    // The walls met bound the depth from above: where they allow one prism over a point (a lone box's outline, a
    // plate's), that is the depth, and no order along the line is needed.
    const std::uint32_t met = walls_met();
    if (!finite || met <= 1) return met;
    nodes_.resize(walls_.size());
    root_ = kNil;
    unsure_ = false;
    int most = 0;
    for (std::size_t i = 0; i < events_.size();) {
        const std::uint64_t y = events_[i] >> 32;
        for (; i < events_.size() && events_[i] >> 32 == y; ++i) {
            const auto w = static_cast<std::uint32_t>(events_[i] & 0x7FFFFFFFu);
            if (events_[i] & 0x80000000u) {
                // Shamos and Hoey: two walls that meet are next to each other on the line before the lowest point
                // where any two meet, so looking at each pair that comes to stand side by side finds one.
                insert(w);
                const std::uint32_t b = beside(w, 0), a = beside(w, 1);
                unsure_ = unsure_ || (b != kNil && meet(b, w)) || (a != kNil && meet(w, a));
            } else {
                const std::uint32_t b = beside(w, 0), a = beside(w, 1);
                erase(w);
                unsure_ = unsure_ || (b != kNil && a != kNil && meet(b, a));
            }
            if (unsure_) return met;
        }
        if (root_ != kNil) most = std::max(most, nodes_[root_].best);
    }
    return static_cast<std::uint32_t>(most);
}

// Both walls lie on the line just above its y. The one that joined it later (its lower end the higher) is placed by
// the side of the other's line its lower end lies on, or, from a lower end they share, its upper end.
bool O3duCrossingSweep::left_of(std::uint32_t a, std::uint32_t b) {
    const Wall &wa = walls_[a], &wb = walls_[b];
    const bool a_later = wa.lo[1] > wb.lo[1] || (wa.lo[1] == wb.lo[1] && a > b);
    const Wall &later = a_later ? wa : wb, &other = a_later ? wb : wa;
    const Side side = side_of(other.lo, other.hi, same(later.lo, other.lo) ? later.hi : later.lo);
    if (side.sign == 0 || side.touching) {
        unsure_ = true;
        return a < b;
    }
    return a_later == (side.sign > 0);
}

// Whether the walls have a point in common other than one end that both share, or come too near to tell.
bool O3duCrossingSweep::meet(std::uint32_t a, std::uint32_t b) const {
    const Wall &wa = walls_[a], &wb = walls_[b];
    const bool lo_shared = same(wa.lo, wb.lo) || same(wa.lo, wb.hi),
               hi_shared = same(wa.hi, wb.lo) || same(wa.hi, wb.hi);
    if (lo_shared && hi_shared) return true;
    if (lo_shared || hi_shared) {
        // Apart from their shared end, two walls meet only where one runs along the other.
        const float *end = lo_shared ? wa.lo : wa.hi, *far_a = lo_shared ? wa.hi : wa.lo;
        const float* far_b = same(end, wb.lo) ? wb.hi : wb.lo;
        return side_of(end, far_a, far_b).touching || side_of(end, far_b, far_a).touching;
    }
    const Side a_lo = side_of(wb.lo, wb.hi, wa.lo), a_hi = side_of(wb.lo, wb.hi, wa.hi),
               b_lo = side_of(wa.lo, wa.hi, wb.lo), b_hi = side_of(wa.lo, wa.hi, wb.hi);
    if (a_lo.touching || a_hi.touching || b_lo.touching || b_hi.touching) return true;
    // An end on the other's line but beyond the other's ends: the only point where the lines meet.
    if (a_lo.sign == 0 || a_hi.sign == 0 || b_lo.sign == 0 || b_hi.sign == 0) return false;
    return a_lo.sign != a_hi.sign && b_lo.sign != b_hi.sign;
}

void O3duCrossingSweep::pull(std::uint32_t x) {
    Node& n = nodes_[x];
    const std::uint32_t l = n.child[0], r = n.child[1];
    const int through = (l == kNil ? 0 : nodes_[l].sum) + walls_[x].step;
    n.best = std::max(l == kNil ? 0 : nodes_[l].best, through + (r == kNil ? 0 : nodes_[r].best));
    n.sum = through + (r == kNil ? 0 : nodes_[r].sum);
}

// x takes its parent's place, the parent becoming its child on the other side.
void O3duCrossingSweep::rotate_up(std::uint32_t x) {
    Node& n = nodes_[x];
    const std::uint32_t p = n.parent, g = nodes_[p].parent;
    Node& pn = nodes_[p];
    const int side = pn.child[1] == x;
    pn.child[side] = n.child[1 - side];
    if (n.child[1 - side] != kNil) nodes_[n.child[1 - side]].parent = p;
    n.child[1 - side] = p;
    pn.parent = x;
    n.parent = g;
    if (g == kNil)
        root_ = x;
    else
        nodes_[g].child[nodes_[g].child[1] == p] = x;
    pull(p);
    pull(x);
}

void O3duCrossingSweep::insert(std::uint32_t w) {
    nodes_[w] = {{kNil, kNil}, kNil, walls_[w].step, std::max(walls_[w].step, 0)};
    if (root_ == kNil) {
        root_ = w;
        return;
    }
    for (std::uint32_t x = root_;;) {
        std::uint32_t& child = nodes_[x].child[left_of(w, x) ? 0 : 1];
        if (child == kNil) {
            child = w;
            nodes_[w].parent = x;
            break;
        }
        x = child;
    }
    while (nodes_[w].parent != kNil && priority(w) > priority(nodes_[w].parent)) rotate_up(w);
    for (std::uint32_t x = nodes_[w].parent; x != kNil; x = nodes_[x].parent) pull(x);
}

void O3duCrossingSweep::erase(std::uint32_t w) {
    for (;;) {
        const std::uint32_t l = nodes_[w].child[0], r = nodes_[w].child[1];
        if (l == kNil && r == kNil) break;
        rotate_up(r == kNil || (l != kNil && priority(l) > priority(r)) ? l : r);
    }
    const std::uint32_t p = nodes_[w].parent;
    if (p == kNil) {
        root_ = kNil;
        return;
    }
    nodes_[p].child[nodes_[p].child[1] == w] = kNil;
    for (std::uint32_t x = p; x != kNil; x = nodes_[x].parent) pull(x);
}

// The wall next to w on the line, to the right (side 1) or to the left (side 0), or kNil.
std::uint32_t O3duCrossingSweep::beside(std::uint32_t w, int side) const {
    std::uint32_t x = nodes_[w].child[side];
    if (x != kNil) {
        while (nodes_[x].child[1 - side] != kNil) x = nodes_[x].child[1 - side];
        return x;
    }
    std::uint32_t p = nodes_[w].parent;
    for (x = w; p != kNil && nodes_[p].child[side] == x;) x = p, p = nodes_[p].parent;
    return p;
}

// The walls on the line at its most crowded, halved and rounded up: the events already stand in the line's order.
std::uint32_t O3duCrossingSweep::walls_met() const {
    int met = 0, most = 0;
    for (std::uint64_t e : events_) most = std::max(most, met += (e & 0x80000000u) ? 1 : -1);
    return static_cast<std::uint32_t>(most + 1) / 2;
}

std::uint32_t o3du_most_crossed(const CO3duShadowVolumes& volumes) {
    O3duCrossingSweep sweep;
    return sweep.most(volumes);
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
    // Fine enough that shapes apart seldom share a cell.
    const int n = static_cast<int>(std::clamp(std::ceil(4.0 * std::sqrt(double(boxes_.size()))), 256.0, 1024.0));
    // The rows are gone through in order: each box comes onto the row of its lower edge and leaves past the row of
    // its upper one, adding its depth to its first column and taking it away past its last; a row where boxes come
    // or leave is summed along, the others are as the row before. The boxes' places sorted by row, by counting.
    const double across = n / (x1 - x0), up = n / (y1 - y0);
    const auto cell = [n](double v, double lo, double scale) {
        return std::isfinite(scale) ? std::clamp(int((v - lo) * scale), 0, n - 1) : 0;
    };
    std::vector<std::uint32_t> start(std::size_t(n) + 2, 0), order(2 * boxes_.size());
    std::vector<std::int32_t> cells(4 * boxes_.size());
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const Box& b = boxes_[i];
        std::int32_t* c = &cells[4 * i];
        c[0] = cell(b.x0, x0, across), c[1] = cell(b.x1, x0, across) + 1;
        c[2] = cell(b.y0, y0, up), c[3] = cell(b.y1, y0, up) + 1;
        ++start[std::size_t(c[2]) + 1];
        ++start[std::size_t(c[3]) + 1];
    }
    for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        order[start[std::size_t(cells[4 * i + 2])]++] = std::uint32_t(2 * i);
        order[start[std::size_t(cells[4 * i + 3])]++] = std::uint32_t(2 * i + 1);
    }
    // start[r] now stands where row r + 1's boxes begin.
    std::vector<std::int64_t> steps(std::size_t(n) + 1, 0);
    std::int64_t most = 0;
    for (std::size_t r = 0, k = 0; r < std::size_t(n); ++r) {
        if (k == start[r]) continue;
        for (; k < start[r]; ++k) {
            const std::size_t i = order[k] / 2;
            const std::int64_t depth = (order[k] & 1) ? -std::int64_t(boxes_[i].depth) : boxes_[i].depth;
            steps[std::size_t(cells[4 * i])] += depth;
            steps[std::size_t(cells[4 * i + 1])] -= depth;
        }
        std::int64_t sum = 0;
        for (int c = 0; c < n; ++c) most = std::max(most, sum += steps[std::size_t(c)]);
    }
    return static_cast<std::uint32_t>(std::min<std::int64_t>(most, 0xFFFFFFFF));
}
