// Walls of the stencil shadow volumes. Every lit triangle's prism has three walls; a wall u -> v and a wall
// v -> u over the same two light-space positions cover the same pixels with opposite facings, so each such pair
// adds and takes away the same count and both are left out: what is drawn is the net outline of each shape, its
// walls as often as they are left over. Outline edges at accuracy 1 are counted the same way over a set's vertices,
// in a hash of directed edges: an edge met in the opposite direction takes one away, one met again in the same
// direction (a fold, two faces over each other) adds one, and each wall is drawn as often as its edge is left over.
#include "modeller/shadow/volumes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <vector>

#include "geometry/vector_math.h"

namespace {

constexpr double kFlat = 1e-5;
// The most faces a shape may have to meet its edges in a table of its corners (each cell counts them in a byte).
constexpr std::size_t kSmallFaces = 255;

using Edge = std::uint64_t;
Edge edge_key(std::uint32_t from, std::uint32_t to) { return (Edge(from) << 32) | to; }

double signed_area(const float* a, const float* b, const float* c) {
    return double(b[0] - a[0]) * (c[1] - a[1]) - double(b[1] - a[1]) * (c[0] - a[0]);
}

// The two triangles of the wall u -> v as the strip u', u, v', v draws them.
void add_wall(std::uint32_t u, std::uint32_t v, std::uint32_t u_moved, std::uint32_t v_moved,
              std::vector<std::uint32_t>& out) {
    out.insert(out.end(), {u_moved, u, v_moved, v_moved, u, v});
}

void widen(float* lo, float* hi, const float* p) {
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], p[k]);
        hi[k] = std::max(hi[k], p[k]);
    }
}

// A position's bits: corners are the same only when their floats are.
struct Bits {
    std::uint32_t v[3];
    explicit Bits(const float* p) { std::memcpy(v, p, sizeof v); }
    bool operator==(const Bits& o) const { return std::equal(v, v + 3, o.v); }
};

// A position's place among the corners: its bits as unsigned numbers, x first; then what it was found as.
std::pair<std::uint64_t, std::uint64_t> sort_key(const Bits& b, std::uint32_t found) {
    return {(std::uint64_t(b.v[0]) << 32) | b.v[1], (std::uint64_t(b.v[2]) << 32) | found};
}

