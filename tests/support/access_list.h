// POSIX access lists of the tests' files and folders, written and read back raw as the kernel keeps them in
// "system.posix_acl_access" (the tests' own reading of that form, apart from the program's), given in the short text
// form "u::rwx,u:65534:r-x,g::r-x,m::r-x,o::r-x".
#pragma once
#include <string>

namespace kz::test {

// Gives the file or folder at `path` the access list `entries` (any order; the kernel's is kept); false, with errno
// saying why, when it cannot: ENOTSUP where the file system keeps no lists.
bool set_access_list(const std::string& path, const std::string& entries);
// Gives the folder at `path` the default list `entries` ("system.posix_acl_default"), which files made in it take.
bool set_default_access_list(const std::string& path, const std::string& entries);
// The access list of the file or folder at `path` in that form, in the kernel's order; empty when it has none.
std::string access_list(const std::string& path);

}  // namespace kz::test
