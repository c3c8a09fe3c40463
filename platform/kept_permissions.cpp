// The rights a replacing write's new file takes from the file it replaces, set on the new file before its rename.
// Access lists are read and set as the kernel keeps them, through descriptors of the files.
#include "platform/kept_permissions.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/descriptor.h"
#include "platform/file_in_use.h"
#include "platform/file_stamps.h"
#include "platform/report.h"

namespace kz::platform {
namespace {

constexpr unsigned kOwnerRights = 0700, kGroupRights = 070, kAllRights = 07, kReadWrite = 06;
constexpr char kUserAttributes[] = "user.";

// The umask the process started with, read before main (so before any thread) runs: reading it means setting it
// for an instant, and a file another thread made in that instant would get no mask at all. Read here rather than
// from a call each host program would have to make first; nothing sets it again.
const mode_t g_start_umask = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}();

unsigned usual_mode() { return 0666 & ~g_start_umask; }

// What a list (or, without one, the mode) gives the classes the narrowing looks at.
struct Classes {
    unsigned owner = 0, group = 0, mask = kAllRights, others = 0;
    unsigned named = kAllRights;         // what every named user and group allows at most, before the mask
    unsigned named_groups = kAllRights;  // the same, of the named groups alone
};

Classes classes_of(unsigned mode, const std::vector<AccessEntry>& list) {
    Classes c{mode >> 6 & kAllRights, mode >> 3 & kAllRights, kAllRights, mode & kAllRights};
    for (const AccessEntry& e : list) {
        const unsigned rights = e.rights & kAllRights;
        if (e.tag == kAclOwner) c.owner = rights;
        if (e.tag == kAclOwningGroup) c.group = rights;
        if (e.tag == kAclMask) c.mask = rights;
        if (e.tag == kAclOthers) c.others = rights;
        if (e.tag == kAclUser || e.tag == kAclGroup) c.named &= rights;
        if (e.tag == kAclGroup) c.named_groups &= rights;
    }
    return c;
}

// Whether a list says more than a mode can: a named entry or a mask.
bool has_list(const std::vector<AccessEntry>& list) {
    for (const AccessEntry& e : list)
        if (e.tag == kAclUser || e.tag == kAclGroup || e.tag == kAclMask) return true;
    return false;
}

// The mode the kernel shows for a list: its owner's, mask's and others' entries.
unsigned mode_of(const std::vector<AccessEntry>& list) {
    const Classes c = classes_of(0, list);
    return c.owner << 6 | c.mask << 3 | c.others;
}

}  // namespace

KeptRights narrowed_rights(const FileRights& read, const FileRights* present, std::uint32_t owner,
                           std::uint32_t group) {
    KeptRights kept;
    const FileRights& there = present ? *present : read;
    const unsigned owners = read.mode & there.mode & kOwnerRights;
    // Whose class the owner of either file or a named account falls in on the new file, and what another file's
    // list allows each account against the file read's, is not worked out: the owner's bits alone are sound.
    if (owner != read.owner || owner != there.owner || !read.list_known || !there.list_known ||
        (present && (has_list(read.list) || has_list(there.list)))) {
        kept.mode = owners;
        kept.owner_alone = true;
        return kept;
    }
    if (!present && has_list(read.list)) {
        kept.list = read.list;
        // A group not kept: its members become others, and the new group's members were others or in a named
        // group, which the list still names (a member of one of them and of the new group gets the better of both
        // entries).
        if (group != read.group) {
            const Classes c = classes_of(read.mode, read.list);
            for (AccessEntry& e : kept.list) {
                if (e.tag == kAclOwningGroup) e.rights = c.group & c.others & c.named_groups;
                if (e.tag == kAclOthers) e.rights = c.others & c.group & c.mask;
            }
        }
        kept.mode = mode_of(kept.list);
        return kept;
    }
    // Modes alone, of one owner, kept. On each file, the new group's members were of its group where that is the
    // new group, others on the new file were not; where its group is another, either may have been in it or not.
    unsigned g = kAllRights, o = kAllRights;
    for (const FileRights* f : {&read, &there}) {
        const unsigned fg = f->mode >> 3 & kAllRights, fo = f->mode & kAllRights;
        const bool its_group = f->group == group;
        g &= its_group ? fg : fg & fo;
        o &= its_group ? fo : fg & fo;
    }
    kept.mode = owners | g << 3 | o;
    return kept;
}

unsigned listless_mode(const KeptRights& rights) {
    // A named account falls in the group's class or others'; the owning group's members and others stay in theirs.
    // Without a list, the mode as it is.
    const Classes c = classes_of(rights.mode, rights.list);
    const unsigned floor = c.named & c.mask;
    return c.owner << 6 | (c.group & c.mask & floor) << 3 | (c.others & floor);
}

namespace {

bool has_group(int fd, std::uint32_t gid) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_gid == gid;
}

// Whether the file open at `fd` belongs to `gid`, given it where the system lets the user: a member of the group (or
// root) may; anyone else gets EPERM, and a file made in a set-group-ID folder keeps that folder's group.
bool give_group(int fd, std::uint32_t gid) {
    if (has_group(fd, gid)) return true;
    return ::fchown(fd, static_cast<uid_t>(-1), gid) == 0 && has_group(fd, gid);
}

