// An item's attributes, the "=calc" measures and the shares of the subtree totals.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "bridged_view.h"

namespace kz::scene {
namespace {

std::string get(XTrunk* t, const char* name, int* result = nullptr) {
    char buffer[256];
    const int r = t->GetAttribute(name, buffer, sizeof buffer);
    if (result) *result = r;
    return buffer;
}

std::vector<std::string> rows(XTrunk* t) {
    std::vector<std::string> out;
    for (int i = 0; i < t->attributes.count(); ++i) {
        const AttributeRecord& r = t->attributes[i];
        out.push_back(std::string(r.name) + "=" + r.value + "|" + r.expression);
    }
    return out;
}

class Attributes : public ::testing::Test {
protected:
    void SetUp() override {
        root = view.add_trunk("root");
        item = view.add_trunk("item");
    }
    test::BridgedView view{false};
    XTrunk* root = nullptr;
    XTrunk* item = nullptr;
};

TEST_F(Attributes, SetAttributeRules) {
    struct Step {
        const char* name;
        const char* value;
        const char* expression;
        std::vector<std::string> after;
    };
    const Step steps[] = {
        {"price.unit", "yen", "", {"price=|yen"}},
        {"PRICE", "120", "", {"price=120|yen"}},  // any case finds it; name and expression stay
        {"price", "#=", "=calc;volume", {"price=120|=calc;volume"}},
        {"price", "5", "#=", {"price=5|=calc;volume"}},
        {"total", "", "'=sum;;price;;2", {"price=5|=calc;volume", "total=|=sum;;price;;2"}},
        {"empty", "", "", {"price=5|=calc;volume", "total=|=sum;;price;;2"}},  // nothing to store
        {"gone", "#del", "", {"price=5|=calc;volume", "total=|=sum;;price;;2"}},
        {"price", "#DEL", "", {"total=|=sum;;price;;2"}},
        {"", "x", "y", {"total=|=sum;;price;;2"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.name) + " " + s.value);
        item->SetAttribute(s.name, s.value, s.expression);
        EXPECT_EQ(rows(item), s.after);
    }
}

TEST_F(Attributes, SystemAttributesLiveInTheItemAndItsBaseRecord) {
    COBJECTA& base = *item->base_record();
    item->SetAttribute("#type", "desk", "ignored");
    item->SetAttribute("#SW", "3x", "");
    item->SetAttribute("#sysf", "12", "");
    item->SetAttribute("#layer", "L1", "");
    item->SetAttribute("#frefer", "u.fig", "");
    item->SetAttribute("#name", "renamed", "");
    EXPECT_STREQ(base.frefer, "C:\\unit\\u.fig");  // stored resolved
    EXPECT_EQ(item->attributes.count(), 0);
    int r1 = 0, r2 = 0, r3 = 0;
    EXPECT_EQ(get(item, "#Layer", &r1), "L1");
    item->SetAttribute("#layer", "#del", "");
    EXPECT_EQ(base.layer, nullptr);
    EXPECT_EQ(get(item, "#layer", &r2) + get(item, "nothing", &r3), "--");
    EXPECT_EQ(std::vector<int>({r1, r2, r3}), std::vector<int>({-1, -1, -99}));

    // Rows 0..9 in key order, "#frefer" relative again, then the user rows.
    item->SetAttribute("note", "n1", "e1");
    char **names = nullptr, **values = nullptr, **expressions = nullptr;
    const int n = item->CollectAttributes(&names, &values, &expressions);
    std::string collected;
    for (int i = 0; i < n; ++i) collected += std::string(names[i]) + "=" + values[i] + "|" + expressions[i] + " ";
    EXPECT_EQ(collected,
              "#id=0| #type=desk| #party=| #name=renamed| #frefer=u.fig| #frmode=| #sw=3| #layer=| "
              "#sysf=12| #group=| note=n1|e1 ");
    free_attribute_rows(names, values, expressions, n);

    // A copy takes the system values and the user rows; its own user rows go first.
    XTrunk* other = view.add_trunk("other");
    other->SetAttribute("old", "1", "");
    other->CopyAttributesFrom(item);
    EXPECT_EQ(rows(other), (std::vector<std::string>{"note=n1|e1"}));
    EXPECT_EQ(std::tuple(std::string(other->base_record()->frefer), other->sw), std::tuple("C:\\unit\\u.fig", 3));
}

TEST_F(Attributes, DefaultsIndexesDeletesAndSort) {
    item->SetAttributeDefault("#id", "42", "");
    item->SetAttributeDefault("#id", "43", "");
    EXPECT_EQ(std::tuple(item->id, item->attributes.count()), std::tuple(42, 0));
    item->SetAttributeDefault("b", "1", "e");
    item->SetAttributeDefault("b", "2", "f");
    EXPECT_EQ(rows(item), (std::vector<std::string>{"b=1|e"}));

    item->SetAttributeByIndex(99, "#new item", "", "");
    item->SetAttributeByIndex(-1, "a", "3", "");
    EXPECT_EQ(rows(item), (std::vector<std::string>{"b=1|e", "#new item=|", "a=3|"}));
    item->SortAttributes();
    EXPECT_EQ(rows(item), (std::vector<std::string>{"a=3|", "#new item=|", "b=1|e"}));
    // A rename onto another row's name is refused; a rename onto its own name in another case is not.
    EXPECT_EQ(item->SetAttributeByIndex(10, "B", "9", ""), 0);
    EXPECT_EQ(item->SetAttributeByIndex(10, "A", "4", "x"), 1);
    EXPECT_EQ(rows(item), (std::vector<std::string>{"A=4|x", "#new item=|", "b=1|e"}));
    // System rows by index: an empty id or name is ignored.
    item->SetAttributeByIndex(0, "#id", "", "");
    item->SetAttributeByIndex(3, "#name", "", "");
    EXPECT_EQ(std::tuple(item->id, std::string(item->base_record()->name)), std::tuple(42, "item"));
    item->SetAttributeByIndex(11, "", "", "");  // an empty name deletes the row
    EXPECT_EQ(item->DeleteAttribute("nothing"), 2);
    EXPECT_EQ(item->DeleteAttribute("b"), 1);
    EXPECT_EQ(item->DeleteAttributeAt(0), 0);
}

TEST_F(Attributes, MeasuresAreComputedAndTemporaryRowsDropped) {
    for (const char* line :
         {"box,w=1000,d=700,h=100,name=p1", "box,w=10,d=20,h=30,name=p2,elder=p1", "box,w=10,d=10,h=10,name=p3"})
        view.add_shape(item, line);
    item->parts[1]->volume = 2e9, item->parts[2]->volume = 5e8, item->parts[3]->volume = 0;
    // The surface is the faces' own: 1.74e6 + 2200 + 600 square millimetres.
    item->parts[1]->length = 1234.5;  // p1 hangs on no other part; p2 hangs on p1
    item->SetAttribute("vol", "", "=calc;volume;2");
    item->SetAttribute("len", "", "=calc;length;");
    item->SetAttribute("sur", "", "=CALC;surface;0");
    item->SetAttribute("tmp", "", "[ImageArea]");
    item->SetAttribute("other", "kept", "=calc;weight;2");
    view.change_lock = 0;
    item->UpdateCalcAttributes();
    EXPECT_EQ(rows(item), (std::vector<std::string>{"vol=2.50|=calc;volume;2", "len=1.2345|=calc;length;",
                                                    "sur=2|=CALC;surface;0", "other=kept|=calc;weight;2"}));
    // The lock covers the update only: later edits are marked again.
    EXPECT_EQ(view.change_lock, 0);
}

TEST_F(Attributes, CountAndSumSharesAndTheTopItem) {
    XTrunk* chair = view.add_trunk("chair", item);
    chair->SetAttribute("kind", "chair", "");
    chair->SetAttribute("price", "12.5", "");
    XTrunk* table = view.add_trunk("table");
    table->SetAttribute("kind", "table", "");
    // The root never counts; a target or a missing attribute leaves an item out; only count and sum exist.
    const double shares[] = {root->EvalCountSum("=count;;"),
                             chair->EvalCountSum("=count;;"),
                             item->EvalCountSum("=;;"),
                             table->EvalCountSum("=count;kind=chair;"),
                             table->EvalCountSum("=count;;price"),
                             chair->EvalCountSum("=sum;;price"),
                             table->EvalCountSum("=SUM;;price"),
                             chair->EvalCountSum("=avg;;price"),
                             chair->EvalCountSum("count;;")};
    EXPECT_EQ(std::vector<double>(std::begin(shares), std::end(shares)),
              (std::vector<double>{0, 1, 1, 0, 0, 12.5, 0, 0, 0}));
    EXPECT_EQ(std::tuple(XTrunk::IsCountSumExpression("=Count;x"), XTrunk::IsCountSumExpression("=counts;x")),
              std::tuple(true, false));
    EXPECT_EQ(chair->FindTrunkForExpression("=count;;price;"), chair);
    EXPECT_EQ(chair->FindTrunkForExpression("=count;;price;kind=table"), table);
    EXPECT_EQ(chair->FindTrunkForExpression("=count;;price;kind=sofa"), chair);
    // Tops that read attributes whose own tops read them again: the search ends.
    for (XTrunk* t : {root, item, chair, table}) t->SetAttribute("x", "1", "=count;;;x=2");
    EXPECT_EQ(get(table, "x"), "1");
}

}  // namespace
}  // namespace kz::scene
