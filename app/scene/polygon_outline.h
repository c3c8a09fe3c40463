// Outlines of the polygon builders: x-y points with their per-point data, cleaned of repeated points, their area
// and turn, and the horizontal normals of their edges.
#pragma once
#include <vector>

namespace kz::scene {

struct Outline {
    std::vector<double> points;      // 3 per point (x, y, z)
    std::vector<double> directions;  // 3 per point, or empty
    std::vector<double> texcoords;   // 2 per point, or empty
    int size() const { return static_cast<int>(points.size() / 3); }
    const double* at(int i) const { return &points[3 * i]; }
};

// Points from ';' numbers taken in pairs (z = 0) or triples.
Outline outline_from_numbers(const std::vector<double>& numbers, int per_point);
// Takes per-point data when it covers every point; data for fewer points is left out.
void attach_point_data(Outline& outline, const std::vector<double>& directions, const std::vector<double>& texcoords);
// A last point equal to the first is dropped.
void drop_closing_point(Outline& outline);
// Points within 1e-6 of their predecessor in x, y and z go with their data, then a last one within 1e-6 of the
// first.
void drop_repeated_points(Outline& outline);
void reverse_outline(Outline& outline);
// Twice the signed x-y area (counter-clockwise positive).
double twice_signed_area(const Outline& outline);
// Finite, at least three points and an area that is not lost in the rounding of its coordinates.
bool is_buildable(const Outline& outline);
// Finite, at least three points, not all on one line in space.
bool is_buildable_3d(const Outline& outline);
// Unit horizontal normal of each edge (i to i + 1, the last back to 0 when closed), to the right of the way.
std::vector<double> edge_normals(const Outline& outline, bool closed);
// The normalised sum of the normals of the edges that meet at each point.
std::vector<double> point_normals(const std::vector<double>& edges, int points, bool closed);

}  // namespace kz::scene