// The new file open at `fd` without the list it inherited from its folder's default, with `mode`. Where the list
// cannot be taken off, the mask (the group bits) is emptied: Linux then looks at no entry of the list, and no named
// account nor the group gets more than others.
void set_mode_without_list(int fd, unsigned mode) {
    const std::string plain =
        access_list_bytes({{kAclOwner, static_cast<std::uint16_t>(mode >> 6 & kAllRights), 0},
                           {kAclOwningGroup, static_cast<std::uint16_t>(mode >> 3 & kAllRights), 0},
                           {kAclOthers, static_cast<std::uint16_t>(mode & kAllRights), 0}});
    bool listless = ::fsetxattr(fd, kAccessListName, plain.data(), plain.size(), 0) == 0;
    listless = listless || errno == ENOTSUP || ::fremovexattr(fd, kAccessListName) == 0 || errno == ENODATA;
    ::fchmod(fd, listless ? mode : mode & ~kGroupRights);
}

// The new file open at `fd` given `rights`.
void give_rights(int fd, const KeptRights& rights) {
    if (rights.list.empty()) return set_mode_without_list(fd, rights.mode);
    const std::string list = access_list_bytes(rights.list);
    if (::fsetxattr(fd, kAccessListName, list.data(), list.size(), 0) != 0)
        set_mode_without_list(fd, listless_mode(rights));
}

// The rights of the file whose identity is `file`, as recorded (its list, where it was read, with it).
FileRights rights_of(const FileIdentity& file) {
    FileRights rights{file.owner, file.group, file.mode & 0777, {}, file.access_list_known};
    std::string why;
    if (rights.list_known && !access_entries(file.access_list, &rights.list, &why) && !file.access_list.empty())
        rights.list_known = false;
    return rights;
}

// The list of the file open at `fd` in `rights`; false, with errno saying why, where it cannot be read (a list
// the system gives that is not one: EINVAL).
bool read_list_of(int fd, FileRights* rights) {
    std::string bytes, why;
    if (!read_held_list(fd, kAccessListName, &bytes)) return false;
    if (!bytes.empty() && !access_entries(bytes, &rights->list, &why)) return errno = EINVAL, false;
    return true;
}

// The names of the attributes of the file open at `source`, NUL-separated; empty when none. False where they cannot
// be listed (a file system without attributes has none).
bool attribute_names(int source, std::string* names) {
    names->clear();
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::flistxattr(source, nullptr, 0);
        if (size <= 0) return size == 0 || errno == ENOTSUP;
        names->assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::flistxattr(source, names->data(), names->size());
        if (got >= 0) return names->resize(static_cast<std::size_t>(got)), true;
        if (errno != ERANGE) break;  // ERANGE: one was added between the two calls
    }
    names->clear();
    return false;
}

// The "user." attributes of the file open at `source` copied to the file open at `fd`; false, with errno saying
// why, where one could not be read or set (a file system without them: ENOTSUP).
bool copy_user_attributes(int source, int fd) {
    std::string names;
    bool all = attribute_names(source, &names);
    int error = errno;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        if (std::strncmp(name, kUserAttributes, sizeof kUserAttributes - 1) != 0) continue;
        const ssize_t size = ::fgetxattr(source, name, nullptr, 0);
        std::string value(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        const ssize_t got = size < 0 ? -1 : ::fgetxattr(source, name, value.data(), value.size());
        if (got < 0 || ::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(got), 0) != 0)
            all = false, error = errno;
    }
    errno = error;
    return all;
}

// The owner and group the new file open at `fd` has.
void owner_and_group(int fd, std::uint32_t* owner, std::uint32_t* group) {
    struct stat st = {};
    ::fstat(fd, &st);
    *owner = st.st_uid;
    *group = st.st_gid;
}

// The new file open at `fd` takes what the file read holds: `now` as it stands, open for reading at `source` (-1:
// it cannot be opened, errno saying why), named `name` in its folder.
void keep_from(int fd, int source, const struct stat& now, const std::string& name, KeptPermissions* kept) {
    const int open_error = errno;
    // Root saving another user's file leaves it theirs (a writer that cannot give it back rewrites the file in place
    // instead: file_writer.cpp).
    if (now.st_uid != ::geteuid()) ::fchown(fd, now.st_uid, static_cast<gid_t>(-1));
    give_group(fd, now.st_gid);
    std::uint32_t owner = 0, group = 0;
    owner_and_group(fd, &owner, &group);
    FileRights rights{now.st_uid, now.st_gid, now.st_mode & 0777u, {}, false};
    rights.list_known = source >= 0 && read_list_of(source, &rights);
    const int list_error = source >= 0 ? errno : open_error;
    const KeptRights given = narrowed_rights(rights, nullptr, owner, group);
    give_rights(fd, given);
    if (!rights.list_known) {
        // Whether a list denies someone what the mode gives is not known: the new file is its owner's alone.
        const char* why = source < 0 ? ": its access list and user attributes were not kept, as it cannot be opened "
                                       "for reading; it is saved for its owner alone"
                                     : ": its access list was not kept, as it cannot be read; it is saved for its "
                                       "owner alone";
        kept->lines.push_back(with_error(name + why, list_error));
        if (source < 0) return;
    } else if (given.owner_alone) {
        kept->lines.push_back(name + ": it is saved for its new owner alone, as it cannot be given back to its owner");
    }
    if (!copy_user_attributes(source, fd) && errno != ENOTSUP)
        kept->lines.push_back(with_error(name + ": not all of its user attributes were kept"));
}

