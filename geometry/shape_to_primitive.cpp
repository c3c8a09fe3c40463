// Dispatch of shape pieces to their converters.
// The pieces are reached through a const shape, yet the extrusion converters turn outlines counter-clockwise in
// place; that write-back is part of their contract, hence the const_cast below.
#include "geometry/shape_to_primitive.h"

#include "geometry/extruded_to_primitive.h"
#include "geometry/finite_column_to_primitive.h"
#include "geometry/hole_polygon_to_primitive.h"
#include "geometry/polygon_to_primitive.h"

void CO3duShapeToPrimitive::ConvertShape(const COfuShape& shape, CO3duPrimitive& primitive, int simplify, int solid) {
    for (const COfuShape::Node* node = shape.GetHead(); node; node = node->next)
        ConvertGeometry(node->geometry, primitive.sets, simplify, solid);
}

void CO3duShapeToPrimitive::ConvertGeometry(const COfuGeometry* piece, CO3duPolygonList& list, int simplify,
                                            int solid) {
    if (!piece) return;
    auto* target = const_cast<COfuGeometry*>(piece);
    // dynamic_cast rather than a blind cast: a kind that does not match its class converts to nothing.
    switch (piece->kind) {
    case OFU_KIND_POLYGON:
        if (auto* p = dynamic_cast<COfuPolygon*>(target)) ConvertPolygon(p, list, simplify, solid);
        break;
    case OFU_KIND_HOLE_POLYGON:
        if (auto* p = dynamic_cast<COfuHolePolygon*>(target)) ConvertHolePolygon(p, list, simplify, solid);
        break;
    case OFU_KIND_EXTRUDED:
        if (auto* p = dynamic_cast<COfuExtruded*>(target)) ConvertExtruded(p, list, simplify, solid);
        break;
    case OFU_KIND_HOLE_EXTRUDED:
        if (auto* p = dynamic_cast<COfuHoleExtruded*>(target)) ConvertHoleExtruded(p, list, simplify, solid);
        break;
    case OFU_KIND_FINITE_COLUMN:
        if (auto* p = dynamic_cast<COfuFiniteColumn*>(target)) ConvertFiniteColumn(p, list, simplify, solid);
        break;
    default: break;
    }
}

void CO3duShapeToPrimitive::ConvertPolygon(COfuPolygon* piece, CO3duPolygonList& list, int simplify, int solid) {
    CO3duPolygonToPrimitive::ConvertPolygon(piece, list, 0, simplify, solid);
}

void CO3duShapeToPrimitive::ConvertHolePolygon(COfuHolePolygon* piece, CO3duPolygonList& list, int simplify,
                                               int solid) {
    CO3duHolePolygonToPrimitive::ConvertHolePolygon(piece, list, 0, simplify, solid);
}

void CO3duShapeToPrimitive::ConvertExtruded(COfuExtruded* piece, CO3duPolygonList& list, int simplify, int solid) {
    CO3duExtrudedToPrimitive::ConvertExtruded(piece, list, simplify, solid);
}

void CO3duShapeToPrimitive::ConvertHoleExtruded(COfuHoleExtruded* piece, CO3duPolygonList& list, int simplify,
                                                int solid) {
    CO3duHoleExtrudedToPrimitive::ConvertHoleExtruded(piece, list, simplify, solid);
}

void CO3duShapeToPrimitive::ConvertFiniteColumn(COfuFiniteColumn* piece, CO3duPolygonList& list, int simplify,
                                                int solid) {
    CO3duFiniteColumnToPrimitive::ConvertFiniteColumn(piece, list, simplify, solid);
}
