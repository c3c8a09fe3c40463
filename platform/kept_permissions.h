// What a replacing write keeps of the file it replaces: the permission bits, owner, group, access list and user
// attributes the user set on it, taken only from the file that was read, and never more than that file allowed.
#pragma once
#include <sys/stat.h>

#include <string>

#include "platform/file_system.h"

namespace kz::platform {

// Gives the new file open at `fd`, which is to replace the name `name` in the folder open at `dirfd`, the rights it
// keeps. `present` is what the name holds now (null: nothing), `read` the file the new text came from (unknown:
// none). When the name still holds the file read (the same device, inode and owner), changed or re-moded in place,
// the new file takes that file's present permission bits, its owner (where the system lets the user give a file
// away: root), its group, its access list (none where it has none: not the one the folder's default gives a new
// file) and its "user." attributes, each as far as the system lets it, read through a descriptor of the file opened
// for reading (no /proc needed). No account gets more than it had: a group not kept (the user is not in it) leaves
// the new group and others only what both the old group and others had (with a list: the owning group's entry and
// the others' entry; the mask stays for the named entries); a list not copied leaves each class only what every
// entry its accounts may come from allowed; a file that cannot be opened for reading (or whose list cannot be read)
// leaves the owner's bits alone, and a line on standard error says what was not kept. Another file under the name
// gives nothing: the new file gets the bits it and the file read have in common, narrowed as for a group not kept
// where its group is not the one the file read had, and no list. A file where none was read gets 0666 less the
// umask the process started with, and its folder's default list. Never set-user-ID, set-group-ID or sticky.
void keep_permissions(int fd, int dirfd, const std::string& name, const struct stat* present, const FileIdentity& read);

}  // namespace kz::platform
