// What a replacing write keeps of the file it replaces: the permission bits the user set on it, taken only from the
// file that was read, and never more than that file allowed.
#pragma once
#include <sys/stat.h>

#include "platform/file_system.h"

namespace kz::platform {

// Gives the new file open at `fd`, which is to replace a file, the rights it keeps. `present` is what the name holds
// now (null: nothing), `read` the file the new text came from (unknown: none). When the name still holds the file read
// (the same device, inode and owner), changed or re-moded in place, the new file takes that file's present permission
// bits. Another file under the name gives nothing: the new file gets the bits it and the file read have in common. A
// file where none was read gets 0666 less the umask. Never set-user-ID, set-group-ID or sticky.
void keep_permissions(int fd, const struct stat* present, const FileIdentity& read);

}  // namespace kz::platform
