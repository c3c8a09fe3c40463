// The part property table on a loaded model: labelled rows, one column read back or set (with and without a
// rebuild), attributes set where a target selects, "atr" lines, subtree counts and sums with their loop guard,
// the filtered area over the table, and the attribute popup of the sample room.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/scene/condition_list.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/dialogs.h"

namespace kz::view::test {
namespace {

using PropertyTable = DocumentTest;
namespace fnd = kz::foundation;

std::string column(XView* view, XLeaves* part, int c) {
    char* text = nullptr;
    view->PartPropertyTable(part, nullptr, nullptr, c, nullptr, 2, &text);
    std::string out = text ? text : "(null)";
    fnd::free_and_null(text);
    return out;
}

double face_area(const XLeaves* part) {
    double sum = 0.0;
    for (const auto* face : part->faces()) sum += face->area;
    return sum;
}

std::string attribute(XTrunk* t, const char* name) {
    char buffer[256];
    return t->GetAttribute(name, buffer, sizeof buffer) == -99 ? "(none)" : buffer;
}

TEST_F(PropertyTable, RowsCarryLabelsAndValues) {
    feed(view,
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,desk\n"
         "box,12.5,0,-3,,,,,,,,,,100,200,30,,,,,,1,10,20,30,,,,0.25,top,,,A;1;,,,,,note,5;7,1;1\n"
         "cylinder,0,0,0,,,,,,,,,,10,10,10,,,,,,1,,,,,,,,pipe\n");
    XTrunk* desk = view->document.trunks[1];
    ASSERT_EQ(desk->part_count(), 3);
    char **labels = nullptr, **values = nullptr;
    ASSERT_EQ(view->PartPropertyTable(desk->parts[1], &labels, &values, 0, nullptr, 1, nullptr), 40);
    // " 0 A " and the shape-name label in Shift_JIS; Z keeps two blanks; two-letter columns one.
    EXPECT_STREQ(labels[0], " 0 A \x8c`\x8f\xf3\x96\xbc");
    EXPECT_EQ(std::string(labels[25]).substr(0, 6), "25  Z ");
    EXPECT_EQ(std::string(labels[26]).substr(0, 6), "26 AA ");
    EXPECT_EQ(std::string(labels[39]).substr(0, 6), "39 AN ");
    EXPECT_EQ(labels[40], nullptr);
    EXPECT_EQ(values[47], nullptr);
    const std::vector<std::pair<int, std::string>> want = {
        {0, "box"},   {1, "12.5"}, {3, "-3"},    {13, "100"}, {15, "30"},
        {22, "10"},   {24, "30"},  {28, "0.25"}, {29, "top"}, {32, "A;1;;;;;;;;;;;;"},
        {37, "note"}, {38, "5;7"}, {39, "1;1"}};
    for (const auto& [c, text] : want) EXPECT_EQ(values[c], text) << c;
    XView::free_property_rows(labels);
    XView::free_property_rows(values);
    // Column 33's label depends on the kind; mode 2 gives one value; no part gives -1.
    char** cylinder = nullptr;
    view->PartPropertyTable(desk->parts[2], &cylinder, nullptr, 0, nullptr, 1, nullptr);
    view->PartPropertyTable(desk->parts[1], &labels, nullptr, 0, nullptr, 1, nullptr);
    EXPECT_STRNE(cylinder[33], labels[33]);
    EXPECT_STREQ(cylinder[32], labels[32]);
    XView::free_property_rows(cylinder);
    XView::free_property_rows(labels);
    EXPECT_EQ(column(view, desk->parts[2], 29), "pipe");
    EXPECT_EQ(view->PartPropertyTable(nullptr, nullptr, nullptr, 0, nullptr, 1, nullptr), -1);
    EXPECT_EQ(view->PartPropertyTable(desk->parts[1], nullptr, nullptr, 40, nullptr, 2, nullptr), -1);  // past the last
    // The scene's read-back form.
    char* text = view->PartPropertyTable(2, desk->parts[1], 0);
    EXPECT_STREQ(text, "box");
    fnd::free_and_null(text);
}

TEST_F(PropertyTable, SettingAColumnRebuildsOrOnlyRetints) {
    feed(view,
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,desk\n"
         "box,0,0,0,,,,,,,,,,100,100,100,,,,,,1,,,,,,,0.25,top\n"
         "box,0,0,0,,,,,,,,,,10,10,10,,,,,,1,,,,,,,,knob,top\n");
    XTrunk* desk = view->document.trunks[1];
    XLeaves* top = desk->parts[1];
    _OfuPosition* model = top->model;
    desk->changed = 0;
    EXPECT_EQ(view->PartPropertyTable(top, nullptr, nullptr, 28, "0.25", 0, nullptr), 39);
    EXPECT_EQ(desk->changed, 0);  // the same transparency changes nothing
    EXPECT_EQ(view->PartPropertyTable(top, nullptr, nullptr, 28, "0.5", 0, nullptr), 39);
    EXPECT_EQ(top->record->trans, 0.5);
    EXPECT_EQ(top->model, model);  // no rebuild
    EXPECT_NE(desk->changed, 0);

    desk->changed = 0;
    EXPECT_EQ(view->PartPropertyTable(top, nullptr, nullptr, 13, "250", 0, nullptr), 40);
    EXPECT_NE(desk->changed, 0);
    EXPECT_EQ(top->record->w, 250);
    EXPECT_DOUBLE_EQ(face_area(top), 2 * (250.0 * 100 + 250.0 * 100 + 100.0 * 100));
    EXPECT_EQ(view->display.edit_flag, 0);

    // A new name renames: the part hanging on it follows.
    EXPECT_EQ(view->PartPropertyTable(top, nullptr, nullptr, 29, "plate", 0, nullptr), 40);
    EXPECT_STREQ(top->record->name, "plate");
    EXPECT_STREQ(desk->parts[2]->record->parent_name, "plate");

    // The shadow column: mode 1 for the part pushes "casts no shadow" to its model.
    EXPECT_EQ(view->PartPropertyTable(desk->parts[0], nullptr, nullptr, 39, "1;0", 0, nullptr), 40);
    EXPECT_EQ(desk->base_record()->shadow_mode, 1);
    CO3duPrimitive primitive;
    view->output.bridge->modeller->GetPrimitive(top->model, primitive, O3DU_PRIM_DRAW_MODE);
    EXPECT_NE(primitive.draw_mode & O3DU_DRAW_NO_SHADOW, 0);

    // Text columns go through the record's own readers.
    view->PartPropertyTable(top, nullptr, nullptr, 0, "ball", 0, nullptr);
    EXPECT_EQ(top->record->kind, kz::scene::kKindBall);
    view->PartPropertyTable(top, nullptr, nullptr, 38, "4;9", 0, nullptr);
    EXPECT_EQ(column(view, top, 38), "4;9");
}

TEST_F(PropertyTable, AttributeSetsFollowTheTarget) {
    feed(view,
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,room\n{\n"
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,a\natr\tkind\tchair\t\t[a]\tprice\t5\t\t[a]\n"
         "box,0,0,0,,,,,,,,,,1,1,1,,,,,,1,,,,,,,,seat\n"
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,b\natr,kind,table[a]\n}\n");
    XTrunk* room = view->document.trunks[1];
    XTrunk* a = view->document.trunks[2];
    XTrunk* b = view->document.trunks[3];
    // "atr" lines take effect as they are read.
    EXPECT_EQ(attribute(a, "price"), "5");
    EXPECT_EQ(attribute(b, "kind"), "table[a]");  // a marker right after a field stays in it

    auto run = [&](const char* target, const char* name, const char* value, int mode, XTrunk* from) {
        kz::scene::ConditionList list;
        kz::scene::init_condition_list(&list);
        kz::scene::parse_condition(&list, target, 0, static_cast<int>(std::strlen(target)), -1, -1, -1);
        const int n = view->ApplyAttributeSetTree(from, &list, name, value, "", mode);
        kz::scene::free_condition_list(&list);
        return n;
    };
    EXPECT_EQ(run("kind=chair", "price", "7", 1, room), 1);  // a value is there already
    EXPECT_EQ(attribute(a, "price"), "5");
    EXPECT_EQ(run("kind=chair", "colour", "red", 1, room), 1);
    EXPECT_EQ(attribute(a, "colour"), "red");
    EXPECT_EQ(run("*=x", "price", "9", 0, room), 3);
    EXPECT_EQ(attribute(room, "price"), "9");
    EXPECT_EQ(attribute(b, "price"), "9");
    a->changed = 0;
    EXPECT_EQ(run("kind=chair(seat)", "price", "8", 2, room), 1);
    EXPECT_EQ(attribute(a, "price"), "8");
    EXPECT_EQ(a->changed, 0);                                         // stored without the change mark
    EXPECT_EQ(run("kind=chair(nothing)", "price", "1", 0, room), 0);  // selects no part
    b->shown = 0;
    EXPECT_EQ(run("*=x", "price", "2", 0, room), 2);  // a hidden item is left alone
    EXPECT_EQ(attribute(b, "price"), "9");
    b->shown = 1;
    for (XTrunk* t : {room, a, b}) t->changed = 0;
    EXPECT_EQ(run("kind=table[a]", "price", "", 3, room), 1);
    EXPECT_EQ(attribute(b, "price"), "(none)");
    EXPECT_NE(b->changed, 0);
}

TEST_F(PropertyTable, CountsSumsDigitsAndTheLoopGuard) {
    feed(view,
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,shop\n{\n"
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,c1\natr\tkind\tchair\t\t[a]\tprice\t10.25\t\t[a]\n{\n"
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,c2\natr\tkind\tchair\t\t[a]\tprice\t5\t\t[a]\n}\n"
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,c3\natr\tkind\tchair\t\t[a]\n"
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,t1\natr\tkind\ttable\t\t[a]\tprice\t100\t\t[a]\n}\n");
    XTrunk* shop = view->document.trunks[1];
    shop->SetAttribute("kind", "chair", "");
    const std::pair<const char*, const char*> cases[] = {
        {"=count;kind=chair;", "4"},  // three chairs below and the shop itself
        {"=count;kind=chair;;;2", "4.00"},
        {"=count;;price", "3"},
        {"=sum;kind=chair;price;;0", "15"},
        {"=sum;;price;;1", "115.3"},
        {"=sum;;price", "115.25"},
        {"=count;kind=table;;#name=c1", "0"},  // the top item is c1: no table below it
        {"plain", "old"},
    };
    for (const auto& [expression, value] : cases) {
        shop->DeleteAttribute("n");
        shop->SetAttribute("n", "old", expression);
        EXPECT_EQ(attribute(shop, "n"), value) << expression;
    }
    EXPECT_EQ(XView::ParseResultDigits("=sum;a;b;c") + XView::ParseResultDigits("=sum;a;b;c;"), 198);
    EXPECT_EQ(XView::ParseResultDigits("=sum;a;b;c;-2x"), -2);

    // Two items summing each other's total: the loop is reported and the value kept.
    XTrunk* c1 = view->document.trunks[2];
    XTrunk* t1 = view->document.trunks[5];
    c1->SetAttribute("total", "1", "=sum;;other;#name=t1");
    t1->SetAttribute("other", "2", "=sum;;total;#name=c1");
    kz::platform::set_dialog_test_mode(true);
    kz::platform::take_dialog_test_log();
    attribute(c1, "total");
    const std::vector<std::string> log = kz::platform::take_dialog_test_log();
    kz::platform::set_dialog_test_mode(false);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("count,sum"), std::string::npos);
    EXPECT_TRUE(view->document.attribute_evals.empty() && !view->document.last_top_trunk);
}

TEST_F(PropertyTable, AreaFilterSelectsPartsByTheirTableColumns) {
    // Faces: p1 60000, p2 2200, p3 600 square millimetres; columns B (dx), AE (elder) and AL (comment).
    feed(view,
         "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,desk\n"
         "box,dx=150,w=100,d=100,h=100,name=p1,elder=WALL,comment=stainless steel\n"
         "box,dx=90,w=10,d=20,h=30,name=p2,elder=wall,comment=steel\n"
         "box,dx=300,w=10,d=10,h=10,name=p3,elder=floor,comment=wood\n");
    XTrunk* desk = view->document.trunks[1];
    const std::pair<const char*, const char*> cases[] = {
        {"=calc;area;2;cm;;", "628.00"},
        {"=calc;area;0;mm;;AL(PEQ)steel", "62200"},
        {"=calc;area;0;mm;;AL(peq)steel", "0"},                 // operator words keep their case
        {"=calc;area;0;mm;;B(gt)100:and)AE(EQ)wall", "60000"},  // both must hold
        {"=calc;area;0;mm;;AL(EQ)wood:AE(NEQ)floor", "600"},    // a later term without its joiner drops
        {"=calc;area;0;mm;;B(lt)100:and)AL(PEQ)steel:and)AE(LE)WALL", "2200"},
        {"=calc;area;3;;2000-2000;", "0.010"},            // tops only, in square metres
        {"=calc;area;0;mm;5000.6000;B(gt)100", "20200"},  // fronts and backs of p1 and p3
        {"=calc;area;0;mm;;B(gt)150", "600"},             // strictly greater: p1's 150 is out
        {"=calc;area;;CM;;AE(GE)w", "622"},
    };
    for (const auto& [expression, value] : cases) {
        desk->SetAttribute("a", "", expression);
        desk->UpdateCalcAttributes();
        EXPECT_EQ(attribute(desk, "a"), value) << expression;
        desk->DeleteAttribute("a");
    }
    for (const XLeaves* part : desk->parts) EXPECT_FALSE(part->holds_faces()) << "the sums keep no faces";
}

TEST_F(PropertyTable, AttributePopupOfTheSampleRoom) {
    view->LayoutWindows(160, 120);
    const char* dir = std::getenv("KZ_SOURCE_DIR");
    std::string path = std::string("Z:") + (dir ? dir : ".") + "/examples/sample-room/room.fig";
    for (char& c : path)
        if (c == '/') c = '\\';
    ASSERT_EQ(view->OpenModel(path.c_str()), 1);
    clock->advance(static_cast<std::int64_t>(view->camera.eye_move_time * 1000) + 1);
    SystemTime now;
    view->GetClockTime(&now);
    view->StepCameraMove(now);
    view->Redraw(0);
    ASSERT_GT(item_named("table"), 0);
    XTrunk* table = view->document.trunks[item_named("table")];
    table->SetAttribute("maker", "oak & co", "");
    table->SetAttribute("mark", "\033c\033[2J", "");
    table->SetAttribute("#frefer", "Z:\\tmp\\\x95\x5c.fig", "");
    table->SetAttribute("unset", "", "=calc;weight");  // no value: no row
    // A window point on one of the table's parts, found with the pick the popup itself uses.
    kz::platform::Point on_table{-1, -1};
    for (int y = 2; y < 120 && on_table.x < 0; y += 4)
        for (int x = 2; x < 160 && on_table.x < 0; x += 4) {
            const std::uint64_t packed = std::uint64_t(std::uint32_t(x)) | (std::uint64_t(std::uint32_t(y)) << 32);
            _OfuPosition* hit = view->output.bridge->HitTestShape(packed);
            for (const XLeaves* part : table->parts)
                if (hit && part->model == hit) on_table = {x, y};
        }
    ASSERT_GE(on_table.x, 0) << "the table is not in view";
    view->ShowAttributePopup(on_table, 2);
    EXPECT_TRUE(kz::platform::is_window_visible(view->output.comment_window));
    EXPECT_NE(view->output.comment_text.find("#name"), std::string::npos) << view->output.comment_text;
    EXPECT_NE(view->output.comment_text.find("table"), std::string::npos);
    EXPECT_NE(view->output.comment_text.find("oak & co"), std::string::npos);
    EXPECT_EQ(view->output.comment_text.find("unset"), std::string::npos);
    // A control in a value shows as its escape, drawn and in the popup's title.
    EXPECT_NE(view->output.comment_text.find("\\x1Bc\\x1B[2J"), std::string::npos) << view->output.comment_text;
    EXPECT_EQ(kz::platform::window_text(view->output.comment_window), view->output.comment_text);
    // The unit's file by its native path, in the popup's Shift_JIS.
    EXPECT_NE(view->output.comment_text.find("/tmp/\x95\x5c.fig"), std::string::npos) << view->output.comment_text;
    // The attribute popup's type: 16 pixels high, 2 between lines, margins of 8.
    const std::string& rows = view->output.comment_text;
    int lines = 1;
    for (std::size_t at = rows.find("__"); at != std::string::npos; at = rows.find("__", at + 2)) ++lines;
    const kz::platform::Rect popup = kz::platform::window_rect(view->output.comment_window);
    EXPECT_EQ(popup.bottom - popup.top, (2 + 16) * lines + 16);

    // An item without attributes hides the popup.
    char* text = fnd::set_heap_string(nullptr, "old", nullptr, -1);
    const int bare = add_item(0, nullptr);
    view->document.trunks[bare]->base_record()->name =
        fnd::free_and_null(view->document.trunks[bare]->base_record()->name);
    EXPECT_EQ(view->ItemAttributeList(text, view->document.trunks[bare]), nullptr);
    EXPECT_FALSE(kz::platform::is_window_visible(view->output.comment_window));
    EXPECT_TRUE(view->output.comment_text.empty());
}

}  // namespace
}  // namespace kz::view::test
