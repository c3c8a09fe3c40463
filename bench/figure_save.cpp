// Saving a model of 100k figure lines (10k items of 9 shapes): the figure writers (records through their line
// writer, a temporary file and a rename) against the peer, snprintf("%.15g") of the same numbers with the same
// names, written to the same file the same way.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/foundation/timer_slots.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "bench_view.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kz::platform;
using kz::view::XView;

constexpr int kItems = 10000;
constexpr int kShapesPerItem = 9;

struct Saved {
    plat::WindowHandle parent = nullptr;
    std::unique_ptr<XView> view;
    fs::path file;
    Saved() {
        parent = make_bench_parent(320, 240);
        view = std::make_unique<XView>(parent, nullptr);
        const fs::path dir = fs::temp_directory_path() / "kz-bench-figure-save";
        fs::create_directories(dir);
        file = dir / "model.fig";
        std::string text;
        for (int i = 0; i < kItems; ++i) {
            text += "trunk," + std::to_string(i * 10.25) + ",0.5,0" + std::string(26, ',') + "item " +
                    std::to_string(i) + "\r\n";
            for (int s = 0; s < kShapesPerItem; ++s)
                text += "box," + std::to_string(s * 100.125) + "," + std::to_string(i * 0.001) +
                        ",0,0,0,12.5,,,,,,,100,100,100,,,,,,1,200,170,130,,,,0.25,part " + std::to_string(s) + "\r\n";
        }
        std::ofstream(file, std::ios::binary) << text;
        view->document.build_shapes = 0;
        view->OpenModel(plat::from_native_path(file.string()).c_str());
    }
    ~Saved() {
        view.reset();
        plat::destroy_window(parent);
        kz::foundation::timer_release_all();
    }
};

Saved& saved() {
    static Saved s;
    return s;
}

void BM_SaveModel(benchmark::State& state) {
    Saved& s = saved();
    for (auto _ : state) {
        s.view->document.trunks[0]->changed = 1;
        benchmark::DoNotOptimize(s.view->SaveModel());
    }
    state.counters["lines"] = static_cast<double>(kItems * (kShapesPerItem + 1));
    state.counters["MiB"] = static_cast<double>(fs::file_size(s.file)) / (1 << 20);
}

// The same numbers and names as the writer's rows, each number through snprintf("%.15g").
void BM_SnprintfSameNumbers(benchmark::State& state) {
    Saved& s = saved();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text;
        char number[32];
        auto row = [&](const char* kind, const kz::scene::COBJECTA& r) {
            text += kind;
            const double values[] = {r.dx,  r.dy,    r.dz,   r.rx,      r.ry,      r.rz,       r.odx,
                                     r.ody, r.odz,   r.orx,  r.ory,     r.orz,     r.w,        r.d,
                                     r.h,   r.wtop,  r.dtop, r.div,     r.domebtm, r.dometop,  r.dispmode,
                                     r.red, r.green, r.blue, r.ambient, r.diffuse, r.specular, r.trans};
            for (double v : values) {
                std::snprintf(number, sizeof number, "\t%.15g", v);
                text += number;
            }
            text += "\t";
            text += r.name ? r.name : "";
            text += "\r\n";
        };
        for (std::size_t i = 1; i < s.view->document.trunks.size(); ++i) {
            kz::scene::XTrunk* t = s.view->document.trunks[i];
            row("trunk", *t->base_record());
            for (int p = 1; p < t->part_count(); ++p) row("box", *t->parts[p]->record);
        }
        plat::FileWriter out(plat::from_native_path(s.file.string()));
        benchmark::DoNotOptimize(out.write(text.data(), text.size()) && out.commit());
        bytes = text.size();
    }
    state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

BENCHMARK(BM_SaveModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnprintfSameNumbers)->Unit(benchmark::kMillisecond);

}  // namespace
