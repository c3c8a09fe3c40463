// A wall's corners in place are the second and third of its second triangle, as the walls are laid down (u', u, v'
// and v', u, v). A wall lies on the sweep's line from its lower end up to just below its upper one, so at a y where
// walls end and others begin, those ending leave the line before the others join it, and a wall along the line (both
// ends at one y) lies on it nowhere: it changes no count along a line at another y. The line stops at each y where a
// wall ends or begins or two walls cross; between two such stops its order stays, so the most any first run adds up
// to just above each stop is the most over every stretch of the plane between walls.
#include "modeller/shadow/depth.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numeric>
#include <optional>
#include <type_traits>
#include <utility>

#include "modeller/shadow/exact_sign.h"

namespace {

// Below this the sum of all the depths serves as the bound, and no grid is made.
constexpr std::uint64_t kShallow = 256;

constexpr std::uint32_t kNil = ~0u;

using Found = CO3duShadowVolumes::DepthFound;

// Up to this many walls, a shape's walls met are counted pair by pair, which for most shapes (a box's outline, a
// plate's) is the depth.
constexpr std::size_t kFew = 8;

// The lines across the plane `least` counts along.
constexpr int kLines = 32;

std::atomic<std::uint64_t> g_sweeps{0};

bool same(const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1]; }

// a - b of two floats as the number type of a sum.
template <class T>
T minus(float a, float b) {
    return o3du_difference(a, b, T());
}

// The sign of (a - b)(c - d) - (e - f)(g - h) of floats: where the four differences are exact in doubles, by
// Kahan's determinant; else as any other sum.
int sign_of_cross(float a, float b, float c, float d, float e, float f, float g, float h) {
    double ab, cd, ef, gh;
    const bool exact_ab = o3du_exact_difference(a, b, ab), exact_cd = o3du_exact_difference(c, d, cd),
               exact_ef = o3du_exact_difference(e, f, ef), exact_gh = o3du_exact_difference(g, h, gh);
    // Each difference and product rounds once, the sum once more: within eight roundings of the products' size.
    const double l = ab * cd, r = ef * gh, value = l - r, rounding = 8 * 1.12e-16 * (std::fabs(l) + std::fabs(r));
    if (value > rounding) return 1;
    if (value < -rounding) return -1;
    if (exact_ab && exact_cd && exact_ef && exact_gh) return o3du_sign_of_products(ab, cd, ef, gh);
    return o3du_exact_sign([&](auto zero) {
        using T = decltype(zero);
        return minus<T>(a, b) * minus<T>(c, d) - minus<T>(e, f) * minus<T>(g, h);
    });
}

// Which side of the line from lo up to hi the point p lies on: 1 to its left (lower x), -1 to its right, 0 on it.
int side(const float* lo, const float* hi, const float* p) {
    if (same(p, lo) || same(p, hi)) return 0;
    return sign_of_cross(hi[0], lo[0], p[1], lo[1], hi[1], lo[1], p[0], lo[0]);
}

// The sign of the cross product of two walls' directions, each from its low end up: -1 where the first leans
// further left (less x for each step up y), so that from a point both pass through it runs left of the second.
int turn(const float* a_lo, const float* a_hi, const float* b_lo, const float* b_hi) {
    return sign_of_cross(a_hi[0], a_lo[0], b_hi[1], b_lo[1], a_hi[1], a_lo[1], b_hi[0], b_lo[0]);
}

// Where the lines of walls a and b cross: at the height y / d, d the cross product of their directions, and, asked
// for, across the plane at x / d.
template <class T>
void crossing_point(const float* a_lo, const float* a_hi, const float* b_lo, const float* b_hi, T& y, T& d,
                    T* x = nullptr) {
    const T ax = minus<T>(a_hi[0], a_lo[0]), ay = minus<T>(a_hi[1], a_lo[1]);
    const T bx = minus<T>(b_hi[0], b_lo[0]), by = minus<T>(b_hi[1], b_lo[1]);
    d = ax * by - ay * bx;
    const T along = minus<T>(b_lo[0], a_lo[0]) * by - minus<T>(b_lo[1], a_lo[1]) * bx;
    y = T(a_lo[1]) * d + along * ay;
    if (x) *x = T(a_lo[0]) * d + along * ax;
}

// A float's bits turned so that their order as unsigned numbers is the floats' order (-0 taken as 0).
std::uint32_t ordered_bits(float v) {
    v += 0.0f;
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b & 0x80000000u ? ~b : b | 0x80000000u;
}

