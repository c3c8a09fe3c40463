// Deterministic figure records for the round-trip tests.
#include "record_generator.h"

#include <string>

#include "app/foundation/heap_text.h"
#include "app/scene/action_list.h"
#include "app/scene/paste_list.h"
#include "platform/crt/c_numbers.h"
#include "recording_view_services.h"

namespace kz::scene::test {

namespace {

// "表" 0x95 0x5C, "ソ" 0x83 0x5C, "ポ" 0x83 0x7C, "能" 0x94 0x5C: trail bytes that look like "\" and "|".
constexpr const char* kNames[] = {
    "door",
    "\x95\x5C\x8E\xA6",          // 表示
    "\x83\x5C\x83\x74\x83\x40",  // ソファ
    "\x83\x7C\x83\x93\x83\x76",  // ポンプ
    "\x94\x5C\x96\xCA",          // 能面
    "shelf,upper",
    "rack\tB",
    "a\"b,c\"d",
    "12\"x",
    "x;y|z",
    "\x83\x7C,\x83\x5C",  // ポ,ソ
    "name with blanks inside",
};
constexpr const char* kTexts[] = {
    "0;0|100;0|100;100",
    "dx;-100;100|rz;0;90",
    "note, with a comma",
    "\x83\x7C\x83\x93\x83\x76\x8F\x5C",  // ポンプ十
    "tab\there",
};
constexpr const char* kActions[] = {
    "M;door;rz;now;max;0;2;1",
    "H;[wav=ding.wav]door;0;1;1;0",
    "H2;<web=http://example/a>;1|M1;a;dx;0;10;0;1;1",
    "H;[file=a,b.fig];0",
    "C;cam1;0;2;1;55;1",
};
constexpr const char* kSources[] = {
    "pic.png",
    "dir\\\x95\x5C.jpg",  // dir\表.jpg
    "plan.DXF",          "a,b.bmp", "[text=\x83\x7C|x]",  "[loadimage=IDB_WOOD]",
    "<lumfont=abc>",     "clear",   "C:\\abs\\photo.gif", "x;y.png",
    "q\"uote.tif",
};

}  // namespace

double RecordGenerator::number() {
    // Short decimals read back exactly: the text has far fewer than 15 significant digits.
    char buffer[32];
    switch (uniform(0, 3)) {
    case 0: return 0;
    case 1: kz::crt::c_snprintf(buffer, sizeof buffer, "%d", uniform(-5000, 5000)); break;
    case 2: kz::crt::c_snprintf(buffer, sizeof buffer, "%d.%03d", uniform(-999, 999), uniform(0, 999)); break;
    default: kz::crt::c_snprintf(buffer, sizeof buffer, "0.%06d", uniform(1, 999999)); break;
    }
    return kz::crt::c_atof(buffer);
}

char* RecordGenerator::text(const char* const* pool, int count) {
    if (chance(25)) return nullptr;
    return kz::foundation::set_heap_string(nullptr, pool[uniform(0, count - 1)], nullptr, -1);
}

void RecordGenerator::add_paste_entries(COBJECTA& r) {
    const int count = uniform(0, 3);
    r.paste_entries = static_cast<PasteEntry*>(kz::foundation::alloc_zeroed(sizeof(PasteEntry) * 4));
    for (int i = 0; i < count; ++i) {
        PasteEntry& e = r.paste_entries[r.paste_count++];
        const char letters[] = {'A', 'C', 'R'};
        e.face_letter = letters[uniform(0, 2)];
        e.from_codes = static_cast<std::int32_t*>(kz::foundation::alloc_zeroed(sizeof(std::int32_t) * kMaxPasteRanges));
        e.to_codes = static_cast<std::int32_t*>(kz::foundation::alloc_zeroed(sizeof(std::int32_t) * kMaxPasteRanges));
        e.range_count = uniform(0, 4);
        for (int k = 0; k < e.range_count; ++k) {
            const int from = uniform(1, 6) * 1000 + (chance(50) ? 0 : uniform(1, 40));
            e.from_codes[k] = from;
            const int shape = uniform(0, 2);
            e.to_codes[k] = shape == 0 ? from : shape == 1 ? end_of_thousand(from) : from + uniform(1, 50);
        }
        const char* source = kSources[uniform(0, static_cast<int>(std::size(kSources)) - 1)];
        e.kind = paste_kind_of_source(source, r.kind);
        std::string stored = source;
        if ((e.kind == 1 || e.kind == 2) && stored.rfind("C:\\", 0) != 0)
            stored = RecordingViewServices::kUnitFolder + stored;
        e.source = kz::foundation::set_heap_string(nullptr, stored.c_str(), nullptr, -1);
        e.image_index = view_->InternName(e.source);
        e.size = number();
        e.lift = number();
        e.color = e.face_letter == 'C'
                      ? (uniform(0, 255) | uniform(0, 255) << 8 | (chance(50) ? 255 : uniform(0, 255)) << 16)
                      : -1;
        e.x = number();
        e.y = number();
        e.angle = number();
        e.center_x = number();
        e.center_y = number();
        e.last_number = uniform(-3, 3);
    }
}

void RecordGenerator::make_canonical(COBJECTA& r, int kind) {
    r.Clear();
    r.kind = kind;
    for (double* v :
         {&r.dx,      &r.dy,      &r.dz,       &r.rx,       &r.ry,      &r.rz,      &r.odx,      &r.ody,  &r.odz,
          &r.orx,     &r.ory,     &r.orz,      &r.w,        &r.d,       &r.h,       &r.wtop,     &r.dtop, &r.div,
          &r.domebtm, &r.dometop, &r.btmangle, &r.topangle, &r.ambient, &r.diffuse, &r.specular, &r.trans})
        *v = chance(30) ? 0 : number();
    if (chance(50))
        for (double& v : r.wtop_items) v = number();
    if (chance(50))
        for (double& v : r.dtop_items) v = number();
    r.dtop_first_flag = chance(30);
    const bool any_dtop_item = r.dtop_items[0] != 0 || r.dtop_items[1] != 0 || r.dtop_items[2] != 0;
    r.dtop_third_flag = any_dtop_item && chance(30);
    r.sides = uniform(1, 2);
    r.draw_style = uniform(1, 2);
    r.line_width_digit = uniform(0, 9);
    r.EncodeDisplayMode();
    r.red = uniform(0, 255);
    r.green = uniform(0, 255);
    r.blue = uniform(0, 255);
    r.UpdatePackedColor();
    r.name = text(kNames, static_cast<int>(std::size(kNames)));
    r.parent_name = text(kNames, static_cast<int>(std::size(kNames)));
    if (kind != kKindTrunk) add_paste_entries(r);
    if (chance(60)) {
        r.fix_kind = uniform(0, 1);
        for (int i = 1; i <= 12; ++i) r.change_locks[i] = chance(50);
        r.change_locks[uniform(1, 12)] = 1;
    }
    r.poldat = text(kTexts, static_cast<int>(std::size(kTexts)));
    r.limit = text(kTexts, static_cast<int>(std::size(kTexts)));
    r.action = text(kActions, static_cast<int>(std::size(kActions)));
    parse_action_list(r.action, &r.action_summary[0], &r.action_summary[1], &r.action_summary[2], &r.action_summary[3]);
    r.camera_number = uniform(0, 63);
    r.camera_value = 0;
    if (chance(50))
        while (r.camera_value <= 0) r.camera_value = number();
    r.comment = text(kTexts, static_cast<int>(std::size(kTexts)));
    if (chance(60)) {
        r.thick_set = 1;
        r.thick1 = number();
        r.thick2 = chance(50) ? r.thick1 : number();
    }
    r.shadow_mode = uniform(0, 2);
    r.hit_flag = uniform(0, 1);
}

void RecordGenerator::add_designed_loss(COBJECTA& r) {
    switch (uniform(0, 3)) {
    case 0: r.draw_style = 3; break;
    case 1:
        r.fix_kind = 1;
        for (int i = 1; i <= 12; ++i) r.change_locks[i] = 0;
        break;
    case 2:
        r.camera_value = -1;
        while (r.camera_value < 0) r.camera_value = number();
        break;
    default:
        r.dtop_third_flag = 1;
        for (double& v : r.dtop_items) v = 0;
        break;
    }
}

}  // namespace kz::scene::test
