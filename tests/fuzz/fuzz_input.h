// What every harness does with libFuzzer's bytes first: a private copy with a NUL after it, so that a reader
// that runs past the end meets the sanitizer's red zone, not the fuzzer's own buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kz::fuzz {

inline std::vector<char> terminated_copy(const std::uint8_t* data, std::size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    return text;
}

// A broken promise of a reader (a written record that reads back differently): said on stderr, then stopped
// like a crash, so the fuzzer keeps the input and the replay fails.
[[noreturn]] inline void fail(const char* what, const std::string& first, const std::string& second) {
    std::fprintf(stderr, "%s\n--- first:\n%s\n--- second:\n%s\n", what, first.c_str(), second.c_str());
    std::abort();
}

}  // namespace kz::fuzz
