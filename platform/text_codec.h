// Shift_JIS (code page 932) at the boundary to Qt and the OS: the model keeps its bytes, and only what is shown
// or handed to the OS is converted. Not a general charset library: CP932 and UTF-8/UTF-16 only.
#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace kz::platform {

// CP932 bytes to UTF-8. A byte sequence that is not CP932 becomes U+FFFD and the conversion goes on.
std::string cp932_to_utf8(std::string_view sjis);
// UTF-8 to CP932 bytes. A character CP932 cannot hold becomes '?'; *lossless (when given) says whether any did.
// Malformed UTF-8 bytes are treated like unrepresentable characters.
std::string utf8_to_cp932(std::string_view utf8, bool* lossless = nullptr);

// Text in another charset (an iconv name such as "CP1252") to CP932 bytes, with '?' for what CP932 cannot hold
// or the charset does not define; an unknown charset keeps ASCII and replaces every other byte.
std::string charset_to_cp932(std::string_view bytes, const char* charset, bool* lossless = nullptr);

// Text in another charset to UTF-8, U+FFFD for what the charset does not define (every byte above 0x7F where the
// charset is unknown).
std::string charset_to_utf8(std::string_view bytes, const char* charset);

std::u16string cp932_to_utf16(std::string_view sjis);
std::string utf16_to_cp932(std::u16string_view utf16, bool* lossless = nullptr);

// File names cross in both directions without loss: a character CP932 cannot hold (é, emoji, many CJK characters)
// is carried inside as a pair of characters from CP932's user-defined area (lead bytes 0xF0-0xF9), which real model
// files do not use, and restored when the name goes back to the OS. The pair is ordinary double-byte Shift_JIS, so
// field splitting and path handling pass it through untouched.
std::string utf8_name_to_cp932(std::string_view utf8);
std::string cp932_name_to_utf8(std::string_view sjis);
// A name as it is shown to the user: as cp932_name_to_utf8, but a byte that does not convert shows as "\xNN" (its
// value in hex) where U+FFFD would tell nothing. `reshape` (when given) turns the converted name into the form
// shown first (a Windows path into a POSIX one), so that the "\" of those bytes is never taken for a separator;
// what it gives empty stays empty.
std::string cp932_name_to_shown_utf8(std::string_view sjis,
                                     const std::function<std::string(std::string)>& reshape = {});

}  // namespace kz::platform
