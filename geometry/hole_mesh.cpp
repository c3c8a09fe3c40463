// Holed polygon mesher. Points are inserted one by one into a triangulation inside a huge enclosing triangle
// (Bowyer-Watson with a plain scan for the conflicting circles); a loop edge missing from the result is split at
// its midpoint and everything is triangulated again, until all edges are present or the point budget is spent.
// Edge presence is looked up in a sorted list of the triangulation's edges, so memory stays linear in the points.
#include "geometry/hole_mesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "geometry/shared_math.h"
#include "geometry/vector_math.h"

namespace {

constexpr double kTolerance = 1e-5;
constexpr int kPointBudget = 12;  // points per input point

double cross(const FlatPoint& o, const FlatPoint& a, const FlatPoint& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

class Triangulation {
public:
    // alias[i] is the point that i was merged into, i itself when it was inserted. false when the triangulation
    // came apart (more triangles than a triangulation of its points can have), which only near-degenerate input
    // within the tolerances can cause.
    bool run(const std::vector<FlatPoint>& input, std::vector<int>& triangles, std::vector<int>& alias) {
        const int n = static_cast<int>(input.size());
        points_ = input;
        corners_.clear();
        cx_.clear();
        cy_.clear();
        reach_.clear();
        alias.resize(n);
        for (int i = 0; i < n; ++i) alias[i] = i;
        triangles.clear();
        if (n == 0) return true;

        double lo_x = input[0].x, hi_x = lo_x, lo_y = input[0].y, hi_y = lo_y;
        for (const FlatPoint& p : input) {
            lo_x = std::min(lo_x, p.x);
            hi_x = std::max(hi_x, p.x);
            lo_y = std::min(lo_y, p.y);
            hi_y = std::max(hi_y, p.y);
        }
        const double cx = (lo_x + hi_x) * 0.5, cy = (lo_y + hi_y) * 0.5;
        const double r = std::hypot(hi_x - lo_x, hi_y - lo_y);
        const double s = std::sqrt(3.0) * 100.0 * r;
        points_.push_back({cx - s, cy - 100.0 * r});
        points_.push_back({cx + s, cy - 100.0 * r});
        points_.push_back({cx, cy + s});
        add(n, n + 1, n + 2);

        std::vector<int> conflict;
        std::vector<Edge> edges;
        for (int i = 0; i < n; ++i) {
            const FlatPoint& p = points_[i];
            conflict.clear();
            const int count = static_cast<int>(reach_.size());
            for (int t = 0; t < count; ++t) {
                const double dx = p.x - cx_[t], dy = p.y - cy_[t];
                if (dx * dx + dy * dy < reach_[t]) conflict.push_back(t);
            }
            int merged = -1;
            for (int t : conflict) {
                for (int k = 0; k < 3 && merged < 0; ++k) {
                    const FlatPoint& q = points_[corners_[3 * t + k]];
                    const double dx = q.x - p.x, dy = q.y - p.y;
                    if (dx * dx + dy * dy < kTolerance * kTolerance) merged = corners_[3 * t + k];
                }
                if (merged >= 0) break;
            }
            if (merged >= 0) {
                alias[i] = merged;
                continue;
            }
            edges.clear();
            for (int t : conflict)
                for (int k = 0; k < 3; ++k) edges.push_back({corners_[3 * t + k], corners_[3 * t + (k + 1) % 3]});
            // Removing from the back keeps the indices still to be removed valid.
            for (auto it = conflict.rbegin(); it != conflict.rend(); ++it) remove(*it);
            // The cavity's triangles all turn the same way, so an edge inside it is met once in each direction;
            // an edge met in one direction only is on its border.
            directed_.reset(edges.size());
            for (const Edge& e : edges) directed_.insert(e.directed());
            emitted_.reset(edges.size());
            for (const Edge& border : edges) {
                if (directed_.contains(Edge{border.b, border.a}.directed())) continue;
                // Overlapping cavity triangles would offer the same border twice; one new triangle per border edge.
                if (emitted_.contains(border.directed())) continue;
                emitted_.insert(border.directed());
                const double turn = cross(points_[border.a], points_[border.b], p);
                if (std::fabs(turn) < kTolerance) continue;
                if (turn > 0)
                    add(border.a, border.b, i);
                else
                    add(border.b, border.a, i);
            }
            // A triangulation of i + 4 points has at most 2 (i + 4) triangles.
            if (reach_.size() > 4 * (size_t(i) + 4) + 16) return false;
        }
        const int count = static_cast<int>(reach_.size());
        for (int t = 0; t < count; ++t) {
            const int* c = &corners_[3 * t];
            if (c[0] >= n || c[1] >= n || c[2] >= n) continue;
            triangles.insert(triangles.end(), c, c + 3);
        }
        return true;
    }

private:
    struct Edge {
        int a, b;
        uint64_t directed() const { return (uint64_t(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b); }
    };

    // A small open-addressing set of directed edges, cleared per cavity.
    class EdgeSet {
    public:
        void reset(size_t count) {
            size_t size = 16;
            shift_ = 60;
            while (size < 2 * count) {
                size *= 2;
                --shift_;
            }
            slots_.assign(size, kEmpty);
        }
        void insert(uint64_t key) {
            size_t i = slot(key);
            while (slots_[i] != kEmpty && slots_[i] != key) i = (i + 1) & (slots_.size() - 1);
            slots_[i] = key;
        }
        bool contains(uint64_t key) const {
            for (size_t i = slot(key); slots_[i] != kEmpty; i = (i + 1) & (slots_.size() - 1))
                if (slots_[i] == key) return true;
            return false;
        }

    private:
        static constexpr uint64_t kEmpty = ~uint64_t(0);
        // The top bits of the product mix both corners; the low ones would see only the second.
        size_t slot(uint64_t key) const { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_); }
        std::vector<uint64_t> slots_;
        int shift_ = 60;
    };

    void add(int a, int b, int c) {
        corners_.insert(corners_.end(), {a, b, c});
        const FlatPoint &pa = points_[a], &pb = points_[b], &pc = points_[c];
        const double area2 = cross(pa, pb, pc);
        if (std::fabs(area2) < kTolerance) {
            // Collinear corners have no circumcircle: nothing ever falls inside it.
            cx_.push_back(0.0);
            cy_.push_back(0.0);
            reach_.push_back(-1.0);
            return;
        }
        const double bx = pb.x - pa.x, by = pb.y - pa.y, qx = pc.x - pa.x, qy = pc.y - pa.y;
        const double b2 = bx * bx + by * by, q2 = qx * qx + qy * qy;
        const double ux = (qy * b2 - by * q2) / (2.0 * area2);
        const double uy = (bx * q2 - qx * b2) / (2.0 * area2);
        const double reach = std::hypot(ux, uy) + kTolerance;
        cx_.push_back(pa.x + ux);
        cy_.push_back(pa.y + uy);
        reach_.push_back(reach * reach);
    }

    void remove(int t) {
        const int last = static_cast<int>(reach_.size()) - 1;
        if (t != last) {
            std::copy_n(&corners_[3 * last], 3, &corners_[3 * t]);
            cx_[t] = cx_[last];
            cy_[t] = cy_[last];
            reach_[t] = reach_[last];
        }
        corners_.resize(3 * static_cast<size_t>(last));
        cx_.pop_back();
        cy_.pop_back();
        reach_.pop_back();
    }

    std::vector<FlatPoint> points_;
    EdgeSet directed_, emitted_;
    std::vector<int> corners_;
    std::vector<double> cx_, cy_, reach_;  // circumcentre and (radius + tolerance)^2 per triangle
};

std::vector<uint64_t> edge_keys(const std::vector<int>& triangles) {
    std::vector<uint64_t> keys;
    keys.reserve(triangles.size());
    for (size_t t = 0; t + 2 < triangles.size(); t += 3)
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = static_cast<uint32_t>(triangles[t + k]);
            const uint32_t b = static_cast<uint32_t>(triangles[t + (k + 1) % 3]);
            keys.push_back((uint64_t(std::min(a, b)) << 32) | std::max(a, b));
        }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

bool has_edge(const std::vector<uint64_t>& keys, int a, int b) {
    const uint32_t lo = static_cast<uint32_t>(std::min(a, b)), hi = static_cast<uint32_t>(std::max(a, b));
    return std::binary_search(keys.begin(), keys.end(), (uint64_t(lo) << 32) | hi);
}

}  // namespace

int point_in_loop(const FlatPoint& p, const FlatPoint* loop, int count, double tolerance) {
    if (!loop || count < 3) return 0;
    // Counting signed crossings gives the same winding as summing the turning angles, without the trigonometry.
    int winding = 0;
    for (int i = 0; i < count; ++i) {
        const FlatPoint& a = loop[i];
        const FlatPoint& b = loop[i + 1 < count ? i + 1 : 0];
        const double ux = a.x - p.x, uy = a.y - p.y, wx = b.x - p.x, wy = b.y - p.y;
        const double lu2 = ux * ux + uy * uy, lw2 = wx * wx + wy * wy;
        if (lu2 < kTolerance * kTolerance || lw2 < kTolerance * kTolerance) return 3;
        const double turn = ux * wy - uy * wx;
        if (std::fabs(turn) < tolerance && (ux * wx + uy * wy) / std::sqrt(lu2 * lw2) < tolerance - 1.0) return 2;
        if (a.y <= p.y) {
            if (b.y > p.y && turn > 0) ++winding;
        } else if (b.y <= p.y && turn < 0) {
            --winding;
        }
    }
    return winding != 0 ? 1 : 0;
}

bool mesh_hole_polygon(const COfuHolePolygon& polygon, HoleMesh& mesh) {
    mesh.points.clear();
    mesh.triangles.clear();
    const int outer_count = polygon.points.GetSize();
    OfuVector3 normal;
    if (!PolygonNormal(polygon.points.GetData(), outer_count, normal)) return false;
    OfuMatrix4x4 to_flat;
    if (!MakePlaneToXYMatrix(normal, polygon.points[0], to_flat)) return false;

    // Loop 0 is the outline, then the holes in order; each is kept flat and as a closed chain of point numbers.
    std::vector<std::vector<FlatPoint>> loops;
    std::vector<std::vector<int>> chains;
    std::vector<FlatPoint> points;
    auto add_loop = [&](const COfuPoint3Array& outline) {
        std::vector<FlatPoint> loop;
        std::vector<int> chain;
        for (int i = 0; i < outline.GetSize(); ++i) {
            OfuVector3 q = outline[i];
            TransformPointByMatrix4x4(to_flat, q);
            loop.push_back({q.x, q.y});
            chain.push_back(static_cast<int>(points.size()));
            points.push_back({q.x, q.y});
        }
        loops.push_back(std::move(loop));
        chains.push_back(std::move(chain));
    };
    add_loop(polygon.points);
    for (int h = 0; h < polygon.holes.GetSize(); ++h) add_loop(polygon.holes[h].points);
    // A point at infinity or NaN has no place in the triangulation, and its edges could never be forced in:
    // splitting them would only spend the whole point budget, one slow pass at a time.
    for (const FlatPoint& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;

    const size_t budget = points.size() * kPointBudget;
    Triangulation triangulation;
    std::vector<int> triangles, alias;
    for (;;) {
        if (!triangulation.run(points, triangles, alias)) return false;
        const std::vector<uint64_t> keys = edge_keys(triangles);
        // (chain, position) of every loop edge the triangulation lacks.
        std::vector<std::pair<int, int>> missing;
        for (size_t c = 0; c < chains.size(); ++c) {
            const std::vector<int>& chain = chains[c];
            for (size_t j = 0; j < chain.size(); ++j) {
                const int a = chain[j], b = chain[(j + 1) % chain.size()];
                if (alias[a] == alias[b] || has_edge(keys, alias[a], alias[b])) continue;
                if (std::hypot(points[a].x - points[b].x, points[a].y - points[b].y) <= kTolerance) continue;
                missing.emplace_back(static_cast<int>(c), static_cast<int>(j));
            }
        }
        if (missing.empty() || points.size() + missing.size() > budget) break;
        // Rebuild the touched chains with a midpoint behind every missing edge.
        size_t next = 0;
        for (size_t c = 0; c < chains.size(); ++c) {
            if (next >= missing.size() || missing[next].first != static_cast<int>(c)) continue;
            const std::vector<int> old = chains[c];
            std::vector<int>& chain = chains[c];
            chain.clear();
            for (size_t j = 0; j < old.size(); ++j) {
                chain.push_back(old[j]);
                if (next < missing.size() && missing[next].first == static_cast<int>(c) &&
                    missing[next].second == static_cast<int>(j)) {
                    const FlatPoint& a = points[old[j]];
                    const FlatPoint& b = points[old[(j + 1) % old.size()]];
                    chain.push_back(static_cast<int>(points.size()));
                    points.push_back({(a.x + b.x) * 0.5, (a.y + b.y) * 0.5});
                    ++next;
                }
            }
        }
    }

    // A point farther than this outside a loop's box can be neither inside it nor, at the test's tolerance, on
    // one of its edges or corners; the box test spares the full walk round the loop for most centroids.
    constexpr double kBoxMargin = 1e-3;
    std::vector<std::array<double, 4>> boxes;
    for (const std::vector<FlatPoint>& loop : loops) {
        std::array<double, 4> box = {INFINITY, INFINITY, -INFINITY, -INFINITY};
        for (const FlatPoint& p : loop)
            box = {std::min(box[0], p.x), std::min(box[1], p.y), std::max(box[2], p.x), std::max(box[3], p.y)};
        boxes.push_back(box);
    }
    auto in_loop = [&](const FlatPoint& p, size_t k) {
        const std::array<double, 4>& box = boxes[k];
        if (p.x < box[0] - kBoxMargin || p.y < box[1] - kBoxMargin || p.x > box[2] + kBoxMargin ||
            p.y > box[3] + kBoxMargin)
            return false;
        return point_in_loop(p, loops[k].data(), static_cast<int>(loops[k].size()), kTolerance) != 0;
    };
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const FlatPoint& a = points[triangles[t]];
        const FlatPoint& b = points[triangles[t + 1]];
        const FlatPoint& c = points[triangles[t + 2]];
        const FlatPoint centroid{(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0};
        bool keep = in_loop(centroid, 0);
        for (size_t h = 1; keep && h < loops.size(); ++h)
            if (in_loop(centroid, h)) keep = false;
        if (keep) mesh.triangles.insert(mesh.triangles.end(), &triangles[t], &triangles[t] + 3);
    }

    OfuMatrix4x4 back;
    const bool can_return = InverseMatrix4x4(to_flat, back) != 0;
    mesh.points.reserve(points.size());
    for (const FlatPoint& p : points) {
        OfuVector3 q(p.x, p.y, 0.0);
        if (can_return) TransformPointByMatrix4x4(back, q);
        mesh.points.push_back(q);
    }
    return true;
}
