// The cast goes over the very triangles the modeller draws: a set's strips and fans unfolded as OpenGL unfolds them,
// through the shape's model matrix. A shape's bounds pass over most of them. A point lies in shadow when it is on a
// face turned from the light, or when its way towards the light meets a triangle facing the light: it stands in
// that triangle's prism, which is what the stencil counts.
#include "tests/modeller/shadow/scenes.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "geometry/vector_math.h"
#include "modeller/shadow/volumes.h"

namespace kz::test {
namespace {

OfuVector3 unit(OfuVector3 v) {
    NormalizeVector3(v);
    return v;
}

OfuVector3 moved_by(const OfuVector3& o, const OfuVector3& d, double t) {
    return {o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
}

// Whether the ray meets the box beyond t0 and before t1.
bool meets_box(const double* lo, const double* hi, const OfuVector3& o, const OfuVector3& d, double t0, double t1) {
    const double po[3] = {o.x, o.y, o.z}, pd[3] = {d.x, d.y, d.z};
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(pd[a]) < 1e-300) {
            if (po[a] < lo[a] || po[a] > hi[a]) return false;
            continue;
        }
        double ta = (lo[a] - po[a]) / pd[a], tb = (hi[a] - po[a]) / pd[a];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta), t1 = std::min(t1, tb);
        if (t0 > t1) return false;
    }
    return true;
}

// The index triples of one set as OpenGL draws it; none for points and lines.
std::vector<int> triangles_of(const CO3duTrianglePolys& set) {
    std::vector<int> out;
    const int n = set.vertices.GetSize();
    switch (set.type) {
    case O3DU_SET_TRIANGLE_LIST:
        for (int i = 0; i + 2 < n; i += 3) out.insert(out.end(), {i, i + 1, i + 2});
        break;
    case O3DU_SET_TRIANGLE_STRIP:
        for (int i = 0; i + 2 < n; ++i) out.insert(out.end(), {i, i % 2 ? i + 2 : i + 1, i % 2 ? i + 1 : i + 2});
        break;
    case O3DU_SET_TRIANGLE_FAN:
        for (int i = 1; i + 1 < n; ++i) out.insert(out.end(), {0, i, i + 1});
        break;
    case O3DU_SET_INDEXED_TRIANGLES:
        for (int i = 0; i < set.indices.GetSize(); ++i) {
            const _O3duVertexIndex& t = set.indices[i];
            if (t.a < n && t.b < n && t.c < n) out.insert(out.end(), {t.a, t.b, t.c});
        }
        break;
    default: break;
    }
    return out;
}

}  // namespace

CO3duPrimitive banded_ball(double radius, int rings, const _OfuMaterial& material) {
    CO3duPrimitive p;
    const int segments = 2 * rings;
    const auto at = [&](int r, int s) {
        const double phi = M_PI * r / rings, theta = 2 * M_PI * s / segments;
        return OfuVector3(radius * std::sin(phi) * std::cos(theta), radius * std::sin(phi) * std::sin(theta),
                          radius * std::cos(phi));
    };
    for (int r = 0; r < rings; ++r) {
        CO3duTrianglePolys set;
        set.type = O3DU_SET_TRIANGLE_STRIP;
        set.material = material;
        set.vertices.SetSize(2 * (segments + 1));
        for (int s = 0; s <= segments; ++s) {
            set.vertices[2 * s].position = at(r, s % segments);
            set.vertices[2 * s + 1].position = at(r + 1, s % segments);
        }
        p.sets.Add(set);
    }
    return p;
}

PixelRays::PixelRays(const _O3duCamera& c, int w, int h)
    : width(w), height(h), origin(c.eye), forward(unit(c.target - c.eye)) {
    side = unit(cross(forward, OfuVector3(0, 0, 1)));
    up = cross(side, forward);
    half_height = std::tan(c.fov * M_PI / 360);
    half_width = half_height * c.aspect;
    near_distance = c.near_distance;
}

PixelRays::PixelRays(const _O3duAxoCamera& c, int w, int h)
    : width(w), height(h), parallel(true), origin(c.target), forward(unit(c.target - c.eye)) {
    side = unit(cross(forward, OfuVector3(0, 0, 1)));
    up = cross(side, forward);
    half_width = c.window_width / 2;
    half_height = c.window_height / 2;
    // The camera looks from the origin's side: its near plane lies near_distance along forward from the origin.
    near_distance = c.near_distance - dot(c.target, forward);
}

