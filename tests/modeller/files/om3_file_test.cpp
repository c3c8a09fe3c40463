// OM3 mesh files end to end: a scene with every set type, material type, texture depth and matrix written and
// read back; the file-level facts (header, versions, streams appended to a file); thousands of corrupted files,
// each refused cleanly or read, never read past its end; and long files of small chunks read in linear time.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/files/o3du_read_mesh3.h"
#include "modeller/files/o3du_write_mesh3.h"
#include "modeller/files/om3_chunks.h"
#include "platform/file_system.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

OfuMatrix4x4 placed(double angle, double x, double y, double z) {
    OfuMatrix4x4 m;
    MakeRotateZMatrix(m, angle);
    m[3][0] = x, m[3][1] = y, m[3][2] = z;
    return m;
}

_OfuBitmap gradient_image(int side, int bits) {
    _OfuBitmap image = blank_image(side, side, bits);
    for (int i = 0; i < image.pixels.GetSize(); ++i) image.pixels[i] = static_cast<std::uint8_t>(i * 7 + bits);
    if (bits == 1) image.palette[1] = 0xFFFFFF;
    return image;
}

// Textures 1 (24 bits), 2 (1 bit) and 3 (32 bits); a shape with one set of each type 0..7 whose material types
// and textures vary; a hidden window-coordinate shape; a plain shape. Values are not all exact in floats.
struct Scene {
    std::vector<CO3duPrimitive> shapes;
    explicit Scene(CO3duModelar& m) {
        for (int bits : {24, 1, 32}) {
            _OfuBitmap image = gradient_image(8, bits);
            EXPECT_NE(m.AddTexture(image), 0u);
        }
        CO3duPrimitive every;
        for (int type = O3DU_SET_POINTS; type <= O3DU_SET_INDEXED_LINES; ++type) {
            CO3duTrianglePolys set;
            set.type = type;
            set.material = make_material({0.1f * type, 0.2f, 0.3f, 1.0f}, {0.4f, 0.5f, 0.1f * type, 1.0f},
                                         {0.7f, 0.8f, 0.9f, 1.0f}, 10.0f + type);
            set.material.emission = {0.3f, 0.3f, 0.3f, 1.0f};
            set.material_type = type % 4;
            set.texture_number = type % 4 >= 2 ? 1 + type % 3 : 0;
            set.line_width = 1.0f + 0.5f * type;
            set.vertices.SetSize(6);
            for (int i = 0; i < 6; ++i) {
                _O3duVertex& v = set.vertices[i];
                v.position = OfuVector3(i / 3.0 + type, 10.1 * i, -0.7 * type + i);
                v.normal = OfuVector3(0, i % 2 ? 0.6 : 0.0, i % 2 ? 0.8 : 1.0);
                v.color[0] = 0.1f * i, v.color[1] = 0.5f, v.color[2] = 1.0f - 0.1f * i, v.color[3] = 0.25f;
                v.tex = OfuVector2(i / 7.0, 1.0 - i / 9.0);
            }
            if (type >= O3DU_SET_INDEXED_TRIANGLES) {
                set.indices.SetSize(2);
                set.indices[0] = {0, 1, 2};
                set.indices[1] = {5, 4, 3};
            }
            every.sets.Add(set);
        }
        every.model_matrix = placed(0.3, 5, -2, 7.25);
        every.texture_matrix = placed(0.1, 0.5, 0.25, 0);
        every.layer = 3;
        shapes.push_back(every);
        CO3duPrimitive hidden = every;
        hidden.sets.RemoveAt(1, 7);
        hidden.draw_mode = O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SHADOW;
        hidden.kind = 1;
        hidden.layer = 0xFFFFFFF0u;
        hidden.polygon_mode = 2;
        shapes.push_back(hidden);
        shapes.push_back(make_box({-1, -1, -1}, {1, 2, 3}, make_material({1, 0, 0, 0.5f}, {0.2f, 0, 0, 1})));
        for (CO3duPrimitive& p : shapes) EXPECT_NE(m.AddPrimitive(p), nullptr);
    }
};

