// Reading one figure line into a COBJECTA: the positional form (field n is column n) and the keyword form
// (key=value fields), the kind classifier, a part's attribute segment, and pose and stage lines.
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/action_list.h"
#include "app/scene/figure_record.h"
#include "app/scene/figure_text.h"
#include "app/scene/fix_flags.h"
#include "app/scene/view_services.h"
#include "platform/crt/c_number_span.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr int kNumberBytes = 110;
constexpr int kPoseNameBytes = 255;

const FieldSeparators& line_separators() {
    static const FieldSeparators seps("\t", ",");
    return seps;
}
const FieldSeparators& item_separators() {
    static const FieldSeparators seps(";");
    return seps;
}

// A number field as atof / atoi read it, from no more than its first 110 bytes.
double span_number(const char* text, int length) {
    return kz::crt::c_atof_span(text, static_cast<std::size_t>(length < kNumberBytes ? length : kNumberBytes));
}
double span_number(std::string_view field) { return span_number(field.data(), static_cast<int>(field.size())); }
int span_integer(const char* text, int length) {
    char buffer[kNumberBytes + 1];
    const int n = length < kNumberBytes ? length : kNumberBytes;
    if (n > 0) std::memcpy(buffer, text, n);
    buffer[n] = 0;
    return kz::crt::c_atoi(buffer);
}
int span_integer(std::string_view field) { return span_integer(field.data(), static_cast<int>(field.size())); }

// An owned text from a span; an empty span leaves no text.
void set_text(char*& field, const char* text, int length) {
    field = length > 0 ? heap_substring(field, text, 0, length) : free_and_null(field);
}

// Walks the fields of a text, handing out each field's trimmed span (into the text); a missing field is an empty
// span. The separators must outlive the walker.
class FieldWalker {
public:
    FieldWalker(const char* text, const FieldSeparators& seps) : text_(text), seps_(seps) {}
    FieldWalker(const char*, FieldSeparators&&) = delete;
    std::string_view take() {
        if (next_ < 0) return {};
        int pos = next_;
        int len = 0;
        next_ = get_field(text_, pos, len, seps_);
        return {text_ + pos, static_cast<std::size_t>(len)};
    }
    double number() { return span_number(take()); }
    bool done() const { return next_ < 0; }

private:
    const char* text_;
    const FieldSeparators& seps_;
    int next_ = 0;
};

// A field copied out of its line and ended there, so that its items can be walked on their own; the copy stays
// on the stack unless the field is long.
class FieldText {
public:
    explicit FieldText(std::string_view field) : size_(static_cast<int>(field.size())) {
        if (field.empty()) {
            small_[0] = 0;
        } else if (field.size() < sizeof small_) {
            std::memcpy(small_, field.data(), field.size());
            small_[field.size()] = 0;
        } else {
            large_.assign(field);
            text_ = large_.c_str();
        }
    }
    FieldText(const char* text, int length) : FieldText(std::string_view(text, static_cast<std::size_t>(length))) {}
    FieldText(const FieldText&) = delete;
    FieldText& operator=(const FieldText&) = delete;
    const char* c_str() const { return text_; }
    int size() const { return size_; }

private:
    char small_[256];
    std::string large_;
    const char* text_ = small_;
    int size_;
};

bool equals_nocase(const std::string& a, const char* b) { return compare_nocase(a.c_str(), b) == 0; }

}  // namespace

int COBJECTA::ClassifyObjectKind(const char* word) {
    if (!word) word = "";
    const auto starts = [word](const char* prefix) {
        return compare_prefix_nocase(word, prefix, static_cast<int>(std::strlen(prefix))) == 0;
    };
    const auto is = [word](const char* whole) { return compare_nocase(word, whole) == 0; };
    int result = 1;
    if (starts("ba"))
        kind = kKindBall;
    else if (starts("b"))
        kind = kKindBox;
    else if (starts("c"))
        kind = kKindCylinder;
    else if (starts("d"))
        kind = kKindD3poly;
    else if (starts("hp"))
        kind = kKindHpoly;
    else if (starts("h"))
        kind = kKindHankyuu;
    else if (starts("k"))
        kind = kKindKaiten;
    else if (is("pose2") || is("pose"))
        kind = kKindPose;
    else if (starts("pu"))
        kind = kKindPutref;
    else if (starts("p"))
        kind = kKindPoly;
    else if (starts("r") || starts("t"))
        kind = kKindTrunk;
    else if (is("stage2") || is("stage"))
        kind = kKindStage;
    else if (starts("s"))
        kind = kKindSui;
    else if (starts("z"))
        kind = kKindZpoly;
    else {
        kind = kKindBox;
        result = 0;
    }
    return result;
}

