// Paths, URLs, file kinds and folders: the Shift_JIS path operations the document and the view use to resolve
// and write back referenced names, classify opened files, keep the folder stack and clean temporary folders.
#pragma once
#include <cstdint>

namespace kz::foundation {

// Names are handled in buffers of this many bytes; longer results are cut at a character boundary.
constexpr int kPathBufferSize = 2048;

// 1 when the name, as written, begins with one "/": a POSIX name from the root, absolute as a drive name is. Such a
// name keeps its "/" separators inside, so that it is written back as it was read. One "\\" keeps its own meaning
// (joined to the folder), and "//" begins a network name, as "\\\\" does.
int is_posix_absolute(const char* name);

// 1 figure file, 2 image, 3 2D drawing (by extension, any case); any other name: url_or_file_exists.
int get_file_kind(const char* path);
// 1 for an "http:" name or an existing file or folder (wildcards allowed), else 0 (null and empty included).
int url_or_file_exists(const char* name);
// 1 when the path's extension equals `extension` (with its point), case ignored.
int has_extension(const char* path, const char* extension);
// The path with the extension added when it has none (an extension under two characters counts as none).
void add_default_extension(char* out, const char* path, const char* extension);
// Folder = drive + directory with its trailing separator; file = name + extension. Either output may be null.
void split_folder_and_file(const char* path, char* folder, char* file);
// A new heap text replacing old_block: "/" to "\\", "folder\\..\\" pairs and "\\.\\" collapsed, a leading ".\\"
// dropped.
char* normalize_path(char* old_block, const char* path);
// The full path or URL of `name` seen from the base folder (first n bytes of the name when n > 0); returns 0. A POSIX
// absolute name stays as it is, and a name joined to a POSIX folder is a POSIX name (both with "/" separators) while
// it stays below the folder; one that climbs out of it is the drive name of its file.
int resolve_relative_path(char* out, const char* name, const char* base, int n);
// The path as written into a file in the base folder; null (and an empty output) for a null or empty path. A POSIX
// absolute path is written relative when it lies inside the base folder, else as it is.
char* make_relative_path(const char* base, const char* path, char* out);
// Parts of an "http:" URL; for any other name only the query is given. Each output may be null.
void split_url_path(const char* url, char* server, char* folder, char* file, char* extension, char* query);
// Separators turned outside double-byte characters; out null: in place. Returns the result.
char* to_backslashes(char* path, char* out);
char* to_forward_slashes(char* path, char* out);
// Creates every folder along the path (not the drive); 1.
int make_folders(const char* path);
// Names in folder + pattern (folders only when folders_only is 1, else files, whose sizes add up in *total),
// skipping "." and ".." and names beginning with `exclude_prefix` (case ignored). Null with *count 0 when nothing
// matches; else an array of heap texts to release with free_folder_listing.
char** list_folder(const char* folder, const char* pattern, int folders_only, int* count, std::uint32_t* total,
                   const char* exclude_prefix);
void free_folder_listing(char** names, int count);
// Deletes the folder (given with its trailing separator) and everything in it, when it lies below the program's
// temporary folders; 0.
int delete_folder_tree(const char* folder);
std::uint32_t get_file_size(const char* path);
// Low 32 bits of the last-write time, a change stamp; 0 when missing.
std::uint32_t get_file_write_stamp(const char* path);
// The start path carried in the program's own file name ("viewer_C')models)plant(2)" -> "C:\\models\\plant" +
// extension); empty without "_".
void decode_path_from_file_name(const char* name, char* out, const char* extension);
// Deletes folder + name + "*" + extension for a name holding "_"; the number deleted.
int delete_file_copies(const char* folder, const char* name, const char* extension);

// Stack of (folder, file) heap-text pairs; the top node is always empty.
struct StringPairNode {
    char* folder = nullptr;
    char* file = nullptr;
    StringPairNode* below = nullptr;
};
// Stores copies in the top node and returns a new empty top above it (a null top starts a stack).
StringPairNode* push_string_pair(StringPairNode* top, const char* folder, const char* file);
// Frees the top node, moves the texts of the node below into *folder and *file (their old texts freed) and
// returns that node as the new top; a top with nothing below is returned unchanged.
StringPairNode* pop_string_pair(StringPairNode* top, char** folder, char** file);
// Frees every node of a stack.
void free_string_pairs(StringPairNode* top);

}  // namespace kz::foundation
