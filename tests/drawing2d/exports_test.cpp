// The exported drawing functions: every forwarder built so far answers a handle that cannot be locked with its
// failure value, forwards to its operation when it can, and the scene's road through them (open, lock, read,
// fetch a text, unlock, close) works on a file written by the library.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "drawing2d/drawing_files.h"
#include "drawing2d/row_store.h"
#include "drawing2d/zolt_exports.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

struct Export {
    const char* name;
    std::function<double(drawing_handle)> call;
    double failure;
};

std::vector<Export> export_list() {
    static char buffer[1024];
    static double values[8];
    static int32_t rows[4];
    static double reals[4];
    return {
        {"zolt_new", [](drawing_handle h) { return zolt_new(h); }, 0},
        {"zolt_test", [](drawing_handle h) { return zolt_test(h, 5); }, -1},
        {"zolt_set_active", [](drawing_handle h) { return zolt_set_active(h, 1, 1, 1, 1); }, -1},
        {"zolt_line_set", [](drawing_handle h) { return zolt_line_set(h, 0, 0, 0, 1, 1); }, -1},
        {"zolt_en_set", [](drawing_handle h) { return zolt_en_set(h, 0, 0, 0, 1, 0, 90); }, -1},
        {"zolt_moji_set", [](drawing_handle h) { return zolt_moji_set(h, 0, "a", 0, 0, 0, 1, 1, 0, 0, 0); }, -1},
        {"zolt_yoyaku", [](drawing_handle h) { return zolt_yoyaku(h, 0, 2); }, -1},
        {"zolt_delete_primitive", [](drawing_handle h) { return zolt_delete_primitive(h, 0); }, -1},
        {"zolt_getchar", [](drawing_handle h) { return zolt_getchar(h, 0, buffer); }, -1},
        {"zolt_bridge", [](drawing_handle h) { return zolt_bridge(h, 0, -1, h, 0); }, -1},
        {"zolt_get_text_4point",
         [](drawing_handle h) {
             double* v = values;
             return zolt_get_text_4point(h, 0, v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7);
         },
         0},
        {"zolt_search_point",
         [](drawing_handle h) { return zolt_search_point(h, 0, 0, 0, 1, 4, rows, rows, reals, reals, reals); }, -1},
        {"zolt_search_cross",
         [](drawing_handle h) { return zolt_search_cross(h, 0, 0, 0, 1, reals, reals, reals, rows, rows); }, 0},
        {"zolt_gsearch", [](drawing_handle h) { return zolt_gsearch(h, 0, 0, 0, 1, 4, rows, rows, reals); }, -1},
        {"zolt_gmxmn", [](drawing_handle h) { return zolt_gmxmn(h, 0, reals, reals, reals, reals); }, 0},
        {"zolt_search_data", [](drawing_handle h) { return zolt_search_data(h, 0, 2, -1, -1, -1, -1); }, -1},
        {"zolt_search_keyword", [](drawing_handle h) { return zolt_search_keyword(h, 0, "a"); }, -1},
        {"zolt_search_array", [](drawing_handle h) { return zolt_search_array(h, "c4", 0, 0, 5); }, -1},
        {"zolt_read", [](drawing_handle h) { return zolt_read(h, "Z:\\nowhere.mpw", 0); }, 0},
        {"zolt_write", [](drawing_handle h) { return zolt_write(h, "Z:\\nowhere\\x.mpw", 0, 0); }, 0},
        {"zolt_read_layer_file", [](drawing_handle h) { return zolt_read_layer_file(h, "Z:\\nowhere.mpw", 1); }, 0},
        {"zolt_write_layer_file", [](drawing_handle h) { return zolt_write_layer_file(h, "Z:\\nowhere\\x.mpw"); }, 0},
        {"zolt_dimconv_read", [](drawing_handle h) { return zolt_dimconv_read(h, "Z:\\nowhere.mpw", 0); }, 0},
        {"zolt_dimconv_write", [](drawing_handle h) { return zolt_dimconv_write(h, "Z:\\nowhere\\x.mpw", 0); }, 0},
        {"zolt_set_open_file",
         [](drawing_handle h) { return zolt_set_open_file(h, "C:\\a\\b.mpw", nullptr, nullptr, nullptr, nullptr); }, 0},
        {"zolt_get_last_file_name", [](drawing_handle h) { return zolt_get_last_file_name(h, buffer); }, 0},
        {"zolt_set_execpath", [](drawing_handle h) { return zolt_set_execpath(h, "C:\\"); }, -1},
        {"zolt_get_array", [](drawing_handle h) { return zolt_get_array(h, "c1", reals, 0, 3); }, 0},
        {"zolt_set_array", [](drawing_handle h) { return zolt_set_array(h, "max", reals, 1, 0); }, 0},
        {"zolt_init_array", [](drawing_handle h) { return zolt_init_array(h, "pen_bold", 0, 0, 15); }, 0},
        {"zolt_get_val", [](drawing_handle h) { return zolt_get_val(h, "plot_scale", 0); }, 0},
        {"zolt_set_val", [](drawing_handle h) { return zolt_set_val(h, "pen_bold", 1, 1); }, 0},
        {"zolt_get_string", [](drawing_handle h) { return zolt_get_string(h, "ank", 0, buffer); }, 0},
        {"zolt_set_string", [](drawing_handle h) { return zolt_set_string(h, "ank", 0, "Arial"); }, 0},
        {"zolt_get_font", [](drawing_handle h) { return zolt_get_font(h, 0, buffer); }, 0},
        {"zolt_set_text_font", [](drawing_handle h) { return zolt_set_text_font(h, 1, "Arial"); }, 0},
        {"zolt_get_text_font", [](drawing_handle h) { return zolt_get_text_font(h, 1, buffer); }, 0},
        {"zolt_layer_name", [](drawing_handle h) { return zolt_layer_name(h, 1, buffer, 0); }, 0},
        {"zolt_layer_group", [](drawing_handle h) { return zolt_layer_group(h, 1, buffer, 0); }, 0},
        {"zolt_set_layer", [](drawing_handle h) { return zolt_set_layer(h, 0, 255, 1); }, 0},
        {"zolt_make_layer_exist", [](drawing_handle h) { return zolt_make_layer_exist(h, 0); }, 0},
        {"zolt_get_aki", [](drawing_handle h) { return zolt_get_aki(h, "group", 0); }, -1},
        {"zolt_function", [](drawing_handle h) { return zolt_function(h, "AllLayerOn", 0); }, -1.0},
        {"zolt_equ", [](drawing_handle h) { return zolt_equ(h, h); }, 0},
        {"zolt_gbig", [](drawing_handle h) { return zolt_gbig(h, 0, 0, 0, 2, 2); }, 0},
        {"zolt_gdxdy", [](drawing_handle h) { return zolt_gdxdy(h, 0, 1, 1); }, 0},
        {"zolt_grota", [](drawing_handle h) { return zolt_grota(h, 0, 0, 0, 10); }, 0},
        {"zolt_gpint", [](drawing_handle h) { return zolt_gpint(h, 0, 1, 1, 0, 0, 9, 9); }, 0},
        {"zolt_gntrn", [](drawing_handle h) { return zolt_gntrn(h, 0, 0, 5); }, 0},
        {"zolt_gpack", [](drawing_handle h) { return zolt_gpack(h, 0, -1, -1); }, -1},
        {"zolt_gbaketu", [](drawing_handle h) { return zolt_gbaketu(h, 0); }, -1},
        {"zolt_gatrn", [](drawing_handle h) { return zolt_gatrn(h, 0, 0, 0, 9, 9); }, -1},
        {"zolt_cboard_copy", [](drawing_handle h) { return zolt_cboard_copy(h, 0); }, -1},
        {"zolt_cboard_paste", [](drawing_handle h) { return zolt_cboard_paste(h, 0); }, -1},
        {"zolt_gptrn", [](drawing_handle h) { return zolt_gptrn(h, 0, 0, 0, 9, 9); }, -1},
        {"zolt_gcltrn", [](drawing_handle h) { return zolt_gcltrn(h, 0, 0, 0, 9, 9, 0, 0); }, -1},
        {"zolt_gsegm", [](drawing_handle h) { return zolt_gsegm(h, 0, 1); }, -1},
        {"zolt_kiritori_by_circle", [](drawing_handle h) { return zolt_kiritori_by_circle(h, 0, 123, 0, 0, 5, 0); }, 0},
        {"zolt_kiritori_by_rect", [](drawing_handle h) { return zolt_kiritori_by_rect(h, 0, 123, 0, 0, 5, 5, 0); }, 0},
        {"zolt_moji_change", [](drawing_handle h) { return zolt_moji_change(h, 0, "a", 0); }, -1},
        {"zolt_move_primitive", [](drawing_handle h) { return zolt_move_primitive(h, 0, 3); }, -1},
        {"zolt_sort_polyline", [](drawing_handle h) { return zolt_sort_polyline(h, 0, -1, -1, rows, rows + 1); }, -1},
        {"zolt_inside_group", [](drawing_handle h) { return zolt_inside_group(h, 0, 0, 1, 0); }, -1},
        {"zolt_delete_delimit_code", [](drawing_handle h) { return zolt_delete_delimit_code(h, 0, -1); }, -1},
        {"zolt_link_lumfont",
         [](drawing_handle h) { return zolt_link_lumfont(h, nullptr, "LINK") == nullptr ? 0.0 : 1.0; }, 0},
        {"zolt_make_window_d", [](drawing_handle h) { return zolt_make_window_d(h, 0, 0, 0, 9, 9, 0, 0, 9, 9); }, 0},
        {"zolt_disp_bscale", [](drawing_handle h) { return zolt_disp_bscale(h, nullptr, "Back"); }, -1},
        {"zolt_fn_mcx", [](drawing_handle h) { return zolt_fn_mcx(h, 1); }, 0},
        {"zolt_fn_mcy", [](drawing_handle h) { return zolt_fn_mcy(h, 1); }, 0},
        {"zolt_fn_mcxr", [](drawing_handle h) { return zolt_fn_mcxr(h, 1); }, 0},
        {"zolt_fn_mcyr", [](drawing_handle h) { return zolt_fn_mcyr(h, 1); }, 0},
        {"zolt_fn_mcl", [](drawing_handle h) { return zolt_fn_mcl(h, 1); }, 0},
        {"zolt_fn_gcx", [](drawing_handle h) { return zolt_fn_gcx(h, 1); }, 0},
        {"zolt_fn_gcy", [](drawing_handle h) { return zolt_fn_gcy(h, 1); }, 0},
        {"zolt_gdisp", [](drawing_handle h) { return zolt_gdisp(h, nullptr, 0, 13, 0); }, -1},
        {"zolt_gdisp_one", [](drawing_handle h) { return zolt_gdisp_one(h, nullptr, 0, 13); }, 0},
        {"zolt_close", [](drawing_handle h) { return zolt_close(h); }, 0},
    };
}