// What the format drops by design: the emission colour (comes back 0), vertex alpha (1: the modeller keeps
// none), 1-bit textures (a set on one comes back untextured), and precision beyond floats in vertex data.
void expect_read_back(const CO3duPrimitive& want, const CO3duPrimitive& got, const std::vector<int>& textures,
                      const OfuMatrix4x4* merged_into = nullptr) {
    ASSERT_EQ(got.sets.GetSize(), want.sets.GetSize());
    if (!merged_into) {
        EXPECT_EQ(got.draw_mode, want.draw_mode);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.layer, want.layer);
        EXPECT_EQ(got.polygon_mode, want.polygon_mode);
        EXPECT_EQ(0, std::memcmp(&got.model_matrix, &want.model_matrix, sizeof(OfuMatrix4x4)));
        EXPECT_EQ(0, std::memcmp(&got.texture_matrix, &want.texture_matrix, sizeof(OfuMatrix4x4)));
    }
    for (int s = 0; s < want.sets.GetSize(); ++s) {
        SCOPED_TRACE("set " + std::to_string(s));
        const CO3duTrianglePolys &a = want.sets[s], &b = got.sets[s];
        EXPECT_EQ(b.type, a.type);
        EXPECT_EQ(b.material_type, a.material_type);
        EXPECT_EQ(b.line_width, a.line_width);
        EXPECT_EQ(b.texture_number, textures[std::size_t(a.texture_number)]);
        EXPECT_EQ(0, std::memcmp(&b.material.diffuse, &a.material.diffuse, 3 * sizeof(OfuColorValue)));
        EXPECT_EQ(b.material.power, a.material.power);
        EXPECT_EQ(b.material.emission.r + b.material.emission.g + b.material.emission.a, 0.0f);
        ASSERT_EQ(b.vertices.GetSize(), a.vertices.GetSize());
        for (int i = 0; i < a.vertices.GetSize(); ++i) {
            _O3duVertex v = a.vertices[i];
            if (merged_into) {
                TransformPointByMatrix4x4(*merged_into, v.position);
                OfuMatrix4x4 turn = rotation_part(*merged_into);
                TransformPointByMatrix4x4(turn, v.normal);
            }
            const _O3duVertex& r = b.vertices[i];
            EXPECT_NEAR(r.position.x, v.position.x, 1e-5) << i;
            EXPECT_NEAR(r.position.y, v.position.y, 1e-5) << i;
            EXPECT_NEAR(r.position.z, v.position.z, 1e-5) << i;
            EXPECT_NEAR(r.normal.y, v.normal.y, 1e-6) << i;
            EXPECT_NEAR(r.tex.x, v.tex.x, 1e-6) << i;
            EXPECT_EQ(r.color[0], v.color[0]);
            EXPECT_EQ(r.color[3], 1.0f);
        }
        ASSERT_EQ(b.indices.GetSize(), a.indices.GetSize());
        for (int i = 0; i < a.indices.GetSize(); ++i) EXPECT_EQ(b.indices[i].c, a.indices[i].c);
    }
}