float height_of(std::uint64_t event) {
    std::uint32_t b = static_cast<std::uint32_t>(event >> 32);
    b = b & 0x80000000u ? b & 0x7FFFFFFFu : ~b;
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// A priority of the treap from a slot's number, spread so that walls put on in order still make a shallow tree.
std::uint32_t priority(std::uint32_t w) {
    std::uint32_t h = w * 0x9E3779B9u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    return h ^ (h >> 13);
}

// A wall's ends in place, from the walls' index list.
const float* wall_end(const CO3duShadowVolumes& volumes, std::size_t wall, int end) {
    return &volumes.corners[std::size_t(volumes.walls[6 * wall + 4 + end]) * 3];
}

bool finite_end(const float* p) { return std::isfinite(p[0]) && std::isfinite(p[1]); }

// Half the most of the spans (low and high y of walls not along x) that one line across the plane meets, rounded up:
// a point within k prisms has k more walls on one side of it than against, on either side. The line meets the most
// just above the lower end of one of them; pair by pair for a few, from the sorted ends otherwise.
std::uint32_t half_most_met(const std::vector<float>& spans, std::vector<std::pair<float, int>>& ends) {
    const std::size_t k = spans.size() / 2;
    int most = 0;
    if (k <= kFew) {
        for (std::size_t i = 0; i < k; ++i) {
            int met = 0;
            for (std::size_t j = 0; j < k; ++j) met += spans[2 * j] <= spans[2 * i] && spans[2 * i] < spans[2 * j + 1];
            most = std::max(most, met);
        }
    } else {
        ends.clear();
        for (std::size_t i = 0; i < k; ++i) ends.push_back({spans[2 * i], 1}), ends.push_back({spans[2 * i + 1], -1});
        // A wall ending where another begins is left before that one is met.
        std::sort(ends.begin(), ends.end());
        int met = 0;
        for (const auto& e : ends) most = std::max(most, met += e.second);
    }
    return static_cast<std::uint32_t>(most + 1) / 2;
}

// The most the boxes' depths sum to over one point, on a grid of cells: each box counted in every cell it reaches.
std::uint64_t most_over_boxes(const std::vector<O3duDepthBox>& boxes, std::uint64_t total) {
    if (total <= kShallow) return total;
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const O3duDepthBox& b : boxes)
        x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0), x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
    // Fine enough that shapes apart seldom share a cell.
    const int n = static_cast<int>(std::clamp(std::ceil(4.0 * std::sqrt(double(boxes.size()))), 256.0, 1024.0));
    // The rows are gone through in order: each box comes onto the row of its lower edge and leaves past the row of
    // its upper one, adding its depth to its first column and taking it away past its last; a row where boxes come
    // or leave is summed along, the others are as the row before. The boxes' places sorted by row, by counting.
    const double across = n / (x1 - x0), up = n / (y1 - y0);
    const auto cell = [n](double v, double lo, double scale) {
        return std::isfinite(scale) ? std::clamp(int((v - lo) * scale), 0, n - 1) : 0;
    };
    std::vector<std::uint32_t> start(std::size_t(n) + 2, 0), order(2 * boxes.size());
    std::vector<std::int32_t> cells(4 * boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const O3duDepthBox& b = boxes[i];
        std::int32_t* c = &cells[4 * i];
        c[0] = cell(b.x0, x0, across), c[1] = cell(b.x1, x0, across) + 1;
        c[2] = cell(b.y0, y0, up), c[3] = cell(b.y1, y0, up) + 1;
        ++start[std::size_t(c[2]) + 1];
        ++start[std::size_t(c[3]) + 1];
    }
    for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
    for (std::size_t i = 0; i < boxes.size(); ++i) {
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
            const std::int64_t depth = (order[k] & 1) ? -std::int64_t(boxes[i].depth) : boxes[i].depth;
            steps[std::size_t(cells[4 * i])] += depth;
            steps[std::size_t(cells[4 * i + 1])] -= depth;
        }
        std::int64_t sum = 0;
        for (int c = 0; c < n; ++c) most = std::max(most, sum += steps[std::size_t(c)]);
    }
    return static_cast<std::uint64_t>(most);
}

std::uint32_t clamped(std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); }

}  // namespace

