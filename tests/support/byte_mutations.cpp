#include "tests/support/byte_mutations.h"

#include <cstdint>
#include <cstring>
#include <random>

namespace kz::test {

std::vector<std::string> byte_mutations(const std::string& good, int count, unsigned seed) {
    // The standard engine is specified bit for bit; the distributions are not, so none is used.
    std::mt19937 random(seed);
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    static const char kEdges[] = {0,
                                  0x7F,
                                  static_cast<char>(0x80),
                                  static_cast<char>(0xFF),
                                  '0',
                                  '9',
                                  '-',
                                  '.',
                                  ',',
                                  '\t',
                                  '\r',
                                  '\n',
                                  '"',
                                  '[',
                                  '=',
                                  ' '};
    static const std::int32_t kExtremes[] = {INT32_MIN, INT32_MAX, -1, 0x7FFF, 0x10000};
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string s = good;
        for (std::size_t changes = 1 + below(4); changes > 0; --changes) {
            const std::size_t at = below(s.size() + 1), span = 1 + below(s.size() / 8 + 1);
            switch (random() % 7) {
            case 0:
                if (at < s.size()) s[at] = static_cast<char>(s[at] ^ (1 << below(8)));
                break;
            case 1:
                if (at < s.size()) s[at] = kEdges[below(sizeof kEdges)];
                break;
            case 2:
                if (at + 4 <= s.size()) std::memcpy(&s[at], &kExtremes[below(5)], 4);
                break;
            case 3: s.erase(at, span); break;
            case 4: s.insert(at, s.substr(at, span)); break;
            case 5: s.resize(at); break;
            default:
                for (std::size_t k = 0; k < span % 16; ++k)
                    s.insert(s.begin() + static_cast<long>(at), static_cast<char>(random()));
                break;
            }
        }
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace kz::test