void set_every_setting(CO3duModelar& m) {
    m.SetCamera({OfuVector3(3, -50, 12), OfuVector3(1, 2, 3), 42, 2.5, 900, 1});
    m.SetAxoCamera({OfuVector3(0, 0, 80), OfuVector3(0, 1, 0), 120, 90, 1, 500});
    for (int i = 0; i < 8; ++i) {
        OfuLight light = make_light(i % 2, {0.1f * i, 0.2f, 0.3f, 1}, {0.3f, 0.1f, 0.05f * i, 1}, {1, 1, 1, 1},
                                    OfuVector3(i % 3 ? 0.6 : 0.0, i % 3 ? 0.0 : 0.6, -0.8));
        light.position = OfuVector3(i, -2.5 * i, 100 + i);
        light.on = i % 3 != 2;
        light.attenuation = 0.125f * float(i);
        m.SetLight(i, light);
    }
    m.SetShadowLight(make_light(1, {0.5f, 0.4f, 0.3f, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, OfuVector3(0.6, 0, -0.8)));
    m.SetBkColor({0.25f, 0.5f, 0.75f, 0.3f});
    m.SetCullMode(1);
    m.SetPersMode(1);
    m.SetPersWindow({-0.5, 0.4, 0.6, -0.3});
    m.SetShadowAccuracy(3);
    m.SetShadowColor({0.2f, 0.3f, 0.4f, 0.6f});
    m.SetCameraMode(1);
}

// Writing takes a thumbnail off screen; the modeller draws on its window as before afterwards.
std::string written_scene(const std::string& name) {
    HeadlessScene s;
    Scene scene(*s.modeller);
    set_every_setting(*s.modeller);
    const Frame before = s.render();
    const std::string path = output_file(name);
    EXPECT_EQ(CO3duWriteMesh3::WriteModel(*s.modeller, path.c_str(), 1), 1);
    EXPECT_EQ(s.render().bytes, before.bytes);
    return path;
}

TEST(Om3File, SceneWrittenAndReadBackHoldsTheSamePrimitivesAndSettings) {
    HeadlessScene source;
    const Scene scene(*source.modeller);
    set_every_setting(*source.modeller);
    const std::string path = output_file("om3_scene.om3");
    ASSERT_EQ(CO3duWriteMesh3::WriteModel(*source.modeller, path.c_str(), 1), 1);

    HeadlessScene target;
    for (int i = 0; i < 2; ++i) {  // two textures already there: the file's follow them
        _OfuBitmap image = gradient_image(4, 24);
        target.modeller->AddTexture(image);
    }
    OfuLight own = make_light(1, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, OfuVector3(1, 0, 0));
    own.position = OfuVector3(-9, 8, 7);
    own.on = 0;
    own.attenuation = 0.5f;
    target.modeller->SetLight(0, own);
    target.modeller->GetLight(0, own);
    CO3duPosList added;
    ASSERT_EQ(CO3duReadMesh3::ReadFile(*target.modeller, path.c_str(), added, 0), 1);
    ASSERT_EQ(added.GetSize(), 3);
    EXPECT_EQ(target.modeller->GetTexCount(), 4);    // the 1-bit texture is not taken
    const std::vector<int> textures = {0, 3, 0, 4};  // stored number -> number in the target
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("shape " + std::to_string(i));
        CO3duPrimitive got;
        target.modeller->GetPrimitive(added[i], got, O3DU_PRIM_ALL);
        expect_read_back(scene.shapes[std::size_t(i)], got, textures);
    }
    _OfuBitmap want, got;
    source.modeller->GetTexture(2, want);
    target.modeller->GetTexture(3, got);
    ASSERT_EQ(got.pixels.GetSize(), want.pixels.GetSize());
    EXPECT_EQ(0, std::memcmp(got.pixels.GetData(), want.pixels.GetData(), std::size_t(got.pixels.GetSize())));

    _O3duCamera camera;
    target.modeller->GetCamera(camera);
    EXPECT_EQ(camera.eye.y, -50);
    EXPECT_EQ(camera.far_distance, 900);
    _O3duAxoCamera axo;
    target.modeller->GetAxoCamera(axo);
    EXPECT_EQ(axo.window_height, 90);
    EXPECT_EQ(target.modeller->GetCameraMode(), 1);
    EXPECT_EQ(target.modeller->GetCullMode(), 1);
    EXPECT_EQ(target.modeller->GetPersWindow().top, 0.4);
    EXPECT_EQ(target.modeller->GetShadowAccuracy(), 3);
    EXPECT_EQ(target.modeller->GetShadowColor().a, 0.6f);
    OfuColorValue background;
    target.modeller->GetBkColor(background);
    EXPECT_EQ(background.b, 0.75f);
    EXPECT_EQ(background.a, 1.0f);  // not stored
    // All eight lights take their colours, type, switch and attenuation from the file; light 0 keeps its own
    // position and direction, the others take the file's.
    for (int i = 0; i < 8; ++i) {
        OfuLight a, b;
        source.modeller->GetLight(i, a);
        target.modeller->GetLight(i, b);
        const OfuLight& placed = i == 0 ? own : a;
        EXPECT_EQ(0, std::memcmp(&a.diffuse, &b.diffuse, 3 * sizeof(OfuColorValue))) << i;
        EXPECT_EQ(b.type, a.type) << i;
        EXPECT_EQ(b.on, a.on) << i;
        EXPECT_EQ(b.attenuation, a.attenuation) << i;
        EXPECT_EQ(length(b.position - placed.position), 0.0) << i;
        EXPECT_NEAR(length(b.direction - placed.direction), 0.0, 1e-12) << i;
    }
    OfuLight shadow;
    target.modeller->GetShadowLight(shadow);
    EXPECT_EQ(shadow.diffuse.g, 0.4f);
}

