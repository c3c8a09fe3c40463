// Frames drawn from the draw cache against the same frames drawn shape by shape: the still shapes of an item in one
// batch, coplanar faces won by list order, and every call that changes what a shape draws as a row: draw, change,
// draw, and draw again once the shape has kept still for a frame; pixels equal and the batches as expected. With the
// section plane or the shadow light on, curved shapes of an item show the same caps and shadows as drawn one by one.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/gl_draw_cache.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

constexpr int kSize = 96;

OfuMatrix4x4 moved(double x, double y, double z) {
    OfuMatrix4x4 m = identity_matrix();
    m[3][0] = x, m[3][1] = y, m[3][2] = z;
    return m;
}

// An image of one colour for textures.
_OfuBitmap plain_image(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    _OfuBitmap image = blank_image(8, 8, 24);
    for (int i = 0; i + 2 < image.pixels.GetSize(); i += 3)
        image.pixels[i] = b, image.pixels[i + 1] = g, image.pixels[i + 2] = r;
    return image;
}

// Curved shapes as their builders make them: strips over (u, v) in [0, 1] x [0, 1], u around, each vertex with the
// surface's own normal.
enum class Curved { bent_tube, ball, hemisphere, cone, frustum, ellipsoid };

CO3duPrimitive make_curved(Curved kind, const _OfuMaterial& material) {
    constexpr int kAround = 48, kAlong = 24;
    auto at = [kind](double u, double v, _O3duVertex& out) {
        const double t = 2 * M_PI * u;
        OfuVector3 p, n;
        if (kind == Curved::bent_tube) {  // a quarter turn of radius 9, the tube's radius 3
            const double a = M_PI / 2 * v, c = std::cos(-t), s = std::sin(-t);
            n = OfuVector3(c * std::cos(a), c * std::sin(a), s);
            p = OfuVector3(9 * std::cos(a) + 3 * n.x, 9 * std::sin(a) + 3 * n.y, 3 * n.z);
        } else if (kind == Curved::cone || kind == Curved::frustum) {  // along z, 12 high
            const double r0 = 6, r1 = kind == Curved::cone ? 0 : 2, r = r0 + (r1 - r0) * v;
            p = OfuVector3(r * std::cos(t), r * std::sin(t), 12 * v - 6);
            n = OfuVector3(12 * std::cos(t), 12 * std::sin(t), r0 - r1);
        } else {
            const double a = kind == Curved::ellipsoid ? 9 : 7, b = 7, c = kind == Curved::ellipsoid ? 4 : 7;
            const double f = (kind == Curved::hemisphere ? 0.5 * v : v - 0.5) * M_PI;
            p = OfuVector3(a * std::cos(f) * std::cos(t), b * std::cos(f) * std::sin(t), c * std::sin(f));
            n = OfuVector3(p.x / (a * a), p.y / (b * b), p.z / (c * c));
        }
        NormalizeVector3(n);
        out.position = p, out.normal = n;
    };
    CO3duPrimitive prim;
    for (int i = 0; i < kAlong; ++i) {
        CO3duTrianglePolys band;
        band.material = material;
        band.vertices.SetSize(2 * (kAround + 1));
        for (int j = 0; j <= kAround; ++j) {
            at(double(j) / kAround, double(i + 1) / kAlong, band.vertices[2 * j]);
            at(double(j) / kAround, double(i) / kAlong, band.vertices[2 * j + 1]);
        }
        prim.sets.Add(band);
    }
    return prim;
}

// Item 1: a red box, a green box whose front face may take texture 2 (the table holds only texture 1), and a blue
// quad lying exactly on the green box's front face, lit like the red box: list order gives the face to the green
// box, a batch that gathered alike looks first would give it to the blue quad. Item 2: a box with vertex colours and
// a grey one, in another frame. Item 3: a box textured with texture 1, drawn on its own while it is.
struct CacheScene {
    HeadlessScene s{kSize, kSize};
    CO3duGLModelar& m = *s.modeller;
    _OfuPosition* a[3] = {};
    _OfuPosition* b[2] = {};
    _OfuPosition* u = nullptr;
    HDC hdc = s.dc.get();