void PixelRays::ray(double x, double y, OfuVector3& from, OfuVector3& along) const {
    const double px = (x / width * 2 - 1) * half_width, py = (y / height * 2 - 1) * half_height;
    if (parallel) {
        along = forward;
        from = moved_by(moved_by(moved_by(origin, side, px), up, py), forward, near_distance);
        return;
    }
    // A way of length 1 along forward: the near plane lies near_distance along it.
    along = moved_by(moved_by(forward, side, px), up, py);
    from = moved_by(origin, along, near_distance);
}

_OfuPosition* ShadowScene::add(CO3duGLModelar& m, const CO3duPrimitive& shape) {
    Shape s;
    s.primitive = shape;
    s.pos = m.AddPrimitive(s.primitive);
    place(s);
    shapes_.push_back(std::move(s));
    return shapes_.back().pos;
}

_OfuPosition* ShadowScene::add_blocks(CO3duGLModelar& m, const std::vector<Block>& blocks, std::size_t& first,
                                      const _OfuMaterial& material) {
    CO3duPrimitive shape = make_box(blocks[first].lo, blocks[first].hi, material);
    for (; first + 1 < blocks.size() && blocks[first + 1].joined; ++first) {
        const CO3duPrimitive more = make_box(blocks[first + 1].lo, blocks[first + 1].hi, material);
        for (int j = 0; j < more.sets.GetSize(); ++j) shape.sets.Add(more.sets[j]);
    }
    return add(m, shape);
}

void ShadowScene::set_matrix(CO3duGLModelar& m, std::size_t shape, OfuMatrix4x4 matrix) {
    Shape& s = shapes_[shape];
    m.SetMatrix(s.pos, matrix);
    s.primitive.model_matrix = matrix;
    place(s);
}

void ShadowScene::place(Shape& s) {
    s.corners.clear();
    s.normals.clear();
    s.faces.clear();
    for (int j = 0; j < 3; ++j) s.lo[j] = HUGE_VAL, s.hi[j] = -HUGE_VAL;
    std::vector<double> planes;  // 4 a face
    for (int k = 0; k < s.primitive.sets.GetSize(); ++k) {
        const CO3duTrianglePolys& set = s.primitive.sets[k];
        const std::vector<int> triangles = triangles_of(set);
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            OfuVector3 p[3];
            for (int i = 0; i < 3; ++i) {
                p[i] = set.vertices[triangles[t + i]].position;
                TransformPointByMatrix4x4(s.primitive.model_matrix, p[i]);
            }
            const OfuVector3 normal = cross(p[1] - p[0], p[2] - p[0]);
            if (length(normal) < 1e-12) continue;
            const OfuVector3 n = unit(normal);
            const double offset = dot(n, p[0]);
            int face = 0;
            while (face < int(planes.size() / 4) &&
                   !(std::fabs(planes[face * 4] - n.x) < 1e-6 && std::fabs(planes[face * 4 + 1] - n.y) < 1e-6 &&
                     std::fabs(planes[face * 4 + 2] - n.z) < 1e-6 && std::fabs(planes[face * 4 + 3] - offset) < 1e-6))
                ++face;
            if (face == int(planes.size() / 4)) planes.insert(planes.end(), {n.x, n.y, n.z, offset});
            s.faces.push_back(face);
            s.normals.insert(s.normals.end(), {n.x, n.y, n.z});
            for (const OfuVector3& q : p) {
                const double c[3] = {q.x, q.y, q.z};
                s.corners.insert(s.corners.end(), c, c + 3);
                for (int j = 0; j < 3; ++j) s.lo[j] = std::min(s.lo[j], c[j]), s.hi[j] = std::max(s.hi[j], c[j]);
            }
        }
    }
}