void O3duWindingDepth::bound(CO3duShadowVolumes& volumes) {
    const std::size_t n = volumes.walls.size() / 6;
    volumes.depth_found = Found::exactly;
    if (n <= kFew) {
        spans_.clear();
        for (std::size_t i = 0; i < n; ++i) {
            const float *u = wall_end(volumes, i, 0), *v = wall_end(volumes, i, 1);
            if (!finite_end(u) || !finite_end(v)) {
                volumes.depth = static_cast<std::uint32_t>(n);
                volumes.depth_found = Found::from_above;
                return;
            }
            if (u[1] != v[1]) spans_.insert(spans_.end(), {std::min(u[1], v[1]), std::max(u[1], v[1])});
        }
        volumes.depth = half_most_met(spans_, ends_);
        if (volumes.depth <= 1) return;
    }
    if (n <= kSwept) {
        if (!deepest(volumes, ~0u, volumes.depth)) volumes.depth_found = Found::from_above;
        return;
    }
    if (!parts_bound(volumes, false, volumes.depth)) {
        volumes.depth = static_cast<std::uint32_t>((n + 1) / 2);
        volumes.depth_found = Found::from_above;
        return;
    }
    volumes.depth_found = volumes.depth <= 1 ? Found::exactly : Found::by_parts;
}

// Walls are joined into parts by the corners they share (a closed outline is one part); each part is as deep as half
// the most of its walls one line meets. The parts' depths are summed where their boxes meet, on a grid; or, asked
// for, over a grid of cells across the shape's walls, a part counting in every cell of a row from the first to the
// last cell its walls touch in that row (one cell beyond either end, and one row beyond its walls' ends, for rounding),
// since along a row a part's inside lies between its walls. False where a corner is not finite.
bool O3duWindingDepth::parts_bound(const CO3duShadowVolumes& volumes, bool raster, std::uint32_t& depth) {
    const CO3duVolumeIndices& walls = volumes.walls;
    const std::size_t n = walls.size() / 6;
    part_.resize(volumes.corners.size() / 3);
    std::iota(part_.begin(), part_.end(), 0u);
    const auto find = [this](std::uint32_t u) {
        while (part_[u] != u) u = part_[u] = part_[part_[u]];
        return u;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t a = find(walls[6 * i + 4]), b = find(walls[6 * i + 5]);
        if (a != b) part_[std::max(a, b)] = std::min(a, b);
    }
    // The walls in order of their parts, by counting: first_[p] ends up where part p ends.
    first_.assign(part_.size() + 1, 0);
    for (std::size_t i = 0; i < n; ++i) ++first_[find(walls[6 * i + 4]) + 1];
    for (std::size_t p = 1; p < first_.size(); ++p) first_[p] += first_[p - 1];
    order_.resize(n);
    for (std::size_t i = 0; i < n; ++i) order_[first_[find(walls[6 * i + 4])]++] = static_cast<std::uint32_t>(i);
    // Each part's depth and box.
    boxes_.clear();
    box_walls_.clear();
    std::uint64_t total = 0;
    double rise = 0;  // of the walls across the plane, in all
    for (std::size_t p = 0, begin = 0; p < part_.size(); begin = first_[p++]) {
        if (first_[p] == begin) continue;
        O3duDepthBox box{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL, 0};
        spans_.clear();
        for (std::size_t k = begin; k < first_[p]; ++k) {
            const float *u = wall_end(volumes, order_[k], 0), *v = wall_end(volumes, order_[k], 1);
            if (!finite_end(u) || !finite_end(v)) return false;
            for (const float* e : {u, v}) {
                box.x0 = std::min(box.x0, double(e[0])), box.x1 = std::max(box.x1, double(e[0]));
                box.y0 = std::min(box.y0, double(e[1])), box.y1 = std::max(box.y1, double(e[1]));
            }
            if (u[1] != v[1]) spans_.insert(spans_.end(), {std::min(u[1], v[1]), std::max(u[1], v[1])});
            rise += std::fabs(double(u[1]) - v[1]);
        }
        box.depth = half_most_met(spans_, ends_);
        if (box.depth == 0) continue;
        total += box.depth;
        box_walls_.push_back({begin, first_[p]});
        boxes_.push_back(box);
    }
    if (boxes_.size() <= 1 || !raster) {
        depth = clamped(most_over_boxes(boxes_, total));
        return true;
    }
    // As many rows as keep the rows the walls cross to four a wall on the whole, up to 1024, and 1024 columns; the
    // walls' ends taken in cells across and rows up.
    const double x0 = volumes.walls_lo[0], y0 = volumes.walls_lo[1];
    const double x1 = volumes.walls_hi[0], y1 = volumes.walls_hi[1];
    const int columns = 1024;
    const int rows = int(std::clamp(std::ceil(4.0 * double(n) * (y1 - y0) / std::max(rise, 1e-30)), 1.0, 1024.0));
    const double across = x1 > x0 ? columns / (x1 - x0) : 0.0, up = y1 > y0 ? rows / (y1 - y0) : 0.0;
    const std::size_t stride = std::size_t(columns) + 1;
    grid_.assign(stride * std::size_t(rows), 0);
    row_lo_.assign(std::size_t(rows), columns);
    row_hi_.assign(std::size_t(rows), -1);
    for (std::size_t b = 0; b < boxes_.size(); ++b) {
        int r0 = rows, r1 = -1;
        for (std::size_t k = box_walls_[b].first; k < box_walls_[b].second; ++k) {
            const float *u = wall_end(volumes, order_[k], 0), *v = wall_end(volumes, order_[k], 1);
            const float *lo = u[1] <= v[1] ? u : v, *hi = u[1] <= v[1] ? v : u;
            const double xa = (lo[0] - x0) * across, xb = (hi[0] - x0) * across;
            const double ya = (lo[1] - y0) * up, yb = (hi[1] - y0) * up;
            const double slope = yb > ya ? (xb - xa) / (yb - ya) : 0.0;
            // The wall in the rows its ends lie in and one either side; in each, the cells from where it enters the
            // row to where it leaves, and one either side.
            const int first_row = std::max(int(ya) - 1, 0), last_row = std::min(int(yb) + 1, rows - 1);
            for (int r = first_row; r <= last_row; ++r) {
                const double enter = xa + (std::clamp(double(r), ya, yb) - ya) * slope;
                const double leave = yb > ya ? xa + (std::clamp(double(r + 1), ya, yb) - ya) * slope : xb;
                row_lo_[r] = std::min(row_lo_[r], std::max(int(std::min(enter, leave)) - 1, 0));
                row_hi_[r] = std::max(row_hi_[r], std::min(int(std::max(enter, leave)) + 1, columns - 1));
            }
            r0 = std::min(r0, first_row), r1 = std::max(r1, last_row);
        }
        const auto steps = std::int32_t(boxes_[b].depth);
        // Each wall reaches the rows either side of those its ends lie in, so every row between holds some wall.
        for (int r = r0; r <= r1; ++r) {
            grid_[std::size_t(r) * stride + std::size_t(row_lo_[r])] += steps;
            grid_[std::size_t(r) * stride + std::size_t(row_hi_[r]) + 1] -= steps;
            row_lo_[r] = columns, row_hi_[r] = -1;
        }
    }
    std::int64_t most = 0;
    for (int r = 0; r < rows; ++r) {
        std::int64_t sum = 0;
        for (int c = 0; c < columns; ++c) most = std::max(most, sum += grid_[std::size_t(r) * stride + std::size_t(c)]);
    }
    depth = clamped(std::uint64_t(most));
    return true;
}

