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
// away: root), its group, its access list and its "user." attributes, each as far as the system lets it; what is
// not kept narrows the rights: a group not given loses the group's rights, a list not copied leaves the owning
// group only its own entry's rights under the mask. Another file under the name gives nothing: the new file gets
// the bits it and the file read have in common, without the group's rights where its group is not the one the file
// read had. A file where none was read gets 0666 less the umask. Never set-user-ID, set-group-ID or sticky.
void keep_permissions(int fd, int dirfd, const std::string& name, const struct stat* present, const FileIdentity& read);

}  // namespace kz::platform