TEST(Om3File, SingleShapeMergesTheVisibleSetsInSceneCoordinates) {
    HeadlessScene source;
    const Scene scene(*source.modeller);
    const std::string path = output_file("om3_single.om3");
    ASSERT_EQ(CO3duWriteMesh3::WriteModel(*source.modeller, path.c_str(), 1), 1);
    HeadlessScene target;
    _OfuPosition* shape = CO3duReadMesh3::ReadFile_Singlepos(*target.modeller, path.c_str());
    ASSERT_NE(shape, nullptr);
    CO3duPosList all;
    target.modeller->GetPosArray(all);
    EXPECT_EQ(all.GetSize(), 1);
    CO3duPrimitive got;
    target.modeller->GetPrimitive(shape, got, O3DU_PRIM_ALL);
    EXPECT_EQ(got.draw_mode, O3DU_DRAW_PICKABLE);
    const OfuMatrix4x4 identity = identity_matrix();
    EXPECT_EQ(0, std::memcmp(&got.model_matrix, &identity, sizeof(OfuMatrix4x4)));
    // The hidden shape adds nothing; the others' sets follow one another.
    CO3duPrimitive first = scene.shapes[0], rest = got;
    ASSERT_EQ(got.sets.GetSize(), first.sets.GetSize() + scene.shapes[2].sets.GetSize());
    rest.sets.RemoveAt(first.sets.GetSize(), scene.shapes[2].sets.GetSize());
    expect_read_back(first, rest, {0, 1, 0, 2}, &first.model_matrix);
}