void O3duWindingDepth::tighten(CO3duShadowVolumes& volumes) {
    std::uint32_t depth = 0;
    parts_bound(volumes, true, depth);
    volumes.depth = std::min(volumes.depth, depth);
}

// The walls not along x, and their ends as events of the line; false where a corner is not finite.
bool O3duWindingDepth::gather(const CO3duShadowVolumes& volumes) {
    walls_.clear();
    events_.clear();
    const std::size_t n = volumes.walls.size() / 6;
    for (std::size_t i = 0; i < n; ++i) {
        const float *u = wall_end(volumes, i, 0), *v = wall_end(volumes, i, 1);
        if (!finite_end(u) || !finite_end(v)) return false;
        if (u[1] == v[1]) continue;
        const bool down = u[1] > v[1];
        const float *lo = down ? v : u, *hi = down ? u : v;
        const auto w = static_cast<std::uint32_t>(walls_.size());
        walls_.push_back({{lo[0], lo[1]}, {hi[0], hi[1]}, down ? 1 : -1});
        events_.push_back(std::uint64_t(ordered_bits(lo[1])) << 32 | 0x80000000u | w);
        events_.push_back(std::uint64_t(ordered_bits(hi[1])) << 32 | w);
    }
    return true;
}

// The walls on the line at its most crowded, halved and rounded up: the events stand in the line's order.
std::uint32_t O3duWindingDepth::walls_met() const {
    int met = 0, most = 0;
    for (std::uint64_t e : events_) most = std::max(most, met += (e & 0x80000000u) ? 1 : -1);
    return static_cast<std::uint32_t>(most + 1) / 2;
}