void COBJECTA::ReadFigureLine(const char* text) {
    Clear();
    if (!text) return;
    while (*text == ' ' || *text == '\t') ++text;
    if (!*text) return;
    bool keyword = false;
    int separators = 0;
    for (const char* p = text; *p && separators < 2 && !keyword; ++p) {
        if (*p == '\t' || *p == ',')
            ++separators;
        else if (*p == '=')
            keyword = true;
    }
    if (keyword) {
        packed_color = 0xFFFFFF;
        red = green = blue = 255;
        dispmode = 1.0;
        ReadKeywordLine(text);
    } else {
        ReadPositionalLine(text);
    }
    ReadAction(action, action ? static_cast<int>(std::strlen(action)) : 0);
}

void COBJECTA::ReadPositionalLine(const char* text) {
    FieldWalker fields(text, line_separators());
    ClassifyObjectKind(FieldText(fields.take()).c_str());
    for (double* v : {&dx, &dy, &dz, &rx, &ry, &rz, &odx, &ody, &odz, &orx, &ory, &orz, &w, &d, &h})
        *v = fields.number();
    {
        const FieldText column(fields.take());
        FieldWalker items(column.c_str(), item_separators());
        wtop = items.number();
        for (double& v : wtop_items) v = items.number();
    }
    {
        const std::string_view column = fields.take();
        ReadDtopItems(column.data(), static_cast<int>(column.size()), true);
    }
    div = fields.number();
    for (const auto& [dome, angle] : {std::pair{&domebtm, &btmangle}, std::pair{&dometop, &topangle}}) {
        const std::string_view column = fields.take();
        ReadTwoItems(column.data(), static_cast<int>(column.size()), dome, angle);
    }
    dispmode = fields.number();
    DecodeDisplayMode();
    for (double* v : {&red, &green, &blue}) *v = fields.number();
    UpdatePackedColor();
    for (double* v : {&ambient, &diffuse, &specular, &trans}) *v = fields.number();
    for (int column = 29; column <= 39; ++column) {
        const std::string_view field = fields.take();
        ReadColumnText(column, field.data(), static_cast<int>(field.size()));
    }
}

void COBJECTA::ReadTwoItems(const char* value, int length, double* first, double* second) {
    const FieldText column(value, length);
    FieldWalker items(column.c_str(), item_separators());
    *first = items.number();
    *second = items.number();
}

void COBJECTA::ReadDtopItems(const char* value, int length, bool with_marks) {
    const FieldText column(value, length);
    FieldWalker items(column.c_str(), item_separators());
    double* targets[] = {&dtop, &dtop_items[0], &dtop_items[1], &dtop_items[2]};
    std::int32_t* marks[] = {&dtop_first_flag, nullptr, &dtop_third_flag, nullptr};
    for (int i = 0; i < 4; ++i) {
        std::string_view item = items.take();
        if (with_marks && marks[i] && !item.empty() && (item[0] == 'd' || item[0] == 'D')) {
            *marks[i] = 1;
            item.remove_prefix(1);
        }
        *targets[i] = span_number(item);
    }
}

void COBJECTA::ReadAction(const char* value, int length) {
    if (value != action) set_text(action, value, length);
    parse_action_list(action ? action : "", &action_summary[0], &action_summary[1], &action_summary[2],
                      &action_summary[3]);
}

void COBJECTA::ReadThick(const char* value, int length) {
    if (length <= 0) {
        thick_set = 0;
        thick1 = thick2 = 0;
        return;
    }
    const FieldText column(value, length);
    FieldWalker items(column.c_str(), item_separators());
    thick_set = 1;
    thick1 = items.number();
    const std::string_view second = items.take();
    thick2 = second.empty() ? thick1 : span_number(second);
}

void COBJECTA::ReadShadow(const char* value, int length) {
    const FieldText column(value, length);
    FieldWalker items(column.c_str(), item_separators());
    const std::string_view mode = items.take();
    const std::string_view hit = items.take();
    shadow_mode = span_integer(mode);
    hit_flag = span_integer(hit);
}

