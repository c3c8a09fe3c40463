// The libraries' lines to the user, each escaped on its way, to the host program's function or standard error.
#include "platform/report.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>

#include <QChar>

#include "platform/text_codec.h"

namespace kz::platform {

namespace {

// Movies and meshes may be written and read away from the main thread, and the private folder's removals say
// their lines from a thread of their own.
std::atomic<ReportFunction> g_report{nullptr};

// The line report_once said last. Never destroyed: the private folder's removals may still say a line from their
// own thread while the program exits.
struct Reported {
    std::mutex m;
    std::string last;
};

Reported& reported() {
    static Reported* const r = new Reported;
    return *r;
}

bool continuation(std::string_view text, std::size_t at, unsigned char low = 0x80, unsigned char high = 0xBF) {
    if (at >= text.size()) return false;
    const auto c = static_cast<unsigned char>(text[at]);
    return c >= low && c <= high;
}

// The length of the well-formed UTF-8 character at `at` (shortest form, no surrogates, at most U+10FFFF); 0 when
// the bytes there are none.
std::size_t utf8_length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(text, at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(text, at + 1, low, high) && continuation(text, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(text, at + 1, low, high) && continuation(text, at + 2) && continuation(text, at + 3) ? 4
                                                                                                                 : 0;
    }
    return 0;
}

// The code point of a well-formed UTF-8 character of `length` bytes.
char32_t code_point(std::string_view text, std::size_t at, std::size_t length) {
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t cp = static_cast<unsigned char>(text[at]) & kLeadBits[length];
    for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    return cp;
}

// Unicode's Default_Ignorable_Code_Point (DerivedCoreProperties.txt, 15.0): what a terminal or a window shows as
// nothing, so that in a name it may hide letters or make two names look alike (the soft hyphen, the combining
// grapheme joiner, the Hangul fillers, Khmer's inherent vowels, Mongolian's free variation selectors, the zero-width
// characters and bidirectional controls, tags, and the code points kept unassigned to show as nothing). The
// variation selectors (U+FE00 to U+FE0F, U+E0100 to U+E01EF) are left out: they pick a glyph's form in Japanese
// names.
struct CodePointRange {
    char32_t first, last;
};
constexpr CodePointRange kShownAsNothing[] = {
    {0x00AD, 0x00AD}, {0x034F, 0x034F},   {0x061C, 0x061C},   {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x180B, 0x180F},
    {0x200B, 0x200F}, {0x202A, 0x202E},   {0x2060, 0x206F},   {0x3164, 0x3164},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
    {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE00FF}, {0xE01F0, 0xE0FFF},
};

// Controls, line and paragraph separators, what shows as nothing, and every other format character too (the
// interlinear annotation marks, the marks that prefix a number, hieroglyph controls), as the Unicode tables Qt
// carries class them.
bool shown_as_escape(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return true;
    if (std::any_of(std::begin(kShownAsNothing), std::end(kShownAsNothing),
                    [cp](const CodePointRange& r) { return cp >= r.first && cp <= r.last; }))
        return true;
    switch (QChar::category(cp)) {
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

}  // namespace

ReportFunction set_report_function(ReportFunction function) { return g_report.exchange(function); }

std::string escape_line(std::string_view line) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size();) {
        const auto c = static_cast<unsigned char>(line[i]);
        const std::size_t length = c < 0x80 ? 1 : utf8_length(line, i);
        // A byte that is no part of a character shows alone, a control or format character byte by byte.
        const std::size_t shown = length == 0 ? 1 : shown_as_escape(code_point(line, i, length)) ? length : 0;
        for (std::size_t k = 0; k < shown; ++k) {
            const auto b = static_cast<unsigned char>(line[i + k]);
            out += {'\\', 'x', kHex[b >> 4], kHex[b & 0x0F]};
        }
        if (shown == 0) out.append(line, i, length);
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

std::string escape_shown_sjis(std::string_view sjis) { return utf8_to_cp932(escape_line(cp932_to_utf8(sjis))); }

void report_line(std::string_view line) {
    std::string shown = escape_line(line);
    if (const ReportFunction f = g_report.load()) {
        f(shown);
        return;
    }
    // One write, so that a line said on another thread meanwhile does not land inside it.
    shown += '\n';
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

// Each problem with the user's folders is said once, not at every look at them; a new one is said again.
void report_once(const std::string& line) {
    Reported& r = reported();
    std::lock_guard lock(r.m);
    if (line == r.last) return;
    r.last = line;
    report_line(line);
}

std::string with_error(std::string_view what, int error) {
    return std::string(what) + " (" + std::strerror(error) + ")";
}

}  // namespace kz::platform