    CacheScene() {
        OfuLight head =
            make_light(OFU_LIGHT_POSITIONAL, {0.5f, 0.5f, 0.5f, 1}, {0.1f, 0.1f, 0.1f, 1}, {0.6f, 0.6f, 0.6f, 1});
        head.attenuation = 0.001f;
        m.SetLight(0, head);
        m.SetLight(1, make_light(OFU_LIGHT_DIRECTIONAL, {0.4f, 0.4f, 0.3f, 1}, {0.1f, 0.1f, 0.1f, 1},
                                 {0.3f, 0.3f, 0.3f, 1}, {-0.4, 0.6, -0.7}));
        _OfuBitmap image = plain_image(40, 200, 240);
        m.AddTexture(image);
        m.Initialize(hdc);
        const _OfuMaterial red = make_material({0.9f, 0.2f, 0.2f, 1}, {0.9f, 0.2f, 0.2f, 1}, {0.5f, 0.5f, 0.5f, 1}, 30);
        const _OfuMaterial green =
            make_material({0.2f, 0.8f, 0.3f, 1}, {0.1f, 0.3f, 0.1f, 1}, {0.2f, 0.2f, 0.2f, 1}, 10);
        const _OfuMaterial blue =
            make_material({0.1f, 0.2f, 0.9f, 1}, {0.1f, 0.2f, 0.9f, 1}, {0.5f, 0.5f, 0.5f, 1}, 30);
        const OfuMatrix4x4 item1 = moved(-6, 0, 5), item2 = moved(0, 0, -12);
        CO3duPrimitive p0 = make_box({-10, -3, -3}, {-2, 3, 3}, red);
        CO3duPrimitive p1 = make_box({2, -3, -3}, {10, 3, 3}, green);
        p1.sets[2].material_type = O3DU_MATERIAL_TEXTURE;
        p1.sets[2].texture_number = 2;
        CO3duPrimitive p2 = make_quad_facing_minus_y(2, -3, 10, 3, -3, blue);
        CO3duPrimitive* item_one[3] = {&p0, &p1, &p2};
        for (int i = 0; i < 3; ++i) a[i] = add(*item_one[i], item1, 1);
        CO3duPrimitive q0 = make_box({-12, -3, -3}, {-1, 3, 3}, make_material({0, 0, 0, 1}, {0.1f, 0.1f, 0.1f, 1}));
        for (int i = 0; i < q0.sets.GetSize(); ++i) {
            q0.sets[i].material_type = O3DU_MATERIAL_VERTEX_COLOR;
            for (int k = 0; k < q0.sets[i].vertices.GetSize(); ++k) {
                float* c = q0.sets[i].vertices[k].color;
                c[0] = 0.2f * float(k + 1), c[1] = 0.9f - 0.2f * float(k), c[2] = 0.5f;
            }
        }
        b[0] = add(q0, item2, 2);
        b[1] = add(make_box({1, -3, -3}, {12, 3, 3},
                            make_material({0.5f, 0.5f, 0.6f, 1}, {0.5f, 0.5f, 0.6f, 1}, {0.9f, 0.9f, 0.9f, 1}, 80)),
                   item2, 2);
        CO3duPrimitive textured =
            make_box({9, -2, 9}, {15, 2, 13}, make_material({0.8f, 0.8f, 0.8f, 1}, {0.8f, 0.8f, 0.8f, 1}));
        textured.sets[2].material_type = O3DU_MATERIAL_TEXTURE;
        textured.sets[2].texture_number = 1;
        u = add(textured, identity_matrix(), 3);
    }

    _OfuPosition* add(CO3duPrimitive p, const OfuMatrix4x4& matrix, std::uint64_t item) {
        p.model_matrix = matrix;
        _OfuPosition* pos = m.AddPrimitive(p);
        m.SetProp3(pos, kO3duItemProperty, item);
        return pos;
    }

