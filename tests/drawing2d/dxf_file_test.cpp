// DXF files: imports checked against ezdxf's own expansion of the same file (three versions and code pages),
// exports read back by ezdxf's auditor and GDAL, a second export cycle that is a fixed point, damaged input, and
// the DXF files of LibreCAD's data package.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "drawing2d/drawing_files.h"
#include "drawing2d/dxf_files.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/report.h"
#include "support/test_paths.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;
using test::hex;

std::string oracle(const std::string& arguments) { return test::python_oracle("dxf_oracle.py", arguments); }

std::string native(const std::string& windows_path) { return kz::platform::to_native_path(windows_path); }

// The drawing's records as the oracle writes them, in DXF units.
std::vector<std::vector<double>> records_of(drawing_context* ctx, std::vector<std::string>* texts) {
    std::vector<std::vector<double>> out;
    const double ps = ctx->plot_scale;
    auto X = [&](double v) { return (v - ctx->gentenx) * ps; };
    auto Y = [&](double v) { return (ctx->genteny - v) * ps; };
    for (int32_t r = 0; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r) {
        if (row_code(ctx, r) <= 0) continue;
        const int type = row_type(ctx, r);
        if (type == kTypeLine) {
            out.push_back({'L', X(ctx->c4[r]), Y(ctx->c5[r]), X(ctx->c6[r]), Y(ctx->c7[r])});
        } else if (type == kTypeArc) {
            const double cx = X(arc_centre_x(ctx, r)), cy = Y(arc_centre_y(ctx, r)), rad = ctx->c6[r] * ps;
            const double a0 = ctx->c6[r + 1] / 1e6 * M_PI / 180, a1 = ctx->c7[r + 1] / 1e6 * M_PI / 180;
            out.push_back({'A', cx, cy, rad, cx + rad * std::cos(a0), cy + rad * std::sin(a0), cx + rad * std::cos(a1),
                           cy + rad * std::sin(a1)});
        } else if (type == kTypeText || type == kTypeKanjiText) {
            char text[1024];
            xlum_getchar(ctx, r, text, sizeof text);
            texts->push_back(hex(text));
            out.push_back({'T', static_cast<double>(texts->size() - 1), X(ctx->c4[r]), Y(ctx->c5[r]),
                           ctx->c3[r + 1] * ps, static_cast<double>(ctx->c7[r + 1] & 15), ctx->c5[r + 1] / 1e6});
        }
    }
    return out;
}

// Each record the oracle expects (its EXPECTED.txt) found among the drawing's and taken out of them; a text's
// angle is compared round the circle. Gives the records none expected, and the count of those expected.
std::vector<std::vector<double>> unexpected_records(drawing_context* ctx, const std::string& expected_path,
                                                    std::vector<std::string>* texts, int* expected_count) {
    std::ifstream in(native(expected_path));
    EXPECT_TRUE(in) << "python3-ezdxf is needed";
    std::vector<std::vector<double>> actual = records_of(ctx, texts);
    const double tol = 3 * ctx->plot_scale;
    std::string line;
    *expected_count = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, text;
        fields >> kind;
        if (kind.empty()) continue;
        ++*expected_count;
        if (kind == "T") fields >> text;
        std::vector<double> want{static_cast<double>(kind[0])};
        for (double v; fields >> v;) want.push_back(v);
        auto matches = [&](const std::vector<double>& got) {
            if (got[0] != want[0] || got.size() != want.size() + (kind == "T")) return false;
            const std::size_t skip = kind == "T" ? 2 : 1;
            // A text of mixed byte classes arrives as runs: the first begins at the text's point.
            if (kind == "T" && text.rfind((*texts)[static_cast<std::size_t>(got[1])], 0) != 0) return false;
            for (std::size_t k = 1; k < want.size(); ++k) {
                double d = std::fabs(got[k + skip - 1] - want[k]);
                if (kind == "T" && k == want.size() - 1) d = std::min(d, 360 - d);
                if (d > tol) return false;
            }
            return true;
        };
        auto found = std::find_if(actual.begin(), actual.end(), matches);
        EXPECT_NE(found, actual.end()) << line;
        if (found != actual.end()) actual.erase(found);
    }
    return actual;
}

