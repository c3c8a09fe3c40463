// Independent measures of a built shape taken from its faces alone: the faces' points in shape coordinates,
// whether they close a surface once welded by position, enclosed volume and surface area.
#pragma once
#include <array>
#include <vector>

#include "app/scene/xleaves.h"

namespace kz::scene::test {

using Point = std::array<double, 3>;

std::vector<Point> face_points(const XLeaf& face);
// Divergence theorem over the faces' fans: positive when they face out of the solid they enclose.
double signed_volume(const XLeaves& shape);
// Sum of the faces' areas measured from their points in shape coordinates.
double surface_area(const XLeaves& shape);
// Every edge, welded by position (1e-6), is met exactly once in the opposite direction: a closed, consistently
// turned surface. Degenerate edges (both ends one point) are ignored.
bool is_closed(const XLeaves& shape);
// Unit normal of a face in shape coordinates (Newell).
Point face_normal(const XLeaf& face);
// Every corner normal of every face leans to the face's own side (none turned against its face).
bool corner_normals_agree(const XLeaves& shape);

}  // namespace kz::scene::test
