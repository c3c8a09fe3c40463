// Font blocks made in the tests (a directory over chosen ranges and hand-written glyphs) and a scope that makes
// one of them the process's stroke font, with dialogs answering at once, and puts the program's font back.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "app/foundation/program_resources.h"
#include "app/foundation/stroke_font.h"
#include "platform/dialogs.h"

namespace kz::test {

using Segment = std::array<std::uint8_t, 4>;

struct TestFontBlock {
    unsigned column_low = 0x21, column_high = 0x7E, row_low = 0x21, row_high = 0x74;
    std::uint32_t extra_header = 0;                   // header bytes past the directory
    std::map<unsigned, std::vector<Segment>> glyphs;  // by JIS code

    std::vector<unsigned char> bytes() const {
        const std::uint32_t columns = column_high - column_low + 1, rows = row_high - row_low + 1;
        const std::uint32_t header = columns * rows * 4 + extra_header;
        std::vector<unsigned char> b(30 + header, 0);
        auto put32 = [&b](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
        };
        put32(0, header);
        b[4] = static_cast<unsigned char>(column_low);
        b[5] = static_cast<unsigned char>(column_high);
        b[6] = static_cast<unsigned char>(row_low);
        b[7] = static_cast<unsigned char>(row_high);
        for (const auto& [jis, segments] : glyphs) {
            const unsigned row = jis >> 8, column = jis & 0xFF;
            put32(30 + 4 * (columns * (row - row_low) + column - column_low),
                  static_cast<std::uint32_t>(b.size() - (30 + header) + 1));
            b.push_back(static_cast<unsigned char>(segments.size()));
            for (const Segment& s : segments) b.insert(b.end(), s.begin(), s.end());
        }
        return b;
    }
};

// While alive: dialogs in test mode and the given bytes (none: a module without the font) as the stroke font.
class ScopedStrokeFont {
public:
    explicit ScopedStrokeFont(const std::vector<unsigned char>* block) {
        platform::set_dialog_test_mode(true);
        if (block) {
            bytes_ = *block;
            entry_ = {"lumfont", "JapaneseFnt", bytes_.data(), bytes_.size()};
            module_ = {&entry_, 1};
        }
        foundation::load_font_resource(&module_);
    }
    ~ScopedStrokeFont() {
        foundation::load_font_resource(nullptr);
        platform::set_dialog_test_mode(false);
    }
    ScopedStrokeFont(const ScopedStrokeFont&) = delete;
    ScopedStrokeFont& operator=(const ScopedStrokeFont&) = delete;

private:
    std::vector<unsigned char> bytes_;
    foundation::ResourceEntry entry_{};
    foundation::ResourceModule module_{};
};

}  // namespace kz::test
