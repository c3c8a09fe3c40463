// Where a plane point lies against an open ring (the last point joins the first) and against a polygon with
// holes, by the winding angle summed over the ring's edges.
#pragma once
#include "geometry/geometry_elements.h"

// 0 outside, 1 inside, 2 on an edge, 3 on a vertex. Edges closer than tolerance (as an unnormalised cross
// product) to the point are checked for the point lying on them.
int PointInPolygon2D(const OfuVector2& point, const COfuPoint2Array& ring, double tolerance);

// 1 inside the outer ring (its edges and vertices count as inside) and outside every hole (a hole's edges and
// vertices count as inside the hole); else 0.
int PointInHolePolygon2D(const OfuVector2& point, const COfuHolePolygon2D& polygon);