// The new file open at `fd`, made where no file was read, gets what the kernel gives a file made with 0666 in the
// folder open at `dirfd` (touch's): the folder's default list, its owner's, mask's (or owning group's) and others'
// entries masked to read and write, where it has one; else 0666 less the umask. The folder's default is read
// through a descriptor of it opened for reading, else through /proc; where neither can, the umask applies over
// the list the new file took from it.
void give_new_file_rights(int fd, int dirfd) {
    std::string bytes, why;
    const Descriptor folder(::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<AccessEntry> list;
    const bool read = (folder && read_held_list(folder.get(), kDefaultListName, &bytes)) ||
                      read_access_list(dirfd, &bytes, kDefaultListName);
    if (!read || bytes.empty() || !access_entries(bytes, &list, &why)) {
        ::fchmod(fd, usual_mode());
        return;
    }
    const bool masked = has_list(list);
    for (AccessEntry& e : list)
        if (e.tag == kAclOwner || e.tag == kAclOthers || e.tag == (masked ? kAclMask : kAclOwningGroup))
            e.rights &= kReadWrite;
    bytes = access_list_bytes(list);
    if (::fsetxattr(fd, kAccessListName, bytes.data(), bytes.size(), 0) != 0) ::fchmod(fd, usual_mode());
}

KeptPermissions refused(const std::string& why, int error) {
    return {false, error ? with_error(why, error) : why, error, {}};
}
// Another program holds the file past the wait: nothing is written, and the user may save again.
KeptPermissions in_use() { return {false, in_use_reason(), EWOULDBLOCK, {}}; }

}  // namespace

KeptPermissions keep_permissions(int fd, int dirfd, const std::string& name, const struct stat* present,
                                 const FileIdentity& read) {
    KeptPermissions kept;
    const FileIdentity now = present ? identity_of(*present) : FileIdentity{};
    const int flags = O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    if (present && read.known() && read.same_file(now)) {
        // Opened for reading (through no /proc), without following a link, another program's lease waited out, its
        // list and attributes are read from it: only while that is still the file judged.
        Descriptor source(open_past_lease(dirfd, name, flags));
        struct stat st;
        if (!source && errno == EWOULDBLOCK) return in_use();
        // Gone or a link by now, it is no longer the file judged (and the rename will not replace it); anything
        // else that keeps it closed (no read right on one's own file) narrows the new file.
        if (!source && errno != ENOENT && errno != ELOOP) return keep_from(fd, -1, *present, name, &kept), kept;
        if (source && stat_of(source.get(), &st) && identity_of(st) == now)
            return keep_from(fd, source.get(), st, name, &kept), kept;
    }
    if (!read.known() && !present) {
        give_new_file_rights(fd, dirfd);
        return kept;
    }
    // One side missing stands for a file made anew, with the other's owner and group and no list.
    const unsigned usual = usual_mode();
    const FileRights before = read.known() ? rights_of(read) : FileRights{now.owner, now.group, usual, {}, true};
    FileRights there = present ? FileRights{now.owner, now.group, now.mode, {}, false}
                               : FileRights{read.owner, read.group, usual, {}, true};
    // Root gives the new file back to the owner both files have; a group both have is kept where it may be.
    if (before.owner == there.owner && before.owner != ::geteuid()) ::fchown(fd, before.owner, static_cast<gid_t>(-1));
    if (before.group == there.group) give_group(fd, before.group);
    std::uint32_t owner = 0, group = 0;
    owner_and_group(fd, &owner, &group);
    // The list of the file there now counts only where nothing else leaves the new file to its owner alone.
    if (present && owner == before.owner && owner == there.owner && before.list_known && !has_list(before.list)) {
        const Descriptor file(open_past_lease(dirfd, name, flags));
        struct stat st;
        if (!file && errno == EWOULDBLOCK) return in_use();
        if (!file) return refused("the access list of the file there now cannot be read", errno);
        if (!stat_of(file.get(), &st) || identity_of(st) != now)
            return refused("the file there changed after it was looked at", 0);
        there.list_known = read_list_of(file.get(), &there);
        if (!there.list_known) return refused("the access list of the file there now cannot be read", errno);
    }
    const KeptRights given = narrowed_rights(before, &there, owner, group);
    give_rights(fd, given);
    if (given.owner_alone)
        kept.lines.push_back(name +
                             ": it is saved for its owner alone, as the file there now is not the one read, "
                             "and their owners or access lists differ");
    return kept;
}

}  // namespace kz::platform
