// Oracles over drawn triangles; written from OpenGL's drawing rules, not from the converters.
// Welding rounds positions to a 1e-9 grid so that equal points from different sets meet.
#include "mesh_oracles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "geometry/vector_math.h"

namespace kz::test {

std::vector<Triangle> drawn_triangles(const CO3duTrianglePolys& set) {
    std::vector<Triangle> out;
    const int n = set.vertices.GetSize();
    auto v = [&](int i) { return set.vertices[i].position; };
    switch (set.type) {
    case O3DU_SET_TRIANGLE_LIST:
        for (int k = 0; k + 2 < n; k += 3) out.push_back({v(k), v(k + 1), v(k + 2)});
        break;
    case O3DU_SET_TRIANGLE_STRIP:
        for (int k = 0; k + 2 < n; ++k)
            out.push_back(k % 2 == 0 ? Triangle{v(k), v(k + 1), v(k + 2)} : Triangle{v(k + 1), v(k), v(k + 2)});
        break;
    case O3DU_SET_TRIANGLE_FAN:
        for (int k = 1; k + 1 < n; ++k) out.push_back({v(0), v(k), v(k + 1)});
        break;
    case O3DU_SET_INDEXED_TRIANGLES:
        for (int t = 0; t < set.indices.GetSize(); ++t) {
            const _O3duVertexIndex& i = set.indices[t];
            out.push_back({v(i.a), v(i.b), v(i.c)});
        }
        break;
    default: break;
    }
    return out;
}

std::vector<Triangle> drawn_triangles(const CO3duPolygonList& sets) {
    std::vector<Triangle> out;
    for (int s = 0; s < sets.GetSize(); ++s) {
        const std::vector<Triangle> t = drawn_triangles(sets[s]);
        out.insert(out.end(), t.begin(), t.end());
    }
    return out;
}

double triangle_area(const Triangle& t) { return 0.5 * length(cross(t[1] - t[0], t[2] - t[0])); }

double signed_area(const Triangle& t, const OfuVector3& n) { return 0.5 * dot(cross(t[1] - t[0], t[2] - t[0]), n); }

Closedness check_closed(const std::vector<Triangle>& triangles) {
    using Key = std::tuple<long long, long long, long long>;
    std::map<Key, int> ids;
    auto id = [&](const OfuVector3& p) {
        const Key k{std::llround(p.x * 1e9), std::llround(p.y * 1e9), std::llround(p.z * 1e9)};
        return ids.emplace(k, static_cast<int>(ids.size())).first->second;
    };
    std::vector<std::array<int, 3>> kept;
    std::vector<OfuVector3> where;
    Closedness result;
    for (const Triangle& t : triangles) {
        if (triangle_area(t) < 1e-12) continue;
        ++result.triangles;
        std::array<int, 3> ids_of{};
        for (int k = 0; k < 3; ++k) {
            ids_of[k] = id(t[k]);
            if (ids_of[k] >= static_cast<int>(where.size())) where.push_back(t[k]);
        }
        kept.push_back(ids_of);
    }
    // An edge that passes through another welded point is split there: the holed caps add midpoints on their
    // loop edges, which the walls beside them do not have (a T-junction still closes the surface).
    std::map<std::pair<int, int>, int> directed;
    for (const auto& t : kept)
        for (int k = 0; k < 3; ++k) {
            const int a = t[k], b = t[(k + 1) % 3];
            const OfuVector3 d = where[b] - where[a];
            const double len2 = dot(d, d);
            std::vector<std::pair<double, int>> stops = {{0.0, a}, {1.0, b}};
            for (int v = 0; v < static_cast<int>(where.size()); ++v) {
                if (v == a || v == b) continue;
                const OfuVector3 w = where[v] - where[a];
                const double s = dot(w, d) / len2;
                if (s <= 1e-12 || s >= 1 - 1e-12) continue;
                const OfuVector3 off = w - OfuVector3(d.x * s, d.y * s, d.z * s);
                if (dot(off, off) < 1e-18) stops.emplace_back(s, v);
            }
            std::sort(stops.begin(), stops.end());
            for (size_t i = 0; i + 1 < stops.size(); ++i) ++directed[{stops[i].second, stops[i + 1].second}];
        }
    for (const auto& [edge, count] : directed) {
        auto back = directed.find({edge.second, edge.first});
        if (count != 1 || back == directed.end() || back->second != 1) ++result.unmatched_edges;
    }
    return result;
}

double enclosed_volume(const std::vector<Triangle>& triangles) {
    double v = 0.0;
    for (const Triangle& t : triangles) v += dot(t[0], cross(t[1], t[2])) / 6.0;
    return v;
}

double shoelace(const std::vector<OfuVector3>& outline) {
    double a = 0.0;
    const size_t n = outline.size();
    for (size_t i = 0; i < n; ++i) {
        const OfuVector3& p = outline[i];
        const OfuVector3& q = outline[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return 0.5 * a;
}

}  // namespace kz::test
