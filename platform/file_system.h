// Files and folders in place of the kernel's file calls. Paths stay in Windows form inside and are mapped as
// path_names.h maps them, and a name that does not exist exactly is found case-insensitively, as on Windows.
// Not here: attributes beyond read-only and directory, file sharing modes, alternate streams, short names.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/content_digest.h"
#include "platform/descriptor.h"
#include "platform/file_stamps.h"
#include "platform/path_names.h"
#include "platform/private_folder.h"  // the program's temporary folder, which the names here reach

namespace kz::platform {

// The POSIX path of an existing file or folder, matching each name without regard to case when the exact one does
// not exist. Several case variants: the exact spelling when it exists, else the one first in byte order.
// Empty when nothing matches.
std::string resolve_existing(std::string_view windows_path);
// Where a write to the path lands: an existing file under its existing spelling (as resolve_existing), else the
// given name in the resolved folder. Empty when the folder does not exist.
std::string resolve_for_write(std::string_view windows_path);
// The absolute path the system reaches by `native`, every link, "." and ".." resolved; empty when it reaches nothing.
std::string real_path(const std::string& native);

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Largest file read whole: a model of 100,000 shapes is about 8 MB, so anything near this is not a model.
constexpr std::size_t kMaxReadBytes = std::size_t(256) << 20;

// Opens an existing regular file for reading ("rb"); null when missing or not a regular file. The kind is checked
// on the opened descriptor (a FIFO, a device or a folder never blocks the caller or streams forever).
FilePtr open_for_reading(std::string_view windows_path);
// The whole file; false when it is missing, not a regular file, unreadable, or longer than `limit` bytes, with
// the reason in `why` (when given) for the caller's one line on standard error. `identity` (when given) receives
// the file read as it stood before its first byte was read, taken from the descriptor it was read through (a change
// made while it is read moves its stamps past these, so it counts as changed since it was read); `read_path` (when
// given) the path the system gives that file (its folder's real path and its name), empty where it has none.
bool read_whole_file(std::string_view windows_path, std::string* bytes, std::size_t limit = kMaxReadBytes,
                     std::string* why = nullptr, FileIdentity* identity = nullptr, std::string* read_path = nullptr);

// Whether the file can be read whole, judged without reading it: an existing regular file the user may open, no
// longer than `limit` bytes. False with the reason in `why` (when given) otherwise.
bool readable_file(std::string_view windows_path, std::size_t limit = kMaxReadBytes, std::string* why = nullptr);

// Where a replacing write of a name lands, worked out once and held: the name resolved as a read resolves it (its
// "." and "..", and every link on the way, by the system; case matched), a link at its end followed to the file it
// names, and the folder of that file opened and kept by its descriptor. Not found (with the reason in why()) when
// the folder is missing, the name ends in "." or "..", or its links go round.
class WriteLanding {
public:
    explicit WriteLanding(std::string_view windows_path);
    bool found() const { return bool(folder_); }
    const std::string& why() const { return why_; }
    // The landing file's POSIX path: its folder's real path and its name there.
    const std::string& path() const { return path_; }
    // The file there (and how it stood) when the landing was worked out; unknown when there was none.
    FileIdentity identity() const { return identity_; }
    // The file there as identity() gives it, with the digest of the bytes it holds now (where digests are taken and
    // it is no larger than a file read whole): what a caller that asks before replacing it asked about.
    FileIdentity with_bytes() const;
    // Whether the file there is still `read`: by its stamps, and where `read` knows the digest of its bytes, by its
    // bytes too, read through the folder held (false when they cannot be read). Another program's lease on the file
    // is waited out for a while (file_in_use.h); where it still holds the file, `in_use` (when given) is set.
    bool holds(const FileIdentity& read, bool* in_use = nullptr) const;
    // Whether the landing lies inside the folder, found as a read finds it (links followed).
    bool inside(std::string_view windows_folder) const;

private:
    friend class FileWriter;
    Descriptor folder_;
    std::string name_, path_, why_;
    FileIdentity identity_;
};

// Replaces (or creates) a file safely: everything goes to a temporary file in the same folder, which is renamed
// over the target only by commit(). The target is a WriteLanding's (the one given, or one worked out from the name):
// the temporary file is made in the folder it holds and renamed onto its name there, and only while the file under
// that name is still the one the landing found (or there still is none); a link put there meanwhile is replaced
// itself, never followed. Destroying an uncommitted writer removes the temporary file and leaves the
// old file as it was. The temporary file has no name until the commit where the file system allows it, so a
// writer killed mid-save leaves nothing behind; elsewhere it is named ".<name>.kztmp-XXXXXX" and locked (flock)
// while its writer lives, and a later writer of the same target removes such files that nobody holds any more.
// A target whose mode bits make it read-only is refused (is_open false), as Windows refuses to replace a
// read-only file, even for a user whom the system would let write it; so is one the user may not write by the
// kernel's answer (its access list included), and one another program holds by a lease for longer than the wait of
// file_in_use.h. The new file keeps what the user set on the file its text came from (`read`; by default the one the
// landing found) as that file stands now, and nothing of a file someone else has put there since
// (kept_permissions.h). Where the file there is the file read and belongs to someone the user cannot give a new file
// to (anyone but root saving another's file), it is rewritten in place instead, which keeps everything it has: its
// old text is first copied whole beside it (in_place_rewrite.h), and a writer killed during the rewrite leaves that
// copy, which the next open of the file puts back (put_back_cut_rewrite) and the next save makes needless. The
// commit is checked against `replaced` (by default `read`): while the landing's file is that file by its stamps, and
// `replaced` knows the digest of its bytes, the bytes there just before the rename (or the rewrite) must be those.
class FileWriter {
public:
    explicit FileWriter(std::string_view windows_path);
    explicit FileWriter(const WriteLanding& landing);
    FileWriter(const WriteLanding& landing, const FileIdentity& read);
    FileWriter(const WriteLanding& landing, const FileIdentity& read, const FileIdentity& replaced);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    bool is_open() const { return stream_ != nullptr; }
    std::FILE* stream() { return stream_; }
    bool write(const void* data, std::size_t size);
    // Flushes to disk and renames over the target; false (and the old file untouched) on any failure.
    bool commit();
    // The file the commit put in place, as it stood once renamed onto its name; unknown before a commit went through.
    FileIdentity written_identity() const { return written_identity_; }
    // The file the commit took the name from, as the rename left it where another name still holds it (one link
    // less, its change time moved, all else as it was); after a rewrite in place, the file as the other names hold it
    // now (the written text, the digest of which it knows); unknown where no other name holds it.
    FileIdentity left_behind() const { return left_behind_; }
    // Whether the commit rewrites the file there in place (decided when the writer opens).
    bool rewrites_in_place() const { return in_place_; }
    // Why the writer failed, for a line on standard error (the system's reason in brackets where it gave one);
    // empty while it has not. target_changed(): the file under the name was no longer the one expected.
    const std::string& failure() const { return failure_; }
    bool target_changed() const { return target_changed_; }

private:
    void open(const WriteLanding& landing, const FileIdentity& read, const FileIdentity& replaced);
    void fail(std::string why, bool target_changed = false);
    bool may_write(const struct stat& st);
    void hold_for_rewrite();
    bool commit_in_place(int fd);
    void discard();
    bool target_unchanged() const;

