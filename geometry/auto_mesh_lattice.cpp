// The lattice of the planar mesher: every edge gets its middle nodes once (neighbouring triangles share them),
// then every triangle is divided into (d + 1)^2 triangles similar to itself.
#include <algorithm>
#include <cmath>

#include "geometry/auto_mesh.h"

namespace {

// Start of the record of edge s-e in either direction, or -1; forward tells which way it was stored.
int find_edge(const std::vector<int>& edges, int s, int e, int d, bool& forward) {
    const size_t length = static_cast<size_t>(d) + 2;
    for (size_t r = 0; r + length <= edges.size(); r += length) {
        const int a = edges[r], b = edges[r + length - 1];
        if (a == s && b == e) {
            forward = true;
            return static_cast<int>(r);
        }
        if (a == e && b == s) {
            forward = false;
            return static_cast<int>(r);
        }
    }
    return -1;
}

// Whether s and e follow each other in the closed ring of points [lo, hi).
bool ring_neighbours(int s, int e, int lo, int hi) {
    if (hi - lo < 2 || s < lo || s >= hi || e < lo || e >= hi) return false;
    return e == s + 1 || s == e + 1 || (s == hi - 1 && e == lo) || (e == hi - 1 && s == lo);
}

// Unit direction from a to b and the distance; a direction too short to normalise is left as it is.
void direction(const OfuVector2& a, const OfuVector2& b, double& ux, double& uy, double& length) {
    ux = b.x - a.x;
    uy = b.y - a.y;
    length = std::sqrt(ux * ux + uy * uy);
    if (length >= 1e-5) {
        ux /= length;
        uy /= length;
    }
}

}  // namespace

int CO3duAutoMesh::AddMiddleNode(int start, int end, int d, int kind, EdgeTable& edges, Mesh& mesh) {
    double ux, uy, length;
    direction(mesh.points[start], mesh.points[end], ux, uy, length);
    const OfuVector2 origin = mesh.points[start];
    for (int k = 1; k <= d; ++k) {
        const double f = double(k) / (d + 1) * length;
        edges.push_back(static_cast<int>(mesh.points.size()));
        mesh.points.push_back(OfuVector2(origin.x + f * ux, origin.y + f * uy));
        mesh.kinds.push_back(kind);
    }
    return 1;
}

int CO3duAutoMesh::GetOneLineIndex(int start, int end, int d, const EdgeTable& edges, std::vector<int>& record) {
    record.clear();
    bool forward = true;
    const int at = find_edge(edges, start, end, d, forward);
    if (at < 0) return 0;
    const int length = d + 2;
    record.assign(edges.begin() + at, edges.begin() + at + length);
    if (!forward) std::reverse(record.begin(), record.end());
    return 1;
}

void CO3duAutoMesh::ConvertDivideType(const std::vector<OfuVector2>& source, const std::vector<int>& source_triangles,
                                      Mesh& mesh, EdgeTable& edges, int d) {
    mesh.points = source;
    int nb = 0;
    for (int kind : mesh.kinds)
        if (kind == O3DU_MESH_RING_VERTEX) ++nb;
    const int count = static_cast<int>(source.size());
    edges.clear();
    for (size_t t = 0; t + 2 < source_triangles.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const int s = source_triangles[t + k], e = source_triangles[t + (k + 1) % 3];
            bool forward;
            if (find_edge(edges, s, e, d, forward) >= 0) continue;
            // Points after the outer ring form a second closed ring of their own.
            const bool outline = ring_neighbours(s, e, 0, nb) || ring_neighbours(s, e, nb, count);
            edges.push_back(s);
            AddMiddleNode(s, e, d, outline ? O3DU_MESH_RING_NODE : O3DU_MESH_INTERIOR, edges, mesh);
            edges.push_back(e);
        }
    }
}

void CO3duAutoMesh::ElementDivide(Mesh& mesh, const std::vector<int>& edge0, const std::vector<int>& edge1,
                                  const std::vector<int>& edge2, std::vector<int>& triangles, int d) {
    const int n = d + 1;
    double ux, uy, length;
    direction(mesh.points[edge1.front()], mesh.points[edge1.back()], ux, uy, length);
    std::vector<int> row(edge0), next;
    for (int r = 0; r < n; ++r) {
        next.clear();
        next.push_back(edge2[d - r]);
        const double f = length * (r + 1) / n;
        for (int k = r + 2; k <= d; ++k) {
            const OfuVector2 base = mesh.points[edge0[k]];
            next.push_back(static_cast<int>(mesh.points.size()));
            mesh.points.push_back(OfuVector2(base.x + f * ux, base.y + f * uy));
            mesh.kinds.push_back(O3DU_MESH_INTERIOR);
        }
        if (r < d) next.push_back(edge1[r + 1]);
        for (int k = 0; k <= n - r - 1; ++k) triangles.insert(triangles.end(), {row[k], row[k + 1], next[k]});
        for (int k = 0; k <= n - r - 2; ++k) triangles.insert(triangles.end(), {row[k + 1], next[k + 1], next[k]});
        row.swap(next);
    }
}

void CO3duAutoMesh::DivideAll(Mesh& mesh, const EdgeTable& edges, int d) {
    const std::vector<int> old = std::move(mesh.triangles);
    mesh.triangles.clear();
    mesh.triangles.reserve(old.size() * static_cast<size_t>(d + 1) * static_cast<size_t>(d + 1));
    std::vector<int> e0, e1, e2;
    for (size_t t = 0; t + 2 < old.size(); t += 3) {
        const int a = old[t], b = old[t + 1], c = old[t + 2];
        if (GetOneLineIndex(a, b, d, edges, e0) && GetOneLineIndex(b, c, d, edges, e1) &&
            GetOneLineIndex(c, a, d, edges, e2))
            ElementDivide(mesh, e0, e1, e2, mesh.triangles, d);
        else
            mesh.triangles.insert(mesh.triangles.end(), {a, b, c});
    }
}
