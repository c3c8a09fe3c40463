// Ear clipping of one flattened outline (counter-clockwise in XY), the triangulation of plain polygon faces.
// Optionally thins dense outlines on a 100 x 100 grid first.
#pragma once
#include <vector>

#include "geometry/ofu_types.h"

// Three point numbers per triangle, at most count - 2 triangles; empty for fewer than 3 points or no ear.
std::vector<int> ear_clip_outline(const OfuVector3* flat, int count, bool simplify);
