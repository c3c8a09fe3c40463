// The library's string and number helpers: rounding, number text, tokens, Shift_JIS-aware substrings and
// the width conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "drawing2d/text_utils.h"
#include "drawing_test_support.h"
#include "platform/window.h"
#include "support/comma_locale.h"

namespace kz::drawing2d {
namespace {

TEST(TextUtils, RoundingSaturatesHalfAwayFromZero) {
    struct Case {
        double v;
        int32_t want;
    } cases[] = {{2.5, 3},
                 {-2.5, -3},
                 {2.4999, 2},
                 {3e9, 2147483647},
                 {-3e9, -2147483647 - 1},
                 {0, 0},
                 {2147483646.6, 2147483647},
                 {-0.4, 0},
                 {std::nan(""), 0}};
    for (const auto& c : cases) EXPECT_EQ(round_to_int32(c.v), c.want) << c.v;
}

TEST(TextUtils, NumberTextIgnoresTheLocale) {
    kz::test::CommaLocale comma;
    KZ_REQUIRE_COMMA_LOCALE(comma);
    struct Case {
        double v;
        int width;
        const char* want;
    } cases[] = {{0.5, 0, " 0.5"}, {0.5, 6, "0000.5"},      {100.0, 0, " 100"},    {-0.25, 0, "-0.25"},
                 {0, 0, " 0"},     {123.456, 1, "123.456"}, {1e-5, 0, " 0.00001"}, {1e20, 0, " 100000000000000000000"},
                 {12345, 3, "345"}};
    char buffer[1024];
    for (const auto& c : cases) EXPECT_STREQ(xlum_str_string(c.v, c.width, buffer), c.want) << c.v;
    EXPECT_NE(std::strchr(xlum_str_string(1e-200, 0, buffer), '.'), nullptr);
}

TEST(TextUtils, TokensWithDelimitersInOrderAndQuotes) {
    struct Case {
        const char* text;
        const char* d1;
        const char* d2;
        int result;
        const char* token;
        const char* rest;
    } cases[] = {
        {"a,b;c", ";", ",", 1, "a,b", "c"},
        {"\"x,y\",z", ",", nullptr, 1, "x,y", "z"},
        {"  abc  ", ",", nullptr, 0, "abc", ""},
        {"\x83\x5c,q", "\\", ",", 1, "\x83\x5c", "q"},  // the trail byte 0x5C is no backslash
        {"k|v", nullptr, nullptr, 0, "k|v", ""},
    };
    for (const auto& c : cases) {
        char text[64], token[64];
        std::strcpy(text, c.text);
        EXPECT_EQ(xlum_input_string(text, token, c.d1, c.d2), c.result) << c.text;
        EXPECT_STREQ(token, c.token);
        EXPECT_STREQ(text, c.rest);
    }
}

TEST(TextUtils, SubstringsAndRepetition) {
    char buffer[1024];
    EXPECT_EQ(xlum_instr(0,
                         "ab\x83\x5c"
                         "cd",
                         "cd"),
              4);
    EXPECT_EQ(xlum_instr(0, "a\x83\x5c", "\\"), -1);  // never inside a double-byte character
    EXPECT_EQ(xlum_instr(2,
                         "\x88\x9f"
                         "ab",
                         "b"),
              3);  // character positions count a kanji once
    EXPECT_EQ(xlum_instr(5, "abc", "c"), -1);
    EXPECT_EQ(xlum_instr(0, "abc", ""), -1);
    EXPECT_STREQ(xlum_mid_string("abcdef", 2, 3, buffer), "cde");
    EXPECT_STREQ(xlum_mid_string("abcdef", 2, -1, buffer), "cdef");
    EXPECT_STREQ(xlum_mid_string("abcdef", 9, 2, buffer), "");
    EXPECT_STREQ(xlum_right_string("abcdef", 2, buffer), "ef");
    EXPECT_STREQ(xlum_right_string("abc", 5, buffer), "");
    char* s = xlum_new_right_string(nullptr, "abc", 5);
    EXPECT_STREQ(s, "");
    s = xlum_new_mid_string(s, "hello", 1, 3);
    EXPECT_STREQ(s, "ell");
    s = xlum_new_mid_string(s, s, 1, 1);  // from itself
    EXPECT_STREQ(s, "l");
    s = xlum_new_string_string(s, 3, "ab");
    EXPECT_STREQ(s, "ababab");
    s = xlum_new_string_string(s, -2, nullptr);
    EXPECT_STREQ(s, "");
    EXPECT_STREQ(xlum_string_string(3, nullptr, buffer), "   ");
    EXPECT_STREQ(xlum_string_string(1000, "abc", buffer, 10), "abcabcabc");
    s = string_assign(s, "x", "yz", 0);
    EXPECT_STREQ(s, "xyz");
    s = string_assign(s, s, "!", 0);
    EXPECT_STREQ(s, "xyz!");
    EXPECT_EQ(string_assign(s, nullptr, nullptr, 0), nullptr);
    char target[4096];
    EXPECT_STREQ(copy_substring("abcdef", target, 2, 3), "cde");
    EXPECT_STREQ(copy_substring("abcdef", target, -1, 2), "ab");
    EXPECT_STREQ(copy_substring("abcdef", target, 10, 2), "");
}

TEST(TextUtils, WidthConversionsAndClasses) {
    char buffer[1024];
    EXPECT_EQ(to_full_width("A1\x88\x9f\x01", buffer), 6);
    EXPECT_STREQ(buffer, "\x82\x60\x82\x50\x88\x9f");
    EXPECT_EQ(to_full_width("ab\x88", buffer), 4);  // a lead byte at the end stops the copy
    EXPECT_EQ(to_half_width("\x82\x60\x88\x9f"
                            "c\x7f",
                            buffer),
              3);
    EXPECT_STREQ(buffer, "A.c");
    char small[5];
    EXPECT_EQ(to_full_width("abcdef", small, sizeof small), 4);
    char* s = xlum_new_akcnv_string(nullptr, "\xb1");  // half-width katakana A
    EXPECT_STREQ(s, "\x83\x41");
    s = xlum_new_kacnv_string(s, "\x83\x41");
    EXPECT_STREQ(s, "\xb1");
    release_block(s);
    EXPECT_EQ(xlum_new_akcnv_string(nullptr, nullptr), nullptr);
    struct Case {
        unsigned char c;
        int cls;
    } cases[] = {{0, 0},    {'a', 1},  {0xA0, 1}, {0xDF, 1}, {0x81, 2},
                 {0xFC, 2}, {0x1F, 3}, {0x7F, 4}, {0x80, 4}, {0xFD, 4}};
    for (const auto& c : cases) {
        char str[2] = {static_cast<char>(c.c), 0};
        EXPECT_EQ(sjis_char_class(str, 0), c.cls) << int(c.c);
    }
    EXPECT_EQ(sjis_char_class("a", -1), -1);
    EXPECT_EQ(sjis_char_count("a\x88\x9f"
                              "b"),
              3);
    char line[] = "abc\r\ndef";
    strip_line_end(line);
    EXPECT_STREQ(line, "abc");
    char quoted[] = "\t \"name\" \r\n";
    trim_token(quoted);
    EXPECT_STREQ(quoted, "name");
}

TEST(TextUtils, CounterStepAndEscapePolling) {
    EXPECT_EQ(cyclic_step(15, 1.0, 0, 15), 0);
    EXPECT_EQ(cyclic_step(0, -1.0, 0, 15), 15);
    EXPECT_EQ(cyclic_step(5, 2.0, 0, 15), 4);
    EXPECT_EQ(cyclic_step(5, 0, 0, 15), 5);
    using kz::platform::VK_ESCAPE;
    EXPECT_EQ(escape_pressed(3), 0);
    kz::platform::set_forced_key_state(VK_ESCAPE, 1);
    EXPECT_EQ(escape_pressed(0), 0);
    EXPECT_EQ(escape_pressed(0), 0);
    EXPECT_EQ(escape_pressed(0), 1);                              // the third step reads the key
    for (int i = 0; i < 6; ++i) EXPECT_EQ(escape_pressed(0), 0);  // the same press stops one loop only
    kz::platform::set_forced_key_state(VK_ESCAPE, 0);
    EXPECT_EQ(escape_pressed(1), 0);
    EXPECT_EQ(escape_pressed(0), 0);
    kz::platform::set_forced_key_state(VK_ESCAPE, 1);
    EXPECT_EQ(escape_pressed(0), 1);  // a new press
    kz::platform::set_forced_key_state(VK_ESCAPE, -1);
    EXPECT_EQ(escape_pressed(0), 0);
}

}  // namespace
}  // namespace kz::drawing2d
