// The codes CAD programs write into DXF texts, read and written on Shift_JIS text. Every scan steps over double-byte
// characters whole, so that a second byte of 0x5C, 0x7B or 0x7D is never taken for "\", "{" or "}".
#include "drawing2d/dxf_text_codes.h"

#include <cstring>

#include "platform/crt/mbcs.h"
#include "platform/text_codec.h"

namespace kz::drawing2d {
namespace {
constexpr char kDegreeSign[] = "\x81\x8b";
constexpr char kPlusMinusSign[] = "\x81\x7d";

// The bytes of the character at `at`: two for a double-byte character, else one.
std::size_t char_size(std::string_view s, std::size_t at) {
    return kz::crt::is_sjis_lead(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
}

// What the %% code at `at` shows (empty for the toggles); false where no code begins there.
bool special_code(std::string_view s, std::size_t at, std::string_view* shown) {
    if (at + 2 >= s.size() || s[at] != '%' || s[at + 1] != '%') return false;
    switch (s[at + 2]) {
    case 'c':
    case 'C': *shown = kDiameterSign; return true;
    case 'd':
    case 'D': *shown = kDegreeSign; return true;
    case 'p':
    case 'P': *shown = kPlusMinusSign; return true;
    case '%': *shown = "%"; return true;
    case 'u':
    case 'U':
    case 'o':
    case 'O': *shown = {}; return true;
    default: return false;
    }
}

// The code point of a "\U+XXXX" escape at `at`; 0 where none begins there, and for "\U+0000", which would end the
// text there.
unsigned long unicode_escape(std::string_view s, std::size_t at) {
    if (at + 7 > s.size() || s[at] != '\\' || (s[at + 1] != 'U' && s[at + 1] != 'u') || s[at + 2] != '+') return 0;
    unsigned long cp = 0;
    for (const char c : s.substr(at + 3, 4)) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return 0;
        cp = 16 * cp + static_cast<unsigned long>(digit);
    }
    return cp;
}

// The text with what `take` reads where it begins put in its place (`take` appends it and gives the bytes it read,
// or 0 where nothing of its begins), the rest character by character.
template <class Take>
std::string replaced(std::string_view s, Take take) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (const std::size_t used = take(s, i, out)) {
            i += used;
            continue;
        }
        const std::size_t n = char_size(s, i);
        out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

// Format codes whose value runs to a ";": alignment, colours, fonts, height, paragraph, slant, tracking and width.
bool takes_value(char code) { return std::strchr("ACcFfHpQTW", code) != nullptr; }

// Where the value of a code beginning at `from` ends: its ";" (a backslash escapes the byte after it), or the end.
std::size_t value_end(std::string_view s, std::size_t from) {
    std::size_t i = from;
    while (i < s.size() && s[i] != ';')
        i += s[i] == '\\' && i + 1 < s.size() ? 1 + char_size(s, i + 1) : char_size(s, i);
    return i;
}

// A stacked text "a^b", "a/b" or "a#b" (backslashes escaping the byte after them) as "a/b". A space after "^" is
// how a file writes a "^" of its own, not part of the text.
std::string stacked(std::string_view s) {
    std::string out;
    bool divided = false;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            const std::size_t n = char_size(s, i + 1);
            out.append(s.substr(i + 1, n));
            i += 1 + n;
        } else if (!divided && (c == '^' || c == '/' || c == '#')) {
            divided = true;
            out += '/';
            i += c == '^' && i + 1 < s.size() && s[i + 1] == ' ' ? 2 : 1;
        } else {
            const std::size_t n = char_size(s, i);
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return decode_special_codes(out);
}
}  // namespace

void append_code_point_sjis(std::string& out, unsigned long cp) {
    if (cp == 0x2300 || cp == 0x2205) {
        out += kDiameterSign;
        return;
    }
    std::string u;
    if (cp < 0x80) {
        u.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        u += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
        u += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
              static_cast<char>(0x80 | (cp & 0x3F))};
    }
    out += kz::platform::utf8_to_cp932(u);
}

std::string dxf_utf8_to_sjis(std::string_view utf8) {
    std::string u;
    u.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::string_view rest = utf8.substr(i);
        if (rest.starts_with("\xe2\x8c\x80") || rest.starts_with("\xe2\x88\x85")) {
            u += "\xcf\x86";  // φ
            i += 3;
        } else {
            u += utf8[i++];
        }
    }
    return kz::platform::utf8_to_cp932(u);
}

std::string decode_unicode_escapes(std::string_view s) {
    return replaced(s, [](std::string_view t, std::size_t at, std::string& out) -> std::size_t {
        const unsigned long cp = unicode_escape(t, at);
        if (cp) append_code_point_sjis(out, cp);
        return cp ? 7 : 0;
    });
}

std::string decode_special_codes(std::string_view s) {
    return replaced(s, [](std::string_view t, std::size_t at, std::string& out) -> std::size_t {
        std::string_view shown;
        if (!special_code(t, at, &shown)) return 0;
        out += shown;
        return 3;
    });
}

std::string encode_special_codes(std::string_view s) {
    static const struct {
        std::string_view sign, code;
    } kSigns[] = {{kDiameterSign, "%%c"}, {kDegreeSign, "%%d"}, {kPlusMinusSign, "%%p"}};
    auto code_of = [&](std::size_t at) -> std::string_view {
        for (const auto& k : kSigns)
            if (s.substr(at, 2) == k.sign) return k.code;
        return {};
    };
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = char_size(s, i);
        if (n == 2 && !code_of(i).empty()) {
            out += code_of(i);
        } else if (s[i] == '%') {
            // A "%" before what is written beginning with "%" would begin a code: it is written as one itself.
            const std::size_t next = i + 1;
            out += next < s.size() && (s[next] == '%' || !code_of(next).empty()) ? "%%%" : "%";
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    return out;
}

std::vector<std::string> mtext_lines(std::string_view s) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < s.size();) {
        std::string& line = lines.back();
        const char c = s[i];
        std::string_view shown;
        if (c == '{' || c == '}') {
            ++i;
        } else if (special_code(s, i, &shown)) {
            line += shown;
            i += 3;
        } else if (const unsigned long cp = unicode_escape(s, i)) {
            append_code_point_sjis(line, cp);
            i += 7;
        } else if (c != '\\') {
            const std::size_t n = char_size(s, i);
            line.append(s.substr(i, n));
            i += n;
        } else if (i + 1 == s.size()) {
            ++i;  // a backslash that ends the text escapes nothing
        } else {
            const char code = s[i + 1];
            i += 2;
            if (code == 'P' || code == 'N' || code == 'X') {
                lines.emplace_back();
            } else if (code == '~') {
                line += ' ';
            } else if (code == '\\' || code == '{' || code == '}') {
                line += code;
            } else if (code == 'S') {
                const std::size_t end = value_end(s, i);
                line += stacked(s.substr(i, end - i));
                i = end + 1;
            } else if (takes_value(code)) {
                i = value_end(s, i) + 1;
            } else if (!std::strchr("LlOoKk", code)) {
                // A code unknown stays as it stands, a double-byte character after the backslash whole.
                line += '\\';
                i -= 1;
            }
            // Underline, overline and strike-through on and off show nothing.
        }
    }
    return lines;
}

}  // namespace kz::drawing2d