TEST(Om3File, FileLevelFacts) {
    const std::string path = written_scene("om3_facts.om3");
    const std::string bytes = read_all(path);
    EXPECT_EQ(bytes.substr(0, 12), std::string("OM3\0\x0C\0\0\0\xE9\x03\0\0", 12));
    EXPECT_EQ(CO3duReadMesh3::CheckHeder(path.c_str()), 1);

    // A newer version is refused and nothing reaches the modeller.
    std::string newer = bytes;
    newer[8] = '\xEA';
    const std::string newer_path = output_file("om3_newer.om3");
    std::ofstream(newer_path, std::ios::binary) << newer;
    HeadlessScene s;
    CO3duPosList added;
    std::string error;
    EXPECT_EQ(CO3duReadMesh3::CheckHeder(newer_path.c_str()), 0);
    EXPECT_EQ(CO3duReadMesh3::ReadFile(*s.modeller, newer_path.c_str(), added, 0, &error), 0);
    EXPECT_FALSE(error.empty());
    // Asked for no reason, the reader says it on standard error, the file named by its POSIX path.
    testing::internal::CaptureStderr();
    EXPECT_EQ(CO3duReadMesh3::ReadFile(*s.modeller, kz::platform::from_native_path(newer_path).c_str(), added, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "OM3 file " + newer_path + ": " + error + "\n");
    EXPECT_EQ(CO3duReadMesh3::ReadFile(*s.modeller, output_file("om3_missing.om3").c_str(), added, 0, &error), 0);
    EXPECT_EQ(s.modeller->GetTexCount(), 0);

    // A second stream written behind the first: both are read, each with its own textures.
    {
        HeadlessScene other;
        _OfuBitmap image = gradient_image(4, 32);
        other.modeller->AddTexture(image);
        CO3duPrimitive p = make_box({0, 0, 0}, {1, 1, 1}, make_material({0, 1, 0, 1}, {0, 0, 0, 1}));
        p.sets[0].material_type = O3DU_MATERIAL_TEXTURE;
        p.sets[0].texture_number = 1;
        other.modeller->AddPrimitive(p);
        ASSERT_EQ(CO3duWriteMesh3::WriteModel(*other.modeller, path.c_str(), 0), 1);
    }
    EXPECT_EQ(read_all(path).compare(0, bytes.size(), bytes), 0);
    ASSERT_EQ(CO3duReadMesh3::ReadFile(*s.modeller, path.c_str(), added, 0, &error), 1) << error;
    ASSERT_EQ(added.GetSize(), 4);
    EXPECT_EQ(s.modeller->GetTexCount(), 3);
    CO3duPrimitive last;
    s.modeller->GetPrimitive(added[3], last, O3DU_PRIM_ALL);
    EXPECT_EQ(last.sets[0].texture_number, 3);

    // A write that cannot happen leaves no file behind.
    const std::string nowhere = output_file("no_such_folder/x.om3");
    EXPECT_EQ(CO3duWriteMesh3::WriteModel(*s.modeller, nowhere.c_str(), 1), 0);
}

// A triangle's corner may name the last vertex its set has read, and not one more.
TEST(Om3File, IndicesStayWithinTheirSetsVertices) {
    const std::string good = read_all(written_scene("om3_index_base.om3"));
    std::size_t at = 0, index_at = 0;
    std::int32_t vertices = 0;
    while (at + 8 <= good.size() && index_at == 0) {
        std::int32_t type = 0, size = 0;
        std::memcpy(&type, &good[at], 4);
        std::memcpy(&size, &good[at + 4], 4);
        if (type == OM3_TRIANGLE_SET) vertices = 0;
        if (type == OM3_VERTEX) ++vertices;
        if (type == OM3_INDEX) index_at = at + 8;
        at += static_cast<std::size_t>(size);
    }
    ASSERT_GT(index_at, 0u);
    HeadlessScene s;
    for (const std::int32_t corner : {vertices - 1, vertices}) {
        std::string bytes = good;
        std::memcpy(&bytes[index_at], &corner, 4);
        CO3duPosList added;
        std::string error;
        EXPECT_EQ(CO3duReadMesh3::ReadData(*s.modeller, bytes, added, 0, error), corner < vertices ? 1 : 0) << corner;
        s.modeller->RemoveShapeAll();
    }
}

// Every byte of a refused file is checked before the modeller sees any of it; accepted files are whatever the
// mutation left consistent. Mutations stay out of the thumbnail, where every byte is as good as any other.
TEST(Om3File, CorruptedFilesAreRefusedOrReadNeverReadPastTheirEnd) {
    const std::string good = read_all(written_scene("om3_fuzz_base.om3"));
    const std::size_t thumbnail_end = 12 + 27710;
    ASSERT_GT(good.size(), thumbnail_end);
    HeadlessScene s;
    std::mt19937 random(20240611);
    auto pick = [&](std::size_t from, std::size_t to) {
        return std::uniform_int_distribution<std::size_t>(from, to - 1)(random);
    };
    const std::int32_t interesting[] = {0, -1, 1, 7, 8, 12, 88, 279, 281, 0x7FFFFFFF, INT32_MIN, 65536};
    // First the first texture's width and height at their extremes, then random edits.
    const std::size_t width_at = thumbnail_end + 8 + 18, height_at = width_at + 4;
    const std::pair<std::int32_t, std::int32_t> sides[] = {
        {INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MIN}, {1, INT32_MAX}, {INT32_MAX, 1}, {-8, 8}, {8, 0}};
    int refused = 0, accepted = 0;
    for (int round = -int(std::size(sides)); round < 4000; ++round) {
        std::string bytes = good;
        if (round < 0) {
            std::memcpy(&bytes[width_at], &sides[std::size(sides) + round].first, 4);
            std::memcpy(&bytes[height_at], &sides[std::size(sides) + round].second, 4);
        }
        const int edits = round < 0 ? 0 : 1 + round % 4;
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = pick(thumbnail_end, bytes.size());
            switch (random() % 5) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: {  // a field set to a value readers trip over, at a 4-byte step from a chunk's start
                const std::int32_t v = interesting[random() % std::size(interesting)];
                const std::size_t field = at - (at - thumbnail_end) % 4;
                if (field + 4 <= bytes.size()) std::memcpy(&bytes[field], &v, 4);
                break;
            }
            case 2: bytes.resize(at); break;
            case 3: bytes.insert(at, bytes.substr(pick(thumbnail_end, bytes.size()), 1 + random() % 200)); break;
            default: bytes.erase(at, 1 + random() % 100); break;
            }
        }
        CO3duPosList added;
        std::string error;
        const int single = (round + 8) % 2;
        const std::vector<char> exact(bytes.begin(), bytes.end());  // a block of the file's size, no slack
        if (CO3duReadMesh3::ReadData(*s.modeller, std::string_view(exact.data(), exact.size()), added, single, error)) {
            ++accepted;
        } else {
            ++refused;
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(added.GetSize(), 0);
            CO3duPosList shapes;
            s.modeller->GetPosArray(shapes);
            ASSERT_EQ(shapes.GetSize(), 0) << "a refused file reached the modeller in round " << round;
            ASSERT_EQ(s.modeller->GetTexCount(), 0);
        }
        s.modeller->RemoveShapeAll();
        s.modeller->RemoveAllTexture();
    }
    EXPECT_GT(refused, 1000);
    EXPECT_GT(accepted, 100);
}

