// The three ways of the planar mesher, the Delaunay step they share and the clean-up of points and triangles
// that fall outside the outline or inside a hole.
#include "geometry/auto_mesh.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "geometry/delauney.h"
#include "geometry/point_in_polygon_2d.h"

namespace {

bool finite_ring(const COfuPoint2Array& ring) {
    for (int i = 0; i < ring.GetSize(); ++i)
        if (!std::isfinite(ring[i].x) || !std::isfinite(ring[i].y)) return false;
    return true;
}

bool finite_polygon(const COfuHolePolygon2D& polygon) {
    if (!finite_ring(polygon.points)) return false;
    for (int h = 0; h < polygon.holes.GetSize(); ++h)
        if (!finite_ring(polygon.holes[h].points)) return false;
    return true;
}

int smoothing_passes(long divisions, long level) {
    switch (level) {
    case 1: return static_cast<int>(divisions / 4);
    case 2: return static_cast<int>(divisions / 2);
    case 3: return static_cast<int>(divisions);
    default: return 0;
    }
}

// Whether `triangles` triangles, each divided into (d + 1)^2, still fit the int lists that carry them.
bool division_fits(int64_t triangles, long divisions) {
    const int64_t limit = INT_MAX / 3;
    const int64_t n = int64_t(divisions) + 1;
    if (n > 46340) return false;  // (d + 1)^2 alone would not fit
    return triangles <= limit / (n * n);
}

// A simple convex outer ring turns one way by one full turn. Inside such a ring the mean of inside points
// is inside too, so smoothing needs no inside test there.
bool convex_without_holes(const COfuHolePolygon2D& polygon) {
    if (polygon.holes.GetSize() > 0) return false;
    const COfuPoint2Array& ring = polygon.points;
    const int n = ring.GetSize();
    if (n < 3) return false;
    int sign = 0;
    double turning = 0.0;
    for (int i = 0; i < n; ++i) {
        const OfuVector2& a = ring[i];
        const OfuVector2& b = ring[(i + 1) % n];
        const OfuVector2& c = ring[(i + 2) % n];
        const double ux = b.x - a.x, uy = b.y - a.y, vx = c.x - b.x, vy = c.y - b.y;
        const double turn = ux * vy - uy * vx;
        if (turn != 0.0) {
            const int s = turn > 0.0 ? 1 : -1;
            if (sign != 0 && s != sign) return false;
            sign = s;
        }
        turning += std::atan2(turn, ux * vx + uy * vy);
    }
    return sign != 0 && std::fabs(std::fabs(turning) - 2.0 * M_PI) < 1e-6;
}

double squared_distance(const OfuVector2& a, const OfuVector2& b) {
    return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

}  // namespace

int CO3duAutoMesh::GetIntersection(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                   double y4, double& x, double& y, int flag, double tolerance) {
    const double dx1 = x2 - x1, dy1 = y2 - y1, dx2 = x4 - x3, dy2 = y4 - y3;
    const double den = dx1 * dy2 - dy1 * dx2;
    if (den == 0.0) return 0;
    const double s = ((x3 - x1) * dy2 - (y3 - y1) * dx2) / den;
    const double t = ((x3 - x1) * dy1 - (y3 - y1) * dx1) / den;
    x = x1 + s * dx1;
    y = y1 + s * dy1;
    const double lo = flag ? -tolerance : 0.0, hi = flag ? 1.0 + tolerance : 1.0;
    return s >= lo && s <= hi && t >= lo && t <= hi ? 1 : -1;
}

CO3duAutoMesh::Mesh CO3duAutoMesh::ring_mesh(const COfuPoint2Array& ring) {
    Mesh mesh;
    for (int i = 0; i < ring.GetSize(); ++i) {
        mesh.points.push_back(ring[i]);
        mesh.kinds.push_back(O3DU_MESH_RING_VERTEX);
    }
    return mesh;
}

void CO3duAutoMesh::start_over(COfuPoint2Array& points, COfuArray<int>& kinds, COfuArray<int>& triangles) {
    points.RemoveAll();
    kinds.RemoveAll();
    triangles.RemoveAll();
}

void CO3duAutoMesh::hand_back(const Mesh& mesh, COfuPoint2Array& points, COfuArray<int>& kinds,
                              COfuArray<int>& triangles) {
    const int np = static_cast<int>(mesh.points.size());
    const int nt = static_cast<int>(mesh.triangles.size());
    points.SetSize(np);
    kinds.SetSize(np);
    for (int i = 0; i < np; ++i) {
        points[i] = mesh.points[i];
        kinds[i] = mesh.kinds[i];
    }
    triangles.SetSize(nt);
    for (int i = 0; i < nt; ++i) triangles[i] = mesh.triangles[i];
}

void CO3duAutoMesh::smooth(Mesh& mesh, const COfuHolePolygon2D& polygon, int passes) {
    // In a concave outline or beside a hole the mean of a point's neighbours can lie outside; such a move is
    // not made, so that smoothing never carries a point out of the polygon.
    const COfuHolePolygon2D* keep_inside = convex_without_holes(polygon) ? nullptr : &polygon;
    for (int pass = 0; pass < passes; ++pass) LapraceanMethod(mesh, keep_inside);
}

// Every triangle becomes its lattice; then what fell outside or into a hole goes, and the rest is smoothed.
void CO3duAutoMesh::divide_and_clean(Mesh& mesh, const EdgeTable& edges, int d, const COfuHolePolygon2D& polygon,
                                     int passes) {
    DivideAll(mesh, edges, d);
    RemovePoint(mesh, polygon);
    RemoveTriangle(mesh, polygon);
    smooth(mesh, polygon, passes);
}

void CO3duAutoMesh::DelaunayTriangulation(Mesh& mesh) {
    mesh.triangles.clear();
    const int n = static_cast<int>(mesh.points.size());
    if (n == 0) return;
    double xmin = mesh.points[0].x, xmax = xmin, ymin = mesh.points[0].y, ymax = ymin;
    for (const OfuVector2& p : mesh.points) {
        xmin = std::min(xmin, p.x);
        xmax = std::max(xmax, p.x);
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    double sx = xmax > xmin ? 1.0 / (xmax - xmin) : 0.0;
    double sy = ymax > ymin ? 1.0 / (ymax - ymin) : 0.0;
    if (!std::isfinite(sx)) sx = 0.0;
    if (!std::isfinite(sy)) sy = 0.0;

    CO3duDelauney triangulator;
    triangulator.InitRectangle(10.0, 10.0);
    std::vector<double> xs(static_cast<std::size_t>(n)), ys(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        xs[std::size_t(i)] = (mesh.points[std::size_t(i)].x - xmin) * sx + 1.0;
        ys[std::size_t(i)] = (mesh.points[std::size_t(i)].y - ymin) * sy + 1.0;
    }
    triangulator.AddPoints(xs.data(), ys.data(), n);
    // Mapped into [1, 2] x [1, 2] every point is taken; should one ever be refused, the kinds would no longer
    // match the points, so the points are kept as they are and nothing is triangulated.
    if (triangulator.GetPointCount() - 4 != n) return;

    // Point k of the triangulator is input point k - 4, so the inputs stay as they were: mapping them back
    // would only add rounding to the outline's own vertices.
    for (int t = 0; t < triangulator.GetTriangleCount(); ++t) {
        int a, b, c;
        triangulator.GetTriangle(t, a, b, c);
        if (a < 4 || b < 4 || c < 4) continue;
        mesh.triangles.insert(mesh.triangles.end(), {a - 4, b - 4, c - 4});
    }
}

void CO3duAutoMesh::RemovePoint(Mesh& mesh, const COfuHolePolygon2D& polygon) {
    const int n = static_cast<int>(mesh.points.size());
    std::vector<int> renumber(n, -1);
    int kept = 0;
    for (int i = 0; i < n; ++i) {
        if (mesh.kinds[i] == O3DU_MESH_INTERIOR && PointInHolePolygon2D(mesh.points[i], polygon) == 0) continue;
        renumber[i] = kept;
        mesh.points[kept] = mesh.points[i];
        mesh.kinds[kept] = mesh.kinds[i];
        ++kept;
    }
    mesh.points.resize(kept);
    mesh.kinds.resize(kept);
    // A triangle that used a removed point has lost a corner: it goes, and the others follow the new numbers.
    size_t out = 0;
    for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
        const int a = renumber[mesh.triangles[t]], b = renumber[mesh.triangles[t + 1]],
                  c = renumber[mesh.triangles[t + 2]];
        if (a < 0 || b < 0 || c < 0) continue;
        mesh.triangles[out++] = a;
        mesh.triangles[out++] = b;
        mesh.triangles[out++] = c;
    }
    mesh.triangles.resize(out);
}

void CO3duAutoMesh::RemoveTriangle(Mesh& mesh, const COfuHolePolygon2D& polygon) {
    size_t out = 0;
    for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
        const OfuVector2& a = mesh.points[mesh.triangles[t]];
        const OfuVector2& b = mesh.points[mesh.triangles[t + 1]];
        const OfuVector2& c = mesh.points[mesh.triangles[t + 2]];
        const OfuVector2 centroid((a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0);
        if (PointInHolePolygon2D(centroid, polygon) == 0) continue;
        for (int k = 0; k < 3; ++k) mesh.triangles[out++] = mesh.triangles[t + k];
    }
    mesh.triangles.resize(out);
}

int CO3duAutoMesh::DivisionType01(COfuHolePolygon2D& polygon, COfuPoint2Array& points, COfuArray<int>& kinds,
                                  COfuArray<int>& triangles, long divisions, long level) {
    start_over(points, kinds, triangles);
    if (divisions < 1) divisions = 1;
    if (!finite_polygon(polygon) || !division_fits(1, divisions)) return 0;
    const int d = static_cast<int>(divisions);
    const int passes = smoothing_passes(divisions, level);
    const COfuPoint2Array& ring = polygon.points;
    const int n = ring.GetSize();
    if (n == 0) return 0;

    Mesh mesh;
    std::vector<int> tags;  // the outer edge a node was found on; -1 ring vertices, -2 grid points
    auto append = [&](const OfuVector2& p, int kind, int tag) {
        mesh.points.push_back(p);
        mesh.kinds.push_back(kind);
        tags.push_back(tag);
    };
    for (int i = 0; i < n; ++i) append(ring[i], O3DU_MESH_RING_VERTEX, -1);

    double xmin = ring[0].x, xmax = xmin, ymin = ring[0].y, ymax = ymin;
    for (int i = 1; i < n; ++i) {
        xmin = std::min(xmin, ring[i].x);
        xmax = std::max(xmax, ring[i].x);
        ymin = std::min(ymin, ring[i].y);
        ymax = std::max(ymax, ring[i].y);
    }
    const double h = std::max(xmax - xmin, ymax - ymin) / d;
    // All points in one place give no step: there is no grid to lay, only the ring itself to triangulate.
    if (h > 0.0) {
        // At most d + 1 lines: far from the origin x + k*h can round back onto x, and the count must still end.
        auto on_x = [&](int k) { return k <= d && xmin + k * h <= xmax + 0.01 * h; };
        auto on_y = [&](int k) { return k <= d && ymin + k * h <= ymax + 0.01 * h; };
        for (int i = 0; i < n; ++i) {
            const OfuVector2& a = ring[i];
            const OfuVector2& b = ring[(i + 1) % n];
            double x, y;
            for (int k = 0; on_x(k); ++k)
                if (GetIntersection(a.x, a.y, b.x, b.y, xmin + k * h, ymin, xmin + k * h, ymax, x, y, 0, 0.0) == 1)
                    append(OfuVector2(x, y), O3DU_MESH_RING_NODE, i);
            for (int k = 0; on_y(k); ++k)
                if (GetIntersection(a.x, a.y, b.x, b.y, xmin, ymin + k * h, xmax, ymin + k * h, x, y, 0, 0.0) == 1)
                    append(OfuVector2(x, y), O3DU_MESH_RING_NODE, i);
        }
        for (int i = 0; on_x(i); ++i)
            for (int j = 0; on_y(j); ++j) {
                const OfuVector2 p(xmin + i * h, ymin + j * h);
                if (PointInHolePolygon2D(p, polygon) == 1) append(p, O3DU_MESH_INTERIOR, -2);
            }

        const double near2 = 0.25 * h * h;  // closer than half a step
        auto erase_at = [&](int i) {
            mesh.points.erase(mesh.points.begin() + i);
            mesh.kinds.erase(mesh.kinds.begin() + i);
            tags.erase(tags.begin() + i);
        };
        // Grid points crowding the boundary go (all decided first: only boundary points are compared with).
        size_t kept = 0;
        for (size_t i = 0; i < mesh.points.size(); ++i) {
            bool crowding = false;
            if (mesh.kinds[i] == O3DU_MESH_INTERIOR)
                for (size_t j = 0; j < mesh.points.size() && !crowding; ++j)
                    crowding =
                        mesh.kinds[j] != O3DU_MESH_INTERIOR && squared_distance(mesh.points[i], mesh.points[j]) < near2;
            if (crowding) continue;
            mesh.points[kept] = mesh.points[i];
            mesh.kinds[kept] = mesh.kinds[i];
            tags[kept] = tags[i];
            ++kept;
        }
        mesh.points.resize(kept);
        mesh.kinds.resize(kept);
        tags.resize(kept);
        // Edge nodes crowding a ring vertex, or a node of their own edge, go as soon as they are found.
        for (int i = 0; i < static_cast<int>(mesh.points.size()); ++i) {
            if (mesh.kinds[i] == O3DU_MESH_INTERIOR) continue;
            for (int j = 0; j < static_cast<int>(mesh.points.size());) {
                const bool crowding = j != i && mesh.kinds[j] == O3DU_MESH_RING_NODE &&
                                      squared_distance(mesh.points[i], mesh.points[j]) < near2 &&
                                      (mesh.kinds[i] == O3DU_MESH_RING_VERTEX || tags[i] == tags[j]);
                if (!crowding) {
                    ++j;
                    continue;
                }
                erase_at(j);
                if (j < i) --i;
            }
        }
        // The surviving nodes of each edge are spread evenly along it.
        for (int i = 0; i < n; ++i) {
            const OfuVector2& a = ring[i];
            const OfuVector2& b = ring[(i + 1) % n];
            const int m = static_cast<int>(std::count(tags.begin(), tags.end(), i));
            int j = 0;
            for (size_t p = 0; p < mesh.points.size(); ++p)
                if (tags[p] == i) {
                    const double f = double(++j) / (m + 1);
                    mesh.points[p] = OfuVector2(a.x + f * (b.x - a.x), a.y + f * (b.y - a.y));
                }
        }
    }

    // The shear keeps the square grid from handing the triangulator rows of co-circular points; the points
    // themselves come back unsheared, exactly as they were.
    const std::vector<OfuVector2> unsheared = mesh.points;
    for (OfuVector2& p : mesh.points) p.x += 0.01 * p.y;
    DelaunayTriangulation(mesh);
    mesh.points = unsheared;
    RemoveTriangle(mesh, polygon);
    smooth(mesh, polygon, passes);
    hand_back(mesh, points, kinds, triangles);
    return 0;
}

int CO3duAutoMesh::DivisionType02(COfuHolePolygon2D& polygon, COfuPoint2Array& points, COfuArray<int>& kinds,
                                  COfuArray<int>& triangles, long divisions, long level) {
    start_over(points, kinds, triangles);
    // A negative count has no lattice; it is taken as 0, every triangle staying whole.
    if (divisions < 0) divisions = 0;
    if (!finite_polygon(polygon)) return 0;
    const int d = static_cast<int>(std::min<long>(divisions, INT_MAX));
    const int passes = smoothing_passes(divisions, level);
    const COfuPoint2Array& ring = polygon.points;

    Mesh mesh = ring_mesh(ring);
    const std::vector<OfuVector2> source = mesh.points;
    DelaunayTriangulation(mesh);
    RemoveTriangle(mesh, polygon);
    if (!division_fits(static_cast<int64_t>(mesh.triangles.size() / 3), divisions)) return 0;

    EdgeTable edges;
    const std::vector<int> base = mesh.triangles;
    ConvertDivideType(source, base, mesh, edges, d);
    divide_and_clean(mesh, edges, d, polygon, passes);
    hand_back(mesh, points, kinds, triangles);
    return 0;
}

int CO3duAutoMesh::DivisionType03(COfuHolePolygon2D& polygon, COfuPoint2Array& points, COfuArray<int>& kinds,
                                  COfuArray<int>& triangles, long divisions, long level) {
    start_over(points, kinds, triangles);
    if (divisions < 0) divisions = 0;
    const COfuPoint2Array& ring = polygon.points;
    const int n = ring.GetSize();
    if (!finite_polygon(polygon) || n == 0 || !division_fits(n, divisions)) return 0;
    const int d = static_cast<int>(divisions);
    const int passes = smoothing_passes(divisions, level);

    Mesh mesh = ring_mesh(ring);
    double sx = 0.0, sy = 0.0;
    for (const OfuVector2& p : mesh.points) {
        sx += p.x;
        sy += p.y;
    }
    // The centre counts as a ring node while the edges get their nodes, so that no spoke is taken for part of
    // the outline; afterwards it is free to move.
    mesh.points.push_back(OfuVector2(sx / n, sy / n));
    mesh.kinds.push_back(O3DU_MESH_RING_NODE);
    const std::vector<OfuVector2> source = mesh.points;
    std::vector<int> fan;
    fan.reserve(3 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) fan.insert(fan.end(), {i, (i + 1) % n, n});

    EdgeTable edges;
    ConvertDivideType(source, fan, mesh, edges, d);
    mesh.kinds[n] = O3DU_MESH_INTERIOR;
    mesh.triangles = fan;
    divide_and_clean(mesh, edges, d, polygon, passes);
    hand_back(mesh, points, kinds, triangles);
    return 0;
}

int CO3duAutoMesh::DivisionType03(COfuHolePolygon2D& polygon, CO3duPoint2List& points, CO3duIntegerList& kinds,
                                  CO3duIntegerList& triangles, long divisions, long level) {
    COfuHolePolygon2D outline;
    outline.points = polygon.points;
    COfuPoint2Array mesh_points;
    COfuArray<int> mesh_kinds, mesh_triangles;
    const int result = DivisionType03(outline, mesh_points, mesh_kinds, mesh_triangles, divisions, level);
    points.SetSize(mesh_points.GetSize());
    for (int i = 0; i < mesh_points.GetSize(); ++i) points[i] = mesh_points[i];
    kinds.SetSize(mesh_kinds.GetSize());
    for (int i = 0; i < mesh_kinds.GetSize(); ++i) kinds[i] = mesh_kinds[i];
    triangles.SetSize(mesh_triangles.GetSize());
    for (int i = 0; i < mesh_triangles.GetSize(); ++i) triangles[i] = mesh_triangles[i];
    return result;
}
