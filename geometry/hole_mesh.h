// The mesher behind holed polygon faces: Delaunay triangulation of the loop points, loop edges forced in by
// splitting them at their midpoints, then the triangles outside the outline or inside a hole dropped.
#pragma once
#include <vector>

#include "geometry/geometry_elements.h"

struct HoleMesh {
    std::vector<OfuVector3> points;  // loop points, then the midpoints added while forcing edges
    std::vector<int> triangles;      // three point numbers per triangle, counter-clockwise about the outer normal
};

// false (mesh empty) when the outer outline has no normal, a loop point is not finite, or the points are too
// degenerate, within the tolerances, to triangulate.
bool mesh_hole_polygon(const COfuHolePolygon& polygon, HoleMesh& mesh);

// Where p lies against a closed loop: 0 outside, 1 inside, 2 on an edge, 3 at a corner (within 1e-5).
// Loops of fewer than 3 points hold nothing.
struct FlatPoint {
    double x;
    double y;
};
int point_in_loop(const FlatPoint& p, const FlatPoint* loop, int count, double tolerance);
