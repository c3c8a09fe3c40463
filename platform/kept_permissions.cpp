// The rights a replacing write's new file takes from the file it replaces, set on the new file before its rename.
#include "platform/kept_permissions.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/access_list.h"
#include "platform/descriptor.h"
#include "platform/file_stamps.h"

namespace kz::platform {
namespace {

constexpr mode_t kGroupRights = 070;
constexpr char kUserAttributes[] = "user.";

mode_t usual_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool has_group(int fd, std::uint32_t gid) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_gid == gid;
}

// Whether the file open at `fd` belongs to `gid`, given it where the system lets the user: a member of the group (or
// root) may; anyone else gets EPERM, and a file made in a set-group-ID folder keeps that folder's group.
bool give_group(int fd, std::uint32_t gid) {
    if (has_group(fd, gid)) return true;
    return ::fchown(fd, static_cast<uid_t>(-1), gid) == 0 && has_group(fd, gid);
}

// The names of the attributes of the file at `path` (a /proc/self/fd name), NUL-separated; empty when none.
std::string attribute_names(const std::string& path) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        if (size <= 0) return {};
        std::string names(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::listxattr(path.c_str(), names.data(), names.size());
        if (got >= 0) return names.substr(0, static_cast<std::size_t>(got));
        if (errno != ERANGE) return {};  // ERANGE: one was added between the two calls
    }
    return {};
}

// The "user." attributes of the file at `path` (a /proc/self/fd name) copied to the file open at `fd`; one that
// cannot be read or set (a file system without them says ENOTSUP) is left out.
void copy_user_attributes(const std::string& path, int fd) {
    const std::string names = attribute_names(path);
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        if (std::strncmp(name, kUserAttributes, sizeof kUserAttributes - 1) != 0) continue;
        const ssize_t size = ::getxattr(path.c_str(), name, nullptr, 0);
        if (size < 0) continue;
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::getxattr(path.c_str(), name, value.data(), value.size());
        if (got >= 0) ::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(got), 0);
    }
}

// The group's rights of a file that has `entries` for its access list once the list is left behind: those of its
// own entry, under the mask; none where the list cannot be read.
mode_t owning_group_rights(const std::vector<AccessEntry>& entries) {
    std::uint16_t own = 0, mask = 07;
    for (const AccessEntry& e : entries) {
        if (e.tag == kAclOwningGroup) own = e.rights;
        if (e.tag == kAclMask) mask = e.rights;
    }
    return static_cast<mode_t>((own & mask) << 3);
}

// The new file open at `fd` takes what the file open at `source` (an O_PATH descriptor of the file read, as it
// stands now: `now`) holds.
void keep_from(int fd, int source, const struct stat& now) {
    mode_t mode = now.st_mode & 0777;
    // Root saving another user's file leaves it theirs; anyone else cannot give a file away and owns the new one.
    if (now.st_uid != ::geteuid()) ::fchown(fd, now.st_uid, static_cast<gid_t>(-1));
    const bool group_kept = give_group(fd, now.st_gid);
    std::string list;
    std::vector<AccessEntry> entries;
    std::string why;
    if (!read_access_list(source, &list)) {
        // Whether it has a list is not known: its group bits may be a mask that allows more than its group had.
        mode &= ~kGroupRights;
    } else if (list.empty()) {
        if (!group_kept) mode &= ~kGroupRights;
    } else {
        bool copied = false, masked = false;
        if (access_entries(list, &entries, &why)) {
            // With a list, the group's rights are its own entry's; the mask (the group bits of the mode) stays for
            // the users and groups the list names.
            for (AccessEntry& e : entries) {
                if (e.tag == kAclOwningGroup && !group_kept) e.rights = 0;
                masked = masked || e.tag == kAclMask;
            }
            const std::string kept = access_list_bytes(entries);
            copied = ::fsetxattr(fd, kAccessListName, kept.data(), kept.size(), 0) == 0;
        }
        if (!copied) {
            mode = (mode & ~kGroupRights) | (group_kept ? owning_group_rights(entries) : 0);
        } else if (!masked && !group_kept) {
            mode &= ~kGroupRights;  // without a mask the group bits are the group's own entry
        }
    }
    // The bits go through the list where there is one: the owner's entry, the mask and the others' entry.
    ::fchmod(fd, mode);
    copy_user_attributes(proc_fd_path(source), fd);
}

}  // namespace

void keep_permissions(int fd, int dirfd, const std::string& name, const struct stat* present,
                      const FileIdentity& read) {
    const FileIdentity now = present ? identity_of(*present) : FileIdentity{};
    if (present && read.known() && read.same_file(now)) {
        // Looked at again through a descriptor of its own, from which its list and attributes are read: only while
        // that is still the file judged.
        Descriptor source(::openat(dirfd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st;
        if (source && stat_of(source.get(), &st) && identity_of(st) == now) return keep_from(fd, source.get(), st);
    }
    const mode_t usual = usual_mode();
    mode_t mode = (read.known() ? read.mode : usual) & (present ? now.mode : usual) & 0777;
    if (read.known() && !has_group(fd, read.group)) mode &= ~kGroupRights;
    ::fchmod(fd, mode);
}

}  // namespace kz::platform
