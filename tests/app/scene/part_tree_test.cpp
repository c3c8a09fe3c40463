// The part tree: placement against matrices built independently with Eigen, moves, show and hide, highlights.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/scene/xleaf.h"
#include "bridged_view.h"
#include "record_compare.h"

namespace kz::scene {
namespace {

using Eigen::Affine3d;
using Eigen::AngleAxisd;
using Eigen::Vector3d;

constexpr double kDeg = 3.141592653589793 / 180.0;

// Column-vector form of the ops "y, x, z, M": turn about y, then x, then z, then move.
Affine3d placed(const Vector3d& move, const Vector3d& turn) {
    Affine3d m = Affine3d::Identity();
    m.translate(move);
    m.rotate(AngleAxisd(turn.z() * kDeg, Vector3d::UnitZ()));
    m.rotate(AngleAxisd(turn.x() * kDeg, Vector3d::UnitX()));
    m.rotate(AngleAxisd(turn.y() * kDeg, Vector3d::UnitY()));
    return m;
}

// A shape's origin: move by minus the offset, then turn y, x, z.
Affine3d shape_origin(const Vector3d& offset, const Vector3d& turn) {
    Affine3d m = Affine3d::Identity();
    m.rotate(AngleAxisd(turn.z() * kDeg, Vector3d::UnitZ()));
    m.rotate(AngleAxisd(turn.x() * kDeg, Vector3d::UnitX()));
    m.rotate(AngleAxisd(turn.y() * kDeg, Vector3d::UnitY()));
    m.translate(-offset);
    return m;
}

bool close_to(const Vector3d& got, const Vector3d& want) { return (got - want).norm() <= 1e-9 * (1.0 + want.norm()); }

Vector3d row_transform(const double* m, const Vector3d& p) {
    double in[3] = {p.x(), p.y(), p.z()}, out[3];
    kz::foundation::transform_point(out, in, m);
    return {out[0], out[1], out[2]};
}

void set_placement(COBJECTA& r, const Vector3d& d, const Vector3d& t, const Vector3d& od, const Vector3d& ot) {
    r.dx = d.x(), r.dy = d.y(), r.dz = d.z();
    r.rx = t.x(), r.ry = t.y(), r.rz = t.z();
    r.odx = od.x(), r.ody = od.y(), r.odz = od.z();
    r.orx = ot.x(), r.ory = ot.y(), r.orz = ot.z();
}

TEST(PartTree, ThreeLevelPlacementMatchesIndependentMatrices) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XTrunk* a = view.add_trunk("a");
    const Vector3d dA(120, -40, 15), tA(10, 25, 70), oA(5, 7, -3), qA(-15, 5, 30);
    set_placement(*a->base_record(), dA, tA, oA, qA);
    XLeaves* arm = view.add_shape(a, "box,w=10,d=10,h=10,name=arm");
    const Vector3d dArm(30, 5, 12), tArm(40, -20, 15), oArm(2, -1, 4), qArm(0, 35, -10);
    set_placement(*arm->record, dArm, tArm, oArm, qArm);
    arm->placement_valid = 0;

    XTrunk* b = view.add_trunk("b", a);
    const Vector3d dB(-8, 60, 3), tB(-30, 12, 95), oB(1, 2, 3), qB(20, 0, -45);
    set_placement(*b->base_record(), dB, tB, oB, qB);
    b->base_record()->parent_name = kz::foundation::set_heap_string(nullptr, "ARM", nullptr, -1);
    XLeaves* s = view.add_shape(b, "box,w=10,d=10,h=10,name=s");
    const Vector3d dS(4, 5, 6), tS(15, 30, 45), oS(-2, 3, 1), qS(10, -20, 5);
    set_placement(*s->record, dS, tS, oS, qS);
    s->placement_valid = 0;
    XLeaves* t = view.add_shape(b, "box,w=10,d=10,h=10,name=t,elder=s,dx=3,rz=90");
    root->RecalcMatrices(1);

