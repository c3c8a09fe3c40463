// The rewrite in place and the putting back of what a killed one left: every step works on descriptors of the folder,
// the file and its copy, and the copy is named only once it is whole and on disk.
#include "platform/in_place_rewrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string_view>
#include <utility>

#include "platform/content_digest.h"
#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"
#include "platform/file_in_use.h"
#include "platform/file_system.h"
#include "platform/report.h"
#include "platform/temp_file.h"

namespace kz::platform {
namespace {

std::function<void(std::string_view)>& rewrite_observer() {
    static std::function<void(std::string_view)> observer;
    return observer;
}

void reached(std::string_view step) {
    if (rewrite_observer()) rewrite_observer()(step);
}

// Every byte of the file open at `from` written over the file open at `to` from its start, which is then cut to
// their length and flushed to disk; each byte read counted in `seen` (when given), and with `counted`, against the
// test hook's capacity. False, with errno saying why.
bool copy_over(int from, int to, ContentHasher* seen, std::string_view step, bool counted) {
    char buffer[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        if (counted && !take_write_capacity(static_cast<std::size_t>(n))) return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(to, buffer + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            done += w;
        }
        if (seen) seen->add(buffer, static_cast<std::size_t>(n));
        at += n;
        reached(step);
    }
    return ::ftruncate(to, at) == 0 && ::fsync(to) == 0;
}

// The folder's names on disk too, where the folder can be opened for that.
void sync_folder(int dirfd) {
    const Descriptor folder(::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());
}

// The digest of every byte of the file open at `fd`; unknown where it cannot be read.
ContentDigest digest_of_all(int fd) {
    ContentHasher content;
    char buffer[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) return content.digest();
        content.add(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

}  // namespace

std::string copy_name(const std::string& target, std::uint64_t inode) {
    const std::string number = kz::crt::int_text(inode);
    return beside_name(target, ".kzcopy-", number.size()) + number;
}

bool rewrite_in_place(int dirfd, const std::string& name, int target, const FileIdentity& judged, int text,
                      std::string* why, bool* changed) {
    const std::string copy = copy_name(name, judged.inode);
    // A copy that a rewrite killed earlier left is replaced by this one only once this one is whole (the rename
    // below), and removed with it once the file is rewritten: where this rewrite stops before, it stays for the next
    // open, which may be all that is left of the file's text before the killed one.
    std::string pending;
    const Descriptor kept(open_named_temp(dirfd, name, &pending));
    if (!kept) {
        *why = with_error("no copy of it can be made beside it");
        return false;
    }
    ContentHasher old;
    if (!copy_over(target, kept.get(), &old, "copying", false)) {
        *why = with_error("no copy of it can be made beside it");
        ::unlinkat(dirfd, pending.c_str(), 0);
        return false;
    }
    // The copy is of the file judged, bytes and all, which its name still holds.
    struct stat st;
    if (!stat_of(target, &st) || identity_of(st) != judged || !names_file(dirfd, name, target) ||
        (judged.content.known && content_digests_on() && old.digest() != judged.content)) {
        *why = "the file there changed after it was looked at";
        *changed = true;
        ::unlinkat(dirfd, pending.c_str(), 0);
        return false;
    }
    if (::renameat(dirfd, pending.c_str(), dirfd, copy.c_str()) != 0) {
        *why = with_error("no copy of it can be made beside it");
        ::unlinkat(dirfd, pending.c_str(), 0);
        return false;
    }
    sync_folder(dirfd);
    reached("copied");
    // From here until the copy is gone, a kill leaves the whole copy beside the file.
    if (!copy_over(text, target, nullptr, "rewriting", true)) {
        *why = with_error("it cannot be rewritten");
        // What was begun is undone from the copy; where even that fails, the copy stays for the next open.
        if (copy_over(kept.get(), target, nullptr, "putting back", false))
            ::unlinkat(dirfd, copy.c_str(), 0);
        else
            *why += "; the file as it was is kept beside it in " + copy;
        return false;
    }
    reached("rewritten");
    ::unlinkat(dirfd, copy.c_str(), 0);
    sync_folder(dirfd);
    reached("copy removed");
    return true;
}

void put_back_cut_rewrite(int dirfd, const std::string& name, const std::string& shown) {
    struct stat st;
    if (!stat_at(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) || !S_ISREG(st.st_mode)) return;
    const std::string copy = copy_name(name, st.st_ino);
    struct stat copied;
    if (!stat_at(dirfd, copy, &copied, AT_SYMLINK_NOFOLLOW)) return;
    const std::string kept_there =
        ": a save that rewrote it was cut short; the file as it was before is kept beside it in " + copy;
    // A rewrite under way holds its copy's lock until it is done: it is waited for, and then there is no copy.
    const Descriptor held = hold_if_abandoned(dirfd, copy, true);
    if (!held) {
        if (stat_at(dirfd, copy, &copied, AT_SYMLINK_NOFOLLOW) && S_ISREG(copied.st_mode))
            report_line(with_error(shown + kept_there + ", which cannot be taken here"));
        return;
    }
    const Descriptor file(open_past_lease(dirfd, name, O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!file) {
        report_line(with_error(shown + kept_there + ", and cannot be put back", errno == EWOULDBLOCK ? EBUSY : errno));
        return;
    }
    // Another file put under the name since is not the one the copy was taken from.
    if (!stat_of(file.get(), &st) || copy != copy_name(name, st.st_ino)) return;
    // Cut before the rewrite began, the file holds what the copy does: nothing is put back.
    const ContentDigest before = digest_of_all(held.get());
    if (before.known && before == digest_of_all(file.get())) {
        ::unlinkat(dirfd, copy.c_str(), 0);
        return;
    }
    if (!copy_over(held.get(), file.get(), nullptr, "putting back", false)) {
        report_line(with_error(shown + kept_there + ", and cannot be put back"));
        return;
    }
    ::unlinkat(dirfd, copy.c_str(), 0);
    sync_folder(dirfd);
    report_line(shown + ": a save that rewrote it was cut short; the file as it was before that save is put back");
}

void put_back_cut_rewrite(std::string_view windows_path) {
    const std::string native = resolve_existing(windows_path);
    std::string folder, name;
    split_last_name(native, &folder, &name);
    const Descriptor held(::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!native.empty() && held) put_back_cut_rewrite(held.get(), name, native);
}

void set_rewrite_observer_for_tests(std::function<void(std::string_view)> observer) {
    rewrite_observer() = std::move(observer);
}

}  // namespace kz::platform