// Columns 29..39, which the positional and the keyword form read alike.
void COBJECTA::ReadColumnText(int column, const char* value, int length) {
    switch (column) {
    case 29: set_text(name, value, length); break;
    case 30: set_text(parent_name, value, length); break;
    case 31:
        if (kind == kKindTrunk)
            ReadAttributeSegment(FieldText(value, length).c_str());
        else
            ParsePasteList(FieldText(value, length).c_str());
        break;
    case 32: parse_fix_flags(FieldText(value, length).c_str(), change_locks, &fix_kind); break;
    case 33: set_text(poldat, value, length); break;
    case 34: set_text(limit, value, length); break;
    case 35: ReadAction(value, length); break;
    case 36: ParseCamera(FieldText(value, length).c_str()); break;
    case 37: set_text(comment, value, length); break;
    case 38: ReadThick(value, length); break;
    case 39: ReadShadow(value, length); break;
    default: break;
    }
}

void COBJECTA::SetFrefer(const char* path) {
    if (view) {
        frefer = view->ToAbsolutePath(frefer, path, owner);
    } else {
        set_text(frefer, path, static_cast<int>(std::strlen(path)));
    }
}

void COBJECTA::ReadAttributeSegment(const char* text) {
    for (char** attribute : {&type, &party, &frefer, &frmode, &layer, &group}) *attribute = free_and_null(*attribute);
    sysf = 0;
    const FieldSeparators key_end(";", "=");
    const FieldSeparators bars("|");
    FieldWalker items(text, bars);
    while (!items.done()) {
        const std::string item(items.take());
        if (item.empty()) continue;
        int pos = 0;
        int len = 0;
        int next = get_field(item.c_str(), pos, len, key_end);
        const std::string key = item.substr(pos, len);
        pos = next;
        std::string value;
        if (pos >= 0) {
            next = get_field(item.c_str(), pos, len, item_separators());
            value.assign(item.c_str() + pos, len);
            pos = next;
        }
        const int vlen = static_cast<int>(value.size());
        if (equals_nocase(key, "R")) {
            std::string path;
            if (pos >= 0) {
                get_field(item.c_str(), pos, len, item_separators());
                path.assign(item.c_str() + pos, len);
            }
            SetFrefer(path.c_str());
        } else if (equals_nocase(key, "#type"))
            set_text(type, value.c_str(), vlen);
        else if (equals_nocase(key, "#party"))
            set_text(party, value.c_str(), vlen);
        else if (equals_nocase(key, "#frmode"))
            set_text(frmode, value.c_str(), vlen);
        else if (equals_nocase(key, "#layer"))
            set_text(layer, value.c_str(), vlen);
        else if (equals_nocase(key, "#group"))
            set_text(group, value.c_str(), vlen);
        else if (equals_nocase(key, "#frefer"))
            SetFrefer(value.c_str());
        else if (equals_nocase(key, "#name"))
            set_text(name, value.c_str(), vlen);
        else if (equals_nocase(key, "#id"))
            domebtm = span_number(value.c_str(), vlen);
        else if (equals_nocase(key, "#sysf"))
            sysf = span_integer(value.c_str(), vlen);
    }
}

void COBJECTA::ReadKeywordAttributes(const char* text) {
    for (char** attribute : {&type, &party, &frefer, &frmode, &layer, &group}) *attribute = free_and_null(*attribute);
    sysf = 0;
    const FieldSeparators bars("|");
    FieldWalker items(text, bars);
    while (!items.done()) {
        const std::string item(items.take());
        if (item.empty()) continue;
        FieldWalker parts(item.c_str(), item_separators());
        std::string key(parts.take());
        const std::string value(parts.take());
        const int vlen = static_cast<int>(value.size());
        if (!key.empty() && key[0] == '#') key.erase(0, 1);
        if (equals_nocase(key, "type"))
            set_text(type, value.c_str(), vlen);
        else if (equals_nocase(key, "party"))
            set_text(party, value.c_str(), vlen);
        else if (equals_nocase(key, "frefer"))
            SetFrefer(value.c_str());
        else if (equals_nocase(key, "frmode"))
            set_text(frmode, value.c_str(), vlen);
        else if (equals_nocase(key, "layer"))
            set_text(layer, value.c_str(), vlen);
        else if (equals_nocase(key, "sysf"))
            sysf = span_integer(value.c_str(), vlen);
        else if (equals_nocase(key, "group"))
            set_text(group, value.c_str(), vlen);
    }
}

void COBJECTA::ReadKeywordLine(const char* text) {
    if (!text) return;
    const std::string line(text);
    FieldWalker fields(line.c_str(), line_separators());
    ClassifyObjectKind(FieldText(fields.take()).c_str());
    while (!fields.done()) {
        const std::string field(fields.take());
        const std::size_t eq = field.find('=');
        std::string value = eq == std::string::npos ? std::string() : field.substr(eq + 1);
        trim_blanks_quotes(value.data());
        value.resize(std::strlen(value.c_str()));
        SetFieldByKeyword(field.substr(0, eq).c_str(), value.c_str());
    }
    DecodeDisplayMode();
}