int ShadowScene::first_hit(const Shape& s, const OfuVector3& o, const OfuVector3& d, double t0, bool culled,
                           const OfuVector3* lit, double& t) const {
    if (!meets_box(s.lo, s.hi, o, d, t0, t)) return -1;
    int hit = -1;
    for (std::size_t i = 0; i < s.faces.size(); ++i) {
        const double* n = &s.normals[i * 3];
        if (culled && n[0] * d.x + n[1] * d.y + n[2] * d.z >= 0) continue;
        if (lit && n[0] * lit->x + n[1] * lit->y + n[2] * lit->z <= 0) continue;
        // Moeller and Trumbore, the edges included.
        const double* a = &s.corners[i * 9];
        const double e1[3] = {a[3] - a[0], a[4] - a[1], a[5] - a[2]}, e2[3] = {a[6] - a[0], a[7] - a[1], a[8] - a[2]};
        const double pv[3] = {d.y * e2[2] - d.z * e2[1], d.z * e2[0] - d.x * e2[2], d.x * e2[1] - d.y * e2[0]};
        const double det = e1[0] * pv[0] + e1[1] * pv[1] + e1[2] * pv[2];
        if (std::fabs(det) < 1e-300) continue;
        const double tv[3] = {o.x - a[0], o.y - a[1], o.z - a[2]};
        const double u = (tv[0] * pv[0] + tv[1] * pv[1] + tv[2] * pv[2]) / det;
        if (u < -1e-9 || u > 1 + 1e-9) continue;
        const double qv[3] = {tv[1] * e1[2] - tv[2] * e1[1], tv[2] * e1[0] - tv[0] * e1[2],
                              tv[0] * e1[1] - tv[1] * e1[0]};
        const double v = (d.x * qv[0] + d.y * qv[1] + d.z * qv[2]) / det;
        if (v < -1e-9 || u + v > 1 + 1e-9) continue;
        const double along = (e2[0] * qv[0] + e2[1] * qv[1] + e2[2] * qv[2]) / det;
        if (!(along > t0 && along < t)) continue;
        // Towards the light any triangle will do.
        if (lit) return int(i);
        t = along, hit = int(i);
    }
    return hit;
}

Seen ShadowScene::see(const OfuVector3& from, const OfuVector3& along, const OfuVector3& travel) const {
    Seen seen;
    double nearest = HUGE_VAL;
    int triangle = -1;
    for (std::size_t k = 0; k < shapes_.size(); ++k)
        if (const int hit = shapes_[k].seen ? first_hit(shapes_[k], from, along, 0.0, true, nullptr, nearest) : -1;
            hit >= 0)
            seen.shape = int(k) + 1, triangle = hit;
    if (!seen.shape) return seen;
    const Shape& s = shapes_[seen.shape - 1];
    seen.face = s.faces[triangle];
    const OfuVector3 to_light = unit(OfuVector3(-travel.x, -travel.y, -travel.z));
    const double* n = &s.normals[triangle * 3];
    const double facing = n[0] * to_light.x + n[1] * to_light.y + n[2] * to_light.z;
    if (std::fabs(facing) < 0.05) return {-1};
    // A face turned from the light lies in its own shape's shadow.
    seen.shadowed = facing < 0;
    const OfuVector3 p = moved_by(from, along, nearest);
    for (std::size_t k = 0; k < shapes_.size() && !seen.shadowed; ++k) {
        double t = HUGE_VAL;
        seen.shadowed = shapes_[k].casts && first_hit(shapes_[k], p, to_light, 1e-4, false, &to_light, t) >= 0;
    }
    return seen;
}

Score ShadowScene::compare(const Frame& f, const PixelRays& rays, const OfuVector3& travel) const {
    Score score;
    const auto sample = [&](double x, double y) {
        OfuVector3 from, along;
        rays.ray(x, y, from, along);
        return see(from, along, travel);
    };
    // The corners' samples, each shared by four pixels.
    std::vector<Seen> corners(std::size_t(f.width + 1) * (f.height + 1));
    for (int y = 0; y <= f.height; ++y)
        for (int x = 0; x <= f.width; ++x) corners[std::size_t(y) * (f.width + 1) + x] = sample(x, y);
    const auto corner = [&](int x, int y) { return corners[std::size_t(y) * (f.width + 1) + x]; };
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const Seen seen = sample(x + 0.5, y + 0.5);
            if (seen.shape < 0 || !(corner(x, y) == seen) || !(corner(x + 1, y) == seen) ||
                !(corner(x, y + 1) == seen) || !(corner(x + 1, y + 1) == seen))
                continue;
            const Rgb got = f.at(x, y);
            const bool dark = got.r > 100 && got.g < 40;
            if (!seen.shape) {
                ++score.background;
                score.background_dark += dark;
                continue;
            }
            ++score.judged;
            score.shadowed += seen.shadowed;
            score.agree += seen.shadowed == dark;
        }
    return score;
}

