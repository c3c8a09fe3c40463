// Breadth-first search one level at a time, each level in ascending node order: with every edge one long,
// that is the order in which Dijkstra over a matrix settles the nodes, and so the predecessors agree.
#include "geometry/segment_paths.h"

#include <algorithm>

int fewest_segments_path(const std::vector<std::vector<int>>& neighbours, int start, std::vector<int>& predecessor) {
    const int n = static_cast<int>(neighbours.size());
    predecessor.assign(n, -1);
    if (start < 0 || start >= n) return 0;
    std::vector<char> reached(n, 0);
    reached[start] = 1;
    std::vector<int> level{start}, next;
    while (!level.empty()) {
        next.clear();
        for (int u : level)
            for (int v : neighbours[u]) {
                if (v < 0 || v >= n || reached[v]) continue;
                reached[v] = 1;
                predecessor[v] = u;
                next.push_back(v);
            }
        std::sort(next.begin(), next.end());
        level.swap(next);
    }
    return 1;
}
