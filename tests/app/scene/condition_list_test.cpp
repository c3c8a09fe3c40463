// Conditions end to end: texts parsed into terms and evaluated against a small item tree with attributes; which
// items match, which part each selects, and the subtree a prefix asks callers to search.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/scene/condition_list.h"
#include "bridged_view.h"

namespace kz::scene {
namespace {

// root ─ a (type=door, size=150, kind=chair; parts: handle, panel)
//      ├ b (type=DOOR, size=50, kind=table; part: handle)
//      └ c (size=abc, x=; parts door, handle, p3, p4) ─ d (#id 7)
class Conditions : public ::testing::Test {
public:
    void SetUp() override {
        root = view.add_trunk("root");
        a = view.add_trunk("a");
        b = view.add_trunk("b");
        c = view.add_trunk("c");
        d = view.add_trunk("d", c);
        for (const char* n : {"handle", "panel"}) view.add_shape(a, ("box,w=1,d=1,h=1,name=" + std::string(n)).c_str());
        view.add_shape(b, "box,w=1,d=1,h=1,name=Handle");
        for (const char* n : {"door", "handle", "p3", "p4"})
            view.add_shape(c, ("box,w=1,d=1,h=1,name=" + std::string(n)).c_str());
        a->SetAttribute("type", "door", "");
        a->SetAttribute("size", "150", "");
        a->SetAttribute("kind", "chair", "");
        b->SetAttribute("type", "DOOR", "");
        b->SetAttribute("size", "50", "");
        b->SetAttribute("kind", "table", "");
        c->SetAttribute("size", "abc", "");
        c->SetAttributeByIndex(-1, "x", "", "e");  // present with an empty value
        d->id = 7;
    }

    struct Selection {
        std::vector<std::string> items;  // matching items
        std::vector<int> parts;          // the part each selects
    };
    // Parsed as if written in item `own` (part own_part), evaluated over the whole tree.
    Selection select(const char* text, XTrunk* own, int own_part = 2) {
        ConditionList list;
        init_condition_list(&list);
        parse_condition(&list, text, 0, static_cast<int>(std::strlen(text)), own ? own->index : -1, own_part,
                        own && own->parent ? own->parent->index : -1);
        Selection s;
        for (XTrunk* t : {root, a, b, c, d})
            if (t->MatchTarget(&list)) {
                s.items.push_back(t->base_record()->name);
                s.parts.push_back(t->FindTargetPart(&list));
            }
        free_condition_list(&list);
        return s;
    }

