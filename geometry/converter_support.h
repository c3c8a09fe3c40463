// Pieces of work the shape converters share: a set's look taken from a piece, face texture coordinates,
// closed outline strips and the one-strip walls of extrusions.
#pragma once
#include "geometry/geometry_elements.h"
#include "geometry/triangle_polys.h"

// Newell normal of an outline, +Z when it has none; negated with reverse.
OfuVector3 outline_normal(const COfuPoint3Array& outline, int reverse);

// Colours, power and texture number of the piece; a texture number makes the set textured.
void take_piece_material(CO3duTrianglePolys& set, const COfuGeometry& piece);

// Texture coordinates of a flat face: a frame at vertex 0 with X along the first edge, turned by the face's
// texture direction and moved by its offset when a direction is given, then scaled by the repeat lengths.
void set_face_texture_coordinates(CO3duTrianglePolys& set, const OfuVector3& normal, const OfuVector3& direction,
                                  const OfuVector3& offset, double width, double height);

// One closed line strip (the points, then the first again) with one normal, appended to list.
void append_closed_strip(CO3duPolygonList& list, const COfuPoint3Array& points, const OfuVector3& normal,
                         const COfuGeometry& look);

// Normal of the quad a, b, c, d (Newell), or +Z when it has none.
OfuVector3 quad_normal(const OfuVector3& a, const OfuVector3& b, const OfuVector3& c, const OfuVector3& d);

// Whether the outline, laid flat across the direction, turns clockwise seen from the direction's tip.
bool is_clockwise_about(const COfuPoint3Array& outline, const OfuVector3& direction);
// Reverses the outline's order, the first point staying first.
void reverse_behind_first(COfuPoint3Array& outline);
// Reverses the outline behind its first point when it turns clockwise about the direction.
void make_counter_clockwise(COfuPoint3Array& outline, const OfuVector3& direction);

// The side wall between two outlines of n points as one triangle strip with flat normals: side i gives
// first[i], second[i], first[i+1], second[i+1]. For an outer wall first is the top; for a hole wall, the bottom.
// Textured sides take u, v in the side's plane from origin, aligned with direction when it is not zero.
void fill_wall_strip(CO3duTrianglePolys& set, const COfuPoint3Array& first, const COfuPoint3Array& second,
                     const COfuGeometry& look, const OfuVector3& origin, const OfuVector3& direction);

// The wire form of a wall: per side a line list of its two vertical edges, each vertex with the side's normal.
void append_wire_sides(CO3duPolygonList& list, const COfuPoint3Array& bottom, const COfuPoint3Array& top,
                       const COfuGeometry& look);

// The whole wire wall: the side edges, then the bottom and the top outline as closed strips.
void append_wire_wall(CO3duPolygonList& list, const COfuPoint3Array& bottom, const COfuPoint3Array& top,
                      const COfuGeometry& look);

// Appends a fresh set and returns it; producers fill it in place instead of copying a local one.
CO3duTrianglePolys& append_set(CO3duPolygonList& list);

bool is_zero(const OfuVector3& v);
