// Fewest-segment paths over section segments held as adjacency lists, settled in the order the matrix
// Dijkstra of the modeller settles unit-length edges, so both choose the same path among equals.
#pragma once
#include <vector>

// predecessor[v]: the node before v on the path from start, -1 for start and unreached nodes. A node's
// predecessor is its lowest-numbered neighbour one step nearer to start. 0 when start is not a node, else 1.
int fewest_segments_path(const std::vector<std::vector<int>>& neighbours, int start, std::vector<int>& predecessor);
