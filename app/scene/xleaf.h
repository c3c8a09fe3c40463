// XLeaf, one face polygon of a shape: its outline in the shape's frame and in the world, the face matrices, area,
// depth for back-to-front drawing, and the lines of a CAD drawing pasted on it.
#pragma once
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
    const double* local_point(int i) const { return array(kLocalPoints) + 3 * i; }
    const double* local_normal(int i) const { return array(kLocalNormals) + 3 * i; }
    const double* world_point(int i) const { return array(kWorldPoints) + 3 * i; }
    const double* world_normal(int i) const { return array(kWorldNormals) + 3 * i; }
    // Local outline carried by the frame inverse back into the shape's coordinates.
    void ShapePoint(int i, double* out) const;
    // Replaces point i's normal (in the face's own frame); its world copy follows.
    void SetPointNormal(int i, const double* normal_in_face);

    XLeaves* owner = nullptr;
    std::int32_t face_code = 0;
    double area = 0.0;
    double width = 0.0;
    std::uint32_t color = 0xFFFFFF;
    double normal[3] = {1.0, 1.0, 1.0};
    // Shape -> face plane and back, and face plane -> world and back (p' = p x M).
    double frame[16];
    double frame_inverse[16];
    double world[16];
    double world_inverse[16];
    double depth = -1.0;
    std::int32_t paste_entry = -1;
    std::int32_t paste_image = -1;
    std::int32_t first_polygon = -1;
    std::int32_t last_polygon = -1;
    std::vector<PastedLine> lines;

private:
    // The four point arrays of `capacity_` points each live in one block, in this order: a face costs one
    // allocation, not four.
    enum Array { kLocalPoints, kLocalNormals, kWorldPoints, kWorldNormals };
    double* array(Array a) { return points_.get() + std::size_t(a) * 3 * std::size_t(capacity_); }
    const double* array(Array a) const { return points_.get() + std::size_t(a) * 3 * std::size_t(capacity_); }

    int count_ = 0;
    int capacity_ = 0;
    std::unique_ptr<double[]> points_;
    // World copies of the points, refreshed from the face's matrix.
    void RefreshWorldPoints();
};

}  // namespace kz::scene
