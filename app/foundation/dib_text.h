// Packed 24-bit DIBs (making, sizing, drawing, red/cyan anaglyphs), text drawn the GDI and GDI+ ways with the
// system's font defaults, simple line/box/polygon helpers, and placing text on the clipboard.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/gdi.h"

namespace kz::foundation {

using platform::ColorRef;
using platform::DeviceContext;
using platform::GdiPoint;
using platform::GdiRect;
using platform::Graphics;
using platform::LogFont;

// "ＭＳ Ｐ明朝" in Shift_JIS: the face wherever a face name is empty.
extern const char kDefaultFaceName[];

// A white 24-bit DIB (movable, zero-initialised block); null for sizes below 1 or too large.
crt::GlobalHandle create_dib24(int width, int height);
// A DC with a device bitmap of the size selected; 0.
int create_memory_dc(int width, int height, std::unique_ptr<DeviceContext>* dc,
                     std::unique_ptr<platform::Bitmap>* bitmap, platform::Bitmap** previous);
// Copies the bitmap's rows (24 bits, bottom-up) into the DIB after its header and colour table, then selects the
// previous bitmap back and deletes the bitmap and the DC. Rows that would not fit in the block are not copied.
void dib_from_memory_dc(crt::GlobalHandle dib, int width, int height, std::unique_ptr<DeviceContext>& dc,
                        std::unique_ptr<platform::Bitmap>& bitmap, platform::Bitmap* previous);
// From a 40-byte or 12-byte header.
int dib_width(const void* header);
int dib_height(const void* header);
int dib_row_stride(int width, int bytes_per_pixel);
int dib_palette_size(const void* header);
// Draws the DIB's source rectangle into the destination rectangle (1:1 or stretched); the scan lines drawn, 0
// without a DIB.
int draw_dib(DeviceContext* dc, const GdiRect& destination, crt::GlobalHandle dib, const GdiRect& source);
// A red/cyan DIB from two 24-bit DIBs of one size (mode 0 colour, else grey); null when they differ in size or
// kind.
crt::GlobalHandle make_anaglyph_dib(crt::GlobalHandle left, crt::GlobalHandle right, int mode);

// Text through the DC: height and angle as the font's, at (x, y) rounded half up; background < 0 transparent.
void text_out_gdi(DeviceContext* dc, const char* text, double x, double y, double height, ColorRef color,
                  const char* face, int background, int bold, double angle);
void make_logfont(LogFont* out, double height, const char* face, const LogFont* templ, int bold);
// One line, through the DC or (when given) the GDI+ graphics; see the implementation for the two ways.
void draw_text(DeviceContext* dc, const char* text, double x, double y, double height, ColorRef color, const char* face,
               int background, const LogFont* templ, int bold, const GdiPoint* anchor, double angle, Graphics* graphics,
               double line_offset);
// Lines separated by "__", laid out by the alignment bits; reports the longest line (bytes) and the line count.
void draw_multiline_text(DeviceContext* dc, const char* text, double x, double y, double height, ColorRef color,
                         const char* face, int background, double spacing, int* longest, int* line_count, int alignment,
                         int bold, double angle, Graphics* graphics, double line_offset);
// shape 0 line, 1 rectangle, 2 filled rectangle, with the DC's current pen; brush colour < 0 none; rop < 1 copy.
void draw_line_or_rect(DeviceContext* dc, int x1, int y1, int x2, int y2, int brush_color, int shape, int rop);
int fill_polygon(DeviceContext* dc, const GdiPoint* points, int count, ColorRef color, const platform::Pen& pen);
void get_monitor_work_area(const GdiPoint& point, GdiRect* out);
void lparam_to_point(std::intptr_t lparam, GdiPoint* out);
// 1 when the text was placed as clipboard text; 0 for an empty text or a clipboard that cannot be set.
int copy_text_to_clipboard(const char* text, int keep);

}  // namespace kz::foundation
