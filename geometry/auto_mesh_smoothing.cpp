// Laplacian smoothing of the planar mesher: each interior node moves to the mean of the ring of points around
// it, as long as that ring closes and turns one way; ring and boundary nodes stay where they are.
#include <cmath>

#include "geometry/auto_mesh.h"
#include "geometry/point_in_polygon_2d.h"

namespace {

constexpr int kRingSlots = 30;  // triangles one point may gather; a point with more is left alone

}  // namespace

void CO3duAutoMesh::Normalize(DEF_DXYZ* v) {
    const double length = std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
    if (length <= 1e-10) return;
    v->x /= length;
    v->y /= length;
    v->z /= length;
}

void CO3duAutoMesh::P2Vector(const DEF_DXYZ& a, const DEF_DXYZ& b, DEF_DXYZ* out) {
    *out = {b.x - a.x, b.y - a.y, b.z - a.z};
    Normalize(out);
}

int CO3duAutoMesh::VectorCros(const DEF_DXYZ& a, const DEF_DXYZ& b, DEF_DXYZ* out) {
    *out = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    return std::sqrt(out->x * out->x + out->y * out->y + out->z * out->z) > 0.0001 ? 1 : 0;
}

void CO3duAutoMesh::VectorDot(const DEF_DXYZ& a, const DEF_DXYZ& b, double* out) {
    *out = a.x * b.x + a.y * b.y + a.z * b.z;
}

// Fails where two neighbouring corners of the ring turn opposite ways; the corners at the ring's first and
// last point are not compared.
int CO3duAutoMesh::CheckNormalPolygon(int count, const DEF_DXYZ* ring) {
    for (int k = 0; k + 3 < count; ++k) {
        DEF_DXYZ v1, v2, v3, n1, n2;
        P2Vector(ring[k], ring[k + 1], &v1);
        P2Vector(ring[k + 1], ring[k + 2], &v2);
        P2Vector(ring[k + 2], ring[k + 3], &v3);
        VectorCros(v1, v2, &n1);
        VectorCros(v2, v3, &n2);
        Normalize(&n1);
        Normalize(&n2);
        double cosine;
        VectorDot(n1, n2, &cosine);
        if (cosine < -0.99999) return 0;
    }
    return 1;
}

void CO3duAutoMesh::LapraceanMethod(Mesh& mesh, const COfuHolePolygon2D* keep_inside) {
    const int np = static_cast<int>(mesh.points.size());
    const int nt = static_cast<int>(mesh.triangles.size() / 3);
    std::vector<int> table(static_cast<size_t>(np) * kRingSlots), gathered(np, 0);
    for (int t = 0; t < nt; ++t)
        for (int k = 0; k < 3; ++k) {
            const int p = mesh.triangles[3 * t + k];
            if (gathered[p] < kRingSlots) table[static_cast<size_t>(p) * kRingSlots + gathered[p]] = t;
            ++gathered[p];  // counts on past the row: such a point is not moved
        }

    const std::vector<OfuVector2> before = mesh.points;
    int starts[kRingSlots], ends[kRingSlots];
    bool used[kRingSlots];
    DEF_DXYZ ring[kRingSlots];
    for (int p = 0; p < np; ++p) {
        const int m = gathered[p];
        if (mesh.kinds[p] != O3DU_MESH_INTERIOR || m == 0 || m > kRingSlots) continue;
        double sx = 0.0, sy = 0.0;
        for (int i = 0; i < m; ++i) {
            const int* tri = &mesh.triangles[3 * static_cast<size_t>(table[static_cast<size_t>(p) * kRingSlots + i])];
            const int at = tri[0] == p ? 0 : tri[1] == p ? 1 : 2;
            starts[i] = tri[(at + 1) % 3];
            ends[i] = tri[(at + 2) % 3];
            used[i] = false;
            sx += before[starts[i]].x + before[ends[i]].x;
            sy += before[starts[i]].y + before[ends[i]].y;
        }
        // Chain the opposite edges end to start; a ring that breaks off or closes early (the point sits on the
        // border of the mesh, or two fans meet in it) leaves the point where it is.
        int current = ends[0];
        used[0] = true;
        ring[0] = {before[starts[0]].x, before[starts[0]].y, 0.0};
        bool closed = true;
        for (int i = 1; i < m && closed; ++i) {
            int found = -1;
            for (int j = 0; j < m && found < 0; ++j)
                if (!used[j] && starts[j] == current) found = j;
            if (found < 0) {
                closed = false;
                break;
            }
            used[found] = true;
            ring[i] = {before[current].x, before[current].y, 0.0};
            current = ends[found];
        }
        if (!closed || current != starts[0] || !CheckNormalPolygon(m, ring)) continue;
        const OfuVector2 moved(sx / (2.0 * m), sy / (2.0 * m));
        if (keep_inside && PointInHolePolygon2D(moved, *keep_inside) != 1) continue;
        mesh.points[p] = moved;
    }
}
