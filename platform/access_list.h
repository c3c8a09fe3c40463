// POSIX access lists as the kernel keeps them in "system.posix_acl_access", read raw for the folder rule: a 32-bit
// version (2), then per entry a 16-bit tag, 16-bit rights and a 32-bit id, all little-endian, in the kernel's order
// (the owner, named users, the owning group, named groups, the mask, others). The folder rule holds folders by O_PATH
// descriptors (a folder may be one the user cannot open for reading), which fgetxattr refuses (EBADF), so it reads
// them through /proc; a read and a save read the lists of the files they open through those descriptors.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kz::platform {

inline constexpr char kAccessListName[] = "system.posix_acl_access";
inline constexpr char kDefaultListName[] = "system.posix_acl_default";
inline constexpr std::uint16_t kAclOwner = 0x01, kAclUser = 0x02, kAclOwningGroup = 0x04, kAclGroup = 0x08,
                               kAclMask = 0x10, kAclOthers = 0x20;
inline constexpr std::uint16_t kAclWrite = 0x02;

struct AccessEntry {
    std::uint16_t tag = 0;
    std::uint16_t rights = 0;  // read 4, write 2, execute 1
    std::uint32_t id = 0;      // the user or group a named entry names
};

// The access list (or the list `which` names) of the file open at `fd` (an O_PATH descriptor too: it is read through
// /proc/self/fd), as the kernel keeps it: empty when the file has none or its file system keeps none; false, with
// errno saying why, when it cannot be read.
bool read_access_list(int fd, std::string* list, const char* which = kAccessListName);
// The access list (`which`: kAccessListName) or default list (kDefaultListName) of the file open at `fd` for reading
// or writing, read through that descriptor (no /proc): empty when it has none or its file system keeps none; false,
// with errno saying why, when it cannot be read.
bool read_held_list(int fd, const char* which, std::string* list);
// The entries of a list; false when it is not one (with the reason in `why`: not a version and whole entries, or
// another version).
bool access_entries(const std::string& list, std::vector<AccessEntry>* entries, std::string* why);
// The list of `entries` as the kernel takes it (they are put in its order).
std::string access_list_bytes(std::vector<AccessEntry> entries);

}  // namespace kz::platform