RandomScene random_scene(std::uint32_t seed, bool among) {
    std::mt19937 random(seed);
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    const _OfuMaterial white = make_material({1, 1, 1, 1}, {1, 1, 1, 1}),
                       green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
    RandomScene scene;
    scene.shapes.push_back(make_box({-60, -60, -1}, {60, 60, 0}, white));
    // The solids' bounds, to keep the eye out of them.
    std::vector<std::pair<OfuVector3, OfuVector3>> bounds;
    const int boxes = int(between(5, 11)), balls = int(between(2, 6));
    for (int i = 0; i < boxes + balls; ++i) {
        const _OfuMaterial& look = i % 2 ? green : white;
        const OfuVector3 at(between(-40, 40), between(-40, 40), 0);
        if (i < boxes) {
            const OfuVector3 size(between(2, 16), between(2, 16), between(2, 25));
            // Some stand on the floor, some float above it.
            const double lift = between(0, 1) < 0.6 ? 0 : between(2, 20);
            const OfuVector3 lo(at.x, at.y, lift), hi(at.x + size.x, at.y + size.y, lift + size.z);
            scene.shapes.push_back(make_box(lo, hi, look));
            bounds.push_back({lo, hi});
            continue;
        }
        const double r = between(2, 9);
        CO3duPrimitive ball = banded_ball(r, int(between(6, 11)), look);
        const OfuVector3 centre(at.x, at.y, r + between(0, 15));
        ball.model_matrix[3][0] = centre.x, ball.model_matrix[3][1] = centre.y, ball.model_matrix[3][2] = centre.z;
        scene.shapes.push_back(ball);
        bounds.push_back({{centre.x - r, centre.y - r, centre.z - r}, {centre.x + r, centre.y + r, centre.z + r}});
    }
    scene.travel = OfuVector3(between(-0.8, 0.8), between(-0.8, 0.8), -1);
    const auto inside = [&](const OfuVector3& p) {
        for (const auto& [lo, hi] : bounds)
            if (p.x > lo.x - 1 && p.x < hi.x + 1 && p.y > lo.y - 1 && p.y < hi.y + 1 && p.z > lo.z - 1 &&
                p.z < hi.z + 1)
                return true;
        return false;
    };
    do {
        if (among) {
            scene.eye = OfuVector3(between(-45, 45), between(-45, 45), between(1.5, 20));
            scene.target = OfuVector3(between(-50, 50), between(-50, 50), between(0, 10));
        } else {
            const double turn = between(0, 2 * M_PI);
            scene.eye = OfuVector3(110 * std::cos(turn), 110 * std::sin(turn), between(50, 110));
            scene.target = OfuVector3(between(-15, 15), between(-15, 15), 0);
        }
    } while (inside(scene.eye) || length(scene.target - scene.eye) < 20);
    return scene;
}

CO3duPrimitive one_face(const std::vector<OfuVector3>& corners, const _OfuMaterial& material, bool back) {
    CO3duPrimitive p;
    for (int side = 0; side < (back ? 2 : 1); ++side) {
        CO3duTrianglePolys fan;
        fan.type = O3DU_SET_TRIANGLE_FAN;
        fan.material = material;
        fan.vertices.SetSize(int(corners.size()));
        for (std::size_t i = 0; i < corners.size(); ++i)
            fan.vertices[int(i)].position = corners[side ? corners.size() - 1 - i : i];
        p.sets.Add(fan);
    }
    return p;
}

CO3duPrimitive indexed_mesh(const std::vector<std::array<OfuVector3, 3>>& triangles, const _OfuMaterial& material) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material = material;
    std::vector<OfuVector3> corners;
    const auto vertex = [&](const OfuVector3& q) {
        for (std::size_t i = 0; i < corners.size(); ++i)
            if (corners[i].x == q.x && corners[i].y == q.y && corners[i].z == q.z) return int(i);
        corners.push_back(q);
        return int(corners.size() - 1);
    };
    for (const auto& t : triangles) set.indices.Add(_O3duVertexIndex{vertex(t[0]), vertex(t[1]), vertex(t[2])});
    set.vertices.SetSize(int(corners.size()));
    for (std::size_t i = 0; i < corners.size(); ++i) set.vertices[int(i)].position = corners[i];
    p.sets.Add(set);
    return p;
}

