// Environment variables and the umask a test sets for one scope (the user's folders it hands the program), all
// put back as they were when the scope ends, however the test ends.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kz::test {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Sets the variable until the scope ends; null unsets it.
    void set(const char* name, const char* value);
    void set(const char* name, const std::string& value) { set(name, value.c_str()); }
    void set_umask(unsigned mask);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    std::optional<unsigned> saved_umask_;
};

}  // namespace kz::test
