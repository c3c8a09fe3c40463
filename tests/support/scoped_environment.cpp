// Saves each variable the first time it is set and restores the lot in reverse order.
#include "scoped_environment.h"

#include <sys/stat.h>

#include <cstdlib>

namespace kz::test {

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
    if (saved_umask_) ::umask(static_cast<mode_t>(*saved_umask_));
}

void ScopedEnvironment::set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

void ScopedEnvironment::set_umask(unsigned mask) {
    const mode_t old = ::umask(static_cast<mode_t>(mask));
    if (!saved_umask_) saved_umask_ = old;
}

}  // namespace kz::test
