// Importing an ASCII DXF file: lines, arcs, circles, polylines with bulges, 3D faces, texts and block references
// become line, arc and text records, with layers, line types and colours mapped onto the drawing's own. The file
// is read as it comes, a buffer at a time, so that an import holds little more than the records it makes; blocks
// are found by name through an index made on the first reference and kept in memory from their first insert on
// while they fit a bound (else read again from their place in the file), their numbers read once, and texts are
// brought into Shift_JIS from the code page the file's header names, with the codes CAD programs write in them
// taken as those programs show them (dxf_text_codes.h). Entities seen from below are drawn where they lie in the
// world. What one import makes is bounded by a budget of records and rows.
#include <strings.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/dxf_files.h"
#include "drawing2d/dxf_text_codes.h"
#include "drawing2d/plane_geometry.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/text_fields.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/c_number_span.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/report.h"
#include "platform/text_codec.h"

namespace kz::drawing2d {
namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxDepth = 10;
constexpr int kLayerSlots = 201;
constexpr long long kRowBytes = 7 * sizeof(int32_t);

DxfImportBudget import_budget;

struct Pair {
    int code;
    std::string_view value;
};

// The file's group-code and value pairs as they come, one buffer of the file at a time. Blank lines are passed
// over only where a group code is expected, so an empty value keeps its place; a line is cut at its first CR and
// after 1024 bytes. Nothing beyond the read cap is read.
class PairStream {
public:
    PairStream(std::FILE* file, std::uint64_t offset) : file_(file), buffer_(std::size_t(64) << 10) { seek(offset); }
    // The next pair, its value valid until the next call; false at the end of the file.
    bool next(Pair* pair) {
        if (again_) {
            again_ = false;
            *pair = last_;
            return true;
        }
        std::string_view code;
        do {
            pair_offset_ = start_ + at_;
            if (!line(&code)) return false;
        } while (code.find_first_not_of(" \t") == std::string_view::npos);
        last_.code = group_code(code);
        if (!line(&last_.value)) last_.value = {};
        *pair = last_;
        return true;
    }
    // The pair given last comes again from the next call.
    void put_back() { again_ = true; }
    // Where the pair given last begins in the file, to seek to.
    std::uint64_t pair_offset() const { return pair_offset_; }
    void seek(std::uint64_t offset) {
        again_ = false;
        if (offset >= start_ && offset <= start_ + end_) {
            at_ = static_cast<std::size_t>(offset - start_);
            return;
        }
        start_ = offset;
        at_ = end_ = 0;
        eof_ = false;
    }

private:
    // The line read as atoi reads it; short codes of digits (all a file holds, as a rule) without the copy.
    static int group_code(std::string_view line) {
        std::size_t i = line.find_first_not_of(" \t\v\f");
        if (i == std::string_view::npos || line.size() - i > 9) return std::atoi(std::string(line).c_str());
        const bool minus = line[i] == '-';
        if (minus || line[i] == '+') ++i;
        int v = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) v = 10 * v + (line[i] - '0');
        if (i < line.size() && line[i] != ' ' && line[i] != '\t') return std::atoi(std::string(line).c_str());
        return minus ? -v : v;
    }

    static std::string_view cut(std::string_view l) {
        std::size_t n = 0;
        while (n < l.size() && n < 1024 && l[n] != '\r') ++n;
        return l.substr(0, n);
    }

    // The buffer from the first unread byte, with more of the file behind it; false when nothing more came.
    bool fill() {
        if (at_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
            start_ += at_;
            end_ -= at_;
            at_ = 0;
        }
        const std::uint64_t from = start_ + end_;
        if (eof_ || end_ == buffer_.size() || from >= kz::platform::kMaxReadBytes ||
            fseeko(file_, static_cast<off_t>(from), SEEK_SET) != 0) {
            eof_ = true;
            return false;
        }
        const std::size_t want = std::min<std::uint64_t>(buffer_.size() - end_, kz::platform::kMaxReadBytes - from);
        const std::size_t n = std::fread(buffer_.data() + end_, 1, want, file_);
        end_ += n;
        eof_ = n == 0;
        return n > 0;
    }

    bool line(std::string_view* out) {
        for (bool whole = true;;) {
            const char* b = buffer_.data();
            // Most lines are a few bytes: those are found without a call.
            std::size_t e = at_;
            while (e < end_ && e < at_ + 24 && b[e] != '\n') ++e;
            if (e == end_ || b[e] != '\n') {
                const void* nl = e < end_ ? std::memchr(b + e, '\n', end_ - e) : nullptr;
                e = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - b) : end_;
            }
            if (e < end_) {
                *out = whole ? cut({b + at_, e - at_}) : cut(long_line_);
                at_ = e + 1;
                return true;
            }
            if (whole && end_ - at_ == buffer_.size()) {
                // A line longer than the buffer: only its beginning counts, the rest is passed over.
                long_line_.assign(b + at_, 1024);
                whole = false;
            }
            if (!whole) at_ = end_;
            if (!fill()) {
                if (whole && at_ == end_) return false;
                *out = whole ? cut({buffer_.data() + at_, end_ - at_}) : cut(long_line_);
                at_ = end_;
                return true;
            }
        }
    }

    std::FILE* file_;
    std::vector<char> buffer_;
    std::uint64_t start_ = 0;  // where buffer_[0] lies in the file
    std::size_t at_ = 0, end_ = 0;
    bool eof_ = false;
    std::string long_line_;
    Pair last_{};
    std::uint64_t pair_offset_ = 0;
    bool again_ = false;
};

struct InsertLevel {
    double ix = 0, iy = 0, sx = 1, sy = 1, rotation = 0, sin = 0, cos = 1, bx = 0, by = 0;
};

struct LayerSlot {
    std::string name;
    int style = 1, colour = 1;
};

enum class TextCoding { shift_jis, utf8, other };

// The plane an entity lies in, by its extrusion (codes 210, 220, 230): the drawing's own; the same seen from below,
// as a mirror command leaves arcs and mirrored inserts write attributes, whose object x runs along the world's -x;
// or one tilted out of the drawing, which a plan cannot show.
enum class Plane { drawing, below, tilted };

// What an entity's "0" names, found once when it starts rather than at every step that asks.
enum class EntityKind {
    other,
    line,
    face3d,
    circle,
    arc,
    insert,
    dimension,
    block,
    text,
    attrib,
    mtext,
    polyline,
    lwpolyline,
    spline,
    vertex,
    seqend
};

EntityKind entity_kind(std::string_view name) {
    static const std::pair<std::string_view, EntityKind> kinds[] = {
        {"LINE", EntityKind::line},     {"3DFACE", EntityKind::face3d},     {"CIRCLE", EntityKind::circle},
        {"ARC", EntityKind::arc},       {"INSERT", EntityKind::insert},     {"DIMENSION", EntityKind::dimension},
        {"BLOCK", EntityKind::block},   {"TEXT", EntityKind::text},         {"ATTRIB", EntityKind::attrib},
        {"MTEXT", EntityKind::mtext},   {"POLYLINE", EntityKind::polyline}, {"LWPOLYLINE", EntityKind::lwpolyline},
        {"SPLINE", EntityKind::spline}, {"VERTEX", EntityKind::vertex},     {"SEQEND", EntityKind::seqend}};
    for (const auto& [n, k] : kinds)
        if (n == name) return k;
    return EntityKind::other;
}

