// CO3duExtrudedToPrimitive: an extruded polygon as one side strip plus optional caps, or as its wire edges.
// The solid form turns both outlines counter-clockwise about the extrusion and writes that order back.
#pragma once
#include "geometry/geometry_elements.h"
#include "geometry/triangle_polys.h"

class CO3duExtrudedToPrimitive {
public:
    CO3duExtrudedToPrimitive() = default;
    virtual ~CO3duExtrudedToPrimitive() = default;
    CO3duExtrudedToPrimitive& operator=(const CO3duExtrudedToPrimitive&) { return *this; }

    static void ConvertExtruded(COfuExtruded* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertSolidExtruded(COfuExtruded* piece, CO3duPolygonList& list, int simplify);
    static void ConvertWireExtruded(COfuExtruded* piece, CO3duPolygonList& list);
};

// The outer wall of an extrusion between two outlines: both are put counter-clockwise about the direction from
// the bottom's centroid to the top's, then one strip is appended. false (nothing appended) for unequal counts or
// fewer than three points.
bool append_outer_wall(COfuPoint3Array& bottom, COfuPoint3Array& top, const COfuGeometry& look,
                       const OfuVector3& side_direction, CO3duPolygonList& list);
