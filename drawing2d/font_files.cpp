// Loading font files into a font block: single-byte fonts (".ank" as they are, ".bin" converted to the same
// layout) and kanji fonts (".fnt" as they are, an ".idx" and ".dat" pair combined into the same layout). A file
// that is missing, too large or not in its format gives an entry without data, which no slot refers to.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "drawing2d/lumfont.h"
#include "drawing2d/stroke_glyphs.h"
#include "drawing2d/text_utils.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
constexpr std::size_t kMaxFonts = 64;
constexpr std::size_t kAnkFileLimit = std::size_t(1) << 20;     // 16-bit glyph offsets address far less
constexpr std::size_t kKanjiFileLimit = std::size_t(32) << 20;  // the largest stroke fonts are a few MB
constexpr std::size_t kBinGlyphStart = 322;
constexpr unsigned char kRangeMarker[4] = {'!', '~', '!', '~'};

constexpr unsigned kLumfontFlags = kz::crt::kGlobalMoveable | kz::crt::kGlobalZeroInit | kz::crt::kGlobalShare;

unsigned read16(const unsigned char* p) { return p[0] | p[1] << 8; }
void write16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void release_entry(lumfont_entry*& entry) {
    if (!entry) return;
    release_block(entry->data);
    entry = static_cast<lumfont_entry*>(release_block(entry));
}

void release_fonts(lumfont_entry** fonts, int32_t& count) {
    for (std::size_t i = 0; i < kMaxFonts; ++i) release_entry(fonts[i]);
    count = 0;
}

// A heap copy of bytes (with `size` bytes of room, the rest zero).
void* block_of(const std::string& bytes, std::size_t size) {
    void* block = fresh_block(nullptr, size);
    if (block) std::memcpy(block, bytes.data(), bytes.size() < size ? bytes.size() : size);
    return block;
}

// A ".bin" font: a 2-byte head, 96 offsets for the codes 0x20..0x7F, 64 for 0xA0..0xDF, then the glyphs, the
// offsets counted from byte 2. The result has 256 offsets from its start and the glyphs at byte 512.
void* convert_bin_font(const std::string& file, std::size_t* size) {
    if (file.size() < kBinGlyphStart) return nullptr;
    *size = file.size() + 254;
    auto* block = static_cast<unsigned char*>(fresh_block(nullptr, *size));
    if (!block) return nullptr;
    const auto* in = reinterpret_cast<const unsigned char*>(file.data());
    std::memcpy(block + 512, in + kBinGlyphStart, file.size() - kBinGlyphStart);
    auto move_offset = [&](std::size_t from, int entry) {
        unsigned offset = read16(in + from);
        if (offset != 0 && offset + 192 <= 0xFFFF) write16(block + 2 * entry, offset + 192);
    };
    for (int i = 0; i < 96; ++i) move_offset(2 + 2 * i, 32 + i);
    for (int j = 0; j < 64; ++j) move_offset(194 + 2 * j, 160 + j);
    return block;
}

// A kanji block is taken only when its header says what the format says (the index size in all four bytes, not
// just the first two) and its glyph directory fits the bytes.
bool valid_kanji_block(const unsigned char* block, std::size_t size) {
    if (!block || size < kKanjiGlyphStart || read_le32(block) != kKanjiIndexBytes) return false;
    if (std::memcmp(block + 4, kRangeMarker, 4) != 0) return false;
    StrokeFontBlock glyphs;
    return glyphs.attach(block, size);
}

void* combine_idx_dat(const std::string& idx, const std::string& dat, std::size_t* size) {
    if (idx.size() > kKanjiIndexBytes) return nullptr;
    *size = dat.size() + 35502;
    auto* block = static_cast<unsigned char*>(fresh_block(nullptr, *size));
    if (!block) return nullptr;
    write16(block, kKanjiIndexBytes);
    std::memcpy(block + 4, kRangeMarker, 4);
    std::memcpy(block + 30, idx.data(), idx.size());
    std::memcpy(block + kKanjiGlyphStart, dat.data(), dat.size());
    return block;
}

lumfont_entry* new_entry(const std::string& file_name) {
    auto* entry = static_cast<lumfont_entry*>(fresh_block(nullptr, sizeof(lumfont_entry)));
    if (entry) std::snprintf(entry->file_name, sizeof entry->file_name, "%s", file_name.c_str());
    return entry;
}

