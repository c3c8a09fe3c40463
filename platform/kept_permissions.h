// What a replacing write keeps of the file it replaces: the permission bits, owner, group, access list and user
// attributes the user set on it, taken only from the file that was read, and never more than that file allowed.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/access_list.h"
#include "platform/file_system.h"

namespace kz::platform {

// The rights of a file a replacement is judged against: its owner, its group, its permission bits and its access
// list (the kernel's entries, empty where it has none; with one, the group bits are its mask's).
struct FileRights {
    std::uint32_t owner = 0, group = 0;
    unsigned mode = 0;  // 0777
    std::vector<AccessEntry> list;
    bool list_known = true;  // false: whether it has a list, and what the list says, is not known
};

// What a replacement is given: its permission bits and its list (empty: none, not even one its folder's default
// gives). `owner_alone`: nothing but its owner's bits was kept, which is said.
struct KeptRights {
    unsigned mode = 0;
    std::vector<AccessEntry> list;
    bool owner_alone = false;
};

// The rights a replacement owned by `owner`, in `group`, is given so that no account may do more with it than with
// `read` (the file its text came from) nor, where another file stands under the name now, with `present` (null: the
// name holds the file read, as it stands now). Judged per account, whatever groups it is in:
// - the file read, owner kept: a group kept keeps everything; a group not kept leaves others what both others and
//   the old group's members had, and the new group (the owning group's entry) no more than that, nor than any named
//   group's members had under the mask; the owner's, named users' and named groups' entries stay as they were;
// - another file of the same owner, kept, neither with a list: the owner what both files gave it, the new group's
//   members and others what any account that may fall in their class had with both files (a group of either file
//   that is not the new one may or may not hold them);
// - otherwise (the owner not kept, owners that differ, a list on either file, or one not known): the owner's bits
//   of both files alone.
KeptRights narrowed_rights(const FileRights& read, const FileRights* present, std::uint32_t owner, std::uint32_t group);
// The bits of a list that cannot be set: each class no more than every entry its accounts may come from allowed.
unsigned listless_mode(const KeptRights& rights);

// What keep_permissions found: whether the new file may be written (else `why` says why not, and nothing is to be
// written), and the lines on what was not kept, to be said once the new file is in place.
struct KeptPermissions {
    bool writable = true;
    std::string why;
    int error = 0;  // the system's reason for `why` (EWOULDBLOCK: another program holds a lease on the file)
    std::vector<std::string> lines;
};

// Gives the new file open at `fd`, which is to replace the name `name` in the folder open at `dirfd`, the rights it
// keeps. `present` is what the name holds now (null: nothing), `read` the file the new text came from (unknown:
// none). When the name still holds the file read (the same device, inode and owner), changed or re-moded in place,
// the new file takes that file's present permission bits, its owner (where the system lets the user give a file
// away: root), its group, its access list (none where it has none: not the one the folder's default gives a new
// file) and its "user." attributes, each as far as the system lets it, read through a descriptor of the file opened
// for reading (no /proc needed), narrowed as narrowed_rights says where the group or owner is not kept; a list
// that cannot be set leaves each class what listless_mode gives it. A file that cannot be opened for reading (or
// whose list cannot be read) leaves the owner's bits alone, and a line says what was not kept. Another file under
// the name (or none where a file was read) gives nothing of its own: the new file gets what narrowed_rights allows
// with both, its owner given back by root where both files have one owner, its group where both have one group;
// that file's list is read through a descriptor of it where it matters, and where it cannot be, nothing is written.
// A file where none was read gets what the kernel gives a file made in its folder, as touch's: its folder's default
// list, masked to read and write, where the folder has one, else 0666 less the umask the process started with.
// Never set-user-ID, set-group-ID or sticky.
KeptPermissions keep_permissions(int fd, int dirfd, const std::string& name, const struct stat* present,
                                 const FileIdentity& read);

}  // namespace kz::platform