// The pairs of a block from its "0"/"BLOCK" to its end, kept from its first insert on for the next ones.
struct BlockPairs {
    std::string text;  // the values, one after another
    std::vector<Pair> pairs;
    std::vector<double> numbers;  // each pair's value as a number, read once, where its code holds one
    // What it holds, as counted against what blocks may keep; the numbers come once the last pair is in.
    std::size_t bytes() const { return text.size() + pairs.size() * (sizeof(Pair) + sizeof(double)); }
};

struct Block {
    std::uint64_t offset;  // where its "0"/"BLOCK" pair is
    std::unique_ptr<BlockPairs> kept;
    bool tried = false;
};

// Pairs kept in memory, given as a stream gives them, with their numbers already read.
struct PairList {
    const BlockPairs& kept;
    std::size_t at = 0;
    bool next(Pair* pair) {
        if (at == kept.pairs.size()) return false;
        *pair = kept.pairs[at++];
        return true;
    }
    // The number the pair given last holds.
    double number() const { return kept.numbers[at - 1]; }
};

// Blocks inserted again and again are read once; a file of blocks larger than this reads the rest from the file
// at each insert.
constexpr std::size_t kKeptBlockBytes = std::size_t(32) << 20;

}  // namespace

struct dxf_reader {
    int32_t row = 0;
    int poly_state = 0, vertex_state = 0, closed = 0;
    double bulge = 0, first_x = 0, first_y = 0, last_x = 0, last_y = 0;
    std::vector<std::pair<std::string, int>> line_types;
    int32_t colours[256] = {};
    LayerSlot layers[kLayerSlots];
    // Which slot holds each name, so that every entity's layer is found at once, and the slot below which (down
    // to 101) the next new name may find a free one: slots are only ever named, never freed.
    std::map<std::string, int, std::less<>> layer_slots;
    int free_below = 200;
    EntityKind kind = EntityKind::other;  // what strings[0] names
    std::string strings[10];
    // The numbers of the entity being read, one set for each depth of blocks: a block's entities start from the
    // insert's and the insert's come back after it. Codes at and above numbers_high were never touched, so are 0 in
    // every set.
    double number_sets[kMaxDepth + 1][240] = {};
    double* numbers = number_sets[0];
    int numbers_high = 0;
    int entity_style = 0;    // line style of code 6, 0 when none
    int entity_colour = -1;  // DXF colour of code 62, -1 when none
    std::vector<std::pair<std::string, bool>> text_styles;
    int depth = 0;
    InsertLevel levels[kMaxDepth + 1];
    double limits[4][2] = {};
    bool limits_given[4] = {};
    std::FILE* file = nullptr;
    std::unique_ptr<PairStream> block_streams[kMaxDepth + 1];  // one for each depth of blocks read
    std::map<std::string, Block> blocks;                       // by upper-case name
    bool blocks_indexed = false;
    std::size_t kept_bytes = 0;
    TextCoding coding = TextCoding::shift_jis;
    std::string charset;
    std::string code_page;  // the charset of $DWGCODEPAGE, whatever the texts' encoding; empty for CP932
    // Pairs read inside blocks so far: nested inserts multiply, and blocks that make nothing must not run for ever.
    long long block_pairs = 0;
    // What the import made so far against its budget; the first record past it, or a block read once the pairs read
    // in blocks are past theirs, stops the import.
    DxfImportBudget budget = import_budget;
    long long records = 0, rows = 0;
    bool stopped = false;
    std::string budget_reached;  // the budget that stopped it, as the line that says so names it
    // Asked between entities; once it says stop, the entities end there, as at the file's end.
    const std::function<bool()>* keep_going = nullptr;
    bool halted = false;
    // An MTEXT's text as the file gives it, its code 3 continuations and code 1 one after another, taken into
    // Shift_JIS whole so that a character cut between two values stays whole.
    std::string mtext;
    // An LWPOLYLINE's or SPLINE's vertices (x, y, bulge), drawn once its plane, given after them, is known.
    std::vector<std::array<double, 3>> vertices;
    Plane poly_plane = Plane::drawing;  // the plane of the POLYLINE whose vertices are read
    long long tilted = 0;               // entities passed over for a plane a plan cannot show
};

namespace {
const struct {
    const char* name;
    int style;
} kLineTypes[] = {{"LUMBRA", 1},  {"CONTINUOUS", 1}, {"HIDDEN", 2},   {"DASHED", 2},  {"DASHED1", 2},
                  {"DOT", 3},     {"DOT1", 3},       {"DASHDOT", 4},  {"CENTER", 4},  {"CENTER1", 4},
                  {"CENTER2", 4}, {"CENTERX1", 4},   {"CENTERX2", 4}, {"DIVIDE", 5},  {"BORDER", 5},
                  {"PHANTOM", 5}, {"PHANTOM1", 5},   {"PHANTOM2", 5}, {"DASHED2", 7}, {"DASHED3", 8}};

std::string trimmed(std::string s) {
    std::vector<char> buffer(s.begin(), s.end());
    buffer.push_back(0);
    trim_field(buffer.data());
    return buffer.data();
}

void read_conversion_table(const drawing_context* ctx, dxf_reader* st) {
    for (const std::string& line : dxf_table_section(ctx, "//atodline")) {
        std::vector<char> copy(line.begin(), line.end());
        copy.push_back(0);
        char name[kFieldBuffer], number[kFieldBuffer];
        if (take_field(copy.data(), name, sizeof name) <= 0) continue;
        take_field(copy.data(), number, sizeof number);
        std::string n = trimmed(name);
        bool known = false;
        for (const auto& t : st->line_types)
            if (strcasecmp(t.first.c_str(), n.c_str()) == 0) known = true;
        if (!known && st->line_types.size() < 254) st->line_types.emplace_back(n, std::atoi(number));
    }
    for (const std::string& line : dxf_table_section(ctx, "//atodcolor")) {
        int range[3];
        if (!table_integers(line, 3, range, "", 0) && !table_integers(line, 3, range, ",", 1)) continue;
        const int first = range[0], last = range[1], colour = range[2];
        if (colour < 0 || colour > 15) continue;
        for (int c = std::max(first, 0); c <= std::min(last, 255); ++c) st->colours[c] = colour;
    }
}

// Whether a DXF version string is R2007 (AC1021) or later, whose texts are UTF-8.
bool is_utf8_version(std::string_view v) {
    return v.size() >= 6 && v.substr(0, 2) == "AC" && std::atoi(std::string(v.substr(2, 4)).c_str()) >= 1021;
}

// "ANSI_1252" -> "CP1252", "DOS437" -> "CP437"; anything else is handed to iconv as it stands.
std::string charset_of(std::string_view code_page) {
    std::string p(code_page);
    for (const char* prefix : {"ANSI_", "ansi_", "DOS", "dos"})
        if (p.rfind(prefix, 0) == 0) return "CP" + p.substr(std::strlen(prefix));
    return p;
}

// A value's text in Shift_JIS from the file's encoding, its escapes left as they stand.
std::string to_shift_jis_raw(const dxf_reader* st, std::string_view value) {
    switch (st->coding) {
    case TextCoding::utf8: return dxf_utf8_to_sjis(value);
    case TextCoding::other: return dxf_utf8_to_sjis(kz::platform::charset_to_utf8(value, st->charset.c_str()));
    default: return std::string(value);
    }
}

std::string to_shift_jis(const dxf_reader* st, std::string_view value) {
    return decode_unicode_escapes(to_shift_jis_raw(st, value));
}

// The encoding of the file's texts, from its header variables.
void find_text_coding(dxf_reader* st) {
    std::string version, code_page;
    std::string* wanted = nullptr;  // the variable whose value the next pair holds
    PairStream in(st->file, 0);
    for (Pair p; in.next(&p);) {
        if (wanted) *wanted = p.value;
        wanted = nullptr;
        if (p.code == 0 && p.value == "ENDSEC") break;
        if (p.code != 9) continue;
        if (p.value == "$ACADVER") wanted = &version;
        if (p.value == "$DWGCODEPAGE") wanted = &code_page;
    }
    if (!code_page.empty() && strcasecmp(code_page.c_str(), "ANSI_932") != 0) st->code_page = charset_of(code_page);
    if (is_utf8_version(version)) {
        st->coding = TextCoding::utf8;
    } else if (!code_page.empty() && strcasecmp(std::string(code_page).c_str(), "ANSI_932") != 0) {
        st->coding = TextCoding::other;
        st->charset = charset_of(code_page);
    }
}

int style_of_line_type(const dxf_reader* st, const std::string& name) {
    for (const auto& t : st->line_types)
        if (strcasecmp(t.first.c_str(), name.c_str()) == 0) return t.second;
    return 0;
}

int colour_of(const dxf_reader* st, int dxf_colour, int by_layer) {
    int c = std::abs(dxf_colour);
    return c <= 255 ? st->colours[c] : by_layer;
}
}  // namespace

