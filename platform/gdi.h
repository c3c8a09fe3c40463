// GDI-style drawing on our device contexts, over Qt's raster painter: pens with styles and dashes, brushes, fonts,
// binary raster operations, lines, boxes, arcs, polygons, text and DIB transfers, with GDI's pixel conventions; and
// the few GDI+ operations the system uses (anti-aliased text and fills on 32-bit bitmaps under a world transform).
// Not here: mapping modes, regions beyond one clip rectangle, paths, metafiles, printers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include <memory>

#include "platform/device_context.h"
#include "platform/gl_context.h"

namespace kz::platform {

class DeviceContext;
class Bitmap;

using ColorRef = std::uint32_t;  // 0x00BBGGRR
constexpr ColorRef rgb(int r, int g, int b) {
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct GdiPoint {
    int x = 0;
    int y = 0;
};
struct GdiSize {
    int cx = 0;
    int cy = 0;
};
struct GdiRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

enum PenStyle : int {
    kPsSolid = 0,
    kPsDash = 1,
    kPsDot = 2,
    kPsDashDot = 3,
    kPsDashDotDot = 4,
    kPsNull = 5,
    kPsInsideFrame = 6,
    kPsStyleMask = 0x0F,
    kPsEndcapRound = 0x000,
    kPsEndcapSquare = 0x100,
    kPsEndcapFlat = 0x200,
    kPsEndcapMask = 0xF00,
    kPsJoinRound = 0x0000,
    kPsJoinBevel = 0x1000,
    kPsJoinMiter = 0x2000,
    kPsJoinMask = 0xF000,
    kPsGeometric = 0x10000,
};

struct Pen {
    int style = kPsSolid;  // style | end cap | join | geometric
    int width = 0;         // 0 and 1: cosmetic one-pixel pen
    ColorRef color = 0;
};
struct Brush {
    bool hollow = false;
    ColorRef color = 0xFFFFFF;
};
// The logical font record: height > 0 is the cell height, < 0 minus the character (em) height, 0 a default size.
struct LogFont {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;  // tenths of a degree, counter-clockwise
    std::int32_t orientation = 0;
    std::int32_t weight = 400;
    std::uint8_t italic = 0, underline = 0, strike_out = 0, char_set = 1;
    std::uint8_t out_precision = 0, clip_precision = 0, quality = 0, pitch_and_family = 0;
    char face_name[32] = {};  // Shift_JIS
};

enum Rop2 : int {
    kR2Black = 1,
    kR2NotMergePen,
    kR2MaskNotPen,
    kR2NotCopyPen,
    kR2MaskPenNot,
    kR2Not,
    kR2XorPen,
    kR2NotMaskPen,
    kR2MaskPen,
    kR2NotXorPen,
    kR2Nop,
    kR2MergeNotPen,
    kR2CopyPen,
    kR2MergePenNot,
    kR2MergePen,
    kR2White,
};
enum BkMode : int { kTransparent = 1, kOpaque = 2 };
enum TextAlign : int {
    kTaLeft = 0,
    kTaRight = 2,
    kTaCenter = 6,
    kTaTop = 0,
    kTaBottom = 8,
    kTaBaseline = 24,
    kTaUpdateCp = 1,
};

// Per-DC drawing state; a new DC starts with a black cosmetic pen, a white brush, the default font, black text on
// a white opaque background, R2_COPYPEN and the current position at (0, 0).
struct GdiState {
    Pen pen;
    Brush brush;
    LogFont font;
    ColorRef text_color = 0;
    ColorRef bk_color = 0xFFFFFF;
    int bk_mode = kOpaque;
    int rop2 = kR2CopyPen;
    int text_align = kTaLeft | kTaTop;
    int stretch_mode = 1;
    GdiPoint position;
    int dash_phase = 0;  // pixels into the style pattern: a styled line goes on where the last one stopped
    bool clipping = false;
    GdiRect clip;
};

Pen stock_black_pen();
Pen stock_white_pen();
Pen stock_null_pen();
Brush stock_white_brush();
Brush stock_black_brush();
Brush stock_null_brush();

// The Japanese faces of Windows are mapped to the IPA fonts (fontconfig alone would pick a Latin
// font): "ＭＳ ゴシック" IPAGothic, "ＭＳ Ｐゴシック" IPAPGothic, "ＭＳ 明朝" IPAMincho, "ＭＳ Ｐ明朝" IPAPMincho;
// a leading "@" (vertical writing) is ignored here. Takes and returns UTF-8.
std::string map_face_name(std::string_view face_utf8);

// State (each returns the previous value, as the Windows calls do).
Pen select_pen(DeviceContext& dc, const Pen& pen);
Brush select_brush(DeviceContext& dc, const Brush& brush);
LogFont select_font(DeviceContext& dc, const LogFont& font);
int set_rop2(DeviceContext& dc, int mode);  // 0 for a mode outside 1..16 (the mode is then unchanged)
int set_bk_mode(DeviceContext& dc, int mode);
ColorRef set_bk_color(DeviceContext& dc, ColorRef color);
ColorRef set_text_color(DeviceContext& dc, ColorRef color);
int set_text_align(DeviceContext& dc, int align);
int set_stretch_blt_mode(DeviceContext& dc, int mode);
// One clip rectangle (right and bottom excluded); null removes clipping.
void set_clip_rect(DeviceContext& dc, const GdiRect* rect);
const GdiState& gdi_state(const DeviceContext& dc);

// Lines: a cosmetic line covers its start pixel and stops before its end pixel; styled cosmetic pens keep GDI's
// patterns (dash 18 on 6 off, dot 3/3, dash-dot 9/6/3/6, dash-dot-dot 9/3/3/3/3/3), the gaps filled with the
// background colour in opaque mode. Styled pens wider than one pixel draw solid.
void move_to(DeviceContext& dc, int x, int y, GdiPoint* old = nullptr);
void line_to(DeviceContext& dc, int x, int y);
void polyline(DeviceContext& dc, const GdiPoint* points, int count);
// Filled with the brush (alternate rule, pixel centres inside) and outlined with the pen, closing edge included.
void polygon(DeviceContext& dc, const GdiPoint* points, int count);
// Boxes exclude their right and bottom edges; with the null pen they shrink by one more pixel each way.
void rectangle(DeviceContext& dc, int left, int top, int right, int bottom);
void ellipse(DeviceContext& dc, int left, int top, int right, int bottom);
// Counter-clockwise from the ray through the start point to the ray through the end point (equal rays: a full
// ellipse).
void arc(DeviceContext& dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye);
void fill_rect(DeviceContext& dc, const GdiRect& rect, const Brush& brush);
void set_pixel(DeviceContext& dc, int x, int y, ColorRef color);
// -1 (CLR_INVALID) outside the surface.
std::int64_t get_pixel(const DeviceContext& dc, int x, int y);
// Fills with the brush, from the start pixel over its 4-connected neighbours: kFloodBorder spreads up to pixels of
// the colour, kFloodSurface over the pixels of the colour. False when the start lies outside the surface or the
// clip rectangle, has the border colour, or (surface) lacks the colour, or the brush is hollow.
enum FloodFillType : int { kFloodBorder = 0, kFloodSurface = 1 };
bool ext_flood_fill(DeviceContext& dc, int x, int y, ColorRef color, int type);

// Text in Shift_JIS bytes at the text-align reference point (top-left of the cell by default), turned by the
// font's escapement about that point. TA_UPDATECP moves the current position by the advance.
void text_out(DeviceContext& dc, int x, int y, std::string_view sjis);
GdiSize text_extent(DeviceContext& dc, std::string_view sjis);
struct TextMetrics {
    int height = 0;
    int ascent = 0;
    int descent = 0;
    int ave_char_width = 0;
    int max_char_width = 0;
};
TextMetrics text_metrics(DeviceContext& dc);

// Copies pixels (SRCCOPY); false when either DC has no surface.
bool bit_blt(DeviceContext& dst, int x, int y, int width, int height, const DeviceContext& src, int sx, int sy);
// DIB transfers from a packed-DIB header (40-byte info header, 24 or 32 bits, no palette) and its bottom-up rows.
// Source rectangles are in DIB pixels counted from the top row; the results are the scan lines drawn (0 on refusal).
int set_dib_bits_to_device(DeviceContext& dc, int x, int y, int width, int height, int sx, int sy,
                           const DibInfoHeader& header, const void* bits);
int stretch_dib_bits(DeviceContext& dc, int x, int y, int width, int height, int sx, int sy, int swidth, int sheight,
                     const DibInfoHeader& header, const void* bits);
// Copies `lines` rows of the bitmap starting at bottom row `first` as 24- or 32-bit bottom-up rows into `bits`
// (which must hold them). Returns the rows copied.
int get_dib_bits(const Bitmap& bitmap, int first, int lines, void* bits, int bits_per_pixel);

// The work area (screen minus panels) of the monitor nearest to the point; false when there is no screen.
bool monitor_work_area(int x, int y, GdiRect* out);

// Qt needs one application object for fonts, image plugins and the clipboard; this makes one (a widget
// application, which the window layer accepts as its own) when the program has none yet.
void ensure_gui_application();

// GDI+ subset: an anti-aliasing painter over a 32-bit bitmap (device or DIB section) whose pixels carry alpha.
class Graphics {
public:
    explicit Graphics(Bitmap& bitmap);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    // World transform m11 m12 m21 m22 dx dy, applied to points as (x m11 + y m21 + dx, x m12 + y m22 + dy).
    void set_transform(double m11, double m12, double m21, double m22, double dx, double dy);
    void reset_transform();
    // Rotation prepended to the transform (degrees clockwise in y-down device space), about a point.
    void rotate_about(double degrees, double x, double y);
    void clear(std::uint32_t argb);
    void fill_polygon(const GdiPoint* points, int count, std::uint32_t argb);
    // A line of UTF-16 text with its layout box's top-left at (x, y); vertical writing stacks the characters.
    void draw_string(std::u16string_view text, const LogFont& font, double x, double y, std::uint32_t argb,
                     bool vertical);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace kz::platform