int COBJECTA::SetFieldByKeyword(const char* key, const char* value) {
    if (!key) return -1;
    if (!value) value = "";
    const int vlen = static_cast<int>(std::strlen(value));
    const auto is = [key](const char* k) { return compare_nocase(key, k) == 0; };
    const double number = span_number(value, vlen);

    static constexpr const char* kNumberKeys[] = {"dx",  "dy",  "dz",  "rx",  "ry", "rz", "odx", "ody",
                                                  "odz", "orx", "ory", "orz", "w",  "d",  "h"};
    double* number_fields[] = {&dx, &dy, &dz, &rx, &ry, &rz, &odx, &ody, &odz, &orx, &ory, &orz, &w, &d, &h};
    for (int i = 0; i < 15; ++i)
        if (is(kNumberKeys[i])) {
            *number_fields[i] = number;
            return i + 1;
        }
    if (is("object")) {
        ClassifyObjectKind(value);
        return 0;
    }
    if (is("wtop")) {
        wtop = number;
        return 16;
    }
    if (is("dtop")) {
        ReadDtopItems(value, vlen, false);
        return 17;
    }
    if (is("div")) {
        div = number;
        return 18;
    }
    if (is("domebtm")) {
        domebtm = number;
        return 19;
    }
    if (is("btmangle")) {
        btmangle = number;
        return 56;
    }
    if (is("dometop")) {
        dometop = number;
        return 20;
    }
    if (is("topangle")) {
        topangle = number;
        return 55;
    }
    if (is("dispmode")) {
        dispmode = number;
        return 21;
    }
    double* channels[] = {&red, &green, &blue};
    static constexpr const char* kChannelKeys[] = {"red", "green", "blue"};
    for (int i = 0; i < 3; ++i)
        if (is(kChannelKeys[i])) {
            *channels[i] = number;
            UpdatePackedColor();
            return 22 + i;
        }
    if (is("color")) {
        // A colour text that fails to read (-1) keeps only the 24 bits a colour has: white.
        const std::uint32_t color = static_cast<std::uint32_t>(parse_color(value)) & 0xFFFFFFu;
        packed_color = color;
        red = color & 255;
        green = (color >> 8) & 255;
        blue = (color >> 16) & 255;
        return -1;
    }
    if (is("ambient")) {
        ambient = number;
        return 25;
    }
    if (is("diffuse")) {
        diffuse = number;
        return 26;
    }
    if (is("specular")) {
        specular = number;
        return 27;
    }
    if (compare_prefix_nocase(key, "trans", 5) == 0) {
        trans = number;
        return 28;
    }
    if (is("myname") || is("name") || is("me")) {
        ReadColumnText(29, value, vlen);
        return 29;
    }
    if (is("eldername") || is("elder") || is("ani")) {
        ReadColumnText(30, value, vlen);
        return 30;
    }
    if (is("putup") || is("petan") || is("paste")) {
        if (kind == kKindTrunk)
            ReadKeywordAttributes(value);
        else
            ParsePasteList(value);
        return 31;
    }
    static constexpr const char* kTextKeys[] = {"fix",    "poldat",  "limit", "action",
                                                "camera", "comment", "thick", "shadow"};
    for (int i = 0; i < 8; ++i)
        if (is(kTextKeys[i])) {
            ReadColumnText(32 + i, value, vlen);
            return 32 + i;
        }
    return -1;
}

void COBJECTA::ReadPoseLine(const char* text) {
    FieldWalker fields(text ? text : "", line_separators());
    const std::string field(fields.take());
    set_text(name, field.c_str(), sjis_prefix_length(field.c_str(), static_cast<int>(field.size()), kPoseNameBytes));
    for (double* v : {&dx, &dy, &dz, &rx, &ry, &rz}) *v = fields.number();
    ClassifyObjectKind("pose");
}

void COBJECTA::ReadStageLine(const char* text) {
    FieldWalker fields(text ? text : "", line_separators());
    trans = fields.number();
    specular = fields.number();
    const std::string field(fields.take());
    set_text(parent_name, field.c_str(),
             sjis_prefix_length(field.c_str(), static_cast<int>(field.size()), kPoseNameBytes));
    for (double* v : {&dx, &dy, &dz, &rx, &ry, &rz}) *v = fields.number();
    ClassifyObjectKind("stage");
}

}  // namespace kz::scene
