// The MPP file, the older compact drawing file: a 1024-byte header of MBF singles and layer bit sets, then the
// seven columns as 16-bit cells. Writing picks a coarser unit (and a shift) that brings the records into 16 bits;
// reading builds everything aside and touches the drawing only once the whole file was taken.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "drawing2d/drawing_files.h"
#include "drawing2d/mpp_file.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
constexpr int kRawFrom = 512;  // bytes 512 .. 1027 of the 1028-byte buffers: the file's raw block
constexpr int kRawBytes = 516;
constexpr int kStamp = 776;
// The largest magnitude an MBF single holds: the IEEE exponent 253 is MBF's 255.
const double kMbfMax = std::ldexp(static_cast<double>(std::nextafter(1.0f, 0.0f)) * 2.0, 126);

int16_t low16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)); }
int16_t rounded(double v) { return low16(round_to_int32(v)); }
int32_t u16(int32_t v) { return v & 0xFFFF; }

// Degrees in millionths brought into 0 .. 360 and given in hundredths.
int16_t hundredths_of(int32_t millionths) { return rounded(normalize_degrees(millionths / 1000000.0) * 100.0); }

struct MppFit {
    double s = 1, ox = 0, oy = 0;
    int16_t X(double x) const { return rounded((x + ox) * s); }
    int16_t Y(double y) const { return rounded((y + oy) * s); }
    int16_t L(double v) const { return rounded(v * s); }
};

int16_t at_least(int16_t v, int16_t floor) { return v < floor ? floor : v; }

using Cells = std::vector<int16_t>;  // seven columns of n cells, column k at k * n

// One row (or, for a head, the head and its second row) of the drawing into the cells; the rows used.
int convert_row_out(const drawing_context* ctx, int32_t r, std::size_t i, std::size_t n, const MppFit& f, Cells& out) {
    auto put = [&](std::size_t at, int16_t a, int16_t b, int16_t c, int16_t d, int16_t e, int16_t g, int16_t h) {
        const int16_t v[7] = {a, b, c, d, e, g, h};
        for (int k = 0; k < 7; ++k) out[k * n + at] = v[k];
    };
    const int32_t* const* col = columns(ctx);
    auto copy = [&](std::size_t at, int32_t row) {
        for (int k = 0; k < 7; ++k) out[k * n + at] = low16(col[k][row]);
    };
    const int32_t code = row_code(ctx, r);
    const int32_t type = row_type(ctx, r);
    const bool two = i + 1 < n;
    const int16_t head = low16(ctx->c1[r]), group = low16(ctx->c2[r]), attrs = low16(ctx->c3[r]);
    const int16_t cont = low16(kContinuationCode);
    if (code <= 0) {
        copy(i, r);
        return 1;
    }
    const int32_t q = r + 1;
    switch (type) {
    case kTypeLine:
        put(i, head, group, attrs, f.X(ctx->c4[r]), f.Y(ctx->c5[r]), f.X(ctx->c6[r]), f.Y(ctx->c7[r]));
        return 1;
    case kTypeArc:
        if (!two) break;
        put(i, head, group, attrs, f.X(arc_centre_x(ctx, r)), f.Y(arc_centre_y(ctx, r)),
            at_least(f.L(static_cast<uint32_t>(ctx->c6[r])), 1), low16(ctx->c7[r]));
        put(i + 1, cont, 0, 0, 0, 0, rounded(ctx->c6[q] / 10000.0), rounded(ctx->c7[q] / 10000.0));
        return 2;
    case kTypeText:
    case kTypeKanjiText:
        if (!two) break;
        put(i, head, group, attrs, f.X(ctx->c4[r]), f.Y(ctx->c5[r]), low16(ctx->c6[r]), 0);
        put(i + 1, cont, at_least(f.L(ctx->c2[q]), 5), at_least(f.L(ctx->c3[q]), 5), f.L(ctx->c4[q]),
            hundredths_of(ctx->c5[q]), hundredths_of(ctx->c6[q]), low16(ctx->c7[q]));
        return 2;
    case kTypeMultiRow:
        if (!two) break;
        put(i, head, group, attrs, f.X(ctx->c4[r]), f.Y(ctx->c5[r]), f.L(ctx->c6[r]), f.L(ctx->c7[r]));
        put(i + 1, cont, low16(ctx->c2[q]), low16(ctx->c3[q]), rounded(ctx->c4[q] / 10000.0), low16(ctx->c5[q]),
            f.L(ctx->c6[q]), f.L(ctx->c7[q]));
        return 2;
    default: break;
    }
    put(i, 0, 0, 0, 0, 0, 0, 0);
    return 1;
}