TEST(DxfReader, RecordsMatchEzdxfExpansion) {
    for (const char* version : {"R12 ANSI_932", "R2000 ANSI_1252", "R2018 ANSI_1252"}) {
        const std::string dxf = test::fresh_path("oracle.dxf"), expected = test::fresh_path("oracle.txt");
        oracle("make " + std::string(version) + " '" + native(dxf) + "' '" + native(expected) + "'");
        Drawing d;
        drawing_context* ctx = d.peek();
        ASSERT_EQ(xlum_read(ctx, dxf.c_str(), 0), 1) << version;
        std::vector<std::string> texts;
        int expected_count = 0;
        SCOPED_TRACE(version);
        std::vector<std::vector<double>> actual = unexpected_records(ctx, expected, &texts, &expected_count);
        EXPECT_GE(expected_count, 30);
        // What is left over: the second run of the mixed text only.
        ASSERT_EQ(actual.size(), 1u) << version;
        EXPECT_EQ(texts[static_cast<std::size_t>(actual[0][1])], hex("ABC")) << version;
        // Layers by number and by new name, line types and colours through the built-in tables.
        EXPECT_EQ(row_layer(ctx, 0), 7);
        const int32_t wall = 1;  // the zero-length line on WALL with DASHED
        EXPECT_GE(row_layer(ctx, wall), 101);
        EXPECT_EQ(row_style(ctx, wall), 2);
        EXPECT_EQ(row_style(ctx, wall + 1), 4);
        EXPECT_EQ(row_color(ctx, wall + 1), 2);
        EXPECT_NE(ctx->c2[0], ctx->c2[wall]);  // a new layer starts a new group
    }
}

// Entities seen from below (extrusion 0, 0, -1), as mirror commands leave them, where ezdxf's world coordinates put
// them: a door swing's arc and tag, a right-aligned text, a circle, a polyline with bulges, and a door inserted
// seen from below with its attribute, once alone and once inside a turned, scaled insert.
TEST(DxfReader, MirroredEntitiesWhereEzdxfPutsThem) {
    for (const char* version : {"R12", "R2000", "R2018"}) {
        const std::string dxf = test::fresh_path("mirrored.dxf"), expected = test::fresh_path("mirrored.txt");
        oracle("mirrored " + std::string(version) + " '" + native(dxf) + "' '" + native(expected) + "'");
        Drawing d;
        ASSERT_EQ(xlum_read(d.peek(), dxf.c_str(), 0), 1) << version;
        std::vector<std::string> texts;
        int expected_count = 0;
        SCOPED_TRACE(version);
        EXPECT_EQ(unexpected_records(d.peek(), expected, &texts, &expected_count).size(), 0u);
        EXPECT_GE(expected_count, 15);
    }
}

std::string said_lines;
void keep_line(std::string_view line) { said_lines.append(line).push_back('\n'); }

// An arc, a text, polylines and an insert in planes tilted out of the drawing, which a plan cannot show, are passed
// over and counted in one line; an extrusion of no length names no plane and leaves the circle in the drawing's.
TEST(DxfReader, EntitiesInTiltedPlanesPassedOverWithALine) {
    const std::string path = test::fresh_path("tilted.dxf");
    test::put_file(path,
                   "0\nSECTION\n2\nENTITIES\n0\nARC\n8\n7\n10\n5\n20\n5\n40\n2\n50\n0\n51\n90\n210\n0.6\n230\n0.8\n"
                   "0\nTEXT\n8\n7\n10\n0\n20\n0\n40\n1\n1\nT\n220\n1\n230\n0\n"
                   "0\nCIRCLE\n8\n7\n10\n1\n20\n1\n40\n1\n210\n0\n220\n0\n230\n0\n"
                   "0\nLWPOLYLINE\n8\n7\n90\n2\n10\n0\n20\n0\n10\n5\n20\n5\n210\n1\n230\n0\n"
                   "0\nINSERT\n8\n7\n2\nB\n10\n0\n20\n0\n210\n0.6\n230\n-0.8\n"
                   "0\nPOLYLINE\n8\n7\n66\n1\n70\n0\n220\n1\n230\n1\n0\nVERTEX\n8\n7\n10\n0\n20\n0\n"
                   "0\nVERTEX\n8\n7\n10\n5\n20\n5\n0\nSEQEND\n"
                   "0\nLINE\n8\n7\n10\n0\n20\n0\n11\n9\n21\n0\n0\nENDSEC\n0\nEOF\n");
    said_lines.clear();
    const kz::platform::ReportFunction before = kz::platform::set_report_function(keep_line);
    Drawing d;
    const int read = xlum_read(d.peek(), path.c_str(), 0);
    kz::platform::set_report_function(before);
    ASSERT_EQ(read, 1);
    std::vector<std::string> texts;
    const std::vector<std::vector<double>> records = records_of(d.peek(), &texts);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][0], 'A');
    EXPECT_EQ(records[1][0], 'L');
    EXPECT_NE(said_lines.find("tilted.dxf: 5 entities in planes tilted out of the drawing's were passed over\n"),
              std::string::npos)
        << said_lines;
}

