// The part's own figure line ("trunk" or "refer"): placement, id and hidden flag, colour, names, the system
// attributes, locks, limits, camera, comment and shadow, and the columns a part line was read with and carries.
#include <cstring>
#include <string>

#include "app/foundation/estring.h"
#include "app/foundation/heap_text.h"
#include "app/scene/figure_text.h"
#include "app/scene/fix_flags.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

void append_quoted_attribute(EString& out, const char* key, const char* value) {
    if (!value || !*value) return;
    out.AppendParts(key, ";\"", value, "\"|");
}

}  // namespace

char* XTrunk::MakeHeaderRecord(char* old_text, char separator) {
    const COBJECTA& r = *base_record();
    const char sep[2] = {separator, 0};
    char buffer[kCameraTextSize];
    EString out;
    for (const char* line : comment_lines) out.AppendParts(line, "\r\n");
    out.Append(HasFrefer() ? "refer" : "trunk");
    for (double v : {r.dx, r.dy, r.dz, r.rx, r.ry, r.rz, r.odx, r.ody, r.odz, r.orx, r.ory, r.orz, r.w, r.d, r.h}) {
        out.Append(sep);
        append_number(out, v);
    }
    // Columns a part line does not use of its own are written back when it was read with them, so saving never
    // drops them.
    out.Append(sep);
    if (written_value(r.wtop) != 0 || any_written(r.wtop_items)) {
        append_number(out, r.wtop);
        if (any_written(r.wtop_items))
            for (double v : r.wtop_items) {
                out.Append(";");
                append_number(out, v);
            }
    }
    out.Append(sep);
    if (written_value(r.dtop) != 0 || any_written(r.dtop_items) || r.dtop_first_flag || r.dtop_third_flag == 1) {
        if (r.dtop_first_flag == 1) out.Append("d");
        append_number(out, r.dtop);
        if (any_written(r.dtop_items) || r.dtop_third_flag == 1) {
            out.Append(";");
            append_number(out, r.dtop_items[0]);
            out.Append(r.dtop_third_flag == 1 ? ";d" : ";");
            append_number(out, r.dtop_items[1]);
            out.Append(";");
            append_number(out, r.dtop_items[2]);
        }
    }
    out.Append(sep);
    append_number(out, r.div);
    out.Append(sep);
    // A part whose id was never taken over from its line keeps the one it was read with.
    append_number(out, id != 0 ? id : r.domebtm);
    out.Append(sep);
    append_number(out, 1 - shown);
    out.Append(sep);
    if (written_value(r.dispmode) != 0) append_number(out, r.dispmode);
    for (double v : {r.red, r.green, r.blue}) {
        out.Append(sep);
        if (r.packed_color >= 1) append_number(out, v);
    }
    out.AppendParts(sep, sep, sep, sep);
    if (written_value(r.trans) > 0) append_number(out, r.trans);
    out.Append(sep);
    append_text_column(out, r.name);
    out.Append(sep);
    append_text_column(out, r.parent_name);
    out.Append(sep);
    if (HasFrefer()) {
        char* relative =
            view ? view->ToRelativePath(nullptr, r.frefer, this) : set_heap_string(nullptr, r.frefer, nullptr, -1);
        out.AppendParts("R;;\"", relative ? relative : "", "\"|");
        free_and_null(relative);
    }
    append_quoted_attribute(out, "#layer", r.layer);
    append_quoted_attribute(out, "#type", r.type);
    append_quoted_attribute(out, "#party", r.party);
    if (r.sysf != 0) out.AppendParts("#sysf;", c_integer_text(r.sysf, buffer), "|");
    append_quoted_attribute(out, "#group", r.group);
    append_quoted_attribute(out, "#frmode", r.frmode);
    out.Append(sep);
    append_figure_tail(out, r, sep[0]);
    return set_heap_string(old_text, out.text(), nullptr, -1);
}

}  // namespace kz::scene
