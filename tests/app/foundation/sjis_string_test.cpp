// Shift_JIS comparisons and searches (no trail byte is folded or matched), heap-text ownership, vector helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/foundation/small_vector_math.h"

using namespace kz::foundation;

namespace {
int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }
}  // namespace

TEST(SjisString, ComparisonsFoldOnlyAsciiLetters) {
    const char* a_kata = "\x83\x41";   // ア
    const char* di_kata = "\x83\x61";  // ヂ
    struct Case {
        const char* a;
        const char* b;
        int nocase;  // sign of compare_nocase
    } cases[] = {{"Trunk", "trunk", 0}, {a_kata, di_kata, -1}, {di_kata, a_kata, 1}, {"x\x83\x41", "X\x83\x61", -1},
                 {"abc", "abd", -1},    {"ab", "abc", -1},     {"B", "a", 1},        {"", "", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compare_nocase(c.a, c.b)), c.nocase) << c.a << " / " << c.b;
        EXPECT_EQ(sign(compare_prefix_nocase(c.a, c.b, 64)), c.nocase) << c.a << " / " << c.b;
    }
    EXPECT_EQ(compare_nocase(nullptr, "a"), -1);
    EXPECT_EQ(compare_prefix_nocase("a", nullptr, 3), -1);
    EXPECT_EQ(compare_prefix_nocase("POSE1x", "pose1y", 5), 0);
    EXPECT_NE(compare_prefix_nocase("\x83\x41z", "\x83\x61z", 2), 0);
    EXPECT_EQ(compare_strings("a", "b"), -1);
    EXPECT_EQ(compare_strings("\xE0", "a"), 1);  // bytes compare unsigned
    EXPECT_EQ(compare_strings("a", nullptr), -1);

    EXPECT_EQ(std::tuple(compare_before_colon("pose1:2", "POSE1"), compare_before_colon("pose1:2", "pose2:2"),
                         compare_before_colon("", ""), compare_before_colon("", "a"), compare_before_colon("a", "")),
              std::tuple(0, -1, 0, -1, 1));
}

TEST(SjisString, SearchesStartOnlyAtCharacters) {
    EXPECT_EQ(find_substring(0, "\x83\x5C", "\\"), -1);  // ソ's trail byte is no backslash
    EXPECT_EQ(find_substring(0, "\x83\x5C\\", "\\"), 2);
    EXPECT_EQ(find_substring(1, "\x83\x5C\\a\\", "\\"), 2);  // a start on a trail byte moves on
    EXPECT_EQ(find_substring(3, "ab\\cd\\", "\\"), 5);
    EXPECT_EQ(find_substring(6, "ab\\cd\\", "\\"), -1);
    EXPECT_EQ(find_substring(-1, "abc", "a"), -1);
    EXPECT_EQ(find_substring(0, "abc", ""), -1);
    EXPECT_EQ(find_substring(0, "abcabd", "abd"), 3);

    EXPECT_EQ(find_char_nocase(0, "\x83\x61xA", 'a'), 3);  // ヂ's trail byte is no 'a'
    EXPECT_EQ(find_char_nocase(0, "xyz", 'Z'), 2);
    EXPECT_EQ(find_char_nocase(0, "xyz", 'q'), -1);

    struct Case {
        const char* label;
        int want;
    } columns[] = {{"c", 2}, {"AB", 27}, {"AA", 26}, {"AN", 39}, {"12", 12}, {"z9", 25}};
    for (const auto& c : columns) EXPECT_EQ(column_letters_to_index(c.label), c.want) << c.label;
}

TEST(SjisString, BoundedCopies) {
    char buf[8];
    EXPECT_EQ(copy_string_bounded(buf, "abcdefghij", sizeof buf), 1);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(copy_string_bounded(nullptr, "a", 4), 0);
    EXPECT_EQ(copy_text_block(buf, "abcdefghij", 4), 1);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(copy_text_block(buf, "ab", 8), 1);  // a short text is not read past its end
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(copy_text_block(buf, "", 8), 0);
    EXPECT_STREQ(buf, "");
}

