// The section cap: segment ends are merged into nodes on a 1000 x 1000 raster over the section, the shortest
// loop through the first segment is found, and that loop is triangulated as a flat polygon facing -Z.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/geometry_elements.h"
#include "geometry/math_primitive.h"
#include "geometry/polygon_to_primitive.h"
#include "geometry/segment_paths.h"
#include "geometry/vector_math.h"

namespace {

constexpr int kRaster = 1000;

class NodeRaster {
public:
    NodeRaster(const OfuVector2& minimum, double scale)
        : minimum_(minimum), scale_(scale), cells_(static_cast<size_t>(kRaster) * kRaster, -1) {}

    // The node of a point: a free cell starts a node and claims the 3 x 3 block around it, so points within
    // about one cell of each other share a node. The node keeps the last point given to it.
    int node_of(const OfuVector3& p, std::vector<OfuVector3>& nodes) {
        const int i = cell(p.x - minimum_.x), j = cell(p.y - minimum_.y);
        if (at(i, j) < 0) {
            const int number = static_cast<int>(nodes.size());
            nodes.emplace_back();
            for (int a = std::max(i - 1, 0); a <= std::min(i + 1, kRaster - 1); ++a)
                for (int b = std::max(j - 1, 0); b <= std::min(j + 1, kRaster - 1); ++b) at(a, b) = number;
        }
        const int node = at(i, j);
        nodes[node] = p;
        return node;
    }

private:
    // Clamped: a point a rounding step outside the extent still lands on the raster.
    int cell(double offset) const {
        const double c = offset * scale_;
        if (!(c > 0.0)) return 0;
        if (c >= kRaster - 1) return kRaster - 1;
        return static_cast<int>(c);
    }
    int& at(int i, int j) { return cells_[static_cast<size_t>(i) * kRaster + j]; }

    OfuVector2 minimum_;
    double scale_;
    std::vector<int> cells_;
};

}  // namespace

void CO3duMathPrimitive::Make2DEdgeToPolygon(CO3duPoint3List& starts, CO3duPoint3List& ends, OfuVector2& minimum,
                                             OfuVector2& maximum, CO3duTrianglePolys* cap, _OfuMaterial& material,
                                             int texture_number, double texture_width, double texture_height) {
    const int count = std::min(starts.GetSize(), ends.GetSize());
    if (!cap || count == 0) return;
    // A section without width or height encloses nothing.
    const double span = std::max(std::fabs(maximum.x - minimum.x), std::fabs(maximum.y - minimum.y));
    if (!(span > 0.0) || !std::isfinite(span)) return;

    NodeRaster raster(minimum, (kRaster - 1) / span);
    std::vector<OfuVector3> nodes;
    std::vector<int> segment_nodes(2 * static_cast<size_t>(count));
    for (int s = 0; s < count; ++s) {
        segment_nodes[2 * s] = raster.node_of(starts[s], nodes);
        segment_nodes[2 * s + 1] = raster.node_of(ends[s], nodes);
    }
    if (nodes.size() < 2) return;

    // The first segment joins nodes 0 and 1; taken out, the fewest segments from 0 back to 1 close the loop.
    std::vector<std::vector<int>> neighbours(nodes.size());
    for (int s = 0; s < count; ++s) {
        const int a = segment_nodes[2 * s], b = segment_nodes[2 * s + 1];
        if (a == b || (a == 0 && b == 1) || (a == 1 && b == 0)) continue;
        neighbours[a].push_back(b);
        neighbours[b].push_back(a);
    }
    std::vector<int> predecessor;
    fewest_segments_path(neighbours, 0, predecessor);
    if (predecessor[1] < 0) return;

    COfuPolygon outline;
    outline.material = material;
    outline.texture_number = texture_number;
    outline.texture_width = texture_width;
    outline.texture_height = texture_height;
    for (int node = 1; node >= 0; node = node == 0 ? -1 : predecessor[node]) outline.points.Add(nodes[node]);

    OfuVector3 normal;
    PolygonNormal(outline.points.GetData(), outline.points.GetSize(), normal);
    CO3duPolygonToPrimitive::ConvertSolidPolygont(&outline, *cap, normal.z >= 0.0 ? 1 : 0, 0);
}