// The 16-bit cells back into 32-bit columns at `row`: codes zero-extended, values sign-extended, then the
// unsigned fields of each record widened. Rows without an end code are ended after the last one read.
void convert_rows_in(drawing_context* ctx, int32_t row, const Cells& in, std::size_t n) {
    int32_t* const* col = columns(ctx);
    for (std::size_t i = 0; i < n; ++i) {
        col[0][row + i] = static_cast<uint16_t>(in[i]);
        for (int k = 1; k < 7; ++k) col[k][row + i] = in[k * n + i];
    }
    const int32_t last = row + static_cast<int32_t>(n);
    int32_t r = row;
    for (; r < last && row_code_u(ctx, r) != kEndCode; ++r) {
        if (row_code(ctx, r) <= 0) continue;
        ctx->c2[r] = u16(ctx->c2[r]);
        ctx->c3[r] = u16(ctx->c3[r]);
        const int32_t q = r + 1;
        if (q >= last) break;
        switch (row_type(ctx, r)) {
        case kTypeArc:
            ctx->c6[q] = u16(ctx->c6[q]) * 10000;
            ctx->c7[q] = u16(ctx->c7[q]) * 10000;
            break;
        case kTypeText:
        case kTypeKanjiText:
            ctx->c5[q] = u16(ctx->c5[q]) * 10000;
            ctx->c6[q] = u16(ctx->c6[q]) * 10000;
            ctx->c7[q] = u16(ctx->c7[q]);
            break;
        case kTypeMultiRow:
            ctx->c4[q] = u16(ctx->c4[q]) * 10000;
            ctx->c5[q] = u16(ctx->c5[q]);
            break;
        default: break;
        }
    }
    if (r >= last) r = last;  // a file without its end code
    ctx->c1[r] = kEndCode;
    ctx->data_end = r;
}

double block_double(const unsigned char* block, int offset) {
    double v;
    std::memcpy(&v, block + offset, sizeof v);
    return v;
}
void put_block_double(unsigned char* block, int offset, double v) { std::memcpy(block + offset, &v, sizeof v); }
double clamp_window(double v) { return v < -32000 ? -32000 : v > 31900 ? 31900 : v; }
}  // namespace

void double_to_mbf(double value, unsigned char* out) {
    if (std::isnan(value)) value = 0;
    if (value > kMbfMax) value = kMbfMax;
    if (value < -kMbfMax) value = -kMbfMax;
    const float single = static_cast<float>(value);
    unsigned char b[4];
    std::memcpy(b, &single, sizeof b);
    if (!b[0] && !b[1] && !b[2] && !b[3]) {
        std::memset(out, 0, 4);
        return;
    }
    out[3] = static_cast<unsigned char>(((b[3] << 1) | (b[2] >> 7)) + 2);
    out[2] = static_cast<unsigned char>((b[2] & 0x7F) | (b[3] & 0x80));
    out[1] = b[1];
    out[0] = b[0];
}

double mbf_to_double(const unsigned char* in) {
    if (in[3] == 0) return 0.0;
    const unsigned e = (in[3] - 2u) & 0xFFu;
    const unsigned char b[4] = {in[0], in[1], static_cast<unsigned char>(((e & 1u) << 7) | (in[2] & 0x7Fu)),
                                static_cast<unsigned char>((in[2] & 0x80u) | (e >> 1))};
    float single;
    std::memcpy(&single, b, sizeof single);
    return single;
}

double xlum_basic_float(const void* mbf) { return mbf_to_double(static_cast<const unsigned char*>(mbf)); }

double round_significant6(double value) {
    char text[64];
    kz::crt::c_snprintf(text, sizeof text, "%.6g", value);
    return kz::crt::c_strtod(text, nullptr);
}