TEST(DxfReader, ScaleOriginAndDamagedInput) {
    const std::string limits = "9\n$LIMMIN\n10\n0\n20\n0\n9\n$LIMMAX\n10\n100\n20\n100\n";
    const std::string long_lines = "999\n" + std::string(200000, 'x') + "\r\n999\n" + std::string(201024, 'x') +
                                   "\n9\n$EXTMIN\n10\n0\n20\n0\n" + limits;
    const struct {
        const char* header;
        const char* end_x;
        double plot, gx, gy;
        int32_t x1, x2;
    } cases[] = {
        {limits.c_str(), "10", 0.001, -50000, 50000, -50000, -40000},
        // A comment far longer than a line may be (and than the reader's buffer) is passed over whole.
        {long_lines.c_str(), "10", 0.001, -50000, 50000, -50000, -40000},
        // Limits that are no numbers: the coordinates centre the drawing.
        {"9\n$LIMMAX\n10\nnan\n20\ninf\n9\n$LIMMIN\n10\n0\n20\n0\n", "10", 0.001, -5000, 0, -5000, 5000},
        // No limits and coordinates beyond what thousandths hold in 32 bits: the unit grows to fit.
        {"", "1e7", 0.01, -5e8, 0, -500000000, 500000000},
        // Limits centred off the unit grid: the origin keeps to whole units, so that the next import of an export
        // finds the records where they were; a line shorter than a unit keeps one unit of length.
        {"9\n$LIMMIN\n10\n0\n20\n0\n9\n$LIMMAX\n10\n100.0006\n20\n100.0006\n", "10", 0.001, -50000, 50000, -50000,
         -40000},
        {limits.c_str(), "0.0004", 0.001, -50000, 50000, -50000, -49999},
    };
    const std::string path = test::fresh_path("limits.dxf");
    for (const auto& c : cases) {
        test::put_file(path, "0\nSECTION\n2\nHEADER\n" + std::string(c.header) +
                                 "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n1\n10\n0\n20\n0\n11\n" + c.end_x +
                                 "\n21\n0\n0\nENDSEC\n0\nEOF\n");
        Drawing d;
        drawing_context* ctx = d.peek();
        ASSERT_EQ(xlum_read(ctx, path.c_str(), 0), 1);
        EXPECT_DOUBLE_EQ(ctx->plot_scale, c.plot) << c.end_x;
        EXPECT_DOUBLE_EQ(ctx->gentenx, c.gx);
        EXPECT_DOUBLE_EQ(ctx->genteny, c.gy);
        EXPECT_EQ(ctx->c4[0], c.x1);
        EXPECT_EQ(ctx->c6[0], c.x2);
    }
    // Binary DXF is refused; merging keeps the drawing's scale and origin.
    const std::string binary = test::fresh_path("binary.dxf");
    test::put_file(binary, std::string("AutoCAD Binary DXF\r\n\x1a\0", 22));
    Drawing d;
    drawing_context* ctx = d.peek();
    EXPECT_EQ(xlum_read(ctx, binary.c_str(), 0), 0);
    ctx->gentenx = 123;
    ASSERT_EQ(xlum_read(ctx, path.c_str(), 5), 1);
    EXPECT_EQ(ctx->gentenx, 123);

    // Damaged copies of a real file: read or refused, never a crash (the sanitizers watch).
    const std::string source = test::fresh_path("damage_source.dxf"), bad = test::fresh_path("damaged.dxf");
    oracle("make R2000 ANSI_932 '" + native(source) + "' /dev/null");
    const std::string good = test::file_bytes(source);
    ASSERT_FALSE(good.empty());
    std::mt19937 random(31);
    for (int round = 0; round < 60; ++round) {
        std::string bytes = good;
        for (int k = 0; k < 20; ++k) bytes[random() % bytes.size()] = "0\n-9e99\x81"[random() % 8];
        if (round % 3 == 0) bytes.resize(random() % bytes.size());
        test::put_file(bad, bytes);
        Drawing other;
        EXPECT_EQ(xlum_read(other.peek(), bad.c_str(), 0), 1);
    }

    // Flags far beyond the int range (a file of the fuzz corpus) saturate before their bits are read, in every build:
    // 1e72 closes both polylines, the vertex flagged 1e300 is a spline frame point and is not drawn, and -3e9 hides
    // no edge of the face.
    const std::string corpus = kz::test::data_dir() + "/../fuzz/corpus/drawing_file/flags_beyond_int.dxf";
    Drawing flagged;
    ASSERT_EQ(xlum_read(flagged.peek(), kz::platform::from_native_path(corpus).c_str(), 0), 1);
    std::vector<std::string> texts;
    std::string segments;
    for (const std::vector<double>& r : records_of(flagged.peek(), &texts))
        for (int k = 1; r[0] == 'L' && k <= 4; ++k) segments += std::to_string(std::lround(r[k])) + (k < 4 ? "," : " ");
    // The light polyline's three sides, the polyline's two, the face's four and the line.
    EXPECT_EQ(segments, "0,0,10,0 10,0,10,10 10,10,0,0 0,0,10,5 10,5,0,0 0,0,5,0 5,0,5,5 5,5,0,5 0,5,0,0 0,0,1,1 ");
}

