#include "tests/support/access_list.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sstream>
#include <tuple>
#include <vector>

namespace kz::test {
namespace {

constexpr char kName[] = "system.posix_acl_access", kDefaultName[] = "system.posix_acl_default";

struct Entry {
    std::uint16_t tag, rights;
    std::uint32_t id;
};

// The tags of the text form: the owner and named users "u", the owning group and named groups "g", the mask and
// the others; a named entry has its id.
std::uint16_t tag_of(char kind, bool named) {
    switch (kind) {
    case 'u': return named ? 0x02 : 0x01;
    case 'g': return named ? 0x08 : 0x04;
    case 'm': return 0x10;
    case 'o': return 0x20;
    default: return 0;
    }
}

bool set_list(const std::string& path, const char* kind, const std::string& entries) {
    std::vector<Entry> list;
    std::istringstream in(entries);
    for (std::string item; std::getline(in, item, ',');) {
        // kind ":" [id] ":" rwx
        const std::size_t first = item.find(':'), second = item.rfind(':');
        const std::string id = item.substr(first + 1, second - first - 1), rights = item.substr(second + 1);
        std::uint16_t r = 0;
        for (char c : rights) r |= c == 'r' ? 4 : c == 'w' ? 2 : c == 'x' ? 1 : 0;
        list.push_back(
            {tag_of(item[0], !id.empty()), r, id.empty() ? ~0u : static_cast<std::uint32_t>(std::stoul(id))});
    }
    std::sort(list.begin(), list.end(),
              [](const Entry& a, const Entry& b) { return std::tie(a.tag, a.id) < std::tie(b.tag, b.id); });
    std::string bytes;
    const auto put = [&](std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4);
    for (const Entry& e : list) put(e.tag, 2), put(e.rights, 2), put(e.id, 4);
    return ::setxattr(path.c_str(), kind, bytes.data(), bytes.size(), 0) == 0;
}

}  // namespace

bool set_access_list(const std::string& path, const std::string& entries) { return set_list(path, kName, entries); }

bool set_default_access_list(const std::string& path, const std::string& entries) {
    return set_list(path, kDefaultName, entries);
}

std::string access_list(const std::string& path) {
    std::string bytes(4 + 8 * 64, '\0');
    const ssize_t size = ::getxattr(path.c_str(), kName, bytes.data(), bytes.size());
    if (size < 4) return {};
    const auto get = [&](std::size_t at, int count) {
        std::uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    std::string text;
    for (std::size_t at = 4; at + 8 <= static_cast<std::size_t>(size); at += 8) {
        const std::uint32_t tag = get(at, 2), rights = get(at + 2, 2), id = get(at + 4, 4);
        const char kind = tag <= 0x02 ? 'u' : tag <= 0x08 ? 'g' : tag == 0x10 ? 'm' : 'o';
        const bool named = tag == 0x02 || tag == 0x08;
        text += (text.empty() ? "" : ",") + std::string(1, kind) + ":" + (named ? std::to_string(id) : "") + ":" +
                (rights & 4 ? "r" : "-") + (rights & 2 ? "w" : "-") + (rights & 1 ? "x" : "-");
    }
    return text;
}

}  // namespace kz::test
