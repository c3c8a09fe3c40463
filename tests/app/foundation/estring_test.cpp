// EString growth rule, cutting, and appends whose source lies inside the buffer itself.
#include <gtest/gtest.h>

#include <string>

#include "app/foundation/estring.h"

using kz::foundation::EString;

TEST(EString, GrowthCutAndAssign) {
    EString s;
    EXPECT_EQ(s.capacity(), 1);
    EXPECT_STREQ(s.text(), "");
    EXPECT_EQ(s.Append("0123456789"), 10);
    EXPECT_EQ(s.capacity(), 1034);
    s.Assign("abcdef");
    EXPECT_EQ(s.Append("XY", 3), 5);
    EXPECT_STREQ(s.text(), "abcXY");
    EXPECT_EQ(s.Append("!", 5), 6);  // a cut at the length cuts nothing
    EXPECT_EQ(s.Append("?", -4), 7);
    EXPECT_EQ(s.Append(nullptr), 7);
    EXPECT_EQ(s.Append("abc", -1, 2), 9);
    EXPECT_STREQ(s.text(), "abcXY!?ab");
    EXPECT_EQ(s.Assign("abc"), 3);
    EXPECT_EQ(s.capacity(), 105);
    EXPECT_EQ(s.AppendParts("a", nullptr, "b", nullptr, nullptr, nullptr, "c"), 6);
    EXPECT_STREQ(s.text(), "abcabc");
}

TEST(EString, LongOutputsAndSelfAppends) {
    EString s;
    std::string want;
    for (int i = 0; i < 5000; ++i) {
        s.Append("field\t");
        want += "field\t";
    }
    EXPECT_EQ(s.text(), want);
    EXPECT_GT(s.capacity(), s.length() + 0);
    for (int i = 0; i < 3; ++i) {
        s.Append(s.text());  // doubles the text; its source is the buffer that grows
        want += want;
    }
    EXPECT_EQ(s.text(), want);
    s.Assign(s.text() + 6, 5);
    EXPECT_STREQ(s.text(), "field");
    EString moved(std::move(s));
    EXPECT_STREQ(moved.text(), "field");
    EXPECT_EQ(s.Append("x"), 1);  // a moved-from buffer still works
}
