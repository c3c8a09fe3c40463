// CO3duShapeToPrimitive: turns every piece of a shape, head to tail, into triangle or line sets of a primitive,
// dispatching on the piece's kind. solid 0 makes wire outlines; simplify thins dense plain outlines.
#pragma once
#include "geometry/geometry_elements.h"
#include "geometry/primitive.h"
#include "geometry/shape.h"

class CO3duShapeToPrimitive {
public:
    CO3duShapeToPrimitive() = default;
    virtual ~CO3duShapeToPrimitive() = default;
    CO3duShapeToPrimitive& operator=(const CO3duShapeToPrimitive&) { return *this; }

    // Appends to the primitive's sets; its other fields stay as they are.
    static void ConvertShape(const COfuShape& shape, CO3duPrimitive& primitive, int simplify, int solid);
    // Kinds other than 3, 5, 7, 8 and 10 (and a null piece) produce nothing.
    static void ConvertGeometry(const COfuGeometry* piece, CO3duPolygonList& list, int simplify, int solid);

protected:
    static void ConvertPolygon(COfuPolygon* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertHolePolygon(COfuHolePolygon* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertExtruded(COfuExtruded* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list, int simplify, int solid);
    static void ConvertFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list, int simplify, int solid);
};
