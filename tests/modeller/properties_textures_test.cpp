// Per-shape properties (integer and 64-bit maps, the byte-string record store) and the texture table with its
// acceptance rules, including PrepareDibBuffers's sizing of image buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modeller/gl_modelar.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

TEST(ShapeProperties, IntegerMapsFindEveryKeyOfACrowdedBucket) {
    HeadlessScene s;
    CO3duPrimitive p;
    _OfuPosition* pos = s.modeller->AddPrimitive(p);
    int value = -1;
    std::uint64_t wide = 99;
    EXPECT_EQ(s.modeller->GetProp1(pos, 3, value), 0);  // never set: not found, output zeroed
    EXPECT_EQ(value, 0);
    EXPECT_EQ(s.modeller->GetProp3(pos, 3, wide), 0);
    EXPECT_EQ(wide, 0u);
    // A key set again while the few keys are held in the map itself: still one key, with the new value.
    for (int v : {8, 9}) s.modeller->SetProp1(pos, 300, v);
    ASSERT_EQ(s.modeller->GetProp1(pos, 300, value), 1);
    EXPECT_EQ(value, 9);
    // Keys 0..15 share bucket 0; 17 << 4 and negative keys land elsewhere; 25 keys need three node blocks.
    std::vector<int> keys;
    for (int k = 0; k < 16; ++k) keys.push_back(k);
    for (int k : {17 << 4, -1, -16, 1 << 30, 273, 289, 1000, 4096, 65536}) keys.push_back(k);
    for (int k : keys) {
        s.modeller->SetProp1(pos, k, k / 2 + 1);
        s.modeller->SetProp3(pos, k, (std::uint64_t(k) << 33) | 7u);
    }
    s.modeller->SetProp1(pos, 5, -42);  // overwrite, not a second node
    for (int k : keys) {
        ASSERT_EQ(s.modeller->GetProp1(pos, k, value), 1) << k;
        EXPECT_EQ(value, k == 5 ? -42 : k / 2 + 1);
        ASSERT_EQ(s.modeller->GetProp3(pos, k, wide), 1) << k;
        EXPECT_EQ(wide, (std::uint64_t(k) << 33) | 7u);
    }
    const CO3duGLEntity* entity = s.modeller->structure().entity_of(pos);
    EXPECT_EQ(entity->prop1.GetCount(), int(keys.size()) + 1);
    EXPECT_EQ(entity->prop1.GetBlockCount(), 3);
    EXPECT_EQ(CO3duPropertyMap<int>::bucket_of(15), 0u);
    EXPECT_EQ(CO3duPropertyMap<int>::bucket_of(-1), (0xFFFFFFFFu >> 4) % 17);
}

std::uint32_t get2(CO3duGLModelar& m, _OfuPosition* pos, const std::string& key, std::string& out,
                   std::uint32_t room = 64) {
    std::vector<char> buffer(room ? room : 1, '#');
    const std::uint32_t n = m.GetProp2(pos, const_cast<char*>(key.data()), DWORD(key.size()), buffer.data(), room);
    out.assign(buffer.data(), n == 0xFFFFFFFFu ? 0 : n);
    return n;
}

int set2(CO3duGLModelar& m, _OfuPosition* pos, const std::string& key, const std::string& value) {
    return m.SetProp2(pos, const_cast<char*>(key.data()), DWORD(key.size()), const_cast<char*>(value.data()),
                      DWORD(value.size()));
}

TEST(ShapeProperties, ByteStringRecordsReplaceRemoveAndGuardTheBuffer) {
    HeadlessScene s;
    CO3duGLModelar& m = *s.modeller;
    CO3duPrimitive p;
    _OfuPosition* pos = m.AddPrimitive(p);
    std::string out;
    EXPECT_EQ(set2(m, pos, "", "x"), 0);
    EXPECT_EQ(set2(m, pos, "k", ""), 0);
    EXPECT_EQ(m.SetProp2(pos, nullptr, 3, const_cast<char*>("abc"), 3), 0);
    ASSERT_EQ(set2(m, pos, "alpha", "one"), 1);
    ASSERT_EQ(set2(m, pos, "beta", "two!"), 1);
    ASSERT_EQ(set2(m, pos, "gamma", "three"), 1);
    ASSERT_EQ(set2(m, pos, "alpha", "uno"), 1);  // replaced: one record, now at the end

    const CO3duGLEntity* entity = m.structure().entity_of(pos);
    const COfuPropertySet& store = entity->prop2();
    // beta (8+4+4), gamma (8+5+5), alpha (8+5+3), in that order.
    ASSERT_EQ(store.GetUsedSize(), 16u + 18u + 16u);
    EXPECT_EQ(std::memcmp(store.GetBuffer() + 34 + 8, "alpha", 5), 0);
    EXPECT_EQ(store.GetCapacity(), 8u + 5 + 3 + 1024);

    EXPECT_EQ(get2(m, pos, "alpha", out), 3u);
    EXPECT_EQ(out, "uno");
    EXPECT_EQ(get2(m, pos, "gamma", out, 4), 0xFFFFFFFFu);  // one byte short: nothing copied
    EXPECT_EQ(get2(m, pos, "gamma", out, 5), 5u);
    EXPECT_EQ(out, "three");
    EXPECT_EQ(get2(m, pos, "gam", out), 0u);  // a prefix is another key
    EXPECT_EQ(get2(m, pos, "beta", out, 0), 0u);

    EXPECT_EQ(m.RemoveAtProp(pos, const_cast<char*>("delta"), 5), 0);
    ASSERT_EQ(m.RemoveAtProp(pos, const_cast<char*>("beta"), 4), 1);  // the first of three
    EXPECT_EQ(get2(m, pos, "gamma", out), 5u);
    EXPECT_EQ(get2(m, pos, "alpha", out), 3u);
    EXPECT_EQ(get2(m, pos, "beta", out), 0u);
    EXPECT_EQ(store.GetUsedSize(), 34u);
    for (std::uint64_t i = store.GetUsedSize(); i < store.GetCapacity(); ++i)
        ASSERT_EQ(store.GetBuffer()[i], 0) << "stale byte at " << i;
}

