// The part property table: the 40 columns of a part's record as labelled rows of text, one column read back or
// set from text (with a rebuild), and attributes set on the items a target selects.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/condition_list.h"
#include "app/scene/fix_flags.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;
using kz::scene::COBJECTA;

namespace {

constexpr int kColumns = 40;
constexpr int kRowSlots = 48;
constexpr int kTransparencyColumn = 28, kPolygonColumn = 33;

// Row labels in Shift_JIS, one per record column.
constexpr const char* kLabels[kColumns] = {
    "\x8c`\x8f\xf3\x96\xbc",                                             // 0
    "\x94z\x92u\x81@\x82w(dx)",                                          // 1
    "\x81@\x81@\x81@\x82x(dy)",                                          // 2
    "\x81@\x81@\x81@\x82y(dz)",                                          // 3
    "\x89\xf1\x93]\x81@\x82w(rx)",                                       // 4
    "\x81@\x81@\x81@\x82x(ry)",                                          // 5
    "\x81@\x81@\x81@\x82y(rz)",                                          // 6
    "\x8a\xee\x93_\x88\xca\x92u\x81@\x81@\x82w",                         // 7
    "\x81@\x81@\x81@\x81@\x81@\x81@\x82x",                               // 8
    "\x81@\x81@\x81@\x81@\x81@\x81@\x82y",                               // 9
    "\x8a\xee\x93_\x89\xf1\x93]\x81@\x81@\x82w",                         // 10
    "\x81@\x81@\x81@\x81@\x81@\x81@\x82x",                               // 11
    "\x81@\x81@\x81@\x81@\x81@\x81@\x82y",                               // 12
    "\x95\x9d",                                                          // 13
    "\x89\x9c\x8ds\x82\xab",                                             // 14
    "\x8d\x82\x82\xb3",                                                  // 15
    "\x8f\xe3\x92[\x81@\x95\x9d",                                        // 16
    "\x81@\x81@\x81@\x81@\x89\x9c\x8ds\x82\xab\x81^\x8ap\x93x\x95\x9d",  // 17
    "\x95\xaa\x8a\x84\x90\x94",                                          // 18
    "\x89\xba\x8aW\x81@\x8d\x82\x82\xb3(0:flat -1:\xc5\xbc)",            // 19
    "\x8f\xe3\x8aW\x81@\x8d\x82\x82\xb3(0:flat -1:\xc5\xbc)",            // 20
    "\x95\\\x96\xca(0:\xcf\xaf\xc4 1:\xb8\xde\xdb\xb0 2:wire)",          // 21
    "\x81@\x90\xd4 0-255)",                                              // 22
    "\x81@\x97\xce 0-255)",                                              // 23
    "\x81@\x90\xc2 0-255)",                                              // 24
    "\x94\xbd\x8e\xcb\x97\xa6\x81@\x8a\xc2\x8b\xab(0-1-3)",              // 25
    "\x81@\x81@\x81@\x81@\x81@\x8c\xf5\x8c\xb9(0-1-3)",                  // 26
    "\x81@\x81@\x81@\x81@\x81@\x8b\xbe\x96\xca",                         // 27
    "\x93\xa7\x89\xdf\x97\xa6(0-1)(2=\xcb\xaf\xc4\x96\xb3)",             // 28
    "\x8e\xa9\x90g\x82\xcc\x96\xbc\x91O",                                // 29
    "\x8cZ\x82\xcc\x96\xbc\x91O",                                        // 30
    "\x93\\\x82\xe8\x95t\x82\xaf\x82\xe9\x83t\x83@\x83"
    "C\x83\x8b\x96\xbc(c;5000;xx.jpg;w;h;R;G;B;x;y;qdeg;qcx;qcy;mirror)",  // 31
    "\x95\xcf\x8dX\x8b\xd6\x8e~\x97v\x91"
    "f(A;1;=\x91S\x8b\xd6 A;1;;;0;=\x82y\x88\xda\x93\xae\x82\xbe\x82\xafOK "
    "a;2;;=\x8f\xe6\x82\xe8\x8a\xb7\x82\xa6\x8b\xd6\x8e~)",  // 32
    "\x82Q\x82"
    "c\x83|\x83\x8a\x83S\x83\x93(x;y;x;y...|x;y;z;x;y;z)\x8c\xe3\x94\xbc\x82\xcd\x96@\x90\xfc",  // 33
    "\x89\xc2\x93\xae\x94\xcd\x88\xcd\x82\xcc\x90\xa7\x8c\xc0(a;rx;-10;90;|)",                   // 34
    "\x83"
    "A\x83N\x83V\x83\x87\x83\x93(m;[target];rz;now;max;1;2)",  // 35
    "\x83J\x83\x81\x83\x89\x81\x95\x8b@\x94\\( 0:\x8b@\x94\\\x82\xc8\x82\xb5 "
    "1:\x83J\x83\x81\x83\x89\x8b@\x94\\\x82\xa0\x82\xe8(1;\x92\x8d\x8e\x8b\x93_"
    "\x82\xdc\x82\xc5\x82\xcc\x8b\x97\x97\xa3) 2:\x8cZ\x98"
    "A\x93\xae\x83J\x83\x81\x83\x89(2;\x93\xaf)  4:\x83|\x81[\x83Y\x8bL\x98^\x82n\x82m "
    "32:\x95\\\x8e\xa6\x97\xcc\x88\xe6 )",  // 36
    "\x83R\x83\x81\x83\x93\x83g\x81i\x83J\x83\x93\x83}\x82\xc6\x82s\x82`\x82"
    "a\x82\xcd\x8b\xd6\x8e~\x81j__\x82\xc5\x89\xfc\x8ds",                                                         // 37
    "\x93\xf7\x8c\xfa[mm](\x89\xba\x95\x94;\x8f\xe3\x95\x94) =\x95\x89\x82\xc5\x8c\xfa\x82\xdd\x82\xc8\x82\xb5",  // 38
    "\x89"
    "e;\x83q\x83"
    "b\x83g(\x89"
    "e 0:\x8d\xec\x90\xac 1:\x82\xc8\x82\xb5 2:\x83p\x81[\x83"
    "c\x8c\xc2\x95\xca)(\x83q\x83"
    "b\x83g 0:\x82\xb7\x82\xe9 1:\x82\xb5\x82\xc8\x82\xa2)",  // 39
};
// Column 33's label for a cylinder, whose polygon text describes a bend.
constexpr const char* kBendLabel =
    "\x8b\xc8\x82\xaa\x82\xe9\x89~\x92\x8c\x82\xc8\x82\xe7(magari;<\x94\xbc\x8c"
    "a>;<\x8ap\x93x>;<\x95\xaa\x8a\x8d\x90\x94>|";

// Keywords of the figure line's keyword form: they route a text to the record's own reader of each column.
constexpr const char* kColumnKeys[kColumns] = {
    "object",  "dx",       "dy",  "dz",     "rx",    "ry",      "rz",      "odx",      "ody",   "odz",
    "orx",     "ory",      "orz", "w",      "d",     "h",       "wtop",    "dtop",     "div",   "domebtm",
    "dometop", "dispmode", "red", "green",  "blue",  "ambient", "diffuse", "specular", "trans", "name",
    "elder",   "paste",    "fix", "poldat", "limit", "action",  "camera",  "comment",  "thick", "shadow"};

std::string column_letters(int column) {
    std::string letters;
    if (column >= 26) letters += static_cast<char>('A' + column / 26 - 1);
    letters += static_cast<char>('A' + column % 26);
    return letters;
}

std::string row_label(int column, const COBJECTA& record) {
    const char* text =
        column == kPolygonColumn && record.kind == kz::scene::kKindCylinder ? kBendLabel : kLabels[column];
    char buffer[512];
    kz::crt::c_snprintf(buffer, sizeof buffer, column == 25 ? "%2d  %s %s" : "%2d %s %s", column,
                        column_letters(column).c_str(), text);
    return buffer;
}

std::string number_text(double v) {
    char buffer[fnd::kNumberTextSize];
    return fnd::double_to_text(v, 1, buffer, sizeof buffer);
}

std::string column_value(COBJECTA& record, int column) {
    auto text = [](const char* t) { return std::string(t ? t : ""); };
    char buffer[kz::scene::kCameraTextSize];
    switch (column) {
    case 0: return kz::scene::figure_kind_word(record.kind);
    case 21: record.EncodeDisplayMode(); return number_text(record.dispmode);
    case 29: return text(record.name);
    case 30: return text(record.parent_name);
    case 31: return text(record.WritePasteList());
    case 32: return kz::scene::format_fix_flags(record.fix_kind, record.change_locks, buffer);
    case 33: return text(record.poldat);
    case 34: return text(record.limit);
    case 35: return text(record.action);
    case 36: return record.FormatCamera(buffer);
    case 37: return text(record.comment);
    case 38:
        if (!record.thick_set) return "";
        return record.thick2 == record.thick1 ? number_text(record.thick1)
                                              : number_text(record.thick1) + ";" + number_text(record.thick2);
    case 39: kz::crt::c_snprintf(buffer, sizeof buffer, "%d;%d", record.shadow_mode, record.hit_flag); return buffer;
    default: {
        double v = 0.0;
        record.GetFieldByColumn(column, &v);
        return number_text(v);
    }
    }
}

char** new_rows() { return static_cast<char**>(fnd::alloc_zeroed(sizeof(char*) * kRowSlots)); }

}  // namespace

