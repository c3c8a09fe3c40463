// The shape core: its line read back field by field, limits, motions, names, face makers and paste services.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/xleaf.h"
#include "bridged_view.h"
#include "record_compare.h"
#include "record_generator.h"
#include "support/all_near.h"

namespace kz::scene {
namespace {

constexpr int kKinds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 21, 22, 23};

TEST(ShapeCore, WriteLineReadsBackEveryField) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    test::RecordGenerator generator(9, &view);
    for (int round = 0; round < 12; ++round) {
        for (int kind : kKinds) {
            SCOPED_TRACE(std::to_string(round) + " kind " + std::to_string(kind));
            const char separator = round % 2 ? ',' : '\t';
            XLeaves* shape = root->parts[root->AddLeaves()];
            generator.make_canonical(*shape->record, kind);
            if (round % 3 == 0) {
                shape->AddCommentLine("# first");
                shape->AddCommentLine("");
            }
            char* line = shape->WriteLine(nullptr, separator);
            ASSERT_NE(line, nullptr);
            std::string text(line);
            line = static_cast<char*>(kz::foundation::free_and_null(line));
            const std::string comments = round % 3 == 0 ? "# first\r\n\r\n" : "";
            ASSERT_EQ(text.compare(0, comments.size(), comments), 0) << text;
            COBJECTA back(nullptr, &view, root);
            back.ReadFigureLine(text.c_str() + comments.size());
            back.WritePasteList();  // the paste text is what the writer last made of the list
            EXPECT_EQ(test::record_differences(back, *shape->record), "") << text;
        }
    }
    XLeaves* empty = root->parts[root->AddLeaves()];
    char* old = kz::foundation::set_heap_string(nullptr, "old", nullptr, -1);
    EXPECT_EQ(empty->WriteLine(old, '\t'), nullptr);
}

TEST(ShapeCore, MoveLimitsAndClamping) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XLeaves* shape = view.add_shape(root, "box,w=1,d=1,h=1");
    EXPECT_EQ(shape->ParseMoveLimits(""), 0);
    EXPECT_EQ(shape->ParseMoveLimits("A;dx;FREE;100|a;dy;10;5|B;dz;1;2|A;rz;;-30|A;fw;-5;free"), 1);
    const struct {
        int column;
        double value, clamped;
    } cases[] = {{1, 150, 100}, {1, -1e9, -1e9}, {2, 0, 5},    {2, 7, 7}, {2, 20, 10},
                 {3, -50, -50}, {6, 10, -30},    {41, -9, -5}, {41, 3, 3}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.column);
        shape->SetParameter(tc.column, tc.value);
        shape->ClampParameter(tc.column);
        EXPECT_DOUBLE_EQ(shape->GetParameter(tc.column), tc.clamped);
    }
    EXPECT_EQ(std::tuple(shape->limits[1].lower_set, shape->limits[3].lower_set + shape->limits[3].upper_set),
              std::tuple(0, 0));
}

TEST(ShapeCore, MotionsStepAndFinishOnTheirTarget) {
    test::BridgedView view(false);
    view.add_trunk("root");
    XTrunk* part = view.add_trunk("part");
    XLeaves* shape = view.add_shape(part, "box,w=1,d=1,h=1,dx=10");
    shape->AllocMotionTable();
    kz::foundation::SystemTime start{};
    start.year = 2026, start.month = 1, start.day = 1, start.hour = 12;
    kz::foundation::SystemTime half = start, later = start;
    half.second = 1;
    later.second = 5;
    MotionSlot& dx = shape->motions[1];
    dx = MotionSlot{start, 2000.0, 0.0, 1, 30.0, 0, 1, 1};  // from the current value, linear
    MotionSlot& light = shape->motions[42];
    light = MotionSlot{start, 0.0, 0.0, 0, 0.5, 0, 1, 1};  // ends on its first tick
    part->update_bits = 0;
    EXPECT_EQ(shape->AnimateParameters(half), 1);
    EXPECT_TRUE(kz::test::all_double_eq({shape->record->dx, view.light_value}, {20.0, 0.5}));
    EXPECT_EQ(std::tuple(dx.active, light.active), std::tuple(2, 0));
    EXPECT_EQ(std::tuple(part->update_bits, shape->placement_valid), std::tuple(1 | 8, 0));
    part->update_bits = 0;
    EXPECT_EQ(shape->AnimateParameters(later), 1);
    EXPECT_EQ(std::tuple(shape->record->dx, dx.active), std::tuple(30.0, 0));
    // A finishing step re-places the part too.
    EXPECT_EQ(part->update_bits, 1);
    EXPECT_EQ(shape->AnimateParameters(later), 0);
    dx.active = 3;
    part->ResetMotions();
    EXPECT_EQ(dx.active, 0);
}

