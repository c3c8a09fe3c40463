// Reading figure lines: forms, the kind classifier, keyword rules and the special columns and lines.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/foundation/estring.h"
#include "app/scene/figure_record.h"
#include "app/scene/figure_text.h"
#include "app/scene/fix_flags.h"
#include "recording_view_services.h"

namespace kz::scene {
namespace {

std::string write_fields(COBJECTA& r, char separator = ',') {
    foundation::EString out;
    append_figure_fields(out, r, separator);
    return out.text();
}

// A record's text field, null told apart from empty.
std::string text(const char* field) { return field ? field : "<null>"; }

TEST(FigureLine, ClassifierOrder) {
    struct Case {
        const char* word;
        int kind, result;
    };
    const Case cases[] = {
        {"ball", 3, 1},  {"bar", 3, 1},     {"BOX", 2, 1},    {"cylinder", 6, 1}, {"d3poly", 10, 1},  {"hpoly", 8, 1},
        {"house", 4, 1}, {"kaiten", 11, 1}, {"pose2", 22, 1}, {"POSE", 22, 1},    {"poser", 7, 1},    {"putref", 21, 1},
        {"poly", 7, 1},  {"refer", 1, 1},   {"trunk", 1, 1},  {"stage", 23, 1},   {"Stage2", 23, 1},  {"st", 5, 1},
        {"sui", 5, 1},   {"zpoly", 9, 1},   {"q", 2, 0},      {"", 2, 0},         {"\x83\x7C", 2, 0},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        EXPECT_EQ(r.ClassifyObjectKind(c.word), c.result) << c.word;
        EXPECT_EQ(r.kind, c.kind) << c.word;
    }
}

TEST(FigureLine, FormIsChosenBeforeTheSecondSeparator) {
    struct Case {
        const char* line;
        int kind;
        double dx;
        std::uint32_t color;
        double dispmode;
        int sides;
    };
    const Case cases[] = {
        {"box,100,0,0", 2, 100, 0, 0, 1}, {"box,dx=100", 2, 100, 0xFFFFFF, 1, 2},       {"  \tbox\t1", 2, 1, 0, 0, 1},
        {"box,1,a=b", 2, 1, 0, 0, 1},     {"ball\tdx=5\tred=10", 3, 5, 0xFFFF0A, 1, 2}, {"", 0, 0, 0, 0, 0},
        {" \t ", 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        r.ReadFigureLine(c.line);
        EXPECT_EQ(std::tuple(r.kind, r.dx, r.packed_color, r.dispmode, r.sides),
                  std::tuple(c.kind, c.dx, c.color, c.dispmode, c.sides))
            << c.line;
    }
}

TEST(FigureLine, KeywordTable) {
    struct Case {
        const char* key;
        const char* value;
        int column;
        double (*field)(const COBJECTA&);
        double expected;
    };
    const Case cases[] = {
        {"DX", "3", 1, [](const COBJECTA& r) { return r.dx; }, 3},
        {"orz", "4", 12, [](const COBJECTA& r) { return r.orz; }, 4},
        {"h", "5", 15, [](const COBJECTA& r) { return r.h; }, 5},
        {"wtop", "1;2;3", 16, [](const COBJECTA& r) { return r.wtop + r.wtop_items[0]; }, 1},
        {"dtop", "d5;1;2;3", 17, [](const COBJECTA& r) { return r.dtop + 10 * r.dtop_first_flag; }, 0},
        {"dtop", "5;1;d2;3", 17, [](const COBJECTA& r) { return r.dtop_items[1] + 10 * r.dtop_third_flag; }, 0},
        {"dtop", "5;1;2;3", 17, [](const COBJECTA& r) { return r.dtop + r.dtop_items[2]; }, 8},
        {"btmangle", "30", 56, [](const COBJECTA& r) { return r.btmangle; }, 30},
        {"topangle", "40", 55, [](const COBJECTA& r) { return r.topangle; }, 40},
        {"transparency", "0.5", 28, [](const COBJECTA& r) { return r.trans; }, 0.5},
        {"Trans", "0.25", 28, [](const COBJECTA& r) { return r.trans; }, 0.25},
        {"green", "300", 23, [](const COBJECTA& r) { return double(r.packed_color); }, 44 << 8},
        {"color", "#FF0000", -1, [](const COBJECTA& r) { return double(r.packed_color) + r.red; }, 0xFF + 255},
        {"color", "0,128,255", -1, [](const COBJECTA& r) { return r.blue + r.green; }, 255 + 128},
        {"camera", "9;1.5", 36, [](const COBJECTA& r) { return r.camera_number + r.camera_value; }, 10.5},
        {"thick", "5", 38, [](const COBJECTA& r) { return r.thick1 + r.thick2 + r.thick_set; }, 11},
        {"shadow", "2;1", 39, [](const COBJECTA& r) { return r.shadow_mode * 10.0 + r.hit_flag; }, 21},
        {"nothing", "1", -1, [](const COBJECTA& r) { return r.dx; }, 0},
        {"dxx", "1", -1, [](const COBJECTA& r) { return r.dx; }, 0},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        EXPECT_EQ(r.SetFieldByKeyword(c.key, c.value), c.column) << c.key << "=" << c.value;
        EXPECT_EQ(c.field(r), c.expected) << c.key << "=" << c.value;
    }
    struct TextCase {
        const char* key;
        int column;
        char* COBJECTA::*field;
    };
    const TextCase texts[] = {
        {"myname", 29, &COBJECTA::name},
        {"me", 29, &COBJECTA::name},
        {"Name", 29, &COBJECTA::name},
        {"ani", 30, &COBJECTA::parent_name},
        {"eldername", 30, &COBJECTA::parent_name},
        {"poldat", 33, &COBJECTA::poldat},
        {"limit", 34, &COBJECTA::limit},
        {"action", 35, &COBJECTA::action},
        {"comment", 37, &COBJECTA::comment},
    };
    for (const TextCase& c : texts) {
        COBJECTA r;
        EXPECT_EQ(r.SetFieldByKeyword(c.key, "v\x83\x7C"), c.column) << c.key;
        EXPECT_STREQ(r.*c.field, "v\x83\x7C") << c.key;
    }
}

TEST(FigureLine, KeywordLineTrimsValuesAndSkipsUnknownKeys) {
    COBJECTA r;
    r.ReadFigureLine("cylinder,name=\" pump \",bogus=1,dz= 7 ,paste=A;1000;pic.png|,dispmode=3.5");
    EXPECT_EQ(std::tuple(r.kind, text(r.name)), std::tuple(kKindCylinder, "pump"));
    EXPECT_EQ(std::tuple(r.dz, r.paste_count, r.sides, r.draw_style, r.line_width_digit), std::tuple(7, 1, 2, 2, 5));
}

TEST(FigureLine, PositionalDtopMarksAndSubItems) {
    COBJECTA r;
    r.ReadFigureLine(
        "box,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,1;2;3;4;5,d5;1;D2;3,6,7;8,9;10,3.5,300,2,3,0.1,0.2,0.3,0.4");
    EXPECT_EQ(std::tuple(r.orz, r.h, r.wtop, r.wtop_items[3], r.dtop_first_flag), std::tuple(12, 15, 1, 5, 1));
    EXPECT_EQ(std::tuple(r.dtop_third_flag, r.dtop, r.dtop_items[0], r.dtop_items[1], r.dtop_items[2]),
              std::tuple(1, 5, 1, 2, 3));
    EXPECT_EQ(std::tuple(r.div, r.domebtm, r.btmangle, r.dometop, r.topangle), std::tuple(6, 7, 8, 9, 10));
    EXPECT_EQ(std::tuple(r.sides, r.draw_style, r.packed_color, r.trans),
              std::tuple(2, 2, 44u | 2u << 8 | 3u << 16, 0.4));
    EXPECT_EQ(r.action_summary[3], 1) << "the action summary is filled on every read";
}

TEST(FigureLine, FixColumn) {
    struct Case {
        const char* text;
        int fix_kind;
        const char* locks;  // locks 1..12
        const char* written;
    };
    const Case cases[] = {
        {"B;1;;0", 1, "101111111111", "B;1;;0;;;;;;;;;;"},
        {"A;1", 0, "111111111111", "A;1;;;;;;;;;;;;"},
        {"A;0;1", 0, "100000000000", "A;0;1;;;;;;;;;;;"},
        {"b;0;;;;;;;;;;;;1", 1, "000000000001", "B;0;;;;;;;;;;;;1"},
        {"", 0, "000000000000", ""},
        {"B", 1, "000000000000", ""},
        {"x;5;0;0;0;0;0", 0, "000001111111", "A;1;0;0;0;0;0;;;;;;;"},
        {"A;0;2;-1;0", 0, "110000000000", "A;0;1;1;;;;;;;;;;"},
        {"A;1;0;0;0;0;0;0", 0, "000000111111", "A;1;0;0;0;0;0;0;;;;;;"},
    };
    for (const Case& c : cases) {
        std::int32_t locks[kChangeLockCount] = {};
        locks[13] = 7;
        std::int32_t fix_kind = -1;
        parse_fix_flags(c.text, locks, &fix_kind);
        EXPECT_EQ(fix_kind, c.fix_kind) << c.text;
        std::string got;
        for (int i = 1; i <= 12; ++i) got += char('0' + locks[i]);
        EXPECT_EQ(got, c.locks) << c.text;
        EXPECT_EQ(locks[13], 7) << "only the twelve placement locks belong to the column";
        char buffer[kFixTextSize];
        EXPECT_STREQ(format_fix_flags(fix_kind, locks, buffer), c.written) << c.text;
    }
}

TEST(FigureLine, ThickAndShadowColumns) {
    struct Case {
        const char* thick;
        const char* shadow;
        int thick_set;
        double thick1, thick2;
        int mode, hit;
        const char* tail;  // the last two fields as written back
    };
    const Case cases[] = {
        {"5", "2;1", 1, 5, 5, 2, 1, "5,2;1"},
        {"5;7", "", 1, 5, 7, 0, 0, "5;7,0;0"},
        {"", "1", 0, 0, 0, 1, 0, ",1;0"},
        {";7", ";1", 1, 0, 7, 0, 1, "0;7,0;1"},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        const std::string line = std::string("box") + std::string(38, ',') + c.thick + "," + c.shadow;
        r.ReadFigureLine(line.c_str());
        EXPECT_EQ(std::tuple(r.thick_set, r.thick1, r.thick2, r.shadow_mode, r.hit_flag),
                  std::tuple(c.thick_set, c.thick1, c.thick2, c.mode, c.hit))
            << line;
        const std::string written = write_fields(r);
        EXPECT_EQ(written.substr(written.size() - std::string(c.tail).size()), c.tail) << written;
    }
    COBJECTA fresh;
    fresh.kind = kKindBox;
    const std::string written = write_fields(fresh);
    EXPECT_EQ(written.substr(written.size() - 4), ",0;0");
}

// A list column is written with its items only when one of them is written as something other than 0 (or keeps a
// mark), so that the written text reads back to the same text: numbers have no exponent, and 1e-300 is written 0.
TEST(FigureLine, ListColumnsAreWrittenAsTheyReadBack) {
    const struct {
        int column;
        const char* text;
        const char* written;
    } rows[] = {
        {16, ";1e-308", "0"},  {16, "1;0;0;0;1e-308", "1"}, {16, "0;0;0;0;2", "0;0;0;0;2"}, {17, "0;0;d0", "0;0;d0;0"},
        {17, "4;1e-300", "4"}, {19, "0;1e-200", "0"},       {20, "3;1e-300", "3"},          {38, "0;1e-300", "0"},
        {38, "1e-300;0", "0"}, {38, "2;1e-300", "2;0"},     {36, "0;1e-300", "0"},          {36, "2;0.5", "2;0.5"},
    };
    for (const auto& row : rows) {
        COBJECTA r;
        r.ReadFigureLine(("box" + std::string(row.column, ',') + row.text).c_str());
        const std::string written = write_fields(r, '\t');
        std::size_t start = 0;
        for (int i = 0; i < row.column; ++i) start = written.find('\t', start) + 1;
        EXPECT_EQ(written.substr(start, written.find('\t', start) - start), row.written) << row.text;
    }
}

TEST(FigureLine, FreshBoxIsWrittenInFull) {
    COBJECTA r;
    r.ReadFigureLine("box");
    std::string zeros;
    for (int i = 0; i < 28; ++i) zeros += "\t0";
    EXPECT_EQ(write_fields(r, '\t'), "box" + zeros + "\t\t\t\t\t\t\t\t0\t\t\t0;0");
    COBJECTA empty;
    EXPECT_EQ(write_fields(empty), "") << "a record of kind 0 writes nothing";
}

TEST(FigureLine, AttributeSegmentOfAPart) {
    test::RecordingViewServices view;
    COBJECTA r(nullptr, &view);
    std::string zeros;
    for (int i = 0; i < 28; ++i) zeros += "0,";
    r.ReadFigureLine(
        ("trunk," + zeros +
         "root,,"
         "R;;\"units\\\x95\\.fig\"|#type;\"pipe, steel\"|#PARTY=acme|#layer;L1|#group;g|#sysf;3|#id;42|#name;nm|"
         "#frmode;m|#other;x|")
            .c_str());
    EXPECT_EQ(std::tuple(r.kind, r.sysf, r.domebtm, r.paste_count), std::tuple(kKindTrunk, 3, 42, 0));
    EXPECT_EQ(std::tuple(text(r.frefer), text(r.type), text(r.party), text(r.layer), text(r.group), text(r.frmode),
                         text(r.name)),
              std::tuple("C:\\unit\\units\\\x95\\.fig", "pipe, steel", "acme", "L1", "g", "m", "nm"));
    ASSERT_FALSE(view.calls.empty());
    EXPECT_EQ(view.calls.back(), "ToAbsolutePath units\\\x95\\.fig");

    // Keyword form: keys with or without "#", and the texts start over.
    r.SetFieldByKeyword("paste", "type;a|#frefer;b.fig|sysf;2|#name;ignored");
    EXPECT_EQ(std::tuple(text(r.type), text(r.party), text(r.frefer), r.sysf, text(r.name)),
              std::tuple("a", "<null>", "C:\\unit\\b.fig", 2, "nm"));
}

TEST(FigureLine, PoseAndStageLines) {
    COBJECTA r;
    r.dz = 99;
    r.ReadPoseLine("open:1,1,2,3,4,5,6");
    EXPECT_EQ(std::tuple(r.kind, text(r.name), r.dx, r.rz), std::tuple(kKindPose, "open:1", 1, 6));
    const std::string long_name(300, 'n');
    r.ReadPoseLine((long_name + "\t7").c_str());
    EXPECT_EQ(std::tuple(text(r.name), r.dx), std::tuple(std::string(255, 'n'), 7));
    // A double-byte character is never cut in half at the limit.
    const std::string wide = std::string(254, 'n') + "\x83\x7C";
    r.ReadPoseLine(wide.c_str());
    EXPECT_EQ(std::string(r.name), std::string(254, 'n'));

    COBJECTA s;
    s.name = foundation::set_heap_string(nullptr, "kept", nullptr, -1);
    s.ReadStageLine("0.5\t2\tdoor\t1\t2\t3\t4\t5\t6");
    EXPECT_EQ(std::tuple(s.kind, s.trans, s.specular, text(s.parent_name), s.ry),
              std::tuple(kKindStage, 0.5, 2, "door", 5));
    EXPECT_STREQ(s.name, "kept") << "stage lines do not clear the record";
}

}  // namespace
}  // namespace kz::scene
