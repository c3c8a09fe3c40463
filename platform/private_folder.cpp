// The user's own folder for the program's temporary files and its download cache, reached through folders no one
// else can change and found or made the user's alone. Not here: the walk itself and the removals (folder_walk.cpp).
#include "platform/private_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/folder_walk.h"

namespace kz::platform {
namespace {

// Each problem with the private folder is said once, not at every look at the folder; a new one is said again.
void report_once(const std::string& line) {
    static std::mutex m;
    static std::string last;
    std::lock_guard lock(m);
    if (line == last) return;
    last = line;
    std::fprintf(stderr, "kzview: %s\n", line.c_str());
}

std::string cache_home() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return xdg;  // a relative one means nothing stable: the XDG rule ignores it
    const char* home = std::getenv("HOME");
    std::string h = home && home[0] == '/' ? home : "";
    if (h.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') h = pw->pw_dir;
    return h.empty() ? h : join_path(h, ".cache");
}

// What others may have put under the program's own names while they could write in the folder open at `fd`: its
// two folders and any socket. Nothing else is touched, whatever else the user keeps there.
bool clear_program_names(int fd, const std::string& folder) {
    bool ok = remove_entry(fd, "kz3d_temp", join_path(folder, "kz3d_temp"));
    ok = remove_entry(fd, "kzview_tempp", join_path(folder, "kzview_tempp")) && ok;
    std::vector<std::string> names;
    if (!list_folder(fd, &names)) return false;
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode))
            ok = ::unlinkat(fd, name.c_str(), 0) == 0 && ok;
    }
    return ok;
}

// The folder is reached through the folders above it, which no one else may change, and looked at through a
// descriptor opened without following a link, so what is checked and tightened is the folder itself, not whatever
// its name points to meanwhile.
std::string open_private_folder() {
    const std::string home = cache_home();
    if (home.empty()) {
        report_once("no folder of the user's own for the program's files (HOME is not set); nothing is cached");
        return {};
    }
    std::string folder = join_path(home, "kzview");
    std::string why, above_path;
    const Descriptor above = open_trusted_folder(home, true, &above_path, &why);
    if (!above) {
        why = "others could put a folder of their own in its place (" + why + ")";
    } else if (folder = join_path(above_path, "kzview"); make_private_at(above.get(), "kzview")) {
        return folder;
    } else {
        const Descriptor fd(::openat(above.get(), "kzview", kFolderFlags));
        struct stat st;
        if (!fd) {
            struct stat link;
            if (::fstatat(above.get(), "kzview", &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
                why = "it is a symbolic link";
            else if (errno == ENOTDIR)
                why = "it is not a folder";
            else
                why = std::string("it cannot be opened (") + std::strerror(errno) + ")";
        } else if (!stat_folder(fd.get(), folder, &st)) {
            why = std::string("it cannot be examined (") + std::strerror(errno) + ")";
        } else if (st.st_uid != user_id()) {
            why = "it belongs to another user (uid " + kz::crt::int_text(st.st_uid) + ")";
        } else if ((st.st_mode & 07777) != 0700) {
            if (::fchmod(fd.get(), 0700) != 0) {
                why = std::string("its permissions cannot be narrowed to the user's (") + std::strerror(errno) + ")";
            } else if (st.st_mode & (S_IWGRP | S_IWOTH)) {
                if (clear_program_names(fd.get(), folder))
                    report_once(folder + " was open to other users' writes: it is the user's alone now, and what " +
                                "others may have left in its download cache is gone");
                else
                    why = "others could write to it, and what they may have left there cannot all be removed";
            }
        }
    }
    if (why.empty()) return folder;
    report_once("the private folder " + folder + " is not used: " + why + "; nothing is cached or downloaded");
    return {};
}

}  // namespace

std::string private_folder() { return open_private_folder(); }

std::string temp_path() {
    const std::string folder = private_folder();
    return folder.empty() ? folder : from_native_path(folder) + "\\";
}

bool create_private_directory(std::string_view windows_path) {
    const std::string native = resolve_for_write(windows_path);
    if (native.empty()) return false;
    if (make_private_at(AT_FDCWD, native.c_str())) return true;
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kz::platform
