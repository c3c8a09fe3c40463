// Number text: written forms, rounding, round trips and bounded buffers, also under a decimal-comma locale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/number_text.h"
#include "platform/crt/c_numbers.h"
#include "support/comma_locale.h"

using namespace kz::foundation;
using kz::crt::c_atof;

namespace {
std::string text_of(double v, int mode = 1) {
    char buf[kNumberTextSize];
    return double_to_text(v, mode, buf, sizeof buf);
}
std::string fixed(int d, double v) {
    char buf[kNumberTextSize];
    return format_fixed_decimals(d, v, buf, sizeof buf);
}

TEST(NumberText, WrittenForms) {
    struct Case {
        double v;
        int mode;
        const char* want;
    } cases[] = {
        {0.1, 1, "0.1"},
        {100, 1, "100"},
        {1e20, 1, "100000000000000000000"},
        {-0.00125, 1, "-0.00125"},
        {1.0 / 3, 1, "0.333333333333333"},
        {0, 1, "0"},
        {123.450, 1, "123.45"},
        {-5, 0, "-5"},
        {5, 0, " 5"},
        {7, 3, "007"},
        {1e-200, 1, "0.000000"},
        {-0.0, 1, "0"},
        {0, 0, " 0"},
        {-0.0, 3, "000"},
        {1234, 3, "1234"},
        {-5, 3, "-05"},
        {2.5e-7, 1, "0.00000025"},
        {123456789012345678.0, 1, "123456789012346000"},
        {0.1 + 0.2, 1, "0.3"},
        // Awkward: a carry past the 15th digit or up to a whole 15 digits, ties, 15/16-digit whole numbers, a
        // mantissa's last bit, a denormal.
        {999999999999999.5, 1, "1000000000000000"},
        {99999999999999.99, 1, "100000000000000"},
        {123456789012344.5, 1, "123456789012344"},
        {999999999999999.0, 1, "999999999999999"},
        {4503599627370497.0, 1, "4503599627370500"},
        {2.675, 1, "2.675"},
        {1.0000000000000002, 1, "1"},
        {-123456.78901234567, 1, "-123456.789012346"},
        {9.999999999999995e-05, 1, "0.0001"},
        {5e-324, 1, "0.000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(text_of(c.v, c.mode), c.want) << c.v << " mode " << c.mode;
    // The ends of the plain range: 1e-100 and the largest 15-digit value below 1e100.
    EXPECT_EQ(text_of(1e-100), "0." + std::string(99, '0') + "1");
    EXPECT_EQ(text_of(9.99999999999999e99), std::string(15, '9') + std::string(85, '0'));
}

TEST(NumberText, FixedAndRounded) {
    struct Case {
        int d;
        double v;
        const char* want;
    } cases[] = {{2, 2.5, "2.50"},   {2, 0.125, "0.13"}, {2, 9.996, "10.00"}, {-2, 1234, "1200"},  {0, 2.5, "3"},
                 {99, 1.25, "1.25"}, {1, -0.95, "-1.0"}, {3, 7, "7.000"},     {1, 99.96, "100.0"}, {2, 1e-200, "0.00"}};
    for (const auto& c : cases) EXPECT_EQ(fixed(c.d, c.v), c.want) << c.d << " " << c.v;

    char buf[64];
    EXPECT_STREQ(format_rounded(3.14159, 2, buf, sizeof buf), "3.14");
    EXPECT_STREQ(format_rounded(1250, -2, buf, sizeof buf), "1300");
    EXPECT_STREQ(format_number(1e-12, buf, sizeof buf), "0");
    EXPECT_STREQ(format_number(-2.5, buf, sizeof buf), "-2.5");
}

TEST(NumberText, BoundedBuffersNeverOverflow) {
    for (double v : {1e300, -1.7976931348623157e308, std::nan(""), std::numeric_limits<double>::infinity()}) {
        char small[16];
        std::memset(small, 'Z', sizeof small);
        double_to_text(v, 1, small, 8);
        EXPECT_EQ(std::strlen(small), std::min<std::size_t>(7, text_of(v).size()));
        EXPECT_EQ(small[8], 'Z');
        format_fixed_decimals(90, v, small, 8);
        EXPECT_EQ(small[8], 'Z');
        EXPECT_LT(text_of(v).size(), kNumberTextSize);
    }
    EXPECT_EQ(c_atof(text_of(1e300).c_str()), 1e300);
    EXPECT_TRUE(std::isnan(c_atof(text_of(std::nan("")).c_str())));
}

TEST(NumberText, FifteenDigitValuesRoundTrip) {
    std::mt19937_64 rng(20261207);
    std::uniform_int_distribution<long long> mantissa(100000000000000LL, 999999999999999LL);
    std::uniform_int_distribution<int> exponent(-100, 99);
    std::uniform_int_distribution<int> digits(1, 15);
    for (int i = 0; i < 200000; ++i) {
        long long m = mantissa(rng);
        for (int cut = 15 - digits(rng); cut > 0; --cut) m /= 10;
        char source[64];
        kz::crt::c_snprintf(source, sizeof source, "%s%llde%d", i % 2 ? "-" : "", m, exponent(rng));
        double v = c_atof(source);
        if (std::fabs(v) < 1e-100 || std::fabs(v) >= 1e100) continue;
        std::string t = text_of(v);
        ASSERT_EQ(t.find_first_of("eE"), std::string::npos) << source;
        ASSERT_EQ(c_atof(t.c_str()), v) << source << " -> " << t;
        ASSERT_EQ(text_of(c_atof(t.c_str())), t) << source;
        if (t.find('.') != std::string::npos) {
            ASSERT_NE(t.back(), '0') << t;
        }
    }
}

// Everything the readers and writers of this folder produce for a fixed set of inputs, as one list of texts.
std::vector<std::string> reader_writer_results() {
    std::vector<std::string> out;
    const char* line = " 1.5,2.25\t-3,5e-1\t0x1A\t12,34,56\tinf\t";  // the int reads "12"
    int pos = 0, len = 0;
    FieldSeparators seps{"\t", ","};
    char buf[kNumberTextSize];
    for (int i = 0; i < 5; ++i) out.push_back(text_of(get_field_double(line, pos, len, seps, -1.0)));
    out.push_back(std::to_string(get_field_int(line, pos, len, seps, -1)));
    out.push_back(std::to_string(parse_color("12,34,56")));
    out.push_back(std::to_string(parse_color("12.34.56")));
    for (double v : {0.5, -1234.5678, 1e-7, 3.0e15, 1e200, 2.0 / 3}) {
        out.push_back(text_of(v, 0));
        out.push_back(format_fixed_decimals(3, v, buf, sizeof buf));
        out.push_back(format_rounded(v, 2, buf, sizeof buf));
    }
    return out;
}

TEST(NumberText, SameResultsUnderADecimalCommaLocale) {
    std::vector<std::string> in_c = reader_writer_results(), in_de;
    {
        kz::test::CommaLocale comma;
        KZ_REQUIRE_COMMA_LOCALE(comma);
        in_de = reader_writer_results();
    }
    EXPECT_EQ(in_c, in_de);
    EXPECT_EQ(std::tuple(in_c[0], in_c[4], in_c[5]), std::tuple("1.5", "26", "12"));  // hex as atof reads it
}

TEST(NumberText, AnglesWrapIntoOneTurn) {
    // A tiny negative angle lands on 360 after the shift and must come back to 0: the result stays below a turn.
    const std::pair<double, double> cases[] = {{-1e-20, 0.0}, {360.0, 0.0}, {-90.0, 270.0}, {725.0, 5.0}};
    for (const auto& [angle, wrapped] : cases) EXPECT_EQ(wrap_degrees(angle), wrapped) << angle;
}

}  // namespace