// `n` copies of `entity`, each with its number for the "%d" in it.
std::string repeated(const char* entity, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        char b[160];
        std::snprintf(b, sizeof b, entity, i);
        out += b;
    }
    return out;
}

// Blocks B0 .. B9, each `line` and ten inserts of the next, inserted once before `after`: a billion lines or
// inserts, unless the import stops.
std::string nested_inserts(const std::string& line, const std::string& after) {
    std::string out = "0\nSECTION\n2\nBLOCKS\n";
    for (int b = 0; b < 10; ++b) {
        out += "0\nBLOCK\n2\nB" + std::to_string(b) + "\n10\n0\n20\n0\n" + line;
        if (b < 9) out += repeated(("0\nINSERT\n8\n1\n2\nB" + std::to_string(b + 1) + "\n10\n%d\n20\n1\n").c_str(), 10);
        out += "0\nENDBLK\n";
    }
    return out + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nINSERT\n8\n1\n2\nB0\n10\n0\n20\n0\n" + after +
           "0\nENDSEC\n0\nEOF\n";
}

// A number an entity leaves out keeps the value it had: inside a block, the insert's; after an insert, the one from
// before its block, whatever the block's entities gave. A face without its third and fourth corners shows this.
TEST(DxfReader, NumbersLeftOutKeepTheirValues) {
    const std::string square = "0\n3DFACE\n8\n1\n10\n0\n20\n0\n11\n4\n21\n0\n12\n4\n22\n4\n13\n0\n23\n4\n";
    const std::string two_corners = "0\n3DFACE\n8\n1\n10\n0\n20\n0\n11\n4\n21\n0\n";
    const std::string tall = "0\n3DFACE\n8\n1\n10\n0\n20\n0\n11\n4\n21\n0\n12\n9\n22\n9\n13\n0\n23\n9\n";
    const auto block = [](const char* name, const std::string& entities) {
        return "0\nBLOCK\n2\n" + std::string(name) + "\n10\n0\n20\n0\n" + entities + "0\nENDBLK\n";
    };
    const auto insert = [](const char* name, int x) {
        return "0\nINSERT\n8\n1\n2\n" + std::string(name) + "\n10\n" + std::to_string(x) + "\n20\n0\n";
    };
    using Lines = std::vector<std::vector<double>>;
    const auto square_at = [](double x, double y) {
        return Lines{
            {'L', x, y, x + 4, y}, {'L', x + 4, y, x + 4, y + 4}, {'L', x + 4, y + 4, x, y + 4}, {'L', x, y + 4, x, y}};
    };
    const auto joined = [](std::initializer_list<Lines> parts) {
        Lines all;
        for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const struct {
        const char* name;
        std::string blocks, entities;
        Lines lines;
    } rows[] = {
        {"a block's face takes the insert's corners, each time it is inserted", block("F", two_corners),
         square + insert("F", 10) + insert("F", 20), joined({square_at(0, 0), square_at(10, 0), square_at(20, 0)})},
        {"a face after an insert takes the corners from before the block", block("G", tall),
         square + insert("G", 10) + "0\n3DFACE\n8\n1\n10\n0\n20\n4\n11\n4\n21\n4\n",
         joined({square_at(0, 0),
                 {{'L', 10, 0, 14, 0}, {'L', 14, 0, 19, 9}, {'L', 19, 9, 10, 9}, {'L', 10, 9, 10, 0}},
                 {{'L', 0, 4, 4, 4}}})},  // its third corner on its second: the face is that edge
    };
    const std::string path = test::fresh_path("left_out.dxf");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        test::put_file(path, "0\nSECTION\n2\nBLOCKS\n" + r.blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
                                 r.entities + "0\nENDSEC\n0\nEOF\n");
        Drawing d;
        ASSERT_EQ(xlum_read(d.peek(), path.c_str(), 0), 1);
        std::vector<std::string> texts;
        Lines got = records_of(d.peek(), &texts), want = r.lines;
        for (auto& line : got)
            for (double& v : line) v = std::round(v);
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
}

// An entity's layer takes a slot of the drawing's layers: a name that holds one keeps it; a name from 1 to 200
// takes that number's slot, from whatever name held it, which then goes to a new slot; any other name takes the
// first free slot from 200 down to 101, and once those are all taken an entity is on 200.
TEST(DxfReader, LayerNamesTakeTheirSlots) {
    std::vector<std::string> hundred;
    for (int i = 0; i < 100; ++i) hundred.push_back("N" + std::to_string(i));
    const auto then = [](std::vector<std::string> names, std::initializer_list<const char*> more) {
        names.insert(names.end(), more.begin(), more.end());
        return names;
    };
    const struct {
        const char* name;
        std::vector<std::string> layers;  // of the lines, in the file's order
        std::vector<int> slots;           // of the last lines, in the same order
    } rows[] = {
        {"repeated names", {"WALL", "DOOR", "WALL", "0", "DOOR", "0", "wall"}, {200, 199, 200, 198, 199, 198, 197}},
        {"numbers", {"7", "007", "7", "150", "0", "201", "150"}, {7, 7, 7, 150, 200, 199, 150}},
        {"a number takes a named slot", {"WALL", "DOOR", "200", "WALL", "200", "DOOR"}, {200, 199, 200, 198, 200, 199}},
        {"down to 101",
         then(hundred, {"N0", "EXTRA", "N99", "150", "N50", "EXTRA", "150"}),
         {200, 200, 101, 150, 200, 200, 150}},
    };
    const std::string path = test::fresh_path("layers.dxf");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string file = "0\nSECTION\n2\nENTITIES\n";
        for (const std::string& layer : r.layers) file += "0\nLINE\n8\n" + layer + "\n10\n0\n20\n0\n11\n1\n21\n5\n";
        test::put_file(path, file + "0\nENDSEC\n0\nEOF\n");
        Drawing d;
        ASSERT_EQ(xlum_read(d.peek(), path.c_str(), 0), 1);
        const std::vector<int32_t> records = test::head_rows(d.peek(), 0);
        ASSERT_EQ(records.size(), r.layers.size());
        std::vector<int> slots;
        for (std::size_t i = records.size() - r.slots.size(); i < records.size(); ++i)
            slots.push_back(row_layer(d.peek(), records[i]));
        EXPECT_EQ(slots, r.slots);
    }
}

