#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/report.h"
#include "support/test_paths.h"

using namespace kz::platform;

namespace {

std::string utf8_of(char32_t cp) {
    std::string out;
    if (cp < 0x80) return out += static_cast<char>(cp), out;
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int trail = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLead[trail] | (cp >> (6 * trail)));
    for (int k = trail - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
    return out;
}

// Unicode's Default_Ignorable_Code_Point, as its table in tests/data gives it: the ranges, first and last.
std::vector<std::pair<char32_t, char32_t>> default_ignorable_ranges(unsigned long* total_stated) {
    std::ifstream table(kz::test::data_file("platform/default_ignorable_code_points.txt"));
    std::vector<std::pair<char32_t, char32_t>> ranges;
    for (std::string row; std::getline(table, row);) {
        if (row.rfind("# Total code points: ", 0) == 0) *total_stated = std::stoul(row.substr(21));
        if (row.empty() || row[0] == '#') continue;
        const std::size_t dots = row.find(".."), end = row.find(' ');
        const unsigned long first = std::stoul(row.substr(0, std::min(dots, end)), nullptr, 16);
        ranges.emplace_back(first, dots < end ? std::stoul(row.substr(dots + 2, end - dots - 2), nullptr, 16) : first);
    }
    return ranges;
}

bool variation_selector(char32_t cp) { return (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF); }

// Unicode's general category of every assigned code point (and of the unassigned ones among the invisible), from
// Python's tables as an independent oracle; its first line is the version of Unicode they hold.
const std::string& python_categories() {
    static const std::string classes = [] {
        const std::string script = kz::test::output_file("unicode_classes.py");
        std::ofstream(script) << "import unicodedata\n"
                                 "print(unicodedata.unidata_version)\n"
                                 "for c in range(0x110000):\n"
                                 "    k = unicodedata.category(chr(c))\n"
                                 "    if k not in ('Cn', 'Cs') or 0x2060 <= c <= 0x206F or 0xFFF0 <= c <= 0xFFF8 or "
                                 "0xE0000 <= c <= 0xE0FFF:\n"
                                 "        print(c, k)\n";
        return kz::test::command_output("/usr/bin/python3 '" + script + "'");
    }();
    return classes;
}

// The line escape_line gives for one code point shown as its escape: each of its UTF-8 bytes as "\xNN".
std::string escaped(const std::string& utf8) {
    std::string out;
    for (unsigned char b : utf8) out += "\\x" + std::string(1, "0123456789ABCDEF"[b >> 4]) + "0123456789ABCDEF"[b & 15];
    return out;
}

}  // namespace

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

TEST(TextCodec, LookAlikesInTextsAreTheirCp932EqualsAndNamesKeepThem) {
    // Em dash, yen sign, overline: a text shows the CP932 character that means the same (never 0x5C or 0x7E, never
    // "?"); a name keeps the very code point through its escape.
    const std::string utf8 = "A\xE2\x80\x94\xC2\xA5\xE2\x80\xBE";
    bool lossless = false;
    EXPECT_EQ(utf8_to_cp932(utf8, &lossless), "A\x81\x5C\x81\x8F\x81\x50");
    EXPECT_TRUE(lossless);
    EXPECT_EQ(utf16_to_cp932(u"\u2014\u00A5\u203E"), "\x81\x5C\x81\x8F\x81\x50");
    EXPECT_EQ(cp932_name_to_utf8(utf8_name_to_cp932(utf8)), utf8);
}

TEST(TextCodec, NameEscapeNeverSpellsDotsSeparatorsOrControls) {
    // The escape pair is two characters of CP932's user-defined area; a pair that would stand for one of these
    // is not an escape and comes out as the two characters it is. F0 40 F5 6E would otherwise spell ".".
    auto pair_for = [&](char32_t cp) { return utf8_of(0xE000 + cp / 940) + utf8_of(0xE000 + 940 + cp % 940); };
    EXPECT_EQ(utf8_to_cp932(pair_for('.')), "\xF0\x40\xF5\x6E");
    for (char32_t cp : {char32_t('.'), char32_t('/'), char32_t('\\'), char32_t(0), char32_t('\n'), char32_t(0x7F),
                        char32_t(0x85), char32_t(0xD800), char32_t(':'), char32_t('A')}) {
        const std::string inside = utf8_to_cp932(pair_for(cp));
        EXPECT_EQ(cp932_name_to_utf8(inside), pair_for(cp)) << "code point " << static_cast<unsigned>(cp);
    }
    EXPECT_EQ(cp932_name_to_utf8(utf8_to_cp932(pair_for(0xE9))), "\xC3\xA9") << "a real escape still decodes";
}

