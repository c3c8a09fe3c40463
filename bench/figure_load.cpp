// Opening a generated model of 10k items and 100k shape lines in 50 unit files: the reader and interpreter
// alone (shapes not built), the same bytes through a plain getline and split as the peer, and the full open.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/timer_slots.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/window.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kz::platform;

constexpr int kUnits = 50;
constexpr int kItemsPerUnit = 200;
constexpr int kShapesPerItem = 10;

struct Model {
    std::string top;                 // program form of the opened file
    std::vector<std::string> files;  // POSIX paths of every file
};

const Model& model() {
    static const Model m = [] {
        Model out;
        const fs::path dir = fs::temp_directory_path() / "kz-bench-figure-load";
        fs::create_directories(dir / "units");
        std::string top;
        for (int u = 0; u < kUnits; ++u) {
            top += "trunk" + std::string(29, ',') + "unit " + std::to_string(u) + ",,#frefer=units\\u" +
                   std::to_string(u) + ".fig\r\n";
            std::string unit;
            for (int i = 0; i < kItemsPerUnit; ++i) {
                unit += "trunk," + std::to_string(i * 10) + ",0,0" + std::string(26, ',') + "item " +
                        std::to_string(i) + "\r\n";
                for (int s = 0; s < kShapesPerItem; ++s)
                    unit += "box," + std::to_string(s * 100) +
                            ",0,0,,,,,,,,,,100,100,100,,,,,,1,200,170,130,,,,,part " + std::to_string(s) + "\r\n";
            }
            const fs::path p = dir / "units" / ("u" + std::to_string(u) + ".fig");
            std::ofstream(p, std::ios::binary) << unit;
            out.files.push_back(p.string());
        }
        std::ofstream(dir / "model.fig", std::ios::binary) << top;
        out.files.push_back((dir / "model.fig").string());
        out.top = plat::from_native_path((dir / "model.fig").string());
        return out;
    }();
    return m;
}

long peak_kib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

struct ViewHolder {
    ViewHolder() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        plat::ensure_application();
        plat::WindowClass c;
        c.name = "KzBenchParent";
        c.procedure = [](plat::WindowHandle w, std::uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
            return m < plat::WM_USER ? plat::default_window_procedure(w, m, wp, lp) : 0;
        };
        plat::register_window_class(c);
        parent = plat::create_window("KzBenchParent", "bench", plat::WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                     plat::desktop_window());
        view = new kz::view::XView(parent, nullptr);
    }
    ~ViewHolder() {
        delete view;
        plat::destroy_window(parent);
        kz::foundation::timer_release_all();
    }
    plat::WindowHandle parent = nullptr;
    kz::view::XView* view = nullptr;
};

void open_model(benchmark::State& state, int build) {
    const Model& m = model();
    ViewHolder holder;
    holder.view->document.build_shapes = build;
    for (auto _ : state) {
        benchmark::DoNotOptimize(holder.view->OpenModel(m.top.c_str()));
    }
    state.counters["items"] = holder.view->trunk_count();
    state.counters["peak_MiB"] = peak_kib() / 1024.0;
}

void BM_ReadAndInterpret(benchmark::State& state) { open_model(state, 0); }
void BM_FullOpen(benchmark::State& state) { open_model(state, 1); }

// The peer: the same files read and cut into lines and comma fields with the standard library.
void BM_GetlineAndSplit(benchmark::State& state) {
    const Model& m = model();
    for (auto _ : state) {
        std::size_t fields = 0;
        for (const std::string& path : m.files) {
            std::ifstream in(path, std::ios::binary);
            std::string line, field;
            while (std::getline(in, line)) {
                std::istringstream cut(line);
                std::vector<std::string> parts;
                while (std::getline(cut, field, ',')) parts.push_back(field);
                fields += parts.size();
            }
        }
        benchmark::DoNotOptimize(fields);
    }
    state.counters["peak_MiB"] = peak_kib() / 1024.0;
}

BENCHMARK(BM_GetlineAndSplit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndInterpret)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullOpen)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
