#include "tests/support/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace kz::test {

CommaLocale::CommaLocale() : saved_{{"LANG", false, {}}, {"LC_ALL", false, {}}} {
    const char* current = std::setlocale(LC_ALL, nullptr);
    saved_locale_ = current ? current : "C";
    for (SavedVariable& v : saved_) {
        const char* value = std::getenv(v.name);
        v.was_set = value != nullptr;
        v.value = value ? value : "";
        setenv(v.name, "de_DE.UTF-8", 1);
    }
    std::setlocale(LC_ALL, "");
}

CommaLocale::~CommaLocale() {
    for (const SavedVariable& v : saved_) {
        if (v.was_set)
            setenv(v.name, v.value.c_str(), 1);
        else
            unsetenv(v.name);
    }
    std::setlocale(LC_ALL, saved_locale_.c_str());
}

bool CommaLocale::active() const { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; }

bool in_ci() {
    const char* ci = std::getenv("CI");
    return ci && *ci && std::strcmp(ci, "false") != 0 && std::strcmp(ci, "0") != 0;
}

}  // namespace kz::test
