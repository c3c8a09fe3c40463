// Building a box shape from its figure line: the record read alone (the peer), the face makers without a bridge,
// and the whole build through the bridge into the modeller's shape list.
#include <benchmark/benchmark.h>

#include "app/foundation/bus_mdl.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "tests/app/scene/recording_view_services.h"

namespace {

using kz::scene::XLeaves;
using kz::scene::XTrunk;

constexpr const char* kLine = "box,w=100,d=80,h=60,wtop=40,dtop=30,domebtm=5,div=111,color=#405060,dispmode=1";

// The bridge sees no device here: primitives are kept by the modeller without being drawn.
class NoDevice : public kz::foundation::BridgeServices {
public:
    void BeginTiming(int) override {}
    void EndTiming(int) override {}
    void* ViewDeviceContext() override { return nullptr; }
    std::uint32_t BackgroundColor() override { return 0; }
    double LightValue() override { return 1.0; }
    void SetShadowDisplay(int) override {}
    kz::crt::GlobalHandle RenderToDib(int, int) override { return nullptr; }
};

void BM_ReadBoxLine(benchmark::State& state) {
    kz::scene::COBJECTA record;
    for (auto _ : state) {
        record.ReadFigureLine(kLine);
        benchmark::DoNotOptimize(record.w);
    }
}
BENCHMARK(BM_ReadBoxLine);

void run_builds(benchmark::State& state, kz::foundation::CBusMDL* bridge) {
    kz::scene::test::RecordingViewServices view;
    view.bridge = bridge;
    XTrunk root(&view, nullptr, nullptr, nullptr, nullptr, "root", 0);
    XLeaves* shape = root.parts[root.AddLeaves()];
    kz::scene::COBJECTA record;
    record.ReadFigureLine(kLine);
    for (auto _ : state) {
        view.calls.clear();
        shape->Build(&record);
        benchmark::DoNotOptimize(shape->faces().data());
    }
}

void BM_BuildBoxPlain(benchmark::State& state) { run_builds(state, nullptr); }
BENCHMARK(BM_BuildBoxPlain);

void BM_BuildBoxThroughBridge(benchmark::State& state) {
    NoDevice device;
    kz::foundation::CBusMDL bridge(&device);
    run_builds(state, &bridge);
}
BENCHMARK(BM_BuildBoxThroughBridge);

}  // namespace
