// Deterministic hostile input for every reader of the figure line: mutated and random lines, unbalanced quotes,
// binary bytes and lines of a megabyte. Nothing may fault, and what is written from a read reads back the same.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/foundation/estring.h"
#include "app/scene/action_list.h"
#include "app/scene/figure_record.h"
#include "app/scene/figure_text.h"
#include "app/scene/fix_flags.h"
#include "record_generator.h"
#include "recording_view_services.h"

namespace kz::scene {
namespace {

std::string write_line(COBJECTA& record) {
    foundation::EString out;
    append_figure_fields(out, record, ',');
    return out.text();
}

// Reads the line through every reader; the record read from it writes a line that reads back to the same line.
void exercise(const std::string& line, test::RecordingViewServices& view) {
    COBJECTA r(nullptr, &view);
    r.ReadFigureLine(line.c_str());
    const std::string w1 = write_line(r);
    COBJECTA again(nullptr, &view);
    again.ReadFigureLine(w1.c_str());
    const std::string w2 = write_line(again);
    EXPECT_EQ(w2, w1) << "input: " << line.substr(0, 200);

    COBJECTA other(nullptr, &view);
    other.ReadPoseLine(line.c_str());
    other.ReadStageLine(line.c_str());
    other.kind = kKindBox;
    other.ParsePasteList(line.c_str());
    other.WritePasteList();
    other.SetFieldByKeyword("paste", line.c_str());
    other.kind = kKindTrunk;
    other.SetFieldByKeyword("paste", line.c_str());
    other.ParseCamera(line.c_str());
    std::int32_t locks[kChangeLockCount];
    std::int32_t fix_kind = 0;
    parse_fix_flags(line.c_str(), locks, &fix_kind);
    std::int32_t summary[4];
    parse_action_list(line.c_str(), &summary[0], &summary[1], &summary[2], &summary[3]);
    parse_action_link(line.c_str(), 0, static_cast<int>(line.size()), nullptr, nullptr);
    motion_target_index(line.c_str());
}

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
    char any_byte() { return static_cast<char>(uniform(1, 255)); }
    char syntax_byte() {
        static constexpr char kBytes[] = "\t,;|=\"[]<>-.dD#\\\r\n \x83\x7C\x5C\x81\xFF";
        return kBytes[uniform(0, static_cast<int>(sizeof kBytes) - 2)];
    }

    std::string mutate(std::string line) {
        switch (uniform(0, 5)) {
        case 0: line.resize(uniform(0, static_cast<int>(line.size()))); break;  // truncated
        case 1:
            for (int n = uniform(1, 8); n > 0 && !line.empty(); --n)
                line[uniform(0, static_cast<int>(line.size()) - 1)] = any_byte();
            break;
        case 2:
            for (int n = uniform(1, 8); n > 0; --n)
                line.insert(line.begin() + uniform(0, static_cast<int>(line.size())), syntax_byte());
            break;
        case 3: {
            std::string random(uniform(0, 400), 'x');
            for (char& c : random) c = any_byte();
            return random;
        }
        case 4: {
            std::string keyword = "box";
            static constexpr const char* kKeys[] = {"dx",     "name",  "paste",  "fix",     "dtop",
                                                    "wtop",   "color", "camera", "thick",   "shadow",
                                                    "action", "trans", "object", "dispmode"};
            for (int n = uniform(1, 6); n > 0; --n) {
                keyword += uniform(0, 1) ? ',' : '\t';
                keyword += kKeys[uniform(0, 13)];
                keyword += '=';
                for (int k = uniform(0, 12); k > 0; --k) keyword += uniform(0, 2) ? syntax_byte() : any_byte();
            }
            return keyword;
        }
        default:
            for (int n = uniform(1, 4); n > 0; --n)
                line.insert(line.begin() + uniform(0, static_cast<int>(line.size())), '"');
            break;
        }
        return line;
    }

private:
    std::mt19937 random_;
};

TEST(FigureMalformedInput, ThousandsOfMutatedLines) {
    test::RecordingViewServices view;
    test::RecordGenerator generator(77, &view);
    Mutator mutator(4242);
    constexpr int kKinds[] = {1, 2, 5, 7, 11, 21, 22, 23};
    std::vector<std::string> seeds = {
        "box,1,2,3",       "trunk,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,p,,R;;a.fig|#type;x|",
        "pose,open,1,2,3", "ball,dx=5,name=\"a,b\"",
        "\"box,1",         "box,1e400,-1e400,nan,inf,0x1p3,1e200",
    };
    for (int i = 0; i < 40; ++i) {
        COBJECTA r(nullptr, &view);
        generator.make_canonical(r, kKinds[i % 8]);
        seeds.push_back(write_line(r));
    }
    for (int i = 0; i < 5000; ++i) exercise(mutator.mutate(seeds[i % seeds.size()]), view);
}

TEST(FigureMalformedInput, MegabyteLines) {
    test::RecordingViewServices view;
    Mutator mutator(99);
    constexpr std::size_t kMegabyte = 1 << 20;
    std::vector<std::string> lines;
    lines.push_back("box" + std::string(28, ',') + std::string(kMegabyte, 'n'));  // a megabyte name
    std::string random(kMegabyte, 'x');
    for (char& c : random) c = mutator.any_byte();
    lines.push_back(random);
    std::string paste = "box" + std::string(31, ',');
    while (paste.size() < kMegabyte) paste += "A;1;x.png|";
    lines.push_back(paste);
    lines.push_back("box,1,\"" + std::string(kMegabyte, ','));
    lines.push_back(std::string(kMegabyte, ','));
    std::string keyword = "box";
    while (keyword.size() < kMegabyte) keyword += ",dx=1";
    lines.push_back(keyword);
    lines.push_back("box" + std::string(16, ',') + std::string(kMegabyte, ';'));
    lines.push_back("box," + std::string(kMegabyte, '9'));
    std::string wide = "box" + std::string(29, ',');
    while (wide.size() < kMegabyte) wide += "\x83\x7C\x95\x5C";
    lines.push_back(wide);
    lines.push_back("trunk" + std::string(31, ',') + std::string(kMegabyte, '|'));
    lines.push_back("box" + std::string(35, ',') + "H;[" + std::string(kMegabyte, 'w'));
    for (const std::string& line : lines) exercise(line, view);
}

}  // namespace
}  // namespace kz::scene
