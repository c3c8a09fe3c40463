// Text textures: a face's "[text=" spec drawn into a bitmap (opaque through GDI, translucent through GDI+) and
// registered in the texture table under its description text, so every distinct description is drawn once.
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/foundation/bridge_services.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/field_tokenizer.h"

namespace kz::foundation {

namespace {

constexpr std::size_t kTagLength = 6;  // "[text="
// Text bitmaps become textures of at most 4096 pixels a side anyway; a larger request would only cost memory.
constexpr double kMaxBitmapSide = 4096.0;

const char* untagged(const char* spec) { return spec && std::strlen(spec) >= kTagLength ? spec + kTagLength : ""; }

std::uint32_t argb(std::uint32_t color, int alpha) {
    return (static_cast<std::uint32_t>(alpha) << 24) | ((color & 0xFF) << 16) | (color & 0xFF00) |
           ((color >> 16) & 0xFF);
}

}  // namespace

int CBusMDL::ParseTextTextureSpec(const char* spec, TextLabel& r) {
    std::memset(static_cast<void*>(&r), 0, sizeof r);
    std::strcpy(r.previous_text, "---");
    TextLabelParams& p = r.params;
    p.alignment = p.placement = 8;
    std::strcpy(p.face_name, kLabelFaceName);
    p.background = 0xFFFFFF;
    if (!spec || std::strlen(spec) < kTagLength) return 1;

    const FieldSeparators seps{":", "\t", ","};
    int pos = static_cast<int>(kTagLength), len = 0;
    // Field 1 is read only as the default of the placement field.
    p.placement = get_field_int(spec, pos, len, seps, p.placement);
    p.size = 100.0;
    read_label_fields(spec, pos, r, view ? view->BackgroundColor() : p.background);
    if (!(p.size > 0.0)) p.size = 100.0;
    r.margin = p.size * 0.2;
    r.width = get_field_double(spec, pos, len, seps, 0.0);
    r.height = get_field_double(spec, pos, len, seps, 0.0);
    r.margin = get_field_double(spec, pos, len, seps, r.margin);
    r.line_pitch = r.margin;
    p.background_transparency = get_field_double(spec, pos, len, seps, 0.0);
    if (r.text[0] == 0) return 1;

    int longest = 0, lines = 0;
    draw_multiline_text(nullptr, r.text, 0, 0, 0, 0, nullptr, -1, 0, &longest, &lines, 0, 0, 0, nullptr, 0);
    const int tw = truncate_pixels(longest * p.size * 0.5 + 2 * r.margin + 0.5);
    const int th = truncate_pixels((lines - 1) * r.margin + lines * p.size + 0.5);
    if (!(r.width > 0)) r.width = tw;
    if (!(r.height > 0)) r.height = th;
    r.width = std::clamp(r.width, 1.0, kMaxBitmapSide);
    r.height = std::clamp(r.height, 1.0, kMaxBitmapSide);
    r.bitmap_width = truncate_pixels(r.width + 0.5);
    r.bitmap_height = truncate_pixels(r.height + 0.5);

    const int horizontal = p.placement & 3, vertical = p.placement & 12;
    const double x0 = horizontal == 1 ? r.width / 2 - tw / 2 : horizontal == 2 ? r.width - tw : 0;
    const double y0 = vertical == 0 ? r.height - th : vertical == 4 ? r.height / 2 - th / 2 : 0;
    r.text_x = truncate_pixels(x0 + p.x + 0.5);
    r.text_y = truncate_pixels(y0 + p.y + 0.5);
    const int align_h = p.alignment & 3, align_v = p.alignment & 12;
    r.anchor_x = align_h == 1 ? tw / 2 : align_h == 2 ? tw : 0;
    r.anchor_y = align_v == 0 ? truncate_pixels(p.size + 0.5) : align_v == 4 ? truncate_pixels(p.size * 0.5 + 0.5) : 0;

    const int bw = r.bitmap_width, bh = r.bitmap_height;
    const std::int32_t border[8][2] = {{5, 1},           {0, 5},           {0, bh - 5}, {5, bh - 2},
                                       {bw - 7, bh - 2}, {bw - 2, bh - 5}, {bw - 2, 5}, {bw - 7, 1}};
    std::memcpy(r.border_points, border, sizeof border);
    r.border_point_count = 8;
    return 0;
}

int CBusMDL::CreateTextTexture(const char* spec) {
    if (!modeller) return 0;
    const char* name = untagged(spec);
    if (!*name) return 0;
    auto record = std::make_unique<TextLabel>();
    TextLabel& r = *record;
    _OfuBitmap image;
    // A spec without text is remembered with the id of its empty image (0), as an unreadable image file is.
    if (ParseTextTextureSpec(spec, r) != 0) return register_texture(name, image, 0);
    if (r.params.background_transparency > 0) return CreateTextTextureGdip(r, spec);

    const int bw = r.bitmap_width, bh = r.bitmap_height;
    std::unique_ptr<DeviceContext> dc;
    std::unique_ptr<platform::Bitmap> bitmap;
    platform::Bitmap* previous = nullptr;
    create_memory_dc(bw, bh, &dc, &bitmap, &previous);
    const std::uint32_t view_background = view ? view->BackgroundColor() : 0xFFFFFF;
    const ColorRef background =
        static_cast<std::int32_t>(r.params.background) < 0 ? view_background : r.params.background;
    if (r.params.background_switch) {
        platform::fill_rect(*dc, {0, 0, bw, bh}, platform::Brush{false, view_background});
        GdiPoint outline[8];
        for (int k = 0; k < 8; ++k) outline[k] = {r.border_points[k][0], r.border_points[k][1]};
        fill_polygon(dc.get(), outline, 8, background, platform::Pen{platform::kPsSolid, 1, background ^ 0xFFFFFF});
    } else {
        platform::fill_rect(*dc, {0, 0, bw, bh}, platform::Brush{false, background});
    }
    draw_multiline_text(dc.get(), r.text, r.text_x + r.anchor_x, r.text_y + r.anchor_y, r.params.size, r.params.color,
                        r.params.face_name, -1, r.margin, nullptr, nullptr, r.params.alignment, 0, 0, nullptr, 0);
    kz::crt::GlobalHandle dib = create_dib24(bw, bh);
    dib_from_memory_dc(dib, bw, bh, dc, bitmap, previous);
    DibToBitmap(dib, image);
    return register_texture(name, image, 0);
}

int CBusMDL::CreateTextTextureGdip(const TextLabel& r, const char* spec) {
    if (!modeller) return 0;
    const int bw = r.bitmap_width, bh = r.bitmap_height;
    std::unique_ptr<platform::Bitmap> bitmap = platform::Bitmap::create_compatible(bw, bh);
    _OfuBitmap image;
    if (bitmap) {
        {
            Graphics graphics(*bitmap);
            const int alpha = std::clamp(truncate_pixels((1.0 - r.params.background_transparency) * 255 + 0.5), 0, 255);
            graphics.clear(argb(r.params.background, alpha));
            // Drawn upside down over the bitmap's height: handing the bitmap over as a DIB turns it upright.
            draw_multiline_text(nullptr, r.text, r.text_x + r.anchor_x, r.text_y + r.anchor_y, r.params.size,
                                r.params.color, r.params.face_name, -1, r.margin, nullptr, nullptr, r.params.alignment,
                                0, 0, &graphics, -bh);
        }
        DibToBitmap(GdipBitmapToDib(*bitmap), image);
    }
    return register_texture(untagged(spec), image, 0);
}

int CBusMDL::FindTextTexture(const char* spec) {
    if (!modeller) return 0;
    GrowTextureTable();
    if (LookupTexture(untagged(spec)) != 0) return -1;
    return static_cast<int>(texture_ids[0]);
}

}  // namespace kz::foundation
