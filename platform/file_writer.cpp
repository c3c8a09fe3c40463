// The replacing write: where a name's write lands, worked out once and held by its folder's descriptor, and the
// writer that fills a temporary file there and renames it onto that name. Not here: locks beyond the writers' own.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/content_digest.h"
#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"
#include "platform/file_in_use.h"
#include "platform/file_stamps.h"
#include "platform/file_system.h"
#include "platform/folder_walk.h"
#include "platform/in_place_rewrite.h"
#include "platform/kept_permissions.h"
#include "platform/report.h"
#include "platform/temp_file.h"

namespace kz::platform {
namespace {

// As many links as the system itself follows on one name before it gives up.
constexpr int kMaxLinkSteps = 40;
constexpr std::size_t kTempSuffixLength = 6;

std::atomic<std::int64_t> g_write_capacity{-1};
std::atomic<bool> g_unnamed_temp_files{true};

std::function<void(std::uint64_t)>& write_observer() {
    static std::function<void(std::uint64_t)> observer;
    return observer;
}

// ".<name>.kztmp-": the names of a target's temporary files without their random suffix.
std::string temp_prefix(const std::string& name) { return beside_name(name, ".kztmp-", kTempSuffixLength); }

std::string random_suffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (std::size_t i = 0; i < kTempSuffixLength; ++i) suffix += kChars[random() % (sizeof kChars - 1)];
    return suffix;
}

// Temporary files of the target that earlier writers left behind (a save killed before its commit on a file
// system without unnamed files, or by an older program) are removed; one whose writer still lives is kept, as
// that writer holds its lock until it commits or gives up.
void remove_abandoned_temps(int dirfd, const std::string& target) {
    const std::string start = temp_prefix(target);
    std::vector<std::string> names;
    if (!list_folder(dirfd, &names)) return;
    for (const std::string& name : names) {
        if (name.size() != start.size() + kTempSuffixLength || name.compare(0, start.size(), start) != 0) continue;
        // Removed under the lock, and only while the name still is the file locked.
        if (const Descriptor held = hold_if_abandoned(dirfd, name, false)) ::unlinkat(dirfd, name.c_str(), 0);
    }
}

// A temporary file without a name in the folder; -1 where the file system (or the kernel) has none, or where
// /proc, through which it is given its name at the commit, is missing.
int open_unnamed_temp(int dirfd) {
    if (!g_unnamed_temp_files || ::access("/proc/self/fd", X_OK) != 0) return -1;
    const int fd = ::openat(dirfd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Locked like a named one, for the moment between its linking and the rename.
    if (fd >= 0) ::flock(fd, LOCK_EX);
    return fd;
}

// The account that owns a file, by its name where the system knows one.
std::string owner_name(uid_t uid) {
    struct passwd entry, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found) return found->pw_name;
    return "user " + kz::crt::int_text(uid);
}

// Whether `name` in the folder open at `dirfd` still holds the file of identity `expected`, or still none where that is
// unknown; `st` receives what it holds and `exists` whether it holds anything.
bool holds_expected(int dirfd, const std::string& name, FileIdentity expected, struct stat* st, bool* exists) {
    *exists = stat_at(dirfd, name, st, AT_SYMLINK_NOFOLLOW);
    if (*exists) return identity_of(*st) == expected;
    return errno == ENOENT && !expected.known();
}

// The digest of the bytes of `name` in the folder open at `dirfd`, read from first to last while it is the file
// `expected` by its stamps, and looked at again once read, so that a change made meanwhile counts; unknown when it is
// not that file, cannot be read, or holds more than the size its stamps gave. One byte past that size is read, and
// no more: a file that grew shows it there, however much it grew. Another program's lease on it is waited out; where
// it still holds the file, `in_use` (when given) is set: that says nothing about a change.
ContentDigest digest_of(int dirfd, const std::string& name, const FileIdentity& expected, bool* in_use = nullptr) {
    const Descriptor fd(open_past_lease(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!fd && errno == EWOULDBLOCK && in_use) *in_use = true;
    struct stat st;
    if (!fd || !stat_of(fd.get(), &st) || !S_ISREG(st.st_mode) || identity_of(st) != expected) return {};
    ContentHasher content;
    char buffer[65536];
    std::uint64_t left = expected.size + 1;
    while (left > 0) {
        const ssize_t n = ::read(fd.get(), buffer, std::min<std::uint64_t>(left, sizeof buffer));
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        content.add(buffer, static_cast<std::size_t>(n));
        left -= static_cast<std::uint64_t>(n);
    }
    if (left == 0 || !stat_of(fd.get(), &st) || identity_of(st) != expected) return {};
    return content.digest();
}

// Whether `name` in the folder open at `dirfd` is the file `expected` (by its stamps) and holds the bytes whose
// digest `expected` knows.
bool holds_bytes(int dirfd, const std::string& name, const FileIdentity& expected, bool* in_use = nullptr) {
    const ContentDigest digest = digest_of(dirfd, name, expected, in_use);
    return digest.known && digest == expected.content;
}

// Whether the bytes of the file `expected` are to be looked at: it knows their digest, and digests are taken.
bool bytes_known(const FileIdentity& expected) { return expected.content.known && content_digests_on(); }

}  // namespace

std::string beside_name(const std::string& target, std::string_view tail, std::size_t room) {
    const std::size_t fixed = 1 + tail.size() + room;
    // Built by appends: GCC 12 at -O3 takes the chain of operator+ for overlapping copies (-Wrestrict).
    std::string name(1, '.');
    name.reserve(NAME_MAX + 1);
    if (fixed + target.size() <= NAME_MAX) return name.append(target).append(tail);
    // FNV-1a: the name's stand-in need only differ from other targets' alike at the start, not resist anyone.
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : target) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    for (int i = 0; i < 16; ++i) hex[i] = "0123456789abcdef"[(hash >> (60 - 4 * i)) & 15];
    hex[16] = '\0';
    std::size_t cut = NAME_MAX - fixed - 17;
    while (cut > 0 && (static_cast<unsigned char>(target[cut]) & 0xC0) == 0x80) --cut;
    return name.append(target, 0, cut).append(1, '~').append(hex, 16).append(tail);
}