// An OM3 stream built chunk by chunk: the header, then chunks whose fields behind the head stay zero unless set.
struct Om3Stream {
    std::string bytes = std::string("OM3\0\x0C\0\0\0\xE9\x03\0\0", 12);
    unsigned char* chunk(std::int32_t type, int size) {
        const std::size_t at = bytes.size();
        bytes.resize(at + std::size_t(size));
        auto* c = reinterpret_cast<unsigned char*>(&bytes[at]);
        om3_put(om3_put(c, type), std::int32_t(size));
        return c;
    }
};

// 100,000 chunks that each open a run of one (a chunk of a type no reader knows follows each), or 100,000 sets:
// growth moves each element of the list that takes them a few times at most (twice on average when the block
// doubles), never once every thousand chunks.
TEST(Om3File, LongFilesOfSmallChunksMoveBytesInProportionToTheirLength) {
    constexpr int kCount = 100000;
    const struct {
        const char* what;
        int single;
        std::int32_t set_type;
        std::int32_t repeated;  // the chunk that comes kCount times
        std::size_t element_bytes;
        int sets, vertices, indices;
    } rows[] = {
        {"index runs", 0, O3DU_SET_INDEXED_TRIANGLES, OM3_INDEX, sizeof(_O3duVertexIndex), 1, 3, kCount},
        {"vertex runs, merged", 1, O3DU_SET_POINTS, OM3_VERTEX, sizeof(_O3duVertex), 1, kCount, 0},
        {"triangle sets", 0, O3DU_SET_TRIANGLE_LIST, OM3_TRIANGLE_SET, sizeof(CO3duTrianglePolys), kCount, 0, 0},
    };
    HeadlessScene s;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Om3Stream file;
        auto set = [&] { om3_put(file.chunk(OM3_TRIANGLE_SET, kOm3SetSize) + 8, row.set_type); };
        if (row.repeated != OM3_TRIANGLE_SET) set();
        for (int i = 0; row.repeated == OM3_INDEX && i < 3; ++i)
            om3_put(file.chunk(OM3_VERTEX, kOm3VertexSize) + 8 + 8 * i, 1.0);
        for (int i = 0; i < kCount; ++i) {
            if (row.repeated == OM3_TRIANGLE_SET) {
                set();
            } else if (row.repeated == OM3_INDEX) {
                om3_put(om3_put(file.chunk(OM3_INDEX, kOm3IndexSize) + 8, std::int32_t(2)), std::int32_t(1));
                file.chunk(99, kOm3ChunkHead);
            } else {
                om3_put(file.chunk(OM3_VERTEX, kOm3VertexSize) + 8, double(i));
                file.chunk(99, kOm3ChunkHead);
            }
        }
        CO3duPosList added;
        std::string error;
        const std::uint64_t moved_before = OfuArrayMovedBytes();
        ASSERT_EQ(CO3duReadMesh3::ReadData(*s.modeller, file.bytes, added, row.single, error), 1) << error;
        const double moved_per_element = double(OfuArrayMovedBytes() - moved_before) / double(row.element_bytes);
        EXPECT_LT(moved_per_element, 3.0 * kCount);
        ASSERT_EQ(added.GetSize(), 1);
        CO3duPrimitive got;
        s.modeller->GetPrimitive(added[0], got, O3DU_PRIM_ALL);
        ASSERT_EQ(got.sets.GetSize(), row.sets);
        const CO3duTrianglePolys& last = got.sets[row.sets - 1];
        EXPECT_EQ(last.vertices.GetSize(), row.vertices);
        ASSERT_EQ(last.indices.GetSize(), row.indices);
        if (row.indices) {
            EXPECT_EQ(last.indices[kCount - 1].a + last.indices[kCount - 1].b, 3);
        }
        if (row.vertices == kCount) {
            EXPECT_EQ(last.vertices[kCount - 1].position.x, kCount - 1);
        }
        s.modeller->RemoveShapeAll();
    }
}

}  // namespace
}  // namespace kz::test