// What reaches the terminal: controls (C0, DEL, and C1 in UTF-8), format characters that reorder or hide text and
// bytes that are no UTF-8 show as "\xNN", the rest as it is, and an escaped line comes back unchanged; a host
// program's report function gets each line escaped, and so does standard error while none is set.
TEST(TextCodec, LinesShownCarryNoControls) {
    const struct {
        std::string line, shown;
    } cases[] = {
        {"/tmp/\x1b[2Jclear.fig", "/tmp/\\x1B[2Jclear.fig"},
        {"\x1b"
         "c reset",
         "\\x1Bc reset"},
        {"tab\there\nnext\r", "tab\\x09here\\x0Anext\\x0D"},
        {std::string("nul\0del\x7F", 8), "nul\\x00del\\x7F"},
        {"csi \xC2\x9B"
         "2J nel \xC2\x85",
         "csi \\xC2\\x9B2J nel \\xC2\\x85"},
        {"raw \x9B"
         "2J",
         "raw \\x9B2J"},
        {"\xE8\xA1\xA8 \xC2\xA0 \xF0\x9F\x98\x80 ~", "\xE8\xA1\xA8 \xC2\xA0 \xF0\x9F\x98\x80 ~"},
        // Format characters that reorder or hide text, byte by byte; their neighbours show as they are.
        {"evil\xE2\x80\xAEhs.txt", "evil\\xE2\\x80\\xAEhs.txt"},
        {"\xD8\x9C \xE2\x80\x8B \xE2\x80\x8F \xE2\x80\xA8 \xE2\x81\xA0 \xE2\x81\xA9 \xEF\xBB\xBF",
         "\\xD8\\x9C \\xE2\\x80\\x8B \\xE2\\x80\\x8F \\xE2\\x80\\xA8 \\xE2\\x81\\xA0 \\xE2\\x81\\xA9 \\xEF\\xBB\\xBF"},
        {"\xD8\x9B \xE2\x80\x8A \xE2\x80\x90 \xE2\x80\xA7 \xE2\x80\xAF \xE2\x81\x9F \xE2\x81\xB0 \xEF\xBB\xBE",
         "\xD8\x9B \xE2\x80\x8A \xE2\x80\x90 \xE2\x80\xA7 \xE2\x80\xAF \xE2\x81\x9F \xE2\x81\xB0 \xEF\xBB\xBE"},
        // Every other format character too (the soft hyphen, the deprecated format controls, the interlinear
        // annotation marks, tags, musical format controls), the combining grapheme joiner, the Hangul fillers and
        // the code points kept unassigned to show as nothing; their neighbours, and the variation selectors that
        // pick a glyph's form in Japanese names, show as they are.
        {"\xC2\xAD \xE2\x81\xAA \xE2\x81\xAF \xEF\xBF\xB9 \xEF\xBF\xBB \xF3\xA0\x80\x81 \xF3\xA0\x80\xA0 "
         "\xF3\xA0\x81\xBF \xF0\x9D\x85\xB3",
         "\\xC2\\xAD \\xE2\\x81\\xAA \\xE2\\x81\\xAF \\xEF\\xBF\\xB9 \\xEF\\xBF\\xBB \\xF3\\xA0\\x80\\x81 "
         "\\xF3\\xA0\\x80\\xA0 \\xF3\\xA0\\x81\\xBF \\xF0\\x9D\\x85\\xB3"},
        {"\xCD\x8F \xE1\x85\x9F \xE1\x85\xA0 \xE3\x85\xA4 \xEF\xBE\xA0 \xE2\x81\xA5 \xEF\xBF\xB0 \xF3\xA0\x80\x80 "
         "\xF3\xA0\xBF\xBF",
         "\\xCD\\x8F \\xE1\\x85\\x9F \\xE1\\x85\\xA0 \\xE3\\x85\\xA4 \\xEF\\xBE\\xA0 \\xE2\\x81\\xA5 \\xEF\\xBF\\xB0 "
         "\\xF3\\xA0\\x80\\x80 \\xF3\\xA0\\xBF\\xBF"},
        {"\xC2\xAC \xCD\x8E \xE3\x85\xA3 \xEF\xBE\xA1 \xEF\xBF\xBC \xEF\xB8\x80 \xEF\xB8\x8F \xF3\xA0\x84\x80 "
         "\xF3\xA0\x87\xAF \xF3\xA1\x80\x80",
         "\xC2\xAC \xCD\x8E \xE3\x85\xA3 \xEF\xBE\xA1 \xEF\xBF\xBC \xEF\xB8\x80 \xEF\xB8\x8F \xF3\xA0\x84\x80 "
         "\xF3\xA0\x87\xAF \xF3\xA1\x80\x80"},
        // A surrogate, an overlong "/", a code point past U+10FFFF and a character cut short.
        {"\xED\xA0\x80 \xC0\xAF \xF4\x90\x80\x80 \xE8\xA1",
         "\\xED\\xA0\\x80 \\xC0\\xAF \\xF4\\x90\\x80\\x80 \\xE8\\xA1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escape_line(c.line), c.shown);
        EXPECT_EQ(escape_line(c.shown), c.shown);
    }
    static std::string taken;
    const ReportFunction before = set_report_function([](std::string_view line) { taken = line; });
    report_line(cases[0].line);
    set_report_function(nullptr);
    testing::internal::CaptureStderr();
    report_line(cases[1].line);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), cases[1].shown + "\n");
    set_report_function(before);
    EXPECT_EQ(taken, cases[0].shown);
    // What a window shows of Shift_JIS text is escaped as Unicode: "表" (trail byte 0x5C) and the lead bytes of the
    // C1 range stay, the controls do not.
    EXPECT_EQ(escape_shown_sjis("\033c\x95\x5c\x81\x40\033[2J"), "\\x1Bc\x95\x5c\x81\x40\\x1B[2J");
}

