// The user's own folder for the program's temporary files and its download cache, where no other user can put
// anything, reached through folders no one else can change.
#pragma once
#include <string>
#include <string_view>

#include "platform/descriptor.h"

namespace kz::platform {

// The user's own folder for the program's temporary files and its download cache, where no other user can put
// anything: $XDG_CACHE_HOME/kzview/ (~/.cache/kzview/ when XDG_CACHE_HOME is unset or relative), made 0700 when
// missing and tightened to 0700 when found looser. Found writable by others, the sockets there are removed and the
// program's two folders moved aside for fresh ones; so is either folder when it is not the user's 0700 folder. What
// went aside is removed in the background (wait_for_folder_removals). One that is a link, not a folder, or someone
// else's is not used: empty, and the reason goes once to standard error. So is one that others could move aside:
// every folder above it must pass open_trusted_folder's rule; a link on the way counts only in such a folder.
// Windows form with a trailing "\\", with the links on the way resolved.
std::string temp_path();
// temp_path() in POSIX form without the trailing "/"; empty as temp_path() is.
std::string private_folder();
// The private folder open, as its checks found it (never through a link), with its path as private_folder() gives
// it in `path`; not open, and `path` empty, where private_folder() is empty.
Descriptor open_private_folder(std::string* path);
// Waits until what the private folder's checks set aside (a program folder that was not the user's alone) is
// removed, as far as it can be; the program's exit waits for it too.
void wait_for_folder_removals();
// The folder that holds the file `windows_path` below the folder `root` (both in program form), for reading the
// file or writing it: `root` is reached as the private folder is (every folder from "/" down passes
// open_trusted_folder's rule), and it and every folder from it down to the file's must be the user's alone, each
// opened without following a link; `make_missing` makes the missing ones (0700). A name that does not lie below
// `root` as written, or holds a "." or ".." component, has none. Not open, with the reason in `why`, when there is
// none; `leaf` receives the file's own name. Nothing but the user can change what lies below such a folder.
Descriptor open_private_folder_of(std::string_view root, std::string_view windows_path, bool make_missing,
                                  std::string* leaf, std::string* why);
// Makes the folders of `windows_path` below `root` as open_private_folder_of does; true when they are there and the
// user's alone, with whether the file is there as a regular file of the user's in `exists`; else the reason in `why`.
bool prepare_private_file(std::string_view root, std::string_view windows_path, bool* exists, std::string* why);

}  // namespace kz::platform
