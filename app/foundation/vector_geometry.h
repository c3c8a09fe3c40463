// Vector functions of the application's geometry: normals and areas of outlines, polar angles, 2D rotation,
// colour shading of GDI faces, line-plane crossing and the mapping of a 3D polygon into the frame of its plane.
#pragma once
#include <cstdint>
#include <vector>

namespace kz::foundation {

struct EyeRecord;

// Unit vector of v into out (zero below 1e-12); returns the length (0 then).
double normalize_vector(const double* v, double* out);
double normalize_xyz(double x, double y, double z, double* out);
// |p1 - p0| (a null p0 is the origin) and the unit direction from p0 to p1 when direction is given.
double difference_length(const double* p0, const double* p1, double* direction);
double distance_with_direction(const double* p0, const double* p1, double* direction);
double distance_3d(const double* p0, const double* p1);

// Newell normal of n points (stride 3), normalised into normal; area gets the signed x-y area (negative for a
// counter-clockwise outline). Returns the normal's length before normalising.
double polygon_normal(const double* points, int n, double* normal, double* area);

// polar = (distance, elevation, azimuth) in degrees of `to` seen from `from`; direction the unit vector (zero
// below 1e-12). Returns the distance.
double vector_to_polar(const double* from, const double* to, double* polar, double* direction);
// The point at polar (distance, elevation, azimuth) from `from` (the origin when null).
void polar_to_point(const double* from, const double* polar, double* out);
void angles_to_direction(double azimuth, double elevation, double* out);
// Returns the length; azimuth = atan2(y, x), elevation from the negated z, degrees.
double vector_to_angles(const double* v, double* azimuth, double* elevation);

// v (x, y) rotated by the angle whose sine and cosine are given, in place.
void rotate_2d(double* v, double sine, double cosine);
// Unit direction of (x, y) rotated by degrees; (1, 0) when shorter than 1e-12.
void rotated_direction_2d(double x, double y, double degrees, double* ux, double* uy);
// i brought into 0..n-1 by whole turns; 0 for n below 1.
int wrap_index(int i, int n);

// Each channel of a 0x00BBGGRR colour times factor, truncated into 0..255; also into out when given.
std::uint32_t scale_color(double factor, std::uint32_t color, std::uint32_t* out);
// Brightness of a face with this unit normal under the eye's light: 0.3 .. 1.0 times the light intensity.
double shade_factor(const EyeRecord& eye, const double* normal, double* out);

// Crossing of the line (point, direction) with the plane (plane point, normal): 1 and the point; 0 when
// parallel (out is then the line's point).
int intersect_line_plane(const double* point, const double* direction, const double* plane_point,
                         const double* plane_normal, double* out);

// Where polygon_to_plane put the polygon: its first point, the rotation (tilt, 0, azimuth) and the edge angle,
// degrees, so that a record placed with them shows the flat outline in its old place.
struct PlaneFrame {
    double origin[3] = {0.0, 0.0, 0.0};
    double rotation[3] = {0.0, 0.0, 0.0};
    double edge_angle = 0.0;
};
// Maps n >= 3 points (stride 3) into the frame of their plane (z = 0 there, first edge along +x) into `out`,
// and `second` alike into `second_out` when both are given. Returns 1; 0 with nothing changed for fewer points.
int polygon_to_plane(const double* points, int n, std::vector<double>& out, PlaneFrame* frame,
                     const double* second = nullptr, std::vector<double>* second_out = nullptr);

}  // namespace kz::foundation
