// Prisms and outline walls of the stencil shadow volumes. Outline edges are found with a hash of directed edges:
// an edge met again in the opposite direction is shared by two lit triangles and drops out.
#include "modeller/gl_shadow_volumes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "geometry/vector_math.h"

namespace {

constexpr double kFlat = 1e-5;

using Edge = std::uint64_t;
Edge edge_key(std::uint32_t from, std::uint32_t to) { return (Edge(from) << 32) | to; }

struct Light {
    std::vector<float> p;  // 3 a vertex, light space
    const float* at(std::uint32_t i) const { return &p[std::size_t(i) * 3]; }
};

double signed_area(const float* a, const float* b, const float* c) {
    return double(b[0] - a[0]) * (c[1] - a[1]) - double(b[1] - a[1]) * (c[0] - a[0]);
}

// The wall strip p', p for every point of a closed run, the first pair repeated to close it.
void add_walls(const std::vector<const float*>& run, float extrusion, CO3duShadowVolumes& out) {
    std::vector<float> strip;
    strip.reserve((run.size() + 1) * 6);
    for (std::size_t i = 0; i <= run.size(); ++i) {
        const float* p = run[i % run.size()];
        strip.insert(strip.end(), {p[0], p[1], p[2] - extrusion, p[0], p[1], p[2]});
    }
    out.add_strip(strip.data(), strip.size() / 3);
}

void add_prism(const float* a, const float* b, const float* c, const O3duShadowSettings& settings, bool with_outline,
               CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms) {
    const double s = signed_area(a, b, c);
    if (std::fabs(s) < kFlat) return;
    if (s < 0.0) {
        if (!settings.cull_mode) return;
        std::swap(b, c);
    }
    const std::vector<const float*> run = {a, b, c};
    add_walls(run, static_cast<float>(settings.extrusion), prisms);
    if (with_outline) add_walls(run, static_cast<float>(settings.extrusion), outlines);
}

// Outline loops of the triangles of one facing; each is walked counter-clockwise as seen from the light.
class OutlineFinder {
public:
    void add_triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        mark(a, b);
        mark(b, c);
        mark(c, a);
    }

    // Each remaining edge u -> v is closed into a loop by the shortest way from v back to u over the others.
    void emit(const Light& light, float extrusion, CO3duShadowVolumes& out) {
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> next;
        for (Edge e : marked_) next[std::uint32_t(e >> 32)].push_back(std::uint32_t(e));
        while (!marked_.empty()) {
            const Edge first = *marked_.begin();
            marked_.erase(first);
            const std::uint32_t u = std::uint32_t(first >> 32), v = std::uint32_t(first);
            std::vector<std::uint32_t> path;
            if (!shortest(next, v, u, path)) continue;
            std::vector<const float*> run = {light.at(u)};
            for (std::size_t i = 0; i + 1 < path.size(); ++i) {
                run.push_back(light.at(path[i]));
                marked_.erase(edge_key(path[i], path[i + 1]));
            }
            add_walls(run, extrusion, out);
        }
    }

private:
    void mark(std::uint32_t from, std::uint32_t to) {
        if (from == to) return;
        if (marked_.erase(edge_key(to, from)) == 0) marked_.insert(edge_key(from, to));
    }

    // Breadth-first over the edges still marked: every edge weighs the same. The path runs from `from` to `to`.
    bool shortest(const std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>& next, std::uint32_t from,
                  std::uint32_t to, std::vector<std::uint32_t>& path) const {
        std::unordered_map<std::uint32_t, std::uint32_t> back;
        std::deque<std::uint32_t> queue = {from};
        back[from] = from;
        while (!queue.empty() && !back.count(to)) {
            const std::uint32_t at = queue.front();
            queue.pop_front();
            const auto it = next.find(at);
            if (it == next.end()) continue;
            for (std::uint32_t w : it->second) {
                if (back.count(w) || !marked_.count(edge_key(at, w))) continue;
                back[w] = at;
                queue.push_back(w);
            }
        }
        if (!back.count(to)) return false;
        for (std::uint32_t at = to;; at = back[at]) {
            path.push_back(at);
            if (at == from) break;
        }
        std::reverse(path.begin(), path.end());
        return true;
    }

    std::unordered_set<Edge> marked_;
};

}  // namespace

bool casts_shadow(const CO3duGLTrianglePolygons& set, bool translucent_texture) {
    return set.material().diffuse.a == 1.0f && !translucent_texture && set.is_triangle_mode() && set.vertex_count() > 0;
}

void add_shadow_volumes(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light,
                        const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms) {
    const std::uint32_t count = static_cast<std::uint32_t>(std::max(set.vertex_count(), 0));
    Light light;
    light.p.resize(std::size_t(count) * 3);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float* q = set.position(i);
        OfuVector3 p(q[0], q[1], q[2]);
        TransformPointByMatrix4x4(to_light, p);
        light.p[std::size_t(i) * 3] = static_cast<float>(p.x);
        light.p[std::size_t(i) * 3 + 1] = static_cast<float>(p.y);
        light.p[std::size_t(i) * 3 + 2] = static_cast<float>(p.z);
    }
    const bool outline = settings.accuracy == 1;
    if (set.mode() == GL_TRIANGLES && !set.indexed()) {
        for (std::uint32_t i = 0; i + 2 < count; i += 3)
            add_prism(light.at(i), light.at(i + 1), light.at(i + 2), settings, outline, outlines, prisms);
        return;
    }
    std::vector<std::uint32_t> triples;
    if (set.indexed()) {
        const std::uint32_t* indices = set.indices();
        for (std::size_t i = 0; i + 2 < set.index_count(); i += 3)
            if (indices[i] < count && indices[i + 1] < count && indices[i + 2] < count)
                triples.insert(triples.end(), {indices[i], indices[i + 1], indices[i + 2]});
    } else if (set.mode() == GL_TRIANGLE_STRIP) {
        for (std::uint32_t i = 0; i + 2 < count; ++i)
            triples.insert(triples.end(), {i, i % 2 ? i + 2 : i + 1, i % 2 ? i + 1 : i + 2});
    } else if (set.mode() == GL_TRIANGLE_FAN) {
        for (std::uint32_t i = 0; i + 2 < count; ++i) triples.insert(triples.end(), {0u, i + 1, i + 2});
    }
    OutlineFinder lit, unlit;
    double previous = 0.0;
    for (std::size_t t = 0; t + 2 < triples.size(); t += 3) {
        const std::uint32_t a = triples[t], b = triples[t + 1], c = triples[t + 2];
        add_prism(light.at(a), light.at(b), light.at(c), settings, false, outlines, prisms);
        if (!outline) continue;
        // A sliver takes the facing of the triangle before it, so that a strip's outline stays closed across it.
        double s = signed_area(light.at(a), light.at(b), light.at(c));
        if (std::fabs(s) < kFlat) s = previous;
        previous = s;
        if (s > 0.0)
            lit.add_triangle(a, b, c);
        else if (s < 0.0 && settings.cull_mode)
            unlit.add_triangle(a, c, b);
    }
    if (!outline) return;
    lit.emit(light, static_cast<float>(settings.extrusion), outlines);
    unlit.emit(light, static_cast<float>(settings.extrusion), outlines);
}
