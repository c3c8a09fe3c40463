// CP932 conversion through iconv's "CP932" (not "SHIFT_JIS", which refuses the NEC and IBM rows that Japanese
// Windows text uses). One converter pair per thread, opened on first use.
#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace kz::platform {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

iconv_t to_utf32() {
    thread_local Converter c("UTF-32LE", "CP932");
    return c.ok() ? c.get() : nullptr;
}
iconv_t from_utf32() {
    thread_local Converter c("CP932", "UTF-32LE");
    return c.ok() ? c.get() : nullptr;
}

constexpr char32_t kReplacement = 0xFFFD;
// The escape pair: first from [kEscBase, kEscBase+kEscSpan), second from the next kEscSpan code points.
// CP932's user-defined area maps to U+E000..U+E757 (1880 characters), so each half gets 940 values and
// a pair covers code points below 940*940 (all of planes 0-3).
constexpr char32_t kEscBase = 0xE000;
constexpr char32_t kEscSpan = 940;

// A byte that does not convert, kept for showing: the low surrogate U+DC00 + byte, which no text decodes to.
constexpr char32_t kBadByteBase = 0xDC00;

// Bytes of the converter's source charset (CP932 unless given) to code points; an invalid or truncated sequence
// gives U+FFFD for its first byte (or, with `keep_bad_bytes`, that byte as kBadByteBase + byte).
std::u32string decode(std::string_view in, iconv_t cd = to_utf32(), bool keep_bad_bytes = false) {
    std::u32string out;
    const auto bad = [keep_bad_bytes](unsigned char c) { return keep_bad_bytes ? kBadByteBase + c : kReplacement; };
    if (!cd) {
        for (unsigned char c : in) out.push_back(c < 0x80 ? c : bad(c));
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char32_t> buf(in.size() + 1);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    while (src_left > 0) {
        char* dst = reinterpret_cast<char*>(buf.data());
        size_t dst_left = buf.size() * sizeof(char32_t);
        size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
        size_t produced = (buf.size() * sizeof(char32_t) - dst_left) / sizeof(char32_t);
        for (size_t i = 0; i < produced; ++i) out.push_back(static_cast<char32_t>(le32toh(buf[i])));
        if (r == static_cast<size_t>(-1) && (errno == EILSEQ || errno == EINVAL)) {
            out.push_back(bad(static_cast<unsigned char>(*src)));
            ++src;
            --src_left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            break;
        }
    }
    // A stateful charset (CP1255, CP1258) holds its last letter back for a combining mark that may follow.
    char* dst = reinterpret_cast<char*>(buf.data());
    size_t dst_left = buf.size() * sizeof(char32_t);
    iconv(cd, nullptr, nullptr, &dst, &dst_left);
    const size_t held = (buf.size() * sizeof(char32_t) - dst_left) / sizeof(char32_t);
    for (size_t i = 0; i < held; ++i) out.push_back(static_cast<char32_t>(le32toh(buf[i])));
    return out;
}

// One code point to CP932 bytes; false when CP932 has no such character.
bool encode_one(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return true;
    }
    iconv_t cd = from_utf32();
    if (!cd) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    uint32_t le = htole32(static_cast<uint32_t>(cp));
    char* src = reinterpret_cast<char*>(&le);
    size_t src_left = sizeof(le);
    char tmp[8];
    char* dst = tmp;
    size_t dst_left = sizeof(tmp);
    if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) return false;
    // iconv also gives CP932's bytes for look-alikes CP932 does not hold (the yen sign and the overline as 0x5C and
    // 0x7E, the em dash as the horizontal bar): those are not CP932's, and a "\\" is never made out of "¥".
    const std::string_view bytes(tmp, sizeof(tmp) - dst_left);
    if ((bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) < 0x80) || cp == 0x2014) return false;
    out.append(bytes);
    return true;
}