TEST(Exports, EveryForwarderGivesItsFailureValueForABadHandle) {
    kz::crt::GlobalHandle fixed = kz::crt::global_alloc(kz::crt::kGlobalFixed, sizeof(drawing_context));
    lumfont_handle font = lumfont_open();
    for (drawing_handle bad : {drawing_handle{}, drawing_handle{fixed}, drawing_handle{font}})
        for (const Export& e : export_list()) EXPECT_EQ(e.call(bad), e.failure) << e.name;
    kz::crt::global_free(fixed);
    lumfont_close(font);
}

TEST(Exports, ForwardersReachTheirOperations) {
    Drawing d, other;
    drawing_handle h = d.handle();
    auto val = [&](const char* name) { return zolt_get_val(h, name, 0); };
    struct Case {
        const char* name;
        std::function<double()> call;
        double want;
    } cases[] = {
        {"zolt_test", [&] { return zolt_test(h, 5); }, 5},
        {"zolt_set_active in range", [&] { return zolt_set_active(h, 0, 32000, 15, 8); }, 0},
        {"zolt_set_active", [&] { return zolt_set_active(h, 300, 0, 16, 9); }, 0},
        {"active layer, group", [&] { return val("active_layer") * 1e5 + val("active_group"); }, 32000},
        {"active colour, style", [&] { return val("active_color") * 10 + val("active_style"); }, 158},
        {"zolt_line_set", [&] { return zolt_line_set(h, 0, 0, 0, 1, 1); }, 0},
        {"zolt_get_aki", [&] { return zolt_get_aki(h, "link", 0); }, 1},
        {"zolt_make_window_d", [&] { return zolt_make_window_d(h, 0, 0, 0, 100, 100, 0, 0, 1000, 1000); }, 1},
        {"zolt_fn_mcx", [&] { return zolt_fn_mcx(h, 5); }, 50},
        {"zolt_fn_gcy", [&] { return zolt_fn_gcy(h, 50); }, 5},
        {"zolt_function", [&] { return zolt_function(h, "PushLayer", 0); }, 0},
        {"zolt_function unknown", [&] { return zolt_function(h, "NoSuchCommand", 0); }, -1},
        {"zolt_set_val", [&] { return zolt_set_val(h, "active_color", 0, 9); }, 1},
        {"zolt_get_val", [&] { return zolt_get_val(h, "active_color", 0); }, 9},
        {"zolt_get_array unknown", [&] { return zolt_get_array(h, "no_such", nullptr, 0, 0); }, 1},
        {"zolt_init_array unknown", [&] { return zolt_init_array(h, "no_such", 0, 0, 0); }, 0},
        {"zolt_layer_name set", [&] { return zolt_layer_name(h, 4, std::string("walls").data(), 1); }, 5},
        {"zolt_layer_name outside", [&] { return zolt_layer_name(h, 256, std::string(8, '\0').data(), 0); }, 0},
        {"zolt_equ", [&] { return zolt_equ(other.handle(), h); }, 1},
        {"zolt_gbaketu", [&] { return zolt_gbaketu(h, 0); }, 0},
        {"zolt_gbig", [&] { return zolt_gbig(h, 0, 0, 0, 2, 2); }, 1},
        {"zolt_get_val after scale", [&] { return zolt_get_val(h, "c6", 0); }, 2},
        {"zolt_set_execpath", [&] { return zolt_set_execpath(h, "C:\\tools\\"); }, 0},
        {"zolt_gatrn", [&] { return zolt_gatrn(h, 0, 0, 0, 2, 2); }, 0},  // the line goes behind the new end row 0
        {"zolt_gsegm", [&] { return zolt_gsegm(h, 0, 7); }, 0},
        {"zolt_inside_group", [&] { return zolt_inside_group(h, 0, 0, 7, 0); }, -1},
        {"zolt_kiritori_by_circle", [&] { return zolt_kiritori_by_circle(h, 0, 0, 0, 0, 5, 0); }, 1},
        {"zolt_delete_delimit_code", [&] { return zolt_delete_delimit_code(h, 0, -1); }, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.call(), c.want) << c.name;
    char name[16];
    EXPECT_EQ(zolt_layer_name(other.handle(), 4, name, 0), 5);  // copied by zolt_equ
    EXPECT_STREQ(name, "walls");
}

TEST(Exports, TheScenesRoadReadsATextRecord) {
    std::string path = test::fresh_path("road.MPW");
    {
        Drawing d;
        zolt_line_set(d.handle(), 0, 0, 0, 100, 0);
        zolt_moji_set(d.handle(), 0, "\x8c\x9a\x95\xa8 A-1", 0, 0, 0, 10, 10, 0, 0, 0);  // 建物 A-1
        ASSERT_EQ(zolt_write(d.handle(), path.c_str(), 0, 0), 1);
    }
    drawing_handle handle = zolt_open();
    ASSERT_NE(handle, nullptr);
    drawing_context* ctx = zolt_lock(handle);
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(xlum_read(ctx, path.c_str(), 0), 1);
    char text[1024];
    EXPECT_EQ(xlum_getchar(ctx, 1, text), 12);
    EXPECT_STREQ(text, "\x8c\x9a\x95\xa8\x81\x40\x82\x60\x81\x7c\x82\x50");  // held as full-width characters
    zolt_unlock(handle);
    EXPECT_EQ(zolt_getchar(handle, 0, text), 0);  // a line has no text
    EXPECT_EQ(zolt_close(handle), 1);
}

}  // namespace
}  // namespace kz::drawing2d
