// Images on faces through the real modeller: a pasted image shows on its face, the paste list keeps one entry a
// face and place, and a swap changes the texture (and the sphere-map kind) of exactly the faces that showed it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "modeller/o3du_modelar.h"
#include "paint_fixture.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {
namespace {

constexpr int kTop = 2000;  // face code of a box's top

class FaceImages : public PaintTest {
public:
    // An 8 x 8 image of one colour in the output folder; its path in the program's form.
    static std::string solid_image(const std::string& name, Rgb color) {
        Frame f(8, 8);
        for (std::size_t i = 0; i + 2 < f.bytes.size(); i += 3) {
            f.bytes[i] = static_cast<std::uint8_t>(color.b);
            f.bytes[i + 1] = static_cast<std::uint8_t>(color.g);
            f.bytes[i + 2] = static_cast<std::uint8_t>(color.r);
        }
        f.save(name);
        std::string path = "Z:" + kz::test::output_file(name + ".bmp");
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }
    static int face_with_code(XLeaves* part, int code) {
        for (int i = 0; i < part->face_count(); ++i)
            if (part->faces()[i]->face_code == code) return i;
        return -1;
    }
    // Looks straight down at the middle of a part's top face and returns what the view shows there.
    Rgb top_colour(XLeaves* part) {
        const kz::scene::XLeaf* face = part->faces()[face_with_code(part, kTop)];
        double middle[3];
        face_middle(face, middle);
        const double from[3] = {middle[0], middle[1] - 10.0, middle[2] + 2000.0};
        look(from, middle);
        view->Redraw(0);
        return window_frame(0).at(kW / 2, kH / 2);
    }
};

TEST_F(FaceImages, PastedImageShowsAndTheListKeepsOneEntryPerFaceAndPlace) {
    const std::string red = solid_image("paste_red", {255, 0, 0});
    const std::string green = solid_image("paste_green", {0, 255, 0});
    const int item = add_box_item(
        "box,0,0,0,,,,,,,,,,1000,1000,100,,,,,,1,255,255,255,,,,,slab,,"
        "A;2000;x.bmp;;;;;;;;;;;0;|");
    XLeaves* part = view->document.trunks[item]->parts[1];
    const int top = face_with_code(part, kTop);
    const int bottom = face_with_code(part, 1000);
    ASSERT_GE(std::min(top, bottom), 0);

    ASSERT_EQ(view->PasteImageOnFace(red.c_str(), item, 1, top), 1);
    part = view->document.trunks[item]->parts[1];
    const Rgb shown = top_colour(part);
    EXPECT_GT(shown.r, 200);
    EXPECT_LT(shown.g + shown.b, 60);

    auto entries = [&] {
        std::vector<std::string> out;
        const kz::scene::COBJECTA& r = *view->document.trunks[item]->parts[1]->record;
        for (int i = 0; i < r.paste_count; ++i) {
            const kz::scene::PasteEntry& e = r.paste_entries[i];
            out.push_back(std::string(1, static_cast<char>(e.face_letter)) + std::to_string(e.from_codes[0]) + ":" +
                          (e.source == red     ? "red"
                           : e.source == green ? "green"
                                               : "other") +
                          ":" + std::to_string(static_cast<int>(e.size)));
        }
        return out;
    };
    using List = std::vector<std::string>;
    EXPECT_EQ(entries(), (List{"C2000:red:0", "A2000:other:0"}));
    // The same face and place again: the entry takes the new image where it stands.
    view->PasteImageOnFace(green.c_str(), item, 1, top);
    EXPECT_EQ(entries(), (List{"C2000:green:0", "A2000:other:0"}));
    view->PasteImageOnFace(red.c_str(), item, 1, bottom);
    EXPECT_EQ(entries(), (List{"C1000:red:0", "C2000:green:0", "A2000:other:0"}));
    // Other sizes: the entry of that face and place takes image and sizes and comes to the front.
    view->input.paste_size_switch = 1;
    view->input.paste_size[0] = 300.0;
    view->PasteImageOnFace(red.c_str(), item, 1, top);
    EXPECT_EQ(entries(), (List{"C2000:red:300", "C1000:red:0", "A2000:other:0"}));
    EXPECT_EQ(std::string(view->document.trunks[item]->parts[1]->record->paste_text).substr(0, 7), "C;2000;");
}

TEST_F(FaceImages, SwapChangesTextureAndMaterialKindOfTheFacesThatShowedTheImage) {
    const std::string red = solid_image("swap_red", {255, 0, 0});
    const std::string blue = solid_image("swap_blue", {0, 0, 255});
    const int item = add_box_item(
        ("box,0,0,0,,,,,,,,,,1000,1000,100,,,,,,1,255,255,255,,,,,slab,,A;2000;" + red + ";1000;0;;;;;;;;;0;|")
            .c_str());
    XLeaves* part = view->document.trunks[item]->parts[1];
    const int top = face_with_code(part, kTop);
    ASSERT_GE(top, 0);
    ASSERT_GE(part->faces()[top]->paste_image, 0);
    const std::string shown_image = view->document.image_names[part->faces()[top]->paste_image];
    const Rgb before = top_colour(part);
    EXPECT_GT(before.r, 200);
    EXPECT_LT(before.b, 60);

    EXPECT_EQ(view->SwapFaceImage(item, 1, top, "", blue.c_str()), 0);
    EXPECT_EQ(view->SwapFaceImage(item, 1, top, shown_image.c_str(), ""), 0);
    ASSERT_EQ(view->SwapFaceImage(item, 1, top, shown_image.c_str(), blue.c_str()), 1);
    const Rgb after = top_colour(part);
    EXPECT_GT(after.b, 200);
    EXPECT_LT(after.r, 60);
    EXPECT_STREQ(part->record->paste_entries[0].source, blue.c_str());

    // With the entry's last flag the faces become sphere-mapped: the kind reaches the modeller with the texture.
    part->record->paste_entries[0].last_number = 1;
    ASSERT_EQ(view->SwapFaceImage(item, 1, top, blue.c_str(), red.c_str()), 1);
    CO3duPrimitive primitive;
    view->output.bridge->modeller->GetPrimitive(part->model, primitive, O3DU_PRIM_MATERIAL | O3DU_PRIM_TEXTURE);
    const kz::scene::XLeaf* face = part->faces()[top];
    ASSERT_GE(face->first_polygon, 0);
    for (int p = 0; p < primitive.sets.GetSize(); ++p) {
        const bool on_top = p >= face->first_polygon && p <= face->last_polygon;
        EXPECT_EQ(primitive.sets[p].material_type, on_top ? O3DU_MATERIAL_SPHERE_MAP : O3DU_MATERIAL_SINGLE) << p;
        if (on_top) {
            EXPECT_GT(primitive.sets[p].texture_number, 0);
        }
    }
    // An image nobody shows any more swaps nothing and says so with 1.
    EXPECT_EQ(view->SwapFaceImage(item, 1, top, blue.c_str(), red.c_str()), 1);
}

}  // namespace
}  // namespace kz::view::test
