// Field-by-field comparison of figure records for the tests.
#include "record_compare.h"

#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

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

// Appends the name of every field in which the records differ; `names` names the fields in their order.
template <class Same, class... Fields>
void compare_fields(std::ostringstream& out, const COBJECTA& a, const COBJECTA& b, Same same, const char* names,
                    Fields... fields) {
    std::istringstream list(names);
    const std::vector<std::string> named{std::istream_iterator<std::string>(list), {}};
    if (named.size() != sizeof...(fields)) {
        out << " (the field names do not match the fields)";
        return;
    }
    std::size_t i = 0;
    ((same(a.*fields, b.*fields) ? void() : void(out << " " << named[i]), ++i), ...);
}

}  // namespace

std::string record_differences(const COBJECTA& a, const COBJECTA& b) {
    std::ostringstream out;
    const auto equal = [](const auto& x, const auto& y) { return x == y; };
    compare_fields(out, a, b, equal,
                   "kind dx dy dz rx ry rz odx ody odz orx ory orz w d h dtop_first_flag wtop dtop div dtop_third_flag "
                   "domebtm dometop dispmode btmangle topangle sides draw_style line_width_digit packed_color ambient "
                   "diffuse specular trans red green blue paste_count fix_kind camera_number camera_value sysf "
                   "thick_set thick1 thick2 shadow_mode hit_flag fw",
                   &COBJECTA::kind, &COBJECTA::dx, &COBJECTA::dy, &COBJECTA::dz, &COBJECTA::rx, &COBJECTA::ry,
                   &COBJECTA::rz, &COBJECTA::odx, &COBJECTA::ody, &COBJECTA::odz, &COBJECTA::orx, &COBJECTA::ory,
                   &COBJECTA::orz, &COBJECTA::w, &COBJECTA::d, &COBJECTA::h, &COBJECTA::dtop_first_flag,
                   &COBJECTA::wtop, &COBJECTA::dtop, &COBJECTA::div, &COBJECTA::dtop_third_flag, &COBJECTA::domebtm,
                   &COBJECTA::dometop, &COBJECTA::dispmode, &COBJECTA::btmangle, &COBJECTA::topangle, &COBJECTA::sides,
                   &COBJECTA::draw_style, &COBJECTA::line_width_digit, &COBJECTA::packed_color, &COBJECTA::ambient,
                   &COBJECTA::diffuse, &COBJECTA::specular, &COBJECTA::trans, &COBJECTA::red, &COBJECTA::green,
                   &COBJECTA::blue, &COBJECTA::paste_count, &COBJECTA::fix_kind, &COBJECTA::camera_number,
                   &COBJECTA::camera_value, &COBJECTA::sysf, &COBJECTA::thick_set, &COBJECTA::thick1, &COBJECTA::thick2,
                   &COBJECTA::shadow_mode, &COBJECTA::hit_flag, &COBJECTA::fw);
    compare_fields(out, a, b, same_text,
                   "name parent_name paste_text poldat limit action type party layer group frefer frmode comment",
                   &COBJECTA::name, &COBJECTA::parent_name, &COBJECTA::paste_text, &COBJECTA::poldat, &COBJECTA::limit,
                   &COBJECTA::action, &COBJECTA::type, &COBJECTA::party, &COBJECTA::layer, &COBJECTA::group,
                   &COBJECTA::frefer, &COBJECTA::frmode, &COBJECTA::comment);
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
