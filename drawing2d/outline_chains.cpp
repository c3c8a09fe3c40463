// Chaining of outline segments through a hash of their end points: a point's candidates lie in the 3 x 3 cells
// around it, so a chain step costs the segments near its end rather than a pass over all of them, and the lowest
// index among the candidates keeps the choice a search in index order would make.
#include "drawing2d/outline_chains.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <unordered_map>

namespace kz::drawing2d {

namespace {

constexpr int64_t kJoin = 2;
constexpr int64_t kCell = 4;  // larger than the join distance: a partner is never more than one cell away

int64_t cell_of(int32_t v) {
    const int64_t w = v;
    return w >= 0 ? w / kCell : -((-w + kCell - 1) / kCell);
}
uint64_t cell_key(int64_t cx, int64_t cy) { return (static_cast<uint64_t>(cx) << 32) ^ static_cast<uint32_t>(cy); }

bool near(int32_t ax, int32_t ay, int32_t bx, int32_t by) {
    return std::llabs(int64_t{ax} - bx) <= kJoin && std::llabs(int64_t{ay} - by) <= kJoin;
}

class EndpointIndex {
public:
    explicit EndpointIndex(const std::vector<OutlineSegment>& segments) : segments_(segments) {
        cells_.reserve(segments.size() * 2);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            add(segments[i].x1, segments[i].y1, i);
            if (cell_key(cell_of(segments[i].x1), cell_of(segments[i].y1)) !=
                cell_key(cell_of(segments[i].x2), cell_of(segments[i].y2)))
                add(segments[i].x2, segments[i].y2, i);
        }
    }
    // The unused segment of lowest index with an end near (x, y), or none (npos).
    std::size_t find(int32_t x, int32_t y, const std::vector<char>& used) const {
        std::size_t best = npos;
        const int64_t cx = cell_of(x), cy = cell_of(y);
        for (int64_t dy = -1; dy <= 1; ++dy)
            for (int64_t dx = -1; dx <= 1; ++dx) {
                const auto it = cells_.find(cell_key(cx + dx, cy + dy));
                if (it == cells_.end()) continue;
                for (std::size_t i : it->second) {
                    if (i >= best || used[i]) continue;
                    const OutlineSegment& s = segments_[i];
                    if (near(s.x1, s.y1, x, y) || near(s.x2, s.y2, x, y)) best = i;
                }
            }
        return best;
    }
    static constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

private:
    void add(int32_t x, int32_t y, std::size_t i) { cells_[cell_key(cell_of(x), cell_of(y))].push_back(i); }
    const std::vector<OutlineSegment>& segments_;
    std::unordered_map<uint64_t, std::vector<std::size_t>> cells_;
};

}  // namespace

void chain_outline_segments(const std::vector<OutlineSegment>& segments, std::vector<OutlinePoint>& points,
                            std::vector<OutlinePolygon>& polygons) {
    points.clear();
    polygons.clear();
    const EndpointIndex index(segments);
    std::vector<char> used(segments.size(), 0);
    for (std::size_t start = 0; start < segments.size(); ++start) {
        if (used[start]) continue;
        used[start] = 1;
        const OutlineSegment& head = segments[start];
        const std::size_t first = points.size();
        points.push_back({head.x1, head.y1});
        points.push_back({head.x2, head.y2});
        std::size_t taken = 1;
        bool closed = false;
        while (!closed) {
            const OutlinePoint last = points.back();
            const std::size_t next = index.find(last.x, last.y, used);
            if (next == EndpointIndex::npos) break;
            used[next] = 1;
            ++taken;
            const OutlineSegment& s = segments[next];
            // The start end is tried first, as the search does.
            points.push_back(near(s.x1, s.y1, last.x, last.y) ? OutlinePoint{s.x2, s.y2} : OutlinePoint{s.x1, s.y1});
            closed = near(points.back().x, points.back().y, head.x1, head.y1);
        }
        if (taken < 2) {
            points.resize(first);
            continue;
        }
        if (!closed) points.push_back(points[first]);
        polygons.push_back({first, points.size() - first, head.color});
    }
}

}  // namespace kz::drawing2d