    // Item 4, before the camera: a box whose frame starts 30 m away (as a building's parts in millimetres may), then
    // a curved shape of the kind, both turned with the item; the section plane through the curved shape, or the
    // shadow light on; then the curved shape swung back to its place over `swing` frames, as a timed motion does.
    void add_curved_item(Curved kind, bool section, int swing) {
        OfuMatrix4x4 frame, turn;
        MakeRotateZMatrix(frame, 0.5);
        MakeRotateXMatrix(turn, 0.35);
        MultiplyMatrix4x4(frame, turn);
        MultiplyMatrix4x4(frame, moved(4, -45, 2));
        OfuMatrix4x4 far_origin = moved(30000, 0, 0), place = moved(-3, 4, -1);
        MultiplyMatrix4x4(far_origin, frame);
        MultiplyMatrix4x4(place, frame);
        const _OfuMaterial white = make_material({0.9f, 0.9f, 0.8f, 1}, {0.9f, 0.9f, 0.8f, 1});
        add(make_box({-30012, 6, -8}, {-30006, 10, -4}, white), far_origin, 4);
        _OfuPosition* curved = add(make_curved(kind, white), place, 4);
        OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0.3, 0.5, -1});
        light.on = !section;
        m.SetShadowLight(light);
        m.SetShadowColor({0, 0, 0, 0.5f});
        m.SetCliping(section, OfuPlane{0.96, 0.28, 0, -0.96 * place[3][0] - 0.28 * place[3][1]}, {0, 1, 1, 1});
        for (int tick = swing; tick > 0; --tick) {
            MakeRotateZMatrix(turn, 0.1 * tick);
            MultiplyMatrix4x4(turn, place);
            m.SetMatrix(curved, turn);
            s.render();
        }
        if (swing) m.SetMatrix(curved, place);
    }

    Frame by_shape() {
        set_draw_cache_for_testing(false);
        Frame f = s.render();
        set_draw_cache_for_testing(true);
        return f;
    }
    std::size_t batches() const { return m.draw_cache().batch_count(); }
};

