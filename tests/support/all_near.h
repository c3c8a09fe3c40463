// Several numbers checked in one assertion, each against its own wanted value, by the rule EXPECT_NEAR,
// EXPECT_DOUBLE_EQ or EXPECT_FLOAT_EQ applies to one: EXPECT_TRUE(kz::test::all_near({p.x, p.y}, {1, 2}, 1e-9)). A
// failure names every value that is off and shows all of them.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <sstream>
#include <vector>

namespace kz::test {

namespace detail {
template <class Matches>
::testing::AssertionResult all_match(const std::vector<double>& got, const std::vector<double>& want, const char* rule,
                                     Matches matches) {
    std::ostringstream off;
    if (got.size() != want.size()) off << " " << got.size() << " values for " << want.size();
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i)
        if (!matches(got[i], want[i])) off << " [" << i << "]";
    if (off.str().empty()) return ::testing::AssertionSuccess();
    std::ostringstream all;
    all.precision(17);
    for (std::size_t i = 0; i < got.size(); ++i) all << (i ? ", " : "") << got[i];
    all << " against ";
    for (std::size_t i = 0; i < want.size(); ++i) all << (i ? ", " : "") << want[i];
    return ::testing::AssertionFailure() << "not " << rule << ":" << off.str() << " of " << all.str();
}
inline ::testing::AssertionResult all_near(const std::vector<double>& got, const std::vector<double>& want,
                                           double tolerance) {
    return all_match(got, want, "within the tolerance",
                     [&](double a, double b) { return std::fabs(a - b) <= tolerance; });
}
}  // namespace detail

inline ::testing::AssertionResult all_near(std::initializer_list<double> got, std::initializer_list<double> want,
                                           double tolerance) {
    return detail::all_near(got, want, tolerance);
}
inline ::testing::AssertionResult all_near(const std::vector<double>& got, const std::vector<double>& want,
                                           double tolerance) {
    return detail::all_near(got, want, tolerance);
}
// Values of another type (integers), each list of one type.
template <class T, class U>
::testing::AssertionResult all_near(std::initializer_list<T> got, std::initializer_list<U> want, double tolerance) {
    return detail::all_near({got.begin(), got.end()}, {want.begin(), want.end()}, tolerance);
}

// Within four units in the last place.
inline ::testing::AssertionResult all_double_eq(std::initializer_list<double> got, std::initializer_list<double> want) {
    using Double = ::testing::internal::FloatingPoint<double>;
    return detail::all_match(got, want, "equal", [](double a, double b) { return Double(a).AlmostEquals(Double(b)); });
}

// Within four units in the last place of a float, as EXPECT_FLOAT_EQ.
inline ::testing::AssertionResult all_float_eq(std::initializer_list<float> got, std::initializer_list<float> want) {
    using Float = ::testing::internal::FloatingPoint<float>;
    return detail::all_match({got.begin(), got.end()}, {want.begin(), want.end()}, "equal", [](double a, double b) {
        return Float(static_cast<float>(a)).AlmostEquals(Float(static_cast<float>(b)));
    });
}

}  // namespace kz::test
