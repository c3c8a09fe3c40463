// The automatic walk-through: the camera wanders over a mesh laid on the model's floor area plus a margin, from
// node to node along shortest routes whose edges grow dearer each time a route uses them, looking at random
// points inside the model's box.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/auto_mesh.h"
#include "geometry/geometry_elements.h"
#include "geometry/shared_math.h"
#include "modeller/camera/o3du_animation_host.h"
#include "modeller/camera/o3du_math_camera.h"
#include "modeller/o3du_modelar.h"

namespace {

struct WalkGraph {
    int n = 0;
    std::vector<OfuVector2> points;
    std::vector<std::int32_t> weights;  // n x n, 0 no edge
    std::vector<std::int32_t> distance, predecessor, visited;

    bool build(const OfuVector3& lo, const OfuVector3& hi, const OfuVector3& size) {
        COfuHolePolygon2D floor;
        const double x0 = lo.x - 0.3 * size.x, x1 = hi.x + 0.3 * size.x;
        const double y0 = lo.y - 0.3 * size.y, y1 = hi.y + 0.3 * size.y;
        floor.points.Add(OfuVector2(x0, y0));
        floor.points.Add(OfuVector2(x1, y0));
        floor.points.Add(OfuVector2(x1, y1));
        floor.points.Add(OfuVector2(x0, y1));
        COfuPoint2Array mesh_points;
        COfuArray<int> kinds, triangles;
        CO3duAutoMesh mesher;
        mesher.DivisionType03(floor, mesh_points, kinds, triangles, 15, 3);
        n = mesh_points.GetSize();
        if (n <= 0) return false;
        points.assign(static_cast<std::size_t>(n), OfuVector2());
        for (int i = 0; i < n; ++i) points[std::size_t(i)] = mesh_points[i];
        weights.assign(std::size_t(n) * std::size_t(n), 0);
        for (int t = 0; t + 2 < triangles.GetSize(); t += 3) {
            const int v[3] = {triangles[t], triangles[t + 1], triangles[t + 2]};
            if (std::any_of(v, v + 3, [&](int i) { return i < 0 || i >= n; })) continue;
            for (int k = 0; k < 3; ++k) {
                edge(v[k], v[(k + 1) % 3]) = 1;
                edge(v[(k + 1) % 3], v[k]) = 1;
            }
        }
        distance.assign(std::size_t(n), 0);
        predecessor.assign(std::size_t(n), 0);
        visited.assign(std::size_t(n), 0);
        return true;
    }

    std::int32_t& edge(int from, int to) { return weights[std::size_t(from) * std::size_t(n) + std::size_t(to)]; }

    // Goal first, start last; with `wear` every edge taken gets dearer for later plans.
    std::vector<int> plan(int start, int goal, bool wear) {
        std::vector<int> route;
        GetShortestPath(weights.data(), n, start, distance.data(), predecessor.data(), visited.data(), 0);
        route.push_back(goal);
        for (int node = goal; node != start && static_cast<int>(route.size()) <= n;) {
            const int back = predecessor[std::size_t(node)];
            if (back < 0 || back >= n) break;  // not reached: the route ends here and is replanned when short
            if (wear) ++edge(back, node);
            route.push_back(back);
            node = back;
        }
        return route;
    }
};

// A whole number in [low, low + span).
double pick(std::uint32_t random, double low, std::int64_t span) {
    return std::trunc(static_cast<double>(random % static_cast<std::uint64_t>(span)) + low);
}

}  // namespace

int CO3duMathCamera::Walk(CO3duModelar* modeller, int filter, int& flag, HWND hwnd) {
    if (!modeller) return 0;
    OfuVector3 hi, lo;
    modeller->GetBoundingBox(hi, lo, filter);
    if (hi.x == lo.x || hi.y == lo.y || hi.z == lo.z) return 0;
    const OfuVector3 size(std::fabs(hi.x - lo.x), std::fabs(hi.y - lo.y), std::fabs(hi.z - lo.z));
    // The random draws take whole-number spans as divisors: a box too small to give every span a unit is refused.
    const OfuVector3 low(lo.x + 0.2 * size.x, lo.y + 0.2 * size.y, lo.z + 0.2 * size.z);
    const double eye_low = lo.z + 0.2 * size.z;
    const double spans[4] = {std::trunc(0.6 * size.x), std::trunc(0.6 * size.y), std::trunc(0.6 * size.z),
                             std::trunc(hi.z + 0.3 * size.z - eye_low)};
    for (double s : spans)
        if (!(s >= 1.0 && s < 4e9)) return 0;
    const std::int64_t span_x = std::int64_t(spans[0]), span_y = std::int64_t(spans[1]),
                       span_z = std::int64_t(spans[2]), span_eye = std::int64_t(spans[3]);

    WalkGraph graph;
    if (!graph.build(lo, hi, size)) return 0;
    CO3duAnimationHost& host = animation_host();
    const std::uint32_t n = static_cast<std::uint32_t>(graph.n);
    int goal = static_cast<int>(host.time_get_time() % n);
    const int first_start = goal;
    goal = static_cast<int>(host.time_get_time() % n);
    std::vector<int> route = graph.plan(first_start, goal, false);

    if (flag != 0) {
        flag = 0;
        return 0;
    }
    flag = 1;

    _O3duCamera next;
    modeller->GetCamera(next);
    std::size_t at = 0;
    while (flag > 0) {
        const O3duPump pumped = host.pump();
        if (pumped == O3duPump::stop) {
            flag = 0;
            return 0;
        }
        if (pumped == O3duPump::other) continue;
        if (at + 2 >= route.size()) {
            const int start = goal;
            const std::uint32_t a = host.time_get_time(), b = host.time_get_time();
            goal = static_cast<int>((a * b) % n);
            route = graph.plan(start, goal, true);
            at = 0;
        }
        if (at + 2 < route.size()) {
            const OfuVector2& node = graph.points[std::size_t(route[at])];
            at += 2;
            _O3duCamera current;
            modeller->GetCamera(current);
            next.eye.x = node.x;
            next.eye.y = node.y;
            next.target.x = pick(host.time_get_time(), low.x, span_x);
            next.target.y = pick(host.time_get_time(), low.y, span_y);
            next.target.z = pick(host.time_get_time(), low.z, span_z);
            HDC hdc = host.get_dc(hwnd);
            const double duration = std::max<std::uint32_t>(500, host.time_get_time() % 4000);
            AnimationCamera_Sec2(modeller, current, next, duration, hdc, flag);
            const std::uint32_t a = host.time_get_time(), b = host.time_get_time();
            next.eye.z = pick(a * b, eye_low, span_eye);
            host.release_dc(hwnd, hdc);
        }
        host.sleep(0);
    }
    return 1;
}