bool O3duWindingDepth::deepest(const CO3duShadowVolumes& volumes, std::uint32_t enough, std::uint32_t& depth) {
    if (!gather(volumes)) {
        depth = static_cast<std::uint32_t>((volumes.walls.size() / 6 + 1) / 2);
        return false;
    }
    std::sort(events_.begin(), events_.end());
    // The walls met bound the depth from above: where they allow one prism over a point, that is the depth.
    const std::uint32_t met = walls_met();
    depth = met;
    if (met <= 1) return true;
    g_sweeps.fetch_add(1, std::memory_order_relaxed);
    const std::size_t n = walls_.size();
    nodes_.resize(n);
    slot_of_.assign(n, kNil);
    wall_of_.assign(n, kNil);
    waiting_.assign(n, kNil);
    crossings_.clear();
    exact_parts_.clear();
    exact_places_.clear();
    root_ = kNil;
    const auto lowest = [this](const Crossing& a, const Crossing& b) { return later(a, b); };
    const auto take_lowest = [&] {
        std::pop_heap(crossings_.begin(), crossings_.end(), lowest);
        const Crossing c = crossings_.back();
        crossings_.pop_back();
        return c;
    };
    // Where walls cross far more often than there are walls, the sweep's cost would dwarf the frame's.
    const std::uint64_t budget = 8 * std::uint64_t(n) + 4096;
    std::uint64_t crossed = 0;
    int most = 0;
    // Every crossing lies below both walls' upper ends, so none is left once the last wall has left the line.
    for (std::size_t i = 0; i < events_.size();) {
        // The next stop: the lower of the next ends' y and the lowest crossing's, both where they meet.
        const float y = height_of(events_[i]);
        const int crossing = crossings_.empty() ? 1 : against(crossings_.front(), y);
        const Crossing first = crossing < 0 ? crossings_.front() : Crossing{};
        const auto at_stop = [&] {
            return !crossings_.empty() &&
                   (crossing < 0 ? !later(crossings_.front(), first) : against(crossings_.front(), y) == 0);
        };
        touched_.clear();
        std::size_t j = i;
        const std::uint64_t bits = events_[i] >> 32;
        if (crossing >= 0)
            for (; j < events_.size() && events_[j] >> 32 == bits && !(events_[j] & 0x80000000u); ++j)
                erase(static_cast<std::uint32_t>(events_[j] & 0x7FFFFFFFu));
        // Walls crossing at the stop take their order above it before walls beginning there are placed among them;
        // walls brought side by side may cross at the stop too.
        for (bool placed = crossing < 0;;) {
            for (; at_stop(); ++crossed) cross_at(take_lowest());
            if (!placed) {
                for (; j < events_.size() && events_[j] >> 32 == bits; ++j)
                    insert(static_cast<std::uint32_t>(events_[j] & 0x7FFFFFFFu));
                placed = true;
            }
            for (std::size_t k = 0; k < touched_.size(); ++k) {
                const std::uint32_t w = touched_[k];
                if (slot_of_[w] == kNil) continue;
                for (int s = 0; s < 2; ++s)
                    if (const std::uint32_t next = beside(slot_of_[w], s); next != kNil)
                        s ? look_for_crossing(w, wall_of_[next]) : look_for_crossing(wall_of_[next], w);
            }
            touched_.clear();
            if (!at_stop()) break;
        }
        if (crossing >= 0) i = j;
        if (root_ != kNil) most = std::max(most, nodes_[root_].best);
        if (std::uint32_t(most) > enough) break;
        if (crossed > budget) return false;
    }
    depth = static_cast<std::uint32_t>(most);
    return true;
}

// Where the wall w, beginning at the stop, goes against v, on the line: by the side of v its lower end lies on, or,
// from a point of v, by which runs further left above it; of walls along one line, those leaving prisms first, so
// that the stretch between them counts no prism they do not both hold.
bool O3duWindingDepth::placed_left(std::uint32_t w, std::uint32_t v) const {
    const Wall &a = walls_[w], &b = walls_[v];
    if (const int s = side(b.lo, b.hi, a.lo); s != 0) return s > 0;
    if (const int t = turn(a.lo, a.hi, b.lo, b.hi); t != 0) return t < 0;
    return a.step != b.step ? a.step < b.step : w < v;
}

