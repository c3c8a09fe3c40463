// Build-time generator of the program's stroke font block: renders every JIS X 0208 character of an outline
// font through FreeType, thins it to centre lines and writes the strokes as a font block in a C++ source file.
//
// usage: kz_fontgen <outline font file> <output .cpp> [<raw block file>]
//
// The block: uint32 header size H, the column and row ranges in bytes 4..7, then a directory of uint32 glyph
// offsets (one per row and column, row by row, 0 = no glyph) from byte 30, and from byte 30 + H the glyphs: a
// segment count n and n segments x1 y1 x2 y2, one byte each, in 1/194 of the character height, y upward.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "glyph_skeleton.h"

namespace {

constexpr int kColumnLow = 0x21, kColumnHigh = 0x7E, kRowLow = 0x21, kRowHigh = 0x74;
constexpr int kPixels = 128;      // rendering size of one em
constexpr double kUnits = 194.0;  // font units per character height
constexpr int kMaxSegments = 255;

struct Segment {
    std::uint8_t x1, y1, x2, y2;
};

// The Unicode character of a JIS X 0208 code; 0 when there is none. EUC-JP-MS carries the same rows as code
// page 932, including its NEC special characters in row 13, so the font covers what the program can type.
class JisToUnicode {
public:
    JisToUnicode() : cd_(iconv_open("UTF-32LE", "EUC-JP-MS")) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) cd_ = iconv_open("UTF-32LE", "EUC-JP");
    }
    ~JisToUnicode() {
        if (ok()) iconv_close(cd_);
    }
    JisToUnicode(const JisToUnicode&) = delete;
    JisToUnicode& operator=(const JisToUnicode&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::uint32_t operator()(int row, int column) const {
        char in[2] = {static_cast<char>(row | 0x80), static_cast<char>(column | 0x80)};
        unsigned char out[8] = {};
        char* src = in;
        char* dst = reinterpret_cast<char*>(out);
        std::size_t in_left = 2, out_left = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &in_left, &dst, &out_left) == static_cast<std::size_t>(-1) || out_left != 4) return 0;
        return out[0] | out[1] << 8 | out[2] << 16 | static_cast<std::uint32_t>(out[3]) << 24;
    }

private:
    iconv_t cd_;
};

