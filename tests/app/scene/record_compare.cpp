// Field-by-field comparison of figure records for the tests.
#include "record_compare.h"

#include <cstring>
#include <sstream>

namespace kz::scene::test {

namespace {

bool same_text(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

std::string entry_differences(const PasteEntry& a, const PasteEntry& b) {
    std::ostringstream out;
    if (!same_text(a.source, b.source)) out << " source";
    if (a.range_count != b.range_count) out << " range_count";
    for (int k = 0; k < a.range_count && k < b.range_count; ++k)
        if (a.from_codes[k] != b.from_codes[k] || a.to_codes[k] != b.to_codes[k]) out << " range" << k;
    const double da[] = {a.size, a.lift, a.x, a.y, a.angle, a.center_x, a.center_y};
    const double db[] = {b.size, b.lift, b.x, b.y, b.angle, b.center_x, b.center_y};
    for (int k = 0; k < 7; ++k)
        if (da[k] != db[k]) out << " number" << k;
    if (a.kind != b.kind) out << " kind";
    if (a.texture_id != b.texture_id) out << " texture_id";
    if (a.image_index != b.image_index) out << " image_index";
    if (a.face_letter != b.face_letter) out << " face_letter";
    if (a.color != b.color) out << " color";
    if (a.last_number != b.last_number) out << " last_number";
    return out.str();
}

}  // namespace

std::string record_differences(const COBJECTA& a, const COBJECTA& b) {
    std::ostringstream out;
#define KZ_SAME(field) \
    if (!(a.field == b.field)) out << " " #field
#define KZ_SAME_TEXT(field) \
    if (!same_text(a.field, b.field)) out << " " #field
    KZ_SAME(kind);
    KZ_SAME(dx);
    KZ_SAME(dy);
    KZ_SAME(dz);
    KZ_SAME(rx);
    KZ_SAME(ry);
    KZ_SAME(rz);
    KZ_SAME(odx);
    KZ_SAME(ody);
    KZ_SAME(odz);
    KZ_SAME(orx);
    KZ_SAME(ory);
    KZ_SAME(orz);
    KZ_SAME(w);
    KZ_SAME(d);
    KZ_SAME(h);
    KZ_SAME(dtop_first_flag);
    KZ_SAME(wtop);
    KZ_SAME(dtop);
    KZ_SAME(div);
    KZ_SAME(dtop_third_flag);
    KZ_SAME(domebtm);
    KZ_SAME(dometop);
    KZ_SAME(dispmode);
    KZ_SAME(btmangle);
    KZ_SAME(topangle);
    KZ_SAME(sides);
    KZ_SAME(draw_style);
    KZ_SAME(line_width_digit);
    KZ_SAME(packed_color);
    KZ_SAME(ambient);
    KZ_SAME(diffuse);
    KZ_SAME(specular);
    KZ_SAME(trans);
    KZ_SAME(red);
    KZ_SAME(green);
    KZ_SAME(blue);
    KZ_SAME(paste_count);
    KZ_SAME(fix_kind);
    KZ_SAME(camera_number);
    KZ_SAME(camera_value);
    KZ_SAME(sysf);
    KZ_SAME(thick_set);
    KZ_SAME(thick1);
    KZ_SAME(thick2);
    KZ_SAME(shadow_mode);
    KZ_SAME(hit_flag);
    KZ_SAME(fw);
    KZ_SAME_TEXT(name);
    KZ_SAME_TEXT(parent_name);
    KZ_SAME_TEXT(paste_text);
    KZ_SAME_TEXT(poldat);
    KZ_SAME_TEXT(limit);
    KZ_SAME_TEXT(action);
    KZ_SAME_TEXT(type);
    KZ_SAME_TEXT(party);
    KZ_SAME_TEXT(layer);
    KZ_SAME_TEXT(group);
    KZ_SAME_TEXT(frefer);
    KZ_SAME_TEXT(frmode);
    KZ_SAME_TEXT(comment);
#undef KZ_SAME
#undef KZ_SAME_TEXT
    for (int i = 0; i < 4; ++i)
        if (a.wtop_items[i] != b.wtop_items[i]) out << " wtop_items[" << i << "]";
    for (int i = 0; i < 3; ++i)
        if (a.dtop_items[i] != b.dtop_items[i]) out << " dtop_items[" << i << "]";
    for (int i = 0; i < kChangeLockCount; ++i)
        if (a.change_locks[i] != b.change_locks[i]) out << " change_locks[" << i << "]";
    for (int i = 0; i < 4; ++i)
        if (a.action_summary[i] != b.action_summary[i]) out << " action_summary[" << i << "]";
    for (int i = 0; i < a.paste_count && i < b.paste_count; ++i) {
        const std::string entry = entry_differences(a.paste_entries[i], b.paste_entries[i]);
        if (!entry.empty()) out << " paste[" << i << "]:" << entry;
    }
    return out.str();
}

}  // namespace kz::scene::test
