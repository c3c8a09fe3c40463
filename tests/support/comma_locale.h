// A decimal-comma process locale for the tests that prove number text ignores it. Qt takes LC_NUMERIC from the
// environment when it starts, so a user under LANG=de_DE.UTF-8 runs the program in this locale.
#pragma once
#include <gtest/gtest.h>

#include <string>

namespace kz::test {

// Sets LANG and LC_ALL to de_DE.UTF-8 and takes the process locale from the environment, as a Qt application does
// at its start; puts the environment and the locale back when it goes.
class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
    // The process locale writes a decimal comma now (localeconv's decimal point is ",").
    bool active() const;

private:
    struct SavedVariable {
        const char* name;
        bool was_set;
        std::string value;
    };
    std::string saved_locale_;
    SavedVariable saved_[2];
};

// The tests run in CI (the variable CI is set and not "false"): there a machine without the locale is set up
// wrongly (scripts/setup.sh makes it), and the locale tests fail instead of being skipped.
bool in_ci();

}  // namespace kz::test

// The first line of a test body under a CommaLocale (or anything with active()): without a decimal-comma locale
// the test is skipped on a developer's machine and fails in CI.
#define KZ_REQUIRE_COMMA_LOCALE(locale)                                                                         \
    if (!(locale).active()) {                                                                                   \
        if (::kz::test::in_ci()) FAIL() << "the de_DE.UTF-8 locale is missing or gives no decimal comma in CI"; \
        GTEST_SKIP() << "no de_DE.UTF-8 locale with a decimal comma here (scripts/setup.sh makes one)";         \
    }
