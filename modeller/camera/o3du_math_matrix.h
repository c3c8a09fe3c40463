// View and projection matrices built from camera records, and the small triangle test the shadow code shares.
// Row vectors throughout: p' = p x M, the translation in the last row.
#pragma once
#include "geometry/ofu_types.h"
#include "modeller/o3du_records.h"

// The view matrix that puts the eye at (0, 0, distance), the direction to the target onto -z and the horizontal
// right-hand direction onto +x. Eye and target closer than 1e-5 give the translation alone.
void MakeLookAtMatrix(const OfuVector3& eye, const OfuVector3& target, double distance, OfuMatrix4x4& out);

class CO3duMathMatrix {
public:
    CO3duMathMatrix() {}
    CO3duMathMatrix(const CO3duMathMatrix&) {}
    CO3duMathMatrix& operator=(const CO3duMathMatrix&) { return *this; }
    virtual ~CO3duMathMatrix() {}

    static void GetToViewMatrix(const _O3duCamera& camera, double d, OfuMatrix4x4& m);
    // The view followed by a projection after which x / w and y / w are 1 at the vertical edge of the field of view.
    static void GetPerspectiveMatrix(const _O3duCamera& camera, double d, OfuMatrix4x4& m);
};

// Where (px, py) lies against the triangle: 0 inside or on it, else bit 4, 2, 1 for each corner (first, second,
// third) whose barycentric weight is negative beyond 1e-5; 7 for a degenerate triangle.
int PointInTriangleMask(const double x[3], const double y[3], double px, double py);
