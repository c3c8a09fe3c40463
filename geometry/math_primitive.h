// CO3duMathPrimitive: static operations on primitives: the cut by a plane with a cap over the section, and
// makers of ready-made sets (icosahedron, meridian-strip sphere, line grid, single line) and of a material.
#pragma once
#include <vector>

#include "geometry/o3du_list.h"
#include "geometry/primitive.h"

class CO3duMathPrimitive {
public:
    CO3duMathPrimitive() = default;
    virtual ~CO3duMathPrimitive() = default;

    // Keeps what lies in front of the plane through points[0..2] (the side its normal (p2-p1) x (p0-p1) points
    // to), as line lists and triangle lists, and appends a cap over the section when one closes.
    static void CutPrimitiveToPlane(CO3duPrimitive& primitive, const OfuVector3* points, _OfuMaterial material,
                                    int texture_number, double texture_width, double texture_height);
    // Joins the section segments (plane-frame coordinates) into the shortest loop through the first segment
    // and triangulates it into cap, facing -Z.
    static void Make2DEdgeToPolygon(CO3duPoint3List& starts, CO3duPoint3List& ends, OfuVector2& minimum,
                                    OfuVector2& maximum, CO3duTrianglePolys* cap, _OfuMaterial& material,
                                    int texture_number, double texture_width, double texture_height);
    static OfuPlane PlaneFromThreePoints(const OfuVector3& p0, const OfuVector3& p1, const OfuVector3& p2);

    // Icosahedron of circumradius size: two fans and a strip.
    static void Make20Mentai(CO3duPrimitive& primitive, double size, OfuVector3 centre, _OfuMaterial material);
    // Sphere as one triangle strip of meridian zig-zags; sweep 0 means a full turn (degrees).
    static void MakeKeiisenKyu(CO3duTrianglePolys& set, int bands, int steps, double radius, double sweep,
                               const OfuMatrix4x4* matrix);
    // Square line grid in z = 0; the index of the appended set, -1 when n is below 1.
    static int MakeGrid(OfuVector2 from, OfuVector2 to, int n, CO3duPrimitive& primitive);
    static int MakeLine(OfuVector3 a, OfuVector3 b, CO3duPrimitive& primitive);
    static _OfuMaterial MakeMaterialFromColor(OfuColorValue colour, double ambient, double diffuse, double specular,
                                              double power);

private:
    // Where the segments of one cut go: plane-frame starts and ends, and the extent they cover.
    struct Section {
        CO3duPoint3List& starts;
        CO3duPoint3List& ends;
        OfuVector2& minimum;
        OfuVector2& maximum;
    };

    static void CutLinelistPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                 const OfuMatrix4x4& model);
    static void CutLinestripPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                  const OfuMatrix4x4& model);
    static void CutTriListPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                const OfuMatrix4x4& model, Section& section);
    static void CutTriStripToPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                                   const OfuMatrix4x4& model, Section& section);
    static void CutTriFanPlane(CO3duVertexList& vertices, const OfuPlane& plane, const OfuVector3& p0,
                               const OfuMatrix4x4& model, Section& section);
    static void CutTriIndexPlane(CO3duVertexList& vertices, CO3duVertexIndexList& indices, const OfuPlane& plane,
                                 const OfuVector3& p0, const OfuMatrix4x4& model, Section& section);
    // to_plane carries model space into the plane frame. 0 kept, 1 dropped, 2 kept from the crossing to v1,
    // 3 kept from v0 to the crossing, which is written into out0.
    static int GetLineCutType(const _O3duVertex& v0, const _O3duVertex& v1, const OfuMatrix4x4& to_plane,
                              _O3duVertex& out0);
    // Clips triangle (a, b, c) and appends the kept triangles to kept; 0 to 7 as in the case table of the cut.
    static int GetTrialgleCutType(const _O3duVertex& a, const _O3duVertex& b, const _O3duVertex& c,
                                  const OfuMatrix4x4& to_plane, std::vector<_O3duVertex>& kept, Section& section);
    static void cut_triangles(CO3duVertexList& vertices, const int* corners, int count, const OfuPlane& plane,
                              const OfuVector3& p0, const OfuMatrix4x4& model, Section& section);
};
