// Building a model of 10k mixed shapes (balls at 144 divisions, cylinders at 1440, cones, hemispheres, polygons,
// walls, revolutions) with no modeller behind the view: faces per second of the builders alone.
// Peer in the same run: as many boxes, the simplest builder, through the same dispatch.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "tests/app/scene/recording_view_services.h"

namespace {

using kz::scene::COBJECTA;
using kz::scene::XLeaves;
using kz::scene::XTrunk;

constexpr int kShapes = 10000;

const char* const kMixed[] = {
    "ball,w=200,div=144",
    "cylinder,w=200,h=300,div=1440",
    "sui,w=200,h=300,div=48,domebtm=0.3",
    "hankyuu,w=200,div=48,thick=10",
    "poly,h=50,poldat=0;0;100;0;100;40;40;40;40;100;0;100",
    "hpoly,h=120,dtop=3,poldat=0;0;100;0;100;100;200;100",
    "d3poly,h=30,poldat=0;0;0;100;0;0;100;100;50;0;100;50",
    "kaiten,div=48,poldat=0;0;80;0;90;20;40;60;40;140;90;200;80;210;0;210",
    "cylinder,w=100,h=300,div=96,poldat=magari;500;90;24",
    "zpoly,h=10,poldat=0;0;0;100;0;100;100;100;100;0;100;0",
};

// A view without a bridge: the builders make their faces and no modeller takes them.
struct NullModelView {
    kz::scene::test::RecordingViewServices view;
    XTrunk* root = nullptr;
    XLeaves* shape = nullptr;
    std::vector<std::unique_ptr<COBJECTA>> records;
    explicit NullModelView(const std::vector<const char*>& lines) {
        root = new XTrunk(&view, nullptr, nullptr, nullptr, nullptr, "root", 0);
        shape = root->parts[root->AddLeaves()];
        for (const char* line : lines) {
            records.push_back(std::make_unique<COBJECTA>(nullptr, &view, root));
            records.back()->ReadFigureLine(line);
        }
    }
    ~NullModelView() { delete root; }
};

void build_model(benchmark::State& state, const std::vector<const char*>& lines) {
    NullModelView model(lines);
    std::int64_t faces = 0;
    for (auto _ : state) {
        for (int i = 0; i < kShapes; ++i) {
            model.shape->Build(model.records[i % model.records.size()].get());
            faces += model.shape->face_count();
        }
    }
    state.counters["faces/s"] = benchmark::Counter(static_cast<double>(faces), benchmark::Counter::kIsRate);
    state.counters["shapes/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kShapes, benchmark::Counter::kIsRate);
}

void BM_MixedShapes(benchmark::State& state) {
    build_model(state, std::vector<const char*>(std::begin(kMixed), std::end(kMixed)));
}
BENCHMARK(BM_MixedShapes)->Unit(benchmark::kMillisecond);

void BM_Boxes(benchmark::State& state) { build_model(state, {"box,w=100,d=80,h=60"}); }
BENCHMARK(BM_Boxes)->Unit(benchmark::kMillisecond);

}  // namespace
