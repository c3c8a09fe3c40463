// Texts of DXF files as CAD programs write them, taken into and given from Shift_JIS: the %% codes of TEXT, ATTRIB
// and MTEXT, MTEXT's inline format codes and paragraphs, and "\U+XXXX" escapes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kz::drawing2d {

// The diameter sign as the drawing holds it. CP932 has neither the diameter sign (U+2300), the empty set that CAD
// fonts draw for it (U+2205), nor Ø: φ is how Japanese drawings write a diameter, and CP932 holds it.
inline constexpr char kDiameterSign[] = "\x83\xd3";

// A code point appended to Shift_JIS text ('?' where CP932 has no such character; the diameter signs as φ).
void append_code_point_sjis(std::string& out, unsigned long code_point);

// UTF-8 text in Shift_JIS, the diameter signs as φ.
std::string dxf_utf8_to_sjis(std::string_view utf8);

// "\U+XXXX" escapes decoded; the second byte of a double-byte character is never taken for a backslash.
std::string decode_unicode_escapes(std::string_view sjis);

// %%c, %%d, %%p and %%% shown as ⌀ (φ), °, ± and %, the underline and overline toggles %%u and %%o removed;
// any other %% stays as it stands.
std::string decode_special_codes(std::string_view sjis);
// The inverse: a text written so that decode_special_codes gives it back, its signs as the codes.
std::string encode_special_codes(std::string_view sjis);

// An MTEXT's whole text (its code 3 continuations, then code 1) as the lines it shows: format codes and braces
// removed, "\P" a new line (and the column break "\N" and the dimension line's "\X"), "\~" a space, "\\", "\{" and "\}"
// the character, a stacked
// "\Sa^b;" (or a/b, a#b) as "a/b", escapes and %% codes as above; a code unknown as it stands.
std::vector<std::string> mtext_lines(std::string_view sjis);

}  // namespace kz::drawing2d
