// The MPW file: the 4096-byte drawing header, then the seven columns c1 .. c7 of the rows written, each as one
// block of little-endian 32-bit cells. A read goes into new columns that replace the drawing's only when the whole
// file was read and ends with the end code, so a short or damaged file leaves the drawing as it was; a write goes to
// a temporary file that replaces the old one only when everything was written.
#include <strings.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "drawing2d/drawing_files.h"
#include "drawing2d/mpp_file.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/text_utils.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
static_assert(std::endian::native == std::endian::little, "MPW cells are stored as the machine holds them");

namespace {
constexpr int kStampOffset = 776;
constexpr int kStampLength = 80;

// Seven columns of `cells` cells each, freed unless handed over.
class NewColumns {
public:
    explicit NewColumns(std::size_t cells) {
        for (auto& col : cols_) {
            col = static_cast<int32_t*>(fresh_block(nullptr, cells * sizeof(int32_t)));
            if (!col) ok_ = false;
        }
    }
    ~NewColumns() {
        for (auto* col : cols_) release_block(col);
    }
    NewColumns(const NewColumns&) = delete;
    NewColumns& operator=(const NewColumns&) = delete;
    bool ok() const { return ok_; }
    int32_t* operator[](int k) const { return cols_[k]; }
    // Puts these columns into the drawing and takes its old ones, to be freed with this object.
    void swap_into(drawing_context* ctx) {
        int32_t** slots = &ctx->c1;
        for (int k = 0; k < 7; ++k) std::swap(slots[k], cols_[k]);
    }

private:
    int32_t* cols_[7] = {};
    bool ok_ = true;
};

void put_double(unsigned char* header, int offset, double v) { std::memcpy(header + offset, &v, sizeof v); }
}  // namespace

long long stream_size(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    long long size = ftello(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

void store_drawing_header(drawing_context* ctx) {
    unsigned char* h = ctx->drawing_header;
    ctx->version = 5.0;
    put_double(h, 0, 5.0);
    put_double(h, 8, ctx->plot_scale);
    put_double(h, 16, ctx->gentenx);
    put_double(h, 24, ctx->genteny);
    for (int i = 0; i < 7; ++i) put_double(h, 32 + 8 * i, ctx->header_values[i]);
    for (int i = 0; i < 34; ++i) put_double(h, 88 + 8 * i, ctx->header_copies[i]);
    for (int i = 0; i < 2; ++i) put_double(h, 360 + 8 * i, ctx->header_sizes[i]);
    put_double(h, 376, ctx->dwxmin);
    put_double(h, 384, ctx->dwymin);
    put_double(h, 392, ctx->dwxmax);
    pack_layer_bits(ctx->disp_layer, h + 400);
    pack_layer_bits(ctx->lock_layer, h + 432);
    put_double(h, 472, ctx->print_scale);
    put_double(h, 480, ctx->print_offset_x);
    put_double(h, 488, ctx->print_offset_y);
    pack_layer_bits(ctx->lock_layer, h + 496);
    for (int i = 0; i < 9; ++i) {
        put_double(h, 560 + 24 * i, ctx->window_xmin[i]);
        put_double(h, 568 + 24 * i, ctx->window_ymin[i]);
        put_double(h, 576 + 24 * i, ctx->window_xmax[i]);
    }
    std::size_t n = strnlen(ctx->stamp_copy, kStampLength);
    std::memcpy(h + kStampOffset, ctx->stamp_copy, n);
    h[kStampOffset + n] = 0;
    // The header is written as version 5, whose reader clears the eight bytes after the stamp's room: a block
    // read from an older version keeps none there, so a file read back writes what it was written with.
    std::memset(h + kStampOffset + kStampLength, 0, 8);
}

int read_mpw(drawing_context* ctx, const char* path, int32_t row) {
    kz::platform::FilePtr file = kz::platform::open_for_reading(path ? path : "");
    if (!file) return 0;
    long long size = stream_size(file.get());
    if (size < kHeaderBytes + kMpwRowBytes) return 0;
    if (row < 0) row = 0;
    long long n = (size - kHeaderBytes) / kMpwRowBytes;
    if (row + n + 5000 > INT32_MAX - 2000) return 0;  // the rows could not be indexed
    int32_t rows = static_cast<int32_t>(n), capacity = row + rows + 5000;
    std::size_t cells = static_cast<std::size_t>(capacity) + 1501;
    unsigned char header[kHeaderBytes];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return 0;
    NewColumns cols(cells);
    if (!cols.ok()) return 0;
    int32_t kept = row <= ctx->mat ? row : ctx->mat + 1;  // rows before a merge stay
    for (int k = 0; k < 7; ++k) {
        if (kept > 0) std::memcpy(cols[k], columns(ctx)[k], static_cast<std::size_t>(kept) * sizeof(int32_t));
        if (std::fread(cols[k] + row, sizeof(int32_t), static_cast<std::size_t>(rows), file.get()) !=
            static_cast<std::size_t>(rows))
            return 0;
    }
    // Every writer ends the rows with the end code; a file cut short or damaged there is not taken.
    if ((cols[0][row + rows - 1] & 0xFFFF) != kEndCode) return 0;
    cols.swap_into(ctx);
    ctx->max = capacity;
    ctx->mau = capacity + 500;
    ctx->mat = capacity + 1500;
    std::memcpy(ctx->drawing_header, header, sizeof header);
    ctx->c1[row + rows - 1] = kEndCode;
    ctx->data_end = row + rows - 1;
    ctx->append_scan_hint = 0;
    mark_row_limits(ctx);
    return 1;
}

int write_mpw(drawing_context* ctx, const char* path, int32_t row) {
    if (row < 0) row = 0;
    int32_t end = find_data_end(ctx, row);
    if (end < row) return 0;
    std::size_t n = static_cast<std::size_t>(end - row + 1);
    kz::platform::FileWriter writer(path ? path : "");
    if (!writer.is_open() || !writer.write(ctx->drawing_header, kHeaderBytes)) return 0;
    for (int k = 0; k < 7; ++k)
        if (!writer.write(columns(ctx)[k] + row, n * sizeof(int32_t))) return 0;
    return writer.commit() ? 1 : 0;
}

int xfc_read_mem(const char* path, unsigned char* header_out, int32_t* disp_out, int32_t* lock_out, char* stamp_out) {
    PathParts parts = split_path(path);
    unsigned char header[kHeaderBytes];
    if (strcasecmp(parts.ext.c_str(), ".MPP") == 0) {
        if (!read_mpp_header(path, header)) return 0;
    } else if (strcasecmp(parts.ext.c_str(), ".MPW") == 0) {
        kz::platform::FilePtr file = kz::platform::open_for_reading(path);
        if (!file || std::fread(header, 1, sizeof header, file.get()) != sizeof header) return 0;
    } else {
        return 0;
    }
    if (header_out) {
        std::memset(header_out, 0, 8);
        std::memcpy(header_out + 8, header, sizeof header);
    }
    if (disp_out) {
        unpack_layer_bits(header + 400, disp_out);
        if (lock_out) unpack_layer_bits(header + 496, lock_out);
    }
    if (stamp_out) {
        std::memset(header + 856, 0, 8);
        std::size_t n = strnlen(reinterpret_cast<const char*>(header + kStampOffset), kStampLength);
        std::memcpy(stamp_out, header + kStampOffset, n);
        stamp_out[n] = 0;
    }
    return 1;
}

}  // namespace kz::drawing2d
