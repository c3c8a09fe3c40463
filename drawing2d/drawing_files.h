// Reading and writing drawing files: the dispatch by extension with the steps every format shares, the MPW file
// (the 4096-byte header, then the seven columns as 32-bit cells), the header-only read, and the drawing's current
// file name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

constexpr int kMpwRowBytes = 28;

// Row 0 replaces the drawing's records and settings; a row above 0 merges the file's records from there. 1 on
// success; 0 (the drawing unchanged) on failure.
int xlum_read(drawing_context* ctx, const char* path, int32_t row);
// As above, asking `keep_going` while a long text file is read: once it says stop, the file is read as though it
// ended there. The viewer's long work passes one; host programs call the plain form.
int xlum_read(drawing_context* ctx, const char* path, int32_t row, const std::function<bool()>& keep_going);
// Writes the records from `row` to the data end; 1 on success; 0 on failure, which leaves any existing file as
// it was.
int xlum_write(drawing_context* ctx, const char* path, int32_t row, double mpp_unit);
int read_mpw(drawing_context* ctx, const char* path, int32_t row);
int write_mpw(drawing_context* ctx, const char* path, int32_t row);
// The size of an opened file, which is left at its start; -1 when it cannot be told.
long long stream_size(std::FILE* f);
int read_mpp(drawing_context* ctx, const char* path, int32_t row);
int write_mpp(drawing_context* ctx, const char* path, int32_t row);
// Copies the settings into the header block, as they are saved.
void store_drawing_header(drawing_context* ctx);
// Reads only the header of an MPW file: header_out gets 8 zero bytes and the 4096-byte block; disp_out and then
// lock_out the 256 layer flags; stamp_out the stamp (at most 80 characters and the zero). Each may be null.
int xfc_read_mem(const char* path, unsigned char* header_out, int32_t* disp_out, int32_t* lock_out, char* stamp_out);

// A path divided as the platform's path splitting divides it: drive ("X:"), directory (with its last
// separator), name and extension (from the last dot of the last component).
struct PathParts {
    std::string drive, dir, name, ext;
    std::string joined() const { return drive + dir + name + ext; }
};
PathParts split_path(const char* path);
// Records the current file: a given path is split; each given part then replaces its field; the full path and the
// folder name follow. Each argument may be null. 0 when a part does not fit its field (that part is not taken).
int xlum_set_open_file(drawing_context* ctx, const char* path, const char* drive, const char* dir, const char* name,
                       const char* ext);
int xlum_get_last_file_name(const drawing_context* ctx, char* out, std::size_t capacity = 512);
int xlum_set_execpath(drawing_context* ctx, const char* path);

}  // namespace kz::drawing2d
