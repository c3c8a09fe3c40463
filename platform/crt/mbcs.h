// Shift_JIS (CP932) byte classes, as the C runtime's multibyte tests gave them for code page 932.
#pragma once

namespace kz::crt {
// 0x81..0x9F and 0xE0..0xFC start a double-byte character.
constexpr bool is_sjis_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// 0x40..0x7E and 0x80..0xFC may follow a lead byte.
constexpr bool is_sjis_trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
}  // namespace kz::crt