TEST(ShapeCore, UniqueNamesAndRenaming) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    view.add_shape(root, "box,name=door");
    view.add_shape(root, "box,name=DOOR-1");
    view.add_shape(root, "box,name=b1");
    view.add_shape(root, "box,name=B2");
    XLeaves* shape = view.add_shape(root, "box");
    const struct {
        const char* wanted;
        const char* got;
    } cases[] = {{"door", "door-2"}, {nullptr, "b3"}, {"", "b3"}, {"window", "window"}};
    for (const auto& tc : cases) {
        shape->MakeUniqueName(tc.wanted);
        EXPECT_STREQ(shape->record->name, tc.got);
    }
    XLeaves* hanging = view.add_shape(root, "box,name=h,elder=WINDOW");
    XTrunk* child = view.add_trunk("child", root);
    child->base_record()->parent_name = kz::foundation::set_heap_string(nullptr, "window", nullptr, -1);
    shape->Rename("hatch");
    EXPECT_STREQ(shape->record->name, "hatch");
    EXPECT_STREQ(hanging->record->parent_name, "hatch");
    EXPECT_STREQ(child->base_record()->parent_name, "hatch");
    shape->record->name = kz::foundation::set_heap_string(shape->record->name, "door", nullptr, -1);
    shape->EnsureUniqueName();
    EXPECT_STREQ(shape->record->name, "door-2");
}

// Shape points of a face, back from its own plane.
std::vector<double> shape_points(const XLeaf& face) {
    std::vector<double> out(3 * face.point_count());
    for (int i = 0; i < face.point_count(); ++i) face.ShapePoint(i, &out[3 * i]);
    return out;
}

TEST(ShapeCore, AddFaceKeepsDistinctPointsInTheFacePlane) {
    const struct {
        const char* name;
        std::vector<double> points, kept;
        double area;
    } cases[] = {
        {"square", {0, 0, 0, 2, 0, 0, 2, 3, 0, 0, 3, 0}, {0, 0, 0, 2, 0, 0, 2, 3, 0, 0, 3, 0}, 6},
        {"repeat within 1e-6", {0, 0, 0, 2, 0, 0, 2, 1e-7, 0, 2, 3, 0}, {0, 0, 0, 2, 0, 0, 2, 3, 0}, 3},
        {"back to the first point", {0, 0, 0, 2, 0, 0, 2, 3, 0, 0, 0, 0}, {0, 0, 0, 2, 0, 0, 2, 3, 0, 0, 0, 0}, 3},
        {"tilted", {10, 0, 0, 10, 4, 3, 0, 4, 3}, {10, 0, 0, 10, 4, 3, 0, 4, 3}, 25},
        {"two points", {0, 0, 0, 1, 1, 1, 1, 1, 1}, {}, 0},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        test::BridgedView view(false);
        XTrunk* root = view.add_trunk("root");
        XLeaves* shape = root->parts[root->AddLeaves()];
        ShapeMaterial material;
        material.material.color = 0x123456;
        const int made =
            shape->AddFace(tc.points.data(), static_cast<int>(tc.points.size() / 3), material, nullptr, nullptr, 7000);
        if (tc.kept.empty()) {
            EXPECT_EQ(std::tuple(made, shape->face_count()), std::tuple(-1, 0));
            continue;
        }
        ASSERT_EQ(made, 0);
        const XLeaf& face = *shape->faces()[0];
        EXPECT_EQ(std::tuple(face.face_code, face.color), std::tuple(7000, 0x123456u));
        EXPECT_NEAR(face.area, tc.area, 1e-9);
        EXPECT_TRUE(kz::test::all_near(shape_points(face), tc.kept, 1e-9));
        // In its plane the face lies at z = 0 with its first edge along +x.
        for (int i = 0; i < face.point_count(); ++i) EXPECT_NEAR(face.local_point(i)[2], 0.0, 1e-9);
        EXPECT_TRUE(kz::test::all_near({face.local_point(1)[1], face.local_normal(0)[2]}, {0, 1}, 1e-9));
        EXPECT_GT(face.local_point(1)[0], 0.0);
    }
}

TEST(ShapeCore, FaceAreaIsTheOutlineAreaInEitherOrientation) {
    const std::vector<std::vector<double>> outlines = {
        {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 1, 0, 2, 2, 0}};
    const double areas[] = {1, 1, 0};
    for (std::size_t i = 0; i < outlines.size(); ++i) {
        XLeaf face(nullptr, 1);
        face.SetPoints(outlines[i].data(), static_cast<int>(outlines[i].size() / 3), -1, nullptr);
        EXPECT_DOUBLE_EQ(face.area, areas[i]);
        EXPECT_EQ(face.color, 0xFFFFFFu);
    }
    XLeaf two(nullptr, 1);
    const double eye[3] = {0, 0, 10};
    EXPECT_EQ(two.ComputeDepth(eye, nullptr), -1.0);
}