int dxf_layer_index(const char* name, dxf_reader* st) {
    if (!name || !*name) return 200;
    if (const auto held = st->layer_slots.find(std::string_view(name)); held != st->layer_slots.end())
        return held->second;
    int slot = -1;
    if (name[0] >= '0' && name[0] <= '9') {
        const long n = std::strtol(name, nullptr, 10);
        if (n >= 1 && n <= 200) slot = static_cast<int>(n);
    }
    if (slot < 0) {
        while (st->free_below >= 101 && !st->layers[st->free_below].name.empty()) --st->free_below;
        if (st->free_below < 101) return 200;
        slot = st->free_below;
    }
    // A number takes its slot from the name that held it, which is found there no more.
    if (!st->layers[slot].name.empty()) st->layer_slots.erase(st->layers[slot].name);
    st->layers[slot].name = name;
    st->layer_slots.emplace(name, slot);
    return slot;
}

int dxf_line_style(const char* name, dxf_reader* st) {
    int s = style_of_line_type(st, name ? name : "");
    return s >= 1 && s <= 8 ? s : 1;
}

namespace {
double& num(dxf_reader* st, int code) {
    if (code >= st->numbers_high) st->numbers_high = code + 1;
    return st->numbers[code];
}

// Through every insert level from the innermost outward: a point at numbers[index], numbers[index + 10].
void transform_point(const dxf_reader* st, double* x, double* y) {
    for (int d = st->depth; d >= 1; --d) {
        const InsertLevel& l = st->levels[d];
        double px = (*x - l.bx) * l.sx, py = (*y - l.by) * l.sy;
        *x = l.cos * px - l.sin * py + l.ix;
        *y = l.sin * px + l.cos * py + l.iy;
    }
}
double transform_size(const dxf_reader* st, double v) {
    for (int d = st->depth; d >= 1; --d) v *= std::fabs(st->levels[d].sx);
    return v;
}
double transform_angle(const dxf_reader* st, double a) {
    for (int d = st->depth; d >= 1; --d) a += st->levels[d].rotation;
    return a;
}
bool mirrored(const dxf_reader* st) {
    bool m = false;
    for (int d = st->depth; d >= 1; --d)
        if (st->levels[d].sx * st->levels[d].sy < 0) m = !m;
    return m;
}

// The entity's plane by its extrusion; one tilted out of the drawing is counted, to be said once the file is read.
// An extrusion of no length names no plane: the drawing's is taken.
Plane entity_plane(dxf_reader* st) {
    const double nx = num(st, 210), ny = num(st, 220), nz = num(st, 230);
    if (nx == 0 && ny == 0 && nz == 0) return Plane::drawing;
    const double tolerance = 1e-6 * std::fabs(nz);
    if (std::fabs(nx) <= tolerance && std::fabs(ny) <= tolerance) return nz > 0 ? Plane::drawing : Plane::below;
    ++st->tilted;
    return Plane::tilted;
}

// How a text at (x, y) of its block, `degrees` from the block's x axis in its own plane, runs in the drawing: the
// angle it reads along, and whether it comes out mirrored (by its plane seen from below, by mirroring inserts).
// A CAD program draws a mirrored text as its mirror image, which a drawing's text cannot be: it is held readable
// over the same box instead, turned half round with its horizontal alignment the other way.
struct TextFrame {
    double angle;
    bool mirrored;
};
TextFrame text_frame(const dxf_reader* st, double x, double y, double degrees, bool below) {
    const double a = degrees * kPi / 180;
    double u[2] = {std::cos(a), std::sin(a)}, v[2] = {-std::sin(a), std::cos(a)};  // along and up
    if (below) {
        u[0] = -u[0];
        v[0] = -v[0];
    }
    double px = x, py = y;
    transform_point(st, &px, &py);
    for (double* d : {u, v}) {
        double qx = x + d[0], qy = y + d[1];
        transform_point(st, &qx, &qy);
        d[0] = qx - px;
        d[1] = qy - py;
    }
    const bool turned = u[0] * v[1] - u[1] * v[0] < 0;
    return {normalize_degrees(std::atan2(u[1], u[0]) * 180 / kPi + (turned ? 180 : 0)), turned};
}

// Left and right alignment exchanged, for a mirrored text held readable.
int other_way(int alignment) { return (alignment & ~3) | (2 - (alignment & 3)); }
}  // namespace

void dxf_insert_transform(dxf_reader* st, int index, int kind) {
    if (kind == 10)
        transform_point(st, &num(st, index), &num(st, index + 10));
    else if (kind == 40)
        num(st, index) = transform_size(st, num(st, index));
    else if (kind == 50)
        num(st, index) = transform_angle(st, num(st, index));
}

namespace {
double to_x(const drawing_context* ctx, double x) { return x / ctx->plot_scale + ctx->gentenx; }
double to_y(const drawing_context* ctx, double y) { return ctx->genteny - y / ctx->plot_scale; }

void next_group(drawing_context* ctx, const dxf_reader* st) {
    if (st->depth != 0) return;
    if (++ctx->active_group >= 32001) ctx->active_group = 1;
}

std::string count_text(long long count) {
    char digits[24];
    kz::crt::c_int_to_text(count, digits);
    return digits;
}

// Stops the import at the budget of `amount` `what` (the first budget reached is the one named).
void stop_at(dxf_reader* st, long long amount, const char* what) {
    if (st->stopped) return;
    st->stopped = true;
    st->budget_reached = count_text(amount) + what;
}

// Whether a record of `rows` rows still fits in the import's budget; the first that does not stops the import.
bool within_budget(dxf_reader* st, int rows) {
    const long long row_bytes = st->budget.row_bytes;
    if (st->records >= st->budget.records)
        stop_at(st, st->budget.records, " records");
    else if ((st->rows + rows) * kRowBytes > row_bytes)
        stop_at(st, row_bytes % (1 << 20) ? row_bytes : row_bytes >> 20,
                row_bytes % (1 << 20) ? " bytes of rows" : " MiB of rows");
    if (st->stopped) return false;
    ++st->records;
    st->rows += rows;
    return true;
}

// A line that the unit grid shrinks to a point keeps one unit of length: as a point it would be exported as a
// LINE of no length, which the next import would lengthen by a whole file unit.
void put_line(drawing_context* ctx, dxf_reader* st, double x1, double y1, double x2, double y2) {
    if (!within_budget(st, 1)) return;
    const int32_t end_x = round_to_int32(x2);
    if (round_to_int32(x1) == end_x && round_to_int32(y1) == round_to_int32(y2))
        x2 = end_x < INT32_MAX ? end_x + 1.0 : end_x - 1.0;
    st->row = xlum_line_set_d(ctx, nullptr, -st->row, ctx->active_layer, ctx->active_group, ctx->active_color,
                              ctx->active_style, x1, y1, x2, y2, 0);
}

void put_arc(drawing_context* ctx, dxf_reader* st, double cx, double cy, double r, double start, double end) {
    if (!within_budget(st, 2)) return;
    int32_t row = xlum_en_set(ctx, -st->row, cx, cy, r, start, end);
    if (row >= 0) st->row = row;
}
}  // namespace