// What an import makes is bounded: at the budget the whole file is read; a record past it stops the import, which
// keeps the records before it and says so in one line on standard error, naming the budget it reached. Inserts that
// make nothing stop when the pairs read in blocks pass theirs, and nothing after them is read.
TEST(DxfReader, ImportStopsAtItsBudgetKeepingTheRecordsBefore) {
    const char* line = "0\nLINE\n8\n1\n10\n%d0\n20\n0\n11\n1\n21\n5\n";
    const char* text = "0\nTEXT\n8\n1\n10\n%d0\n20\n0\n40\n2\n1\nABCDEFG\n";  // four rows
    const auto entities = [](const std::string& e) { return "0\nSECTION\n2\nENTITIES\n" + e + "0\nENDSEC\n0\nEOF\n"; };
    const long long lots = 1LL << 40;
    const struct {
        std::string file;
        DxfImportBudget budget;
        int kept;
        const char* reached;  // the budget named in the line; null: not stopped
    } cases[] = {
        {entities(repeated(line, 5)), {5, lots}, 5, nullptr},
        {entities(repeated(line, 6)), {5, lots}, 5, "5 records"},
        {entities(repeated(text, 3)), {lots, 3 * 4 * 28}, 3, nullptr},
        {entities(repeated(text, 4)), {lots, 3 * 4 * 28}, 3, "336 bytes of rows"},
        {nested_inserts("0\nLINE\n8\n1\n10\n0\n20\n0\n11\n9\n21\n0\n", ""), {1000, lots}, 1000, "1000 records"},
        {nested_inserts("", repeated(line, 1)), {lots, lots, 1000}, 0, "1000 pairs read in blocks"},
    };
    const std::string path = test::fresh_path("budget.dxf");
    for (const auto& c : cases) {
        test::put_file(path, c.file);
        const DxfImportBudget before = set_dxf_import_budget(c.budget);
        Drawing d;
        testing::internal::CaptureStderr();
        EXPECT_EQ(xlum_read(d.peek(), path.c_str(), 0), 1);
        const std::string said = testing::internal::GetCapturedStderr();
        set_dxf_import_budget(before);
        const std::vector<int32_t> rows = test::head_rows(d.peek(), 0);
        EXPECT_EQ(rows.size(), static_cast<std::size_t>(c.kept)) << c.file.substr(0, 80);
        const std::string expected = c.reached ? kz::platform::to_native_path(path) + ": DXF import stopped at its " +
                                                     "budget of " + c.reached + "; the " + std::to_string(c.kept) +
                                                     " records made before are kept\n"
                                               : "";
        EXPECT_EQ(said, expected);
        // Of plain entities, the ones kept are the first of the file, in its order.
        if (c.file.find("BLOCK") == std::string::npos && !rows.empty()) {
            const drawing_context* ctx = d.peek();
            EXPECT_EQ(ctx->c4[rows.back()], std::lround(10.0 * (c.kept - 1) / ctx->plot_scale + ctx->gentenx));
        }
    }
}

