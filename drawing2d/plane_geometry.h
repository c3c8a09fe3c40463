// Plane geometry of the drawing library: crossings of lines, segments, circles and arcs, distances with a
// tolerance, the side of a point, and angles. Drawing y runs down as displayed; angles are degrees counter-clockwise
// as displayed, so the point at angle a is (cx + r cos a, cy - r sin a).
#pragma once

namespace kz::drawing2d {

int cross_line_line(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4, double* x,
                    double* y);
int cross_circle_circle(double cx1, double cy1, double r1, double cx2, double cy2, double r2, double* xa, double* ya,
                        double* xb, double* yb);
int cross_line_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, double* xa,
                      double* ya, double* xb, double* yb);
int cross_segment_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, double* xa,
                         double* ya, double* xb, double* yb);
int xcf_cross_arc_arc(double cx1, double cy1, double r1, double start1, double end1, double cx2, double cy2, double r2,
                      double start2, double end2, double xs[2], double ys[2], double tol);
int xcf_cross_line_arc(double x1, double y1, double x2, double y2, double cx, double cy, double r, double start,
                       double end, double xs[2], double ys[2], double tol);
int xfc_cross_or_not(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4, double* x,
                     double* y, double tol1, double tol2);
int nearest_circle_crossing(double cx1, double cy1, double r1, double cx2, double cy2, double r2, double* x, double* y,
                            double* other_x, double* other_y);
int nearest_line_circle_crossing(double x1, double y1, double x2, double y2, double cx, double cy, double r, double* x,
                                 double* y, double* other_x, double* other_y);

double point_point_distance(double x1, double y1, double x2, double y2, double tol);
double point_segment_distance(double px, double py, double x1, double y1, double x2, double y2, double tol);
double point_arc_distance(double px, double py, double cx, double cy, double r, double start, double end, double tol);
int point_on_extended_segment(double x1, double y1, double x2, double y2, double px, double py, double tol);
int right_left(double px, double py, double x1, double y1, double x2, double y2, double tol);

int angle_in_range(double start, double end, double angle, double tol);
double normalize_degrees(double angle);
double mirror_angle(double axis, double angle);
void rotate_point_deg(double x, double y, double angle, double* out_x, double* out_y);

// Angle of (x, y) about (cx, cy) in degrees, -180..180, counter-clockwise as displayed.
double angle_about(double cx, double cy, double x, double y);
// Adds `step` while v < low and subtracts it while v > high, as a loop would, without looping on huge values.
double wrap_angle(double v, double low, double high, double step = 360.0);

}  // namespace kz::drawing2d
