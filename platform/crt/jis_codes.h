// Shift_JIS <-> JIS X 0208 code conversion and the single-byte <-> full-width character table of code page 932,
// as the C runtime's _mbcjmstojis, _mbcjistojms, _mbbtombc and _mbctombb gave them.
#pragma once

namespace kz::crt {

// A double-byte Shift_JIS code (lead byte high) to its JIS X 0208 code (row high, column low, each 0x21..0x7E);
// 0 when the code is no valid Shift_JIS pair or has no JIS form (the user-defined leads 0xF0..0xFC). (_mbcjmstojis)
unsigned sjis_to_jis(unsigned sjis);
// A JIS X 0208 code to its Shift_JIS pair; 0 when either byte lies outside 0x21..0x7E. (_mbcjistojms)
unsigned jis_to_sjis(unsigned jis);
// A single-byte character (0x20..0x7E, 0xA1..0xDF) to its full-width Shift_JIS code; any other byte is returned
// unchanged, so a result below 0x100 means "no full-width form". (_mbbtombc)
unsigned sjis_full_width(unsigned c);
// The reverse: a full-width Shift_JIS code to its single-byte character; the code unchanged when it has no
// single-byte form. (_mbctombb)
unsigned sjis_half_width(unsigned code);

}  // namespace kz::crt
