// Chaining of paint outlines: the joins and the closing of open chains by hand, and the endpoint hash against a
// plain search over the segments in index order on random outlines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "drawing2d/outline_chains.h"

namespace kz::drawing2d {
namespace {

using Points = std::vector<std::pair<int, int>>;

std::vector<Points> chains(const std::vector<OutlineSegment>& segments, std::vector<int>* colors = nullptr) {
    std::vector<OutlinePoint> points;
    std::vector<OutlinePolygon> polygons;
    chain_outline_segments(segments, points, polygons);
    std::vector<Points> out;
    for (const OutlinePolygon& p : polygons) {
        out.emplace_back();
        if (colors) colors->push_back(p.color);
        for (std::size_t i = p.first; i < p.first + p.count; ++i) out.back().push_back({points[i].x, points[i].y});
    }
    return out;
}

TEST(OutlineChains, EndsWithinTwoUnitsJoinAndOpenChainsCloseOnTheirFirstPoint) {
    struct Case {
        const char* name;
        std::vector<OutlineSegment> segments;
        std::vector<Points> want;
        std::vector<int> colors;
    };
    const Case cases[] = {
        {"square, ends 2 apart, one reversed",
         {{0, 0, 100, 0, 1}, {100, 2, 100, 100, 2}, {0, 100, 98, 102, 3}, {-2, 98, 1, 2, 4}},
         {{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {1, 2}}},
         {1}},
        {"gap of 3",
         {{0, 0, 100, 0, 1}, {103, 0, 100, 100, 2}, {100, 100, 0, 0, 3}},
         {{{103, 0}, {100, 100}, {0, 0}, {103, 0}}},
         {2}},
        {"open chain", {{0, 0, 100, 0, 1}, {100, 0, 100, 100, 1}}, {{{0, 0}, {100, 0}, {100, 100}, {0, 0}}}, {1}},
        {"lowest index wins across cells",
         {{0, 0, 50, 0, 1}, {52, 2, 60, 60, 1}, {50, 0, 70, 70, 1}, {49, -1, 9, 9, 1}},
         {{{0, 0}, {50, 0}, {60, 60}, {0, 0}}},
         {1}},
    };
    for (const Case& c : cases) {
        std::vector<int> colors;
        EXPECT_EQ(chains(c.segments, &colors), c.want) << c.name;
        EXPECT_EQ(colors, c.colors) << c.name;
    }
}

// The search the hash stands in for: every step scans the remaining segments from index 0.
std::vector<Points> chains_by_scan(const std::vector<OutlineSegment>& s) {
    const auto near = [](int ax, int ay, int bx, int by) { return std::abs(ax - bx) <= 2 && std::abs(ay - by) <= 2; };
    std::vector<bool> used(s.size());
    std::vector<Points> out;
    for (std::size_t a = 0; a < s.size(); ++a) {
        if (used[a]) continue;
        used[a] = true;
        Points p{{s[a].x1, s[a].y1}, {s[a].x2, s[a].y2}};
        bool closed = false;
        for (std::size_t i = 0; i < s.size() && !closed;) {
            const auto [lx, ly] = p.back();
            if (used[i] || !(near(s[i].x1, s[i].y1, lx, ly) || near(s[i].x2, s[i].y2, lx, ly))) {
                ++i;
                continue;
            }
            used[i] = true;
            p.push_back(near(s[i].x1, s[i].y1, lx, ly) ? std::pair{s[i].x2, s[i].y2} : std::pair{s[i].x1, s[i].y1});
            closed = near(p.back().first, p.back().second, p[0].first, p[0].second);
            i = 0;
        }
        if (p.size() == 2) continue;
        if (!closed) p.push_back(p[0]);
        out.push_back(p);
    }
    return out;
}

TEST(OutlineChains, HashChoosesAsAScanInIndexOrder) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        // Ends on a coarse grid with jitter, so that most ends have several partners near them.
        std::uniform_int_distribution<int> grid(-4, 4), jitter(-2, 2);
        std::vector<OutlineSegment> segments;
        for (int i = 0; i < 60; ++i)
            segments.push_back({grid(rng) * 5 + jitter(rng), grid(rng) * 5 + jitter(rng), grid(rng) * 5 + jitter(rng),
                                grid(rng) * 5 + jitter(rng), i});
        EXPECT_EQ(chains(segments), chains_by_scan(segments)) << "round " << round;
    }
}

}  // namespace
}  // namespace kz::drawing2d