// A position's first slot in a table of 2^bits, from x and y alone (positions over each other look in one place).
std::size_t slot(const Bits& b, int bits) {
    return std::size_t(((std::uint64_t(b.v[0]) << 32 | b.v[1]) * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// A check of all three of a position's coordinates that the table keeps beside each position found: another
// position in a slot is passed over without reading it, but where the two checks agree.
std::uint32_t check(const Bits& b) {
    return static_cast<std::uint32_t>(((std::uint64_t(b.v[0]) << 32 | b.v[1]) * 0xC2B2AE3D27D4EB4Full ^
                                       std::uint64_t(b.v[2]) * 0x9E3779B97F4A7C15ull) >>
                                      32);
}

// Outline loops of the triangles of one facing; each is walked counter-clockwise as seen from the light.
class OutlineFinder {
public:
    void add_triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        mark(a, b);
        mark(b, c);
        mark(c, a);
    }

    // Each remaining edge u -> v is closed into a loop by the shortest way from v back to u over the others, each
    // taken once for every time it is left over. What is left over of the edges of triangles is a sum of loops
    // (every vertex left as often as entered), so such a way is always there.
    template <class Emit>
    void emit(Emit&& emit_run) {
        std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> next;
        for (const auto& entry : marked_) next[std::uint32_t(entry.first >> 32)].push_back(std::uint32_t(entry.first));
        while (!marked_.empty()) {
            const Edge first = marked_.begin()->first;
            take(first);
            const std::uint32_t u = std::uint32_t(first >> 32), v = std::uint32_t(first);
            std::vector<std::uint32_t> path;
            if (!shortest(next, v, u, path)) continue;
            std::vector<std::uint32_t> run = {u};
            for (std::size_t i = 0; i + 1 < path.size(); ++i) {
                run.push_back(path[i]);
                take(edge_key(path[i], path[i + 1]));
            }
            emit_run(run);
        }
    }

private:
    void mark(std::uint32_t from, std::uint32_t to) {
        if (from == to) return;
        const auto reverse = marked_.find(edge_key(to, from));
        if (reverse == marked_.end())
            ++marked_[edge_key(from, to)];
        else if (--reverse->second == 0)
            marked_.erase(reverse);
    }
    // Takes one of the edge's times left over.
    void take(Edge e) {
        const auto it = marked_.find(e);
        if (--it->second == 0) marked_.erase(it);
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

    std::unordered_map<Edge, int> marked_;  // the times each directed edge is left over
};

}  // namespace

float O3duShadowSettings::reach(const float* p) const {
    if (!(floor[2] > 0.0)) return static_cast<float>(extrusion);
    const double above = floor[0] * p[0] + floor[1] * p[1] + floor[2] * p[2] + floor[3];
    return static_cast<float>(std::clamp(above / floor[2], 0.0, extrusion));
}

bool casts_shadow(const CO3duGLTrianglePolygons& set, bool translucent_texture) {
    return set.material().diffuse.a == 1.0f && !translucent_texture && set.is_triangle_mode() && set.vertex_count() > 0;
}

bool texture_casts_none(const _OfuBitmap& image) { return image.info_header.biBitCount == 32; }

template <class Each>
void O3duShadowBuilder::each_scratch(Each&& each) const {
    each(points_), each(lit_), each(unlit_), each(triples_), each(outline_corners_), each(outline_walls_);
    each(sorted_), each(slots_), each(rank_), each(first_point_), each(corner_of_), each(kept_), each(wall_corner_);
    each(indices_), each(walls_), each(edges_), each(edge_start_), each(edge_next_), each(face_corners_);
    each(cells_), each(faces_), each(aside_), each(piece_), each(volume_), each(scale_);
}

void O3duShadowBuilder::count_use() {
    std::size_t used = 0;
    each_scratch([&](const auto& v) { used += v.size() * sizeof(v[0]); });
    most_used_ = std::max(most_used_, used);
}

// Vectors grow to twice what they hold at most, and a shape's scratch is not all in use at its end: four times
// what the largest shape used, and a mebibyte, is what a rebuild of shapes as large as these keeps.
bool O3duShadowBuilder::holds_far_more_than_used() {
    count_use();
    std::size_t held = 0;
    each_scratch([&](const auto& v) { held += v.capacity() * sizeof(v[0]); });
    return held > 4 * most_used_ + (std::size_t(1) << 20);
}

void O3duShadowBuilder::begin(const O3duShadowSettings& settings, CO3duShadowVolumes& outlines,
                              CO3duShadowVolumes& prisms, std::int8_t* closed) {
    count_use();
    settings_ = settings;
    outlines_ = &outlines;
    prisms_ = &prisms;
    known_closed_ = closed;
    outlines.clear();
    prisms.clear();
    points_.clear();
    lit_.clear();
    unlit_.clear();
    outline_corners_.clear();
    outline_walls_.clear();
}

// The prism's own test: edge-on casts nothing, facing away casts reversed only without back-face culling. Where
// back faces are culled, the triangles that cast nothing are kept as they turn, to tell whether the shape is closed.
void O3duShadowBuilder::add_lit(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const double s = signed_area(&points_[a * 3], &points_[b * 3], &points_[c * 3]);
    if (std::fabs(s) < kFlat || (s < 0.0 && !settings_.cull_mode)) {
        if (!settings_.cull_mode) unlit_.insert(unlit_.end(), {a, b, c});
        return;
    }
    if (s < 0.0) std::swap(b, c);
    lit_.insert(lit_.end(), {a, b, c});
}

bool O3duShadowBuilder::count_edges() {
    const std::size_t lit = lit_.size() / 3, count = face_corners_.size() / 3, corners = first_point_.size();
    if (count > kSmallFaces || corners * corners > 8 * count) return false;
    cells_.resize(corners * corners);
    if (!cells_.empty()) std::memset(cells_.data(), 0, cells_.size() * sizeof(Cell));
    for (std::size_t t = 0; t < count; ++t)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t u = face_corners_[t * 3 + k], v = face_corners_[t * 3 + (k + 1) % 3];
            Cell& cell = cells_[std::min(u, v) * corners + std::max(u, v)];
            const int way = u > v ? 1 : 0;
            if (t < lit) ++cell.lit[way];
            if (u != v && cell.times[way]++ == 0) cell.first[way] = static_cast<std::uint8_t>(t);
        }
    return true;
}

// The edges of the faces not left aside, by their lower corner, and there by their higher corner, those met from the
// lower corner first, each's faces in order: as sorting them all would leave them, in time that grows with the edges
// (a corner has few), which a large mesh's sort of every edge did not. An edge is its higher corner, its way and its
// face in one number; false where a shape is too large for that (never one memory holds).
bool O3duShadowBuilder::gather_edges(std::size_t count) {
    const std::size_t corners = first_point_.size();
    if (corners >= (std::size_t(1) << 31) || count * 3 >= (std::size_t(1) << 32)) return false;
    const std::uint32_t* faces = face_corners_.data();
    edge_start_.assign(corners + 1, 0);
    const auto each_edge = [&](auto&& take) {
        for (std::size_t t = 0; t < count; ++t)
            for (int k = 0; k < 3 && !aside_[t]; ++k) {
                const std::uint32_t u = faces[t * 3 + k], v = faces[t * 3 + (k + 1) % 3];
                if (u != v) take(std::min(u, v), (std::uint64_t(std::max(u, v)) << 33) | (u > v ? 1ull << 32 : 0) | t);
            }
    };
    each_edge([&](std::uint32_t low, std::uint64_t) { ++edge_start_[low + 1]; });
    for (std::size_t c = 1; c <= corners; ++c) edge_start_[c] += edge_start_[c - 1];
    edges_.resize(edge_start_.back());
    edge_next_.assign(edge_start_.begin(), edge_start_.end() - 1);
    each_edge([&](std::uint32_t low, std::uint64_t edge) { edges_[edge_next_[low]++] = edge; });
    for (std::size_t low = 0; low < corners; ++low) {
        const auto first = edges_.begin() + edge_start_[low], last = edges_.begin() + edge_start_[low + 1];
        if (last - first <= 16) {
            for (auto i = first; i != last; ++i) {
                const std::uint64_t edge = *i;
                auto j = i;
                for (; j != first && edge < *(j - 1); --j) *j = *(j - 1);
                *j = edge;
            }
        } else {
            std::sort(first, last);
        }
    }
    return true;
}

// A ray from outside a closed shape whose faces turn outwards meets a face turned towards it before it could pass
// one from behind, so it never leaves a prism through the lit face on top. A face together with its back face (the
// same three corners the other way round, as a two-sided surface has them) stops every ray and bounds nothing, and
// is left aside. The rest close where each edge (between two positions, bit for bit) is met by two faces, once in
// each direction; the faces joined along edges make pieces, each a closed surface, which turns outwards where the
// volume it bounds is not below nothing. Only a piece that passes through itself can still turn a part inside out.
bool O3duShadowBuilder::closed() {
    const std::size_t count = face_corners_.size() / 3;
    const std::uint32_t* faces = face_corners_.data();
    const auto corner = [faces](std::size_t t, int k) { return faces[t * 3 + k]; };
    const auto root = [&](std::uint32_t t) {
        while (piece_[t] != t) t = piece_[t] = piece_[piece_[t]];
        return t;
    };
    bool shared = false;  // an edge met by more than two faces
    // An edge met `forward` times from its lower corner and `backward` times from its higher, first by the faces a
    // and b: false where the shape is open there. The edges are met in the order of their corners.
    const auto meet = [&](std::size_t forward, std::size_t backward, std::uint32_t a, std::uint32_t b) {
        if (forward != backward) return false;
        if (forward + backward == 2)
            piece_[root(b)] = root(a);
        else
            shared = true;
        return true;
    };
    const auto pieces = [&] {
        piece_.resize(count);
        for (std::size_t t = 0; t < count; ++t) piece_[t] = static_cast<std::uint32_t>(t);
        shared = false;
    };
    aside_.assign(count, 0);
    // A small shape has its edges in the table, in order; one with an edge of more than two faces goes the long way.
    bool joined = false;
    if (counted_ || count_edges()) {
        pieces();
        const std::size_t corners = first_point_.size();
        for (std::size_t low = 0; low < corners; ++low)
            for (std::size_t high = low + 1; high < corners; ++high) {
                const Cell& cell = cells_[low * corners + high];
                if (cell.times[0] + cell.times[1] > 0 &&
                    !meet(cell.times[0], cell.times[1], cell.first[0], cell.first[1]))
                    return false;
            }
        joined = !shared;
    }
    for (int round = 0; !joined; ++round) {
        if (!(round == 0 && gathered_ == count) && !gather_edges(count)) return false;
        pieces();
        const auto face = [this](std::size_t i) { return static_cast<std::uint32_t>(edges_[i]); };
        for (std::size_t low = 0; low + 1 < edge_start_.size(); ++low)
            for (std::size_t i = edge_start_[low], end = edge_start_[low + 1]; i < end;) {
                // Those met from the lower corner sort first.
                std::size_t j = i, forward = 0;
                for (; j < end && (edges_[j] >> 33) == (edges_[i] >> 33); ++j) forward += (edges_[j] >> 32 & 1) ? 0 : 1;
                if (!meet(forward, j - i - forward, face(i), face(std::min(i + forward, j - 1)))) return false;
                i = j;
            }
        if (!shared) break;
        if (round > 0) return false;
        // Faces with their back faces aside, the edges are met again.
        faces_.clear();
        for (std::size_t t = 0; t < count; ++t) {
            std::uint32_t c[3] = {corner(t, 0), corner(t, 1), corner(t, 2)};
            const int first = int(std::min_element(c, c + 3) - c);
            std::rotate(c, c + first, c + 3);
            const std::uint32_t turn = c[1] < c[2] ? 0 : 1;
            if (c[1] > c[2]) std::swap(c[1], c[2]);
            faces_.push_back({c[0], c[1], c[2], turn, static_cast<std::uint32_t>(t)});
        }
        std::sort(faces_.begin(), faces_.end());
        for (std::size_t i = 0; i < faces_.size();) {
            std::size_t j = i, turned = 0;
            for (; j < faces_.size() && std::equal(&faces_[j][0], &faces_[j][3], &faces_[i][0]); ++j)
                turned += faces_[j][3];
            // The faces of one turn come first: as many of each turn as the other has go.
            const std::size_t pairs = std::min(turned, j - i - turned);
            for (std::size_t k = 0; k < pairs; ++k) aside_[faces_[i + k][4]] = aside_[faces_[j - 1 - k][4]] = 1;
            i = j;
        }
    }
    // Six times each piece's volume, from a corner of its own; the most the terms that sum to it could be is wanted
    // only where it reads below nothing. A face's corners are read where its own points lie (the same positions,
    // and near each other in memory where the sets give a shape's faces in order, as its corners are not).
    volume_.assign(count, 0.0);
    const std::size_t lit = lit_.size() / 3;
    const auto at = [&](std::size_t t, int k) {
        return &points_[std::size_t(t < lit ? lit_[t * 3 + k] : unlit_[(t - lit) * 3 + k]) * 3];
    };
    const auto terms = [&](auto&& add) {
        for (std::size_t t = 0; t < count; ++t) {
            if (aside_[t]) continue;
            const std::uint32_t r = root(static_cast<std::uint32_t>(t));
            const float* o = at(r, 0);
            double p[3][3];
            for (int k = 0; k < 3; ++k) {
                const float* q = at(t, k);
                for (int j = 0; j < 3; ++j) p[k][j] = double(q[j]) - double(o[j]);
            }
            add(r, p);
        }
    };
    terms([&](std::uint32_t r, const double(*p)[3]) {
        volume_[r] += p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                      p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                      p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
    });
    if (std::none_of(volume_.begin(), volume_.end(), [](double v) { return v < 0.0; })) return true;
    scale_.assign(count, 0.0);
    terms([&](std::uint32_t r, const double(*p)[3]) {
        scale_[r] += std::sqrt((p[0][0] * p[0][0] + p[0][1] * p[0][1] + p[0][2] * p[0][2]) *
                               (p[1][0] * p[1][0] + p[1][1] * p[1][1] + p[1][2] * p[1][2]) *
                               (p[2][0] * p[2][0] + p[2][1] * p[2][1] + p[2][2] * p[2][2]));
    });
    // A flat piece (a face and its back face over other corners) bounds nothing but what the rounding of its
    // corners leaves; what reads below a millionth of the terms' size counts as inside out, which costs the shape its
    // lit faces drawn once more but is never wrong.
    for (std::size_t t = 0; t < count; ++t)
        if (volume_[t] < -1e-6 * scale_[t]) return false;
    return true;
}

void O3duShadowBuilder::add_set(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light) {
    const std::uint32_t count = static_cast<std::uint32_t>(std::max(set.vertex_count(), 0));
    const auto base = static_cast<std::uint32_t>(points_.size() / 3);
    points_.resize(points_.size() + std::size_t(count) * 3);
    // A matrix that keeps w at 1 needs no division, which would change nothing where the position is finite.
    const auto& m = to_light.m;
    const bool affine = m[0][3] == 0.0 && m[1][3] == 0.0 && m[2][3] == 0.0 && m[3][3] == 1.0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const float* q = set.position(i);
        float* out = &points_[std::size_t(base + i) * 3];
        const double x = q[0], y = q[1], z = q[2];
        if (affine && std::isfinite(x) && std::isfinite(y) && std::isfinite(z)) {
            for (int j = 0; j < 3; ++j) out[j] = static_cast<float>(x * m[0][j] + y * m[1][j] + z * m[2][j] + m[3][j]);
            continue;
        }
        OfuVector3 p(x, y, z);
        TransformPointByMatrix4x4(to_light, p);
        out[0] = static_cast<float>(p.x);
        out[1] = static_cast<float>(p.y);
        out[2] = static_cast<float>(p.z);
    }
    const bool outline = settings_.accuracy == 1;
    // The wall strip p', p for every point of a closed run, the first pair again to close it.
    const auto add_outline_run = [&](const std::vector<std::uint32_t>& run) {
        const auto first = static_cast<std::uint32_t>(outline_corners_.size() / 3);
        for (std::uint32_t i : run) {
            const float* p = &points_[std::size_t(base + i) * 3];
            outline_corners_.insert(outline_corners_.end(), {p[0], p[1], p[2] - settings_.reach(p), p[0], p[1], p[2]});
        }
        const auto k = static_cast<std::uint32_t>(run.size());
        for (std::uint32_t i = 0; i < k; ++i) {
            const std::uint32_t at = first + 2 * i, next = first + 2 * ((i + 1) % k);
            add_wall(at + 1, next + 1, at, next, outline_walls_);
        }
    };
    if (set.mode() == GL_TRIANGLES && !set.indexed()) {
        for (std::uint32_t i = 0; i + 2 < count; i += 3) {
            const std::size_t before = lit_.size();
            add_lit(base + i, base + i + 1, base + i + 2);
            if (outline && lit_.size() > before)
                add_outline_run({lit_[before] - base, lit_[before + 1] - base, lit_[before + 2] - base});
        }
        return;
    }
    std::vector<std::uint32_t>& triples = triples_;
    triples.clear();
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
    if (!outline) {
        for (std::size_t t = 0; t + 2 < triples.size(); t += 3)
            add_lit(base + triples[t], base + triples[t + 1], base + triples[t + 2]);
        return;
    }
    OutlineFinder lit, unlit;
    double previous = 0.0;
    for (std::size_t t = 0; t + 2 < triples.size(); t += 3) {
        const std::uint32_t a = triples[t], b = triples[t + 1], c = triples[t + 2];
        add_lit(base + a, base + b, base + c);
        // A sliver takes the facing of the triangle before it, so that a strip's outline stays closed across it.
        const float* p = &points_[std::size_t(base) * 3];
        double s = signed_area(p + a * 3, p + b * 3, p + c * 3);
        if (std::fabs(s) < kFlat) s = previous;
        previous = s;
        if (s > 0.0)
            lit.add_triangle(a, b, c);
        else if (s < 0.0 && settings_.cull_mode)
            unlit.add_triangle(a, c, b);
    }
    lit.emit(add_outline_run);
    unlit.emit(add_outline_run);
}

