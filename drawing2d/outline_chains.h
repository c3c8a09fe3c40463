// Closed polygons from loose outline segments: the paint joins segments whose ends meet within two drawing units
// into chains, in the order a search over the segments by index would find them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kz::drawing2d {

struct OutlineSegment {
    int32_t x1, y1, x2, y2;
    int32_t color;  // pen colour (0x00BBGGRR) of the segment's record
};
struct OutlinePoint {
    int32_t x, y;
};
struct OutlinePolygon {
    std::size_t first, count;  // points[first .. first + count)
    int32_t color;             // colour of its first segment
};

// Each chain starts at the first segment left and takes, again and again, the segment of lowest index one of whose
// ends lies within 2 units (in x and in y) of its last point, appending the other end, until it comes back within
// 2 units of its first point or finds none. A chain of one segment is dropped; an open one ends with its first
// point again.
void chain_outline_segments(const std::vector<OutlineSegment>& segments, std::vector<OutlinePoint>& points,
                            std::vector<OutlinePolygon>& polygons);

}  // namespace kz::drawing2d
