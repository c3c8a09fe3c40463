// Reading and writing the selected variable by element type: doubles in and out, integers truncated toward zero,
// byte and half views of the record cells keeping the cell's other bits. Element ranges are held inside the field.
#include <algorithm>
#include <cstring>

#include "drawing2d/named_variables.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
bool in_field(const drawing_context* ctx, int64_t index) {
    return ctx->selected_variable && index >= 0 && index < ctx->selected_count;
}

// Runs f(element, position in the buffer) over first .. last, skipping elements outside the field.
template <class F>
void for_range(const drawing_context* ctx, int64_t first, int64_t last, F f) {
    int64_t from = std::max<int64_t>(first, 0), to = std::min<int64_t>(last, ctx->selected_count - 1);
    for (int64_t i = from; i <= to; ++i) f(i, i - first);
}

void put_bits(int32_t* cell, uint32_t mask, int shift, int64_t value) {
    uint32_t u = static_cast<uint32_t>(*cell);
    u = (u & ~(mask << shift)) | ((static_cast<uint32_t>(value) & mask) << shift);
    *cell = static_cast<int32_t>(u);
}
}  // namespace

void store_selected_element(drawing_context* ctx, int64_t index, double value) {
    if (!in_field(ctx, index)) return;
    auto* p = static_cast<unsigned char*>(ctx->selected_variable);
    auto cell = [&] { return reinterpret_cast<int32_t*>(p) + index; };
    switch (ctx->selected_type) {
    case kVarInt16: {
        auto v = static_cast<int16_t>(static_cast<uint16_t>(truncate_to_int64(value) & 0xFFFF));
        std::memcpy(p + 2 * index, &v, 2);
        break;
    }
    case kVarInt32: *cell() = truncate_to_int32(value); break;
    case kVarUInt32: *cell() = static_cast<int32_t>(static_cast<uint32_t>(truncate_to_int64(value))); break;
    case kVarDouble: reinterpret_cast<double*>(p)[index] = value; break;
    case kVarByte0: put_bits(cell(), 0xFF, 0, truncate_to_int64(value)); break;
    case kVarByte1: put_bits(cell(), 0xFF, 8, truncate_to_int64(value)); break;
    case kVarLow16: put_bits(cell(), 0xFFFF, 0, truncate_to_int64(value)); break;
    default: break;
    }
}

int xlum_get_array(drawing_context* ctx, const char* name, double* buffer, int64_t first, int64_t last) {
    if (!select_variable(ctx, name)) return 0;
    if (buffer) for_range(ctx, first, last, [&](int64_t i, int64_t k) { buffer[k] = selected_element(ctx, i); });
    return 1;
}

int xlum_set_array(drawing_context* ctx, const char* name, const double* buffer, int64_t first, int64_t last) {
    if (!select_variable(ctx, name)) return 0;
    if (buffer) for_range(ctx, first, last, [&](int64_t i, int64_t k) { store_selected_element(ctx, i, buffer[k]); });
    return 1;
}

int xlum_init_array(drawing_context* ctx, const char* name, double value, int64_t first, int64_t last) {
    if (!select_variable(ctx, name)) return 0;
    for_range(ctx, first, last, [&](int64_t i, int64_t) { store_selected_element(ctx, i, value); });
    return 1;
}

double xlum_get_val(drawing_context* ctx, const char* name, int64_t index) {
    if (!select_variable(ctx, name)) return 0.0;
    return selected_element(ctx, index);
}

int xlum_set_val(drawing_context* ctx, const char* name, int64_t index, double value) {
    if (!select_variable(ctx, name)) return 0;
    store_selected_element(ctx, index, value);
    return 1;
}

}  // namespace kz::drawing2d