// The conversion table's colour lines in the forms the C library's scans take, and lines of neither form passed
// over: library colours 2 .. 7 leave as DXF colours 4, 9, 11, 20, 30 and 7 and come back as 12, 13, 13, 1, 1 and 7.
TEST(DxfConversionTable, ColourLinesInEveryForm) {
    const std::string prefix = test::fresh_path("colour_table_"), path = test::fresh_path("colours.dxf");
    test::put_file(prefix + "boudxf.txt",
                   "//dtoacolor\n2\t4\n3 , 9\n4,,11\n 5 20\n6 30\n7+8\n16 1\nx 6\n//end\n"
                   "//atodcolor\n4 4 12\n9,11,13\n20 ,21,14\n20;21;14\n30,,31,14\n//end\n");
    Drawing d, back;
    xlum_set_execpath(d.peek(), prefix.c_str());
    xlum_set_execpath(back.peek(), prefix.c_str());
    for (int colour = 2; colour <= 7; ++colour)
        xlum_line_set_d(d.peek(), nullptr, -1, 1, 1, colour, 1, 0, colour * 100, 1000, colour * 100, 0);
    ASSERT_EQ(xlum_write(d.peek(), path.c_str(), 0, 0), 1);
    ASSERT_EQ(xlum_read(back.peek(), path.c_str(), 0), 1);
    std::vector<int32_t> colours;
    for (int32_t r : test::head_rows(back.peek(), 0))
        if (row_type(back.peek(), r) == kTypeLine) colours.push_back(row_color(back.peek(), r));
    EXPECT_EQ(colours, (std::vector<int32_t>{12, 13, 13, 1, 1, 7}));
}

