// The codes CAD programs write into DXF texts, read and written on Shift_JIS text. Every scan steps over double-byte
// characters whole, so that a second byte of 0x5C, 0x7B or 0x7D is never taken for "\", "{" or "}".
#include "drawing2d/dxf_text_codes.h"

#include <algorithm>
#include <cstdlib>
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

// The character that byte `n` is in the drawing's code page (an iconv name, CP932 when empty), in Shift_JIS.
std::string code_page_character(unsigned n, std::string_view code_page) {
    if (n > 0xFF) return "?";
    const std::string charset = code_page.empty() ? "CP932" : std::string(code_page);
    const std::string utf8 = kz::platform::charset_to_utf8(std::string(1, static_cast<char>(n)), charset.c_str());
    const auto byte = [&](std::size_t k) { return k < utf8.size() ? static_cast<unsigned char>(utf8[k]) : 0u; };
    // A control character would break the text and its writing back.
    const bool control = byte(0) < 0x20 || byte(0) == 0x7F || (byte(0) == 0xC2 && byte(1) < 0xA0);
    return control ? "?" : dxf_utf8_to_sjis(utf8);
}

// What the %% code at `at` shows appended to `out` (nothing for the toggles); the bytes it took, 0 where no code
// begins there. "%%nnn" is the character of that number in the drawing's code page.
std::size_t special_code(std::string_view s, std::size_t at, std::string_view code_page, std::string& out) {
    if (at + 2 >= s.size() || s[at] != '%' || s[at + 1] != '%') return 0;
    const std::string_view digits = s.substr(at + 2, 3);
    if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        out += code_page_character(static_cast<unsigned>(std::atoi(std::string(digits).c_str())), code_page);
        return 5;
    }
    switch (s[at + 2]) {
    case 'c':
    case 'C': out += kDiameterSign; return 3;
    case 'd':
    case 'D': out += kDegreeSign; return 3;
    case 'p':
    case 'P': out += kPlusMinusSign; return 3;
    case '%': out += '%'; return 3;
    case 'u':
    case 'U':
    case 'o':
    case 'O': return 3;
    default: return 0;
    }
}

// The value of the `n` hexadecimal digits at `at`; -1 where they are not.
long hex_value(std::string_view s, std::size_t at, std::size_t n) {
    if (at + n > s.size()) return -1;
    long v = 0;
    for (const char c : s.substr(at, n)) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return -1;
        v = 16 * v + digit;
    }
    return v;
}

// The code point of a "\U+XXXX" escape at `at`; -1 where none begins there.
long unicode_escape(std::string_view s, std::size_t at) {
    if (at + 7 > s.size() || s[at] != '\\' || (s[at + 1] != 'U' && s[at + 1] != 'u') || s[at + 2] != '+') return -1;
    return hex_value(s, at + 3, 4);
}

// A "\M+nXXXX" escape at `at` (the double-byte character XXXX of code page n, 1 being Shift_JIS) appended to `out`,
// '?' for another code page's or a pair that is no character; the bytes it took, 0 where none begins there.
std::size_t multibyte_escape(std::string_view s, std::size_t at, std::string& out) {
    if (at + 8 > s.size() || s.substr(at, 3) != "\\M+" || s[at + 3] < '0' || s[at + 3] > '9') return 0;
    const long v = hex_value(s, at + 4, 4);
    if (v < 0) return 0;
    const char pair[2] = {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    const std::string utf8 = kz::platform::cp932_to_utf8(std::string_view(pair, 2));
    const bool one = s[at + 3] == '1' && kz::crt::is_sjis_lead(static_cast<unsigned char>(pair[0])) &&
                     utf8 != "\xef\xbf\xbd" &&
                     std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }) == 1;
    out += one ? std::string(pair, 2) : "?";
    return 8;
}

// What the code of TEXT and MTEXT alike at `at` shows (a %% code, an escape, or a caret code: "^I" a tab as four
// spaces, "^ " a caret, "^J" a new line, which a one-line text leaves out) appended to `out`; the bytes it took, 0
// where none begins there. "Ø" before a digit stands for the diameter.
std::size_t take_code(std::string_view s, std::size_t at, std::string_view code_page, std::string& out) {
    if (s[at] == '^' && at + 1 < s.size() && (s[at + 1] == 'I' || s[at + 1] == 'J' || s[at + 1] == ' ')) {
        out += s[at + 1] == 'I' ? "    " : s[at + 1] == ' ' ? "^" : "";
        return 2;
    }
    if (const std::size_t used = special_code(s, at, code_page, out)) return used;
    if (const long cp = unicode_escape(s, at); cp >= 0) {
        const bool digit = at + 7 < s.size() && s[at + 7] >= '0' && s[at + 7] <= '9';
        append_code_point_sjis(out, cp == 0xD8 && digit ? 0x2300 : static_cast<unsigned long>(cp));
        return 7;
    }
    return multibyte_escape(s, at, out);
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

// The end of the number at `from` of a height, width, slant or tracking code ("2", "-0.5", "1e2", "0.7x"), `from`
// itself where none begins there.
std::size_t number_end(std::string_view s, std::size_t from) {
    const auto digits = [&](std::size_t i) {
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        return i;
    };
    std::size_t i = from < s.size() && (s[from] == '+' || s[from] == '-') ? from + 1 : from;
    const std::size_t whole = digits(i);
    if (whole == i) return from;
    i = whole;
    if (i < s.size() && s[i] == '.') i = digits(i + 1);
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        const std::size_t sign = i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-') ? i + 2 : i + 1;
        if (digits(sign) > sign) i = digits(sign);
    }
    return i < s.size() && s[i] == 'x' ? i + 1 : i;
}