TEST(Textures, TheTableAcceptsPowerOfTwoAreasOfItsBitCounts) {
    const struct {
        int width, height, bits;
        bool add, change;
    } cases[] = {
        {256, 128, 24, true, true},   {2, 1, 24, true, true},      {1, 1, 24, false, false},
        {100, 100, 24, false, false}, {4096, 4096, 1, true, true}, {4096, 8192, 1, false, false},
        {8, 8, 32, true, true},       {8, 8, 8, false, false},     {8, -8, 24, false, false},
        {0, 16, 24, false, false},    {3, 6, 24, false, false},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(std::to_string(tc.width) + "x" + std::to_string(tc.height) + "x" + std::to_string(tc.bits));
        CO3duGLModelar m;
        _OfuBitmap image = blank_image(tc.width, tc.height, tc.bits);
        image.info_header.biWidth = tc.width;  // also for sizes PrepareDibBuffers refused
        image.info_header.biHeight = tc.height;
        EXPECT_EQ(m.AddTexture(image), tc.add ? 1u : 0u);
        _OfuBitmap base = blank_image(2, 2, 24);
        ASSERT_EQ(m.AddTexture(base), tc.add ? 2u : 1u);
        EXPECT_EQ(m.ChangeTexture(tc.add ? 2 : 1, image), tc.change ? 1 : 0);
    }
}

TEST(Textures, EntriesAreCopiedDeepAndCountedFromOne) {
    CO3duGLModelar m;
    _OfuBitmap a = blank_image(2, 2, 24), b = blank_image(4, 2, 24);
    a.pixels[0] = 11;
    b.pixels[0] = 22;
    ASSERT_EQ(m.AddTexture(a), 1u);
    ASSERT_EQ(m.AddTexture(b), 2u);
    a.pixels[0] = 99;  // the table holds its own copy
    _OfuBitmap out;
    ASSERT_EQ(m.GetTexture(0, out), 1);
    EXPECT_EQ(out.pixels[0], 11);
    ASSERT_EQ(m.GetTexture(1, out), 1);
    EXPECT_EQ(out.info_header.biWidth, 4);
    EXPECT_EQ(m.GetTexture(2, out), 0);
    _OfuBitmap c = blank_image(2, 4, 24);
    EXPECT_EQ(m.ChangeTexture(0, c), 0);
    EXPECT_EQ(m.ChangeTexture(3, c), 0);
    ASSERT_EQ(m.ChangeTexture(1, c), 1);
    ASSERT_EQ(m.GetTexture(0, out), 1);
    EXPECT_EQ(out.info_header.biHeight, 4);
    // Pixels shorter than the header promises would be read past their end by OpenGL.
    _OfuBitmap short_rows = blank_image(4, 4, 24);
    short_rows.pixels.SetSize(4 * 12 - 1);
    EXPECT_EQ(m.AddTexture(short_rows), 0u);
    EXPECT_EQ(m.GetTexCount(), 2);
    m.RemoveAllTexture();
    EXPECT_EQ(m.GetTexCount(), 0);
}

TEST(Textures, PrepareDibBuffersSizesFromTheInfoHeader) {
    const struct {
        int width, height, bits, result, pixel_bytes, palette;
    } cases[] = {
        {5, 3, 24, 1, 16 * 3, 0},
        {4, 2, 24, 1, 12 * 2, 0},
        {10, 4, 1, 1, 4 * 4, 2},
        {33, 1, 1, 1, 8, 2},
        {3, 2, 32, 1, 12 * 2, 0},
        {7, -3, 24, 1, 24 * 3, 0},
        {8, 8, 8, 0, -1, -1},
        {0, 8, 24, 0, -1, -1},
        {8, 0, 24, 0, -1, -1},
        {-4, 8, 24, 0, -1, -1},
        {1 << 20, 1 << 20, 24, 0, -1, -1},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(std::to_string(tc.width) + "x" + std::to_string(tc.height) + "x" + std::to_string(tc.bits));
        COfuByteArray pixels;
        COfuPaletteArray palette;
        pixels.SetSize(3);
        palette.SetSize(7);
        BITMAPFILEHEADER file;
        file.bfSize = 12345;
        BITMAPINFOHEADER info;
        info.biWidth = tc.width;
        info.biHeight = tc.height;
        info.biBitCount = std::uint16_t(tc.bits);
        EXPECT_EQ(PrepareDibBuffers(pixels, palette, file, info), tc.result);
        if (tc.result) {
            EXPECT_EQ(pixels.GetSize(), tc.pixel_bytes);
            EXPECT_EQ(palette.GetSize(), tc.palette);
            EXPECT_EQ(file.bfSize, std::uint32_t(54 + tc.palette * 4 + tc.pixel_bytes));
        } else {
            EXPECT_EQ(pixels.GetSize(), 3);
            EXPECT_EQ(file.bfSize, 12345u);
        }
    }
}

}  // namespace
}  // namespace kz::test
