// The rights a replacing write's new file takes from the file it replaces, set on the new file before its rename.
// Access lists are read, narrowed and set with libacl, as editors and cp do.
#include "platform/kept_permissions.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/access_list.h"
#include "platform/descriptor.h"
#include "platform/file_in_use.h"
#include "platform/file_stamps.h"
#include "platform/report.h"

namespace kz::platform {
namespace {

constexpr mode_t kGroupRights = 070, kOwnerRights = 0700;
constexpr unsigned kAllRights = 07;
constexpr char kUserAttributes[] = "user.";

// The umask the process started with, read before main (so before any thread) runs: reading it means setting it
// for an instant, and a file another thread made in that instant would get no mask at all. Read here rather than
// from a call each host program would have to make first; nothing sets it again.
const mode_t g_start_umask = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}();

mode_t usual_mode() { return 0666 & ~g_start_umask; }

struct AclFree {
    void operator()(void* acl) const { ::acl_free(acl); }
};
using AccessList = std::unique_ptr<std::remove_pointer_t<acl_t>, AclFree>;

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

// A file's group that is not kept: the members of the new group were others, and those of the old one become
// others, so both get only what both had (group & others).
mode_t without_kept_group(mode_t mode) {
    const mode_t both = (mode >> 3) & mode & 07;
    return (mode & ~(kGroupRights | 07)) | (both << 3) | both;
}

// The new file open at `fd` without the list it inherited from its folder's default, with `mode`. Where the list
// cannot be taken off, the mask (the group bits) is emptied: no named entry nor the group gets anything then.
void set_mode_without_list(int fd, mode_t mode) {
    const AccessList plain(::acl_from_mode(mode));
    bool listless = plain && ::acl_set_fd(fd, plain.get()) == 0;
    listless = listless || errno == ENOTSUP || ::fremovexattr(fd, kAccessListName) == 0 || errno == ENODATA;
    ::fchmod(fd, listless ? mode : mode & ~kGroupRights);
}

unsigned rights_of(acl_entry_t entry) {
    acl_permset_t set = nullptr;
    if (::acl_get_permset(entry, &set) != 0) return 0;
    return (::acl_get_perm(set, ACL_READ) == 1 ? 4u : 0u) | (::acl_get_perm(set, ACL_WRITE) == 1 ? 2u : 0u) |
           (::acl_get_perm(set, ACL_EXECUTE) == 1 ? 1u : 0u);
}

void set_rights(acl_entry_t entry, unsigned rights) {
    acl_permset_t set = nullptr;
    if (::acl_get_permset(entry, &set) != 0) return;
    ::acl_clear_perms(set);
    if (rights & 4) ::acl_add_perm(set, ACL_READ);
    if (rights & 2) ::acl_add_perm(set, ACL_WRITE);
    if (rights & 1) ::acl_add_perm(set, ACL_EXECUTE);
    ::acl_set_permset(entry, set);
}

// What a list gives the classes a narrowing looks at.
struct ListRights {
    acl_entry_t own_entry = nullptr;  // the owning group's
    unsigned own = 0, mask = kAllRights, others = 0;
    unsigned named = kAllRights;         // what every named user and group allows at most, before the mask
    unsigned named_groups = kAllRights;  // the same, of the named groups alone
};

ListRights rights_in(acl_t list) {
    ListRights r;
    acl_entry_t entry = nullptr;
    for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(list, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag = ACL_UNDEFINED_TAG;
        ::acl_get_tag_type(entry, &tag);
        const unsigned rights = rights_of(entry);
        if (tag == ACL_GROUP_OBJ) r.own_entry = entry, r.own = rights;
        if (tag == ACL_MASK) r.mask = rights;
        if (tag == ACL_OTHER) r.others = rights;
        if (tag == ACL_USER || tag == ACL_GROUP) r.named &= rights;
        if (tag == ACL_GROUP) r.named_groups &= rights;
    }
    return r;
}

// The mode of a file whose list could not be copied: each account falls to the owner, group or others class, and
// each class gets no more than every entry its accounts may have come from allowed.
mode_t listless_mode(const ListRights& r, mode_t mode, bool group_kept) {
    const unsigned floor = r.named & r.mask;
    unsigned group = r.own & r.mask & floor, others = r.others & floor;
    if (!group_kept) group = others = group & others;
    return (mode & kOwnerRights) | (group << 3) | others;
}

// The list of the file read given to the new file open at `fd`; false where it is not taken. A group not kept has
// its own entry narrowed as a mode's group is, also to every named group's rights (a member of one of them and of
// the new group had that group's entry alone), and others no more than the old group's members had; the mask stays
// for the named entries.
bool set_list(int fd, acl_t list, const ListRights& r, bool group_kept) {
    if (!group_kept && r.own_entry) {
        set_rights(r.own_entry, r.own & r.others & r.named_groups);
        acl_entry_t entry = nullptr;
        for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(list, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
            acl_tag_t tag = ACL_UNDEFINED_TAG;
            if (::acl_get_tag_type(entry, &tag) == 0 && tag == ACL_OTHER) set_rights(entry, r.others & r.own & r.mask);
        }
    }
    return ::acl_set_fd(fd, list) == 0;
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

// The new file open at `fd` takes what the file read holds: `now` as it stands, open for reading at `source` (-1:
// it cannot be opened, errno saying why), named `name` in its folder.
void keep_from(int fd, int source, const struct stat& now, const std::string& name) {
    const int open_error = errno;
    mode_t mode = now.st_mode & 0777;
    // Root saving another user's file leaves it theirs; anyone else cannot give a file away and owns the new one.
    if (now.st_uid != ::geteuid()) ::fchown(fd, now.st_uid, static_cast<gid_t>(-1));
    const bool group_kept = give_group(fd, now.st_gid);
    const AccessList list(source >= 0 ? ::acl_get_fd(source) : nullptr);
    const int list_error = source >= 0 ? errno : open_error;
    if (!list && (source < 0 || list_error != ENOTSUP)) {
        // Whether a list denies someone what the mode gives is not known: the new file is its owner's alone.
        set_mode_without_list(fd, mode & kOwnerRights);
        report_line(with_error(name + (source < 0 ? ": its access list and user attributes were not kept, as it "
                                                    "cannot be opened for reading; it is saved for its owner alone"
                                                  : ": its access list was not kept, as it cannot be read; it is saved "
                                                    "for its owner alone"),
                               list_error));
        if (source < 0) return;
    } else if (!list || ::acl_equiv_mode(list.get(), nullptr) == 0) {
        set_mode_without_list(fd, group_kept ? mode : without_kept_group(mode));
    } else {
        const ListRights rights = rights_in(list.get());
        if (!set_list(fd, list.get(), rights, group_kept))
            set_mode_without_list(fd, listless_mode(rights, mode, group_kept));
    }
    if (!copy_user_attributes(source, fd) && errno != ENOTSUP)
        report_line(with_error(name + ": not all of its user attributes were kept"));
}

}  // namespace

void keep_permissions(int fd, int dirfd, const std::string& name, const struct stat* present,
                      const FileIdentity& read) {
    const FileIdentity now = present ? identity_of(*present) : FileIdentity{};
    if (present && read.known() && read.same_file(now)) {
        // Opened for reading (through no /proc), without following a link, another program's lease waited out, its
        // list and attributes are read from it: only while that is still the file judged.
        Descriptor source(open_past_lease(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        struct stat st;
        // Gone or a link by now, it is no longer the file judged (and the rename will not replace it); anything
        // else that keeps it closed (no read right on one's own file) narrows the new file.
        if (!source && errno != ENOENT && errno != ELOOP) return keep_from(fd, -1, *present, name);
        if (source && stat_of(source.get(), &st) && identity_of(st) == now)
            return keep_from(fd, source.get(), st, name);
    }
    const mode_t usual = usual_mode();
    mode_t mode = (read.known() ? read.mode : usual) & (present ? now.mode : usual) & 0777;
    if (!read.known()) {
        ::fchmod(fd, mode);  // a file made anew: its folder's default list applies
        return;
    }
    set_mode_without_list(fd, has_group(fd, read.group) ? mode : without_kept_group(mode));
}

}  // namespace kz::platform
