// CO3duFiniteColumnToPrimitive: a cross-section swept along an axis and cut by two end planes, converted like a
// capped extrusion of the two cut outlines. IntersectLinePlane is the cut of one line.
#pragma once
#include "geometry/geometry_elements.h"
#include "geometry/triangle_polys.h"

class CO3duFiniteColumnToPrimitive {
public:
    CO3duFiniteColumnToPrimitive() = default;
    virtual ~CO3duFiniteColumnToPrimitive() = default;
    CO3duFiniteColumnToPrimitive& operator=(const CO3duFiniteColumnToPrimitive&) { return *this; }

    static void ConvertFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertSolidFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list, int simplify);
    static void ConvertWireFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list);
};

// Hit of the line q + s v with the plane; 0 (hit untouched) when the line runs within tolerance of parallel
// or the plane has no usable point.
int IntersectLinePlane(const OfuPlane& plane, const OfuVector3& q, const OfuVector3& v, double tolerance,
                       OfuVector3& hit);