void XView::free_property_rows(char** rows) {
    if (!rows) return;
    for (int i = 0; i < kRowSlots; ++i) fnd::free_and_null(rows[i]);
    fnd::free_and_null(rows);
}

int XView::PartPropertyTable(XLeaves* part, char*** labels, char*** values, int column, const char* text, int mode,
                             char** result) {
    if (!part || !part->record) return -1;
    COBJECTA& record = *part->record;
    if (mode == 1) {
        char** l = new_rows();
        char** v = new_rows();
        for (int c = 0; c < kColumns; ++c) {
            l[c] = fnd::set_heap_string(nullptr, row_label(c, record).c_str(), nullptr, -1);
            v[c] = fnd::set_heap_string(nullptr, column_value(record, c).c_str(), nullptr, -1);
        }
        if (labels)
            *labels = l;
        else
            free_property_rows(l);
        if (values)
            *values = v;
        else
            free_property_rows(v);
        return kColumns;
    }
    if (column < 0 || column >= kColumns) return -1;
    if (mode == 2) {
        if (result) *result = fnd::set_heap_string(*result, column_value(record, column).c_str(), nullptr, -1);
        return kColumns;
    }
    if (!text) text = "";
    if (column == kTransparencyColumn) {
        // Only the transparency changes: the modeller takes it without a rebuild.
        const double wanted = kz::crt::c_atof(text);
        if (wanted != record.trans || std::isnan(record.trans)) part->SetParameter(kTransparencyColumn, wanted);
        return kColumns - 1;
    }
    const std::unique_ptr<COBJECTA> copy = CreateObjectRecord(&record, part->owner);
    copy->SetFieldByKeyword(kColumnKeys[column], text);
    if (column == 21) copy->DecodeDisplayMode();
    const bool shadow_changed = copy->shadow_mode != record.shadow_mode || copy->hit_flag != record.hit_flag;
    const char* new_name = copy->name ? copy->name : "";
    if (fnd::compare_nocase(record.name ? record.name : "", new_name) != 0) part->Rename(new_name);
    display.edit_flag = 1;
    part->Build(copy.get());
    display.edit_flag = 0;
    if (shadow_changed && part->owner) part->owner->PushShadowFlags(1, 0);
    MarkTrunkChanged(part->owner);
    return kColumns;
}

