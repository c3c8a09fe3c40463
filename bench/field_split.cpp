// Splitting a 50 MB figure-like text (TAB and comma separated, quoted names, Shift_JIS words) into fields with the
// field tokenizer, against a plain byte scan for the same two separators over the same text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "app/foundation/field_tokenizer.h"

namespace {

// Lines shaped like figure records: a kind word, numbers with decimals, comma lists, a quoted name holding a
// separator, Japanese names whose trail bytes include 0x5C and 0x7C.
const std::string& figure_text() {
    static const std::string text = [] {
        const char* kinds[] = {"box", "ball", "cylinder", "poly", "trunk"};
        const char* names[] = {"\x95\x5C\x8E\xA6\x94\xC2", "\x83\x5C\x83\x74\x83\x40", "\x83\x7C\x83\x93\x83\x76",
                               "\"desk, left\"", "wall_01"};
        std::mt19937 rng(42);
        std::uniform_int_distribution<int> pick(0, 4), whole(-50000, 50000), frac(0, 99);
        std::string t;
        t.reserve(50u << 20);
        char number[32];
        while (t.size() < (50u << 20)) {
            t += kinds[pick(rng)];
            for (int i = 0; i < 12; ++i) {
                std::snprintf(number, sizeof number, "%c%d.%d", i % 3 == 0 ? '\t' : ',', whole(rng), frac(rng));
                t += number;
            }
            t += '\t';
            t += names[pick(rng)];
            t += "\t[img=wood.bmp:1000:2000]\t255,128,0\t0.5\t\r\n";
        }
        return t;
    }();
    return text;
}

void BM_TokenizerFields(benchmark::State& state) {
    const std::string& text = figure_text();
    kz::foundation::FieldSeparators seps{"\t", ","};
    for (auto _ : state) {
        long long fields = 0, bytes = 0;
        int pos = 0, len = 0;
        while (pos >= 0) {
            int next = kz::foundation::get_field(text.c_str(), pos, len, seps);
            bytes += len;
            ++fields;
            pos = next;
        }
        benchmark::DoNotOptimize(fields);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<long long>(state.iterations()) * static_cast<long long>(text.size()));
}

void BM_PlainByteScan(benchmark::State& state) {
    const std::string& text = figure_text();
    for (auto _ : state) {
        long long fields = 0, bytes = 0;
        const char* t = text.c_str();
        int start = 0;
        for (int i = 0; t[i] != 0; ++i) {
            if (t[i] == '\t' || t[i] == ',') {
                bytes += i - start;
                ++fields;
                start = i + 1;
            }
        }
        benchmark::DoNotOptimize(fields);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<long long>(state.iterations()) * static_cast<long long>(text.size()));
}

}  // namespace

BENCHMARK(BM_TokenizerFields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainByteScan)->Unit(benchmark::kMillisecond);
