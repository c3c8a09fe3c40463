// Incremental Delaunay triangulation: split the triangle holding the new point, then flip the edges facing it
// while the point lies strictly inside the neighbour's circumcircle.
#include "geometry/delauney.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

// Which side of the directed edge a->b the point lies on (>= 0: left or on the line), with a bound on the
// rounding error of the value: beyond it the sign is the exact one.
struct SideTest {
    double value;
    double bound;
};

SideTest side_of_edge(double ax, double ay, double bx, double by, double x, double y) {
    const double p1 = (y - ay) * (bx - ax);
    const double p2 = (by - ay) * (x - ax);
    return {p1 - p2, 8.0 * DBL_EPSILON * (std::fabs(p1) + std::fabs(p2))};
}

// Doubles the capacity when full, so that a failed allocation happens before anything is changed.
template <class T>
bool make_room(std::vector<T>& v, size_t extra) {
    if (v.size() + extra <= v.capacity()) return true;
    try {
        size_t want = v.capacity() < 5 ? 5 : v.capacity() * 2;
        if (want < v.size() + extra) want = v.size() + extra;
        v.reserve(want);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

int find_vertex(const DelauneyTriangle& t, int v) {
    for (int k = 0; k < 3; ++k)
        if (t.vertices[k] == v) return k;
    return -1;
}

DelauneyTriangle make_record(int a, int b, int c) { return {{a, b, c}, {-1, -1, -1}}; }

}  // namespace

CO3duDelauney::CO3duDelauney() {
    x_.reserve(5);
    y_.reserve(5);
    triangles_.reserve(5);
}

void CO3duDelauney::ClearPoints() {
    x_.clear();
    y_.clear();
}

void CO3duDelauney::ClearTriangles() {
    triangles_.clear();
    last_found_ = 0;
}

int CO3duDelauney::AppendVertex(double x, double y) {
    if (!make_room(x_, 1) || !make_room(y_, 1)) return -1;
    x_.push_back(x);
    y_.push_back(y);
    return static_cast<int>(x_.size()) - 1;
}

int CO3duDelauney::AppendTriangle(const DelauneyTriangle& record) {
    if (!make_room(triangles_, 1)) return -1;
    triangles_.push_back(record);
    return static_cast<int>(triangles_.size()) - 1;
}

void CO3duDelauney::InitRectangle(double w, double h) {
    width_ = w;
    height_ = h;
    ClearPoints();
    ClearTriangles();
    AppendVertex(0.0, 0.0);
    AppendVertex(w, 0.0);
    AppendVertex(w, h);
    AppendVertex(0.0, h);
    AppendTriangle(make_record(0, 1, 3));
    AppendTriangle(make_record(1, 2, 3));
    LinkTriangles(0, 1);
}

int CO3duDelauney::GetPoint(int i, double& x, double& y) const {
    if (i < 0 || i >= GetPointCount()) return 0;
    x = x_[i];
    y = y_[i];
    return 1;
}

int CO3duDelauney::GetTriangle(int i, int& a, int& b, int& c) const {
    if (!valid_triangle(i)) return 0;
    a = triangles_[i].vertices[0];
    b = triangles_[i].vertices[1];
    c = triangles_[i].vertices[2];
    return 1;
}

int CO3duDelauney::FindTriangleByScan(double x, double y) const {
    const int n = GetTriangleCount();
    for (int t = 0; t < n; ++t) {
        const int32_t* v = triangles_[t].vertices;
        const double ax = x_[v[0]], ay = y_[v[0]], bx = x_[v[1]], by = y_[v[1]], cx = x_[v[2]], cy = y_[v[2]];
        if ((y - ay) * (bx - ax) - (by - ay) * (x - ax) >= 0.0 && (y - by) * (cx - bx) - (cy - by) * (x - bx) >= 0.0 &&
            (y - cy) * (ax - cx) - (x - cx) * (ay - cy) >= 0.0)
            return t;
    }
    return -1;
}

// The first triangle in table order that holds the point, edges and corners included. A point strictly inside
// a triangle lies in no other one, so a walk towards the point may answer; anything near an edge (where the
// table order decides) or a walk that does not arrive falls back to the scan of the whole table.
int CO3duDelauney::FindTriangle(double x, double y) const {
    const int n = GetTriangleCount();
    if (n == 0) return -1;
    int t = valid_triangle(last_found_) ? last_found_ : 0;
    for (int steps = 0; steps < n; ++steps) {
        const DelauneyTriangle& tri = triangles_[t];
        int leave_by = -1;
        bool certain = true;
        for (int k = 0; k < 3 && leave_by < 0; ++k) {
            const int a = tri.vertices[(k + 1) % 3], b = tri.vertices[(k + 2) % 3];
            const SideTest side = side_of_edge(x_[a], y_[a], x_[b], y_[b], x, y);
            if (side.value > side.bound) continue;
            certain = false;
            if (side.value < -side.bound) leave_by = k;
        }
        if (certain) {
            last_found_ = t;
            return t;
        }
        if (leave_by < 0 || tri.neighbours[leave_by] < 0) break;
        t = tri.neighbours[leave_by];
    }
    const int found = FindTriangleByScan(x, y);
    if (found >= 0) last_found_ = found;
    return found;
}

int CO3duDelauney::GetCircumcircle(double x1, double y1, double x2, double y2, double x3, double y3, double& cx,
                                   double& cy, double& r2) {
    if (std::fabs((x3 - x2) * (y2 - y1) - (y3 - y2) * (x2 - x1)) < 1e-6) return 0;
    // The two bisector equations, solved relative to the first point to keep the squares small.
    const double ux = x2 - x1, uy = y2 - y1, vx = x3 - x1, vy = y3 - y1;
    const double a11 = 2.0 * ux, a12 = 2.0 * uy, b1 = ux * ux + uy * uy;
    const double a21 = 2.0 * (vx - ux), a22 = 2.0 * (vy - uy), b2 = vx * vx + vy * vy - b1;
    const double det = a11 * a22 - a12 * a21;
    const double ox = (b1 * a22 - a12 * b2) / det;
    const double oy = (a11 * b2 - b1 * a21) / det;
    cx = x1 + ox;
    cy = y1 + oy;
    r2 = ox * ox + oy * oy;
    return 1;
}

int CO3duDelauney::GetCommonEdge(int i, int j, int& slot_i, int& slot_j) const {
    slot_i = slot_j = -1;
    if (!valid_triangle(i) || !valid_triangle(j)) return 0;
    for (int k = 0; k < 3; ++k) {
        if (triangles_[i].neighbours[k] == j) slot_i = k;
        if (triangles_[j].neighbours[k] == i) slot_j = k;
    }
    if (slot_i < 0 || slot_j < 0) {
        slot_i = slot_j = -1;
        return 0;
    }
    return 1;
}

int CO3duDelauney::LinkTriangles(int i, int j) {
    if (i == j || !valid_triangle(i) || !valid_triangle(j)) return 0;
    DelauneyTriangle& ti = triangles_[i];
    DelauneyTriangle& tj = triangles_[j];
    int shared = 0, lone_i = -1, lone_j = 3;  // lone_j: 0 + 1 + 2 minus the shared slots of j
    // Without branches (a triangle's three numbers differ, so at most one of j's matches): which vertices match
    // is as good as random, and this runs several times for every point.
    for (int k = 0; k < 3; ++k) {
        const int v = ti.vertices[k];
        const int m0 = v == tj.vertices[0], m1 = v == tj.vertices[1], m2 = v == tj.vertices[2];
        const int found = m0 | m1 | m2;
        shared += found;
        lone_j -= m1 + 2 * m2;
        lone_i = found ? lone_i : k;
    }
    if (shared != 2) return 0;
    ti.neighbours[lone_i] = j;
    tj.neighbours[lone_j] = i;
    return 1;
}

void CO3duDelauney::SwapEdge(int i, int j) {
    int ei, ej;
    if (!GetCommonEdge(i, j, ei, ej)) return;
    const DelauneyTriangle old_i = triangles_[i], old_j = triangles_[j];
    const int next_i = (ei + 1) % 3, prev_i = (ei + 2) % 3, next_j = (ej + 1) % 3, prev_j = (ej + 2) % 3;
    const int p = old_i.vertices[ei], q = old_j.vertices[ej];
    triangles_[i] = make_record(q, p, old_i.vertices[next_i]);
    triangles_[j] = make_record(p, q, old_i.vertices[prev_i]);
    LinkTriangles(i, j);
    if (old_i.neighbours[prev_i] >= 0) LinkTriangles(i, old_i.neighbours[prev_i]);
    if (old_j.neighbours[next_j] >= 0) LinkTriangles(i, old_j.neighbours[next_j]);
    if (old_i.neighbours[next_i] >= 0) LinkTriangles(j, old_i.neighbours[next_i]);
    if (old_j.neighbours[prev_j] >= 0) LinkTriangles(j, old_j.neighbours[prev_j]);
}

void CO3duDelauney::AddPoint(double x, double y) {
    const int t = FindTriangle(x, y);
    if (t < 0) return;
    // All room is taken before the first change: a failed allocation leaves the triangulation as it was.
    if (!make_room(x_, 1) || !make_room(y_, 1) || !make_room(triangles_, 2)) return;
    InsertStoredPoint(AppendVertex(x, y), x, y, t);
}

namespace {

// Position of cell (x, y) of a 2^16 grid along the Hilbert curve that fills it (below 2^32).
std::uint64_t hilbert_index(std::uint32_t x, std::uint32_t y) {
    constexpr std::uint32_t n = 1u << 16;
    std::uint64_t d = 0;
    // Without branches: the bits are random, so each branch would be mispredicted half the time.
    for (std::uint32_t s = n / 2; s > 0; s /= 2) {
        const std::uint32_t rx = (x & s) ? 1 : 0, ry = (y & s) ? 1 : 0;
        d += std::uint64_t(s) * s * ((3 * rx) ^ ry);
        const std::uint32_t turn = ry - 1;                       // all ones when ry is 0
        const std::uint32_t mirror = (n - 1) & turn & (0 - rx);  // n - 1 - v is v ^ (n - 1) below n
        x ^= mirror;
        y ^= mirror;
        const std::uint32_t swap = (x ^ y) & turn;
        x ^= swap;
        y ^= swap;
    }
    return d;
}

}  // namespace

void CO3duDelauney::AddPoints(const double* x, const double* y, int count) {
    if (!x || !y || count <= 0 || triangles_.empty()) return;
    // The triangles always cover the seed rectangle exactly: a point outside it is one AddPoint would refuse.
    std::vector<std::uint64_t> order;  // curve position above, point number below: sorted as the pairs would be
    order.reserve(std::size_t(count));
    const int first = GetPointCount();
    double xmin = DBL_MAX, xmax = -DBL_MAX, ymin = DBL_MAX, ymax = -DBL_MAX;
    for (int i = 0; i < count; ++i) {
        if (!(x[i] >= 0.0 && x[i] <= width_ && y[i] >= 0.0 && y[i] <= height_)) continue;
        if (AppendVertex(x[i], y[i]) < 0) break;
        xmin = std::min(xmin, x[i]), xmax = std::max(xmax, x[i]);
        ymin = std::min(ymin, y[i]), ymax = std::max(ymax, y[i]);
    }
    const int stored = GetPointCount();
    if (stored == first) return;
    const double sx = xmax > xmin ? 65535.0 / (xmax - xmin) : 0.0, sy = ymax > ymin ? 65535.0 / (ymax - ymin) : 0.0;
    for (int s = first; s < stored; ++s)
        order.push_back(hilbert_index(static_cast<std::uint32_t>((x_[s] - xmin) * sx),
                                      static_cast<std::uint32_t>((y_[s] - ymin) * sy))
                            << 32 |
                        std::uint32_t(s));
    std::sort(order.begin(), order.end());
    // While they go in, the points are numbered in that order, so the ones a step touches lie close together in
    // memory as well; their own numbers are put back at the end. Only equality of numbers matters to the steps,
    // so the triangles come out as they would under the points' own numbers.
    struct Next {
        double x, y;
        int32_t s;
    };
    std::vector<Next> sequence;
    sequence.reserve(order.size());
    for (const std::uint64_t entry : order) {
        const auto s = static_cast<int32_t>(entry & 0xFFFFFFFFu);
        sequence.push_back({x_[s], y_[s], s});
    }
    order = {};
    for (std::size_t r = 0; r < sequence.size(); ++r) {
        x_[first + r] = sequence[r].x;
        y_[first + r] = sequence[r].y;
    }
    const bool room = make_room(triangles_, 2 * std::size_t(stored - first));
    for (std::size_t r = 0; r < sequence.size(); ++r) {
        // Without room for all, the points go in one at a time as the table grows; none is lost.
        const int t = FindTriangle(sequence[r].x, sequence[r].y);
        if (t >= 0 && (room || make_room(triangles_, 2)))
            InsertStoredPoint(first + static_cast<int>(r), sequence[r].x, sequence[r].y, t);
    }
    for (DelauneyTriangle& triangle : triangles_)
        for (int32_t& v : triangle.vertices)
            if (v >= first) v = sequence[std::size_t(v - first)].s;
    for (const Next& next : sequence) {
        x_[next.s] = next.x;
        y_[next.s] = next.y;
    }
}

void CO3duDelauney::InsertStoredPoint(int s, double x, double y, int t) {
    const DelauneyTriangle old = triangles_[t];
    const int a = old.vertices[0], b = old.vertices[1], c = old.vertices[2];
    const int na = old.neighbours[0], nb = old.neighbours[1], nc = old.neighbours[2];
    const int u = static_cast<int>(triangles_.size()), w = u + 1;
    // The three new triangles meet along their edges at s: neighbour k lies across from vertex k.
    triangles_[t] = {{a, b, s}, {u, w, -1}};
    triangles_.push_back({{b, c, s}, {w, t, -1}});
    triangles_.push_back({{c, a, s}, {t, u, -1}});
    if (nc >= 0) LinkTriangles(t, nc);
    if (na >= 0) LinkTriangles(u, na);
    if (nb >= 0) LinkTriangles(w, nb);

    // Every flip turns an edge away from s into one at s, and edges at s are never tested again, so the number
    // of flips is bounded by the number of edges.
    std::vector<int32_t>& stack = stack_;
    stack.assign({t, u, w});
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        for (int k = 0; k < 3; ++k) {
            const int j = triangles_[i].neighbours[k];
            if (j < 0 || find_vertex(triangles_[j], s) >= 0) continue;
            const int32_t* v = triangles_[j].vertices;
            double cx, cy, r2;
            if (!GetCircumcircle(x_[v[0]], y_[v[0]], x_[v[1]], y_[v[1]], x_[v[2]], y_[v[2]], cx, cy, r2)) continue;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r2) {
                SwapEdge(i, j);
                stack.push_back(i);
                stack.push_back(j);
            }
        }
    }
}
