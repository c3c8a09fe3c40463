// The parameter record of one figure line (COBJECTA), its paste entries, and the part's companion CNEWTONLIST.
// Fields are addressed by column number for animations and the property table; texts are owned heap texts.
#pragma once
#include <cstdint>

#include "app/scene/fix_flags.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

class XViewServices;
class XTrunk;

// Shape kind codes of column 0.
enum FigureKind : std::int32_t {
    kKindNone = 0,
    kKindTrunk = 1,
    kKindBox = 2,
    kKindBall = 3,
    kKindHankyuu = 4,
    kKindSui = 5,
    kKindCylinder = 6,
    kKindPoly = 7,
    kKindHpoly = 8,
    kKindZpoly = 9,
    kKindD3poly = 10,
    kKindKaiten = 11,
    kKindRefer = 20,
    kKindPutref = 21,
    kKindPose = 22,
    kKindStage = 23,
};

// The kind word written for a kind code ("box", "trunk" ...); "" for codes without one.
const char* figure_kind_word(int kind);

// Room for FormatCamera's text: a number, ';' and the widest number text.
constexpr int kCameraTextSize = 416;
// Highest face-range count of one paste entry.
constexpr int kMaxPasteRanges = 32;

// One item of a record's paste list. Plain data: the record owns the texts and arrays through free_paste_entry.
struct PasteEntry {
    char* source;              // path (kinds 1, 2) or tag text (kinds 3-5)
    std::int32_t* from_codes;  // lower face code of each range
    std::int32_t* to_codes;    // upper face code of each range
    std::int32_t range_count;
    double size;
    double lift;
    double x, y;
    double angle;
    double center_x, center_y;
    // Filled when the entry is applied to a face.
    double work_size, work_lift;
    double work_scale[2];
    double work_offset[2];
    double work_origin[2];
    std::int32_t kind;  // 0 none, 1 CAD drawing, 2 image, 3 text texture, 4 resource bitmap, 5 vector text
    std::int32_t texture_id;
    std::int32_t image_index;  // -1 before the name is interned
    std::int32_t face_letter;  // 'A', 'C' or 'R'
    std::int32_t color;        // packed colour for 'C', else -1
    std::int32_t last_number;
};

// Frees the entry's text and arrays and zeroes it.
void free_paste_entry(PasteEntry* entry);

// Everything of a record that Clear zeroes and CopyFrom copies: all fields after the view and the owner. The 32-bit
// fields stand together, so that a record a shape leaves no holes between its doubles.
struct FigureRecordFields {
    std::int32_t kind = 0;
    std::int32_t dtop_first_flag = 0;
    std::int32_t dtop_third_flag = 0;
    std::int32_t sides = 0;
    std::int32_t draw_style = 0;
    std::int32_t line_width_digit = 0;
    std::uint32_t packed_color = 0;
    std::int32_t paste_count = 0;
    std::int32_t fix_kind = 0;
    std::int32_t camera_number = 0;  // part flags: 1 camera, 2 linked, 4 pose recording, 8 screen, 16, 32
    std::int32_t sysf = 0;
    std::int32_t thick_set = 0;
    std::int32_t shadow_mode = 0;
    std::int32_t hit_flag = 0;
    std::int32_t action_summary[4] = {};  // trigger kind, tag-code set, zero word, variant
    double dx = 0, dy = 0, dz = 0;
    double rx = 0, ry = 0, rz = 0;
    double odx = 0, ody = 0, odz = 0;
    double orx = 0, ory = 0, orz = 0;
    double w = 0, d = 0, h = 0;
    double wtop = 0;
    double dtop = 0;
    double div = 0;
    double wtop_items[4] = {};
    double dtop_items[3] = {};
    double domebtm = 0;  // a part's "#id"
    double dometop = 0;
    double dispmode = 0;
    double btmangle = 0;
    double topangle = 0;
    double ambient = 0, diffuse = 0, specular = 0, trans = 0;
    double red = 0, green = 0, blue = 0;
    char* name = nullptr;
    char* parent_name = nullptr;
    PasteEntry* paste_entries = nullptr;
    char* paste_text = nullptr;
    ChangeLocks change_locks;  // by column number; the fix column sets 1..12
    char* poldat = nullptr;
    char* limit = nullptr;
    char* action = nullptr;
    double camera_value = 0;
    char* type = nullptr;
    char* party = nullptr;
    char* layer = nullptr;
    char* group = nullptr;
    char* frefer = nullptr;
    char* frmode = nullptr;
    char* comment = nullptr;
    double thick1 = 0, thick2 = 0;
    double fw = 0;
};

// Column classes returned by GetFieldByColumn / SetFieldByColumn.
enum ColumnClass : int {
    kColumnNone = 0,
    kColumnPlacement = 1,
    kColumnSize = 2,
    kColumnColor = 4,
    kColumnDisplayMode = 16,
    kColumnTransparency = 32,
};

class COBJECTA : public FigureRecordFields {
public:
    explicit COBJECTA(const COBJECTA* source = nullptr, XViewServices* view = nullptr, XTrunk* owner = nullptr);
    virtual ~COBJECTA();
    COBJECTA(const COBJECTA&) = delete;
    COBJECTA& operator=(const COBJECTA&) = delete;

    XViewServices* view = nullptr;  // not owned
    XTrunk* owner = nullptr;        // not owned

    void Clear();
    int CopyFrom(const COBJECTA* source);
    void ClearPasteList();
    int RemovePasteEntry(int i);

    int GetFieldByColumn(int column, double* out) const;
    int SetFieldByColumn(int column, double value);
    void DecodeDisplayMode();
    void EncodeDisplayMode();
    void ParseCamera(const char* text);
    char* FormatCamera(char* buffer) const;  // buffer of kCameraTextSize bytes

    // Figure line syntax.
    void ReadFigureLine(const char* text);
    void ReadKeywordLine(const char* text);
    int SetFieldByKeyword(const char* key, const char* value);
    int ClassifyObjectKind(const char* word);
    void ReadPoseLine(const char* text);
    void ReadStageLine(const char* text);

    // Paste list.
    int ParsePasteList(const char* text);
    char* WritePasteList();

    // packed_color from red, green and blue.
    void UpdatePackedColor();

private:
    void FreeTexts();
    void ReadAttributeSegment(const char* text);
    void ReadKeywordAttributes(const char* text);
    void SetFrefer(const char* path);
    void ReadPositionalLine(const char* text);
    void ReadColumnText(int column, const char* value, int length);
    void ReadDtopItems(const char* text, int length, bool with_marks);
    void ReadAction(const char* value, int length);
    void ReadThick(const char* value, int length);
    void ReadShadow(const char* value, int length);
    void ReadTwoItems(const char* value, int length, double* first, double* second);
    int AppendPasteEntry(const char* entry_text, int length);
};

// Part companion: two words and three owned heap arrays, all null until used.
class CNEWTONLIST {
public:
    CNEWTONLIST() = default;
    virtual ~CNEWTONLIST();
    CNEWTONLIST(const CNEWTONLIST&) = delete;
    CNEWTONLIST& operator=(const CNEWTONLIST&) = delete;

    std::int32_t word1 = 0;
    std::int32_t word2 = 0;
    void* array1 = nullptr;  // C heap blocks
    void* array2 = nullptr;
    void* array3 = nullptr;
};

// Numbers from records become integers only through the one checked conversion (NaN 0, saturating).
using kz::crt::truncate_to_int;

}  // namespace kz::scene