    Descriptor folder_;  // the landing folder, this writer's own descriptor of it
    Descriptor target_;  // the file there, held for its rewrite in place; not open for a replacement
    std::string name_;   // the target's name in it
    FileIdentity expected_;
    FileIdentity written_identity_;
    FileIdentity left_behind_;
    std::string failure_;
    bool target_changed_ = false;
    ContentHasher written_content_;  // of every byte written
    std::string temp_;               // the temporary file's name in the folder; empty while it has none
    std::FILE* stream_ = nullptr;
    std::uint64_t written_ = 0;
    bool failed_ = false;
    bool in_place_ = false;
    // What was not kept of the file replaced, said once the new file is in place.
    std::vector<std::string> kept_lines_;
};
// A FileWriter's whole work in one call; on failure `why` (when given) receives its failure().
bool write_whole_file(std::string_view windows_path, std::string_view bytes, std::string* why = nullptr);
// Test hook: every writer fails as on a full disk (ENOSPC) once this many bytes were written in all since the call;
// a negative count lifts it.
void set_write_capacity_for_tests(std::int64_t bytes);
// Test hook: false makes writers and downloads use named temporary files, as on a file system without unnamed ones.
void set_unnamed_temp_files_for_tests(bool allowed);
// Test hook: called after every FileWriter::write with the bytes that writer has put in its file so far (flushed
// to the file first); empty to remove.
void set_write_observer_for_tests(std::function<void(std::uint64_t)> observer);
// Test hook: called at every step of a rewrite in place ("copying" after each piece of the copy, "copied",
// "rewriting" after each piece of the rewrite, "rewritten", "copy removed", "putting back" after each piece a put
// back writes); empty to remove.
void set_rewrite_observer_for_tests(std::function<void(std::string_view step)> observer);

// Before the file is read: where a save that rewrote it in place was cut short (the viewer killed), the whole copy of
// the file as it was before that save is still beside it, and is put back, with a line on standard error; where it
// cannot be (the user may not write the file, or may not read a copy another user's save left), a line names the
// copy and why. A rewrite under way is waited for a while. Nothing is done where no copy is there.
void put_back_cut_rewrite(std::string_view windows_path);

// The POSIX path where a write to `windows_path` lands once every existing component is resolved (symlinks
// followed, case matched), provided the rest holds no "." or ".." component; empty otherwise.
std::string landing_path(std::string_view windows_path);
// The POSIX path where a write to `windows_path` lands, but only when that place lies inside `folder` once every
// existing component of both is resolved (symlinks followed, case matched) and the rest holds no "." or ".."
// component; empty otherwise. Whatever a name says, a write through this stays in the folder.
std::string confined_path(std::string_view folder, std::string_view windows_path);
// Identity of an existing file (device and inode as text), so that two spellings of one file compare equal;
// empty when the file does not exist.
std::string file_identity(std::string_view windows_path);

struct FileInfo {
    bool directory = false;
    bool read_only = false;
    std::uint64_t size = 0;
    std::uint64_t write_time = 0;  // 100-ns intervals since 1601-01-01 UTC, as Windows stamps files
    std::string name;              // CP932, the entry's own spelling
};
bool get_file_info(std::string_view windows_path, FileInfo* info);
bool file_exists(std::string_view windows_path);  // file or folder
bool is_directory(std::string_view windows_path);
// Entries of the folder named by the pattern's folder part whose names match its last part ("*" and "?", case
// ignored, "*.*" matching every name), in name order; never "." or "..".
std::vector<FileInfo> find_files(std::string_view windows_pattern);

bool create_directory(std::string_view windows_path);  // false when it exists or cannot be made
// Creates a folder that only the user can enter (0700 whatever the umask); true when it is there now as a folder.
bool create_private_directory(std::string_view windows_path);
bool remove_directory(std::string_view windows_path);  // empty folders only
bool set_read_only(std::string_view windows_path, bool read_only);
// Deletes one file (never a folder, never the running program, and a symlink only as the link itself).
bool delete_file(std::string_view windows_path);
// Deletes a folder and everything in it, but only when it lies below one of the program's temporary folders;
// symlinks inside are removed as links and never followed, whatever is renamed or replaced meanwhile: the removal
// works from descriptors of the folders, and files are unlinked without being opened or changed. Returns whether
// the folder is gone.
bool delete_tree_below_temp(std::string_view windows_path);
// The program's temporary folders (Windows form, trailing "\\"): `temp_path()` + "kzview_tempp\\" and
// "kz3d_temp\\" are always included (while `temp_path()` is usable); more can be added.
void add_program_temp_root(std::string_view windows_path);

// The running program's own file, Windows form.
std::string module_file_name();
std::string current_directory();

}  // namespace kz::platform
