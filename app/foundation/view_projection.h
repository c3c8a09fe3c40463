// The viewer's own camera projection for its GDI plan and hidden-line drawing: world to view axes, the four
// frustum side planes, projection to window pixels and back, and drawing projected lines and faces.
#pragma once
#include <cstdint>
#include <vector>

namespace kz::platform {
class DeviceContext;
}

namespace kz::foundation {

struct EyeRecord;

// View axes: x to the right, y up, depth in the third component.
void transform_to_view(const EyeRecord& eye, const double* world, double* out);
// n points in place (stride 3); returns n, 0 for a null argument or no points.
int transform_points_to_view(const EyeRecord& eye, double* points, int n);
void transform_from_view(const EyeRecord& eye, const double* view, double* out);

// n view points to window pixels (x, y pairs); depths nearer 0 than 1e-11 count as +-1e-11.
void project_points_to_screen(const EyeRecord& eye, int n, const double* view_points, int* screen);
// A window point (x in the low, y in the high 32 bits) back onto the view plane at depth = screen scale.
void unproject_screen_point(const EyeRecord& eye, std::uint64_t packed, double* out);

enum FrustumSide { kSideLeft = 0, kSideRight = 1, kSideBottom = 2, kSideTop = 3 };
// Clips the segment p-q (view points, changed in place) at one side plane; 0 when nothing is left.
int clip_segment_to_side(const EyeRecord& eye, int side, double* p, double* q);
int clip_segment_to_view(const EyeRecord& eye, double* p, double* q);
// Clips a polygon of view points (stride 3), closed by repeating its first point when it is not, at one side or
// all four; the result stays closed and fewer than 2 points empty it. Returns the point count.
int clip_polygon_to_side(const EyeRecord& eye, int side, std::vector<double>& polygon);
int clip_polygon_to_view(const EyeRecord& eye, std::vector<double>& polygon);
// Clips n view points and projects what remains into screen (x, y pairs, closed); the point count, 0 (screen
// empty) when fewer than 3 remain.
int project_polygon_to_screen(const EyeRecord& eye, const double* view_points, int n, std::vector<int>& screen);

// One GDI line between two world points in a 1-pixel solid pen of color (the current pen when negative);
// 1 when something was drawn.
int draw_projected_line(const EyeRecord& eye, kz::platform::DeviceContext& dc, const double* p0, const double* p1,
                        std::int64_t color);
// A projected face (x, y pairs): filled with color and outlined with the eye's first or second pen (pen choice
// 1 the second, -1 the second when the outline steps back by 11 pixels or more, else the first); in the eye's
// outline mode 2 drawn as an open polyline with the third pen.
void draw_plan_polygon(const EyeRecord& eye, const int* screen, int n, kz::platform::DeviceContext& dc,
                       std::uint32_t color, int pen_choice);

}  // namespace kz::foundation
