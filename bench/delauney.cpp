// Delaunay triangulation of 1e4 and 1e5 uniform points: the library's incremental triangulator, point by point
// and handed over all at once, beside CGAL's Delaunay_triangulation_2 and the qdelaunay program of qhull (a
// separate process, parsing included).
#include <benchmark/benchmark.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "geometry/delauney.h"

namespace {

using K = CGAL::Exact_predicates_inexact_constructions_kernel;

std::vector<K::Point_2> uniform_points(int n) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> spread(4000.0, 6000.0);
    std::vector<K::Point_2> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i) points.emplace_back(spread(rng), spread(rng));
    return points;
}

void BM_Delauney(benchmark::State& state) {
    const auto points = uniform_points(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CO3duDelauney dt;
        dt.InitRectangle(10000.0, 10000.0);
        for (const auto& p : points) dt.AddPoint(p.x(), p.y());
        benchmark::DoNotOptimize(dt.GetTriangleCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same points handed over at once, as the mesher does: inserted along a Hilbert curve.
void BM_DelauneyAddPoints(benchmark::State& state) {
    const auto points = uniform_points(static_cast<int>(state.range(0)));
    std::vector<double> x, y;
    for (const auto& p : points) x.push_back(p.x()), y.push_back(p.y());
    for (auto _ : state) {
        CO3duDelauney dt;
        dt.InitRectangle(10000.0, 10000.0);
        dt.AddPoints(x.data(), y.data(), static_cast<int>(x.size()));
        benchmark::DoNotOptimize(dt.GetTriangleCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CgalDelaunay(benchmark::State& state) {
    const auto points = uniform_points(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CGAL::Delaunay_triangulation_2<K> dt(points.begin(), points.end());
        benchmark::DoNotOptimize(dt.number_of_faces());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Point insertion in the caller's order, as the library does it (CGAL sorts a range spatially first).
void BM_CgalDelaunayInOrder(benchmark::State& state) {
    const auto points = uniform_points(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CGAL::Delaunay_triangulation_2<K> dt;
        for (const auto& p : points) dt.insert(p);
        benchmark::DoNotOptimize(dt.number_of_faces());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Qdelaunay(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto points = uniform_points(n);
    const std::string input = "/tmp/bench_delauney_" + std::to_string(n) + ".txt";
    if (FILE* f = std::fopen(input.c_str(), "w")) {
        std::fprintf(f, "2\n%d\n", n);
        for (const auto& p : points) std::fprintf(f, "%.17g %.17g\n", p.x(), p.y());
        std::fclose(f);
    }
    const std::string command = "qdelaunay Qt i < " + input + " > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("qdelaunay did not run (package qhull-bin)");
            break;
        }
    }
    std::remove(input.c_str());
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(BM_Delauney)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DelauneyAddPoints)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CgalDelaunay)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CgalDelaunayInOrder)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qdelaunay)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