std::uint8_t to_unit(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// The strokes of one rendered glyph in font units; empty for a glyph without ink (the space).
std::vector<Segment> glyph_strokes(const FT_GlyphSlot slot, double descent) {
    const FT_Bitmap& bm = slot->bitmap;
    fontgen::InkGrid grid;
    grid.width = static_cast<int>(bm.width) + 2;
    grid.height = static_cast<int>(bm.rows) + 2;
    grid.ink.assign(static_cast<std::size_t>(grid.width) * grid.height, 0);
    for (unsigned r = 0; r < bm.rows; ++r)
        for (unsigned c = 0; c < bm.width; ++c)
            grid.ink[(r + 1) * grid.width + c + 1] = bm.buffer[r * bm.pitch + c] >= 128;
    fontgen::hollow_solid_ink(grid, static_cast<int>(kPixels * 0.1));
    fontgen::thin_ink(grid);
    const std::vector<fontgen::Chain> chains = fontgen::trace_chains(grid, kPixels * 0.06);

    // Grid point to font units: the em's left edge is x 0 and its bottom (the descent below the base line) y 0.
    const double scale = kUnits / kPixels;
    auto unit_x = [&](double gx) { return to_unit((slot->bitmap_left + gx - 1 + 0.5) * scale); };
    auto unit_y = [&](double gy) { return to_unit((slot->bitmap_top - (gy - 1) - 0.5 + descent) * scale); };

    // Coarser tolerances until the glyph fits the block's segment count; the finest keeps curves round.
    for (double tolerance = 1.0;; tolerance *= 1.4) {
        std::vector<Segment> out;
        for (const fontgen::Chain& chain : chains) {
            const fontgen::Chain c = fontgen::simplify_chain(chain, tolerance);
            if (c.size() == 1) {  // a dot keeps a visible length
                const std::uint8_t x = unit_x(c[0].x), y = unit_y(c[0].y);
                out.push_back({x, y, static_cast<std::uint8_t>(std::min(x + 1, 255)), y});
                continue;
            }
            for (std::size_t i = 1; i < c.size(); ++i) {
                const Segment s{unit_x(c[i - 1].x), unit_y(c[i - 1].y), unit_x(c[i].x), unit_y(c[i].y)};
                if (s.x1 != s.x2 || s.y1 != s.y2 || c.size() == 2) out.push_back(s);
            }
        }
        if (out.size() <= static_cast<std::size_t>(kMaxSegments)) return out;
    }
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Written beside the target and renamed over it, so that an interrupted run leaves no half file that the
// build would take for finished.
bool write_source(const char* path, const std::vector<std::uint8_t>& block, const char* font_file) {
    const std::string temporary = std::string(path) + ".part";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    const char* base = std::strrchr(font_file, '/');
    std::fprintf(f,
                 "// Generated at build time by kz_fontgen from %s; do not edit.\n"
                 "#include \"app/foundation/stroke_font_data.h\"\n\n"
                 "namespace kz::foundation {\n"
                 "alignas(4) const unsigned char kStrokeFontBlock[] = {\n",
                 base ? base + 1 : font_file);
    std::string line;
    for (std::size_t i = 0; i < block.size(); ++i) {
        line += std::to_string(block[i]);
        line += ',';
        if (line.size() > 110 || i + 1 == block.size()) {
            line += '\n';
            std::fputs(line.c_str(), f);
            line.clear();
        }
    }
    std::fprintf(f,
                 "};\nconst std::size_t kStrokeFontBlockSize = sizeof(kStrokeFontBlock);\n"
                 "}  // namespace kz::foundation\n");
    const bool written = !std::ferror(f);
    if (std::fclose(f) != 0 || !written) {
        std::remove(temporary.c_str());
        return false;
    }
    return std::rename(temporary.c_str(), path) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kz_fontgen <outline font> <output.cpp> [<block.bin>]\n");
        return 2;
    }
    JisToUnicode to_unicode;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (!to_unicode.ok() || FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "kz_fontgen: no EUC-JP conversion or FreeType\n");
        return 1;
    }
    if (FT_New_Face(library, argv[1], 0, &face) != 0 || FT_Set_Pixel_Sizes(face, kPixels, kPixels) != 0) {
        std::fprintf(stderr, "kz_fontgen: cannot open %s\n", argv[1]);
        FT_Done_FreeType(library);
        return 1;
    }
    const double descent = -static_cast<double>(face->descender) * kPixels / face->units_per_EM;

    const int columns = kColumnHigh - kColumnLow + 1, rows = kRowHigh - kRowLow + 1;
    const std::size_t header = static_cast<std::size_t>(columns) * rows * 4;
    std::vector<std::uint8_t> block(30 + header, 0);
    put32(block, 0, static_cast<std::uint32_t>(header));
    block[4] = kColumnLow;
    block[5] = kColumnHigh;
    block[6] = kRowLow;
    block[7] = kRowHigh;
    int glyphs = 0;
    for (int row = kRowLow; row <= kRowHigh; ++row)
        for (int column = kColumnLow; column <= kColumnHigh; ++column) {
            const std::uint32_t code = to_unicode(row, column);
            const FT_UInt index = code ? FT_Get_Char_Index(face, code) : 0;
            if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) continue;
            const std::vector<Segment> strokes = glyph_strokes(face->glyph, descent);
            if (strokes.empty()) continue;
            const std::size_t entry =
                30 + 4 * (static_cast<std::size_t>(columns) * (row - kRowLow) + column - kColumnLow);
            put32(block, entry, static_cast<std::uint32_t>(block.size() - (30 + header) + 1));
            block.push_back(static_cast<std::uint8_t>(strokes.size()));
            for (const Segment& s : strokes) block.insert(block.end(), {s.x1, s.y1, s.x2, s.y2});
            ++glyphs;
        }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    if (argc > 3) {
        std::FILE* raw = std::fopen(argv[3], "wb");
        const bool written = raw && std::fwrite(block.data(), 1, block.size(), raw) == block.size();
        if (!raw || std::fclose(raw) != 0 || !written) {
            std::fprintf(stderr, "kz_fontgen: cannot write %s\n", argv[3]);
            return 1;
        }
    }
    if (!write_source(argv[2], block, argv[1])) {
        std::fprintf(stderr, "kz_fontgen: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("kz_fontgen: %d glyphs, %zu bytes\n", glyphs, block.size());
    return 0;
}
