// Field tokenizer: the readers' walks of figure lines, and byte classes against Python's cp932 codec.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "support/test_paths.h"

using namespace kz::foundation;

namespace {

struct Field {
    std::string text;
    int next;
};

// Walks a line as the readers do: get_field, then pos = the result.
std::vector<Field> walk(const char* line, const FieldSeparators& seps) {
    std::vector<Field> fields;
    int pos = 0;
    for (int guard = 0; pos >= 0 && guard < 100; ++guard) {
        int len = 0;
        int next = get_field(line, pos, len, seps);
        if (len == 0 && next < 0 && (line[pos] == 0)) break;
        fields.push_back({std::string(line + pos, static_cast<std::size_t>(len)), next});
        pos = next;
    }
    return fields;
}

// 65,536 flags: 1 where Python's cp932 codec decodes the byte pair as one character.
std::string python_cp932_pairs() {
    const char* script =
        "import sys\n"
        "out = []\n"
        "for a in range(256):\n"
        "    for b in range(256):\n"
        "        try:\n"
        "            out.append('1' if len(bytes([a, b]).decode('cp932')) == 1 else '0')\n"
        "        except UnicodeDecodeError:\n"
        "            out.append('0')\n"
        "sys.stdout.write(''.join(out))\n";
    const std::string path = ::testing::TempDir() + "cp932_pairs.py";
    std::ofstream(path) << script;
    return kz::test::command_output("/usr/bin/python3 " + path);
}

}  // namespace

TEST(FieldTokenizer, WalksFieldsAsReadersDo) {
    struct Case {
        const char* line;
        std::vector<Field> want;
    };
    const Case cases[] = {
        {"a,b,c", {{"a", 2}, {"b", 4}, {"c", -1}}}, {"a,b,", {{"a", 2}, {"b", -1}}},
        {"\"x,y\",z", {{"x,y", 6}, {"z", -1}}},     {"ab\"c,d\"e,f", {{"ab\"c,d\"e", 9}, {"f", -1}}},
        {"a,\"b,c", {{"a", 2}, {"b,c", -1}}},  // an unclosed quote keeps the rest together
        {"  a  ,  b \r\n", {{"a", 6}, {"b", -1}}},  {"a\tb,c", {{"a", 2}, {"b", 4}, {"c", -1}}},
        {"a;b,c", {{"a", 2}, {"b", 4}, {"c", -1}}}, {"a,,b", {{"a", 2}, {"", 3}, {"b", -1}}},
    };
    for (const Case& c : cases) {
        auto got = walk(c.line, {"\t", ",", ";"});
        ASSERT_EQ(got.size(), c.want.size()) << c.line;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(std::tuple(got[i].text, got[i].next), std::tuple(c.want[i].text, c.want[i].next))
                << c.line << " field " << i;
    }
}

