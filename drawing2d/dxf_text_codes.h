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

// UTF-8 text in Shift_JIS, the diameter signs (and "Ø" before a digit) as φ.
std::string dxf_utf8_to_sjis(std::string_view utf8);

// "\U+XXXX" escapes decoded (a control character as '?'); the second byte of a double-byte character is never taken
// for a backslash.
std::string decode_unicode_escapes(std::string_view sjis);

// A TEXT's or ATTRIB's codes as CAD programs show them: %%c, %%d, %%p and %%% as ⌀ (φ), °, ± and %, the underline
// and overline toggles %%u and %%o removed, "%%nnn" the character of that number in the drawing's code page (an
// iconv name, CP932 when empty; '?' for a control character or a number past 255); "\U+XXXX" and "\M+1XXXX" (a
// Shift_JIS pair) escapes; "^I" a tab as four spaces, "^ " a caret, "^J" left out; "Ø" before a digit as the
// diameter. Anything else stays as it stands.
std::string decode_special_codes(std::string_view sjis, std::string_view code_page = {});
// The inverse: a text written so that decode_special_codes gives it back, its signs as the codes, a caret as "^ "
// and a backslash that would begin an escape as one.
std::string encode_special_codes(std::string_view sjis);

// An MTEXT's whole text (its code 3 continuations, then code 1) as the lines it shows: format codes and braces
// removed, "\P" a new line (and the column break "\N" and the dimension line's "\X"), "\~" a space, "\\", "\{" and "\}"
// the character, a stacked
// "\Sa^b;" (or a/b, a#b) as "a/b", "^J" a new line, escapes, carets and %% codes as above; a code unknown as it
// stands. Alignment, colour, height, slant, tracking and width codes end with their value where no ";" follows it.
std::vector<std::string> mtext_lines(std::string_view sjis, std::string_view code_page = {});

}  // namespace kz::drawing2d
