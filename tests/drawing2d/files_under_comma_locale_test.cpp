// Drawing files written and read by a program that runs under a decimal-comma locale (Qt takes LC_NUMERIC from
// LANG as it starts): DXF, MPP and dimension files hold the same bytes as in the "C" locale, and read back to the
// same drawing. The DXF case also reads its line types from a conversion table.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "drawing2d/dimension_files.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"
#include "platform/message_loop.h"
#include "support/comma_locale.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

// The conversion table's prefix (the exec path): its dashed line type has fractional elements.
std::string table_prefix() {
    static const std::string prefix = [] {
        const std::string p = test::fresh_path("locale_table_");
        test::put_file(p + "boudxf.txt", "//dtoaline\r\n2,DASHED2,\"DASHED2( __ __ )\",2,0.5,-0.25\r\n//end\r\n");
        return p;
    }();
    return prefix;
}

// A line from (0, 0) to (12.75, 3.5) and a quarter arc of radius 1.25 in real units (plot scale 0.001).
void line_and_arc(drawing_context* ctx) {
    xlum_set_execpath(ctx, table_prefix().c_str());
    xlum_line_set_d(ctx, nullptr, -1, 3, 7, 2, 1, 0, 0, 12750, -3500, 0);
    xlum_en_set(ctx, -1, 2500, -1250, 1250, 45, 90);
}

// A dimension line of 1234.5 real units with its text made from the line's length.
void dimension(drawing_context* ctx) {
    const int32_t line = xlum_set_line(ctx, nullptr, 0, -1, 0, 0, 1234500, 0, 9, 3, 2, 1);
    const int32_t text =
        xlum_set_text(ctx, nullptr, 0, -1, "(0)", 5, 600000, -2000, 3000, 4000, 500, 0, 0, 1, 9, 3, 2, 1);
    xlum_set_dimstring(ctx, nullptr, 0, 1, line, text, 1, 1, 1, 0, 0, -1);
}

struct Format {
    const char* file;  // the name written; a ".MPW" name writes dimensions beside it
    const char* kept;  // the file whose bytes are compared
    void (*fill)(drawing_context*);
    int (*write)(drawing_context*, const char*);
    int (*read)(drawing_context*, const char*);
    std::vector<std::string> texts;  // number texts the kept file holds
};

struct Outcome {
    std::string bytes, header;
    std::vector<double> written, read;
};

Outcome write_and_read(const Format& f) {
    Outcome o;
    Drawing d, back;
    f.fill(d.peek());
    const std::string path = test::fresh_path(f.file), kept = test::fresh_path(f.kept);
    EXPECT_EQ(f.write(d.peek(), path.c_str()), 1) << f.file;
    o.written = test::record_cells(d.peek());
    o.bytes = test::file_bytes(kept);
    xlum_set_execpath(back.peek(), table_prefix().c_str());
    EXPECT_EQ(f.read(back.peek(), path.c_str()), 1) << f.file;
    o.read = test::record_cells(back.peek());
    o.header = test::header_bytes(back.peek());
    return o;
}

TEST(DrawingFilesUnderACommaLocale, SameBytesAndTheSameDrawingBack) {
    auto write_file = [](drawing_context* ctx, const char* path) { return xlum_write(ctx, path, 0, 0); };
    auto read_file = [](drawing_context* ctx, const char* path) { return xlum_read(ctx, path, 0); };
    auto write_dims = [](drawing_context* ctx, const char* path) { return xlum_dimconv_write(ctx, path, 0); };
    auto read_dims = [](drawing_context* ctx, const char* path) { return xlum_dimconv_read(ctx, path, 0); };
    const Format formats[] = {
        {"locale.DXF",
         "locale.DXF",
         line_and_arc,
         write_file,
         read_file,
         {" 10\n0.000000\n 20\n0.000000\n 30\n0.0\n 11\n12.750000\n 21\n3.500000\n", " 40\n1.250000\n 50\n45.000000\n",
          "DASHED2\n 70\n     0\n  3\nDASHED2( __ __ )\n 72\n    65\n 73\n     2\n 40\n0.750000\n 49\n0.500000\n 49\n"
          "-0.250000\n"}},
        {"locale.MPP", "locale.MPP", line_and_arc, write_file, read_file, {}},
        {"dims.MPW",
         "dims.DIM",
         dimension,
         write_dims,
         read_dims,
         {"\t\txdim2=1234.500000\r\n", "\t\tvalue=1234.500000\r\n", "\t\ttext=\"1,234.5\"\r\n"}},
    };
    std::vector<Outcome> in_c;
    for (const Format& f : formats) {
        in_c.push_back(write_and_read(f));
        for (const std::string& text : f.texts) EXPECT_NE(in_c.back().bytes.find(text), std::string::npos) << text;
    }

    kz::test::CommaLocale comma;
    ASSERT_TRUE(kz::platform::ensure_application());  // Qt starts under the locale, as the program does
    KZ_REQUIRE_COMMA_LOCALE(comma);
    for (std::size_t i = 0; i < std::size(formats); ++i) {
        const Outcome in_de = write_and_read(formats[i]);
        EXPECT_EQ(std::tuple(in_de.written, in_de.bytes, in_de.read, in_de.header),
                  std::tuple(in_c[i].written, in_c[i].bytes, in_c[i].read, in_c[i].header))
            << formats[i].file;
    }
}

}  // namespace
}  // namespace kz::drawing2d
