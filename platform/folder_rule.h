// The private folder's rule for one folder: who other than the user and root may rename or replace what it holds,
// by its owner, sticky bit, group, access list and the accounts that share its group, and the user it judges for.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>

namespace kz::platform {

// The user id the program takes for its own: the effective one, or the one a test set.
std::uint32_t user_id();
// Test hook: the program takes `uid` for the user's own (so what the real user owns looks like someone else's);
// a negative value restores the real one.
void set_user_id_for_tests(std::int64_t uid);

// The folder open at `fd` as the checks see it: its owner is the one a test set for its path, where one did.
bool stat_folder(int fd, const std::string& path, struct stat* st);
// Test hook: the owner (user and group ids) the private folder's checks see for a folder, given its POSIX path and
// its real ids to change; empty to remove.
void set_folder_owner_for_tests(std::function<void(const std::string&, std::uint32_t*, std::uint32_t*)> hook);

// Why someone other than the user and root could rename or replace what the folder open at `fd` holds (`st` as
// stat_folder sees it), after the folder's path; empty when no one could. Judged once while the folder stays as it was.
std::string folder_trust(int fd, const std::string& path, const struct stat& st);
// Whether the folder is the user's alone: the user's, and no one else may enter, list or write it.
bool is_users_alone(const struct stat& st);
// Test hook: the bytes of the access list the checks read for a folder, given its POSIX path (true when it gave
// them); empty to remove.
void set_access_list_for_tests(std::function<bool(const std::string&, std::string*)> hook);
// Test hook: the checks forget what they judged of folders and groups, as at a new start (a forked test that sees
// another account list).
void forget_folder_verdicts_for_tests();

}  // namespace kz::platform
