// A file rewritten where it stands, for a user who may write it but cannot give a new file to its owner: its old text
// copied whole beside it first, then the rewrite, then the copy removed; and the copy a killed rewrite left, put back.
#pragma once
#include <cstdint>
#include <string>

#include "platform/file_stamps.h"

namespace kz::platform {

// The name the whole copy of `target`, the file of inode number `inode`, has beside it while that file is rewritten in
// place (temp_file.h's beside_name, with the number): only that file is ever put back from it.
std::string copy_name(const std::string& target, std::uint64_t inode);

// Rewrites the file open at `target` (for reading and writing), named `name` in the folder open at `dirfd` and judged
// as `judged` (its stamps, and the digest of its bytes where that is known), with every byte of the file open at
// `text`. First its old text is copied into a new file beside it, the user's alone (0600, made without following a
// link), which is given the name copy_name(name, its inode) only once it is whole and on disk, and locked for as long
// as the rewrite runs; the file is rewritten only while it is still the file judged, bytes and all, under its name, and
// the copy is removed once the new text is on disk. So a kill at any moment leaves either the file whole or its whole
// copy beside it (put_back_cut_rewrite). A rewrite that fails midway puts the old text back from the copy. False with
// `why`, and `changed` set where the file was no longer the one judged.
bool rewrite_in_place(int dirfd, const std::string& name, int target, const FileIdentity& judged, int text,
                      std::string* why, bool* changed);

// Puts back the copy a rewrite of `name` in the folder open at `dirfd` left beside it (see file_system.h); `shown` is
// the file's path for the lines said.
void put_back_cut_rewrite(int dirfd, const std::string& name, const std::string& shown);

}  // namespace kz::platform
