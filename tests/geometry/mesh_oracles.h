// Independent checks of converter output: the triangles a set draws (with the winding OpenGL gives them), their
// areas about a normal, closedness after welding by position, and the enclosed volume.
#pragma once
#include <array>
#include <vector>

#include "geometry/triangle_polys.h"

namespace kz::test {

using Triangle = std::array<OfuVector3, 3>;

// Triangles drawn by sets of types 3 to 6, in their drawn winding; other types give none.
std::vector<Triangle> drawn_triangles(const CO3duTrianglePolys& set);
std::vector<Triangle> drawn_triangles(const CO3duPolygonList& sets);

double triangle_area(const Triangle& t);
// Signed area of the triangle seen from the tip of the unit normal n.
double signed_area(const Triangle& t, const OfuVector3& n);

struct Closedness {
    int triangles = 0;        // non-degenerate triangles looked at
    int unmatched_edges = 0;  // directed edges without exactly one opposite partner
};
// Welds equal positions (to 1e-9), drops triangles with area below 1e-12, then pairs directed edges.
Closedness check_closed(const std::vector<Triangle>& triangles);
double enclosed_volume(const std::vector<Triangle>& triangles);

// Area of a simple polygon in XY by the shoelace formula (signed, counter-clockwise positive).
double shoelace(const std::vector<OfuVector3>& outline);

}  // namespace kz::test
