// Placing items under the cursor with the real modeller: onto the sample room's table top, onto bare ground, and
// refused onto an item another user holds.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"

namespace kz::view::test {
namespace {

using kz::foundation::set_heap_string;

class Placement : public PaintTest {
public:
    // Looks at a world point from above and behind it; returns its window point and the width of one pixel there.
    std::int64_t aim_at(const double* point, double* pixel_size) {
        const double from[3] = {point[0], point[1] - 1200.0, point[2] + 2400.0};
        look(from, point);
        view->Redraw(0);
        const _O3duCamera seen = camera();
        int x = 0, y = 0;
        EXPECT_TRUE(project_to_pixel(seen, kW, kH, point, &x, &y));
        const double distance = std::hypot(1200.0, 2400.0);
        *pixel_size = 2.0 * distance * std::tan(seen.fov * M_PI / 360.0) / kH;
        return pack_view_point(x, kH - 1 - y);
    }
    // The world point of an item's origin.
    static void origin_of(XTrunk* item, double* out) {
        const double zero[3] = {0.0, 0.0, 0.0};
        kz::foundation::transform_point(out, zero, item->base()->L);
    }
};

TEST_F(Placement, ItemLandsOnTheTableTopUnlessAnotherUserHoldsTheTable) {
    ASSERT_EQ(view->OpenModel(sample_model_path().c_str()), 1);
    const int table = item_named("table");
    ASSERT_GT(table, 0);
    XTrunk* t = view->document.trunks[table];
    ASSERT_STREQ(t->parts[1]->record->name, "table top");
    // The centre of the top: the middle of the highest face of the table top.
    view->Redraw(0);
    double centre[3] = {0, 0, -1e9};
    for (kz::scene::XLeaf* face : t->parts[1]->faces()) {
        double middle[3];
        face_middle(face, middle);
        if (middle[2] > centre[2]) std::copy(middle, middle + 3, centre);
    }
    double pixel = 0.0;
    const std::int64_t point = aim_at(centre, &pixel);

    view->document.current_trunk_index = 0;
    const int vase = add_box_item("box,0,0,0,,,,,,,,,,100,100,200", "vase");
    XTrunk* v = view->document.trunks[vase];
    t->lock_owner = set_heap_string(t->lock_owner, "alice", nullptr, -1);
    view->document.user_name = set_heap_string(view->document.user_name, "bob", nullptr, -1);
    EXPECT_EQ(view->PlaceItemAtPoint(vase, point), 0);
    EXPECT_EQ(v->parent, view->document.trunks[0]);
    EXPECT_EQ(v->base_record()->dx, 0.0);

    // The holder's own name (in any case) may place; so may anybody while no user name is set.
    for (const char* user : {"ALICE", ""}) {
        view->document.user_name = set_heap_string(view->document.user_name, user, nullptr, -1);
        v->SetParent(view->document.trunks[0]);
        EXPECT_EQ(view->PlaceItemAtPoint(vase, point), table) << user;
        EXPECT_EQ(v->parent, t);
        EXPECT_STREQ(v->base_record()->parent_name, "table top");
        t->RecalcMatrices(1);
        double landed[3];
        origin_of(v, landed);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(landed[k], centre[k], 1.5 * pixel) << user << " axis " << k;
    }
}

TEST_F(Placement, EmptyGroundTakesTheGroundHitUnderTheDefaultParent) {
    const int block = add_box_item("box,0,0,0,,,,,,,,,,100,100,100", "block");
    const int crate = add_box_item("box,0,0,0,,,,,,,,,,300,300,300", "crate");
    view->document.trunks[crate]->SetParent(view->document.trunks[block]);
    const double spot[3] = {2000.0, 1500.0, 0.0};
    double pixel = 0.0;
    const std::int64_t point = aim_at(spot, &pixel);
    view->document.current_trunk_index = 0;
    EXPECT_EQ(view->PlaceItemAtPoint(crate, point), 0);
    XTrunk* c = view->document.trunks[crate];
    EXPECT_EQ(c->parent, view->document.trunks[0]);
    const kz::scene::COBJECTA* r = c->base_record();
    EXPECT_NEAR(r->dx, spot[0], 1.5 * pixel);
    EXPECT_NEAR(r->dy, spot[1], 1.5 * pixel);
    EXPECT_NEAR(r->dz, 0.0, 1e-6);
}

}  // namespace
}  // namespace kz::view::test
