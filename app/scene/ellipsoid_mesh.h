// The ellipsoid mesher behind balls, hemispheres and the domes of cones and cylinders: a whole or partial
// ellipsoid, optionally a shell, with the flat faces that close its cuts.
#pragma once
#include <cstdint>

namespace kz::scene {

class XLeaves;

// Flat-face flags of the mesher.
enum EllipsoidFlatFaces : std::int32_t {
    kFlatBottom = 1,
    kFlatTop = 2,
    kFlatStartCut = 4,
    kFlatEndCut = 8,
};

struct EllipsoidParameters {
    double rx = 0.0, ry = 0.0, rz = 0.0;
    double cx = 0.0, cy = 0.0, cz = 0.0;
    std::int32_t divisions = 24;
    std::int32_t half_divisions = 12;
    double first_polar = 0.0, second_polar = 180.0;  // degrees from the top pole
    double start = 0.0, end = 360.0;                 // longitudes, degrees
    std::int32_t surface_kind = 1;                   // 1 outer, 2 inner
    double thick_z = 0.0, thick_xy = 0.0;
    std::int32_t flat_faces = 0;
    std::int32_t thick_mode = 0;
    std::int32_t face_code = 5000;
    // Row-vector matrix carrying the mesh into the shape (a bent cylinder's end); null keeps it where it is.
    const double* placement = nullptr;
};

// Face code base of a thick-mode-1 shell's bottom rim ring, beside the top rim's 2000 + k.
constexpr std::int32_t kBottomRimCode = 2500;

// Surface kind from the thick column: 3 outer and inner, 2 inner only, 1 outer only.
std::int32_t ellipsoid_surface_kind(std::int32_t thick_mode, double thick_xy);

// 0 when rx is 0 or less (nothing made), else 1.
int MakeEllipsoid(XLeaves& shape, EllipsoidParameters p);

int MakeEllipsoidPart(XLeaves& shape, std::int32_t face_code, double centre_z, double w, double d, double h,
                      int divisions, double sweep, double start, double first_polar, double second_polar,
                      double thick_xy, double thick_z, std::int32_t thick_mode, std::int32_t flat_face_code,
                      const double* placement = nullptr);

}  // namespace kz::scene
