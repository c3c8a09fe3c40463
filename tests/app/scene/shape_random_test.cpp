// Thousands of generated records per shape kind, with extreme and degenerate values in every column a builder
// reads and polygon texts of every shape, built one after the other: no crash, no hang, no sanitizer report.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "app/foundation/heap_text.h"
#include "bridged_view.h"

namespace kz::scene {
namespace {

constexpr int kRecordsPerKind = 2000;

class Values {
public:
    explicit Values(std::uint32_t seed) : random_(seed) {}
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }
    // Mostly ordinary sizes; now and then zero, a sign, a tiny, huge or non-finite value.
    std::string number(double ordinary_max) {
        static const char* const kExtremes[] = {"0",      "-1",  "1e-12", "-1e-12", "1e9", "-1e9", "1e300",
                                                "-1e300", "nan", "inf",   "-inf",   "0.5", "2",    "-0.0001"};
        if (chance(12)) return kExtremes[uniform(0, 13)];
        char text[64];
        std::snprintf(text, sizeof text, "%.6g",
                      std::uniform_real_distribution<double>(-ordinary_max * 0.2, ordinary_max)(random_));
        return text;
    }
    std::string divisions() {
        static const char* const kOdd[] = {"0", "2", "3", "144", "145", "1440", "3000", "1e9", "-5", "nan", "2.5"};
        if (chance(4)) return kOdd[uniform(0, 10)];
        return std::to_string(uniform(3, 24));
    }
    std::string points(int per_point, int most) {
        std::string text;
        const int count = chance(5) ? uniform(0, 2) : uniform(3, most);
        for (int i = 0; i < count * per_point; ++i)
            text += (chance(3) ? number(200) : std::to_string(uniform(-100, 100))) + ";";
        if (chance(10)) text += "|" + number(1) + ";" + number(1) + ";0;";
        if (chance(10)) text += "|||2;|0;0;1;0;0;1|" + number(50) + ";1;2;" + number(50) + ";";
        return text;
    }

private:
    std::mt19937 random_;
};

std::string round_line(Values& v, const char* kind) {
    std::string line = kind;
    for (const char* key : {"w", "d", "h", "wtop"}) line += std::string(",") + key + "=" + v.number(300);
    line += ",dtop=" + v.number(400) + ";" + v.number(400) + ";" + v.number(200) + ";" + v.number(200);
    line += ",div=" + v.divisions();
    line += ",domebtm=" + v.number(2) + ",dometop=" + v.number(2) + ",dispmode=" + std::to_string(v.uniform(0, 3));
    if (v.chance(40)) line += ",thick=" + v.number(60) + ";" + v.number(60);
    return line;
}

std::string polygon_line(Values& v, const char* kind, int per_point) {
    std::string line = std::string(kind) + ",h=" + v.number(200) + ",dtop=" + v.number(4) + ",wtop=" + v.number(3) +
                       ",div=" + v.divisions() + ",domebtm=" + v.number(30) + ",dometop=" + v.number(30) +
                       ",dispmode=" + std::to_string(v.uniform(0, 3));
    if (v.chance(30)) line += ",thick=" + v.number(20);
    if (v.chance(20)) line += ",dtop=" + v.number(400) + ";" + v.number(400);
    return line + ",poldat=" + v.points(per_point, 40);
}

TEST(ShapeRandom, GeneratedRecordsOfEveryKindBuild) {
    const struct {
        const char* kind;
        int per_point;  // 0: a round shape
    } kinds[] = {{"ball", 0}, {"hankyuu", 0}, {"sui", 0},   {"cylinder", 0}, {"magari", 0},
                 {"poly", 2}, {"hpoly", 2},   {"zpoly", 3}, {"d3poly", 3},   {"kaiten", 2}};
    std::uint32_t seed = 18;
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        Values v(seed++);
        test::BridgedView view(false);
        XTrunk* root = view.add_trunk("root");
        XLeaves* shape = root->parts[root->AddLeaves()];
        long faces = 0;
        for (int i = 0; i < kRecordsPerKind; ++i) {
            std::string line;
            if (std::string(k.kind) == "magari") {
                line = round_line(v, "cylinder") + ",poldat=magari;" + v.number(800) + ";" + v.number(400) + ";" +
                       (v.chance(5) ? v.number(1e6) : std::to_string(v.uniform(-2, 40)));
            } else {
                line = k.per_point ? polygon_line(v, k.kind, k.per_point) : round_line(v, k.kind);
            }
            SCOPED_TRACE(line);
            shape->record->Clear();
            shape->record->ReadFigureLine(line.c_str());
            shape->Build(nullptr);
            faces += shape->face_count();
            // The record still writes back after its build.
            char* written = shape->WriteLine(nullptr, ',');
            ASSERT_NE(written, nullptr);
            kz::foundation::free_and_null(written);
        }
        EXPECT_GT(faces, kRecordsPerKind);
    }
}

}  // namespace
}  // namespace kz::scene
