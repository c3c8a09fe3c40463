// The codes of DXF texts on Shift_JIS text: every text written with the codes reads back as it was, and the corners
// of MTEXT's codes that no file ezdxf writes reaches.
#include <gtest/gtest.h>

#include <random>

#include "drawing2d/dxf_text_codes.h"

namespace kz::drawing2d {
namespace {

// Texts of percent signs, carets, backslashes, the codes' letters and the signs side by side, in every order: written
// with the codes, each reads back as it was.
TEST(DxfTextCodes, TextsWrittenWithTheCodesReadBackAsTheyWere) {
    std::mt19937 rng(11);
    const char* const pieces[] = {"%", "%",  "%",        "c",        "D",        "p",        "u",
                                  "O", "%%", "\x83\xd3", "\x81\x8b", "\x81\x7d", "\x95\x5c", "^",
                                  "I", "J",  " ",        "\\",       "U+0041",   "M+18140",  "065"};
    for (int k = 0; k < 5000; ++k) {
        std::string t;
        for (int n = 1 + static_cast<int>(rng() % 8); n > 0; --n) t += pieces[rng() % std::size(pieces)];
        ASSERT_EQ(decode_special_codes(encode_special_codes(t)), t) << encode_special_codes(t);
    }
    EXPECT_EQ(encode_special_codes("\x83\xd3"
                                   "50 45\x81\x8b \x81\x7d"
                                   "1 100%"),
              "%%c50 45%%d %%p1 100%");
    // Codes of other letters, and percent signs that begin none, stay as they stand; %%U and %%o show nothing.
    EXPECT_EQ(decode_special_codes("%%x 5%% %%Uu%%o"), "%%x 5%% u");
}

TEST(DxfTextCodes, MtextCorners) {
    using Lines = std::vector<std::string>;
    // A stacked text whose "^" the file did not write as "^ ", one without its ";", one without its lower part,
    // and one whose last backslash escapes nothing.
    EXPECT_EQ(mtext_lines("\\S1^2;x"), Lines{"1/2x"});
    EXPECT_EQ(mtext_lines("a\\S3#4"), Lines{"a3/4"});
    EXPECT_EQ(mtext_lines("\\S1^;"), Lines{"1/"});
    EXPECT_EQ(mtext_lines("\\Sa\\"), Lines{"a\\"});
    // A backslash that ends the text or a code's value, one before a double-byte character, and a first byte of a
    // double-byte character that ends the text.
    EXPECT_EQ(mtext_lines("a\\"), Lines{"a"});
    EXPECT_EQ(mtext_lines("\\H2\\"), Lines{""});
    EXPECT_EQ(mtext_lines("ab\x95"), Lines{"ab\x95"});
    EXPECT_EQ(mtext_lines("\\\x95\x5cP"), Lines{"\\\x95\x5cP"});
    // A double-byte character whose second byte is a backslash's does not escape what follows it.
    EXPECT_EQ(mtext_lines("\x95\x5cP\\P\x8e\xa6"), (Lines{"\x95\x5cP", "\x8e\xa6"}));
    EXPECT_EQ(mtext_lines("{\\fMS Gothic|c128;\x93\xfa\x96\x7b}"), Lines{"\x93\xfa\x96\x7b"});
    // Escapes in either case of letters, and ones that are none.
    EXPECT_EQ(mtext_lines("\\U+0041\\u+00e9\\U+ 041\\U+00g1"), Lines{"A?\\U+ 041\\U+00g1"});
    // The diameter signs CP932 lacks, as escapes and in UTF-8.
    EXPECT_EQ(mtext_lines("\\U+2300 \\U+2205"), Lines{"\x83\xd3 \x83\xd3"});
    EXPECT_EQ(dxf_utf8_to_sjis("\xe2\x8c\x80"
                               "5 \xe2\x88\x85"
                               "6"),
              "\x83\xd3"
              "5 \x83\xd3"
              "6");
}

}  // namespace
}  // namespace kz::drawing2d
