// Reading the stroke font block and the process-wide font of the program; the block is used in place, the way
// the locked resource was, and is never copied or cached.
#include "app/foundation/stroke_font.h"

#include "platform/crt/jis_codes.h"
#include "platform/dialogs.h"

namespace kz::foundation {
namespace {

StrokeFontBlock g_font;
// The missing font is told once per load: a text of a thousand characters must not bring a thousand boxes.
bool g_missing_told = false;

void tell_font_missing(const char* text) {
    if (g_missing_told) return;
    g_missing_told = true;
    platform::message_box(nullptr, text, "LUMFONT", platform::MB_OK);
}

}  // namespace

void load_font_resource(const ResourceModule* module) {
    std::size_t size = 0;
    const unsigned char* data = lock_resource(module, "LUMFONT", "JAPANESEFNT", &size);
    g_missing_told = false;
    if (!g_font.attach(data, size)) tell_font_missing("not find!");
}

int get_kanji_line(const char* character, double* out) {
    if (g_font.empty()) {
        tell_font_missing("get_kanji_line not find!");
        return -1;
    }
    if (!character || !out) return -1;
    const auto* c = reinterpret_cast<const unsigned char*>(character);
    const unsigned code = c[0] == 0 ? 0 : c[1] == 0 ? kz::crt::sjis_full_width(c[0]) : (c[0] << 8 | c[1]);
    return g_font.glyph_segments(kz::crt::sjis_to_jis(code), out);
}

const StrokeFontBlock& stroke_font() { return g_font; }

}  // namespace kz::foundation
