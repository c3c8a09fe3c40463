// The block behind a drawing handle: settings, active attributes, layer tables, the saved header, the row limits
// and the seven columns c1..c7 of the record rows. Zero-filled at allocation, so it holds plain data only.
#pragma once
#include <cstdint>
#include <cstring>

#include "platform/crt/global_memory.h"

namespace kz::platform {
class DeviceContext;
}

namespace kz::drawing2d {

// The drawing library draws on platform/'s device contexts.
using device_context = kz::platform::DeviceContext;
struct lumfont_context;
struct lumfont_entry;

using drawing_handle = kz::crt::GlobalHandle;

// Codes in the low 16 bits of c1.
constexpr int32_t kEndCode = 0xFFFF;
constexpr int32_t kContinuationCode = 0xFE00;
constexpr int32_t kGroupEndCode = 0xFFFE;

// Record types (byte 1 of a head row's c1).
enum RecordType : int32_t {
    kTypeLine = 2,
    kTypeArc = 3,
    kTypeText = 5,
    kTypeKanjiText = 6,
    kTypePointRecord = 7,
    kTypeTextLike = 9,
    kTypeMultiRow = 15,
};

constexpr int kInitialRows = 3000;
constexpr int kHeaderBytes = 4096;
constexpr int kLayers = 256;
constexpr int kSlots = 16;

// One cell of the pen cache: the pen made for a colour entry and line style (made = 0: empty).
struct cached_pen {
    int32_t made;
    int32_t style;
    int32_t width;
    uint32_t color;
};

struct drawing_context {
    cached_pen pen_cache[48][9];
    int32_t pen_entry_state[48][3];  // colour, width and style index of the pen each entry made last
    int32_t pen_last_entry;          // the entry selected last
    int32_t real_draw;               // alias line_style_print_switch
    int32_t lock_layer_color;
    int32_t stroke_count, zero_length_count;
    lumfont_context* linked_font;
    int32_t back_color;
    int32_t draw_limit;
    int32_t draw_kanji_mode, draw_ank_mode;
    int32_t print_device;
    double device_dpi;
    device_context* current_dc;
    double last_pen_x, last_pen_y;
    double line_style_data[9][16];
    double dash_phase;
    int32_t dash_index, dash_style;
    uint32_t clipboard_format;
    int32_t active_layer, active_group, active_color, active_style;
    int32_t saved_attributes[4];
    int32_t* layer_display_stack[10];
    int32_t layer_display_top;
    double mpp_unit;
    int32_t data_end;
    int32_t disp_pen_width;
    int32_t display_mode_word;
    int32_t disp_mode;
    int32_t disp_line_color, disp_layer_number, disp_text_color, disp_paint_color;
    double disp_bscale;
    double saved_bscale;
    double display_offset_x, display_offset_y;
    double dvxmin, dvymin, dvxmax, dvymax;
    double dv_width, dv_height, dw_width, dw_height;
    int32_t default_color[kSlots];
    int32_t default_width[kSlots];
    int32_t print_pen_color[kSlots];
    int32_t pen_color[kSlots];
    int32_t pen_width[kSlots];
    const lumfont_entry* kanji_slot_font[kSlots];
    int32_t kanji_slot_kind[kSlots];
    int32_t text_res[kSlots];
    int32_t text_back[kSlots];
    char kanji_font_name[kSlots][32];
    const lumfont_entry* ank_slot_font[kSlots];
    int32_t ank_slot_kind[kSlots];
    int32_t ank_res[kSlots];
    int32_t ank_back[kSlots];
    char ank_font_name[kSlots][32];
    int32_t pen_style[9];
    int32_t layer_exist[kLayers];
    int32_t paint_layer_color[kLayers];
    // Search start row and the search filter.
    int32_t search_start_row;
    int32_t by_ura_layer, by_lock_layer, by_command, by_layer, by_group, by_color, by_style;
    int32_t search_match_all;
    int32_t search_exact_type;
    void* selected_variable;
    int32_t selected_type;
    int32_t selected_count;  // elements of the selected field, so that index ranges can be held inside it
    int32_t max, mau, mat;
    double mem;
    alignas(8) unsigned char drawing_header[kHeaderBytes];
    double version;
    double plot_scale;
    double gentenx, genteny;
    double header_copies[34];
    double header_sizes[2];
    double dwxmin, dwymin, dwxmax, dwymax;
    int32_t disp_layer[kLayers];
    double print_scale;
    double print_offset_x, print_offset_y;
    int32_t lock_layer[kLayers];
    double window_xmin[9], window_ymin[9], window_xmax[9];
    char stamp_copy[256];
    int32_t* c1;
    int32_t* c2;
    int32_t* c3;
    int32_t* c4;
    int32_t* c5;
    int32_t* c6;
    int32_t* c7;
    char exec_path[512];
    char file_path[512], file_drive[256], file_dir[512], file_name[128], file_ext[128];
    char* work_buffer;
    char* work_buffer2;
    // Display transform: origin, scales, angle and its sine and cosine.
    double disp_origin_x, disp_origin_y, disp_scale_x, disp_scale_y, disp_angle, disp_sin, disp_cos;
    int32_t last_joined_row, last_joined_code;
    // Chain walks leave out lines of style 8 (first) or take only those (second) when set to 1.
    int32_t chain_skip_style8, chain_only_style8;
    int32_t pen_paint_state[8];
    int32_t paint_mode, paste_tab, edit_flag;
    double window_ymax[9];
    double aspect_ratio;
    int32_t marker_paint;
    int32_t control_text_write, pen_width_sw;
    double pen_width_mili[kSlots];  // alias pen_width_mili_black
    int32_t pen_bold[kSlots];
    double meta_dpi;
    int32_t zero_length_limit;
    int32_t meta_type;
    int32_t frame_switch;
    double frame_rect[4];
    int32_t display_limits[2];
    int32_t attribute_records_found;
    int32_t display_switch;
    int32_t control_text_read;
    int32_t dot_widening, paint_switch;
    int32_t text_orgin_disp_sw;
    double text_orgin_disp_size;
    int32_t gmxmn_center_sw;
    int32_t fill_circle_layer[kLayers];
    int32_t layer_paint_jun, group_paint_jun;
    double header_values[7];
    double disp_font_box_limit;
    int32_t print_real_draw;
    int32_t white_line_sw;
    int32_t saved_pen_width[kSlots];
    int32_t pen_width_dot_white[kSlots];
    double* pen_width_mili_in_use;
    double pen_width_mili_white[kSlots];
    int32_t pen_white_width_sw, box_kanji, disp_moji_max_size;
    int32_t lf_height_type;
    double crt_dpi;
    int32_t disp_text_angle_sw, ext_pen_sw, ext_pen_endcap, ext_pen_join, link_line_disp_sw;
    double arc_snap_angle_deg;
    int32_t (*active_stack)[4];
    int32_t active_stack_top, active_stack_bottom;
    int32_t baketu_mode;
    char* layer_name[kLayers];
    int32_t layer_color[kLayers];
    int32_t layer_style[kLayers];
    char* layer_group_name[kLayers];
    int32_t lock_paint_same_color_sw, image_enable;
    // Display switches: per-type switches, start row, layer order, overflow flag and arc limit.
    int32_t type_disp_sw[16];
    int32_t disp_start_row;
    int32_t layer_order_disp, layer_order_up;
    int32_t overflow_flag, arc_limit;
    double text_scale[kSlots][2];
    char folder_name[256];
    char last_drawing_name[256];
    // Appends scan for free rows from here: no row below it is empty or an end code (0 = scan from row 0).
    int32_t append_scan_hint;
    // Locks taken by callers through zolt_lock; while any is held, rows may change behind the library's back.
    int32_t client_locks;
};

// The 16-bit code of c1 of a row, read as a signed value (-1 = end of data, 0 empty, 0xFE00 = -512 continuation).
inline int32_t row_code(const drawing_context* ctx, int32_t row) { return static_cast<int16_t>(ctx->c1[row] & 0xFFFF); }
inline int32_t row_code_u(const drawing_context* ctx, int32_t row) { return ctx->c1[row] & 0xFFFF; }
inline int32_t row_type(const drawing_context* ctx, int32_t row) { return (ctx->c1[row] >> 8) & 0xFF; }
inline int32_t row_layer(const drawing_context* ctx, int32_t row) { return ctx->c1[row] & 0xFF; }
inline int32_t row_group(const drawing_context* ctx, int32_t row) { return ctx->c2[row] & 0xFFFF; }
inline int32_t row_style(const drawing_context* ctx, int32_t row) { return ctx->c3[row] & 0xFF; }
inline int32_t row_color(const drawing_context* ctx, int32_t row) { return (ctx->c3[row] >> 8) & 0xFF; }
inline int32_t* const* columns(const drawing_context* ctx) { return &ctx->c1; }

// Header fields by byte offset.
inline double header_double(const drawing_context* ctx, int offset) {
    double v;
    std::memcpy(&v, ctx->drawing_header + offset, sizeof v);
    return v;
}
inline void set_header_double(drawing_context* ctx, int offset, double v) {
    std::memcpy(ctx->drawing_header + offset, &v, sizeof v);
}

// Handles (drawing_handle.cpp).
drawing_handle zolt_open();
int zolt_close(drawing_handle handle);
drawing_context* zolt_lock(drawing_handle handle);
void zolt_unlock(drawing_handle handle);

// Setup (drawing_setup.cpp).
int xlum_new(drawing_context* ctx);
int init_drawing_context(drawing_context* ctx);
int init_drawing_header(drawing_context* ctx);
// The defaults of a new header in the first 2048 bytes of a header block (the rest is left as it is).
void default_drawing_header(unsigned char* block);
void apply_drawing_header(drawing_context* ctx);
void unpack_layer_bits(const unsigned char* bits, int32_t* flags);
void pack_layer_bits(const int32_t* flags, unsigned char* bits);

// The exported functions' lock for one call. An operation that only appends may keep the free-row hint; every
// other one drops it, since it may change rows in ways the hint does not follow.
class LockedDrawing {
public:
    enum class Hint { drop, keep };
    explicit LockedDrawing(drawing_handle handle, Hint hint = Hint::drop);
    ~LockedDrawing();
    LockedDrawing(const LockedDrawing&) = delete;
    LockedDrawing& operator=(const LockedDrawing&) = delete;
    drawing_context* get() const { return ctx_; }
    explicit operator bool() const { return ctx_ != nullptr; }
    drawing_context* operator->() const { return ctx_; }

private:
    drawing_handle handle_;
    drawing_context* ctx_;
    Hint hint_;
};

}  // namespace kz::drawing2d
