// Saving a model of 100k figure lines (10k items of 9 shapes): the figure writers (records through their line
// writer, a temporary file and a rename) against the peer, std::to_chars of the same numbers at 15 significant
// digits with the same names and separators, the same bytes written the same way to a file beside it. And the save of
// a unit of the 100k boxes of the large-model benchmarks (10 MiB written) with the look at its bytes that finds a
// rewrite its stamps do not show (the digest of the bytes read, of the present file before the question and again
// before the rename, and of the bytes written) against the same save with digests switched off.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/foundation/timer_slots.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "bench_view.h"
#include "box_models.h"
#include "platform/content_digest.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kz::platform;
using kz::view::XView;

constexpr int kItems = 10000;
constexpr int kShapesPerItem = 9;

// A model opened in a view under a parent window of its own, as the program's main window holds it; its shapes are
// not built, as saving reads only its records.
struct OpenedModel {
    plat::WindowHandle parent = make_bench_parent(320, 240);
    std::unique_ptr<XView> view = std::make_unique<XView>(parent, nullptr);
    explicit OpenedModel(const fs::path& file) {
        view->document.build_shapes = 0;
        view->OpenModel(plat::from_native_path(file.string()).c_str());
    }
    ~OpenedModel() {
        view.reset();
        plat::destroy_window(parent);
        kz::foundation::timer_release_all();
    }
};

fs::path bench_folder(const char* name) {
    const fs::path dir = fs::temp_directory_path() / name;
    fs::create_directories(dir);
    return dir;
}

fs::path write_lines_model() {
    const fs::path file = bench_folder("kz-bench-figure-save") / "model.fig";
    std::string text;
    for (int i = 0; i < kItems; ++i) {
        text += "trunk," + std::to_string(i * 10.25) + ",0.5,0" + std::string(26, ',') + "item " + std::to_string(i) +
                "\r\n";
        for (int s = 0; s < kShapesPerItem; ++s)
            text += "box," + std::to_string(s * 100.125) + "," + std::to_string(i * 0.001) +
                    ",0,0,0,12.5,,,,,,,100,100,100,,,,,,1,200,170,130,,,,0.25,part " + std::to_string(s) + "\r\n";
    }
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

struct Saved {
    fs::path file = write_lines_model();
    OpenedModel opened{file};
    XView* view = opened.view.get();
    Saved() {
        // Saved once, so the file holds the writers' bytes whichever benchmark runs first.
        view->document.trunks[0]->changed = 1;
        view->SaveModel();
    }
};

// The opened models close in main while the window system is still up: left to the static destructors, the
// program crashed at exit once its results were out, as Qt's per-thread storage had gone before the windows.
std::optional<Saved> g_saved;
std::optional<OpenedModel> g_unit_model;

Saved& saved() {
    if (!g_saved) g_saved.emplace();
    return *g_saved;
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

// A model whose one unit holds the 100k boxes.
fs::path write_unit_model() {
    const fs::path dir = bench_folder("kz-bench-unit-save");
    fs::copy_file(kz_bench::box_model(100000).fig, dir / "boxes.fig", fs::copy_options::overwrite_existing);
    std::ofstream(dir / "model.fig", std::ios::binary)
        << "trunk" << std::string(29, ',') << "boxes,,#frefer=boxes.fig\r\n";
    return dir / "model.fig";
}

void BM_SaveUnit(benchmark::State& state) {
    if (!g_unit_model) g_unit_model.emplace(write_unit_model());
    const OpenedModel& s = *g_unit_model;
    kz::scene::XTrunk* unit = s.view->document.trunks.at(1);
    plat::set_content_digests_for_tests(state.range(0) != 0);
    for (auto _ : state) {
        unit->changed = 1;
        s.view->SaveModel();
        if (unit->changed) state.SkipWithError("the unit was not written");
    }
    plat::set_content_digests_for_tests(true);
    state.counters["MiB"] =
        static_cast<double>(fs::file_size(bench_folder("kz-bench-unit-save") / "boxes.fig")) / (1 << 20);
}

// The peer writes the very bytes of the saved file: its lines are cut at the TABs once, outside the timing, and
// every field that 15 significant digits print back as it stands is kept as a number and printed through
// std::to_chars each time; the other fields (names, "0;0" pairs, empty columns) are copied.
struct PeerField {
    bool number;
    double value;
    std::string text;
};

std::vector<std::vector<PeerField>> peer_lines(const std::string& saved) {
    std::vector<std::vector<PeerField>> lines;
    std::size_t at = 0;
    while (at < saved.size()) {
        std::size_t end = saved.find("\r\n", at);
        if (end == std::string::npos) end = saved.size();
        std::vector<PeerField>& fields = lines.emplace_back();
        for (std::size_t from = at;;) {
            const std::size_t tab = std::min(saved.find('\t', from), end);
            const std::string text = saved.substr(from, tab - from);
            double value = 0.0;
            const auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            char printed[32];
            const auto printed_end =
                std::to_chars(printed, printed + sizeof printed, value, std::chars_format::general, 15).ptr;
            const bool number = !text.empty() && error == std::errc() && rest == text.data() + text.size() &&
                                text == std::string_view(printed, printed_end - printed);
            fields.push_back({number, value, text});
            if (tab == end) break;
            from = tab + 1;
        }
        at = end + 2;
    }
    return lines;
}

void BM_ToCharsSameNumbers(benchmark::State& state) {
    Saved& s = saved();
    std::ifstream in(s.file, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::vector<PeerField>> lines = peer_lines(written);
    std::size_t numbers = 0;
    for (const auto& line : lines)
        for (const PeerField& f : line) numbers += f.number;
    std::string text;
    for (auto _ : state) {
        text.clear();
        char number[32];
        for (const auto& line : lines) {
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (i) text += '\t';
                if (line[i].number) {
                    const char* end =
                        std::to_chars(number, number + sizeof number, line[i].value, std::chars_format::general, 15)
                            .ptr;
                    text.append(number, static_cast<std::size_t>(end - number));
                } else {
                    text += line[i].text;
                }
            }
            text += "\r\n";
        }
        // Beside the model's file, not over it: the view would find its file replaced and ask before its next save.
        plat::FileWriter out(plat::from_native_path((s.file.parent_path() / "peer.fig").string()));
        benchmark::DoNotOptimize(out.write(text.data(), text.size()) && out.commit());
    }
    if (text != written) state.SkipWithError("the peer wrote other bytes than the writers");
    state.counters["MiB"] = static_cast<double>(text.size()) / (1 << 20);
    state.counters["numbers"] = static_cast<double>(numbers);
}

BENCHMARK(BM_SaveModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToCharsSameNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveUnit)->ArgName("digests")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_unit_model.reset();
    g_saved.reset();
    return 0;
}
