// What the round, polygon and revolution builders share: one face made the way every builder makes it (paste
// lookup, "clear", material, drawings), images laid across a whole surface, and the number sections of poldat.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/scene/xleaves.h"

namespace kz::scene {

// Where a face sits in an image that covers a whole surface: u = u_start + x * u_per_unit along the face's first
// edge, v likewise across it.
struct ImageWindow {
    double u_start = 0.0, u_per_unit = 0.0;
    double v_start = 0.0, v_per_unit = 0.0;
};

enum class FaceMaker { plain, cap };

// One face with code `code`: left out when its paste entry is "clear"; a made face gets the drawings pasted on it.
// An image entry is laid through `window` when one is given. Returns the face index or -1.
int make_shape_face(XLeaves& shape, FaceMaker maker, const double* points, int count, const double* normals,
                    std::int32_t code, const ImageWindow* window = nullptr, const double* texture_points = nullptr,
                    int texture_count = 0);

// The paste entry of `code` when it carries an image (the image spans are then worth measuring), else null.
const PasteEntry* image_entry_of(XLeaves& shape, std::int32_t code);

// The first display flag asks for smooth corner normals (odd integer part of "dispmode").
inline bool smooth_normals(const XLeaves& shape) { return shape.record->sides == 2; }

// The "|" sections of a polygon text (double-byte characters stepped over whole).
std::vector<std::string> poldat_sections(const char* text);
// The ';'-ended numbers of one section; a trailing empty item after the last ';' is not a number.
std::vector<double> section_numbers(const std::string& section);
// Numbers as a figure file carries them, each followed by ';'.
void append_numbers(std::string& out, const double* values, int count);

// Start and end of a builder's timing slot; the slot is closed on every way out.
class TimingSlot {
public:
    TimingSlot(XLeaves& shape, int slot);
    ~TimingSlot();
    TimingSlot(const TimingSlot&) = delete;
    TimingSlot& operator=(const TimingSlot&) = delete;

private:
    XLeaves& shape_;
    int slot_;
};

// The record's vector texts, when the view has a bridge to draw them.
void add_vector_texts(XLeaves& shape);

bool all_finite(std::initializer_list<double> values);

}  // namespace kz::scene

namespace kz::scene {
// The stored points of a round shape standing on its axis: base point (0, 0, bottom), extreme corners of its box
// and the vertical axis from bottom to top.
void set_axis_extent(XLeaves& shape, double rx, double ry, double bottom, double top);
}  // namespace kz::scene
