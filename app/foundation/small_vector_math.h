// Small 2D/3D vector helpers on plain double arrays (x, y or x, y, z), bounding boxes of six doubles
// (min x, y, z, then max x, y, z) and the winding test of a screen point in an integer outline.
#pragma once

namespace kz::foundation {

double vec2_length(double x, double y);
// Length; unit vector and atan2 angle in degrees when the length is above 1e-5, else zeros. Outputs optional.
double vec2_normalize(double x, double y, double* unit_x, double* unit_y, double* length, double* angle);

double vec3_dot(const double* a, const double* b);
// a x b into out (which may be a or b); returns out.
double* vec3_cross(const double* a, const double* b, double* out);
// 0 below 1e-12.
double vec3_length(const double* v);
// Unit vector into out (the zero vector when the length is below 1e-12), the length (0 then) into length when
// given; returns out.
double* vec3_normalize(const double* v, double* out, double* length = nullptr);
double vec3_distance(const double* a, const double* b);
// Distance of p from the line through a and b; 0 when p = a or a = b (within 1e-12).
double point_line_distance(const double* p, const double* a, const double* b);
// Signed distance d of (x, y) from the line (x1, y1) -> (x2, y2), positive on its left: 0 when |d| <= tolerance,
// 1 when d < -tolerance (right), 2 when d > tolerance (left); 1 for two equal points.
int side_of_line(double x, double y, double x1, double y1, double x2, double y2, double tolerance);
// 1 when the point (x, y pair) lies inside the outline of count integer points (x, y pairs): the signed angles
// the edges subtend sum beyond pi. The outline is closed implicitly; the caller's array is only read.
int point_in_polygon(const int* point, const int* points, int count);

void reset_bounds(double* box);
void add_point_to_bounds(double* box, const double* point);

void swap_doubles(double* a, double* b);
void swap_ints(int* a, int* b);

}  // namespace kz::foundation
