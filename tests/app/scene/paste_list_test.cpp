// The paste column: entry syntax, face codes, kinds from sources, path resolution and the written form.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/scene/figure_record.h"
#include "app/scene/paste_list.h"
#include "recording_view_services.h"

namespace kz::scene {
namespace {

TEST(PasteList, EntriesFromTheColumnAndBack) {
    struct Case {
        const char* text;
        int count, letter;
        std::vector<std::pair<int, int>> ranges;  // of the first entry
        int color, kind;
        std::optional<std::string> written;  // none: not checked
    };
    // A source cut to its longest length just after a line end: the next read would trim the line end away.
    const std::string cut_at_line_end = "A;1;" + std::string(1022, 'a') + "\nb";
    // What an entry's written form ends with when its line gave no more fields.
    const std::string rest = ";0;0;;;;0;0;0;0;0;0;|";
    const Case cases[] = {
        {cut_at_line_end.c_str(), 1, 'A', {{2000, 2000}}, -1, 0, {}},
        {"C;0.1;;;;0;0;255", 1, 'C', {{1000, 1000}, {2000, 2000}}, 0xFF0000, 0, "C;1000.2000;;0;0;0;0;;0;0;0;0;0;0;|"},
        {"r;2000-;[text=a];1.5;-2", 1, 'R', {{2000, 2999}}, -1, 3, "R;2000-;[text=a];1.5;-2;;;;0;0;0;0;0;0;|"},
        {"A;2;[text=x]", 1, 'A', {{5000, 5000}}, -1, 3, "A;5000;[text=x]" + rest},
        {"A;3.4.5.6;[text=x]", 1, 'A', {{4000, 4000}, {6000, 6000}, {3000, 3000}, {6, 6}}, -1, 3, {}},
        {"A;1..;[text=x]", 1, 'A', {{2000, 2000}}, -1, 3, {}},
        {"A;2000-1500.3001-0;[text=x]",
         1,
         'A',
         {{2000, 1500}, {3001, 3999}},
         -1,
         3,
         "A;2000-1500.3001-;[text=x]" + rest},
        {"C;1;;0;0;;;", 1, 'C', {{2000, 2000}}, 0xFFFFFF, 0, "C;2000;" + rest},
        // Red 300 keeps its low byte (44), green -1 is taken as 255.
        {"C;1;;0;0;300;-1;7;1;2;3;4;5;9", 1, 'C', {{2000, 2000}}, 0x07FF2C, 0, "C;2000;;0;0;44;;7;1;2;3;4;5;9;|"},
        {"A;1;x.doc", 0, 0, {}, 0, 0, ""},
        {"B;1;[text=x]", 0, 0, {}, 0, 0, ""},
        {"A", 0, 0, {}, 0, 0, ""},
        {"|A|;|", 0, 0, {}, 0, 0, ""},
        {"A;1;[text=a]|C;2;[text=b]|", 2, 'A', {{2000, 2000}}, -1, 3, {}},
        {"A;1;\"a;b|c\"", 1, 'A', {{2000, 2000}}, -1, 0, "A;2000;\"a;b|c\"" + rest},
        // A one-code range of a face digit stays a range: the bare digit would read back as another face.
        {"A;2-2;[text=x]", 1, 'A', {{2, 2}}, -1, 3, "A;2-2;[text=x]" + rest},
        // Codes beyond the 32-bit range saturate rather than wrap (4294967291 would read as -5).
        {"A;5-4294967291;[text=x]", 1, 'A', {{5, INT32_MAX}}, -1, 3, "A;5-2147483647;[text=x]" + rest},
        {"A;2147483647-;[text=x]", 1, 'A', {{INT32_MAX, INT32_MAX}}, -1, 3, "A;2147483647;[text=x]" + rest},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        r.kind = kKindBox;
        EXPECT_EQ(r.ParsePasteList(c.text), 0);
        ASSERT_EQ(r.paste_count, c.count) << c.text;
        if (c.count) {
            const PasteEntry& e = r.paste_entries[0];
            EXPECT_EQ(e.face_letter, c.letter) << c.text;
            ASSERT_EQ(e.range_count, static_cast<int>(c.ranges.size())) << c.text;
            for (int k = 0; k < e.range_count; ++k)
                EXPECT_EQ(std::tuple(e.from_codes[k], e.to_codes[k]), std::tuple(c.ranges[k].first, c.ranges[k].second))
                    << c.text << " range " << k;
            EXPECT_EQ(std::tuple(e.color, e.kind), std::tuple(c.color, c.kind)) << c.text;
            EXPECT_EQ(e.image_index, -1) << "no view, no image table";
        }
        const std::string written = r.WritePasteList();
        if (c.written) {
            EXPECT_EQ(written, *c.written) << c.text;
        }
        COBJECTA again;
        again.kind = kKindBox;
        again.ParsePasteList(written.c_str());
        EXPECT_EQ(again.WritePasteList(), written) << c.text;
    }
}

TEST(PasteList, KindFromTheSource) {
    // The sources of each kind, for a record of the given kind.
    const struct {
        int record_kind, kind;
        std::vector<const char*> sources;
    } groups[] = {
        {2, 0, {"", "clear", "dir.v2\\clear", "dir.v2/clear"}},
        {2, 4, {"[loadimage=IDB_1]", "<LoadImage=IDB_1>"}},
        {2, 3, {"[text=abc]", "<text=abc>"}},
        {2, 5, {"[lumfont=abc]"}},
        {2, 1, {"plan.MPW", "plan.mpz", "a.jww"}},
        {2, 2, {"photo.JPEG", "photo.png"}},
        {2, -1, {"x.doc", "a.b\x95\\c"}},  // 表 ends in 0x5C, which is no folder separator here
        {kKindRefer, 0, {"x.doc"}},
        {kKindPutref, 0, {"pic.png", "[text=x]"}},
    };
    for (const auto& g : groups)
        for (const char* source : g.sources)
            EXPECT_EQ(paste_kind_of_source(source, g.record_kind), g.kind) << source << " in kind " << g.record_kind;
}

TEST(PasteList, FaceDigitsAndThousands) {
    const int digits[][2] = {{0, 1000}, {1, 2000}, {2, 5000}, {3, 4000},   {4, 6000},
                             {5, 3000}, {6, 6},    {-1, -1},  {1000, 1000}};
    for (const auto& d : digits) EXPECT_EQ(face_code_of_number(d[0]), d[1]) << d[0];
    // No overflow trap at the top of the range.
    EXPECT_EQ(std::tuple(end_of_thousand(2000), end_of_thousand(2999), end_of_thousand(7), end_of_thousand(2147483647)),
              std::tuple(2999, 2999, 999, end_of_thousand(2147483000)));
}

TEST(PasteList, KeepsTheFirstThirtyTwoRanges) {
    std::string ranges;
    for (int i = 0; i < 33; ++i) ranges += (i ? "." : "") + std::to_string(1000 + i);
    COBJECTA r;
    r.kind = kKindBox;
    r.ParsePasteList(("A;" + ranges + ";[text=x]").c_str());
    ASSERT_EQ(r.paste_count, 1);
    EXPECT_EQ(std::tuple(r.paste_entries[0].range_count, r.paste_entries[0].from_codes[31]), std::tuple(32, 1031));
}

TEST(PasteList, PathsAreResolvedForDrawingsAndImagesOnly) {
    test::RecordingViewServices view;
    COBJECTA r(nullptr, &view);
    r.kind = kKindBox;
    r.ParsePasteList("A;1;pic.png|A;2;plan.dxf|A;3;[text=t]|C;4;clear;;;0;0;0|A;5;pic.png|");
    ASSERT_EQ(r.paste_count, 5);
    EXPECT_EQ(std::tuple(std::string(r.paste_entries[0].source), std::string(r.paste_entries[1].source),
                         std::string(r.paste_entries[2].source), std::string(r.paste_entries[3].source)),
              std::tuple("C:\\unit\\pic.png", "C:\\unit\\plan.dxf", "[text=t]", "clear"));
    EXPECT_EQ(
        std::tuple(r.paste_entries[0].image_index, r.paste_entries[3].image_index, r.paste_entries[4].image_index),
        std::tuple(1, 0, 1))
        << "\"clear\" is entry 0 of the image table";
    const std::vector<std::string> resolved = {"ToAbsolutePath pic.png", "ToAbsolutePath plan.dxf",
                                               "ToAbsolutePath pic.png"};
    EXPECT_EQ(view.calls, resolved);

    view.calls.clear();
    const std::string written = r.WritePasteList();
    EXPECT_EQ(written.substr(0, 20), "A;2000;pic.png;0;0;;");
    EXPECT_EQ(written.find("C:\\unit"), std::string::npos);
    for (const std::string& call : view.calls) EXPECT_EQ(call.find("[text="), std::string::npos) << call;
    EXPECT_EQ(view.calls.size(), 4u) << "tags are written as they are, paths through the view";
}

}  // namespace
}  // namespace kz::scene
