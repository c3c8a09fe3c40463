// Cutting a deep frame's shapes into groups costs a sort and a walk over a grid, so it is done only when the shapes
// or their volumes change, and over a grid whose cells are about a shape's size, so each shape fills a few.
//
// The grid spans the light-space boxes of every shape's walls, its cells about the size of a shape's box on the
// whole and a million at most, coarser where the shapes' boxes would fill too many cells in all. Each cell keeps the
// depths the open group sums to there, and the group it was last used for, so no group clears the grid.
#include "modeller/shadow/groups.h"

#include <algorithm>
#include <cmath>

namespace {

// Cells of the grid at most, and the cells the shapes' boxes may fill in all before it is made coarser: a few
// milliseconds of work.
constexpr double kMostCells = 1024.0 * 1024, kCellsFilled = 4.0 * 1024 * 1024;

struct Grid {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    int columns = 1, rows = 1;

    static int cell(double v, double lo, double hi, int n) {
        return hi > lo ? std::clamp(int(std::floor((v - lo) / (hi - lo) * n)), 0, n - 1) : 0;
    }
    // The cells the shape's walls reach: columns c0..c1, rows r0..r1.
    void reach(const CO3duShadowVolumes& v, int& c0, int& c1, int& r0, int& r1) const {
        c0 = cell(v.walls_lo[0], x0, x1, columns), c1 = cell(v.walls_hi[0], x0, x1, columns);
        r0 = cell(v.walls_lo[1], y0, y1, rows), r1 = cell(v.walls_hi[1], y0, y1, rows);
    }
};

}  // namespace

std::vector<O3duShadowGroup> o3du_shadow_groups(std::vector<O3duCountedShape>& shapes, std::uint32_t capacity) {
    std::vector<O3duShadowGroup> groups;
    if (shapes.empty()) return groups;
    // Along the light: light-space z runs towards the light. The keys sorted with the shapes' places, so that no
    // comparison reads a shape's volumes.
    std::vector<std::pair<float, std::uint32_t>> order(shapes.size());
    for (std::size_t i = 0; i < shapes.size(); ++i)
        order[i] = {-(shapes[i].walls->walls_lo[2] + shapes[i].walls->walls_hi[2]), std::uint32_t(i)};
    std::sort(order.begin(), order.end());
    const std::vector<O3duCountedShape> listed = shapes;
    for (std::size_t i = 0; i < order.size(); ++i) shapes[i] = listed[order[i].second];
    Grid grid;
    double width = 0.0, height = 0.0;  // of the shapes' boxes, in all
    for (const O3duCountedShape& s : shapes) {
        const CO3duShadowVolumes& v = *s.walls;
        grid.x0 = std::min(grid.x0, double(v.walls_lo[0])), grid.x1 = std::max(grid.x1, double(v.walls_hi[0]));
        grid.y0 = std::min(grid.y0, double(v.walls_lo[1])), grid.y1 = std::max(grid.y1, double(v.walls_hi[1]));
        width += double(v.walls_hi[0]) - v.walls_lo[0], height += double(v.walls_hi[1]) - v.walls_lo[1];
    }
    // Cells about as wide and as high as a shape's box on the whole, so that most boxes reach a few of them however
    // the shapes stand in the light; then fewer where that makes too many.
    const double count = double(shapes.size());
    double columns = std::clamp((grid.x1 - grid.x0) * count / std::max(width, 1e-30), 1.0, kMostCells);
    double rows = std::clamp((grid.y1 - grid.y0) * count / std::max(height, 1e-30), 1.0, kMostCells);
    for (double shrink = std::sqrt(kMostCells / (columns * rows));; shrink = 0.5) {
        if (shrink < 1.0) columns = std::max(1.0, columns * shrink), rows = std::max(1.0, rows * shrink);
        grid.columns = int(std::ceil(columns)), grid.rows = int(std::ceil(rows));
        double filled = 0.0;
        for (const O3duCountedShape& s : shapes) {
            int c0, c1, r0, r1;
            grid.reach(*s.walls, c0, c1, r0, r1);
            filled += double(c1 - c0 + 1) * (r1 - r0 + 1);
        }
        if (filled <= kCellsFilled || grid.columns * grid.rows == 1) break;
    }
    const std::size_t side = std::size_t(grid.columns);
    std::vector<std::uint32_t> sums(side * grid.rows, 0), group_of(side * grid.rows, 0);
    // Groups are numbered from 1 in the cells, so that no cell starts out as the open group's.
    std::uint32_t open = 1;
    std::size_t begin = 0;  // the open group's first shape
    const auto close = [&](std::size_t end) {
        if (end > begin) groups.push_back({begin, end, false});
        begin = end;
        ++open;
    };
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const CO3duShadowVolumes& v = *shapes[i].walls;
        if (v.depth > capacity) {
            close(i);
            groups.push_back({i, i + 1, true});
            begin = i + 1;
            continue;
        }
        int c0, c1, r0, r1;
        grid.reach(v, c0, c1, r0, r1);
        std::uint32_t most = 0;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const std::size_t at = std::size_t(r) * side + c;
                if (group_of[at] == open) most = std::max(most, sums[at]);
            }
        if (most + v.depth > capacity) close(i);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const std::size_t at = std::size_t(r) * side + c;
                if (group_of[at] != open) group_of[at] = open, sums[at] = 0;
                sums[at] += v.depth;
            }
    }
    close(shapes.size());
    // A group's wrapping count comes out the same in any order, and neighbours in the list (an item's shapes, a
    // grid's row) lie near each other on the screen, where the rasterizer bins their walls at far less cost than a
    // slab across the light taken along it: each group's shapes go back into the order of the list.
    for (const O3duShadowGroup& g : groups) {
        const auto first = order.begin() + std::ptrdiff_t(g.begin), last = order.begin() + std::ptrdiff_t(g.end);
        std::sort(first, last, [](const auto& a, const auto& b) { return a.second < b.second; });
        for (std::size_t i = g.begin; i < g.end; ++i) shapes[i] = listed[order[i].second];
    }
    return groups;
}

void O3duShadowGroups::take(const std::vector<O3duCountedShape>& shapes, std::uint32_t capacity, std::uint64_t built) {
    if (capacity == capacity_ && built == built_ && shapes == listed_) return;
    listed_ = shapes;
    along_ = shapes;
    groups_ = o3du_shadow_groups(along_, capacity);
    capacity_ = capacity;
    built_ = built;
}

void O3duShadowGroups::release() { *this = O3duShadowGroups(); }