void O3duWindingDepth::insert(std::uint32_t w) {
    const std::uint32_t slot = w;
    slot_of_[w] = slot, wall_of_[slot] = w;
    nodes_[slot] = {{kNil, kNil}, kNil, walls_[w].step, std::max(walls_[w].step, 0)};
    touched_.push_back(w);
    if (root_ == kNil) {
        root_ = slot;
        return;
    }
    for (std::uint32_t x = root_;;) {
        std::uint32_t& child = nodes_[x].child[placed_left(w, wall_of_[x]) ? 0 : 1];
        if (child == kNil) {
            child = slot;
            nodes_[slot].parent = x;
            break;
        }
        x = child;
    }
    while (nodes_[slot].parent != kNil && priority(slot) > priority(nodes_[slot].parent)) rotate_up(slot);
    pull_up(nodes_[slot].parent);
}

void O3duWindingDepth::erase(std::uint32_t w) {
    const std::uint32_t slot = slot_of_[w];
    // The walls on either side come next to each other.
    for (int s = 0; s < 2; ++s)
        if (const std::uint32_t next = beside(slot, s); next != kNil) touched_.push_back(wall_of_[next]);
    for (;;) {
        const std::uint32_t l = nodes_[slot].child[0], r = nodes_[slot].child[1];
        if (l == kNil && r == kNil) break;
        rotate_up(r == kNil || (l != kNil && priority(l) > priority(r)) ? l : r);
    }
    const std::uint32_t p = nodes_[slot].parent;
    slot_of_[w] = kNil, wall_of_[slot] = kNil;
    if (p == kNil) {
        root_ = kNil;
        return;
    }
    nodes_[p].child[nodes_[p].child[1] == slot] = kNil;
    pull_up(p);
}

// Two walls side by side cross at the stop: every wall through that point (a run of the line) takes its order above
// it, as they leave the point, moving among their slots.
void O3duWindingDepth::cross_at(const Crossing& c) {
    if (waiting_[c.left] == c.right) waiting_[c.left] = kNil;
    // Both walls are still on the line: they cross below where either ends.
    if (beside(slot_of_[c.left], 1) != slot_of_[c.right]) return;  // taken over by an earlier crossing
    const Wall &a = walls_[c.left], &b = walls_[c.right];
    // Whether a wall passes through the point: in doubles, and where they cannot tell, exactly, the point worked
    // out exactly once (its parts kept until the run is known).
    O3duApprox x, y, d;
    crossing_point(a.lo, a.hi, b.lo, b.hi, y, d, &x);
    std::optional<O3duExactScope> scope;
    O3duExact exact_x, exact_y, exact_d;
    const auto through = [&](std::uint32_t w) {
        const Wall& t = walls_[w];
        const auto off_line = [&t](const auto& px, const auto& py, const auto& pd) {
            using T = std::decay_t<decltype(px)>;
            return minus<T>(t.hi[0], t.lo[0]) * (py - T(t.lo[1]) * pd) -
                   minus<T>(t.hi[1], t.lo[1]) * (px - T(t.lo[0]) * pd);
        };
        if (off_line(x, y, d).sure_sign() != 0) return false;
        if (!scope) scope.emplace(), crossing_point(a.lo, a.hi, b.lo, b.hi, exact_y, exact_d, &exact_x);
        return off_line(exact_x, exact_y, exact_d).sign() == 0;
    };
    std::uint32_t first = slot_of_[c.left], last = slot_of_[c.right];
    for (std::uint32_t s; (s = beside(first, 0)) != kNil && through(wall_of_[s]);) first = s;
    for (std::uint32_t s; (s = beside(last, 1)) != kNil && through(wall_of_[s]);) last = s;
    block_.clear();
    for (std::uint32_t s = first;; s = beside(s, 1)) {
        block_.push_back(s);
        if (s == last) break;
    }
    order_.clear();
    for (std::uint32_t s : block_) order_.push_back(wall_of_[s]);
    std::sort(order_.begin(), order_.end(), [this](std::uint32_t v, std::uint32_t w) {
        const Wall &p = walls_[v], &q = walls_[w];
        if (const int t = turn(p.lo, p.hi, q.lo, q.hi); t != 0) return t < 0;
        return p.step != q.step ? p.step < q.step : v < w;
    });
    for (std::size_t k = 0; k < block_.size(); ++k) {
        wall_of_[block_[k]] = order_[k], slot_of_[order_[k]] = block_[k];
        pull_up(block_[k]);
        touched_.push_back(order_[k]);
    }
}