void build_volumes(const CO3duPrimitive& shape, const OfuVector3& travel, CO3duShadowVolumes& outlines,
                   CO3duShadowVolumes& prisms, int accuracy) {
    CO3duGLEntity entity;
    entity.ConvertSets(shape);
    OfuMatrix4x4 to_light;
    MakePlaneToXYMatrix(OfuVector3(-travel.x, -travel.y, -travel.z), OfuVector3(0, 0, 0), to_light);
    O3duShadowSettings settings;
    settings.accuracy = accuracy;
    settings.extrusion = 1000;
    add_shadow_volumes(entity.set(0), to_light, settings, outlines, prisms);
}

bool cast_triangles(const CO3duPrimitive& shape, const OfuMatrix4x4& to_light, bool cull,
                    std::vector<LightTriangle>& lit) {
    lit.clear();
    bool clear = true;
    OfuMatrix4x4 m = shape.model_matrix;
    MultiplyMatrix4x4(m, to_light);
    // The positions as the modeller keeps them, floats, in a list of their own first: GCC 12's vectorizer drops a
    // pair of neighbouring round trips from double through float (x and y together) and keeps the doubles, which
    // holds the judge to corners the builder never sees. A float stored to memory of its type is rounded.
    std::vector<float> positions;
    for (int k = 0; k < shape.sets.GetSize(); ++k) {
        const CO3duTrianglePolys& set = shape.sets[k];
        positions.clear();
        for (int i = 0; i < set.vertices.GetSize(); ++i) {
            const OfuVector3& v = set.vertices[i].position;
            positions.insert(positions.end(), {float(v.x), float(v.y), float(v.z)});
        }
        const std::vector<int> triangles = triangles_of(set);
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            LightTriangle q;
            for (int i = 0; i < 3; ++i) {
                const float* v = &positions[std::size_t(triangles[t + i]) * 3];
                OfuVector3 p(v[0], v[1], v[2]);
                TransformPointByMatrix4x4(m, p);
                q[2 * i] = float(p.x), q[2 * i + 1] = float(p.y);
            }
            const double area =
                (double(q[2]) - q[0]) * (double(q[5]) - q[1]) - (double(q[3]) - q[1]) * (double(q[4]) - q[0]);
            clear = clear && !(area != 0 && std::fabs(area) < 1e-4);
            if (area < 0 && cull) std::swap(q[2], q[4]), std::swap(q[3], q[5]);
            if (area >= 1e-5 || (area <= -1e-5 && cull)) lit.push_back(q);
        }
    }
    return clear;
}