// One polyline segment in drawing units, a line or (with a bulge) an arc.
void dxf_segment(drawing_context* ctx, dxf_reader* st, double x1, double y1, double x2, double y2) {
    const double b = st->bulge;
    const double c = std::hypot(x2 - x1, y2 - y1);
    if (b == 0 || !(c > 0) || !std::isfinite(b)) {
        put_line(ctx, st, x1, y1, x2, y2);
        return;
    }
    const double t = std::atan(b);
    const double r = (c / 2) / std::sin(2 * t), d = (c / 2) / std::tan(2 * t);
    const double cx = (x1 + x2) / 2 + d * (y2 - y1) / c, cy = (y1 + y2) / 2 + d * (x1 - x2) / c;
    double start = std::atan2(-(y1 - cy), x1 - cx) * 180 / kPi, end = std::atan2(-(y2 - cy), x2 - cx) * 180 / kPi;
    if (b < 0) std::swap(start, end);
    put_arc(ctx, st, cx, cy, std::fabs(r), normalize_degrees(start), normalize_degrees(end));
}

namespace {
// A polyline vertex: the first is remembered, each later one adds the segment from the one before.
void add_vertex(drawing_context* ctx, dxf_reader* st, double x, double y, double bulge, bool first) {
    transform_point(st, &x, &y);
    x = to_x(ctx, x);
    y = to_y(ctx, y);
    if (first) {
        st->first_x = x;
        st->first_y = y;
        next_group(ctx, st);
    } else {
        dxf_segment(ctx, st, st->last_x, st->last_y, x, y);
    }
    st->last_x = x;
    st->last_y = y;
    // A mirroring insert turns every bulge round.
    st->bulge = mirrored(st) ? -bulge : bulge;
}

void close_polyline(drawing_context* ctx, dxf_reader* st) {
    if (st->closed && (st->last_x != st->first_x || st->last_y != st->first_y))
        dxf_segment(ctx, st, st->last_x, st->last_y, st->first_x, st->first_y);
    next_group(ctx, st);
}

// A vertex of a polyline in `plane`: seen from below its x and its bulge's turn go the other way.
void add_plane_vertex(drawing_context* ctx, dxf_reader* st, Plane plane, double x, double y, double bulge, bool first) {
    const double side = plane == Plane::below ? -1 : 1;
    add_vertex(ctx, st, side * x, y, side * bulge, first);
}

// The vertices of an LWPOLYLINE (in its plane) or a SPLINE (control points in the world's own), then its end.
void put_vertices(drawing_context* ctx, dxf_reader* st) {
    const Plane plane = st->kind == EntityKind::lwpolyline ? entity_plane(st) : Plane::drawing;
    if (plane != Plane::tilted) {
        for (std::size_t k = 0; k < st->vertices.size(); ++k)
            add_plane_vertex(ctx, st, plane, st->vertices[k][0], st->vertices[k][1], st->vertices[k][2], k == 0);
        close_polyline(ctx, st);
    }
    st->vertices.clear();
}

// A text's runs of one byte class, each its own record, and a run longer than a record holds cut into records that
// do (an even length, so that double-byte characters stay whole).
constexpr int kMaxRunBytes = 1022;
void put_text_runs(drawing_context* ctx, dxf_reader* st, const std::string& text, double x, double y, double H,
                   double W, double angle, double slant, int alignment, int flags) {
    const int n = static_cast<int>(text.size());
    const int h = alignment & 3;
    const double a = h == 1 ? n / 2.0 : h == 2 ? n : 0;
    const double ca = std::cos(angle * kPi / 180), sa = std::sin(angle * kPi / 180);
    for (int first = 0; first < n;) {
        const int cls = byte_char_class(static_cast<unsigned char>(text[first])) == 2 ? 2 : 1;
        int end = first;
        while (end < n && end - first < kMaxRunBytes &&
               (byte_char_class(static_cast<unsigned char>(text[end])) == 2 ? 2 : 1) == cls)
            end += cls == 2 && end + 1 < n ? 2 : 1;
        const double p = h == 1 ? (first + end) / 2.0 : h == 2 ? end : first;
        const double offset = (p - a) * W;
        const double width = first == 0 && end == n ? W : W * cls;
        std::string run = text.substr(first, end - first);
        first = end;
        const int rows = text_record_rows(run.c_str());
        if (rows == 0) continue;  // a run the rows cannot hold
        if (!within_budget(st, rows)) return;
        // Along the angle as the drawing shows it, counter-clockwise with y running down.
        int32_t row = set_text_rows(ctx, -st->row, run.c_str(), x + ca * offset, y - sa * offset, width, H, 0, angle,
                                    slant, alignment, flags);
        if (row >= 0) st->row = row;
    }
}

bool vertical_style(const dxf_reader* st) {
    for (const auto& s : st->text_styles)
        if (s.second && strcasecmp(s.first.c_str(), st->strings[7].c_str()) == 0) return true;
    return false;
}

void finish_text(drawing_context* ctx, dxf_reader* st) {
    const std::string text = decode_special_codes(st->strings[1], st->code_page);
    if (text.empty()) return;
    const Plane plane = entity_plane(st);
    if (plane == Plane::tilted) return;
    const double side = plane == Plane::below ? -1 : 1;
    const double height = transform_size(st, num(st, 40));
    double x10 = side * num(st, 10), y10 = num(st, 20), x11 = side * num(st, 11), y11 = num(st, 21);
    const TextFrame frame = text_frame(st, x10, y10, num(st, 50), plane == Plane::below);
    transform_point(st, &x10, &y10);
    transform_point(st, &x11, &y11);
    const double ps = ctx->plot_scale;
    double H = std::max(height / ps, 1.0);
    double W = std::max(H * num(st, 41), 1.0);
    const int n = static_cast<int>(text.size());
    double L = std::hypot(x11 - x10, y11 - y10) / n / ps;
    if (100 * L < H) L = H > 100 * W ? H : W;
    const int h72 = kz::crt::truncate_to_int(num(st, 72)), v73 = kz::crt::truncate_to_int(num(st, 73));
    int alignment = 0;
    bool second = false;
    if (v73 == 0) {
        if (h72 == 1 || h72 == 2) {
            alignment = h72;
            second = true;
        } else if (h72 == 3) {
            H = W = L;
        } else if (h72 == 4) {
            alignment = 5;
            W = L;
        } else if (h72 == 5) {
            W = L;
        }
    } else if (v73 >= 1 && v73 <= 3 && h72 >= 0 && h72 <= 2) {
        alignment = 4 * (v73 - 1) + h72;
        second = true;
    }
    double x = second ? x11 : x10, y = second ? y11 : y10;
    double angle = frame.angle;
    if (frame.mirrored) alignment = other_way(alignment);
    int flags = 0;
    if (vertical_style(st)) {
        angle = normalize_degrees(angle + 270);
        alignment = 4 + (alignment & 3);
        flags = 1;
    }
    const double slant = frame.mirrored ? -num(st, 51) : num(st, 51);
    put_text_runs(ctx, st, text, to_x(ctx, x), to_y(ctx, y), H, W, angle, slant, alignment, flags);
}

// An MTEXT's lines, each its own text, one below the other at the line spacing CAD programs give them (5/3 of the
// height, times the factor of code 44), the block of them placed on point 10 by its attachment point.
void finish_mtext(drawing_context* ctx, dxf_reader* st) {
    const std::vector<std::string> lines = mtext_lines(to_shift_jis_raw(st, st->mtext), st->code_page);
    st->mtext.clear();
    static const int kAttach[] = {0, 8, 9, 10, 4, 5, 6, 0, 1, 2};
    const int a71 = kz::crt::truncate_to_int(num(st, 71));
    int alignment = a71 >= 1 && a71 <= 9 ? kAttach[a71] : 0;
    const int v = alignment / 4;  // 2 top, 1 middle, 0 bottom
    const double x = num(st, 10), y = num(st, 20), height = num(st, 40);
    // The direction of code 11 where one is given, else the rotation of code 50 (in degrees, as CAD programs write
    // it).
    const bool directed = num(st, 11) != 1 || num(st, 21) != 0;
    const double direction = directed ? std::atan2(num(st, 21), num(st, 11)) : num(st, 50) * kPi / 180;
    const TextFrame frame = text_frame(st, x, y, direction * 180 / kPi, false);
    if (frame.mirrored) alignment = other_way(alignment);
    const double H = std::max(transform_size(st, height) / ctx->plot_scale, 1.0), W = std::max(H / 2, 1.0);
    double angle = frame.angle;
    int flags = 0;
    if (vertical_style(st)) {
        angle = normalize_degrees(angle + 270);
        alignment = 4 + (alignment & 3);
        flags = 1;
    }
    const double pitch = 5.0 / 3.0 * height * (num(st, 44) > 0 ? num(st, 44) : 1);
    const double above = v == 2 ? 0 : v == 1 ? (lines.size() - 1) / 2.0 : static_cast<double>(lines.size() - 1);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].empty()) continue;
        const double down = (static_cast<double>(k) - above) * pitch;
        double lx = x + std::sin(direction) * down, ly = y - std::cos(direction) * down;
        transform_point(st, &lx, &ly);
        put_text_runs(ctx, st, lines[k], to_x(ctx, lx), to_y(ctx, ly), H, W, angle, 0, alignment, flags);
    }
}

