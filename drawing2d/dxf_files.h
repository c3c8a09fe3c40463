// DXF files (the ASCII Drawing Exchange Format): the reader and writer that the drawing-file entry points call for
// ".DXF", and the conversion table beside the program that extends their line-type and colour maps.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// 1, or 0 when the file cannot be read or is a binary DXF. Row 0 resets the settings and fits the scale and
// origin to the file's limits; a merge keeps them. An import that reaches its budget stops there with one line on
// standard error and keeps the records it made before (1). `keep_going` is asked between entities: once it says
// stop, the file is read as though it ended there.
int read_dxf(drawing_context* ctx, const char* path, int32_t row);
int read_dxf(drawing_context* ctx, const char* path, int32_t row, const std::function<bool()>& keep_going);

// What one import may make, and read in blocks: a file that asks for more (blocks inserted in blocks, millions of
// lines) is cut there. Far above real drawings: a million lines take a million records and 27 MiB of rows.
inline constexpr long long kMaxDxfRecords = 4000000;
inline constexpr long long kMaxDxfRowBytes = 512LL << 20;
inline constexpr long long kMaxDxfBlockPairs = 50LL << 20;
struct DxfImportBudget {
    long long records = kMaxDxfRecords;
    long long row_bytes = kMaxDxfRowBytes;      // the rows the records take, 28 bytes a row (seven 32-bit cells)
    long long block_pairs = kMaxDxfBlockPairs;  // pairs read inside blocks, once for every insert
};
// The budget of every import from now on, lowered only where many imports must run quickly (fuzz harnesses,
// tests); gives the one it replaces.
DxfImportBudget set_dxf_import_budget(DxfImportBudget budget);

// 1, or 0 when there is nothing to write, the file cannot be written, or Escape stopped it.
int write_dxf(drawing_context* ctx, const char* path, int32_t row);

// The point of a text's outline for alignment h + 4 v (a negative h or v takes the record's own): corners,
// edge middles or the centre; the code used (0, corner 0, for codes that name no point).
int text_anchor_point(drawing_context* ctx, int32_t row, int horizontal, int vertical, double* x_out, double* y_out);

// The lines of one section of the conversion table ("%sboudxf.txt" with the exec path in front), without its
// opening and "//end" lines; empty when the table or the section is missing.
std::vector<std::string> dxf_table_section(const drawing_context* ctx, const char* section);

// The first `count` integers of a table line, each read as the C library's "%d" scans it (blanks before it
// skipped, a value beyond int saturated). Between two of them stand 1 to `most` bytes of `separators`, or, with no
// separators, nothing but blanks. False when fewer than `count` were read.
bool table_integers(const std::string& line, int count, int* values, const char* separators, std::size_t most);

// The plot scale an import fits to a file whose limits span `span` units: `scale` grown by tens until the span
// fits the 32-bit range.
double fitted_plot_scale(double scale, double span);
// The plot scale an import fits to a header whose limits and extents are both the box of these corners.
double header_fitted_scale(double lx, double ly, double hx, double hy);

}  // namespace kz::drawing2d