// Adds an entry per file matching the pattern, its data made by `load` from the file's path.
template <class Load>
void add_fonts(lumfont_entry** fonts, int32_t& count, const std::string& directory, const char* pattern, Load load) {
    for (const kz::platform::FileInfo& info : kz::platform::find_files(directory + pattern)) {
        if (info.directory || static_cast<std::size_t>(count) >= kMaxFonts) continue;
        lumfont_entry* entry = new_entry(info.name);
        if (!entry) return;
        entry->data = load(directory + info.name, info.name, &entry->size);
        if (!entry->data) entry->size = 0;
        fonts[count++] = entry;
    }
}

bool copy_directory(char (&field)[512], const char* directory) {
    std::size_t n = directory ? std::strlen(directory) : 0;
    if (n >= sizeof field) return false;
    std::memcpy(field, directory ? directory : "", n + 1);
    return true;
}
void add_ank_fonts(lumfont_entry** fonts, int32_t& count, const std::string& dir) {
    auto whole = [](const std::string& path, const std::string&, std::size_t* size) -> void* {
        std::string bytes;
        if (!kz::platform::read_whole_file(path, &bytes, kAnkFileLimit) || bytes.empty()) return nullptr;
        *size = bytes.size();
        return block_of(bytes, bytes.size());
    };
    auto bin = [](const std::string& path, const std::string&, std::size_t* size) -> void* {
        std::string bytes;
        if (!kz::platform::read_whole_file(path, &bytes, kAnkFileLimit)) return nullptr;
        return convert_bin_font(bytes, size);
    };
    add_fonts(fonts, count, dir, "*.ank", whole);
    add_fonts(fonts, count, dir, "*.bin", bin);
}

void add_kanji_fonts(lumfont_entry** fonts, int32_t& count, const std::string& dir) {
    auto fnt = [](const std::string& path, const std::string&, std::size_t* size) -> void* {
        std::string bytes;
        if (!kz::platform::read_whole_file(path, &bytes, kKanjiFileLimit)) return nullptr;
        if (!valid_kanji_block(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) return nullptr;
        *size = bytes.size();
        return block_of(bytes, bytes.size());
    };
    auto idx = [&dir](const std::string& path, const std::string& name, std::size_t* size) -> void* {
        std::string index, glyphs;
        std::string dat = dir + name.substr(0, name.rfind('.')) + ".dat";
        if (!kz::platform::read_whole_file(path, &index, kKanjiIndexBytes) ||
            !kz::platform::read_whole_file(dat, &glyphs, kKanjiFileLimit))
            return nullptr;
        void* block = combine_idx_dat(index, glyphs, size);
        if (block && !valid_kanji_block(static_cast<const unsigned char*>(block), *size)) block = release_block(block);
        return block;
    };
    add_fonts(fonts, count, dir, "*.fnt", fnt);
    add_fonts(fonts, count, dir, "*.idx", idx);
}

// Replaces the fonts of one kind with those of the directory; the drawings linked to the block follow.
int reload_fonts(lumfont_handle handle, const char* directory, bool kanji) {
    lumfont_context* fonts = lumfont_lock(handle);
    if (!fonts) return 1;
    lumfont_entry** list = kanji ? fonts->kanji_fonts : fonts->ank_fonts;
    int32_t& count = kanji ? fonts->kanji_count : fonts->ank_count;
    char(&dir)[512] = kanji ? fonts->kanji_directory : fonts->ank_directory;
    release_fonts(list, count);
    if (copy_directory(dir, directory)) (kanji ? add_kanji_fonts : add_ank_fonts)(list, count, dir);
    refresh_linked_drawings(fonts);
    lumfont_unlock(handle);
    return 0;
}
}  // namespace

lumfont_handle lumfont_open() { return kz::crt::global_alloc(kLumfontFlags, sizeof(lumfont_context)); }

lumfont_context* lumfont_lock(lumfont_handle handle) {
    if (!handle || !kz::crt::global_is_moveable(handle) || kz::crt::global_size(handle) != sizeof(lumfont_context))
        return nullptr;
    return static_cast<lumfont_context*>(kz::crt::global_lock(handle));
}

void lumfont_unlock(lumfont_handle handle) {
    if (handle) kz::crt::global_unlock(handle);
}

int lumfont_load_ank(lumfont_handle handle, const char* directory) { return reload_fonts(handle, directory, false); }

int lumfont_load_kanji(lumfont_handle handle, const char* directory) { return reload_fonts(handle, directory, true); }

int lumfont_close(lumfont_handle handle) {
    lumfont_context* fonts = lumfont_lock(handle);
    if (!fonts) return 0;
    forget_font_block(fonts);
    release_fonts(fonts->ank_fonts, fonts->ank_count);
    release_fonts(fonts->kanji_fonts, fonts->kanji_count);
    lumfont_unlock(handle);
    kz::crt::global_free(handle);
    return 1;
}

}  // namespace kz::drawing2d
