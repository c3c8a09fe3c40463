// XLeaf, one face polygon of a shape: its outline in the shape's frame and in the world, the face matrices, area,
// depth for back-to-front drawing, and the lines of a CAD drawing pasted on it.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "drawing2d/drawing_context.h"

namespace kz::scene {

using kz::drawing2d::drawing_context;
using kz::drawing2d::drawing_handle;

class XLeaves;

// One line of a drawing pasted on a face, in face coordinates.
struct PastedLine {
    double start[3];
    double end[3];
    std::int32_t color;
};

// What one text record of a drawing holds for its expansion into strokes.
struct DrawingTextRecord {
    double x = 0.0, y = 0.0;  // insertion point
    double height = 0.0;
    double width = 0.0;  // character width; 0 or less: half the height
    double spacing = 0.0;
    int count = 0;  // characters
    double angle_degrees = 0.0;
    int anchor = 0;              // 0..10, low 4 bits of the style byte
    const char* text = nullptr;  // Shift_JIS
};

// The strokes of a drawing text as segments (x1, y1, z, x2, y2, z per segment, z = 10); appended to segments.
void expand_text_segments(const DrawingTextRecord& text, std::vector<double>& segments);

// Where a face's plane lies in its shape: the plane's origin (the first kept point), its turn (tilt, 0, azimuth;
// degrees) and the angle of its first edge.
struct FacePlacement {
    double origin[3] = {0.0, 0.0, 0.0};
    double turn[3] = {0.0, 0.0, 0.0};
    double edge = 0.0;
};

// The matrices from the shape into the face's plane and back that a placement stands for.
void face_plane_matrices(const FacePlacement& placement, double* to_plane, double* to_shape);

class XLeaf {
public:
    XLeaf(XLeaves* owner, std::int32_t face_code);
    virtual ~XLeaf();
    XLeaf(const XLeaf&) = delete;
    XLeaf& operator=(const XLeaf&) = delete;

    void AllocPoints(int n);
    void SetPoints(const double* points, int n, std::int64_t color, const double* normals);
    void AddDrawingLine(const drawing_context* drawing, const double* line, std::int32_t color);
    int LoadPastedDrawing(const char* file_name);
    // Appends the strokes of text record `index` of the drawing to buffer (6 doubles a segment); count is in
    // segments. Returns buffer.
    std::vector<double>& ExpandTextPrimitive(const drawing_context* drawing, int index, std::vector<double>& buffer,
                                             int* count);
    int Draw(void* device_context);
    int DrawPastedLines(void* device_context);
    int HitTestScreenPoint(std::uint64_t screen_point);
    int GetWorldPlane(double* point, double* normal);
    double ComputeDepth(const double* eye, const double* target, double* nearest = nullptr);

    int point_count() const { return count_; }
    const double* local_point(int i) const { return points_.get() + 3 * i; }
    // A face given no normals of its points keeps none: its own normal stands for each.
    const double* local_normal(int i) const { return own_normals_ ? points_.get() + 3 * (capacity_ + i) : normal; }
    // World copies are worked out from the shape's placement when asked, never kept.
    std::array<double, 3> world_point(int i) const;
    std::array<double, 3> world_normal(int i) const;
    std::vector<double> world_points() const;
    // Shape -> face plane and back (p' = p x M), worked out from the face's placement when asked: identity
    // until one is given.
    std::array<double, 16> frame() const;
    std::array<double, 16> frame_inverse() const;
    void SetPlacement(const FacePlacement& placement);
    // Face plane -> world and back: the face frame composed with its shape's placement.
    std::array<double, 16> world() const;
    std::array<double, 16> world_inverse() const;
    // Local outline carried by the frame inverse back into the shape's coordinates.
    void ShapePoint(int i, double* out) const;
    // Replaces point i's normal (in the face's own frame).
    void SetPointNormal(int i, const double* normal_in_face);

    XLeaves* owner = nullptr;
    std::int32_t face_code = 0;
    double area = 0.0;
    double width = 0.0;
    std::uint32_t color = 0xFFFFFF;
    double normal[3] = {1.0, 1.0, 1.0};
    double depth = -1.0;
    std::int32_t paste_entry = -1;
    std::int32_t paste_image = -1;
    std::int32_t first_polygon = -1;
    std::int32_t last_polygon = -1;
    std::vector<PastedLine> lines;

private:
    // The local points, then (only when the face was given them) their normals: one block of `capacity_` points
    // each.
    int count_ = 0;
    int capacity_ = 0;
    bool own_normals_ = false;
    bool placed_ = false;
    // Six numbers instead of two matrices of sixteen: a face is made once and its frame is seldom asked for.
    FacePlacement placement_;
    std::unique_ptr<double[]> points_;
    // Room for the points' own normals, each first set to the face normal.
    void HoldNormals();
};

}  // namespace kz::scene
