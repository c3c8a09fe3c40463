// Picks through the real modeller and through face outlines, checked against the modeller camera's own projection,
// the drag plane's travel in its frame, and the eye moves that start from a pick.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <string>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/matrix_ops.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"

namespace kz::view::test {
namespace {

using kz::scene::XLeaf;

double distance(const double* a, const double* b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

class Picking : public PaintTest {
public:
    // The world extent of a part from its built faces: lo in 0..2, hi in 3..5.
    static std::array<double, 6> bounds_of(XLeaves* part) {
        std::array<double, 6> b{DBL_MAX, DBL_MAX, DBL_MAX, -DBL_MAX, -DBL_MAX, -DBL_MAX};
        for (XLeaf* f : part->WalkFaces()) {
            f->GetWorldPlane(nullptr, nullptr);  // brings the world points up to date
            for (int i = 0; i < f->point_count(); ++i)
                for (int k = 0; k < 3; ++k)
                    b[k] = std::min(b[k], f->world_point(i)[k]), b[3 + k] = std::max(b[3 + k], f->world_point(i)[k]);
        }
        return b;
    }
    // The window point over a world point, by the modeller's own camera (pixel x, y from the bottom when asked).
    std::int64_t pixel_of(const double* world, int* px = nullptr, int* py = nullptr) {
        view->output.bridge->modeller->GetCamera(camera);
        int x = -1, y = -1;
        EXPECT_TRUE(project_to_pixel(camera, kW, kH, world, &x, &y));
        if (px) *px = x, *py = y;
        return pack_view_point(x, kH - y);
    }
    // How far two pixels reach on a level plane around a point seen from the eye.
    double reach(const double* from, const double* point) {
        const double d = distance(from, point);
        return 4.0 * d * std::tan(camera.fov * M_PI / 360.0) / kH * d / std::fabs(from[2] - point[2]);
    }
    void show(const double* from, const double* to) {
        look(from, to);
        view->Redraw(0);
        view->output.bridge->modeller->GetCamera(camera);
    }
    XLeaves* part_of(int item, int part = 1) { return view->document.trunks[item]->parts[part]; }
    _O3duCamera camera{};
};

TEST_F(Picking, SampleTableTopPicksAtItsProjectedCentre) {
    ASSERT_EQ(view->OpenModel(sample_model_path().c_str()), 1);
    const int table = item_named("table");
    ASSERT_GT(table, 0);
    const int top = view->document.trunks[table]->FindPart("table top", 1);
    ASSERT_GT(top, 0);
    const auto b = bounds_of(part_of(table, top));
    const double centre[3] = {(b[0] + b[3]) / 2, (b[1] + b[4]) / 2, b[5]};
    const double from[3] = {1400, -300, 3200}, to[3] = {centre[0] + 300, centre[1] + 200, centre[2]};
    show(from, to);
    int px, py, hx, hy, t = -5, p = -5, f = -5;
    double hit[3] = {}, q[3], n[3];
    EXPECT_EQ(view->PickItem(pixel_of(centre, &px, &py), &t, &p, &f, 1, 0, hit), view->document.trunks[table]);
    EXPECT_EQ(t, table);
    EXPECT_EQ(p, top);
    ASSERT_GE(f, 0);
    part_of(table, top)->faces()[f]->GetWorldPlane(q, n);
    EXPECT_NEAR(n[2], 1.0, 1e-9) << "the top face, not a side";
    EXPECT_NEAR(hit[2], b[5], 1e-6);
    pixel_of(hit, &hx, &hy);
    EXPECT_LE(std::abs(hx - px), 1);
    EXPECT_LE(std::abs(hy - py), 1);
}

TEST_F(Picking, ModellerRoadMasksWindowItemsSkyAndGround) {
    const int item = add_box_item("box,0,0,0,,,,,,,,,,1000,1000,200,,,,,,1,200,100,50", "slab");
    const auto b = bounds_of(part_of(item));
    const double top[3] = {(b[0] + b[3]) / 2, (b[1] + b[4]) / 2, b[5]};
    const double from[3] = {top[0], top[1] - 2000, 600}, ground[3] = {top[0] + 100, top[1] - 1100, 0};
    show(from, top);
    const std::int64_t middle = pack_view_point(kW / 2, kH / 2);
    part_of(item)->record->draw_style = 2;  // outline only: outside mask 1
    struct Case {
        std::int64_t point;
        int bit1, bit2;
        XTrunk* want;
        int want_t, want_p;
        const double* want_hit;
        double xy_tolerance, z_tolerance;
    };
    // Outside the mask the modeller's depth read-back stands, good to a hundredth of the eye distance; on a face
    // the ray's crossing is exact. Above the horizon the ground lies behind the eye: nothing is under the cursor.
    const double origin[3] = {0, 0, 0};
    const Case cases[] = {{middle, 1, 0, view->document.trunks[item], 0, -1, top, reach(from, top), 0.01 * 2000},
                          {middle, 1, 1, view->document.trunks[item], item, 1, top, 1e-6, 1e-6},
                          {middle, 0, 1, view->document.trunks[item], item, 1, top, 1e-6, 1e-6},
                          {pixel_of(ground), 1, 0, view->document.trunks[0], 0, -1, ground, reach(from, ground), 1e-9},
                          {pack_view_point(kW / 2, 0), 1, 0, view->document.trunks[0], 0, -1, origin, 1e-9, 1e-9}};
    for (const Case& c : cases) {
        int t = -5, p = -5, f = -5;
        double hit[3] = {9, 9, 9};
        EXPECT_EQ(view->PickItem(c.point, &t, &p, &f, c.bit1, c.bit2, hit), c.want);
        EXPECT_EQ(t, c.want_t);
        EXPECT_EQ(p, c.want_p);
        EXPECT_EQ(f >= 0, c.want_p >= 0);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(hit[k], c.want_hit[k], k < 2 ? c.xy_tolerance : c.z_tolerance);
    }
    EXPECT_FALSE(part_of(item)->holds_faces()) << "a pick keeps no faces";
    // No face outline claims the pixel (an edge the modeller still saw): the modeller's point, not the origin.
    XLeaves* part = part_of(item);
    part->record->draw_style = 1;
    std::vector<XLeaf*> faces;
    faces.swap(part->faces());
    int t = 0, p = 0, f = 0;
    double hit[3] = {};
    view->PickItem(middle, &t, &p, &f, 1, 0, hit);
    EXPECT_EQ(f, -1);
    EXPECT_NEAR(hit[2], b[5], 0.01 * 2000);
    faces.swap(part->faces());
    // Drawn in window coordinates: face 0 and window units, picked and dragged.
    view->document.trunks[item]->base_record()->camera_number |= 8;
    view->input.window_item_scale = 2.0;
    view->PickItem(middle, &t, &p, &f, 1, 0, hit);
    EXPECT_EQ(f, 0);
    EXPECT_EQ(hit[0], kW / 4.0);
    EXPECT_EQ(hit[1], kH / 4.0);
    EXPECT_EQ(hit[2], 0.0);
    view->input.drag.last[0] = 40, view->input.drag.last[1] = 30;
    view->DragPointOnPlane(pack_view_point(100, 70), hit, item);
    EXPECT_EQ(hit[0], 10.0);
    EXPECT_EQ(hit[1], 5.0);
}

TEST_F(Picking, FacesFrontFirstOnTheModellerRoadAnyOnTheOutlineRoad) {
    const double from[3] = {0, -1500, 2000}, to[3] = {0, 0, 0};
    look(from, to);
    view->SyncScene(0);
    const std::int64_t middle = pack_view_point(kW / 2, kH / 2);
    struct Case {
        double heights[2];
        bool up[2];
        int want_face, want_outline;
    };
    const Case cases[] = {
        {{0, 0}, {true, true}, 0, 0},     // coplanar: the earlier face
        {{0, 100}, {true, true}, 1, 1},   // the nearer one
        {{100, 0}, {false, true}, 1, 0},  // the nearer face looks away: only the facing test skips it
        {{0, 0}, {false, false}, -1, 0},  // seen from behind only
    };
    // A built box aside: the outline pick looks at its faces and keeps none of them.
    const XLeaves* aside = part_of(add_box_item("box,dx=5000,w=100,d=100,h=100"));
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        const int item = add_item(0, "squares");
        XTrunk* trunk = view->document.trunks[item];
        XLeaves* part = trunk->parts[trunk->AddLeaves()];
        part->record->draw_style = 1;
        for (int i = 0; i < 2; ++i) {
            const double h = c.heights[i], s = c.up[i] ? 500 : -500;
            const double square[12] = {-500, -500, h, s, -s, h, 500, 500, h, -s, s, h};
            part->faces().push_back(new XLeaf(part, i));
            part->faces().back()->SetPoints(square, 4, 0xFFFFFF, nullptr);
        }
        int t = -5, p = -5, f = -5;
        double hit[3] = {9, 9, 9};
        EXPECT_EQ(view->PickFace(middle, part, hit, &f), c.want_face >= 0 ? part->faces()[c.want_face] : nullptr);
        EXPECT_EQ(f, c.want_face);
        EXPECT_NEAR(hit[2], c.want_face >= 0 ? c.heights[c.want_face] : 0.0, 1e-6);
        view->PickByOutline(middle, &t, &p, &f, hit, 1);
        EXPECT_EQ(t, item);
        EXPECT_EQ(p, 1);
        EXPECT_EQ(f, c.want_outline);
        EXPECT_EQ(view->PickByOutline(middle, &t, &p, &f, hit, 2), view->document.trunks[0]) << "mask 2 takes no part";
        trunk->shown = 0;
    }
    EXPECT_FALSE(aside->holds_faces());
}

TEST_F(Picking, DragPlaneTravelsInItsFrame) {
    // A parent turned a quarter about z, a child hanging on it: the child's drag axes are the parent's.
    const int parent = add_box_item("box,0,0,0,,,,,,,,,,200,200,200,,,,,,1,200,100,50", "parent");
    const int tipped = add_box_item("box,0,0,0,,,,,,,,,,200,200,200,,,,,,1,200,100,50", "tipped");
    view->document.trunks[parent]->base_record()->rz = 90;
    view->document.trunks[tipped]->base_record()->rx = 90;
    for (int i : {parent, tipped})
        view->document.trunks[i]->base()->placement_valid = 0, view->document.trunks[i]->RecalcMatrices(1);
    const int child = add_item(parent, "child");
    view->document.trunks[child]->RecalcMatrices(1);
    const double from[3] = {500, -2000, 2500}, at[3] = {500, 500, 0}, moved[3] = {800, 500, 0};
    show(from, at);
    const double tolerance = reach(from, moved);

    view->input.target = 2;
    view->SetDragPlane(child, 0, -1, at, 1);
    EXPECT_NEAR(view->input.drag.normal[2], 1.0, 1e-9);
    EXPECT_EQ(view->input.drag.pick_trunk, child);
    for (int k = 0; k < 3; ++k) view->input.drag.last[k] = at[k];
    double d[3];
    view->DragPointOnPlane(pixel_of(moved), d, child);
    EXPECT_NEAR(std::fabs(d[1]), 300, tolerance) << "world x is the parent's y axis";
    EXPECT_NEAR(d[0], 0, tolerance);

    // A part moves in its parent shape's frame, a pasted image on its face in the face's.
    struct Frame {
        int target, item, face_normal_axis, want_axis;
    };
    for (const Frame c : {Frame{3, tipped, -1, 1}, Frame{4, parent, 0, 0}}) {
        int face = -1;
        for (int i = 0; c.face_normal_axis >= 0 && i < part_of(c.item)->face_count(); ++i) {
            double q[3], n[3];
            part_of(c.item)->faces()[i]->GetWorldPlane(q, n);
            if (std::fabs(n[c.face_normal_axis]) > 0.99) face = i;
        }
        view->input.target = c.target;
        view->SetDragPlane(c.item, 1, face, at, 0);
        const double* n = view->input.drag.normal;
        EXPECT_NEAR(std::fabs(n[c.want_axis]) / std::hypot(n[0], n[1], n[2]), 1.0, 1e-9) << c.target;
    }
    EXPECT_EQ(view->input.drag.pick_trunk, child) << "store 0 keeps the stored pick";

    // Nothing selected: the ground through the origin; a cursor above its horizon leaves the drag where it was.
    view->input.selected_trunk = -1;
    view->BeginDragAt(pixel_of(at));
    EXPECT_EQ(view->input.drag.normal[2], 1.0);
    view->DragPointOnPlane(pixel_of(moved), d, 0);
    EXPECT_NEAR(d[0], 300, tolerance) << "the world's own axes";
    EXPECT_NEAR(d[1], 0, tolerance);
    const double before = view->input.drag.last[1];
    view->DragPointOnPlane(pack_view_point(kW / 2, -400), d, 0);
    EXPECT_EQ(d[1], 0.0);
    EXPECT_EQ(view->input.drag.last[1], before);

    // Up and down on the plane that faces the eye (a level eye: the plane is upright), and back into a part's
    // own axes.
    double p[3] = {500, 500, 300}, dz = 0;
    const double level[3] = {500, -2500, 300}, above[3] = {500, 500, 600};
    show(level, p);
    view->DragHeight(pixel_of(above), p, &dz);
    EXPECT_NEAR(dz, 300, 4 * distance(level, above) * std::tan(camera.fov * M_PI / 360.0) / kH);
    EXPECT_NEAR(p[2], 300 + dz, 1e-9);
    double local[3], back[3];
    EXPECT_EQ(view->WorldToPartLocal(above, tipped, 1, local), 1);
    kz::foundation::transform_point(back, local, part_of(tipped)->L);
    EXPECT_NEAR(distance(back, above), 0.0, 1e-9);
    EXPECT_EQ(view->WorldToPartLocal(above, 0, 1, local), 0);
}

TEST_F(Picking, EyeMovesFromAPick) {
    // A floor slab and a wall facing -y; the eye move takes no time so its end shows at once.
    const int floor = add_box_item("box,-5000,-5000,-100,,,,,,,,,,10000,10000,100,,,,,,1,200,100,50", "floor");
    const int wall = add_box_item("box,-5000,2000,0,,,,,,,,,,10000,100,3000,,,,,,1,200,100,50", "wall");
    const double top = bounds_of(part_of(floor))[5], face_y = bounds_of(part_of(wall))[1];
    view->camera.eye_move_time = 0.0;
    const double from[3] = {0, -2000, 1000}, on_floor[3] = {0, 0, top}, on_wall[3] = {0, face_y, 1500};
    const double spot[3] = {300, 500, top}, d = distance(from, on_floor);

    show(from, on_floor);
    view->ApproachFace(pixel_of(on_floor), 0.0);
    EXPECT_EQ(view->input.interaction_class, 3);
    EXPECT_NEAR(view->camera.eye->eye[2], top + 1550, 1e-6);
    EXPECT_NEAR(view->camera.eye->target[2], view->camera.eye->eye[2], 1e-6) << "level";
    EXPECT_NEAR(view->camera.eye->target[1] - view->camera.eye->eye[1], d, 1e-6) << "the old direction and distance";

    show(from, on_wall);
    view->ApproachFace(pixel_of(on_wall), 0.0);
    EXPECT_NEAR(view->camera.eye->eye[1], face_y - 100, 1e-6);
    EXPECT_NEAR(view->camera.eye->target[1], face_y - 100 - distance(from, on_wall), 1e-6) << "back to the wall";

    show(from, on_floor);
    view->LookAtPoint(pixel_of(spot));
    EXPECT_EQ(view->input.interaction_class, 1);
    EXPECT_EQ(view->camera.eye->eye[1], -2000.0);
    EXPECT_NEAR(view->camera.eye->target[0], 300, reach(from, spot));

    show(from, on_floor);
    view->ApproachPoint(pixel_of(spot));
    const double* e = view->camera.eye->eye;
    const double* g = view->camera.eye->target;
    EXPECT_NEAR(distance(e, g), d, 1e-6) << "the old eye distance";
    EXPECT_NEAR(g[1], 500, reach(from, spot));
    EXPECT_LT(e[1], g[1]) << "toward the old eye";
}

TEST_F(Picking, StartEyeMovesOnlyWhenTheSettingsGaveOne) {
    for (int given : {0, 1}) {
        const double from[3] = {100, -100, 100}, to[3] = {0, 0, 0};
        look(from, to);
        view->settings.settings_eye[0] = 7000;
        view->settings.eye_point_given = given;
        view->camera.immediate_eye_move = 1;
        view->GoToStartEye();
        EXPECT_EQ(view->camera.eye->eye[0], given ? 7000.0 : 100.0) << given;
        EXPECT_EQ(view->camera.immediate_eye_move, 0);
        EXPECT_EQ(view->settings.eye_point_given, 0);
    }
}

}  // namespace
}  // namespace kz::view::test