bool names_file(int dirfd, const std::string& name, int fd) {
    struct stat held, named;
    return stat_of(fd, &held) && stat_at(dirfd, name, &named, AT_SYMLINK_NOFOLLOW) &&
           identity_of(held) == identity_of(named);
}

Descriptor hold_if_abandoned(int dirfd, const std::string& name, bool wait) {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor fd(::openat(dirfd, name.c_str(), O_RDONLY | flags));
    if (!fd) fd = Descriptor(::openat(dirfd, name.c_str(), O_WRONLY | flags));
    struct stat held;
    const bool locked = fd && ::fstat(fd.get(), &held) == 0 && S_ISREG(held.st_mode) &&
                        (wait ? lock_past_holder(fd.get(), LOCK_EX) : ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0);
    return locked && names_file(dirfd, name, fd.get()) ? std::move(fd) : Descriptor();
}

bool take_write_capacity(std::size_t bytes) {
    if (g_write_capacity < 0) return true;
    const std::int64_t left = g_write_capacity.fetch_sub(static_cast<std::int64_t>(bytes));
    if (left >= static_cast<std::int64_t>(bytes)) return true;
    g_write_capacity = 0;
    errno = ENOSPC;
    return false;
}

int open_named_temp(int dirfd, const std::string& target, std::string* name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temp_prefix(target) + random_suffix();
        const int fd = ::openat(dirfd, candidate.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        // Another writer's clean-up may have locked and removed the new file before we locked it: then the name
        // is gone and another is drawn. Where the file system takes no locks, no clean-up can remove it either.
        const bool locked = ::flock(fd, LOCK_EX) == 0;
        if (!locked || names_file(dirfd, candidate, fd)) {
            *name = candidate;
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

int open_temp_beside(int dirfd, const std::string& target, std::string* name) {
    remove_abandoned_temps(dirfd, target);
    const int fd = open_unnamed_temp(dirfd);
    return fd >= 0 ? fd : open_named_temp(dirfd, target, name);
}

bool name_temp_beside(int fd, int dirfd, const std::string& target, std::string* name) {
    const std::string self = proc_fd_path(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temp_prefix(target) + random_suffix();
        if (::linkat(AT_FDCWD, self.c_str(), dirfd, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(fd, "", dirfd, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
            *name = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

WriteLanding::WriteLanding(std::string_view windows_path) {
    std::string native = resolve_for_write(windows_path);
    if (native.empty()) {
        why_ = "its folder does not exist";
        return;
    }
    for (int step = 0; step < kMaxLinkSteps; ++step) {
        std::string folder, name;
        split_last_name(native, &folder, &name);
        if (name.empty() || name == "." || name == "..") {
            why_ = "its name ends in a folder";
            return;
        }
        // The folder is reached as a read reaches it: the system resolves its links, "." and "..".
        Descriptor held(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!held) {
            why_ = with_error("its folder cannot be opened");
            return;
        }
        struct stat st;
        if (!stat_at(held.get(), name, &st, AT_SYMLINK_NOFOLLOW)) {
            if (errno != ENOENT) {
                why_ = with_error("it cannot be examined");
                return;
            }
        } else if (S_ISLNK(st.st_mode)) {
            // The write goes to the file the link names, and the link stays.
            char target[PATH_MAX];
            const ssize_t n = ::readlinkat(held.get(), name.c_str(), target, sizeof target - 1);
            if (n <= 0) {
                why_ = "its link cannot be read";
                return;
            }
            const std::string to(target, static_cast<std::size_t>(n));
            native = to[0] == '/' ? to : join_path(folder, to);
            continue;
        } else {
            identity_ = identity_of(st);
        }
        // The path the checks and the messages see is that of the folder held, or the landing is not used.
        const std::string real = real_path(folder);
        struct stat at_path, at_descriptor;
        if (real.empty() || !stat_at(AT_FDCWD, real, &at_path, 0) || !stat_of(held.get(), &at_descriptor) ||
            identity_of(at_path) != identity_of(at_descriptor)) {
            why_ = "its folder changed while it was looked at";
            return;
        }
        path_ = join_path(real, name);
        name_ = name;
        folder_ = std::move(held);
        return;
    }
    why_ = "its links go round";
}

FileIdentity WriteLanding::with_bytes() const {
    FileIdentity present = identity_;
    if (present.known() && content_digests_on() && present.size <= kMaxReadBytes)
        present.content = digest_of(folder_.get(), name_, identity_);
    return present;
}

bool WriteLanding::holds(const FileIdentity& read, bool* in_use) const {
    return found() && identity_ == read && (!bytes_known(read) || holds_bytes(folder_.get(), name_, read, in_use));
}

bool WriteLanding::inside(std::string_view windows_folder) const {
    const std::string root = real_path(resolve_existing(windows_folder));
    if (!found() || root.empty()) return false;
    return root == "/" || path_.compare(0, root.size() + 1, root + "/") == 0;
}

FileWriter::FileWriter(std::string_view windows_path) {
    const WriteLanding landing(windows_path);
    open(landing, landing.identity_, landing.identity_);
}

FileWriter::FileWriter(const WriteLanding& landing) { open(landing, landing.identity_, landing.identity_); }

FileWriter::FileWriter(const WriteLanding& landing, const FileIdentity& read) { open(landing, read, read); }

FileWriter::FileWriter(const WriteLanding& landing, const FileIdentity& read, const FileIdentity& replaced) {
    open(landing, read, replaced);
}

void FileWriter::fail(std::string why, bool target_changed) {
    if (failure_.empty()) failure_ = std::move(why), target_changed_ = target_changed;
}

void FileWriter::open(const WriteLanding& landing, const FileIdentity& read, const FileIdentity& replaced) {
    if (!landing.found()) return fail("where it would land cannot be worked out (" + landing.why() + ")");
    folder_ = Descriptor(::fcntl(landing.folder_.get(), F_DUPFD_CLOEXEC, 0));
    name_ = landing.name_;
    expected_ = landing.identity_;
    // What the name holds now is judged once: it must still be the file the landing found (or still none). Windows
    // refuses to replace a read-only file, whoever asks; folders, devices, pipes and the running program are never
    // replaced by a file.
    struct stat st;
    bool exists = false;
    if (!folder_) return fail(with_error("its folder cannot be held"));
    if (!holds_expected(folder_.get(), name_, expected_, &st, &exists))
        return fail("the file there changed after it was looked at", true);
    if (exists && (!S_ISREG(st.st_mode) || is_running_program(st)))
        return fail("what is there is not a file this program replaces");
    if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return fail("the file there is read-only");
    if (exists && !may_write(st)) return;
    // Where the file there is the one the caller expects to replace (by default the one the text came from), its
    // bytes are looked at again just before the rename.
    if (exists && replaced == expected_) expected_.content = replaced.content;
    const int fd = open_temp_beside(folder_.get(), name_, &temp_);
    if (fd < 0) return fail(with_error("no new file can be made beside it"));
    // The owner keeps the file read, whoever saves it: a user who may not give a new file to its owner (only root
    // may, and the owner needs none) rewrites it in place, which keeps its owner, group, mode, list, attributes and
    // other names as they are. The rest goes through the new file and a rename.
    const bool file_read = exists && read.known() && read.same_file(identity_of(st));
    if (file_read && st.st_uid != ::geteuid() && ::fchown(fd, st.st_uid, static_cast<gid_t>(-1)) != 0) {
        hold_for_rewrite();
    } else {
        KeptPermissions kept = keep_permissions(fd, folder_.get(), name_, exists ? &st : nullptr, read);
        kept_lines_ = std::move(kept.lines);
        if (!kept.writable) fail(kept.why);
    }
    stream_ = failure_.empty() ? ::fdopen(fd, "wb") : nullptr;
    if (!stream_) {
        fail(with_error("no new file can be made beside it"));
        discard();
        ::close(fd);
    }
}

// The kernel's own answer for the user's effective ids (the access list and the file system's say included), with
// the file held a moment first by an open that waits out another program's lease: a file the user may not write is
// not taken by a new file either, and one still held is in use. A read-only file system is said by the new file that
// cannot be made beside it.
bool FileWriter::may_write(const struct stat& st) {
    const Descriptor held(open_past_lease(folder_.get(), name_, O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!held && errno == EWOULDBLOCK) return fail(in_use_reason()), false;
    if (::faccessat(folder_.get(), name_.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0 && errno != EROFS)
        return fail(with_error("it is " + owner_name(st.st_uid) + "'s, and the user may not write it")), false;
    // Judged by name, so the name must still hold the file judged.
    struct stat now;
    bool exists = false;
    if (!holds_expected(folder_.get(), name_, expected_, &now, &exists))
        return fail("the file there changed after it was looked at", true), false;
    return true;
}

// The file there held for its rewrite in place, open for reading (for the copy kept beside it meanwhile) and writing,
// while it is still the file judged.
void FileWriter::hold_for_rewrite() {
    target_ = Descriptor(open_past_lease(folder_.get(), name_, O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!target_)
        return fail(errno == EWOULDBLOCK ? in_use_reason()
                                         : with_error("it cannot be opened to be rewritten in place"));
    struct stat st;
    if (!stat_of(target_.get(), &st) || identity_of(st) != expected_)
        return fail("the file there changed after it was looked at", true);
    in_place_ = true;
}

// The name still holds the file the landing found (with the bytes read from it, where they are known), or still
// none where it found none.
bool FileWriter::target_unchanged() const {
    struct stat st;
    bool exists = false;
    return holds_expected(folder_.get(), name_, expected_, &st, &exists) &&
           (!exists || !bytes_known(expected_) || holds_bytes(folder_.get(), name_, expected_));
}

FileWriter::~FileWriter() { discard(); }

// The name goes before the descriptor, so that the lock covers the file for as long as it is there.
void FileWriter::discard() {
    if (!temp_.empty()) ::unlinkat(folder_.get(), temp_.c_str(), 0);
    temp_.clear();
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
}

void set_write_capacity_for_tests(std::int64_t bytes) { g_write_capacity = bytes; }
void set_unnamed_temp_files_for_tests(bool allowed) { g_unnamed_temp_files = allowed; }
void set_write_observer_for_tests(std::function<void(std::uint64_t)> observer) {
    write_observer() = std::move(observer);
}

bool FileWriter::write(const void* data, std::size_t size) {
    if (!stream_) return false;
    if (!take_write_capacity(size)) {
        failed_ = true;
        fail(with_error("its new file cannot be written"));
        return false;
    }
    if (size && std::fwrite(data, 1, size, stream_) != size) {
        failed_ = true;
        fail(with_error("its new file cannot be written"));
    }
    written_ += size;
    written_content_.add(data, size);
    if (write_observer() && std::fflush(stream_) == 0) write_observer()(written_);
    return !failed_;
}

bool FileWriter::commit() {
    if (!stream_) return false;
    const int fd = ::fileno(stream_);
    bool ok = !failed_ && std::fflush(stream_) == 0 && !std::ferror(stream_) && ::fsync(fd) == 0;
    if (!ok) fail(with_error("its new file cannot be written"));
    if (in_place_) {
        ok = ok && commit_in_place(fd);
        discard();
        return ok;
    }
    // Only a file written whole and on disk gets a name.
    if (ok && temp_.empty() && !name_temp_beside(fd, folder_.get(), name_, &temp_)) {
        ok = false;
        fail(with_error("its new file cannot be given a name"));
    }
    // The file the rename takes the name from, held to see how the rename leaves it where other names keep it.
    const Descriptor replaced(::openat(folder_.get(), name_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    // What came under the name since the landing was found (a link put there, another file, the file changed) is
    // not replaced.
    if (ok && !target_unchanged()) {
        ok = false;
        fail("the file there changed after it was looked at", true);
    }
    if (ok && ::renameat(folder_.get(), temp_.c_str(), folder_.get(), name_.c_str()) != 0) {
        ok = false;
        fail(with_error("it cannot be put in place"));
    }
    if (ok) {
        temp_.clear();
        // Taken once renamed: the rename moves the file's change time.
        struct stat written;
        if (stat_of(fd, &written)) written_identity_ = identity_of(written);
        record_access_list(fd, &written_identity_);
        for (const std::string& line : kept_lines_) report_line(line);
        written_identity_.content = written_content_.digest();
        // Another name of the file replaced still holds it, and the rename moved its change time (one link less),
        // and nothing else.
        struct stat left;
        if (replaced && expected_.known() && stat_of(replaced.get(), &left) && left.st_nlink > 0) {
            FileIdentity moved = expected_;
            moved.changed = identity_of(left).changed;
            if (identity_of(left) == moved) left_behind_ = moved;
        }
        // A copy that a rewrite in place killed midway kept beside the file is no longer needed: the file is whole.
        const std::string copy = copy_name(name_, expected_.inode);
        if (const Descriptor stale = expected_.known() ? hold_if_abandoned(folder_.get(), copy, false) : Descriptor())
            ::unlinkat(folder_.get(), copy.c_str(), 0);
    }
    // Closed (and unlocked) only now: until the rename its name was there for a clean-up to see. What was written
    // is on disk already, so the close has nothing left to fail on.
    discard();
    return ok;
}

// The new text, whole in the temporary file open at `fd`, rewritten over the file held: every other name of it holds
// the new text too.
bool FileWriter::commit_in_place(int fd) {
    std::string why;
    bool changed = false;
    if (!rewrite_in_place(folder_.get(), name_, target_.get(), expected_, fd, &why, &changed)) {
        fail(why, changed);
        return false;
    }
    struct stat written;
    if (!stat_of(target_.get(), &written)) return true;
    written_identity_ = identity_of(written);
    record_access_list(target_.get(), &written_identity_);
    written_identity_.content = written_content_.digest();
    if (written.st_nlink > 1) left_behind_ = written_identity_;
    return true;
}

bool write_whole_file(std::string_view windows_path, std::string_view bytes, std::string* why) {
    FileWriter w(windows_path);
    if (w.write(bytes.data(), bytes.size()) && w.commit()) return true;
    if (why) *why = w.failure();
    return false;
}

}  // namespace kz::platform
