// The drawing library's own Shift_JIS-aware string helpers, heap blocks, number text, tokens, coordinate rounding,
// the wrap-around counter step and Escape polling for long loops.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kz::drawing2d {

constexpr std::size_t kTextBuffer = 1024;

// Half away from zero, saturating at the int32 limits.
int32_t round_to_int32(double value);
// 0 the terminating zero, 1 single-byte character, 2 lead byte, 3 control character, 4 other; -1 for position < 0.
int sjis_char_class(const char* string, int position);
// Number of characters (a double-byte character counts one) up to the terminating zero.
int sjis_char_count(const char* string);
// Ends the string at its first CR or LF, looking at most 32000 bytes far.
void strip_line_end(char* string);
// A positive n sets the polling period and resets the counter (0); otherwise, at every period-th step, 1 when
// Escape is down (once per press: the key must come up before it stops another loop).
int escape_pressed(int n);
int32_t cyclic_step(int32_t value, double step, int32_t low, int32_t high);
// Truncation toward zero with saturation at the limits; NaN gives 0.
int32_t truncate_to_int32(double value);
int64_t truncate_to_int64(double value);

// Width conversions; the target holds `capacity` bytes (the result is cut there, never inside a character).
int to_full_width(const char* source, char* target, std::size_t capacity = kTextBuffer);
int to_half_width(const char* source, char* target, std::size_t capacity = kTextBuffer);

// Heap blocks and strings: owned by the caller, released with release_block (which returns null).
void* release_block(void* block);
void* fresh_block(void* old, std::size_t size);
char* string_memory(char* old, std::size_t n);
char* string_assign(char* old, const char* a, const char* b, std::size_t size);
char* xlum_new_akcnv_string(char* old, const char* source);
char* xlum_new_kacnv_string(char* old, const char* source);
char* xlum_new_string_memory(char* old, int n);

int xlum_instr(int start, const char* string, const char* pattern);
char* xlum_new_mid_string(char* old, const char* string, int start, int length);
char* xlum_mid_string(const char* string, int start, int length, char* buffer);
char* xlum_new_right_string(char* old, const char* string, int n);
char* xlum_right_string(const char* string, int n, char* buffer);
char* xlum_new_string_string(char* old, int n, const char* string);
char* xlum_string_string(int n, const char* string, char* buffer, std::size_t capacity = kTextBuffer);
// The number in the library's text form (see xlum_str_string's rules); buffer of at least 64 bytes.
char* xlum_str_string(double value, int width, char* buffer);

void trim_token(char* string);
char* read_line(char* buffer, int size, std::FILE* file);
// Splits `text` at the first delimiter (in argument order) that occurs outside quotes; see next_token.
int xlum_input_string(char* text, char* token, const char* d1, const char* d2 = nullptr, const char* d3 = nullptr,
                      const char* d4 = nullptr, const char* d5 = nullptr, const char* d6 = nullptr,
                      const char* d7 = nullptr);
inline int next_token(char* text, char* token, const char* d1, const char* d2 = nullptr, const char* d3 = nullptr,
                      const char* d4 = nullptr, const char* d5 = nullptr, const char* d6 = nullptr,
                      const char* d7 = nullptr) {
    return xlum_input_string(text, token, d1, d2, d3, d4, d5, d6, d7);
}
char* copy_substring(const char* source, char* target, int start, int length);

}  // namespace kz::drawing2d
