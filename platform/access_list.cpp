// POSIX access lists read as the raw bytes the kernel keeps.
#include "platform/access_list.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <tuple>

#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"

namespace kz::platform {
namespace {

constexpr std::size_t kHeaderBytes = 4, kEntryBytes = 8;
constexpr std::uint32_t kVersion = 2;

std::uint32_t little_endian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A list read by `get` (the size first, then the bytes), as getxattr or fgetxattr answers.
template <typename Get>
bool read_list(Get get, std::string* list) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = get(nullptr, 0);
        if (size >= 0) {
            list->resize(static_cast<std::size_t>(size));
            size = get(list->data(), list->size());
        }
        if (size >= 0) {
            list->resize(static_cast<std::size_t>(size));
            return true;
        }
        list->clear();
        if (errno == ENODATA || errno == ENOTSUP) return true;  // none, or none on this file system
        if (errno != ERANGE) break;                             // ERANGE: it grew between the two calls
    }
    return false;
}

}  // namespace

bool read_access_list(int fd, std::string* list, const char* which) {
    const std::string self = proc_fd_path(fd);
    return read_list([&](char* to, std::size_t size) { return ::getxattr(self.c_str(), which, to, size); }, list);
}

bool read_held_list(int fd, const char* which, std::string* list) {
    return read_list([&](char* to, std::size_t size) { return ::fgetxattr(fd, which, to, size); }, list);
}

bool access_entries(const std::string& list, std::vector<AccessEntry>* entries, std::string* why) {
    entries->clear();
    if (list.size() < kHeaderBytes || (list.size() - kHeaderBytes) % kEntryBytes != 0) {
        *why = kz::crt::int_text(list.size()) + " bytes, not a version and whole entries";
        return false;
    }
    if (little_endian(list, 0, 4) != kVersion) {
        *why = "version " + kz::crt::int_text(little_endian(list, 0, 4)) + ", not 2";
        return false;
    }
    for (std::size_t at = kHeaderBytes; at < list.size(); at += kEntryBytes)
        entries->push_back({static_cast<std::uint16_t>(little_endian(list, at, 2)),
                            static_cast<std::uint16_t>(little_endian(list, at + 2, 2)),
                            little_endian(list, at + 4, 4)});
    return true;
}

std::string access_list_bytes(std::vector<AccessEntry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const AccessEntry& a, const AccessEntry& b) { return std::tie(a.tag, a.id) < std::tie(b.tag, b.id); });
    std::string bytes;
    const auto put = [&bytes](std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(kVersion, 4);
    for (const AccessEntry& e : entries) put(e.tag, 2), put(e.rights, 2), put(e.id, 4);
    return bytes;
}

}  // namespace kz::platform
