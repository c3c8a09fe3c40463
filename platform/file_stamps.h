// What one look at a file (fstat on a descriptor, fstatat on a name) says about it, taken alike by the readers and
// the writers here, so that a file read and the file a save finds under its name compare as they should.
#pragma once
#include <sys/stat.h>

#include <functional>
#include <string>

#include "platform/file_system.h"

namespace kz::platform {

FileIdentity identity_of(const struct stat& st);
// The one look at a file that every identity here is taken from: fstat on a descriptor, fstatat on a name in the
// folder open at `dirfd` (AT_FDCWD: a path). False, with errno saying why, when the system gives no answer.
bool stat_of(int fd, struct stat* st);
bool stat_at(int dirfd, const std::string& name, struct stat* st, int flags);
// Test hook: what the system answers to every look above passes through `seen` first, which may give the file
// another inode number, other stamps or another owner, as a file system that hands out freed numbers or keeps coarse
// stamps would; empty to remove.
void set_file_looks_for_tests(std::function<void(struct stat*)> seen);

}  // namespace kz::platform