TEST(ShapeCore, CapFaceSplitsAConcaveOutlineForTheBridge) {
    test::BridgedView view;
    XTrunk* root = view.add_trunk("root");
    XLeaves* shape = root->parts[root->AddLeaves()];
    // An L-shaped outline in the plane z = 5, facing down.
    const double l_shape[] = {0, 0, 5, 0, 2, 5, 1, 2, 5, 1, 1, 5, 2, 1, 5, 2, 0, 5};
    ShapeMaterial material;
    ASSERT_EQ(shape->AddCapFace(l_shape, 6, material, nullptr, nullptr, 1000), 0);
    const XLeaf& face = *shape->faces()[0];
    EXPECT_NEAR(face.area, 3.0, 1e-9);
    ASSERT_GE(face.first_polygon, 0);
    EXPECT_GT(face.last_polygon, face.first_polygon);
    double total = 0.0;
    for (int p = face.first_polygon; p <= face.last_polygon; ++p) {
        const auto& entry = view.bridge->polygons[p];
        double normal[3];
        double area = 0.0;
        kz::foundation::polygon_normal(entry.points.data(), entry.point_count(), normal, &area);
        EXPECT_NEAR(normal[2], -1.0, 1e-9);
        for (int k = 0; k < entry.point_count(); ++k) EXPECT_DOUBLE_EQ(entry.points[3 * k + 2], 5.0);
        total += std::fabs(area);
    }
    EXPECT_NEAR(total, 3.0, 1e-9);
}

TEST(ShapeCore, EllipticArcAngles) {
    const struct {
        double sweep, start, a, b;
        double want_sweep, want_start;
        int partial;
    } cases[] = {
        {90, 30, 10, 10, 90, 30, 1},
        {90, -90, 10, 0, 90, 270, 1},
        {0, 45, 10, 10, 360, 45, 0},
        {360, 0, 10, 10, 360, 0, 0},
        {400, 10, 5, 5, 360, 10, 0},
        {90, 0, 10, 5, 90, 0, 1},
        {45, 0, 10, 5, std::atan2(1.0, 0.5) * 180 / 3.141592653589793, 0, 1},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(std::to_string(tc.sweep) + " from " + std::to_string(tc.start));
        double sweep = 0, start = 0, end = 0;
        EXPECT_EQ(elliptic_arc_angles(tc.sweep, tc.start, tc.a, tc.b, &sweep, &start, &end), tc.partial);
        EXPECT_TRUE(kz::test::all_near({sweep, start, end}, {tc.want_sweep, tc.want_start, start + sweep}, 1e-9));
    }
    EXPECT_EQ(polar_to_eccentric_angle(10, 5, 1e-15), 0.0);
}

TEST(ShapeCore, PasteLookupsByFaceCode) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XLeaves* shape = view.add_shape(
        root, "box,w=1,d=1,h=1,color=#102030,trans=0.25,paste=C;1000-1999.3000;;;;0;0;255|A;4000;Clear|A;5000;x.jpg");
    const struct {
        int code;
        bool found;
        int cleared, end;
        std::uint32_t colour;
    } cases[] = {{1000, true, 0, 1, 0xFF0000}, {1999, true, 0, 2, 0xFF0000}, {1500, true, 0, 0, 0xFF0000},
                 {3000, true, 0, 1, 0xFF0000}, {4000, true, 1, 1, 0x302010}, {2000, false, 0, 0, 0x302010},
                 {5000, true, 0, 1, 0x302010}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.code);
        int cleared = -1;
        PasteEntry* entry = shape->FindFacePaste(tc.code, &cleared);
        EXPECT_EQ(std::tuple(entry != nullptr, cleared), std::tuple(tc.found, tc.cleared));
        ShapeMaterial material;
        EXPECT_EQ(shape->GetFaceMaterial(tc.code, &material, nullptr), tc.end);
        EXPECT_EQ(material.material.color, tc.colour);
        EXPECT_DOUBLE_EQ(material.material.transparency, 0.25);
    }
    // Without a bridge an image cannot load: its entry keeps no texture.
    EXPECT_EQ(shape->FindFacePaste(5000, nullptr)->texture_id, -1);
    EXPECT_EQ(shape->face_count(), 5);
}

