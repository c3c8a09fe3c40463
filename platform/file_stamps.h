// What one look at a file (fstat on a descriptor, fstatat on a name) says about it, taken alike by the readers and
// the writers here, so that a file read and the file a save finds under its name compare as they should.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>

#include "platform/content_digest.h"

namespace kz::platform {

// What a file is, whatever names or links lead to it (its device and inode), and how it stood when it was looked
// at: its modification and change times and its size, which every write to it moves (and every change of its
// attributes moves the change time), with its permission bits, owner and group. Two records are equal only when all
// of these are: a file rewritten in place, or a new file that was given a freed inode number, is not the file looked
// at before. A rewrite that keeps the size within one tick of the file system's clock leaves every stamp as it was:
// where the bytes were read or written whole, their digest is kept beside the stamps (outside the equality, which a
// look at the stamps alone can tell), and only a look at the bytes sees such a rewrite (WriteLanding::holds).
// Unknown (all zero) where there was no file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t modified = 0;  // nanoseconds since 1970-01-01 UTC
    std::int64_t changed = 0;
    std::uint64_t size = 0;
    std::uint32_t mode = 0;  // the permission bits alone (0777)
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    ContentDigest content;  // of the bytes read or written whole; unknown after a look at the stamps alone
    // Its access list as the kernel keeps it ("system.posix_acl_access"), read through the descriptor the file was
    // read or written through, with the stamps: empty where it has none. Not known (access_list_known false) after
    // a look at the stamps alone, or where it could not be read. Outside the equality too: setting a list moves the
    // change time.
    std::string access_list;
    bool access_list_known = false;
    bool known() const { return inode != 0; }
    // The same file, changed or not: its device and inode, and its owner, as a file system that hands a freed
    // inode number to the next file made gives it to a file of whoever made that.
    bool same_file(const FileIdentity& o) const { return device == o.device && inode == o.inode && owner == o.owner; }
    bool operator==(const FileIdentity& o) const {
        return std::tie(device, inode, modified, changed, size, mode, owner, group) ==
               std::tie(o.device, o.inode, o.modified, o.changed, o.size, o.mode, o.owner, o.group);
    }
};

FileIdentity identity_of(const struct stat& st);
// The one look at a file that every identity here is taken from: fstat on a descriptor, fstatat on a name in the
// folder open at `dirfd` (AT_FDCWD: a path). False, with errno saying why, when the system gives no answer.
bool stat_of(int fd, struct stat* st);
bool stat_at(int dirfd, const std::string& name, struct stat* st, int flags);
// `identity` with the access list of the file open (for reading or writing) at `fd`, which it was taken from.
void record_access_list(int fd, FileIdentity* identity);
// Test hook: what the system answers to every look above passes through `seen` first, which may give the file
// another inode number, other stamps or another owner, as a file system that hands out freed numbers or keeps coarse
// stamps would; empty to remove.
void set_file_looks_for_tests(std::function<void(struct stat*)> seen);

}  // namespace kz::platform
