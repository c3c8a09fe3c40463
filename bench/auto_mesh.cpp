// The planar mesher from 100 to 2,000 boundary points (a regular outline, divisions 3, full smoothing), and the
// walk-through's own call; beside it, for context only, ear clipping of the same outline and CGAL's conforming
// Delaunay mesher refined for shape alone (no size bound): neither makes the same mesh.
#include <benchmark/benchmark.h>

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Delaunay_mesh_face_base_2.h>
#include <CGAL/Delaunay_mesh_size_criteria_2.h>
#include <CGAL/Delaunay_mesher_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <cmath>
#include <vector>

#include "geometry/auto_mesh.h"
#include "geometry/ear_clipping.h"

namespace {

constexpr double kRadius = 1000.0;

COfuHolePolygon2D outline(int n) {
    COfuHolePolygon2D polygon;
    for (int i = 0; i < n; ++i)
        polygon.points.Add(OfuVector2(kRadius * std::cos(2 * M_PI * i / n), kRadius * std::sin(2 * M_PI * i / n)));
    return polygon;
}

template <int Type>
void BM_AutoMesh(benchmark::State& state) {
    COfuHolePolygon2D polygon = outline(static_cast<int>(state.range(0)));
    const long divisions = static_cast<long>(state.range(1));
    COfuPoint2Array points;
    COfuArray<int> kinds, triangles;
    CO3duAutoMesh mesher;
    for (auto _ : state) {
        if (Type == 1) mesher.DivisionType01(polygon, points, kinds, triangles, divisions, 3);
        if (Type == 2) mesher.DivisionType02(polygon, points, kinds, triangles, divisions, 3);
        if (Type == 3) mesher.DivisionType03(polygon, points, kinds, triangles, divisions, 3);
        benchmark::DoNotOptimize(triangles.GetSize());
    }
    state.counters["triangles"] = triangles.GetSize() / 3;
}

void BM_EarClipping(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const COfuHolePolygon2D polygon = outline(n);
    std::vector<OfuVector3> flat;
    for (int i = 0; i < n; ++i) flat.emplace_back(polygon.points[i].x, polygon.points[i].y, 0.0);
    size_t count = 0;
    for (auto _ : state) {
        const std::vector<int> triangles = ear_clip_outline(flat.data(), n, false);
        count = triangles.size() / 3;
        benchmark::DoNotOptimize(triangles.data());
    }
    state.counters["triangles"] = static_cast<double>(count);
}

void BM_CgalMesher(benchmark::State& state) {
    using K = CGAL::Exact_predicates_inexact_constructions_kernel;
    using Tds =
        CGAL::Triangulation_data_structure_2<CGAL::Triangulation_vertex_base_2<K>, CGAL::Delaunay_mesh_face_base_2<K>>;
    using Cdt = CGAL::Constrained_Delaunay_triangulation_2<K, Tds>;
    const int n = static_cast<int>(state.range(0));
    const COfuHolePolygon2D polygon = outline(n);
    size_t count = 0;
    for (auto _ : state) {
        Cdt cdt;
        std::vector<Cdt::Vertex_handle> v;
        for (int i = 0; i < n; ++i) v.push_back(cdt.insert(K::Point_2(polygon.points[i].x, polygon.points[i].y)));
        for (int i = 0; i < n; ++i) cdt.insert_constraint(v[i], v[(i + 1) % n]);
        CGAL::refine_Delaunay_mesh_2(cdt, CGAL::Delaunay_mesh_size_criteria_2<Cdt>(0.125, 0.0));
        count = cdt.number_of_faces();
        benchmark::DoNotOptimize(count);
    }
    state.counters["triangles"] = static_cast<double>(count);
}

void boundary_sizes(benchmark::internal::Benchmark* b) {
    for (int n : {100, 250, 500, 1000, 2000}) b->Args({n, 3});
}

}  // namespace

BENCHMARK(BM_AutoMesh<3>)->Name("DivisionType03")->Apply(boundary_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoMesh<3>)->Name("DivisionType03/walk_through_floor")->Args({4, 15})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoMesh<2>)->Name("DivisionType02")->Apply(boundary_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoMesh<1>)->Name("DivisionType01")->Apply(boundary_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EarClipping)->Apply(boundary_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CgalMesher)->Apply(boundary_sizes)->Unit(benchmark::kMillisecond);
