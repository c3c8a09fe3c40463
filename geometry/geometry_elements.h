// The parametric pieces a COfuShape is made of: flat polygons, polygons with holes, extrusions of both and columns
// cut by two planes, plus the 2D polygons the planar mesher reads. Each piece clones itself through Clone().
#pragma once
#include "geometry/ofu_array.h"
#include "geometry/ofu_types.h"
#include "geometry/vector_math.h"

// Piece kinds: the converters dispatch on them.
enum : int32_t {
    OFU_KIND_GEOMETRY = 0,
    OFU_KIND_POLYGON = 3,
    OFU_KIND_POLYGON2D = 4,
    OFU_KIND_HOLE_POLYGON = 5,
    OFU_KIND_HOLE_POLYGON2D = 6,
    OFU_KIND_EXTRUDED = 7,
    OFU_KIND_HOLE_EXTRUDED = 8,
    OFU_KIND_FINITE_COLUMN = 10,
};

class COfuGeometry {
public:
    COfuGeometry() = default;
    virtual ~COfuGeometry() = default;
    // A bare piece clones without its kind: the kind belongs to the class that is copied.
    virtual COfuGeometry* Clone() const;

    int32_t kind = OFU_KIND_GEOMETRY;
    _OfuMaterial material;
    double texture_width = 0.0;   // model length of one repeat along u; 0 makes u 0
    double texture_height = 0.0;  // the same along v
    int32_t texture_number = 0;   // non-zero makes the sets made from the piece textured

    // Material and texture fields, never the kind.
    void copy_common(const COfuGeometry& other);

protected:
    COfuGeometry(const COfuGeometry&) = default;
    COfuGeometry(COfuGeometry&&) noexcept = default;
    COfuGeometry& operator=(const COfuGeometry&) = default;
    COfuGeometry& operator=(COfuGeometry&&) noexcept = default;
};

class COfuPolygon : public COfuGeometry {
public:
    COfuPolygon() { kind = OFU_KIND_POLYGON; }
    COfuPolygon(const COfuPolygon& other) : COfuPolygon() { *this = other; }
    COfuPolygon(COfuPolygon&& other) noexcept;
    COfuPolygon& operator=(const COfuPolygon& other);
    COfuPolygon& operator=(COfuPolygon&& other) noexcept;
    COfuPolygon* Clone() const override { return new COfuPolygon(*this); }

    COfuPoint3Array points;  // open outline: the last point joins the first
    OfuVector3 texture_direction;
    OfuVector3 texture_offset;
};

class COfuPolygon2D : public COfuGeometry {
public:
    COfuPolygon2D() { kind = OFU_KIND_POLYGON2D; }
    COfuPolygon2D(const COfuPolygon2D& other) : COfuPolygon2D() { *this = other; }
    COfuPolygon2D(COfuPolygon2D&& other) noexcept;
    COfuPolygon2D& operator=(const COfuPolygon2D& other);
    COfuPolygon2D& operator=(COfuPolygon2D&& other) noexcept;
    COfuPolygon2D* Clone() const override { return new COfuPolygon2D(*this); }

    COfuPoint2Array points;
};

using COfuPolygonArray = COfuArray<COfuPolygon, const COfuPolygon&, ArrayFill::object>;
using COfuPolygon2DArray = COfuArray<COfuPolygon2D, const COfuPolygon2D&, ArrayFill::object>;

class COfuHolePolygon : public COfuPolygon {
public:
    COfuHolePolygon() { kind = OFU_KIND_HOLE_POLYGON; }
    COfuHolePolygon(const COfuHolePolygon& other) : COfuHolePolygon() { *this = other; }
    COfuHolePolygon& operator=(const COfuHolePolygon& other);
    COfuHolePolygon* Clone() const override { return new COfuHolePolygon(*this); }

    COfuPolygonArray holes;
    // A holed polygon carries its own texture frame; these hide the outline's pair on purpose, so that writing
    // hole_polygon.texture_direction sets the one its converter reads.
    OfuVector3 texture_direction;
    OfuVector3 texture_offset;
};

class COfuHolePolygon2D : public COfuPolygon2D {
public:
    COfuHolePolygon2D() { kind = OFU_KIND_HOLE_POLYGON2D; }
    COfuHolePolygon2D(const COfuHolePolygon2D& other) : COfuHolePolygon2D() { *this = other; }
    COfuHolePolygon2D& operator=(const COfuHolePolygon2D& other);
    COfuHolePolygon2D* Clone() const override { return new COfuHolePolygon2D(*this); }

    COfuPolygon2DArray holes;
};

class COfuExtruded : public COfuGeometry {
public:
    COfuExtruded() { kind = OFU_KIND_EXTRUDED; }
    COfuExtruded(const COfuExtruded& other) : COfuExtruded() { *this = other; }
    COfuExtruded& operator=(const COfuExtruded& other);
    COfuExtruded* Clone() const override { return new COfuExtruded(*this); }

    COfuPolygon bottom;
    COfuPolygon top;  // same point count as bottom
    int32_t bottom_cap = 0;
    int32_t top_cap = 0;
    OfuVector3 side_texture_direction;
};

class COfuHoleExtruded : public COfuGeometry {
public:
    COfuHoleExtruded() { kind = OFU_KIND_HOLE_EXTRUDED; }
    COfuHoleExtruded(const COfuHoleExtruded& other) : COfuHoleExtruded() { *this = other; }
    COfuHoleExtruded& operator=(const COfuHoleExtruded& other);
    COfuHoleExtruded* Clone() const override { return new COfuHoleExtruded(*this); }

    COfuHolePolygon bottom;
    COfuHolePolygon top;
    int32_t bottom_cap = 0;
    int32_t top_cap = 0;
    OfuVector3 side_texture_direction;
};

// A column of the cross-section swept along the axis and cut by the two end planes.
class COfuFiniteColumn : public COfuGeometry {
public:
    COfuFiniteColumn() { kind = OFU_KIND_FINITE_COLUMN; }
    COfuFiniteColumn(const COfuFiniteColumn& other) : COfuFiniteColumn() { *this = other; }
    COfuFiniteColumn& operator=(const COfuFiniteColumn& other);
    COfuFiniteColumn* Clone() const override { return new COfuFiniteColumn(*this); }

    COfuPolygon section;
    OfuVector3 axis;
    OfuPlane bottom_plane;
    OfuPlane top_plane;
};