// The scene only reads columns back; any other mode through this door changes nothing.
char* XView::PartPropertyTable(int mode, XLeaves* part, int column) {
    char* text = nullptr;
    if (mode != 2 || PartPropertyTable(part, nullptr, nullptr, column, nullptr, 2, &text) < 0 || !text)
        return fnd::set_heap_string(text, "", nullptr, -1);
    return text;
}

int XView::ApplyAttributeSet(XTrunk* trunk, const kz::scene::ConditionList* target, const char* name, const char* value,
                             const char* expression, int mode) {
    if (!trunk || !target || !trunk->shown) return 0;
    if (!trunk->MatchTarget(target) || trunk->FindTargetPart(target) == -1) return 0;
    switch (mode) {
    case 0: trunk->SetSystemAttribute(name, value, expression, 1); break;
    case 1: trunk->SetAttributeDefault(name, value, expression); break;
    case 2: {
        // The same store without the change mark.
        const int lock = document.change_lock;
        document.change_lock = 1;
        trunk->SetSystemAttribute(name, value, expression, 1);
        document.change_lock = lock;
        break;
    }
    case 3:
        trunk->SetAttribute(name, "#del", expression);
        if (document.change_lock != 1) MarkTrunkChanged(trunk);
        break;
    default: break;
    }
    return 1;
}

int XView::ApplyAttributeSetTree(XTrunk* trunk, const kz::scene::ConditionList* target, const char* name,
                                 const char* value, const char* expression, int mode) {
    int selected = 0;
    kz::scene::walk_subtree(trunk, [&](XTrunk* t) {
        selected += ApplyAttributeSet(t, target, name, value, expression, mode);
        return true;
    });
    return selected;
}

}  // namespace kz::view