void finish_line(drawing_context* ctx, dxf_reader* st) {
    double x1 = num(st, 10), y1 = num(st, 20), x2 = num(st, 11), y2 = num(st, 21);
    transform_point(st, &x1, &y1);
    transform_point(st, &x2, &y2);
    if (x1 == x2 && y1 == y2) x2 += 1.0;
    put_line(ctx, st, to_x(ctx, x1), to_y(ctx, y1), to_x(ctx, x2), to_y(ctx, y2));
}

void finish_3dface(drawing_context* ctx, dxf_reader* st) {
    double xs[5], ys[5];
    int edges[5], n = 0;
    const int flags = kz::crt::truncate_to_int(num(st, 70));
    for (int i = 0; i < 5; ++i) {
        double x = num(st, 10 + i % 4), y = num(st, 20 + i % 4);
        if (n > 0 && x == xs[n - 1] && y == ys[n - 1]) continue;
        xs[n] = x;
        ys[n] = y;
        edges[n] = (flags >> (i % 4)) & 1;
        ++n;
    }
    if (n >= 3 && xs[2] == xs[0] && ys[2] == ys[0]) n = 2;
    for (int i = 0; i + 1 < n; ++i) {
        if (edges[i]) continue;
        double x1 = xs[i], y1 = ys[i], x2 = xs[i + 1], y2 = ys[i + 1];
        transform_point(st, &x1, &y1);
        transform_point(st, &x2, &y2);
        put_line(ctx, st, to_x(ctx, x1), to_y(ctx, y1), to_x(ctx, x2), to_y(ctx, y2));
    }
}

void finish_arc(drawing_context* ctx, dxf_reader* st, bool circle) {
    const Plane plane = entity_plane(st);
    if (plane == Plane::tilted) return;
    const double r0 = num(st, 40);
    const double r = std::max(transform_size(st, r0) / ctx->plot_scale, 1.0);
    double cx = num(st, 10), cy = num(st, 20);
    // Seen from below, an arc runs the other way round from the mirror image of each end.
    double angles[2] = {num(st, 50), num(st, 51)};
    if (plane == Plane::below) {
        cx = -cx;
        angles[0] = 180 - num(st, 51);
        angles[1] = 180 - num(st, 50);
    }
    if (circle) {
        transform_point(st, &cx, &cy);
        put_arc(ctx, st, to_x(ctx, cx), to_y(ctx, cy), r, 0, 360);
        return;
    }
    // The ends are carried through the inserts like points, so mirrors and rotations turn the angles with them.
    double ends[2][2];
    for (int e = 0; e < 2; ++e) {
        ends[e][0] = cx + r0 * std::cos(angles[e] * kPi / 180);
        ends[e][1] = cy + r0 * std::sin(angles[e] * kPi / 180);
        transform_point(st, &ends[e][0], &ends[e][1]);
    }
    transform_point(st, &cx, &cy);
    double start = angles[0], end = angles[1];
    if (st->depth > 0 && r0 != 0) {
        start = std::atan2(ends[0][1] - cy, ends[0][0] - cx) * 180 / kPi;
        end = std::atan2(ends[1][1] - cy, ends[1][0] - cx) * 180 / kPi;
        if (mirrored(st)) std::swap(start, end);
        // A whole circle given as an arc stays whole.
        if (std::fabs(angles[1] - angles[0]) >= 360) end = start + 360;
    }
    start = normalize_degrees(start);
    end = normalize_degrees(end);
    if (start == end) {
        start = 0;
        end = 360;
    }
    put_arc(ctx, st, to_x(ctx, cx), to_y(ctx, cy), r, start, end);
}

void read_block(drawing_context* ctx, dxf_reader* st);

void finish_insert(drawing_context* ctx, dxf_reader* st, bool dimension) {
    if (st->depth == 0 && st->poly_state == 0 && st->vertex_state == 0) next_group(ctx, st);
    if (st->depth >= kMaxDepth) return;
    const Plane plane = dimension ? Plane::drawing : entity_plane(st);
    if (plane == Plane::tilted) return;
    // Seen from below, the block is placed as in its plane and then mirrored across the world's y axis: its
    // insertion x, x scale and rotation turn round.
    const double side = plane == Plane::below ? -1 : 1;
    InsertLevel& l = st->levels[st->depth + 1];
    l = InsertLevel{};
    l.ix = side * num(st, dimension ? 12 : 10);
    l.iy = num(st, dimension ? 22 : 20);
    // A dimension's block is drawn at its size: there code 42 is the measured value and 41 the text's line spacing.
    l.sx = dimension ? 1 : side * num(st, 41);
    l.sy = dimension ? 1 : num(st, 42);
    l.rotation = dimension ? 0 : side * num(st, 50);
    l.sin = std::sin(l.rotation * kPi / 180);
    l.cos = std::cos(l.rotation * kPi / 180);
    ++st->depth;
    read_block(ctx, st);
    --st->depth;
}

