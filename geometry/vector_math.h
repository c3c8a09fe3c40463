// The small vector and matrix functions every geometry routine uses: products, point transforms, rotations,
// normals, directions as angles and the matrices that lay a plane onto XY. All angles are in radians.
#pragma once
#include "geometry/ofu_array.h"
#include "geometry/ofu_types.h"

using COfuPoint3Array = COfuArray<OfuVector3>;
using COfuPoint2Array = COfuArray<OfuVector2>;

// a = a x b (a applied first, then b).
void MultiplyMatrix4x4(OfuMatrix4x4& a, const OfuMatrix4x4& b);
// p = (p x m) / w. A zero w is the caller's business.
void TransformPointByMatrix4x4(const OfuMatrix4x4& m, OfuVector3& p);

void MakeRotateXMatrix(OfuMatrix4x4& m, double angle);
void MakeRotateYMatrix(OfuMatrix4x4& m, double angle);
void MakeRotateZMatrix(OfuMatrix4x4& m, double angle);

// 1 when normalised; 0, leaving the input alone, when shorter than 1e-5.
int NormalizeVector3(OfuVector3& v);
int NormalizeXYZ(double& x, double& y, double& z);

// 0: too short (outputs untouched); 1: elevation and azimuth set; 2: vertical (azimuth 0).
int DirectionToAngles(const OfuVector3& direction, double& elevation, double& azimuth);

// Newell normal of an outline, normalised; 0 for fewer than 2 points or a normal shorter than 1e-5.
int PolygonNormal(const OfuVector3* points, int count, OfuVector3& normal);
// Mean of the points; an empty array gives the origin.
OfuVector3 PolygonCentroid(const COfuPoint3Array& points);

// Moves point to the origin and turns normal onto +Z; 0 (translation only) for a normal shorter than 1e-5.
int MakePlaneToXYMatrix(const OfuVector3& normal, const OfuVector3& point, OfuMatrix4x4& m);
// The same, then turned about Z so that direction lies on +X.
int MakePlaneToXYMatrixAligned(const OfuVector3& normal, const OfuVector3& point, const OfuVector3& direction,
                               OfuMatrix4x4& m);

// Our own helpers over the same conventions.
inline OfuVector3 operator-(const OfuVector3& a, const OfuVector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline OfuVector3 operator+(const OfuVector3& a, const OfuVector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline OfuVector3 cross(const OfuVector3& a, const OfuVector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double dot(const OfuVector3& a, const OfuVector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const OfuVector3& v);
// Angle of v's (x, y) from +X with the quadrant rule of DirectionToAngles; 0 when v is shorter than 1e-5 or
// points along Z.
double planar_angle(const OfuVector3& v);
// The matrix with its translation row cleared, for turning directions rather than points.
OfuMatrix4x4 rotation_part(const OfuMatrix4x4& m);