    test::BridgedView view{false};
    XTrunk *root = nullptr, *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
};

// What evaluation cannot tell apart: operator precedence among the forms, the part-name forms, the flags.
TEST(ConditionParse, OperatorFormsPartNamesAndFlags) {
    struct Case {
        const char* text;
        std::string terms;  // left|right|code|joiner per term
        const char* part_name;
        int empty;
    };
    std::string many = "t0=0";
    for (int k = 1; k < 40; ++k) many += ".or.t" + std::to_string(k) + "=" + std::to_string(k);
    const Case cases[] = {
        {"kind=x:leg;rest", "kind|x|11|1 ", "leg", 0},
        {"a.==.b.or.c.!=.d.and.e!=f", "a|b|11|1 c|d|12|0 e|f|12|1 ", "", 0},
        {"n.ge.1.and.t.LE.z.or.w.NE.q", "n|1|3|1 t|z|15|1 w|q|12|0 ", "", 0},
        {"-+", "||0|0 ", "", 1},
        {"#TOP(ignored)", "#top||0|0 ", nullptr, 0},
        {many.c_str(), "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ConditionList list;
        init_condition_list(&list);
        parse_condition(&list, c.text, 0, static_cast<int>(std::strlen(c.text)), 3, 2, 1);
        std::string terms;
        for (int k = 0; k < list.term_count; ++k)
            terms += std::string(list.left[k]) + "|" + list.right[k] + "|" + std::to_string(list.operators[k]) + "|" +
                     std::to_string(list.joiners[k]) + " ";
        if (c.text == many) {
            ASSERT_EQ(list.term_count, 40);
            EXPECT_STREQ(list.right[39], "39");
        } else {
            EXPECT_EQ(terms, c.terms);
        }
        if (c.part_name)
            EXPECT_STREQ(list.part_name, c.part_name);
        else
            EXPECT_EQ(list.part_name, nullptr);
        EXPECT_EQ(list.empty, c.empty);
        free_condition_list(&list);
    }
}

TEST(ConditionParse, PrefixesSetTheSearchRootAndFieldsStopAtTheirSeparator) {
    struct Case {
        const char* text;
        int own, parent, root;
    };
    for (const Case& c : {Case{"-(lamp)", 4, 2, 4}, Case{"+(lamp)", 4, 2, 2}, Case{"-+(lamp)", 4, 2, 2},
                          Case{"-(lamp)", 0, -1, 0}, Case{"+(lamp)", 4, 0, 0}, Case{"lamp", 4, 2, 0}}) {
        SCOPED_TRACE(c.text);
        ConditionList list;
        init_condition_list(&list);
        parse_condition(&list, c.text, 0, static_cast<int>(std::strlen(c.text)), c.own, 1, c.parent);
        EXPECT_EQ(list.search_root, c.root);
        EXPECT_STREQ(list.part_name, "lamp");
        free_condition_list(&list);
    }
    // A command line: each field parsed on its own, the text unchanged afterwards.
    char line[] = "type=door(knob)\tkind=chair,last";
    const std::string before = line;
    int start = 0, length = 0;
    const char* want[] = {"knob", "chair", "last"};
    const int next[] = {16, 27, -1};
    for (int f = 0; f < 3; ++f) {
        ConditionList list;
        init_condition_list(&list);
        const int after = parse_condition_field(&list, line, &start, &length, 1, 0, 0);
        EXPECT_EQ(after, next[f]);
        EXPECT_STREQ(f == 1 ? list.right[0] : list.part_name, want[f]);
        free_condition_list(&list);
        start = after;
    }
    EXPECT_EQ(std::string(line), before);
}

TEST_F(Conditions, ItemsAndPartsSelected) {
    struct Case {
        const char* text;
        XTrunk* Conditions::*own;
        std::vector<std::string> items;
        std::vector<int> parts;
    };
    const Case cases[] = {
        // A bare word names a part of the condition's own item only.
        {"door", &Conditions::c, {"c"}, {1}},
        {"door", &Conditions::a, {"a"}, {-1}},
        // Every item whose type is door in any case; the part named handle in each.
        {"type=door(handle)", &Conditions::c, {"a", "b"}, {1, 1}},
        // Without a part name: the base part, the own part for the own item.
        {"type=door", &Conditions::a, {"a", "b"}, {2, 0}},
        {"type=door(trunk)", &Conditions::a, {"a", "b"}, {0, 0}},
        {"type=door(*)", &Conditions::a, {"a", "b"}, {-3, -2}},
        {"(*)", &Conditions::c, {"c"}, {-5}},
        // No precedence: ((size > 100) and chair) or table, and (false or true) and false.
        {"size.gt.100.and.kind=chair.or.kind=table", &Conditions::c, {"a", "b"}, {0, 0}},
        {"size.gt.150", &Conditions::c, {}, {}},
        {"size.ge.150", &Conditions::c, {"a"}, {0}},
        // Each comparison at the equal value: numbers, and texts in any case.
        {"size.le.50", &Conditions::c, {"b"}, {0}},
        {"size.lt.50.or.size.gt.150", &Conditions::c, {}, {}},
        {"kind.GE.TABLE", &Conditions::c, {"b"}, {0}},
        {"kind.LE.chair", &Conditions::c, {"a"}, {0}},
        {"kind.LT.Chair.or.kind.GT.table", &Conditions::c, {}, {}},
        {"kind=table.or.kind=chair.and.size.gt.100", &Conditions::c, {"a"}, {0}},
        {"kind=sofa.or.kind=chair.and.size.lt.100", &Conditions::c, {}, {}},
        {"type!=door", &Conditions::c, {}, {}},
        {"kind.NE.chair", &Conditions::c, {"b"}, {0}},
        // A value that is no number is equal to none and unequal to all.
        {"size.eq.0", &Conditions::c, {}, {}},
        {"size.ne.150", &Conditions::c, {"b", "c"}, {0, 2}},
        {"#id.eq.7.0", &Conditions::c, {"d"}, {0}},
        {"#id.EQ.7.0", &Conditions::c, {}, {}},
        {"#id=7", &Conditions::c, {"d"}, {0}},
        {"x=*", &Conditions::a, {"c"}, {0}},
        {"#top", &Conditions::a, {"root"}, {0}},
        // A bare "*" is a part name: every part of the own item; a "*" left side holds everywhere.
        {"*", &Conditions::a, {"a"}, {-3}},
        {"*=any", &Conditions::a, {"root", "a", "b", "c", "d"}, {0, 2, 0, 0, 0}},
        {"", &Conditions::b, {"b"}, {2}},
        {"type.GT.dooq", &Conditions::c, {"a", "b"}, {0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        const Selection s = select(k.text, this->*k.own);
        EXPECT_EQ(std::tuple(s.items, s.parts), std::tuple(k.items, k.parts));
    }
    // "#id" equality is numeric, every other text equality ignores case.
    EXPECT_EQ(d->AttributeEquals("#ID", "7abc"), 1);
    EXPECT_EQ(b->AttributeEquals("TYPE", "door"), 1);
    EXPECT_EQ(b->AttributeEquals("type", "doors") + b->AttributeEquals("missing", "-"), 0);
    // A list without terms selects only its own item (none here), and reads no term.
    const ConditionList none;
    EXPECT_EQ(b->MatchTarget(&none), 0);
}

}  // namespace
}  // namespace kz::scene