void mpp_header_to_file(const unsigned char* header, unsigned char* file_header) {
    unsigned char* f = file_header + 4;
    // File offset 4k holds the double at header offset 8k, through the current window.
    for (int k = 0; k < 50; ++k) double_to_mbf(block_double(header, 8 * k), f + 4 * k);
    std::memcpy(f + 200, header + 400, 32);
    for (int k = 0; k < 3; ++k) double_to_mbf(block_double(header, 472 + 8 * k), f + 236 + 4 * k);
    std::memcpy(f + 248, header + 496, 32);
    for (int j = 0; j < 27; ++j) double_to_mbf(block_double(header, 560 + 8 * j), f + 280 + 4 * j);
    std::size_t n = strnlen(reinterpret_cast<const char*>(header + kStamp), 79);
    std::memcpy(f + 388, header + kStamp, n);
}

int mpp_header_from_file(unsigned char* header, const unsigned char* file_header) {
    const unsigned char* f = file_header + 4;
    bool finite = true;
    auto value = [&](int at) {
        double v = mbf_to_double(f + at);
        if (!std::isfinite(v)) finite = false;
        return v;
    };
    const double version = value(0);
    if (!finite) return 0;
    if (!(version >= 1.0)) return 1;
    put_block_double(header, 8, round_significant6(value(4)));
    const int groups[][3] = {{2, 43, 1}, {43, 47, 3}, {47, 50, 4}};  // file offsets 4k for k in [from, to)
    for (const auto& g : groups)
        if (version >= g[2])
            for (int k = g[0]; k < g[1]; ++k) put_block_double(header, 8 * k, value(4 * k));
    if (version >= 4) {
        std::memcpy(header + 400, f + 200, 32);
        for (int k = 0; k < 3; ++k) put_block_double(header, 472 + 8 * k, value(236 + 4 * k));
        std::memcpy(header + 432, f + 248, 32);
    }
    if (version >= 5) {
        std::memcpy(header + 496, f + 248, 32);
        for (int j = 0; j < 27; ++j) put_block_double(header, 560 + 8 * j, value(280 + 4 * j));
        std::memcpy(header + kStamp, f + 388, 80);
        header[kStamp + 80] = 0;
    }
    return finite ? 1 : 0;
}

double fit_mpp_scale(drawing_context* ctx, int32_t row, double* scale_out, double* xoffset_out, double* yoffset_out) {
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    const int32_t was = ctx->search_match_all;
    ctx->search_match_all = 1;
    // An empty drawing has nothing to fit: it counts as a single point at the origin.
    if (!row_range_extents(ctx, row, &xmin, &ymin, &xmax, &ymax, 0)) xmin = ymin = xmax = ymax = 0;
    ctx->search_match_all = was;
    const double w = xmax - xmin, h = ymax - ymin;
    double k = std::numeric_limits<double>::infinity();
    if (w > 0) k = std::min(k, 63900.0 / w);
    if (h > 0) k = std::min(k, 63900.0 / h);
    double s = 1, u = 1;
    const double plot = ctx->plot_scale;
    if (ctx->mpp_unit > 0) {
        s = plot / ctx->mpp_unit;
        u = ctx->mpp_unit;
        if (s > k) {
            s = k;
            u = plot / k;
        }
    } else if (k < 1) {
        static const double kLadder[] = {0.001, 0.01, 0.0125, 0.02, 0.025, 0.05, 0.1, 0.125, 0.2, 0.25, 0.5, 1,  1.25,
                                         2,     2.5,  5,      10,   20,    25,   50,  100,   125, 200,  250, 500};
        u = plot / k;
        for (double step : kLadder)
            if (step > u) {
                u = step;
                break;
            }
        s = plot / u;
    }
    double ox = 0, oy = 0;
    if (s * xmin < -32000 || s * xmax > 31900) ox = -(xmin + xmax) / 2;
    if (s * ymin < -32000 || s * ymax > 31900) oy = -(ymin + ymax) / 2;
    if (scale_out) *scale_out = s;
    if (xoffset_out) *xoffset_out = ox;
    if (yoffset_out) *yoffset_out = oy;
    return u;
}

