// The figure record: column access, display-mode flags, forward travel, camera column and deep copies.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "support/all_near.h"

namespace kz::scene {
namespace {

TEST(FigureRecord, ColumnClassesAndWhichColumnsAreWritable) {
    struct Case {
        int column, get_class, set_class;
    };
    const Case cases[] = {
        {0, 0, 0},    {1, 1, 1},  {12, 1, 1}, {13, 2, 0}, {17, 2, 0}, {20, 2, 0}, {21, 16, 16}, {22, 4, 4}, {27, 4, 4},
        {28, 32, 32}, {29, 0, 0}, {30, 0, 0}, {40, 0, 0}, {41, 1, 1}, {42, 0, 0}, {-1, 0, 0},   {99, 0, 0},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        r.w = 7;
        double out = -123;
        EXPECT_EQ(r.GetFieldByColumn(c.column, &out), c.get_class) << c.column;
        if (c.get_class == 0) {
            EXPECT_EQ(out, -123) << "column " << c.column << " must leave the output alone";
        }
        EXPECT_EQ(r.SetFieldByColumn(c.column, 55), c.set_class) << c.column;
        if (c.set_class) {
            EXPECT_EQ(r.GetFieldByColumn(c.column, &out), c.get_class);
            if (c.column != 41) {
                EXPECT_EQ(out, 55) << c.column;
            }
        }
    }
    COBJECTA r;
    r.w = 7;
    double out = 0;
    EXPECT_EQ(r.GetFieldByColumn(13, &out), 2);
    EXPECT_EQ(out, 7);
    EXPECT_EQ(r.SetFieldByColumn(13, 99), 0);
    EXPECT_EQ(r.w, 7);
}

TEST(FigureRecord, DisplayModeDecoding) {
    struct Case {
        double dispmode;
        int sides, style, digit;
    };
    const Case cases[] = {
        {3.5, 2, 2, 5}, {4, 1, 1, 0},   {6, 1, 3, 0},   {-1, 0, 0, 0},    {0, 1, 1, 0},
        {1, 2, 1, 0},   {2.9, 1, 2, 9}, {7.3, 2, 3, 3}, {1e300, 2, 3, 9},  // saturated: all bits
    };
    for (const Case& c : cases) {
        COBJECTA r;
        EXPECT_EQ(r.SetFieldByColumn(21, c.dispmode), 16);
        EXPECT_EQ(std::tuple(r.sides, r.draw_style, r.line_width_digit), std::tuple(c.sides, c.style, c.digit))
            << c.dispmode;
    }
    COBJECTA r;
    r.SetFieldByColumn(21, 6.2);
    r.EncodeDisplayMode();
    EXPECT_DOUBLE_EQ(r.dispmode, 0.2) << "draw style 3 is written without its bits";
    r.line_width_digit = 12;
    r.sides = 2;
    r.draw_style = 2;
    r.EncodeDisplayMode();
    EXPECT_EQ(r.line_width_digit, 9);
    EXPECT_DOUBLE_EQ(r.dispmode, 3.9);
}

TEST(FigureRecord, PackedColourTruncatesAndMasksEachChannel) {
    COBJECTA r;
    r.SetFieldByColumn(22, 300);
    r.SetFieldByColumn(23, 1.9);
    r.SetFieldByColumn(24, 255);
    EXPECT_EQ(r.packed_color, 44u | 1u << 8 | 255u << 16);
    r.SetFieldByColumn(22, 1e200);  // no undefined conversion: the largest int, masked
    EXPECT_EQ(r.packed_color & 255u, 255u);
    r.SetFieldByColumn(22, std::nan(""));
    EXPECT_EQ(r.packed_color & 255u, 0u);
}

TEST(FigureRecord, ForwardTravelFollowsTheHeading) {
    struct Case {
        double rx, rz, v;
        double ddx, ddy, ddz;
    };
    const Case cases[] = {
        {0, 0, 10, 0, -10, 0},
        {0, 90, 10, 10, 0, 0},
        {90, 0, 5, 0, 0, 5},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        r.rx = c.rx;
        r.rz = c.rz;
        EXPECT_EQ(r.SetFieldByColumn(41, c.v), 1);
        EXPECT_TRUE(kz::test::all_near({r.dx, r.dy, r.dz}, {c.ddx, c.ddy, c.ddz}, 1e-9));
        EXPECT_EQ(r.fw, c.v);
        r.SetFieldByColumn(41, c.v);  // the same value again moves nothing
        EXPECT_NEAR(r.dy, c.ddy, 1e-9);
    }
}

TEST(FigureRecord, CameraColumn) {
    struct Case {
        const char* text;
        double value_before;
        int number;
        double value;
        const char* written;
    };
    const Case cases[] = {
        {"3;2.5", 0, 3, 2.5, "3;2.5"},      {"5", 7, 5, 7, "5;7"}, {"", 0, 0, 0, "0"}, {"1;-4", 0, 1, -4, "1"},
        {";0.125", 0, 0, 0.125, "0;0.125"},
    };
    for (const Case& c : cases) {
        COBJECTA r;
        r.camera_value = c.value_before;
        r.ParseCamera(c.text);
        EXPECT_EQ(std::tuple(r.camera_number, r.camera_value), std::tuple(c.number, c.value)) << c.text;
        char buffer[kCameraTextSize];
        EXPECT_STREQ(r.FormatCamera(buffer), c.written);
    }
}

TEST(FigureRecord, CopiesOwnTheirTextsAndPasteEntries) {
    COBJECTA source;
    source.kind = kKindBox;
    source.name = foundation::set_heap_string(nullptr, "door", nullptr, -1);
    source.ParsePasteList("A;1000;[text=a];1|C;2000;;;;0;0;255|");
    ASSERT_EQ(source.paste_count, 2);
    {
        COBJECTA copy(&source);
        EXPECT_EQ(copy.paste_count, 2);
        EXPECT_NE(copy.name, source.name);
        EXPECT_NE(copy.paste_entries, source.paste_entries);
        EXPECT_NE(copy.paste_entries[0].source, source.paste_entries[0].source);
        EXPECT_NE(copy.paste_entries[1].from_codes, source.paste_entries[1].from_codes);
        copy.Clear();
        EXPECT_EQ(std::tuple(copy.kind, copy.paste_count), std::tuple(0, 0));
    }
    ASSERT_EQ(source.paste_count, 2);
    EXPECT_STREQ(source.paste_entries[0].source, "[text=a]");
    EXPECT_EQ(source.paste_entries[1].to_codes[0], 2000);
    EXPECT_STREQ(source.name, "door");
    EXPECT_EQ(source.CopyFrom(nullptr), 0);
    EXPECT_STREQ(source.name, "door");
    EXPECT_EQ(source.CopyFrom(&source), 1);
    EXPECT_STREQ(source.name, "door");
}

TEST(FigureRecord, RemovePasteEntryShiftsTheRest) {
    COBJECTA r;
    r.kind = kKindBox;
    r.ParsePasteList("A;1000;[text=a]|A;2000;[text=b]|A;3000;[text=c]|");
    ASSERT_EQ(r.paste_count, 3);
    EXPECT_EQ(r.RemovePasteEntry(3), 0);
    EXPECT_EQ(r.RemovePasteEntry(-1), 0);
    EXPECT_EQ(r.RemovePasteEntry(1), 1);
    ASSERT_EQ(r.paste_count, 2);
    EXPECT_STREQ(r.paste_entries[0].source, "[text=a]");
    EXPECT_STREQ(r.paste_entries[1].source, "[text=c]");
    EXPECT_EQ(r.RemovePasteEntry(0), 1);
    EXPECT_EQ(r.RemovePasteEntry(0), 1);
    EXPECT_EQ(r.paste_count, 0);
}

}  // namespace
}  // namespace kz::scene
