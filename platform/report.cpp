// The libraries' lines to the user, each escaped on its way, to the host program's function or standard error.
#include "platform/report.h"

#include <atomic>
#include <cstdio>

namespace kz::platform {

namespace {

// Movies and meshes may be written and read away from the main thread.
std::atomic<ReportFunction> g_report{nullptr};

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

}  // namespace

ReportFunction set_report_function(ReportFunction function) { return g_report.exchange(function); }

std::string escape_line(std::string_view line) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(line.size());
    const auto escape = [&](char byte) {
        const auto b = static_cast<unsigned char>(byte);
        out += {'\\', 'x', kHex[b >> 4], kHex[b & 0x0F]};
    };
    for (std::size_t i = 0; i < line.size();) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += line[i++];
            continue;
        }
        const std::size_t length = c < 0x80 ? 0 : utf8_length(line, i);
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(line[i + 1]) < 0xA0;
        if (length == 0 || c1) {
            for (std::size_t k = 0; k < (c1 ? 2u : 1u); ++k) escape(line[i + k]);
            i += c1 ? 2 : 1;
            continue;
        }
        out.append(line, i, length);
        i += length;
    }
    return out;
}

void report_line(std::string_view line) {
    const std::string shown = escape_line(line);
    if (const ReportFunction f = g_report.load()) {
        f(shown);
        return;
    }
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
}

}  // namespace kz::platform
