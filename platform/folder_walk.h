// Folders reached, judged and removed through descriptors, never by a path someone else could change meanwhile:
// the walk from "/" down that the private folder, the local channel's runtime folder and the removals share.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/descriptor.h"

namespace kz::platform {

inline constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Only a path to a folder, for openat and fstat, which needs no right to read it (a home folder may be 0711).
inline constexpr int kFolderPathFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Whether the file is the running program's own.
bool is_running_program(const struct stat& st);

// A new folder `name` in `dirfd` that only the user can enter, whatever the umask.
bool make_private_at(int dirfd, const char* name);
// The folder `name` in the folder open at `dirfd`, opened by kFolderPathFlags (so never through a link); with
// `make_missing`, a missing one is made first, the user's alone. Not open, with errno saying why, when there is none.
Descriptor open_folder_at(int dirfd, const char* name, bool make_missing);
// The names in the folder open at `fd`, "." and ".." left out; `fd` stays usable.
bool list_folder(int fd, std::vector<std::string>* names);
// The deepest a removal goes: what a tree holds deeper stays where it lies, and one line says so.
inline constexpr int kMaxRemovalDepth = 256;
// Removes `name` of the folder open at `dirfd`, with everything in it when it is a folder, following no link and
// going no deeper than kMaxRemovalDepth folders. `path` names the entry for the test hook and that line. True when
// the name is gone.
bool remove_entry(int dirfd, const std::string& name, const std::string& path);
// Test hook: called with the POSIX path of every folder a removal has just listed, before its entries go; empty to
// remove.
void set_removal_observer_for_tests(std::function<void(const std::string&)> observer);

// The private folder's rule for every folder on a path: opens the folder at the absolute `path` from "/" down,
// each name relative to the folder that holds it and none through a link, while every folder on the way is the
// user's or root's, and sticky where others may write it (its group may write only when that is the user's private
// group, which no other account has for its primary group, and so may the users and groups its access list names):
// then no one else can move any of them aside and put their own in its place. A link is followed (its
// target walked the same way) only as a name in a folder that passed. `make_missing` makes the missing folders,
// each the user's alone. `reached` receives the folder's path with its links resolved; `why` says what failed.
// The descriptor is an O_PATH one: it names the folder for openat and fstat, but reads nothing.
Descriptor open_trusted_folder(const std::string& path, bool make_missing, std::string* reached, std::string* why);

// The folder at the absolute `path` when it is the user's alone and no one else can move it aside: the folders
// above it pass open_trusted_folder's rule, and its own name is no link. `reached` receives its path with the
// links above resolved; otherwise `why` says what failed, naming the folder. An O_PATH descriptor.
Descriptor open_users_folder(const std::string& path, std::string* reached, std::string* why);

// Why someone other than the user and root could change what the absolute, link-free `native_path` names, or
// empty when no one could: the folder holding it opens by open_trusted_folder's rule without meeting a link, its
// last name, no link, names the file (or folder) of `device` and `inode`, and that is the user's or root's and
// writable by no one else (its group, or a user or group its access list names, only when that is the user's
// private group). So in a sticky folder the last name counts as closed only when the folder and what it names are
// both the user's or root's: the owner of a name there may move it aside and put another in its place.
std::string others_could_change(const std::string& native_path, std::uint64_t device, std::uint64_t inode);

}  // namespace kz::platform