int write_mpp(drawing_context* ctx, const char* path, int32_t row) {
    if (row < 0) row = 0;
    const int32_t end = find_data_end(ctx, row);
    if (end < row) return 0;
    const std::size_t n = static_cast<std::size_t>(end - row + 1);
    if (!(ctx->plot_scale > 0)) ctx->plot_scale = 1.0;
    MppFit fit;
    fit_mpp_scale(ctx, row, &fit.s, &fit.ox, &fit.oy);

    // The header as the file holds it: the unit replaces the plot scale, and the origin and every window move
    // with the records, so that a drawing read back lies where it lay.
    unsigned char block[kHeaderBytes];
    std::memcpy(block, ctx->drawing_header, sizeof block);
    put_block_double(block, 0, 5.0);
    put_block_double(block, 8, ctx->plot_scale / fit.s);
    put_block_double(block, 16, (block_double(block, 16) + fit.ox) * fit.s);
    put_block_double(block, 24, (block_double(block, 24) + fit.oy) * fit.s);
    put_block_double(block, 376, (block_double(block, 376) + fit.ox) * fit.s);
    put_block_double(block, 384, (block_double(block, 384) + fit.oy) * fit.s);
    put_block_double(block, 392, (block_double(block, 392) + fit.ox) * fit.s);
    for (int i = 0; i < 9; ++i) {
        const int at = 560 + 24 * i;
        put_block_double(block, at, clamp_window((block_double(block, at) + fit.ox) * fit.s));
        put_block_double(block, at + 8, clamp_window((block_double(block, at + 8) + fit.oy) * fit.s));
        put_block_double(block, at + 16, clamp_window((block_double(block, at + 16) + fit.ox) * fit.s));
    }
    unsigned char file_header[kMppHeaderBytes + 4] = {};
    mpp_header_to_file(block, file_header);
    if (ctx->work_buffer) std::memcpy(file_header + kRawFrom, ctx->work_buffer + kRawFrom, kRawBytes);

    Cells cells(7 * n);
    for (std::size_t i = 0; i < n;) i += convert_row_out(ctx, row + static_cast<int32_t>(i), i, n, fit, cells);
    kz::platform::FileWriter writer(path ? path : "");
    if (!writer.is_open() || !writer.write(file_header + 4, kMppHeaderBytes) ||
        !writer.write(cells.data(), cells.size() * sizeof(int16_t)))
        return 0;
    return writer.commit() ? 1 : 0;
}

int read_mpp(drawing_context* ctx, const char* path, int32_t row) {
    kz::platform::FilePtr file = kz::platform::open_for_reading(path ? path : "");
    if (!file) return 0;
    const long long size = stream_size(file.get());
    if (size < kMppHeaderBytes + kMppRowBytes) return 0;
    const long long rows = (size - kMppHeaderBytes) / kMppRowBytes;
    if (row < 0) row = 0;
    if (row + rows + 5000 > INT32_MAX - 2000) return 0;
    unsigned char file_header[kMppHeaderBytes + 4] = {};
    if (std::fread(file_header + 4, 1, kMppHeaderBytes, file.get()) != kMppHeaderBytes) return 0;
    unsigned char block[kHeaderBytes];
    std::memcpy(block, ctx->drawing_header, sizeof block);
    default_drawing_header(block);
    if (!mpp_header_from_file(block, file_header)) return 0;
    const std::size_t n = static_cast<std::size_t>(rows);
    Cells cells(7 * n);
    if (std::fread(cells.data(), sizeof(int16_t), cells.size(), file.get()) != cells.size()) return 0;
    if (!grow_rows(ctx, row + static_cast<int32_t>(n) + 5000)) return 0;
    std::memcpy(ctx->drawing_header, block, sizeof block);
    if (ctx->work_buffer) std::memcpy(ctx->work_buffer + kRawFrom, file_header + kRawFrom, kRawBytes);
    note_rows_changed(ctx, row);
    convert_rows_in(ctx, row, cells, n);
    mark_row_limits(ctx);
    return 1;
}

int read_mpp_header(const char* path, unsigned char* block) {
    kz::platform::FilePtr file = kz::platform::open_for_reading(path ? path : "");
    unsigned char file_header[kMppHeaderBytes + 4] = {};
    if (!file || std::fread(file_header + 4, 1, kMppHeaderBytes, file.get()) != kMppHeaderBytes) return 0;
    std::memset(block, 0, kHeaderBytes);
    default_drawing_header(block);
    return mpp_header_from_file(block, file_header);
}

}  // namespace kz::drawing2d
