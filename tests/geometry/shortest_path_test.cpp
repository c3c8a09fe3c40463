// Dijkstra over an adjacency matrix against Floyd-Warshall on random graphs, with "no edge" and excluded entries.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "geometry/shared_math.h"

namespace {

TEST(ShortestPath, MatchesFloydWarshall) {
    std::mt19937 rng(99);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 1 + trial % 17;
        const int32_t excluded = 777;
        std::vector<int32_t> m(n * n);
        for (int32_t& w : m) {
            const int pick = rng() % 10;
            w = pick < 4 ? O3DU_NO_EDGE : pick == 4 ? excluded : static_cast<int32_t>(rng() % 50);
        }
        // Oracle: all-pairs shortest paths over the usable entries.
        const int64_t inf = int64_t(1) << 40;
        std::vector<int64_t> d(n * n, inf);
        for (int i = 0; i < n; ++i) {
            d[i * n + i] = 0;
            for (int j = 0; j < n; ++j)
                if (m[i * n + j] != O3DU_NO_EDGE && m[i * n + j] != excluded)
                    d[i * n + j] = std::min<int64_t>(d[i * n + j], m[i * n + j]);
        }
        for (int k = 0; k < n; ++k)
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) d[i * n + j] = std::min(d[i * n + j], d[i * n + k] + d[k * n + j]);

        const int start = static_cast<int>(rng() % n);
        std::vector<int32_t> dist(n), pred(n), visited(n);
        ASSERT_EQ(GetShortestPath(m.data(), n, start, dist.data(), pred.data(), visited.data(), excluded), 1);
        for (int v = 0; v < n; ++v) {
            const int64_t want = d[start * n + v];
            if (want >= inf) {
                EXPECT_EQ(std::tuple(dist[v], visited[v]), std::tuple(O3DU_NO_EDGE, 0));
                continue;
            }
            EXPECT_EQ(std::tuple(dist[v], visited[v]), std::tuple(want, 1)) << trial << " " << v;
            // The predecessor chain is a real path of that length.
            int64_t walked = 0;
            int at = v, steps = 0;
            while (at != start && steps++ <= n) {
                const int p = pred[at];
                ASSERT_GE(p, 0);
                walked += m[p * n + at];
                at = p;
            }
            EXPECT_EQ(walked, want);
        }
    }
}

TEST(ShortestPath, RefusesStartOutsideTheGraph) {
    const int32_t m[4] = {0, 1, 1, 0};
    int32_t dist[2] = {5, 5}, pred[2], visited[2];
    EXPECT_EQ(GetShortestPath(m, 2, 2, dist, pred, visited, -1), 0);
    EXPECT_EQ(GetShortestPath(m, 2, -1, dist, pred, visited, -1), 0);
    EXPECT_EQ(dist[0], 5);
}

}  // namespace
