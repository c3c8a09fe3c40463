// One screen caption slot of the bridge, also used as the parameter record of text textures: the text, its
// parameters and those of the last build, and what the build made.
#pragma once
#include <cstdint>
#include <limits>

struct _OfuPosition;

namespace kz::foundation {

// "ＭＳ Ｐゴシック" in Shift_JIS: the face labels and text textures start with.
inline constexpr char kLabelFaceName[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

struct TextLabelParams {
    double x = 0.0;  // to the right, pixels
    double y = 0.0;  // downward, pixels
    double size = 35.0;
    std::uint32_t color = 0xFFFFFF;
    char face_name[64] = {};
    std::uint32_t background = 0x583737;
    std::int32_t alignment = 1;
    std::int32_t placement = 0;  // bits 0-1 horizontal (0 left, 1 centre, 2 right), 2-3 vertical (0, 4, 8)
    std::int32_t background_switch = 0;
    double background_transparency = 0.0;
};

struct TextLabel {
    char text[2400] = {};           // Shift_JIS, lines separated by "__"
    char previous_text[2400] = {};  // "---" forces one rebuild
    double margin = 0.0;
    TextLabelParams params;
    TextLabelParams previous_params;
    _OfuPosition* shape = nullptr;
    double width = 0.0, height = 0.0;
    std::int32_t bitmap_width = 0, bitmap_height = 0;
    std::int32_t text_x = 0, text_y = 0;
    std::int32_t anchor_x = 0, anchor_y = 0;
    double line_pitch = 0.0;
    std::int32_t border_points[8][2] = {};
    std::int32_t border_point_count = 0;
};

// int(v) as the sizes and positions of captions and text bitmaps take it (toward zero), held inside int's range so
// that an absurd size from a command or a spec cannot overflow.
inline int truncate_pixels(double v) {
    constexpr double lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
    if (!(v == v)) return 0;
    return static_cast<int>(v < lo ? lo : v > hi ? hi : v);
}

// Fields 2 to 11 of a caption command or a text-texture spec from pos on (text, x, y, size, colour, face name,
// background, alignment, placement, background switch); an empty field keeps the record's value, except the text
// (empty) and the background (the view's).
void read_label_fields(const char* text, int& pos, TextLabel& record, std::uint32_t view_background);

// The parameter blocks compared field by field, the face names up to their ends.
bool TextLabelParamsEqual(const TextLabelParams& a, const TextLabelParams& b);

// What the captions read of the view beyond the bridge's services: the "menu_screen_height" setting their size is
// measured in, and the movie frame size while a movie is recorded. XView's overrides of these names serve this
// interface too; a view without it counts as 1000.0 high and never recording.
class TextLabelView {
public:
    virtual ~TextLabelView() = default;
    virtual double MenuScreenHeight() = 0;
    virtual int MovieRecording(int* frame_width, int* frame_height) = 0;
};

}  // namespace kz::foundation
