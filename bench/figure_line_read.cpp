// Reading figure lines into records: 200k generated lines of every shape kind, positional and keyword form.
// Peers in the same run: the bare field walk of the same lines (the tokenizer's share) and writing them back.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "app/scene/figure_record.h"
#include "app/scene/figure_text.h"
#include "platform/crt/c_numbers.h"

namespace {

using kz::scene::COBJECTA;

constexpr int kLineCount = 200000;

std::string number(std::mt19937& random) {
    char buffer[32];
    kz::crt::c_snprintf(buffer, sizeof buffer, "%d.%03d", static_cast<int>(random() % 20000) - 10000,
                        static_cast<int>(random() % 1000));
    return buffer;
}

// Lines as a modelling tool writes them: placement and sizes, colours, names (some Shift_JIS), now and then a
// paste list, locks, an action and a keyword-form line.
const std::vector<std::string>& figure_lines() {
    static const std::vector<std::string> lines = [] {
        static constexpr const char* kKinds[] = {"box",   "ball",   "hankyuu", "sui",   "cylinder", "poly", "hpoly",
                                                 "zpoly", "d3poly", "kaiten",  "trunk", "putref",   "pose", "stage"};
        std::mt19937 random(2026);
        std::vector<std::string> out;
        out.reserve(kLineCount);
        for (int i = 0; i < kLineCount; ++i) {
            std::string line = kKinds[i % 14];
            if (i % 10 == 9) {
                for (const char* key : {",dx=", ",dy=", ",w="}) {
                    line += key;
                    line += number(random);
                }
                line += ",name=\"part ";
                line += std::to_string(i);
                line += "\",color=#A0B0C0,paste=A;1;wood.png|";
                out.push_back(line);
                continue;
            }
            for (int k = 1; k <= 15; ++k) {
                line += '\t';
                line += number(random);
            }
            line += "\t0\t0;0;0;0\t8\t0\t0\t3.2\t200\t180\t160\t0.4\t0.8\t0\t0";
            if (i % 3) {
                line += "\tshelf";
                line += std::to_string(i);
            } else {
                line += "\t\x83\x7C\x83\x93\x83\x76\x95\x5C";
            }
            line += "\tparent";
            line += i % 4 == 0 ? "\tA;1.2000-;dir\\wood.jpg;100;0;;;;0;0;0;0;0;0;|C;5;;0;0;255;0;0;;;;;;;|" : "\t";
            line += i % 5 == 0 ? "\tA;0;1;1;;;;;;;;;;" : "\t";
            line += "\t\t";
            line += i % 7 == 0 ? "\tH;[wav=ding.wav]door;0|M;door;rz;now;max;0;2;1" : "\t";
            line += "\t0\tcomment\t5;7\t0;0";
            out.push_back(line);
        }
        return out;
    }();
    return lines;
}

void BM_ReadFigureLine(benchmark::State& state) {
    const auto& lines = figure_lines();
    COBJECTA record;
    for (auto _ : state) {
        for (const std::string& line : lines) {
            record.ReadFigureLine(line.c_str());
            benchmark::DoNotOptimize(record.dx);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_ReadFigureLine)->Unit(benchmark::kMillisecond);

void BM_WalkFieldsOnly(benchmark::State& state) {
    const auto& lines = figure_lines();
    const kz::foundation::FieldSeparators seps("\t", ",");
    for (auto _ : state) {
        for (const std::string& line : lines) {
            int fields = 0;
            for (int pos = 0; pos >= 0; ++fields) {
                int len = 0;
                pos = kz::foundation::get_field(line.c_str(), pos, len, seps);
            }
            benchmark::DoNotOptimize(fields);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_WalkFieldsOnly)->Unit(benchmark::kMillisecond);

void BM_WriteFigureLine(benchmark::State& state) {
    const auto& lines = figure_lines();
    std::vector<COBJECTA> records(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) records[i].ReadFigureLine(lines[i].c_str());
    for (auto _ : state) {
        for (COBJECTA& record : records) {
            kz::foundation::EString out;
            kz::scene::append_figure_fields(out, record, '\t');
            benchmark::DoNotOptimize(out.length());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
}
BENCHMARK(BM_WriteFigureLine)->Unit(benchmark::kMillisecond);

}  // namespace
