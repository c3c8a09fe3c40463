// The colour block a shape builder gives each face, and the two buffers in which the bridge gathers the faces
// and stroke drawings of one shape before they become one modeller shape.
#pragma once
#include <cstdint>
#include <vector>

namespace kz::foundation {

struct MaterialRecord {
    std::uint32_t color = 0;    // COLORREF, red in the low byte
    double ambient = 0.0;       // factor on the colour; 0 takes the bridge's
    double diffuse = 0.0;       // factor on the colour; 0 takes the bridge's
    double specular = 0.0;      // grey level; 0 takes the bridge's
    double transparency = 0.0;  // 0 opaque .. 1 invisible; 0.001 or less is 0; above 1.5 also unpickable
    double red = 0.0, green = 0.0, blue = 0.0;  // 0..255
    std::int32_t texture = 0;                   // > 0 modeller texture id, 0 none, < 0 none on purpose
};

// One face: corners in the shape's local coordinates with a normal and a texture coordinate each.
struct PolygonBufferEntry {
    MaterialRecord material;
    std::uint32_t texture_mode = 0;  // 1: sphere-mapped texture, otherwise texture coordinates
    std::vector<double> points;      // 3 per corner
    std::vector<double> normals;     // 3 per corner
    std::vector<double> texcoords;   // 2 per corner, zero when none were given
    int point_count() const { return static_cast<int>(points.size() / 3); }
};

// One stroke drawing: points taken in pairs, each pair one segment.
struct PolylineEntry {
    std::uint32_t color = 0xFFFFFF;
    std::int32_t line_width = 1;
    double ambient = 1.0;        // 0 takes the bridge's
    std::vector<double> points;  // 3 per point
    double transparency = 0.0;
    int point_count() const { return static_cast<int>(points.size() / 3); }
    void add_point(double x, double y, double z) { points.insert(points.end(), {x, y, z}); }
};

}  // namespace kz::foundation
