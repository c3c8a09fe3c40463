// Division of segments and arcs by a circle, an arc or a rectangle into pieces flagged inside or outside.
// A divided segment gives up to 4 points and 3 flags; a divided arc up to 4 (by an arc) or 10 (by a rectangle)
// absolute angles, piece i running counter-clockwise from angles[i] to angles[i + 1].
#pragma once

namespace kz::drawing2d {

int xcf_line_clip_by_circle(double cx, double cy, double r, double x1, double y1, double x2, double y2, int* count,
                            int inside[3], double xs[4], double ys[4], double tol);
int clip_segment_by_circle_for_cut(double cx, double cy, double r, double x1, double y1, double x2, double y2,
                                   int* count, int inside[3], double xs[4], double ys[4], double tol);
int xfc_arc_clip_by_arc(double cx1, double cy1, double r1, double start1, double end1, double cx2, double cy2,
                        double r2, double start2, double end2, int* count, int inside[3], double angles[4]);
int xfc_arc_clip_by_rect(double xmin, double ymin, double xmax, double ymax, double cx, double cy, double r,
                         double start, double end, int* count, int inside[9], double angles[10]);
int xfc_line_clip_by_rect(double xmin, double ymin, double xmax, double ymax, double x1, double y1, double x2,
                          double y2, double* ox1, double* oy1, double* ox2, double* oy2);
int xfc_line_clip_by_rect_in_place(double xmin, double ymin, double xmax, double ymax, double* x1, double* y1,
                                   double* x2, double* y2);
int clip_segment_by_rect_coded(double xmin, double ymin, double xmax, double ymax, double x1, double y1, double x2,
                               double y2, double* ox1, double* oy1, double* ox2, double* oy2);
int rect_outcode(double x, double y, double xmin, double ymin, double xmax, double ymax);
int extend_segment(double x1, double y1, double x2, double y2, double* ox1, double* oy1, double* ox2, double* oy2,
                   double d);
double relative_angle(double start, double angle, double tol);

}  // namespace kz::drawing2d
