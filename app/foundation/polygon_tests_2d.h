// 2D tests of the face makers on points stored with a stride of three (z ignored): segment crossing with
// tolerances, point in polygon with vertex and edge hits, and whether a diagonal runs inside a polygon.
#pragma once

namespace kz::foundation {

// 1 and the crossing (when out is given) when segment a (a1-a2) lengthened by tol_a at both ends meets segment b
// lengthened by tol_b; zero-length segments never cross. Parallel lines cross only in mode 1, when an end of a
// lies on b (out gets that end).
int segment_crossing_2d(const double* a1, const double* a2, const double* b1, const double* b2, double* out,
                        double tol_a, double tol_b, int mode);
// 1 within tolerance of a vertex, 2 on an edge, 3 inside, 0 outside. The polygon (n points) is taken as closed;
// the array is only read.
int point_in_polygon_2d(double x, double y, const double* polygon, int n, double tolerance);
// 1 when the diagonal from vertex i to vertex j crosses no edge and runs inside the polygon.
int is_valid_diagonal(const double* polygon, int n, int i, int j);
// The same two tests over the outline whose k-th corner is points[index[k]] (index null: the k-th point).
int point_in_polygon_indexed(double x, double y, const double* points, const int* index, int n, double tolerance);
int is_valid_diagonal_indexed(const double* points, const int* index, int n, int i, int j);

}  // namespace kz::foundation
