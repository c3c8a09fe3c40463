// Plain value types of the 3D library: vectors, the 4x4 matrix, colours, materials, vertices, index triples, planes.
// Layouts are part of the exported interface and of the mesh files, so field order and widths are fixed.
#pragma once
#include <cstdint>

// A 2D point or vector. The tag is written only by construction: assignment copies the coordinates alone,
// so a slot that was zero-filled by list growth keeps reading 0 after it has been assigned.
struct OfuVector2 {
    int32_t dim = 2;
    double x = 0.0;
    double y = 0.0;

    OfuVector2() = default;
    OfuVector2(double x_, double y_) : x(x_), y(y_) {}
    OfuVector2(const OfuVector2&) = default;
    OfuVector2& operator=(const OfuVector2& o) {
        x = o.x;
        y = o.y;
        return *this;
    }
};

// A 3D point or vector; the tag follows the same rule as OfuVector2's.
struct OfuVector3 {
    int32_t dim = 3;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    OfuVector3() = default;
    OfuVector3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    OfuVector3(const OfuVector3&) = default;
    OfuVector3& operator=(const OfuVector3& o) {
        x = o.x;
        y = o.y;
        z = o.z;
        return *this;
    }
};

// 16 doubles, row-major: element [row][column] at index row*4+column. Points are row vectors (p' = p x M), the
// translation sits in the last row and the last column yields w. Nothing initialises it: producers write the
// identity themselves (identity_matrix() below).
struct OfuMatrix4x4 {
    double m[4][4];

    double* operator[](int row) { return m[row]; }
    const double* operator[](int row) const { return m[row]; }
};

OfuMatrix4x4 identity_matrix();

struct OfuColorValue {
    float r;
    float g;
    float b;
    float a;
};

struct _OfuMaterial {
    OfuColorValue diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    OfuColorValue ambient{1.0f, 1.0f, 1.0f, 1.0f};
    OfuColorValue specular{1.0f, 1.0f, 1.0f, 1.0f};
    OfuColorValue emission{1.0f, 1.0f, 1.0f, 1.0f};
    float power = 0.0f;
};

struct _O3duVertex {
    OfuVector3 position;
    OfuVector3 normal;
    float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    OfuVector2 tex;
};

// One triangle as three indices into the vertex list of the same set.
struct _O3duVertexIndex {
    int32_t a;
    int32_t b;
    int32_t c;
};

// The plane a*x + b*y + c*z + d = 0, (a, b, c) a unit normal; the front side is where the expression is >= 0.
struct OfuPlane {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double d = 0.0;
};

// Handle of one shape held by a modeller; the modeller defines it, everybody else only stores the pointer.
struct _OfuPosition;
