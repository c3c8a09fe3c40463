// Text columns and numbers as the writer prints them, checked against the field tokenizer that reads them back.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "app/scene/figure_text.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {
namespace {

using foundation::EString;
using foundation::FieldSeparators;

// The fields of a line as the tokenizer hands them out.
std::vector<std::string> read_fields(const std::string& line) {
    const FieldSeparators seps("\t", ",");
    std::vector<std::string> fields;
    for (int pos = 0; pos >= 0;) {
        int len = 0;
        const int next = foundation::get_field(line.c_str(), pos, len, seps);
        fields.emplace_back(line.c_str() + pos, len);
        pos = next;
    }
    return fields;
}

TEST(FigureText, TextColumnsReadBackBetweenTheirNeighbours) {
    struct Case {
        const char* text;
        const char* written;
        const char* read;  // what the tokenizer gives back
    };
    const Case cases[] = {
        {"plain", "plain", "plain"},
        {"a,b", "\"a,b\"", "a,b"},
        {"a\tb", "\"a\tb\"", "a\tb"},
        {"a;b|c", "a;b|c", "a;b|c"},
        {"a\"b,c\"d", "a\"b,c\"d", "a\"b,c\"d"},
        {"12\"x", "12\"x\"", "12\"x"},
        {"a,b\"c", "\"a,b\"c\"\"", "a,b\"c"},
        {"\x83\x7C,\x83\x5C", "\"\x83\x7C,\x83\x5C\"", "\x83\x7C,\x83\x5C"},
        {"\x95\\\x83\x7C", "\x95\\\x83\x7C", "\x95\\\x83\x7C"},
        {"x\"a,b\"y,z", "\"xa,by,z\"", "xa,by,z"},  // no quoting carries both commas: the quotes go
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EString out;
        append_text_column(out, c.text);
        EXPECT_EQ(std::string(out.text()), c.written) << c.text;
        const std::vector<std::string> fields = read_fields(std::string("before,") + out.text() + "\tafter");
        ASSERT_EQ(fields.size(), 3u) << out.text();
        EXPECT_EQ(std::tuple(fields[1], fields[2]), std::tuple(c.read, "after")) << c.text;
    }
    EString out;
    append_text_column(out, nullptr);
    EXPECT_EQ(out.length(), 0);
}

TEST(FigureText, NumbersReadBackWithinTheReadersHundredAndTenBytes) {
    const double cases[][2] = {{123.45, 123.45}, {1e-200, 0}, {-1e300, -1e100}, {1e101, 1e100}};
    for (const auto& c : cases) {
        EString out;
        append_number(out, c[0]);
        EXPECT_LE(out.length(), 110) << c[0];
        EXPECT_EQ(crt::c_atof(out.text()), c[1]) << out.text();
    }
}

}  // namespace
}  // namespace kz::scene
