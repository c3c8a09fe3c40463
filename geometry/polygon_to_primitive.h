// CO3duPolygonToPrimitive: a flat polygon as one indexed triangle set (ear clipping) or as a closed outline.
// reverse 1 flips the normal and the winding, which is how bottom caps face away from their solid.
#pragma once
#include "geometry/geometry_elements.h"
#include "geometry/triangle_polys.h"

class CO3duPolygonToPrimitive {
public:
    CO3duPolygonToPrimitive() = default;
    virtual ~CO3duPolygonToPrimitive() = default;
    CO3duPolygonToPrimitive& operator=(const CO3duPolygonToPrimitive&) { return *this; }

    static void ConvertPolygon(COfuPolygon* polygon, CO3duPolygonList& list, int reverse, int simplify, int solid);
    // Appends the set only when it received vertices.
    static void ConvertSolidPolygon(COfuPolygon* polygon, CO3duPolygonList& list, int reverse, int simplify);
    static void ConvertSolidPolygont(COfuPolygon* polygon, CO3duTrianglePolys& set, int reverse, int simplify);
    static void ConvertWirePolygon(COfuPolygon* polygon, CO3duPolygonList& list, int reverse);
};