    // Trunk base: L = O^-1 . P, with P hung on the named part's Q; shape: L = O x P x B.
    const Affine3d L_a = placed(dA, tA) * placed(oA, qA).inverse();
    const Affine3d Q_arm = L_a * placed(dArm, tArm);
    const Affine3d L_arm = Q_arm * shape_origin(oArm, qArm);
    const Affine3d P_b = Q_arm * placed(dB, tB);
    const Affine3d L_b = P_b * placed(oB, qB).inverse();
    const Affine3d L_s = L_b * placed(dS, tS) * shape_origin(oS, qS);
    const Affine3d L_t = L_b * placed(dS, tS) * placed({3, 0, 0}, {0, 0, 90});
    const struct {
        const char* name;
        const double* got;
        Matrix16 got_inverse;
        Affine3d want;
    } cases[] = {{"trunk a", a->base()->L, a->base()->L_inverse(), L_a},
                 {"arm", arm->L, arm->L_inverse(), L_arm},
                 {"trunk b", b->base()->L, b->base()->L_inverse(), L_b},
                 {"s", s->L, s->L_inverse(), L_s},
                 {"t on s", t->L, t->L_inverse(), L_t}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        for (const Vector3d& p : {Vector3d(0, 0, 0), Vector3d(10, -3, 7), Vector3d(-50, 20, 100)}) {
            const Vector3d want = tc.want * p;
            EXPECT_TRUE(close_to(row_transform(tc.got, p), want)) << row_transform(tc.got, p).transpose();
            EXPECT_TRUE(close_to(row_transform(tc.got_inverse.data(), want), p));
        }
    }
    // A face's world matrix carries its own outline onto the shape's corners in the world.
    const XLeaf& bottom = *s->faces()[0];
    double corner[3];
    bottom.ShapePoint(0, corner);
    const Vector3d world =
        row_transform(bottom.world().data(), {bottom.local_point(0)[0], bottom.local_point(0)[1], 0});
    EXPECT_TRUE(close_to(world, L_s * Vector3d(corner[0], corner[1], corner[2])));

    // The shape hanging on s follows it when s moves.
    s->SetParameter(1, dS.x() + 100);
    root->RecalcMatrices(1);
    const Affine3d L_t_moved = L_b * placed(dS + Vector3d(100, 0, 0), tS) * placed({3, 0, 0}, {0, 0, 90});
    EXPECT_TRUE(close_to(row_transform(t->L, {1, 2, 3}), L_t_moved * Vector3d(1, 2, 3)));
}

TEST(PartTree, ShapePlacementTurnsAboutYBeforeMoving) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XLeaves* shape = view.add_shape(root, "box,w=1,d=1,h=1,dx=10,ry=90");
    const Vector3d p = row_transform(shape->P().data(), {1, 0, 0});
    EXPECT_TRUE(close_to(p, Vector3d(10, 0, -1))) << p.transpose();
}

TEST(PartTree, ParentNameCycleIsCutAtTheShapeThatClosesIt) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XLeaves* first = view.add_shape(root, "box,w=1,d=1,h=1,name=one,elder=two");
    XLeaves* second = view.add_shape(root, "box,w=1,d=1,h=1,name=two,elder=one");
    first->placement_valid = second->placement_valid = 0;
    first->UpdateMatrix(root->base()->L, root->base()->L_inverse().data());
    EXPECT_STREQ(first->record->parent_name, "two");
    EXPECT_EQ(std::tuple(second->record->parent_name, first->anchor), std::tuple(nullptr, second));
}

TEST(PartTree, MovingChildrenUpKeepsThemInPlaceInTheWorld) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XTrunk* removed = view.add_trunk("removed");
    set_placement(*removed->base_record(), {50, -20, 10}, {30, 15, 40}, {0, 0, 0}, {0, 0, 0});
    XTrunk* child = view.add_trunk("child", removed);
    set_placement(*child->base_record(), {5, 6, 7}, {-20, 10, 60}, {0, 0, 0}, {0, 0, 0});
    root->RecalcMatrices(1);
    double before[16];
    std::memcpy(before, child->base()->L, sizeof before);

    removed->MoveChildrenToParent(1);
    EXPECT_EQ(std::tuple(child->parent, removed->children.empty()), std::tuple(root, true));
    root->RemoveChild(removed);
    root->RecalcMatrices(1);
    for (const Vector3d& p : {Vector3d(0, 0, 0), Vector3d(10, 20, 30), Vector3d(-7, 3, 1)})
        EXPECT_TRUE(close_to(row_transform(child->base()->L, p), row_transform(before, p)));
}

