// What a face needs of the 2D drawing library to take a drawing onto it: a drawing opened and locked for the
// length of one call, the file read into it, and the units that carry drawing coordinates onto the face.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "app/scene/xleaf.h"
#include "drawing2d/drawing_context.h"

namespace kz::scene {

using kz::drawing2d::drawing_context;
using kz::drawing2d::drawing_handle;

// A new empty drawing, locked until the object goes; closed with it.
class OpenedDrawing {
public:
    OpenedDrawing();
    ~OpenedDrawing();
    OpenedDrawing(const OpenedDrawing&) = delete;
    OpenedDrawing& operator=(const OpenedDrawing&) = delete;
    drawing_context* context() const { return context_; }

private:
    drawing_handle handle_ = nullptr;
    drawing_context* context_ = nullptr;
};

// Reads a drawing file (".MPP", ".MPW", ".DXF") into the drawing; row 0 replaces it. Non-zero when read. A file
// larger than the read cap (kMaxReadBytes) is refused with a line on standard error naming it; a DXF file that
// makes more than the import's budget (drawing2d/dxf_files.h) is read up to it, and says so the same way. A stop
// from `keep_going` leaves what was read, as a file that ends there would. `may_take`, when given, is asked first
// with the bytes the drawing's rows will take (about those of its file); false: nothing is read.
int read_drawing_file(drawing_context* drawing, const char* file_name, int row,
                      const std::function<bool()>& keep_going = {},
                      const std::function<bool(std::uint64_t bytes)>& may_take = {});

class XViewServices;
// Reads the drawing pasted as `source` into the drawing for `view`: the file found as a pasted one (a missing one is
// said as the view says it), then read within the view's memory budget and while `keep_going` lets it. Non-zero
// when read; never for a null drawing, whose file is still looked for.
int read_pasted_drawing(XViewServices& view, const char* source, drawing_context* drawing,
                        const std::function<bool()>& keep_going);

// Origin, unit factor (real units per drawing unit) and scale of a drawing (a scale below 1e-8 counts as 100).
struct DrawingUnits {
    double origin_x = 0.0, origin_y = 0.0;
    double unit = 1.0;
    double scale = 100.0;
};
DrawingUnits drawing_units(const drawing_context* drawing);

// Every line and text record on a displayed layer, in order, with its pen (16 or more counts as 15); the walk
// ends early once `keep_going`, asked before each record, says stop.
void for_each_drawn_record(const drawing_context* drawing, const std::function<bool()>& keep_going,
                           const std::function<void(int row, int type, int pen)>& visit);
// The fields of the text record at `row` with its string in `text`; false for no text or an empty one.
bool text_record_of(drawing_context* drawing, int row, DrawingTextRecord* out, char* text, std::size_t capacity);

}  // namespace kz::scene
