// The MPP file's pieces that other code and tests reach: Microsoft Binary Format singles, the header conversion
// between the drawing's header block and the file's 1024 bytes, and the fit of the records into 16-bit units.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

constexpr int kMppHeaderBytes = 1024;
constexpr int kMppRowBytes = 14;

// Stores the value as an MBF single; magnitudes beyond what MBF holds are kept at its largest, NaN as zero.
void double_to_mbf(double value, unsigned char* out);
// An MBF single; exponent byte 1 (which no writer makes) gives an infinity or NaN for the caller to refuse.
double mbf_to_double(const unsigned char* in);
double xlum_basic_float(const void* mbf);
double round_significant6(double value);

// `file_header` holds 1028 bytes: four unused ones, then the file's 1024. The reading side takes each group only
// from the version that holds it and gives 0 (the block partly filled) when a value it takes is not finite.
void mpp_header_to_file(const unsigned char* header, unsigned char* file_header);
int mpp_header_from_file(unsigned char* header, const unsigned char* file_header);

// The header of an MPP file as a 4096-byte block: the defaults of a new header (zero beyond them), then what the
// file holds. 0 when the file has no whole header or a value in it is not finite.
int read_mpp_header(const char* path, unsigned char* block);

// The size of one MPP unit in the drawing's real units for the records from `row`, with the scale and the
// offsets that bring them into 16-bit cells; each output may be null.
double fit_mpp_scale(drawing_context* ctx, int32_t row, double* scale_out, double* xoffset_out, double* yoffset_out);

}  // namespace kz::drawing2d