TEST(PartTree, TreeMovesAndLocks) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    EXPECT_EQ(view.current_trunk, root);
    XTrunk* a = view.add_trunk("a");
    EXPECT_EQ(a->parent, root);
    XTrunk* b = view.add_trunk("b", a);
    a->SetParent(b);  // b lies below a: refused
    EXPECT_EQ(a->parent, root);
    a->SetParent(a);
    EXPECT_EQ(a->parent, root);
    b->SetParent(root);
    EXPECT_EQ(std::tuple(b->parent, a->children.empty(), root->children),
              std::tuple(root, true, (std::vector<XTrunk*>{a, b})));

    a->base_record()->change_locks[2] = 1;
    const double position[3] = {1, 2, 3}, rotation[3] = {4, 5, 6};
    a->SetPlacement(position, rotation);
    const COBJECTA& r = *a->base_record();
    EXPECT_EQ((std::vector<double>{r.dx, r.dy, r.dz, r.rx, r.ry, r.rz}), (std::vector<double>{1, 0, 3, 4, 5, 6}));
}

TEST(PartTree, ShowAndHideReachTheModeller) {
    test::BridgedView view;
    XTrunk* root = view.add_trunk("root");
    XTrunk* part = view.add_trunk("part");
    XTrunk* child = view.add_trunk("child", part);
    std::vector<XLeaves*> shapes = {view.add_shape(part, "box,w=1,d=1,h=1"), view.add_shape(part, "box,w=2,d=1,h=1"),
                                    view.add_shape(child, "box,w=1,d=3,h=1")};
    auto hidden = [&](XLeaves* s) {
        CO3duPrimitive primitive;
        view.bridge->modeller->GetPrimitive(s->model, primitive, O3DU_PRIM_DRAW_MODE);
        return (primitive.draw_mode & O3DU_DRAW_HIDDEN) != 0;
    };
    for (XLeaves* s : shapes) ASSERT_FALSE(hidden(s));
    part->SetVisible(0, 1);
    for (XLeaves* s : shapes) EXPECT_TRUE(hidden(s));
    EXPECT_EQ(child->shown, 0);
    part->ShowPart(1, 2);
    EXPECT_TRUE(hidden(shapes[0]));
    EXPECT_FALSE(hidden(shapes[1]));
    part->SetVisible(1, 0);
    EXPECT_FALSE(hidden(shapes[0]));
    EXPECT_TRUE(hidden(shapes[2]));

    // A hidden box leaves only the background where it stood.
    view.look({0, -300, 0}, {0, 0, 0});
    child->SetVisible(0, 0);
    part->SetVisible(0, 0);
    XLeaves* lone = view.add_shape(root, "box,w=40,d=40,h=40,div=111,color=#FFFFFF");
    EXPECT_TRUE(kz::test::pixel_near(view.render(), 32, 32, {255, 255, 255}, 3, "shown_box"));
    root->SetVisible(0, 0);
    EXPECT_TRUE(hidden(lone));
    EXPECT_TRUE(kz::test::pixel_near(view.render(), 32, 32, {0, 0, 0}, 3, "hidden_box"));
}

TEST(PartTree, HighlightOfEveryDisplayModeReachesTheView) {
    const struct {
        int mode;
        const char* selected;
        const char* below;
        const char* above;
        const char* other;
    } cases[] = {
        {0, "0x000000 0.5", "0x000000 0", "0x000000 0", "0x000000 0"},
        {1, "0x000000 0", "0x000000 0.9", "0x000000 0.9", "0x000000 0.9"},
        {2, "0x0000FF 0.0001", "0xDED2C8 0.9", "0xDED2C8 0.9", "0xDED2C8 0.9"},
        {3, "0x0000FF 0.0001", "0x00FF00 0.0001", "0x00FFFF 0.0001", "0xDED2C8 0.9"},
        {4, "0x0000FF 0.0001", "0x00FF00 0.0001", "0xDED2C8 0.9", "0xDED2C8 0.9"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.mode);
        test::BridgedView view(false);
        XTrunk* root = view.add_trunk("root");
        XTrunk* above = view.add_trunk("above");
        XTrunk* selected = view.add_trunk("selected", above);
        XTrunk* below = view.add_trunk("below", selected);
        XTrunk* other = view.add_trunk("other", root);
        above->mark_state = 2;
        below->mark_state = 1;
        view.display_mode = tc.mode;
        view.selected_trunk = selected->index;
        for (XTrunk* t : {selected, below, above, other}) t->UpdateHighlightColor();
        const std::vector<std::string> want = {
            "ApplyTrunkAppearance " + std::to_string(selected->index) + " " + tc.selected,
            "ApplyTrunkAppearance " + std::to_string(below->index) + " " + tc.below,
            "ApplyTrunkAppearance " + std::to_string(above->index) + " " + tc.above,
            "ApplyTrunkAppearance " + std::to_string(other->index) + " " + tc.other};
        std::vector<std::string> got;
        for (const std::string& c : view.calls)
            if (c.rfind("ApplyTrunkAppearance", 0) == 0) got.push_back(c);
        EXPECT_EQ(got, want);
        // Refreshing clears the marks and asks the view to mark the selected family again.
        view.calls.clear();
        other->RefreshHighlight();
        const bool remarks = tc.mode == 3 || tc.mode == 4;
        EXPECT_EQ(above->mark_state, remarks ? 0 : 2);
        EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "MarkSelectionFamily"), remarks ? 1 : 0);
    }
}