// Walls side by side, `left` left of `right` just above the stop, cross above it where the one ending lower ends
// beyond the other.
void O3duWindingDepth::look_for_crossing(std::uint32_t left, std::uint32_t right) {
    const Wall &a = walls_[left], &b = walls_[right];
    if (waiting_[left] == right) return;  // already waiting
    const bool crossing = a.hi[1] <= b.hi[1] ? side(b.lo, b.hi, a.hi) < 0 : side(a.lo, a.hi, b.hi) > 0;
    if (!crossing) return;
    waiting_[left] = right;
    O3duApprox y, d;
    crossing_point(a.lo, a.hi, b.lo, b.hi, y, d);
    crossings_.push_back({left, right, turn(a.lo, a.hi, b.lo, b.hi), y, d, kNil});
    std::push_heap(crossings_.begin(), crossings_.end(),
                   [this](const Crossing& p, const Crossing& q) { return later(p, q); });
}

// The crossing's y and d exactly, worked out the first time they are asked for (within an O3duExactScope), and
// kept; `kept` false, as kept so far (a crossing worked out later may move them).
void O3duWindingDepth::exactly(const Crossing& c, O3duExact& y, O3duExact& d, bool kept) const {
    if (c.exact == kNil) {
        const Wall &l = walls_[c.left], &r = walls_[c.right];
        crossing_point(l.lo, l.hi, r.lo, r.hi, y, d);
        c.exact = static_cast<std::uint32_t>(exact_places_.size());
        exact_places_.push_back(exact_parts_.size());
        exact_parts_.insert(exact_parts_.end(), y.parts(), y.parts() + y.size());
        exact_places_.push_back(exact_parts_.size());
        exact_parts_.insert(exact_parts_.end(), d.parts(), d.parts() + d.size());
        exact_places_.push_back(exact_parts_.size());
        if (!kept) return;
    }
    const std::size_t* at = &exact_places_[c.exact];
    y = O3duExact::of(exact_parts_.data() + at[0], at[1] - at[0]);
    d = O3duExact::of(exact_parts_.data() + at[1], at[2] - at[1]);
}

// Whether crossing a lies higher than crossing b.
bool O3duWindingDepth::later(const Crossing& a, const Crossing& b) const {
    if (a.left == b.left && a.right == b.right) return false;
    int s = (a.y * b.d - b.y * a.d).sure_sign();
    if (s == 0) {
        O3duExactScope scope;
        O3duExact ay, ad, by, bd;
        exactly(a, ay, ad, false);
        exactly(b, by, bd, true);
        exactly(a, ay, ad, true);
        s = (ay * bd - by * ad).sign();
    }
    return a.turn * b.turn * s > 0;
}

// Whether the crossing lies below the height y (-1), at it (0) or above it (1).
int O3duWindingDepth::against(const Crossing& c, float y) const {
    int s = (c.y - O3duApprox(y) * c.d).sure_sign();
    if (s == 0) {
        O3duExactScope scope;
        O3duExact cy, d;
        exactly(c, cy, d, true);
        s = (cy - O3duExact(y) * d).sign();
    }
    return c.turn * s;
}

// The slot next to this one on the line, to the right (side 1) or to the left (side 0), or kNil.
std::uint32_t O3duWindingDepth::beside(std::uint32_t slot, int side) const {
    std::uint32_t x = nodes_[slot].child[side];
    if (x != kNil) {
        while (nodes_[x].child[1 - side] != kNil) x = nodes_[x].child[1 - side];
        return x;
    }
    std::uint32_t p = nodes_[slot].parent;
    for (x = slot; p != kNil && nodes_[p].child[side] == x;) x = p, p = nodes_[p].parent;
    return p;
}

void O3duWindingDepth::pull(std::uint32_t x) {
    Node& n = nodes_[x];
    const std::uint32_t l = n.child[0], r = n.child[1];
    const int through = (l == kNil ? 0 : nodes_[l].sum) + walls_[wall_of_[x]].step;
    n.best = std::max(l == kNil ? 0 : nodes_[l].best, through + (r == kNil ? 0 : nodes_[r].best));
    n.sum = through + (r == kNil ? 0 : nodes_[r].sum);
}

