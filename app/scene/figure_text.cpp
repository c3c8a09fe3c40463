// The writer's shared pieces and the field run of one record, in the form the figure line reader takes back.
// Text columns are protected against the tokenizer: a name holding a comma must not shift every later column.
#include "app/scene/figure_text.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "app/foundation/number_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/fix_flags.h"
#include "platform/crt/c_numbers.h"
#include "platform/crt/mbcs.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

struct QuoteScan {
    bool splits = false;     // a splitter outside quotes
    bool ends_open = false;  // still inside quotes at the end
};

// The tokenizer's view of a text: quotes toggle, double-byte characters are stepped over whole.
QuoteScan scan_quotes(const char* text, const FieldSeparators& splitters, bool inside) {
    QuoteScan scan;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        if (kz::crt::is_sjis_lead(p[0]) && kz::crt::is_sjis_trail(p[1])) {
            p += 2;
            continue;
        }
        if (*p == '"') {
            inside = !inside;
        } else if (!inside && splitters.match(p) > 0) {
            scan.splits = true;
        }
        ++p;
    }
    scan.ends_open = inside;
    return scan;
}

}  // namespace

char* c_integer_text(std::int32_t value, char* buffer) {
    kz::crt::c_snprintf(buffer, kIntegerTextSize, "%d", static_cast<int>(value));
    return buffer;
}

char* figure_number_text(double value, char* buffer) {
    constexpr double kLargest = 1e100;
    if (value > kLargest)
        value = kLargest;
    else if (value < -kLargest)
        value = -kLargest;
    else if (value != 0 && std::fabs(value) <= 1e-100)
        value = 0;
    return double_to_text(value, 1, buffer, kNumberTextSize);
}

void append_number(EString& out, double value) {
    char number[kNumberTextSize];
    out.Append(figure_number_text(value, number));
}

void append_protected_text(std::string& out, const char* text, const FieldSeparators& splitters) {
    if (!text) return;
    const QuoteScan plain = scan_quotes(text, splitters, false);
    if (!plain.splits) {
        out += text;
        // Close a quote the text leaves open, or the rest of the line would read as this one field.
        if (plain.ends_open) out += '"';
        return;
    }
    // The reader trims the outer quotes again; inside them the text's own quotes flip the protection, so this
    // only works when the text's separators all lay outside its own quotes.
    const QuoteScan wrapped = scan_quotes(text, splitters, true);
    if (!wrapped.splits) {
        out += '"';
        out += text;
        out += '"';
        // An odd count of its own quotes leaves the closing quote opening instead; one more closes it.
        if (!wrapped.ends_open) out += '"';
        return;
    }
    // Separators both inside and outside its own quotes: no quoting can carry the text whole. Its quotes go,
    // its text and every later column stay.
    out += '"';
    for (const char* p = text; *p; ++p)
        if (*p != '"') out += *p;
    out += '"';
}

void append_protected_text(EString& out, const char* text, const FieldSeparators& splitters) {
    std::string protected_text;
    append_protected_text(protected_text, text, splitters);
    out.Append(protected_text.c_str(), -1, static_cast<int>(protected_text.size()));
}

void append_text_column(EString& out, const char* text) {
    static const FieldSeparators line_splitters("\t", ",");
    append_protected_text(out, text, line_splitters);
}

int sjis_prefix_length(const char* text, int length, int max_bytes) {
    if (length <= max_bytes) return length;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    while (n < max_bytes) {
        const int step = (kz::crt::is_sjis_lead(p[n]) && n + 1 < length && kz::crt::is_sjis_trail(p[n + 1])) ? 2 : 1;
        if (n + step > max_bytes) break;
        n += step;
    }
    return n;
}

int append_figure_fields(EString& out, COBJECTA& r, char separator) {
    if (r.kind == kKindNone) return 0;
    const int start = out.length();
    const char sep[2] = {separator, 0};
    r.EncodeDisplayMode();

    out.Append(figure_kind_word(r.kind));
    for (double v : {r.dx, r.dy, r.dz, r.rx, r.ry, r.rz, r.odx, r.ody, r.odz, r.orx, r.ory, r.orz, r.w, r.d, r.h}) {
        out.Append(sep);
        append_number(out, v);
    }

    out.Append(sep);
    append_number(out, r.wtop);
    if (r.wtop_items[0] != 0 || r.wtop_items[1] != 0 || r.wtop_items[2] != 0 || r.wtop_items[3] != 0) {
        for (double v : r.wtop_items) {
            out.Append(";");
            append_number(out, v);
        }
    }

    out.Append(sep);
    if (r.dtop_first_flag == 1) out.Append("d");
    append_number(out, r.dtop);
    if (r.dtop_items[0] != 0 || r.dtop_items[1] != 0 || r.dtop_items[2] != 0) {
        out.Append(";");
        append_number(out, r.dtop_items[0]);
        out.Append(r.dtop_third_flag == 1 ? ";d" : ";");
        append_number(out, r.dtop_items[1]);
        out.Append(";");
        append_number(out, r.dtop_items[2]);
    }

    out.Append(sep);
    append_number(out, r.div);
    for (const auto& [dome, angle] : {std::pair{r.domebtm, r.btmangle}, std::pair{r.dometop, r.topangle}}) {
        out.Append(sep);
        append_number(out, dome);
        if (angle != 0) {
            out.Append(";");
            append_number(out, angle);
        }
    }

    for (double v : {r.dispmode, r.red, r.green, r.blue, r.ambient, r.diffuse, r.specular, r.trans}) {
        out.Append(sep);
        append_number(out, v);
    }

    out.Append(sep);
    append_text_column(out, r.name);
    out.Append(sep);
    append_text_column(out, r.parent_name);
    out.Append(sep);
    append_text_column(out, r.WritePasteList());
    out.Append(sep);
    append_figure_tail(out, r, separator);
    return out.length() - start;
}

void append_figure_tail(EString& out, const COBJECTA& r, char separator) {
    const char sep[2] = {separator, 0};
    char buffer[kCameraTextSize];
    out.Append(format_fix_flags(r.fix_kind, r.change_locks, buffer));
    for (const char* text : {r.poldat, r.limit, r.action}) {
        out.Append(sep);
        append_text_column(out, text);
    }
    out.Append(sep);
    out.Append(r.FormatCamera(buffer));
    out.Append(sep);
    append_text_column(out, r.comment);
    out.Append(sep);
    if (r.thick_set) {
        append_number(out, r.thick1);
        if (r.thick2 != r.thick1) {
            out.Append(";");
            append_number(out, r.thick2);
        }
    }
    out.Append(sep);
    out.AppendParts(c_integer_text(r.shadow_mode, buffer), ";");
    out.Append(c_integer_text(r.hit_flag, buffer));
}

}  // namespace kz::scene