TEST(PartTree, ColourAndTransparencyOfTheBasePassToTheView) {
    test::BridgedView view;
    view.add_trunk("root");
    XTrunk* part = view.add_trunk("part");
    XLeaves* box = view.add_shape(part, "box,w=40,d=40,h=40,div=111,color=#FFFFFF");
    view.calls.clear();
    EXPECT_EQ(part->base()->SetParameter(22, 200), 4);
    EXPECT_EQ(part->base()->SetParameter(28, 0.5), 32);
    EXPECT_EQ(part->base()->SetParameter(21, 1), 16);
    const std::string index = std::to_string(part->index);
    EXPECT_NE(std::find(view.calls.begin(), view.calls.end(), "ApplyTrunkColor " + index), view.calls.end());
    EXPECT_NE(std::find(view.calls.begin(), view.calls.end(), "ApplyTrunkTransparency " + index), view.calls.end());
    // A shape that is not the base recolours its own model.
    box->SetParameter(23, 0);
    view.look({0, -300, 0}, {0, 0, 0});
    EXPECT_TRUE(kz::test::pixel_near(view.render(), 32, 32, {255, 0, 255}, 3, "recoloured_box"));
}

TEST(PartTree, HeaderRowReadsBackWithItsColumns) {
    test::BridgedView view(false);
    view.add_trunk("root");
    for (char separator : {'\t', ','}) {
        SCOPED_TRACE(separator == ',' ? "comma" : "tab");
        XTrunk* part = view.add_trunk("ignored");
        COBJECTA& r = *part->base_record();
        r.ReadFigureLine(
            "trunk\t1.5\t-2\t3\t10\t20\t30\t4\t5\t6\t7\t8\t9\t100\t200\t300\t1;2;3;4;5\td7;1;d2;3\t4\t\t\t3\t"
            "12\t34\t56\t\t\t\t0.25\t\"name, with comma\"\tfather\t"
            "R;;\"sub\\x.fig\"|#layer;\"L1\"|#type;\"T\"|#party;\"P\"|#sysf;3|#group;\"G\"|#frmode;\"rw\"|\t"
            "A;0;1\t1;2;3\tA;dx;0;10\tM;x;y\t9;2.5\tremark\t5;7\t2;1");
        part->id = 42;
        part->shown = 0;
        part->AddCommentLine("# note");
        char* line = part->MakeHeaderRecord(nullptr, separator);
        ASSERT_NE(line, nullptr);
        const std::string text(line);
        kz::foundation::free_and_null(line);
        ASSERT_EQ(text.rfind("# note\r\nrefer", 0), 0u) << text;

        COBJECTA back(nullptr, &view, part);
        back.ReadFigureLine(text.c_str() + std::strlen("# note\r\n"));
        // What the row does not carry: the id and the hidden flag go to columns 19 and 20.
        COBJECTA want(&r, &view, part);
        want.domebtm = 42;
        want.dometop = 1;
        EXPECT_EQ(test::record_differences(back, want), "") << text;

        // Written again from what was read, the row is the same.
        XTrunk* again = view.add_trunk("again");
        again->base_record()->CopyFrom(&back);
        again->id = 42;
        again->shown = 0;
        again->AddCommentLine("# note");
        char* second = again->MakeHeaderRecord(nullptr, separator);
        EXPECT_EQ(std::string(second ? second : ""), text);
        kz::foundation::free_and_null(second);
    }
}

}  // namespace
}  // namespace kz::scene
