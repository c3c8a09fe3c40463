#include "platform/text_codec.h"

#include <gtest/gtest.h>

using namespace kz::platform;

TEST(TextCodec, JapaneseAndNecRowsRoundTrip) {
    // "表ソ" carry 0x5C trail bytes; 0x87 0x40 is the NEC row's circled one, which SHIFT_JIS refuses.
    const std::string sjis =
        "\x95\x5C\x83\x5C"
        "\x87\x40"
        "abc";
    const std::string utf8 =
        "\xE8\xA1\xA8\xE3\x82\xBD\xE2\x91\xA0"
        "abc";
    EXPECT_EQ(cp932_to_utf8(sjis), utf8);
    bool lossless = false;
    EXPECT_EQ(utf8_to_cp932(utf8, &lossless), sjis);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(utf16_to_cp932(cp932_to_utf16(sjis)), sjis);
}

TEST(TextCodec, BadInputIsReplacedNotDropped) {
    // A lone lead byte at the end and an undefined single byte each become U+FFFD; the rest survives.
    EXPECT_EQ(cp932_to_utf8("a\xA0"
                            "b\x81"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    bool lossless = true;
    EXPECT_EQ(utf8_to_cp932("caf\xC3\xA9", &lossless), "caf?");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(utf8_to_cp932("x\xFFy"), "x?y");
}

TEST(TextCodec, FileNamesOutsideCp932SurviveTheRoundTrip) {
    const std::string names[] = {"caf\xC3\xA9.fig",
                                 "\xC3\xBC"
                                 "ber/\xF0\x9F\x98\x80.png",
                                 "\xE5\x9B\xBD\xE8\xA1\xA8.fig", "plain.fig"};
    for (const std::string& n : names) {
        std::string inside = utf8_name_to_cp932(n);
        EXPECT_EQ(inside.find('?'), std::string::npos) << n;
        EXPECT_EQ(cp932_name_to_utf8(inside), n);
    }
    // Inside, the escaped name is ordinary double-byte text: no ASCII separators appear in it.
    std::string inside = utf8_name_to_cp932("\xC3\xA9");
    ASSERT_EQ(inside.size(), 4u);
    for (char c : inside) EXPECT_GE(static_cast<unsigned char>(c), 0x40);
}

TEST(TextCodec, NameEscapeNeverSpellsDotsSeparatorsOrControls) {
    // The escape pair is two characters of CP932's user-defined area; a pair that would stand for one of these
    // is not an escape and comes out as the two characters it is. F0 40 F5 6E would otherwise spell ".".
    auto utf8_of = [](char32_t cp) {
        std::string out;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        return out;
    };
    auto pair_for = [&](char32_t cp) { return utf8_of(0xE000 + cp / 940) + utf8_of(0xE000 + 940 + cp % 940); };
    EXPECT_EQ(utf8_to_cp932(pair_for('.')), "\xF0\x40\xF5\x6E");
    for (char32_t cp : {char32_t('.'), char32_t('/'), char32_t('\\'), char32_t(0), char32_t('\n'), char32_t(0x7F),
                        char32_t(0x85), char32_t(0xD800), char32_t(':'), char32_t('A')}) {
        const std::string inside = utf8_to_cp932(pair_for(cp));
        EXPECT_EQ(cp932_name_to_utf8(inside), pair_for(cp)) << "code point " << static_cast<unsigned>(cp);
    }
    EXPECT_EQ(cp932_name_to_utf8(utf8_to_cp932(pair_for(0xE9))), "\xC3\xA9") << "a real escape still decodes";
}
