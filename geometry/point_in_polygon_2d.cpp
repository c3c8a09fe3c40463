// Winding-angle inside tests of the planar mesher. Each edge adds the angle under which it is seen, rounded to
// single precision as the mesher always has; a point on an edge or a vertex is reported as soon as it is met.
#include "geometry/point_in_polygon_2d.h"

#include <cmath>

int PointInPolygon2D(const OfuVector2& point, const COfuPoint2Array& ring, double tolerance) {
    const int n = ring.GetSize();
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const OfuVector2& p = ring[i];
        const OfuVector2& q = ring[(i + 1) % n];
        const double ax = p.x - point.x, ay = p.y - point.y;
        const double bx = q.x - point.x, by = q.y - point.y;
        const double cross = ax * by - ay * bx;
        const double dot = ax * bx + ay * by;
        if (std::fabs(cross) < tolerance) {
            const double la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
            if (la < 1e-5 || lb < 1e-5) return 3;
            if (dot / (la * lb) < tolerance - 1.0) return 2;
        }
        if (cross != 0.0 || dot != 0.0) sum += static_cast<float>(std::atan2(cross, dot));
    }
    return std::fabs(sum) > M_PI ? 1 : 0;
}

int PointInHolePolygon2D(const OfuVector2& point, const COfuHolePolygon2D& polygon) {
    if (PointInPolygon2D(point, polygon.points, 1e-5) == 0) return 0;
    for (int h = 0; h < polygon.holes.GetSize(); ++h)
        if (PointInPolygon2D(point, polygon.holes[h].points, 1e-5) != 0) return 0;
    return 1;
}