// UTF-8 to code points; a malformed byte gives U+FFFD.
std::u32string utf8_to_u32(std::string_view s) {
    std::u32string out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool good = len > 0 && i + len <= s.size();
        for (int k = 1; good && k < len; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) good = false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (good && (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))) good = false;
        if (!good) {
            out.push_back(kReplacement);
            ++i;
        } else {
            out.push_back(cp);
            i += len;
        }
    }
    return out;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u32string utf16_to_u32(std::u16string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            out.push_back(kReplacement);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// In a text, a character CP932 holds only as a look-alike is shown as the CP932 character that is what it is (the
// yen and overline as their full-width forms, the em dash as the horizontal bar JIS reads 0x815C as), never as
// the ASCII bytes iconv would give; a name keeps its exact escape instead.
char32_t cp932_equal(char32_t cp) {
    switch (cp) {
    case 0x2014: return 0x2015;
    case 0x00A5: return 0xFFE5;
    case 0x203E: return 0xFFE3;
    default: return cp;
    }
}

std::string encode(const std::u32string& cps, bool escape_names, bool* lossless) {
    std::string out;
    out.reserve(cps.size() * 2);
    bool all = true;
    for (char32_t cp : cps) {
        if (cp != kReplacement && encode_one(escape_names ? cp : cp932_equal(cp), out)) continue;
        if (escape_names && cp < kEscSpan * kEscSpan) {
            encode_one(kEscBase + cp / kEscSpan, out);
            encode_one(kEscBase + kEscSpan + cp % kEscSpan, out);
            continue;
        }
        out.push_back('?');
        all = false;
    }
    if (lossless) *lossless = all;
    return out;
}

// Only what the escape was made for comes out of it: a character CP932 cannot hold (or the replacement
// character). A pair that would spell anything else, above all ".", a separator or a control character, is no
// escape and stays as its two characters, so a crafted name cannot climb out of a folder through the codec.
bool escapable(char32_t cp) {
    if (cp < 0xA0 || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) return false;
    if (cp == kReplacement) return true;
    std::string ignored;
    return !encode_one(cp, ignored);
}

std::u32string unescape(const std::u32string& in) {
    std::u32string out;
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t a = in[i];
        if (a >= kEscBase && a < kEscBase + kEscSpan && i + 1 < in.size()) {
            char32_t b = in[i + 1];
            if (b >= kEscBase + kEscSpan && b < kEscBase + 2 * kEscSpan) {
                const char32_t cp = (a - kEscBase) * kEscSpan + (b - kEscBase - kEscSpan);
                if (escapable(cp)) {
                    out.push_back(cp);
                    ++i;
                    continue;
                }
            }
        }
        out.push_back(a);
    }
    return out;
}

}  // namespace

std::string cp932_to_utf8(std::string_view sjis) {
    std::string out;
    for (char32_t cp : decode(sjis)) append_utf8(out, cp);
    return out;
}

std::string charset_to_cp932(std::string_view bytes, const char* charset, bool* lossless) {
    Converter from("UTF-32LE", charset ? charset : "");
    std::u32string cps = decode(bytes, from.ok() ? from.get() : nullptr);
    return encode(cps, false, lossless);
}

std::string charset_to_utf8(std::string_view bytes, const char* charset) {
    Converter from("UTF-32LE", charset ? charset : "");
    std::string out;
    for (char32_t cp : decode(bytes, from.ok() ? from.get() : nullptr)) append_utf8(out, cp);
    return out;
}

std::string utf8_to_cp932(std::string_view utf8, bool* lossless) { return encode(utf8_to_u32(utf8), false, lossless); }

std::u16string cp932_to_utf16(std::string_view sjis) {
    std::u16string out;
    for (char32_t cp : decode(sjis)) {
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string utf16_to_cp932(std::u16string_view utf16, bool* lossless) {
    return encode(utf16_to_u32(utf16), false, lossless);
}

std::string utf8_name_to_cp932(std::string_view utf8) { return encode(utf8_to_u32(utf8), true, nullptr); }

std::string cp932_name_to_utf8(std::string_view sjis) {
    std::string out;
    for (char32_t cp : unescape(decode(sjis))) append_utf8(out, cp);
    return out;
}

std::string cp932_name_to_shown_utf8(std::string_view sjis, const std::function<std::string(std::string)>& reshape) {
    std::string text;
    for (char32_t cp : unescape(decode(sjis, to_utf32(), true))) append_utf8(text, cp);
    if (reshape) text = reshape(std::move(text));
    // The kept bytes come out of append_utf8 as ED B0..B3 xx, a sequence nothing else gives.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto next = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (lead != 0xED || next < 0xB0 || next > 0xB3) {
            out.push_back(text[i]);
            continue;
        }
        const unsigned byte = ((next & 0x03u) << 6) | (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        constexpr char kHex[] = "0123456789ABCDEF";
        out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
        i += 2;
    }
    return out;
}

}  // namespace kz::platform