void O3duWindingDepth::pull_up(std::uint32_t x) {
    for (; x != kNil; x = nodes_[x].parent) pull(x);
}

// x takes its parent's place, the parent becoming its child on the other side.
void O3duWindingDepth::rotate_up(std::uint32_t x) {
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

// Along each line, the walls it meets in their order there, by where they meet it in doubles; among walls that meet
// it within rounding of each other, those leaving prisms first, which counts no stretch deeper than it is.
std::uint32_t O3duWindingDepth::least(const CO3duShadowVolumes& volumes, std::uint32_t enough) {
    gather(volumes);  // a shape bounded by its parts has its corners finite
    const double y0 = volumes.walls_lo[1], y1 = volumes.walls_hi[1];
    const double size = std::max({std::fabs(double(volumes.walls_lo[0])), std::fabs(double(volumes.walls_hi[0])),
                                  double(volumes.walls_hi[0]) - volumes.walls_lo[0]});
    int most = 0;
    for (int k = 0; k < kLines && std::uint32_t(most) <= enough; ++k) {
        const double y = y0 + (y1 - y0) * (k + 0.5) / kLines;
        along_.clear();
        for (std::uint32_t w = 0; w < walls_.size(); ++w) {
            const Wall& a = walls_[w];
            if (!(a.lo[1] < y && y < a.hi[1])) continue;
            along_.push_back(
                {a.lo[0] + (double(a.hi[0]) - a.lo[0]) * ((y - a.lo[1]) / (double(a.hi[1]) - a.lo[1])), w});
        }
        std::sort(along_.begin(), along_.end());
        for (std::size_t i = 0; i < along_.size();) {
            std::size_t j = i + 1;
            while (j < along_.size() && along_[j].first - along_[j - 1].first <= 1e-9 * size) ++j;
            std::stable_sort(
                along_.begin() + std::ptrdiff_t(i), along_.begin() + std::ptrdiff_t(j),
                [this](const auto& p, const auto& q) { return walls_[p.second].step < walls_[q.second].step; });
            i = j;
        }
        int count = 0;
        for (const auto& [x, w] : along_) most = std::max(most, count += walls_[w].step);
    }
    return static_cast<std::uint32_t>(most);
}

std::uint64_t o3du_winding_sweeps() { return g_sweeps.load(std::memory_order_relaxed); }

void O3duShadowDepth::add(CO3duShadowVolumes& volumes) {
    if (volumes.depth == 0) return;
    // Walls reaching out of a float's range may cross any line along the light.
    if (!std::isfinite(volumes.walls_lo[0] + volumes.walls_lo[1] + volumes.walls_hi[0] + volumes.walls_hi[1])) {
        everywhere_ += volumes.depth;
        return;
    }
    if (volumes.depth_found == Found::by_parts) bounded_.push_back({boxes_.size(), &volumes});
    boxes_.push_back(
        {volumes.walls_lo[0], volumes.walls_lo[1], volumes.walls_hi[0], volumes.walls_hi[1], volumes.depth});
    total_ += volumes.depth;
}

std::uint32_t O3duShadowDepth::most(std::uint32_t enough) {
    std::uint64_t most = most_over_boxes(boxes_, total_) + everywhere_;
    if (most <= enough || bounded_.empty()) return clamped(most);
    // Only where the bound passes `enough` can how deep a shape is change how the frame counts: the shapes bounded
    // from above by their parts' boxes are bounded by their parts' rows first, then swept.
    O3duWindingDepth winding;
    const auto settle = [&](bool sweep) {
        for (const auto& [box, volumes] : bounded_) {
            const std::uint32_t before = volumes->depth;
            std::uint32_t depth = 0;
            if (!sweep)
                winding.tighten(*volumes);
            else if (winding.least(*volumes, enough) <= enough && winding.deepest(*volumes, enough, depth) &&
                     depth <= enough)
                volumes->depth = depth, volumes->depth_found = Found::exactly;
            else  // deeper than the frame needs to know, or past the sweep: no frame sweeps it again
                volumes->depth_found = Found::from_above;
            total_ -= before - volumes->depth;
            boxes_[box].depth = volumes->depth;
        }
        return most_over_boxes(boxes_, total_) + everywhere_;
    };
    most = settle(false);
    if (most > enough) most = settle(true);
    bounded_.clear();
    return clamped(most);
}