// Where a format code's value that begins at `from` ends, past its ";" where one follows: alignment takes one
// character, colours an integer, height, slant, tracking and width a number; fonts and paragraphs run to a ";".
// `from` itself for a code that takes no value.
std::size_t format_value_end(char code, std::string_view s, std::size_t from);

// Where the value of a code beginning at `from` ends: its ";" (a backslash escapes the byte after it), or the end.
std::size_t value_end(std::string_view s, std::size_t from) {
    std::size_t i = from;
    while (i < s.size() && s[i] != ';')
        i += s[i] == '\\' && i + 1 < s.size() ? 1 + char_size(s, i + 1) : char_size(s, i);
    return i;
}

std::size_t format_value_end(char code, std::string_view s, std::size_t from) {
    std::size_t end = from;
    if (code == 'A') {
        end = from < s.size() ? from + char_size(s, from) : from;
    } else if (code == 'C' || code == 'c') {
        while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
    } else if (std::strchr("HWQT", code)) {
        end = number_end(s, from);
    } else if (std::strchr("Ffp", code)) {
        return value_end(s, from) + 1;
    } else {
        return from;
    }
    return end < s.size() && s[end] == ';' ? end + 1 : end;
}

// A stacked text "a^b", "a/b" or "a#b" (backslashes escaping the byte after them) as "a/b". A space after "^" is
// how a file writes a "^" of its own, not part of the text.
std::string stacked(std::string_view s, std::string_view code_page) {
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
    return decode_special_codes(out, code_page);
}
}  // namespace

void append_code_point_sjis(std::string& out, unsigned long cp) {
    if (cp == 0x2300 || cp == 0x2205) {
        out += kDiameterSign;
        return;
    }
    // A control character would break the text and its writing back.
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
        out += '?';
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
        const bool diameter = rest.starts_with("\xc3\x98") && rest.size() > 2 && rest[2] >= '0' && rest[2] <= '9';
        if (rest.starts_with("\xe2\x8c\x80") || rest.starts_with("\xe2\x88\x85") || diameter) {
            u += "\xcf\x86";  // φ
            i += diameter ? 2 : 3;
        } else {
            u += utf8[i++];
        }
    }
    return kz::platform::utf8_to_cp932(u);
}

std::string decode_unicode_escapes(std::string_view s) {
    return replaced(s, [](std::string_view t, std::size_t at, std::string& out) -> std::size_t {
        const long cp = unicode_escape(t, at);
        if (cp >= 0) append_code_point_sjis(out, static_cast<unsigned long>(cp));
        return cp >= 0 ? 7 : 0;
    });
}

std::string decode_special_codes(std::string_view s, std::string_view code_page) {
    return replaced(s, [code_page](std::string_view t, std::size_t at, std::string& out) -> std::size_t {
        return take_code(t, at, code_page, out);
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
        const std::string_view after = s.substr(i + 1);
        if (n == 2 && !code_of(i).empty()) {
            out += code_of(i);
        } else if (s[i] == '%') {
            // A "%" before what is written beginning with "%" would begin a code: it is written as one itself.
            const std::size_t next = i + 1;
            out += next < s.size() && (s[next] == '%' || !code_of(next).empty()) ? "%%%" : "%";
        } else if (s[i] == '^') {
            out += "^ ";  // a bare caret would make a code of the letter after it
        } else if (s[i] == '\\' && (after.starts_with("U+") || after.starts_with("u+") || after.starts_with("M+"))) {
            out += "\\U+005C";
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    return out;
}

std::vector<std::string> mtext_lines(std::string_view s, std::string_view code_page) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < s.size();) {
        std::string& line = lines.back();
        const char c = s[i];
        if (c == '{' || c == '}') {
            ++i;
        } else if (s.substr(i, 2) == "^J") {
            lines.emplace_back();
            i += 2;
        } else if (const std::size_t used = take_code(s, i, code_page, line)) {
            i += used;
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
                line += stacked(s.substr(i, end - i), code_page);
                i = end + 1;
            } else if (const std::size_t end = format_value_end(code, s, i); end != i) {
                i = end;
            } else if (!std::strchr("ACcHWQTLlOoKk", code)) {
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