// The attribute step at the end of an entity.
void take_attributes(drawing_context* ctx, dxf_reader* st) {
    if (st->strings[8].empty()) return;
    const int layer = dxf_layer_index(st->strings[8].c_str(), st);
    const int style = st->entity_style > 0 ? st->entity_style : st->layers[layer].style;
    const int colour =
        st->entity_colour >= 0 ? colour_of(st, st->entity_colour, st->layers[layer].colour) : st->layers[layer].colour;
    if (st->depth == 0) {
        if (layer != ctx->active_layer || colour != ctx->active_color || style != ctx->active_style)
            next_group(ctx, st);
        ctx->active_layer = layer;
    }
    ctx->active_color = colour;
    ctx->active_style = style;
    st->strings[8].clear();
    st->entity_style = 0;
    st->entity_colour = -1;
}

void finish_entity(drawing_context* ctx, dxf_reader* st) {
    const EntityKind kind = st->kind;
    // A polyline's segments take the polyline's attributes: nothing inside an open sequence changes them.
    if (kind == EntityKind::polyline || (st->poly_state == 0 && st->vertex_state < 2)) take_attributes(ctx, st);
    if (kind == EntityKind::polyline || kind == EntityKind::lwpolyline)
        st->closed = kz::crt::truncate_to_int(num(st, 70)) & 1;
    // A 3D polyline, mesh or polyface lies in the world's own coordinates; a 2D polyline in its plane.
    if (kind == EntityKind::polyline)
        st->poly_plane = kz::crt::truncate_to_int(num(st, 70)) & (8 | 16 | 64) ? Plane::drawing : entity_plane(st);
    if (st->poly_state != 0) {
        if (kind == EntityKind::vertex && !(kz::crt::truncate_to_int(num(st, 70)) & 16)) {
            if (st->poly_plane != Plane::tilted) {
                add_plane_vertex(ctx, st, st->poly_plane, num(st, 10), num(st, 20), num(st, 42), st->poly_state == 1);
                st->poly_state = 2;
            }
        } else if (kind == EntityKind::seqend) {
            if (st->poly_state == 2) close_polyline(ctx, st);
            st->poly_state = 0;
        }
    }
    if (st->vertex_state >= 2) {
        st->vertices.push_back({num(st, 10), num(st, 20), num(st, 42)});
        put_vertices(ctx, st);
    }
    st->vertex_state = 0;  // the sequence belonged to the entity now finished
    switch (kind) {
    case EntityKind::line: finish_line(ctx, st); break;
    case EntityKind::face3d: finish_3dface(ctx, st); break;
    case EntityKind::circle:
    case EntityKind::arc: finish_arc(ctx, st, kind == EntityKind::circle); break;
    case EntityKind::insert:
    case EntityKind::dimension: finish_insert(ctx, st, kind == EntityKind::dimension); break;
    case EntityKind::block:
        if (st->depth > 0) {
            st->levels[st->depth].bx = num(st, 10);
            st->levels[st->depth].by = num(st, 20);
        }
        break;
    case EntityKind::text:
    case EntityKind::attrib: finish_text(ctx, st); break;
    case EntityKind::mtext: finish_mtext(ctx, st); break;
    default: break;
    }
}

void start_entity(dxf_reader* st, EntityKind kind) {
    auto zero = [st](std::initializer_list<int> codes, double v) {
        for (int c : codes) num(st, c) = v;
    };
    // An entity's extrusion does not pass to the next. Until one is given, codes 210 to 230 are 0 (no plane named:
    // the drawing's) and the numbers a block's entities start from stay short.
    if (st->numbers_high > 210) zero({210, 220, 230}, 0);
    if (kind == EntityKind::text || kind == EntityKind::attrib) {
        st->strings[7].clear();
        zero({72, 73, 50, 51}, 0);
        zero({40, 41}, 1.0);
    } else if (kind == EntityKind::mtext) {
        st->strings[7].clear();
        st->mtext.clear();
        zero({10, 20, 30, 12, 21, 31, 32, 44, 50, 71, 72}, 0);
        zero({11, 22, 40, 41}, 1.0);
    } else if (kind == EntityKind::polyline) {
        st->poly_state = 1;
        num(st, 70) = 0;
        st->bulge = 0;
    } else if (kind == EntityKind::vertex) {
        zero({42, 70}, 0);  // a vertex without a bulge is straight, whatever the one before it had
    } else if (kind == EntityKind::lwpolyline || kind == EntityKind::spline) {
        st->vertex_state = 1;
        zero({70, 42}, 0);
        st->bulge = 0;
    } else if (kind == EntityKind::insert) {
        zero({10, 20, 50, 44, 45}, 0);
        zero({41, 42, 70, 71}, 1.0);
    } else if (kind == EntityKind::dimension) {
        zero({10, 11, 12, 13, 14, 20, 21, 22, 23, 24, 30, 31, 32, 33, 34, 50, 44, 45}, 0);
        zero({41, 42, 70, 71}, 1.0);
    } else if (kind == EntityKind::face3d) {
        num(st, 70) = 0;
    } else {
        zero({10, 20, 11, 21, 40, 50, 51}, 0);
    }
}

bool is_number_code(int code) { return code >= 10 && code < 240; }

double number_value(std::string_view value) {
    const double v = kz::crt::c_atof_span(value.data(), value.size());
    return std::isfinite(v) ? v : 0;
}

// A pair whose code holds a number, the number read.
void take_number(drawing_context* ctx, int code, double v, dxf_reader* st) {
    if (code == 62) st->entity_colour = kz::crt::truncate_to_int(std::fabs(v) > 1e6 ? 1e6 : v);
    if (code == 10 && st->vertex_state >= 1) {
        if (st->vertex_state >= 2) st->vertices.push_back({num(st, 10), num(st, 20), num(st, 42)});
        if (st->vertex_state >= 2) st->vertex_state = 3;
        if (st->vertex_state == 1) {
            // The polyline's own layer, colour and line type, taken before its first vertex opens the sequence.
            take_attributes(ctx, st);
            st->vertex_state = 2;
        }
        num(st, 42) = 0;
    }
    num(st, code) = v;
}
}  // namespace

// Far beyond the texts drawings hold; an MTEXT that goes on is read no further.
constexpr std::size_t kMaxMtextBytes = std::size_t(1) << 20;

int read_dxf_entities(drawing_context* ctx, int code, std::string_view value, dxf_reader* st) {
    if (code == 0) {
        finish_entity(ctx, st);
        st->strings[0].assign(value);
        st->kind = entity_kind(value);
        start_entity(st, st->kind);
        return 1;
    }
    if (code >= 1 && code <= 9) {
        if ((code == 1 || code == 3) && st->kind == EntityKind::mtext) {
            if (st->mtext.size() < kMaxMtextBytes) st->mtext.append(value);
            return 1;
        }
        // A text's codes are read at its end, escapes and all, in one pass.
        if (code == 1)
            st->strings[code] = to_shift_jis_raw(st, value);
        else if (code == 3)
            st->strings[code] = to_shift_jis(st, value);
        else
            st->strings[code].assign(value);
        // "BYLAYER" and "BYBLOCK" name no line type: the layer's applies.
        if (code == 6)
            st->entity_style =
                style_of_line_type(st, st->strings[6]) > 0 ? dxf_line_style(st->strings[6].c_str(), st) : 0;
        return 1;
    }
    if (is_number_code(code)) take_number(ctx, code, number_value(value), st);
    return 1;
}