TEST(ShapeCore, TextureCoordinatesTurnAboutTheCentre) {
    PasteEntry entry{};
    entry.work_size = 10;
    entry.work_lift = 20;
    const struct {
        double angle, cx, cy;
        double x, y, u, v;
    } cases[] = {
        {0, 0, 0, 5, 10, 0.5, 0.5}, {90, 0, 0, 10, 0, 0, 0.5}, {90, 5, 5, 5, 5, 0.5, 0.25}, {180, 5, 10, 0, 0, 1, 1}};
    for (const auto& tc : cases) {
        entry.angle = tc.angle;
        entry.center_x = tc.cx;
        entry.center_y = tc.cy;
        double point[2] = {tc.x, tc.y};
        XLeaves::MapTextureCoords(point, 1, &entry);
        EXPECT_TRUE(kz::test::all_near({point[0], point[1]}, {tc.u, tc.v}, 1e-12));
    }
}

TEST(ShapeCore, ZpolyBecomesAFlatPolyPlacedWhereItsPointsWere) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XLeaves* shape = root->parts[root->AddLeaves()];
    COBJECTA& r = *shape->record;
    r.kind = kKindZpoly;
    r.poldat = kz::foundation::set_heap_string(nullptr, "0;0;0;5;5;5", nullptr, -1);
    EXPECT_EQ(shape->ZpolyToPoly(), 0);
    EXPECT_EQ(r.kind, kKindZpoly) << "a zpoly that cannot be converted stays one";
    EXPECT_STREQ(r.poldat, "0;0;0;5;5;5");

    // More points than a zpoly keeps: refused whole, never cut short.
    std::string many;
    const int kZpolyPointLimit = 4000;
    for (int i = 0; i <= kZpolyPointLimit; ++i)
        many += std::to_string(std::cos(i * 0.001) * 1000) + ";" + std::to_string(std::sin(i * 0.001) * 1000) + ";" +
                std::to_string(i % 7) + ";";
    r.poldat = kz::foundation::set_heap_string(r.poldat, many.c_str(), nullptr, -1);
    EXPECT_EQ(shape->ZpolyToPoly(), 0);
    EXPECT_EQ(r.kind, kKindZpoly);
    EXPECT_EQ(std::string(r.poldat), many);

    const std::vector<double> points = {10, 0, 0, 10, 4, 3, 0, 4, 3, 0, 0, 0, 10, 0, 0};
    r.kind = kKindZpoly;
    r.poldat = kz::foundation::set_heap_string(r.poldat, "10;0;0;10;4;3;0;4;3;0;0;0;10;0;0||rest text", nullptr, -1);
    ASSERT_EQ(shape->ZpolyToPoly(), 1);
    EXPECT_EQ(r.kind, kKindPoly);
    const std::string poldat(r.poldat);
    ASSERT_NE(poldat.find("||rest text"), std::string::npos) << poldat;
    // Four flat points (the repeated last one dropped), carried by O x P back onto the 3D points.
    std::vector<double> flat;
    std::size_t start = 0;
    for (std::size_t end; (end = poldat.find(';', start)) != std::string::npos && poldat[start] != '|'; start = end + 1)
        flat.push_back(std::stod(poldat.substr(start, end - start)));
    ASSERT_EQ(flat.size(), 8u);
    shape->placement_valid = 0;
    shape->ComputePlacement();
    double op[16];
    kz::foundation::multiply_matrix4(op, shape->O().data(), shape->P().data());
    for (int i = 0; i < 4; ++i) {
        double p[3] = {flat[2 * i], flat[2 * i + 1], 0.0}, out[3];
        kz::foundation::transform_point(out, p, op);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], points[3 * i + k], 1e-6) << i;
    }
}

TEST(ShapeCore, BuildDispatchAndKindsWithoutFaces) {
    test::BridgedView view;
    XTrunk* root = view.add_trunk("root");
    for (const char* line : {"trunk,w=10", "putref,w=10,h=10", "pose"}) {
        SCOPED_TRACE(line);
        XLeaves* shape = view.add_shape(root, line);
        EXPECT_EQ(std::tuple(shape->face_count(), shape->model), std::tuple(0, nullptr));
    }
    XLeaves* box = view.add_shape(root, "box,w=10,d=10,h=10,limit=A;dx;0;5");
    ASSERT_NE(box->model, nullptr);
    ASSERT_NE(box->limits, nullptr);
    EXPECT_EQ(std::tuple(box->limits[1].upper_set, box->material_count()), std::tuple(1, 6));
    EXPECT_DOUBLE_EQ(box->surface(), 600.0);
    EXPECT_TRUE(view.bridge->polygons.empty());
    // Rebuilding replaces the model rather than adding a second one.
    CO3duPosList before;
    view.bridge->modeller->GetPosArray(before);
    box->Build(nullptr);
    CO3duPosList after;
    view.bridge->modeller->GetPosArray(after);
    EXPECT_EQ(after.GetSize(), before.GetSize());
}

}  // namespace
}  // namespace kz::scene
