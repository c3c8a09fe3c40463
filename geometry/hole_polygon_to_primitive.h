// CO3duHolePolygonToPrimitive: a flat polygon with holes as one indexed triangle set, or as one closed outline
// strip per loop. CO3duHoleExtrudedToPrimitive: the extrusion of such a polygon, walls and holed caps.
#pragma once
#include "geometry/geometry_elements.h"
#include "geometry/triangle_polys.h"

class CO3duHolePolygonToPrimitive {
public:
    CO3duHolePolygonToPrimitive() = default;
    virtual ~CO3duHolePolygonToPrimitive() = default;
    CO3duHolePolygonToPrimitive& operator=(const CO3duHolePolygonToPrimitive&) { return *this; }

    // simplify is accepted for symmetry with plain polygons; the holed mesh always uses every loop point.
    static void ConvertHolePolygon(COfuHolePolygon* polygon, CO3duPolygonList& list, int reverse, int simplify,
                                   int solid);
    static void ConvertSolidHolePolygon(COfuHolePolygon* polygon, CO3duPolygonList& list, int reverse, int simplify);
    static void ConvertWireHolePolygon(COfuHolePolygon* polygon, CO3duPolygonList& list, int reverse);
};

class CO3duHoleExtrudedToPrimitive {
public:
    CO3duHoleExtrudedToPrimitive() = default;
    virtual ~CO3duHoleExtrudedToPrimitive() = default;
    CO3duHoleExtrudedToPrimitive& operator=(const CO3duHoleExtrudedToPrimitive&) { return *this; }

    static void ConvertHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertSolidHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list, int simplify);
    static void ConvertWireHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list);
};