TEST(HeapText, SetterCasesAndSelfReferences) {
    char* t = set_heap_string(nullptr, "abc", nullptr, -1);
    EXPECT_STREQ(t, "abc");
    t = set_heap_string(t, t, "def", -1);
    EXPECT_STREQ(t, "abcdef");
    t = set_heap_string(t, t + 2, nullptr, -1);  // a source inside the old block
    EXPECT_STREQ(t, "cdef");
    t = set_heap_string(t, "x", t + 1, -1);  // an appended text inside the old block
    EXPECT_STREQ(t, "xdef");
    t = set_heap_string(t, nullptr, nullptr, 4);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::memcmp(t, "\0\0\0\0", 4), 0);
    t = set_heap_string(t, nullptr, nullptr, -1);
    EXPECT_EQ(t, nullptr);

    t = heap_substring(nullptr, "hello world", 6, -1);
    EXPECT_STREQ(t, "world");
    t = heap_substring(t, t, 1, 3);  // the source is the old block itself
    EXPECT_STREQ(t, "orl");
    t = heap_substring(t, t, 1, 99);
    EXPECT_STREQ(t, "rl");
    for (int start : {-1, 2, 5}) {
        t = heap_substring(t, "ab", start, 1);
        EXPECT_STREQ(t, "") << start;
    }
    t = heap_substring(t, nullptr, 0, 3);
    EXPECT_STREQ(t, "");
    t = free_and_null(t);
    EXPECT_EQ(t, nullptr);

    char out[8];
    right_chars("abcdef", 3, out);
    EXPECT_STREQ(out, "def");
    right_chars("ab", 3, out);
    EXPECT_STREQ(out, "");
    void* z = alloc_zeroed(16);
    EXPECT_EQ(static_cast<unsigned char*>(z)[15], 0);
    free_and_null(z);
}

TEST(SmallVectorMath, HandValues) {
    double ux, uy, len, ang;
    EXPECT_DOUBLE_EQ(vec2_normalize(3, 4, &ux, &uy, &len, &ang), 5.0);
    EXPECT_DOUBLE_EQ(ux, 0.6);
    EXPECT_DOUBLE_EQ(ang, std::atan2(4.0, 3.0) * 180.0 / M_PI);
    vec2_normalize(1e-6, 0, &ux, &uy, &len, &ang);
    EXPECT_EQ(ux, 0.0);

    double v[3] = {0, 3, 4}, u[3];
    vec3_normalize(v, u, &len);
    EXPECT_DOUBLE_EQ(len, 5.0);
    EXPECT_DOUBLE_EQ(u[2], 0.8);
    double tiny[3] = {1e-13, 0, 0};
    vec3_normalize(tiny, u, &len);
    EXPECT_EQ(len, 0.0);
    EXPECT_EQ(u[0], 0.0);

    double p[3] = {5, 3, 0}, la[3] = {0, 0, 0}, lb[3] = {10, 0, 0};
    EXPECT_DOUBLE_EQ(point_line_distance(p, la, lb), 3.0);
    EXPECT_EQ(point_line_distance(p, la, la), 0.0);
    EXPECT_EQ(std::tuple(side_of_line(5, 1, 0, 0, 10, 0, 0.5), side_of_line(5, -1, 0, 0, 10, 0, 0.5),
                         side_of_line(5, 0.4, 0, 0, 10, 0, 0.5), side_of_line(5, 1, 3, 3, 3, 3, 0.5)),
              std::tuple(2, 1, 0, 1));

    const int square[8] = {0, 0, 10, 0, 10, 10, 0, 10};
    const int closed[10] = {0, 0, 10, 0, 10, 10, 0, 10, 0, 0};
    const int centre[2] = {5, 5}, outside[2] = {20, 5};
    const int l_shape[12] = {0, 0, 10, 0, 10, 4, 4, 4, 4, 10, 0, 10};
    const int notch[2] = {7, 7}, arm[2] = {2, 8};
    EXPECT_EQ(std::tuple(point_in_polygon(centre, square, 4), point_in_polygon(outside, square, 4),
                         point_in_polygon(centre, closed, 5), point_in_polygon(notch, l_shape, 6),
                         point_in_polygon(arm, l_shape, 6)),
              std::tuple(1, 0, 1, 0, 1));
}