// `in` imported into a new drawing and exported, without the settings records, to a fresh file of that name.
std::string reexport(const std::string& in, const std::string& name) {
    Drawing d;
    d.peek()->control_text_write = 0;
    const std::string out = test::fresh_path(name);
    EXPECT_EQ(xlum_read(d.peek(), in.c_str(), 0), 1) << in;
    EXPECT_EQ(xlum_write(d.peek(), out.c_str(), 0, 0), 1) << out;
    return out;
}

std::map<std::string, int> audit(const std::string& path) {
    std::map<std::string, int> counts;
    std::istringstream lines(oracle("audit '" + native(path) + "'"));
    std::string key;
    for (int v; lines >> key;) {
        if (key == "text") {
            lines >> key;
            ++counts["text bytes " + key];
            continue;
        }
        if (lines >> v) counts[key] = v;
    }
    return counts;
}

TEST(DxfWriter, EzdxfAndGdalReadTheExportAndASecondCycleIsAFixedPoint) {
    const std::string source = test::fresh_path("export_source.dxf");
    oracle("make R2000 ANSI_932 '" + native(source) + "' /dev/null");
    Drawing d;
    drawing_context* ctx = d.peek();
    ASSERT_EQ(xlum_read(ctx, source.c_str(), 0), 1);
    ctx->control_text_write = 0;
    std::vector<std::string> texts;
    std::map<std::string, int> want;
    for (const auto& r : records_of(ctx, &texts)) ++want[r[0] == 'L' ? "LINE" : r[0] == 'T' ? "TEXT" : "ARCS"];
    const std::string first = test::fresh_path("export1.dxf");
    ASSERT_EQ(xlum_write(ctx, first.c_str(), 0, 0), 1);
    std::map<std::string, int> got = audit(first);
    EXPECT_EQ(got["errors"], 0);
    EXPECT_EQ(got["LINE"], want["LINE"]);
    EXPECT_EQ(got["ARC"] + got["CIRCLE"], want["ARCS"]);
    EXPECT_EQ(got["TEXT"], want["TEXT"]);
    EXPECT_EQ(got["text bytes " + hex("\x90\x7d\x96\xca")], 1);  // Shift_JIS text named by its code page
    const std::string ogr = kz::test::command_output("ogrinfo -ro -al -so '" + native(first) + "' 2>&1");
    EXPECT_NE(ogr.find("Feature Count: " + std::to_string(want["LINE"] + want["ARCS"] + want["TEXT"])),
              std::string::npos)
        << ogr;

    // Read back and written again twice: the second cycle writes what the first wrote.
    const std::string second = reexport(first, "export_cycle0.dxf");
    EXPECT_EQ(test::file_bytes(reexport(second, "export_cycle1.dxf")), test::file_bytes(second));
}

TEST(DxfWriter, WideLimitsOrNothingKeptStillAFixedPointAfterOneCycle) {
    // Limits far wider than the records give a coarse unit, which the next import, fitted to the exported header,
    // does not take again: the header must be rounded as that import rounds it, or a centred text's extents move
    // by half a unit. A file that keeps nothing has no extents to write: its header must not fit a new scale.
    // Records further apart than 2^31 units (a line end saturated far beyond narrow limits) must not make the next
    // import fit a coarser unit, which would round ...647 to ...65.
    const std::string text = "0\nTEXT\n8\n7\n1\nABC\n41\n1\n72\n1\n11\n5\n21\n5\n";
    const std::string far_line = "0\nLINE\n8\n7\n10\n0\n20\n0\n11\n3000000\n21\n0\n";
    const struct {
        const char *limmax_x, *written;
        std::string entities;
    } cases[] = {{"222222222210", "\nABC\n", text},
                 {"222222222210", "$EXTMAX\n 10\n0.000000\n 20\n0.000000\n", ""},
                 {"100", " 11\n2147533.647000\n", far_line}};
    const std::string source = test::fresh_path("wide_limits.dxf");
    for (const auto& c : cases) {
        test::put_file(source, "0\nSECTION\n2\nHEADER\n9\n$LIMMIN\n10\n0\n20\n0\n9\n$LIMMAX\n10\n" +
                                   std::string(c.limmax_x) + "\n20\n100\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
                                   c.entities + "0\nENDSEC\n0\nEOF\n");
        const std::string first = test::file_bytes(reexport(source, "wide_limits1.dxf"));
        const std::string second = test::file_bytes(reexport(reexport(source, "wide_limits1.dxf"), "wide_limits2.dxf"));
        EXPECT_EQ(second, first) << c.entities;
        EXPECT_NE(first.find(c.written), std::string::npos) << c.written;
    }
}

