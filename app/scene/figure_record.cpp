// COBJECTA's life cycle, numeric access by column, the display-mode flags and the camera column.
// Texts and the paste list are heap blocks owned by the record; a copy never shares one with its source.
#include "app/scene/figure_record.h"

#include <cmath>
#include <initializer_list>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/number_text.h"
#include "app/scene/figure_text.h"
#include "app/scene/paste_list.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

const char* figure_kind_word(int kind) {
    switch (kind) {
    case kKindTrunk: return "trunk";
    case kKindBox: return "box";
    case kKindBall: return "ball";
    case kKindHankyuu: return "hankyuu";
    case kKindSui: return "sui";
    case kKindCylinder: return "cylinder";
    case kKindPoly: return "poly";
    case kKindHpoly: return "hpoly";
    case kKindZpoly: return "zpoly";
    case kKindD3poly: return "d3poly";
    case kKindKaiten: return "kaiten";
    case kKindRefer: return "refer";
    case kKindPutref: return "putref";
    case kKindPose: return "pose";
    case kKindStage: return "stage";
    default: return "";
    }
}

COBJECTA::COBJECTA(const COBJECTA* source, XViewServices* view_in, XTrunk* owner_in) {
    if (source) CopyFrom(source);
    view = view_in;
    owner = owner_in;
}

COBJECTA::~COBJECTA() { Clear(); }

void COBJECTA::FreeTexts() {
    for (char** text : {&name, &parent_name, &poldat, &action, &limit, &comment, &paste_text, &type, &party, &frefer,
                        &frmode, &layer, &group})
        *text = free_and_null(*text);
}

void COBJECTA::Clear() {
    FreeTexts();
    sysf = 0;
    ClearPasteList();
    static_cast<FigureRecordFields&>(*this) = FigureRecordFields{};
}

int COBJECTA::CopyFrom(const COBJECTA* source) {
    if (!source) return 0;
    if (source == this) return 1;
    Clear();
    static_cast<FigureRecordFields&>(*this) = static_cast<const FigureRecordFields&>(*source);
    // The plain copy above took the source's pointers; each one is replaced by a copy of its own.
    for (char** text : {&name, &parent_name, &poldat, &limit, &action, &comment, &paste_text, &type, &party, &frefer,
                        &frmode, &layer, &group})
        if (*text) *text = set_heap_string(nullptr, *text, nullptr, -1);
    paste_entries = nullptr;
    paste_count = 0;
    if (source->paste_count > 0 && source->paste_entries) {
        paste_entries = static_cast<PasteEntry*>(alloc_zeroed(sizeof(PasteEntry) * source->paste_count));
        for (int i = 0; i < source->paste_count; ++i) copy_paste_entry(&paste_entries[i], source->paste_entries[i]);
        paste_count = source->paste_count;
    }
    return 1;
}

int COBJECTA::GetFieldByColumn(int column, double* out) const {
    const double* placement[] = {&dx, &dy, &dz, &rx, &ry, &rz, &odx, &ody, &odz, &orx, &ory, &orz};
    const double* sizes[] = {&w, &d, &h, &wtop, &dtop, &div, &domebtm, &dometop};
    const double* colors[] = {&red, &green, &blue, &ambient, &diffuse, &specular};
    const double* field = nullptr;
    int column_class = kColumnNone;
    if (column >= 1 && column <= 12) {
        field = placement[column - 1];
        column_class = kColumnPlacement;
    } else if (column == 41) {
        field = &fw;
        column_class = kColumnPlacement;
    } else if (column >= 13 && column <= 20) {
        field = sizes[column - 13];
        column_class = kColumnSize;
    } else if (column == 21) {
        field = &dispmode;
        column_class = kColumnDisplayMode;
    } else if (column >= 22 && column <= 27) {
        field = colors[column - 22];
        column_class = kColumnColor;
    } else if (column == 28) {
        field = &trans;
        column_class = kColumnTransparency;
    }
    if (field && out) *out = *field;
    return column_class;
}

int COBJECTA::SetFieldByColumn(int column, double value) {
    double* placement[] = {&dx, &dy, &dz, &rx, &ry, &rz, &odx, &ody, &odz, &orx, &ory, &orz};
    double* colors[] = {&red, &green, &blue, &ambient, &diffuse, &specular};
    if (column >= 1 && column <= 12) {
        *placement[column - 1] = value;
        return kColumnPlacement;
    }
    if (column == 41) {
        // Forward travel moves the shape along its own heading by the change of fw.
        const double delta = value - fw;
        const double a = rx / 180.0 * 3.141592653589793;
        const double b = rz / 180.0 * 3.141592653589793;
        dx += std::sin(b) * std::cos(a) * delta;
        dz += std::sin(a) * delta;
        dy -= std::cos(b) * std::cos(a) * delta;
        fw = value;
        return kColumnPlacement;
    }
    if (column == 21) {
        dispmode = value;
        DecodeDisplayMode();
        return kColumnDisplayMode;
    }
    if (column >= 22 && column <= 27) {
        *colors[column - 22] = value;
        UpdatePackedColor();
        return kColumnColor;
    }
    if (column == 28) {
        trans = value;
        return kColumnTransparency;
    }
    return kColumnNone;
}

void COBJECTA::UpdatePackedColor() {
    packed_color = (static_cast<std::uint32_t>(truncate_to_int(red)) & 255u) |
                   (static_cast<std::uint32_t>(truncate_to_int(green)) & 255u) << 8 |
                   (static_cast<std::uint32_t>(truncate_to_int(blue)) & 255u) << 16;
}

void COBJECTA::DecodeDisplayMode() {
    const double v = dispmode;
    if (v < 0) {
        sides = draw_style = line_width_digit = 0;
        return;
    }
    const std::int32_t i = truncate_to_int(v + 0.0001);
    int digit = truncate_to_int((v - i) * 10 + 0.0001);
    if (digit < 0) digit = 0;
    if (digit > 9) digit = 9;
    sides = (i & 1) ? 2 : 1;
    draw_style = ((i & 2) ? 2 : 0) + ((i & 4) ? 1 : 0);
    if (draw_style == 0) draw_style = 1;
    line_width_digit = digit;
}

void COBJECTA::EncodeDisplayMode() {
    if (line_width_digit < 0) line_width_digit = 0;
    if (line_width_digit > 9) line_width_digit = 9;
    dispmode = line_width_digit / 10.0 + (sides == 2 ? 1 : 0) + (draw_style == 2 ? 2 : 0);
}

void COBJECTA::ParseCamera(const char* text) {
    if (!text) text = "";
    const FieldSeparators semicolon(";");
    int pos = 0;
    int len = 0;
    camera_number = get_field_int(text, pos, len, semicolon, 0);
    camera_value = get_field_double(text, pos, len, semicolon, camera_value);
}

char* COBJECTA::FormatCamera(char* buffer) const {
    // The value goes with the number only when it reads back as more than 0.
    if (written_value(camera_value) > 0) {
        char number[kNumberTextSize];
        figure_number_text(camera_value, number);
        kz::crt::c_snprintf(buffer, kCameraTextSize, "%d;%s", static_cast<int>(camera_number), number);
    } else {
        kz::crt::c_snprintf(buffer, kCameraTextSize, "%d", static_cast<int>(camera_number));
    }
    return buffer;
}

CNEWTONLIST::~CNEWTONLIST() {
    array1 = free_and_null(array1);
    array2 = free_and_null(array2);
    array3 = free_and_null(array3);
}

}  // namespace kz::scene
