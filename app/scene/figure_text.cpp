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
    kz::crt::c_int_to_text(value, buffer);
    return buffer;
}

// The text has no exponent, so what lies beyond its range is written as its edge.
double written_value(double value) {
    constexpr double kLargest = 1e100;
    if (value > kLargest) return kLargest;
    if (value < -kLargest) return -kLargest;
    if (value != 0 && std::fabs(value) <= 1e-100) return 0;
    return value;
}

bool any_written(std::span<const double> values) {
    for (double v : values)
        if (written_value(v) != 0) return true;
    return false;
}

char* figure_number_text(double value, char* buffer) {
    return double_to_text(written_value(value), 1, buffer, kNumberTextSize);
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

namespace {

// The field run is put together in one string and handed to the output whole: a line is some hundred pieces.
void number_into(std::string& line, double value) {
    char number[kNumberTextSize];
    line += figure_number_text(value, number);
}

void text_column_into(std::string& line, const char* text) {
    static const FieldSeparators line_splitters("\t", ",");
    append_protected_text(line, text, line_splitters);
}

void tail_into(std::string& line, const COBJECTA& r, char separator) {
    char buffer[kCameraTextSize];
    line += format_fix_flags(r.fix_kind, r.change_locks, buffer);
    for (const char* text : {r.poldat, r.limit, r.action}) {
        line += separator;
        text_column_into(line, text);
    }
    line += separator;
    line += r.FormatCamera(buffer);
    line += separator;
    text_column_into(line, r.comment);
    line += separator;
    if (r.thick_set) {
        number_into(line, r.thick1);
        if (written_value(r.thick2) != written_value(r.thick1)) {
            line += ';';
            number_into(line, r.thick2);
        }
    }
    line += separator;
    line += c_integer_text(r.shadow_mode, buffer);
    line += ';';
    line += c_integer_text(r.hit_flag, buffer);
}

}  // namespace

int append_figure_fields(EString& out, COBJECTA& r, char separator) {
    if (r.kind == kKindNone) return 0;
    r.EncodeDisplayMode();
    thread_local std::string line;
    line.clear();
    line += figure_kind_word(r.kind);
    for (double v : {r.dx, r.dy, r.dz, r.rx, r.ry, r.rz, r.odx, r.ody, r.odz, r.orx, r.ory, r.orz, r.w, r.d, r.h}) {
        line += separator;
        number_into(line, v);
    }

    line += separator;
    number_into(line, r.wtop);
    if (any_written(r.wtop_items)) {
        for (double v : r.wtop_items) {
            line += ';';
            number_into(line, v);
        }
    }

    line += separator;
    if (r.dtop_first_flag == 1) line += 'd';
    number_into(line, r.dtop);
    if (r.dtop_third_flag == 1 || any_written(r.dtop_items)) {
        line += ';';
        number_into(line, r.dtop_items[0]);
        line += r.dtop_third_flag == 1 ? ";d" : ";";
        number_into(line, r.dtop_items[1]);
        line += ';';
        number_into(line, r.dtop_items[2]);
    }

    line += separator;
    number_into(line, r.div);
    for (const auto& [dome, angle] : {std::pair{r.domebtm, r.btmangle}, std::pair{r.dometop, r.topangle}}) {
        line += separator;
        number_into(line, dome);
        if (written_value(angle) != 0) {
            line += ';';
            number_into(line, angle);
        }
    }

    for (double v : {r.dispmode, r.red, r.green, r.blue, r.ambient, r.diffuse, r.specular, r.trans}) {
        line += separator;
        number_into(line, v);
    }

    line += separator;
    text_column_into(line, r.name);
    line += separator;
    text_column_into(line, r.parent_name);
    line += separator;
    text_column_into(line, r.WritePasteList());
    line += separator;
    tail_into(line, r, separator);
    out.Append(line.data(), -1, static_cast<int>(line.size()));
    return static_cast<int>(line.size());
}

void append_figure_tail(EString& out, const COBJECTA& r, char separator) {
    std::string line;
    tail_into(line, r, separator);
    out.Append(line.data(), -1, static_cast<int>(line.size()));
}

}  // namespace kz::scene