TEST(DxfWriter, TextsStartFromTheirFirstPointWithTheAnchorBeside) {
    // A centred vertical text, turned and slanted: its anchor is the centre of its upright outline, its own origin,
    // which an import takes as the origin of the same alignment; the middle of the slanted outline would move it
    // by tan(slant) x height / 2 on every export and import. Texts of 4 characters 2 wide at a pitch of 1 (11
    // long, 3 high) start their length, or half of it, left of the anchor and their height, or half of it, below.
    const struct {
        const char* text;
        int mode;
        double width, height, pitch, angle, slant, dx, dy;  // the first point from the anchor (NaN: not checked)
        int h72, v73;                                       // 0: not written
    } cases[] = {{"\x8a\xbf\x8e\x9a", 5 | 0x100, 100, 100, 0, 30, 30, NAN, NAN, 1, 2},
                 {"ABCD", 1, 2000, 3000, 1000, 0, 0, -5500, 0, 1, 1},
                 {"ABCD", 6, 2000, 3000, 1000, 0, 0, -11000, -1500, 2, 2},
                 {"ABCD", 8, 2000, 3000, 1000, 0, 0, 0, -3000, 0, 3}};
    for (const auto& c : cases) {
        Drawing d;
        drawing_context* ctx = d.peek();
        xlum_moji_set(ctx, 0, c.text, 300, 700, c.mode, c.width, c.height, c.pitch, c.angle, c.slant);
        const std::string path = test::fresh_path("text_anchor.dxf");
        ASSERT_EQ(xlum_write(ctx, path.c_str(), 0, 0), 1);
        const std::string dxf = test::file_bytes(path);
        auto value = [&](const std::string& code) {
            const std::size_t at = dxf.find("\n" + code + "\n", dxf.find("\nTEXT\n"));
            return at == std::string::npos ? NAN : kz::crt::c_atof(dxf.c_str() + at + code.size() + 2);
        };
        const double ps = ctx->plot_scale, x = value(" 11"), y = value(" 21"), h72 = value(" 72");
        EXPECT_NEAR(x / ps + ctx->gentenx, 300, 1e-6) << c.mode;
        EXPECT_NEAR(ctx->genteny - y / ps, 700, 1e-6) << c.mode;
        if (!std::isnan(c.dx)) {
            EXPECT_NEAR(value(" 10") - x, c.dx * ps, 1e-6) << c.mode;
            EXPECT_NEAR(value(" 20") - y, c.dy * ps, 1e-6) << c.mode;
        }
        EXPECT_EQ(std::isnan(h72) ? 0 : h72, c.h72) << c.mode;
        EXPECT_EQ(value(" 73"), c.v73) << c.mode;
    }
}

// LibreCAD's DXF files (most R2007 and later, UTF-8): every one imports. CI runs a fixed sample of 200;
// scripts/dxf_corpus.sh runs them all.
TEST(DxfReader, LibreCadFilesImport) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/librecad", ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".dxf") files.push_back(it->path());
    if (files.empty()) GTEST_SKIP() << "librecad-data is not installed";
    std::sort(files.begin(), files.end());
    const bool all = std::getenv("KZ_DXF_ALL") != nullptr;
    const std::size_t step = all ? 1 : std::max<std::size_t>(1, files.size() / 200);
    int read = 0, refused = 0;
    double slowest = 0;
    std::string slowest_name;
    for (std::size_t i = 0; i < files.size(); i += step) {
        Drawing d;
        const auto start = std::chrono::steady_clock::now();
        const int ok = xlum_read(d.peek(), kz::platform::from_native_path(files[i].string()).c_str(), 0);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        (ok ? read : refused) += 1;
        EXPECT_EQ(ok, 1) << files[i];
        if (seconds > slowest) {
            slowest = seconds;
            slowest_name = files[i].string();
        }
    }
    std::printf("librecad DXF: %d read, %d refused, slowest %.3f s: %s\n", read, refused, slowest,
                slowest_name.c_str());
}

}  // namespace
}  // namespace kz::drawing2d