int stack_depth(const std::vector<LightTriangle>& lit) {
    double size = 1.0;
    for (const LightTriangle& t : lit)
        for (double v : t) size = std::max(size, std::fabs(v));
    const double tiny = 1e-12 * size;
    // Every edge from its left end, the edges in order of their left ends.
    struct Edge {
        double x0, y0, x1, y1;
    };
    std::vector<Edge> edges;
    std::vector<std::size_t> owner;
    std::vector<double> xs;
    for (std::size_t a = 0; a < lit.size(); ++a)
        for (int i = 0; i < 3; ++i) {
            Edge e{lit[a][2 * i], lit[a][2 * i + 1], lit[a][(2 * i + 2) % 6], lit[a][(2 * i + 3) % 6]};
            xs.push_back(e.x0);
            if (e.x1 < e.x0) std::swap(e.x0, e.x1), std::swap(e.y0, e.y1);
            edges.push_back(e);
            owner.push_back(a);
        }
    std::vector<std::size_t> by_left(edges.size());
    for (std::size_t i = 0; i < by_left.size(); ++i) by_left[i] = i;
    std::sort(by_left.begin(), by_left.end(), [&](std::size_t a, std::size_t b) { return edges[a].x0 < edges[b].x0; });
    // Two edges of different triangles that cross inside both: only edges whose spans across x meet can.
    for (std::size_t i = 0; i < by_left.size(); ++i) {
        const Edge& p = edges[by_left[i]];
        for (std::size_t j = i + 1; j < by_left.size() && edges[by_left[j]].x0 <= p.x1; ++j) {
            if (owner[by_left[i]] == owner[by_left[j]]) continue;
            const Edge& q = edges[by_left[j]];
            const double rx = p.x1 - p.x0, ry = p.y1 - p.y0, sx = q.x1 - q.x0, sy = q.y1 - q.y0;
            const double d = rx * sy - ry * sx;
            if (d == 0) continue;
            const double t = ((q.x0 - p.x0) * sy - (q.y0 - p.y0) * sx) / d;
            const double u = ((q.x0 - p.x0) * ry - (q.y0 - p.y0) * rx) / d;
            if (t > 0 && t < 1 && u > 0 && u < 1) xs.push_back(p.x0 + t * rx);
        }
    }
    std::sort(xs.begin(), xs.end());
    // The triangles in order of their left ends; those reaching the strip's line are kept at hand.
    std::vector<std::size_t> order(lit.size()), reaching;
    std::vector<double> left(lit.size()), right(lit.size());
    for (std::size_t a = 0; a < lit.size(); ++a) {
        order[a] = a;
        left[a] = std::min({lit[a][0], lit[a][2], lit[a][4]}), right[a] = std::max({lit[a][0], lit[a][2], lit[a][4]});
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return left[a] < left[b]; });
    int most = 0;
    std::vector<std::pair<double, int>> ends;
    for (std::size_t s = 0, next = 0; s + 1 < xs.size(); ++s) {
        if (!(xs[s + 1] - xs[s] > tiny)) continue;
        const double x = (xs[s] + xs[s + 1]) / 2;
        for (; next < order.size() && left[order[next]] < x; ++next) reaching.push_back(order[next]);
        ends.clear();
        for (std::size_t k = 0; k < reaching.size();) {
            const std::size_t a = reaching[k];
            if (right[a] <= x) {
                reaching[k] = reaching.back(), reaching.pop_back();
                continue;
            }
            ++k;
            double lo = HUGE_VAL, hi = -HUGE_VAL;
            for (int i = 0; i < 3; ++i) {
                const Edge& e = edges[3 * a + i];
                if (!(e.x0 < x && x < e.x1)) continue;
                const double y = e.y0 + (e.y1 - e.y0) * (x - e.x0) / (e.x1 - e.x0);
                lo = std::min(lo, y), hi = std::max(hi, y);
            }
            if (lo + tiny < hi - tiny) ends.push_back({lo + tiny, 1}), ends.push_back({hi - tiny, -1});
        }
        // An interval ending where another begins is left before that one is met.
        std::sort(ends.begin(), ends.end());
        int in = 0;
        for (const auto& e : ends) most = std::max(most, in += e.second);
    }
    return most;
}

Score sunlit_frame(HeadlessScene& scene, const ShadowScene& shapes, const OfuVector3& travel, const OfuVector3& eye,
                   const OfuVector3& target, double fov, double near_distance, double far_distance) {
    CO3duGLModelar& m = *scene.modeller;
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, travel);
    light.on = 1;
    m.SetShadowLight(light);
    m.SetShadowColor({1, 0, 0, 0.5f});
    const _O3duCamera c = camera_looking(m, eye, target, fov, near_distance, far_distance);
    m.SetCamera(c);
    const Frame f = scene.render();
    return shapes.compare(f, PixelRays(c, f.width, f.height), travel);
}

void add_box(std::vector<WorldTriangle>& out, const OfuVector3& lo, const OfuVector3& hi, double angle,
             OfuVector3 about) {
    OfuVector3 c[8];
    for (int i = 0; i < 8; ++i) {
        const double x = (i & 1 ? hi.x : lo.x) - about.x, y = (i & 2 ? hi.y : lo.y) - about.y;
        c[i] = OfuVector3(about.x + x * std::cos(angle) - y * std::sin(angle),
                          about.y + x * std::sin(angle) + y * std::cos(angle), i & 4 ? hi.z : lo.z);
    }
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces) out.push_back({c[f[0]], c[f[1]], c[f[2]]});
}

void add_plate(std::vector<WorldTriangle>& out, double x0, double y0, double x1, double y1, double z) {
    out.push_back({OfuVector3(x0, y0, z), OfuVector3(x1, y0, z), OfuVector3(x1, y1, z)});
    out.push_back({OfuVector3(x0, y0, z), OfuVector3(x1, y1, z), OfuVector3(x0, y1, z)});
}

}  // namespace kz::test