namespace {
bool ends_block(const Pair& p) {
    return p.code == 0 && (p.value == "ENDSEC" || p.value == "EOF" || p.value == "ENDBLK");
}

// Whether the caller asked the import to stop; asked once an entity is complete, and a stop holds for the rest.
bool halted_here(dxf_reader* st) {
    if (!st->halted && st->keep_going && *st->keep_going && !(*st->keep_going)()) st->halted = true;
    return st->halted;
}

// A pair as the file gives it, and one of a kept block, whose number was read when the block was kept.
void take_pair(drawing_context* ctx, dxf_reader* st, const PairStream&, const Pair& p) {
    read_dxf_entities(ctx, p.code, p.value, st);
}
void take_pair(drawing_context* ctx, dxf_reader* st, const PairList& in, const Pair& p) {
    if (is_number_code(p.code))
        take_number(ctx, p.code, in.number(), st);
    else
        read_dxf_entities(ctx, p.code, p.value, st);
}

// Reads entities until ENDSEC (or ENDBLK inside a block), until the import is stopped, or until the caller asks it to
// stop (the entities read so far are kept, as at the file's end).
template <class Pairs>
void read_entity_section(drawing_context* ctx, dxf_reader* st, Pairs& in) {
    for (Pair p; in.next(&p);) {
        if (st->stopped) return;
        if (p.code == 0 && halted_here(st)) break;
        if (p.code == 0 && (p.value == "ENDSEC" || p.value == "EOF" || (st->depth > 0 && p.value == "ENDBLK"))) {
            read_dxf_entities(ctx, 0, "", st);
            return;
        }
        take_pair(ctx, st, in, p);
        if (st->depth > 0) ++st->block_pairs;
    }
    read_dxf_entities(ctx, 0, "", st);
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

// Every "0"/"BLOCK" of the BLOCKS sections by the first code 2 name before the next code 0 (the first block of a
// name wins).
void index_blocks(dxf_reader* st) {
    st->blocks_indexed = true;
    bool in_blocks = false, after_section = false, named = true;
    std::uint64_t block = 0;
    PairStream in(st->file, 0);
    for (Pair p; in.next(&p);) {
        if (p.code != 0) {
            if (after_section && p.code == 2) in_blocks = p.value == "BLOCKS";
            if (!named && p.code == 2) st->blocks.emplace(upper(p.value), Block{block, nullptr});
            named = named || p.code == 2;
            after_section = false;
            continue;
        }
        after_section = p.value == "SECTION";
        named = !(in_blocks && p.value == "BLOCK");
        block = in.pair_offset();
    }
}

// The block's pairs up to its end read into memory, unless they would pass what blocks may keep.
std::unique_ptr<BlockPairs> keep_block(dxf_reader* st, PairStream& in, std::uint64_t offset) {
    auto kept = std::make_unique<BlockPairs>();
    std::vector<std::pair<std::size_t, std::size_t>> values;  // where each value lies in the text
    in.seek(offset);
    for (Pair p; in.next(&p);) {
        values.emplace_back(kept->text.size(), p.value.size());
        kept->text += p.value;
        kept->pairs.push_back({p.code, {}});
        if (st->kept_bytes + kept->bytes() > kKeptBlockBytes) return nullptr;
        if (ends_block(p)) break;
    }
    kept->numbers.resize(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        kept->pairs[k].value = std::string_view(kept->text).substr(values[k].first, values[k].second);
        if (is_number_code(kept->pairs[k].code)) kept->numbers[k] = number_value(kept->pairs[k].value);
    }
    st->kept_bytes += kept->bytes();
    return kept;
}

void read_block(drawing_context* ctx, dxf_reader* st) {
    if (st->block_pairs > st->budget.block_pairs) stop_at(st, st->budget.block_pairs, " pairs read in blocks");
    if (st->stopped) return;
    if (!st->blocks_indexed) index_blocks(st);
    auto found = st->blocks.find(upper(st->strings[2]));
    if (found == st->blocks.end()) return;
    // The insert's own values come back after the block; its numbers stay in their set while the block's entities
    // start from a copy of them in the next.
    std::string strings[10];
    for (int k = 0; k < 10; ++k) strings[k] = std::move(st->strings[k]);
    const EntityKind kind = st->kind;
    double* const numbers = st->numbers;
    st->numbers = st->number_sets[st->depth];
    std::copy(numbers, numbers + st->numbers_high, st->numbers);
    const int poly = st->poly_state, vertex = st->vertex_state, closed = st->closed;
    const double bulge = st->bulge;
    const Plane poly_plane = st->poly_plane;
    st->poly_state = st->vertex_state = 0;
    for (auto& s : st->strings) s.clear();
    Block& block = found->second;
    std::unique_ptr<PairStream>& in = st->block_streams[st->depth];
    if (!in) in = std::make_unique<PairStream>(st->file, block.offset);
    if (!block.tried) block.kept = keep_block(st, *in, block.offset);
    block.tried = true;
    if (block.kept) {
        PairList pairs{*block.kept};
        read_entity_section(ctx, st, pairs);
    } else {
        in->seek(block.offset);
        read_entity_section(ctx, st, *in);
    }
    for (int k = 0; k < 10; ++k) st->strings[k] = std::move(strings[k]);
    st->kind = kind;
    st->numbers = numbers;
    st->poly_state = poly;
    st->vertex_state = vertex;
    st->closed = closed;
    st->bulge = bulge;
    st->poly_plane = poly_plane;
}

void read_header(dxf_reader* st, PairStream& in) {
    int selected = -1;
    static const char* const kNames[] = {"$EXTMIN", "$EXTMAX", "$LIMMIN", "$LIMMAX"};
    for (Pair p; in.next(&p) && !(p.code == 0 && p.value == "ENDSEC");) {
        if (p.code == 9) {
            selected = -1;
            for (int k = 0; k < 4; ++k)
                if (p.value == kNames[k]) selected = k;
        } else if (selected >= 0 && (p.code == 10 || p.code == 20)) {
            double v = kz::crt::c_atof_span(p.value.data(), p.value.size());
            st->limits[selected][p.code == 20] = v;
            st->limits_given[selected] = true;
        }
    }
}

// A box of the header that holds something: finite, not inverted (an empty drawing's extents are), not absurd.
bool header_box(const dxf_reader* st, int min_index, double lo[2], double hi[2]) {
    if (!st->limits_given[min_index] || !st->limits_given[min_index + 1]) return false;
    for (int a = 0; a < 2; ++a) {
        lo[a] = st->limits[min_index][a];
        hi[a] = st->limits[min_index + 1][a];
        if (!(std::fabs(lo[a]) < 1e15 && std::fabs(hi[a]) < 1e15)) return false;
        if (min_index == 0 && lo[a] > hi[a]) return false;
        if (lo[a] > hi[a]) std::swap(lo[a], hi[a]);
    }
    return true;
}

// Every coordinate the file holds, for a file whose header says nothing usable.
bool coordinate_box(const dxf_reader* st, double lo[2], double hi[2]) {
    bool any = false;
    PairStream in(st->file, 0);
    for (Pair p; in.next(&p);) {
        if (p.code < 10 || p.code > 28 || (p.code > 18 && p.code < 20)) continue;
        double v = kz::crt::c_atof_span(p.value.data(), p.value.size());
        if (!(std::fabs(v) < 1e15)) continue;
        const int a = p.code >= 20;
        if (!any) lo[0] = hi[0] = lo[1] = hi[1] = v;
        any = true;
        lo[a] = std::min(lo[a], v);
        hi[a] = std::max(hi[a], v);
    }
    return any;
}

// The centre of the first box, and how far from it the farthest corner of the boxes lies in x or y.
double half_span(const double (*boxes)[2][2], int n, double* cx, double* cy) {
    *cx = (boxes[0][0][0] + boxes[0][1][0]) / 2;
    *cy = (boxes[0][0][1] + boxes[0][1][1]) / 2;
    double half = 0;
    for (int b = 0; b < n; ++b)
        for (int c = 0; c < 2; ++c)
            half = std::max({half, std::fabs(boxes[b][c][0] - *cx), std::fabs(boxes[b][c][1] - *cy)});
    return half;
}

// The origin centres the limits (else the extents, else the coordinates); the scale grows by tens until every box
// known fits the 32-bit range around it.
void fit_scale(drawing_context* ctx, const dxf_reader* st) {
    double boxes[3][2][2];
    int n = 0;
    if (header_box(st, 2, boxes[n][0], boxes[n][1])) ++n;
    if (header_box(st, 0, boxes[n][0], boxes[n][1])) ++n;
    if (n == 0 && coordinate_box(st, boxes[n][0], boxes[n][1])) ++n;
    if (n == 0) return;
    double cx, cy;
    ctx->plot_scale = fitted_plot_scale(ctx->plot_scale, 2 * half_span(boxes, n, &cx, &cy));
    // The origin on a whole drawing unit: the records then keep their place on the unit grid, and a drawing
    // exported and imported again comes back to the same coordinates, not half a unit further each time.
    ctx->gentenx = std::floor(-cx / ctx->plot_scale + 0.5);
    ctx->genteny = std::floor(cy / ctx->plot_scale + 0.5);
}

void read_tables(dxf_reader* st, PairStream& in) {
    std::string kind, name;
    int style = 0, colour = -1, flags = 0;
    auto end_record = [&]() {
        if (kind == "LAYER") {
            int index = dxf_layer_index(name.c_str(), st);
            st->layers[index].style = style > 0 ? style : 1;
            st->layers[index].colour = colour >= 0 ? colour_of(st, colour, 1) : 1;
        } else if (kind == "STYLE" && !name.empty() && st->text_styles.size() < 256) {
            st->text_styles.emplace_back(name, (flags & 4) != 0);
        }
    };
    for (Pair p; in.next(&p);) {
        if (p.code == 0) {
            end_record();
            if (p.value == "ENDSEC") return;
            kind = std::string(p.value);
            name.clear();
            style = flags = 0;
            colour = -1;
        } else if (p.code == 2) {
            name = std::string(p.value);
        } else if (p.code == 6) {
            int s = style_of_line_type(st, std::string(p.value));
            style = s >= 1 && s <= 8 ? s : 1;
        } else if (p.code == 62) {
            colour = std::abs(std::atoi(std::string(p.value).c_str()));
        } else if (p.code == 70) {
            flags = std::atoi(std::string(p.value).c_str());
        }
    }
}

dxf_reader* new_dxf_reader() {
    auto* st = new dxf_reader;
    for (const auto& t : kLineTypes) st->line_types.emplace_back(t.name, t.style);
    static const int kColours[8] = {1, 2, 6, 4, 5, 1, 3, 7};
    for (int c = 0; c < 256; ++c) st->colours[c] = c < 8 ? kColours[c] : c < 16 ? c : 1;
    return st;
}
}  // namespace

double fitted_plot_scale(double scale, double span) {
    const double m = span / 2147483647.0;
    for (int k = 0; k < 400 && std::isfinite(m) && scale < m; ++k) scale *= 10;
    return scale;
}

double header_fitted_scale(double lx, double ly, double hx, double hy) {
    const double box[1][2][2] = {{{std::min(lx, hx), std::min(ly, hy)}, {std::max(lx, hx), std::max(ly, hy)}}};
    double cx, cy;
    return fitted_plot_scale(0.001, 2 * half_span(box, 1, &cx, &cy));
}

DxfImportBudget set_dxf_import_budget(DxfImportBudget budget) {
    const DxfImportBudget old = import_budget;
    import_budget = budget;
    return old;
}

int read_dxf(drawing_context* ctx, const char* path, int32_t row) { return read_dxf(ctx, path, row, {}); }

int read_dxf(drawing_context* ctx, const char* path, int32_t row, const std::function<bool()>& keep_going) {
    kz::platform::FilePtr file = kz::platform::open_for_reading(path ? path : "");
    if (!file) return 0;
    // Read unbuffered: the streams keep buffers of their own.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    char magic[18] = {};
    if (fseeko(file.get(), 0, SEEK_END) != 0 || ftello(file.get()) > static_cast<off_t>(kz::platform::kMaxReadBytes) ||
        fseeko(file.get(), 0, SEEK_SET) != 0)
        return 0;
    if (std::fread(magic, 1, sizeof magic, file.get()) == sizeof magic &&
        std::memcmp(magic, "AutoCAD Binary DXF", sizeof magic) == 0) {
        kz::platform::report_line(kz::platform::display_name(path) +
                                  ": binary DXF files are not read; save it as ASCII DXF");
        return 0;
    }
    if (row < 0) row = 0;
    std::unique_ptr<dxf_reader> st(new_dxf_reader());
    st->file = file.get();
    st->keep_going = &keep_going;
    st->row = row;
    read_conversion_table(ctx, st.get());
    find_text_coding(st.get());
    if (row == 0) {
        init_drawing_header(ctx);
        apply_drawing_header(ctx);
    }
    if (!grow_rows(ctx, row + 5000)) return 0;
    ctx->c1[row] = kEndCode;
    ctx->data_end = row;
    if (!(ctx->plot_scale > 0)) ctx->plot_scale = 0.001;
    if (!(ctx->print_scale > 0)) ctx->print_scale = 100;
    ctx->active_group = 1;
    bool scale_fitted = false;
    PairStream in(st->file, 0);
    for (Pair p; in.next(&p);) {
        if (p.code == 0 && p.value == "EOF") break;
        if (!(p.code == 0 && p.value == "SECTION")) continue;
        if (!in.next(&p)) break;
        if (p.code != 2) {
            in.put_back();
            continue;
        }
        if (p.value == "HEADER") {
            read_header(st.get(), in);
        } else if (p.value == "TABLES") {
            read_tables(st.get(), in);
        } else if (p.value == "ENTITIES") {
            if (row == 0 && !scale_fitted) fit_scale(ctx, st.get());
            scale_fitted = true;
            st->poly_state = st->vertex_state = 0;
            st->strings[0].clear();
            st->kind = EntityKind::other;
            read_entity_section(ctx, st.get(), in);
            break;
        }
    }
    if (st->tilted > 0)
        kz::platform::report_line(kz::platform::display_name(path) + ": " + count_text(st->tilted) +
                                  " entities in planes tilted out of the drawing's were passed over");
    if (st->stopped)
        kz::platform::report_line(kz::platform::display_name(path) + ": DXF import stopped at its budget of " +
                                  st->budget_reached + "; the " + count_text(st->records) +
                                  " records made before are kept");
    if (row > 0) return 1;
    double xmin, ymin, xmax, ymax;
    row_range_extents(ctx, 0, &xmin, &ymin, &xmax, &ymax, 0);
    ctx->dwxmin = xmin;
    ctx->dwymin = ymin;
    ctx->dwxmax = xmax;
    ctx->dwymax = ymax;
    set_header_double(ctx, 328, xmin);
    set_header_double(ctx, 336, ymin);
    store_drawing_header(ctx);
    return 1;
}

}  // namespace kz::drawing2d