TEST(FieldTokenizer, BufferDefaultsAndNegativePosition) {
    char buf[8] = "old";
    int pos = -1, len = 5;
    EXPECT_EQ(get_field("a,b", pos, len, {","}, buf, sizeof buf, "dflt"), -1);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(std::tuple(pos, len), std::tuple(0, 0));

    pos = 0;
    EXPECT_EQ(get_field(" ,x", pos, len, {","}, buf, sizeof buf, "dflt"), 2);
    EXPECT_STREQ(buf, "dflt");  // empty field: the default

    pos = 0;
    EXPECT_EQ(get_field("12345678,x", pos, len, {","}, buf, sizeof buf, "dflt"), 9);
    EXPECT_STREQ(buf, "");  // too long for the buffer: left empty, span still reported
    EXPECT_EQ(len, 8);

    // get_field_string with its buffer as its own default: an empty field empties it, a missing one keeps it.
    std::strcpy(buf, "keep");
    pos = 0;
    EXPECT_EQ(get_field_string(",x", pos, len, {","}, buf, sizeof buf, buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(pos, 1);
    std::strcpy(buf, "keep");
    pos = -1;
    EXPECT_EQ(get_field_string(",x", pos, len, {","}, buf, sizeof buf, buf), -1);
    EXPECT_STREQ(buf, "keep");
}

TEST(FieldTokenizer, TypedGettersWalkALine) {
    const char* line = "  12abc  ,,-5,#FF0000,255,0,0\t255.0.0\t3.5e2\t";
    int pos = 0, len = 0;
    FieldSeparators seps{"\t", ","};
    EXPECT_EQ(get_field_int(line, pos, len, seps, 7), 12);
    EXPECT_EQ(pos, 10);
    EXPECT_EQ(get_field_int(line, pos, len, seps, 7), 7);                  // empty field: the default
    EXPECT_EQ(get_field_color(line, pos, len, seps, 0xFFFFFF), 0xFFFFFF);  // "-5": negative gives the default
    EXPECT_EQ(get_field_color(line, pos, len, seps, -2), 0x0000FF);
    // "255,0,0" would be split by "," here; read the colour items with TAB only.
    FieldSeparators tab{"\t"};
    EXPECT_EQ(get_field_color(line, pos, len, tab, -2), 0x0000FF);
    EXPECT_EQ(get_field_color(line, pos, len, tab, -2), 0x0000FF);
    EXPECT_DOUBLE_EQ(get_field_double(line, pos, len, tab, 0.0), 350.0);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(get_field_int(line, pos, len, tab, 99), 99);  // past the end
    EXPECT_EQ(len, 0);

    pos = 0;
    EXPECT_EQ(get_field_color(",x", pos, len, {","}, 0x123456), 0);  // empty colour field is black
    pos = 0;
    EXPECT_EQ(get_field_color("-5,x", pos, len, {","}, -7), -1);  // negative default keeps the negative value

    std::string digits(200, '1');
    pos = 0;
    EXPECT_DOUBLE_EQ(get_field_double(digits.c_str(), pos, len, {","}, 0.0), 1.0 / 9.0 * (1e110 - 1));
    EXPECT_EQ(len, 200);
}

TEST(FieldTokenizer, ParseColorForms) {
    struct Case {
        const char* text;
        int want;
    } cases[] = {{"#FF0000", 0x0000FF},   {"255,0,0", 0x0000FF}, {"255.0.0", 0x0000FF},
                 {"0,128,255", 0xFF8000}, {"123", 0x230100},     {"-5", -1},
                 {"\"1\",2,3", 0x030201}, {"256,0,0", 0}};
    for (const auto& c : cases) EXPECT_EQ(parse_color(c.text), c.want) << c.text;
}

TEST(FieldTokenizer, SplitFieldSeparatorOrderDecides) {
    char text[32] = "a;b,c";
    char item[16];
    int pos = 0, len = 0;
    EXPECT_EQ(get_field(text, pos, len, {",", ";"}), 2);
    EXPECT_EQ(len, 1);  // get_field: the earliest separator
    // The result, the item taken and the text left.
    const auto split = [&](char* from, std::size_t size, const FieldSeparators& seps) {
        const int result = split_field(from, item, size, seps);
        return std::tuple(result, std::string(item), std::string(from));
    };
    // split_field: the first separator in the list that occurs at all.
    EXPECT_EQ(split(text, sizeof item, {",", ";"}), std::tuple(1, "a;b", "c"));
    EXPECT_EQ(split(text, sizeof item, {",", ";"}), std::tuple(0, "c", ""));
    char quoted[32] = "\" a,b \",c";
    EXPECT_EQ(split(quoted, sizeof item, {","}), std::tuple(1, "a,b", "c"));
    char longer[32] = "0123456789abcdefXYZ,rest";
    EXPECT_EQ(split(longer, 8, {","}), std::tuple(1, "0123456", "rest"));  // bounded by the output's size
}

TEST(FieldTokenizer, TrailBytesNeverEndAField) {
    // ソ 0x83 0x5C, 表 0x95 0x5C, ポ 0x83 0x7C.
    const char* texts[] = {"x\x83\x5Cy", "\x95\x5C\x95\x5C", "\x83\x7C", "\"\x83\x5C\"", "\x83\x5C\x83\x7C\x95\x5C"};
    for (const char* t : texts) {
        int pos = 0, len = 0;
        EXPECT_EQ(get_field(t, pos, len, {"\\", "|"}), -1) << t;
        EXPECT_EQ(pos + len, static_cast<int>(std::strlen(t)) - (t[0] == '"' ? 1 : 0)) << t;
        char copy[16], item[16];
        std::strcpy(copy, t);
        EXPECT_EQ(split_field(copy, item, sizeof item, {"\\", "|"}), 0) << t;
    }
    // A real separator right after such a character still ends the field.
    int pos = 0, len = 0;
    EXPECT_EQ(get_field("\x83\x5C\\b", pos, len, {"\\"}), 3);
    EXPECT_EQ(len, 2);
    char text[16] = "\x81\x81\\b";  // ＝ then a backslash: the backslash is a character of its own
    char item[16];
    EXPECT_EQ(split_field(text, item, sizeof item, {"\\"}), 1);
    EXPECT_STREQ(item, "\x81\x81");
}

TEST(FieldTokenizer, ByteClassesOverAllPairs) {
    std::string decoded = python_cp932_pairs();
    ASSERT_EQ(decoded.size(), 65536u) << "/usr/bin/python3 with the cp932 codec is needed as the oracle";
    int decoded_pairs = 0, checked_pairs = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const char text[3] = {char(a), char(b), 0};
            int want;
            bool lead = (a >= 0x81 && a <= 0x9F) || (a >= 0xE0 && a <= 0xFC);
            bool trail = (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
            if (a == 0)
                want = 0;
            else if (lead && trail)
                want = 2;
            else if ((a >= 0x20 && a <= 0x7E) || (a >= 0xA0 && a <= 0xDF))
                want = 1;
            else if (a < 0x20)
                want = 3;
            else
                want = 4;
            int kind = sjis_byte_kind(text, 0);
            ASSERT_EQ(kind, want) << std::hex << a << " " << b;
            if (decoded[static_cast<std::size_t>(a * 256 + b)] == '1') {
                ASSERT_EQ(kind, 2) << "cp932 character " << std::hex << a << " " << b;
                ++decoded_pairs;
            }
            if (kind == 2 && b < 0x80) {
                // No double-byte character ends a field at its trail byte, whatever ASCII byte that is.
                const char field[5] = {char(a), char(b), '!', 0, 0};
                char sep[2] = {char(b), 0};
                int pos = 0, len = 0;
                get_field(field, pos, len, {sep});
                ASSERT_EQ(len, 3) << std::hex << a << " " << b;
                ++checked_pairs;
            }
        }
    }
    EXPECT_GT(decoded_pairs, 7000);
    EXPECT_EQ(checked_pairs, 60 * 63);  // every lead byte with every ASCII trail byte
    EXPECT_EQ(sjis_byte_kind("a", -1), -1);
}

TEST(FieldTokenizer, CutStackIsStrictLifo) {
    char line[] = "1;2;3,4;5;6";
    int pos = 0, len = 0;
    int next = get_field(line, pos, len, {","});
    push_string_cut(line + pos + len);
    int sub = 0;
    std::vector<int> items;
    while (sub >= 0) items.push_back(get_field_int(line, sub, len, {";"}, -1));
    char* inner = line + 2;
    push_string_cut(inner);
    EXPECT_STREQ(line, "1;");
    pop_string_cut();
    EXPECT_STREQ(line, "1;2;3");
    pop_string_cut();
    EXPECT_STREQ(line, "1;2;3,4;5;6");
    EXPECT_EQ(std::tuple(items, next, string_cut_depth()), std::tuple(std::vector<int>{1, 2, 3}, 6, 0));

    // Beyond 1024 cuts nothing is written, and the matching pops restore only what was cut.
    std::vector<char> big(1100, 'x');
    big.push_back(0);
    for (int i = 0; i < 1100; ++i) push_string_cut(&big[static_cast<std::size_t>(i)]);
    EXPECT_EQ(big[1050], 'x');
    for (int i = 0; i < 1100; ++i) pop_string_cut();
    EXPECT_EQ(std::string(big.data()), std::string(1100, 'x'));
    EXPECT_EQ(string_cut_depth(), 0);
    pop_string_cut();  // an unmatched pop changes nothing
    EXPECT_EQ(string_cut_depth(), 0);
}

TEST(FieldTokenizer, LinesAndItems) {
    // One CR or LF right behind the first belongs to the same line end: CR LF CR LF leaves one empty line.
    const char* text = "line1\r\n\r\nline3\n\nline4\r\r";
    int len = 0;
    std::vector<std::string> lines;
    for (int pos = 0; pos >= 0;) {
        int next = next_line(text, pos, len);
        lines.emplace_back(text + pos, static_cast<std::size_t>(len));
        pos = next;
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"line1", "", "line3", "line4"}));
    EXPECT_EQ(nonempty_lines(text), (std::vector<std::string>{"line1", "line3", "line4"}));
    EXPECT_EQ(nonempty_lines("\n x"), (std::vector<std::string>{" x"}));

    int capacity = 0, next = 0;
    char* buf = read_line_heap(nullptr, "abc\ndef", 0, next, capacity);
    EXPECT_EQ(std::tuple(std::string(buf), next, capacity), std::tuple("abc", 4, 1000));
    std::string long_line(2500, 'q');
    buf = read_line_heap(buf, long_line.c_str(), 0, next, capacity);
    EXPECT_EQ(std::tuple(std::string(buf), capacity, next), std::tuple(long_line, 3000, -1));
    buf = free_and_null(buf);

    const char* items = "a;\"b;c\";\x83\x5C;";
    std::vector<std::string> got;
    for (int pos = 0; pos >= 0;) {
        int after = next_semicolon_item(items, pos, len);
        got.emplace_back(items + pos, static_cast<std::size_t>(len));
        pos = after;
    }
    EXPECT_EQ(got, (std::vector<std::string>{"a", "\"b;c\"", "\x83\x5C", ""}));
}

TEST(FieldTokenizer, Trimming) {
    char a[] = " \t\"ab c\" \r\n";
    trim_blanks_quotes(a);
    EXPECT_STREQ(a, "ab c");
    char b[] = ", a,b ,\t";
    trim_blanks_commas(b);
    EXPECT_STREQ(b, "a,b");
    char c[] = "x\x83\x5Cy\r\nz";
    cut_at_line_end(c);
    EXPECT_STREQ(c, "x\x83\x5Cy");
    int start = 0, len = 6;
    EXPECT_EQ(trim_span(" ,ab, ", start, len), 1);
    EXPECT_EQ(std::tuple(start, len), std::tuple(2, 2));
    start = 0, len = 3;
    EXPECT_EQ(trim_span(" ,\t", start, len), 0);
    std::string no_end(70000, 'a');
    no_end += "\n";
    cut_at_line_end(no_end.data());
    EXPECT_EQ(std::strlen(no_end.c_str()), 70001u);  // beyond 64000 bytes nothing is cut
}