// Pixels in which two frames differ; on a difference both go to the output folder.
::testing::AssertionResult same_frames(const Frame& cached, const Frame& reference, const std::string& name) {
    int differing = 0;
    for (int y = 0; y < cached.height; ++y)
        for (int x = 0; x < cached.width; ++x) {
            const Rgb p = cached.at(x, y), q = reference.at(x, y);
            differing += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    cached.save(name + "_cached");
    reference.save(name + "_by_shape");
    return ::testing::AssertionFailure() << differing << " pixels differ; frames written as " << name << "_*.bmp";
}

void change_sets(CacheScene& c, _OfuPosition* pos, long flags, const std::function<void(CO3duPrimitive&)>& edit) {
    CO3duPrimitive p;
    c.m.GetPrimitive(pos, p, flags);
    edit(p);
    c.m.ChangePrimitive(pos, p, flags);
}

struct Row {
    std::string name;
    std::function<void(CacheScene&)> change;
    std::size_t after;     // batches in the frame after the change
    std::size_t rejoined;  // and in the frame after that
};

TEST(DrawCache, EveryChangeDrawsAsShapeByShape) {
    std::vector<Row> rows = {
        {"nothing changed: list order wins coplanar faces", [](CacheScene&) {}, 2, 2},
        {"ChangePrimitive giving back what it read", [](CacheScene& c) { change_sets(c, c.a[1], 511, [](auto&) {}); },
         2, 2},
        {"ChangePrimitive geometry",
         [](CacheScene& c) {
             change_sets(c, c.a[1], 1, [](CO3duPrimitive& p) {
                 for (int i = 0; i < p.sets.GetSize(); ++i)
                     for (int k = 0; k < p.sets[i].vertices.GetSize(); ++k) p.sets[i].vertices[k].position.z += 4;
             });
         },
         3, 2},
        {"ChangePrimitive material",
         [](CacheScene& c) {
             change_sets(c, c.a[1], 2, [](CO3duPrimitive& p) {
                 for (int i = 0; i < p.sets.GetSize(); ++i) p.sets[i].material.diffuse = {0.9f, 0.9f, 0.1f, 1};
             });
         },
         3, 2},
        // Normals by corner: the faces share their corners, which a face of its own colour must not lend the others.
        {"ChangePrimitive geometry and material: shared corners, one face of its own colour",
         [](CacheScene& c) {
             change_sets(c, c.a[1], 1 | 2, [](CO3duPrimitive& p) {
                 for (int i = 0; i < p.sets.GetSize(); ++i)
                     for (int k = 0; k < p.sets[i].vertices.GetSize(); ++k) {
                         _O3duVertex& v = p.sets[i].vertices[k];
                         v.normal = OfuVector3(v.position.x - 6, v.position.y, v.position.z);
                         NormalizeVector3(v.normal);
                     }
                 p.sets[0].material.diffuse = {0.9f, 0.5f, 0.1f, 1};
             });
         },
         3, 2},
        {"ChangePrimitive set type",
         [](CacheScene& c) {
             change_sets(c, c.a[1], 4, [](CO3duPrimitive& p) { p.sets[2].type = O3DU_SET_TRIANGLE_LIST; });
         },
         3, 2},
        {"ChangePrimitive texture",
         [](CacheScene& c) { change_sets(c, c.a[1], 8, [](CO3duPrimitive& p) { p.sets[2].texture_number = 1; }); }, 3,
         3},
        // A sphere-mapped texture is drawn only by the shape itself: kept still, it stays out of its item's batch.
        {"ChangePrimitive sphere map, kept still",
         [](CacheScene& c) {
             change_sets(c, c.u, 2, [](CO3duPrimitive& p) { p.sets[2].material_type = O3DU_MATERIAL_SPHERE_MAP; });
         },
         2, 2},
        {"ChangePrimitive draw mode",
         [](CacheScene& c) { change_sets(c, c.a[1], 16, [](CO3duPrimitive& p) { p.draw_mode |= O3DU_DRAW_HIDDEN; }); },
         2, 2},
        {"ChangePrimitive model matrix",
         [](CacheScene& c) { change_sets(c, c.a[1], 32, [](CO3duPrimitive& p) { p.model_matrix = moved(-6, 0, 9); }); },
         3, 2},
        {"ChangePrimitive layer", [](CacheScene& c) { change_sets(c, c.a[1], 64, [](auto& p) { p.layer = 7; }); }, 3,
         2},
        {"ChangePrimitive texture matrix",
         [](CacheScene& c) { change_sets(c, c.a[1], 128, [](auto& p) { p.texture_matrix = moved(0.5, 0, 0); }); }, 3,
         2},
        {"ChangePrimitive polygon mode",
         [](CacheScene& c) { change_sets(c, c.a[1], 256, [](auto& p) { p.polygon_mode = 1; }); }, 3, 3},
        {"ChangePrimitive kind", [](CacheScene& c) { change_sets(c, c.a[1], 0, [](auto& p) { p.kind = 1; }); }, 3, 3},
        {"MoveShape",
         [](CacheScene& c) {
             OfuMatrix4x4 up = moved(0, 0, 3);
             c.m.MoveShape(c.a[1], up);
         },
         3, 2},
        {"SetMatrix",
         [](CacheScene& c) {
             OfuMatrix4x4 m = moved(-6, 0, 9);
             c.m.SetMatrix(c.a[1], m);
         },
         3, 2},
        {"SetTexMatrix",
         [](CacheScene& c) {
             OfuMatrix4x4 m = moved(0.5, 0, 0);
             c.m.SetTexMatrix(c.a[1], m);
         },
         3, 2},
        {"SetLayer", [](CacheScene& c) { c.m.SetLayer(c.a[1], 7); }, 3, 2},
        {"SetDrawMode", [](CacheScene& c) { c.m.SetDrawMode(c.a[1], O3DU_DRAW_HIDDEN | O3DU_DRAW_PICKABLE); }, 2, 2},
        // An underlay is drawn before every other shape, so the shapes around it stay one batch.
        {"SetDrawMode underlay", [](CacheScene& c) { c.m.SetDrawMode(c.a[1], O3DU_DRAW_UNDERLAY); }, 2, 2},
        {"SetProp3 of the item", [](CacheScene& c) { c.m.SetProp3(c.a[1], kO3duItemProperty, 2); }, 3, 4},
        {"MoveDepthToHead", [](CacheScene& c) { c.m.MoveDepthToHead(c.a[2]); }, 2, 2},
        {"MoveDepthToTail", [](CacheScene& c) { c.m.MoveDepthToTail(c.a[1]); }, 3, 3},
        {"RemoveShapeAt", [](CacheScene& c) { c.m.RemoveShapeAt(c.a[1]); }, 2, 2},
        {"RemoveShapeAll", [](CacheScene& c) { c.m.RemoveShapeAll(); }, 0, 0},
        {"AddPrimitive into the item",
         [](CacheScene& c) {
             c.add(make_box({-4, -6, -9}, {4, -4, -7}, make_material({1, 1, 1, 1}, {1, 1, 1, 1})), moved(-6, 0, 5), 1);
         },
         2, 3},
        {"AddTexture",
         [](CacheScene& c) {
             _OfuBitmap image = plain_image(250, 30, 30);
             c.m.AddTexture(image);
             c.m.Initialize(c.hdc);
         },
         3, 3},
        {"ChangeTexture",
         [](CacheScene& c) {
             _OfuBitmap image = plain_image(30, 250, 30);
             c.m.ChangeTexture(1, image);
             c.m.Initialize(c.hdc);
         },
         2, 2},
        {"RemoveAllTexture", [](CacheScene& c) { c.m.RemoveAllTexture(); }, 3, 3},
        {"Initialize", [](CacheScene& c) { c.m.Initialize(c.hdc); }, 2, 2},
        {"two-sided lighting, the boxes cut open",
         [](CacheScene& c) {
             c.m.SetCullMode(1);
             c.m.SetCliping(1, OfuPlane{0, 1, 0, 1}, {0, 1, 1, 1});
         },
         2, 2},
        {"Finalize",
         [](CacheScene& c) {
             c.m.Finalize();
             c.m.Initialize(c.hdc);
         },
         0, 0},
    };
    // Section caps and shadow volumes are drawn shape by shape, so the shapes under them are too: a curved shape
    // behind another of its item shows no speck of cap or shadow colour, nor one at rest after a timed swing. The
    // section's frames still make the batches of what keeps still (the item the plane crosses is drawn shape by
    // shape all the same); the shadows' frames leave the batches as they were.
    const char* kinds[] = {"bent tube", "ball", "hemisphere", "cone", "frustum", "ellipsoid"};
    for (int k = 0; k < 7; ++k)
        for (const bool section : {true, false})
            rows.push_back(
                {std::string(section ? "section: " : "shadows: ") +
                     (k < 6 ? kinds[k] + std::string(" behind a box of its item") : "bent tube after a swing"),
                 [=](CacheScene& c) { c.add_curved_item(Curved(k % 6), section, k < 6 ? 0 : 4); },
                 section && k == 6 ? 3u : 2u, section ? 3u : 2u});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CacheScene c;
        c.s.render();  // every shape new: each on its own
        EXPECT_EQ(c.batches(), 0u);
        const Frame batched = c.s.render();
        const std::uint64_t drawn = c.m.TrianglesDrawnLastFrame();
        EXPECT_TRUE(same_frames(batched, c.by_shape(), "cache_batched"));
        ASSERT_EQ(c.batches(), 2u);
        // Four boxes and a quad in batches, a box on its own, counted alike drawn either way.
        EXPECT_EQ(std::pair(drawn, c.m.TrianglesDrawnLastFrame()), std::pair(std::uint64_t(62), std::uint64_t(62)));
        row.change(c);
        EXPECT_TRUE(same_frames(c.s.render(), c.by_shape(), "cache_changed"));
        EXPECT_EQ(c.batches(), row.after);
        EXPECT_TRUE(same_frames(c.s.render(), c.by_shape(), "cache_rejoined"));
        EXPECT_EQ(c.batches(), row.rejoined);
    }
}