void O3duShadowBuilder::finish() {
    CO3duShadowVolumes& out = *prisms_;
    // One corner for each position the triangles use, whichever set or vertex it came from; those of the lit ones
    // are kept.
    // The corners go in the order of their bits, each the first vertex that has them. Each position is found once,
    // vertex by vertex, in a table of the positions met so far, and only those are sorted.
    const auto vertices = static_cast<std::uint32_t>(points_.size() / 3);
    corner_of_.assign(vertices, ~0u);
    std::size_t used = 0;
    for (const auto* list : {&lit_, &unlit_})
        for (std::uint32_t p : *list)
            if (corner_of_[p] == ~0u) corner_of_[p] = 0, ++used;
    int bits = 4;
    while ((std::size_t(1) << bits) < 2 * used) ++bits;
    constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
    slots_.assign(std::size_t(1) << bits, kEmpty);
    sorted_.clear();
    first_point_.clear();
    for (std::uint32_t p = 0; p < vertices; ++p) {
        if (corner_of_[p] == ~0u) continue;
        const Bits b(&points_[std::size_t(p) * 3]);
        const std::uint64_t checked = std::uint64_t(check(b)) << 32;
        const auto key = sort_key(b, 0);
        std::size_t at = slot(b, bits);
        // The position found as `found` is the one in sorted_ with the same bits.
        const auto same = [&](std::uint64_t found) {
            const auto& there = sorted_[static_cast<std::uint32_t>(found)];
            return there.first == key.first && (there.second >> 32) == (key.second >> 32);
        };
        while (slots_[at] != kEmpty && !((slots_[at] >> 32 << 32) == checked && same(slots_[at])))
            at = (at + 1) & ((std::size_t(1) << bits) - 1);
        if (slots_[at] == kEmpty) {
            const auto found = static_cast<std::uint32_t>(first_point_.size());
            slots_[at] = checked | found;
            sorted_.push_back(sort_key(b, found));
            first_point_.push_back(p);
        }
        corner_of_[p] = static_cast<std::uint32_t>(slots_[at]);
    }
    // No two positions have the same bits: they sort by their bits alone.
    std::sort(sorted_.begin(), sorted_.end());
    rank_.resize(sorted_.size());
    for (std::size_t r = 0; r < sorted_.size(); ++r) {
        const auto found = static_cast<std::uint32_t>(sorted_[r].second);
        rank_[found] = static_cast<std::uint32_t>(r);
        slots_[r] = first_point_[found];  // the table is done with; it keeps the first vertices a while
    }
    for (std::size_t r = 0; r < sorted_.size(); ++r) first_point_[r] = static_cast<std::uint32_t>(slots_[r]);
    for (std::uint32_t& c : corner_of_)
        if (c != ~0u) c = rank_[c];
    // Each face's corners, the lit ones first.
    face_corners_.resize(lit_.size() + unlit_.size());
    for (std::size_t i = 0; i < lit_.size(); ++i) face_corners_[i] = corner_of_[lit_[i]];
    for (std::size_t i = 0; i < unlit_.size(); ++i) face_corners_[lit_.size() + i] = corner_of_[unlit_[i]];
    // Every wall u -> v as (low, high, reversed), so that the walls over the same two corners sort together; a small
    // shape has them in order in the table of its edges.
    // A large shape's edges are gathered by their corners once, for its walls and, where it is asked, for whether it
    // closes, which meets every face's edges: the lit faces' alone where it is not.
    counted_ = !settings_.every_prism && count_edges();
    const std::size_t lit = lit_.size() / 3;
    const bool asks_closed = !settings_.cull_mode && lit > 0 && (!known_closed_ || *known_closed_ < 0);
    gathered_ = 0;
    if (!counted_ && !settings_.every_prism) {
        const std::size_t faces = asks_closed ? face_corners_.size() / 3 : lit;
        aside_.assign(faces, 0);
        if (gather_edges(faces)) gathered_ = faces;
    }
    walls_.clear();
    kept_.clear();
    const auto keep = [&](std::uint32_t low, std::uint32_t high, long net) {
        for (; net > 0; --net) kept_.insert(kept_.end(), {low, high});
        for (; net < 0; ++net) kept_.insert(kept_.end(), {high, low});
    };
    const std::size_t table = counted_ ? first_point_.size() : 0;
    for (std::uint32_t low = 0; low < table; ++low)
        for (std::uint32_t high = low; high < table; ++high) {
            const Cell& cell = cells_[low * table + high];
            keep(low, high, long(cell.lit[0]) - long(cell.lit[1]));
        }
    // The gathered edges of one lower corner run by their higher corner, each's lit faces first (a lit face has three
    // corners apart, so none is left out), as the sorted walls below would.
    for (std::size_t low = 0; gathered_ > 0 && low + 1 < edge_start_.size(); ++low)
        for (std::size_t i = edge_start_[low], end = edge_start_[low + 1]; i < end;) {
            long net = 0;
            std::size_t j = i;
            for (; j < end && (edges_[j] >> 33) == (edges_[i] >> 33); ++j)
                if (static_cast<std::uint32_t>(edges_[j]) < lit) net += (edges_[j] >> 32 & 1) ? -1 : 1;
            if (net != 0) keep(static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(edges_[i] >> 33), net);
            i = j;
        }
    for (std::size_t t = 0; t < lit_.size() && !counted_ && gathered_ == 0; t += 3)
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t u = face_corners_[t + e], v = face_corners_[t + (e + 1) % 3];
            walls_.push_back((std::uint64_t(std::min(u, v)) << 33) | (std::uint64_t(std::max(u, v)) << 1) |
                             (u > v ? 1u : 0u));
        }
    if (!settings_.every_prism) std::sort(walls_.begin(), walls_.end());
    for (std::size_t i = 0; i < walls_.size();) {
        std::size_t j = i + 1;
        long net = (walls_[i] & 1) ? -1 : 1;
        if (!settings_.every_prism)
            for (; j < walls_.size() && (walls_[j] >> 1) == (walls_[i] >> 1); ++j) net += (walls_[j] & 1) ? -1 : 1;
        const auto low = static_cast<std::uint32_t>(walls_[i] >> 33);
        keep(low, static_cast<std::uint32_t>((walls_[i] >> 1) & 0xFFFFFFFFu), net);
        i = j;
    }
    // Wall corners first, their moved copies after them, then the corners of lit triangles alone.
    const auto corners = static_cast<std::uint32_t>(first_point_.size());
    constexpr std::uint32_t kUnlit = ~0u, kLit = ~1u;
    wall_corner_.assign(corners, kUnlit);
    for (std::uint32_t p : lit_) wall_corner_[corner_of_[p]] = kLit;
    std::uint32_t walled = 0;
    for (std::uint32_t c : kept_)
        if (wall_corner_[c] == kLit) wall_corner_[c] = walled++;
    std::uint32_t total = 2 * walled;
    for (std::uint32_t& at : wall_corner_)
        if (at == kLit) at = total++;
    out.corners.assign(std::size_t(total) * 3, 0.0f);
    for (std::uint32_t c = 0; c < corners; ++c) {
        const float* p = &points_[std::size_t(first_point_[c]) * 3];
        const std::uint32_t at = wall_corner_[c];
        if (at == kUnlit) continue;
        std::copy(p, p + 3, &out.corners[std::size_t(at) * 3]);
        widen(out.lit_lo, out.lit_hi, p);
        if (at >= walled) continue;
        widen(out.walls_lo, out.walls_hi, p);
        float* moved = &out.corners[std::size_t(at + walled) * 3];
        moved[0] = p[0], moved[1] = p[1], moved[2] = p[2] - settings_.reach(p);
        widen(out.ends_lo, out.ends_hi, moved);
    }
    indices_.clear();
    for (std::size_t i = 0; i < kept_.size(); i += 2) {
        const std::uint32_t u = wall_corner_[kept_[i]], v = wall_corner_[kept_[i + 1]];
        add_wall(u, v, u + walled, v + walled, indices_);
    }
    out.walls.assign(indices_, total);
    indices_.clear();
    for (std::uint32_t p : lit_) indices_.push_back(wall_corner_[corner_of_[p]]);
    out.lit.assign(indices_, total);
    // Where back faces are culled, a ray may pass an open shape's lit face from behind. Whether the faces close
    // does not turn with the light: a step of the sun asks the shape's answer, not its faces.
    out.open = false;
    if (!settings_.cull_mode && !lit_.empty()) {
        if (!known_closed_ || *known_closed_ < 0) {
            const bool found = closed();
            if (known_closed_) *known_closed_ = found ? 1 : 0;
        }
        out.open = known_closed_ ? *known_closed_ == 0 : !closed();
    }
    depth_.bound(out);
    if (settings_.accuracy != 1) return;
    CO3duShadowVolumes& outline = *outlines_;
    outline.corners = outline_corners_;
    outline.walls.assign(outline_walls_, outline_corners_.size() / 3);
    // The corners stand in pairs, moved then in place.
    for (std::size_t i = 0; i + 1 < outline_corners_.size() / 3; i += 2) {
        widen(outline.ends_lo, outline.ends_hi, &outline_corners_[i * 3]);
        widen(outline.walls_lo, outline.walls_hi, &outline_corners_[i * 3 + 3]);
    }
    depth_.bound(outline);
}

void add_shadow_volumes(const CO3duGLTrianglePolygons& set, const OfuMatrix4x4& to_light,
                        const O3duShadowSettings& settings, CO3duShadowVolumes& outlines, CO3duShadowVolumes& prisms) {
    O3duShadowBuilder builder;
    builder.begin(settings, outlines, prisms);
    builder.add_set(set, to_light);
    builder.finish();
}