// Unicode's classes, from Python's tables as an independent oracle: every code point of category Cc, Cf, Zl or Zp
// shows as its escape, and so does every one of Unicode's Default_Ignorable_Code_Point (its table in tests/data);
// every other assigned character shows as it is, the variation selectors among them.
TEST(TextCodec, EveryInvisibleCharacterUnicodeNamesIsEscaped) {
    unsigned long stated = 0;
    const auto ignorable = default_ignorable_ranges(&stated);
    std::istringstream classes(python_categories());
    std::string version, category;
    std::ostringstream wrong;
    std::getline(classes, version);
    int looked_at = 0;
    for (unsigned long cp = 0; classes >> cp >> category; ++looked_at) {
        const bool shows_as_nothing = std::any_of(ignorable.begin(), ignorable.end(), [&](const auto& r) {
            return cp >= r.first && cp <= r.second && !variation_selector(static_cast<char32_t>(cp));
        });
        const bool invisible =
            category == "Cc" || category == "Cf" || category == "Zl" || category == "Zp" || shows_as_nothing;
        const std::string line = utf8_of(static_cast<char32_t>(cp));
        if ((escape_line(line) != line) != invisible)
            wrong << std::hex << std::uppercase << " U+" << cp << ' ' << category;
    }
    EXPECT_GT(looked_at, 100000) << "Python's tables did not answer";
    EXPECT_EQ(wrong.str(), "") << "shown otherwise than Unicode " << version << " classes them";
}

// Against the property's own table: every code point of Unicode's Default_Ignorable_Code_Point shows as its escape
// but the variation selectors, which show as they are; the code point just outside each range shows as it is,
// unless it is a control, a separator or a format character (Python's tables say). One line holding the whole
// property reaches standard error so escaped.
TEST(TextCodec, EveryDefaultIgnorableCodePointIsEscaped) {
    unsigned long stated = 0;
    const auto ranges = default_ignorable_ranges(&stated);
    std::map<unsigned long, std::string> category;
    std::istringstream classes(python_categories());
    std::string skip_version, k;
    std::getline(classes, skip_version);
    for (unsigned long cp = 0; classes >> cp >> k;) category[cp] = k;
    ASSERT_GT(category.size(), 100000u) << "Python's tables did not answer";
    auto inside = [&](unsigned long cp) {
        return std::any_of(ranges.begin(), ranges.end(),
                           [cp](const auto& r) { return cp >= r.first && cp <= r.second; });
    };
    std::string line, shown;
    unsigned long counted = 0, neighbours = 0;
    for (const auto& [first, last] : ranges) {
        for (char32_t cp = first; cp <= last; ++cp, ++counted) {
            const std::string one = utf8_of(cp), expected = variation_selector(cp) ? one : escaped(one);
            EXPECT_EQ(escape_line(one), expected)
                << std::hex << std::uppercase << "U+" << static_cast<unsigned long>(cp);
            line += one + ' ';
            shown += expected + ' ';
        }
        for (const unsigned long next : {first - 1ul, last + 1ul}) {
            if (inside(next)) continue;
            ++neighbours;
            const std::string c = category.count(next) ? category[next] : "Cn";
            const std::string one = utf8_of(static_cast<char32_t>(next));
            const bool other_reason = c == "Cc" || c == "Cf" || c == "Zl" || c == "Zp";
            EXPECT_EQ(escape_line(one), other_reason ? escaped(one) : one)
                << std::hex << std::uppercase << "U+" << next << ' ' << c;
        }
    }
    EXPECT_EQ(counted, stated) << "the table in tests/data was not read whole";
    EXPECT_GT(neighbours, 20u);
    testing::internal::CaptureStderr();
    report_line(line);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), shown + "\n");
}

// A line about the user's folders is said once, not again while it is the line said last; another line is said,
// and after it the first again.
TEST(TextCodec, ReportOnceSaysALineOnceUntilAnotherIsSaid) {
    static std::vector<std::string> said;
    said.clear();
    const ReportFunction before = set_report_function([](std::string_view line) {
        if (line.find("said once row") != std::string_view::npos) said.emplace_back(line);
    });
    const std::string first = "said once row: /tmp/a\x1b[2J is odd", second = "said once row: /tmp/b is odd";
    for (const std::string* line : {&first, &first, &first, &second, &second, &first}) report_once(*line);
    set_report_function(before);
    const std::vector<std::string> expected = {"said once row: /tmp/a\\x1B[2J is odd", second,
                                               "said once row: /tmp/a\\x1B[2J is odd"};
    EXPECT_EQ(said, expected);
}