// Counts the hooks' calls and moves the shapes of layer 5 deeper, onto the section plane.
class SectionHooks : public CO3duGLModelar {
public:
    int DrawStart(_OfuPosition*&) override { return ++starts; }
    int PreDraw(_OfuPosition*& pos, OfuMatrix4x4& m, int) override {
        if (GetLayer(pos) == 5) m[3][1] += kDeeper;
        return 0;
    }
    int DrawEnd(_OfuPosition*&, int) override { return ++ends; }
    static constexpr double kDeeper = 22.75;  // the plane's y at x = -17
    int starts = 0, ends = 0;
};

// Three items of two boxes apart from each other, each in a turned frame: A wholly on the section's kept side,
// with a quad in front of it that shows the camera its back; B crossed through its middle; C wholly cut away.
// Lit by the ambient light alone, each shows one flat colour.
TEST(DrawCache, TheSectionDrawsAnItemByItsSideOfThePlane) {
    const Rgb background{128, 128, 128}, cap{0, 255, 255}, a_colour{51, 26, 0};
    Frame cached;
    for (const int way : {0, 1, 2}) {  // from the draw cache, shape by shape, through hooks of a modeller's own
        SCOPED_TRACE(way);
        HeadlessScene s;
        if (way == 2) s.replace_modeller(std::make_unique<SectionHooks>());
        CO3duGLModelar& m = *s.modeller;
        m.SetBkColor({0.5f, 0.5f, 0.5f, 1});
        const double item_x[3] = {17, 0, -17};
        for (int item = 0; item < 3; ++item) {
            OfuMatrix4x4 frame, tilt;
            MakeRotateZMatrix(frame, 0.4 + 0.3 * item);
            MakeRotateXMatrix(tilt, 0.3);
            MultiplyMatrix4x4(frame, tilt);
            MultiplyMatrix4x4(frame, moved(item_x[item], 0, 0));
            const float red = item == 0 ? 1.0f : 0.4f;
            const _OfuMaterial look = make_material({red, 0.5f, 0, 1}, {red, 0.5f, 0, 1});
            CO3duPrimitive boxes[2] = {make_box({-4, -3, -4}, {4, 3, 4}, look),
                                       make_box({-2, -2, 4.5}, {2, 2, 6}, look)};
            boxes[0].layer = item == 2 ? 5 : 0;
            for (CO3duPrimitive& box : boxes) {
                box.model_matrix = frame;
                m.SetProp3(m.AddPrimitive(box), kO3duItemProperty, std::uint64_t(item + 1));
            }
        }
        CO3duPrimitive back = make_quad_facing_minus_y(-4, -4, 4, 4, 0, make_material({0, 0, 1, 1}, {0, 0, 1, 1}));
        MakeRotateZMatrix(back.model_matrix, M_PI);
        MultiplyMatrix4x4(back.model_matrix, moved(17, -12, 0));
        m.SetProp3(m.AddPrimitive(back), kO3duItemProperty, 1);
        m.SetCliping(1, OfuPlane{0.8, 0.6, 0, 0}, {0, 1, 1, 1});
        set_draw_cache_for_testing(way == 0);
        s.render();
        const Frame f = s.render();
        set_draw_cache_for_testing(true);
        _O3duCamera c;
        m.GetCamera(c);
        int x = 0, y = 0;
        pixel_of(c, {17, -12, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, a_colour, 2, "section_back_face"));
        pixel_of(c, {0, 0, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, cap, 0, "section_crossed"));
        pixel_of(c, {-17, 0, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, background, 0, "section_cut"));
        pixel_of(c, {-17, SectionHooks::kDeeper, 0}, x, y);
        EXPECT_TRUE(pixel_near(f, x, y, way == 2 ? cap : background, 0, "section_moved_by_hook"));
        if (way == 0) {
            cached = f;
        } else if (way == 1) {
            EXPECT_TRUE(same_frames(cached, f, "section_sides"));
        } else {  // seven shapes, each in the opaque pass and the caps' pass, in two frames
            const auto& hooks = static_cast<const SectionHooks&>(m);
            EXPECT_EQ(std::pair(hooks.starts, hooks.ends), std::pair(28, 28));
        }
    }
}

// Hooks of its own, even ones that draw as the base ones do, keep every shape going through them.
class HookedModelar : public CO3duGLModelar {
public:
    int DrawStart(_OfuPosition*&) override {
        ++starts;
        return 1;
    }
    int starts = 0;
};

TEST(DrawCache, AModellerWithHooksOfItsOwnDrawsEveryShapeThroughThem) {
    CacheScene c;
    auto hooked = std::make_unique<HookedModelar>();
    HookedModelar& h = *hooked;
    ASSERT_EQ(h.Initialize(c.hdc), 1);
    for (int i = 0; i < 3; ++i) {
        CO3duPrimitive p;
        c.m.GetPrimitive(c.a[i], p, 511);
        c.a[i] = h.AddPrimitive(p);
        h.SetProp3(c.a[i], kO3duItemProperty, 1);
    }
    c.s.modeller = std::move(hooked);
    for (int frame = 0; frame < 3; ++frame) c.s.render();
    EXPECT_EQ(h.draw_cache().batch_count(), 0u);
    EXPECT_EQ(h.starts, 9);
}

}  // namespace
}  // namespace kz::test
