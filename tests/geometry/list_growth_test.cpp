// The list classes' growth rule, zero-filled growth, removal and copies, and triangle sets relocated on growth.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "geometry/o3du_list.h"
#include "geometry/triangle_polys.h"

namespace {

// Capacity after each Add from an empty list with automatic growth, worked out by hand from the rule: exactly 1
// first, then steps of max(4, min(1024, old size / 8)) from the old capacity.
std::vector<int> expected_capacities(int adds) {
    std::vector<int> caps;
    int cap = 0, size = 0;
    for (int i = 0; i < adds; ++i) {
        const int n = size + 1;
        if (cap == 0) {
            cap = n;
        } else if (n > cap) {
            int step = size / 8;
            step = step < 4 ? 4 : (step > 1024 ? 1024 : step);
            cap = std::max(n, cap + step);
        }
        size = n;
        caps.push_back(cap);
    }
    return caps;
}

TEST(ListGrowth, AutomaticStepsFromOldSize) {
    // The documented prefix of the sequence, independent of the helper above.
    const std::vector<int> documented = {1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 46, 51, 57, 64, 72, 81, 91};
    CO3duIntegerList list;
    std::vector<int> seen;
    for (int i = 0; i < 100000; ++i) {
        list.Add(i);
        if (seen.empty() || seen.back() != list.GetCapacity()) seen.push_back(list.GetCapacity());
    }
    ASSERT_GE(seen.size(), documented.size());
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + documented.size()), documented);
    // Far out, the step is capped at 1024.
    EXPECT_EQ(seen[seen.size() - 1] - seen[seen.size() - 2], 1024);
    const std::vector<int> all = expected_capacities(100000);
    EXPECT_EQ(list.GetCapacity(), all.back());
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(list[i], i);
}

TEST(ListGrowth, GrowByIsStoredKeptAndReset) {
    struct Case {
        int grow1, n1, grow2, n2, want_grow, want_capacity;
    };
    const Case cases[] = {
        {16, 4, -1, 5, 16, 20},  // -1 keeps 16: 4 + 16
        {16, 4, 0, 5, 0, 8},     // 0 returns to automatic: 4 + max(4, 4 / 8)
        {16, 4, 3, 5, 3, 7},     // any other value replaces it
        {0, 10, -1, 30, 0, 30},  // a jump past the step takes the wanted size
    };
    for (const Case& c : cases) {
        CO3duPoint3List list;
        list.SetSize(c.n1, c.grow1);
        list.SetSize(c.n2, c.grow2);
        EXPECT_EQ(std::tuple(list.GetGrowBy(), list.GetCapacity()), std::tuple(c.want_grow, c.want_capacity))
            << c.grow1 << "," << c.grow2;
    }
}

TEST(ListGrowth, NewElementsAreZeroAfterShrinkAndRegrow) {
    CO3duVertexList list;
    list.SetSize(8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(list[i].normal.y, 0.0);
    list.SetSize(300);  // a new block: the sanitizer build fills fresh memory with garbage
    for (int i = 0; i < 300; ++i) EXPECT_EQ(std::tuple(list[i].tex.x, list[i].color[3]), std::tuple(0.0, 0.0f));
    list.SetSize(8);
    for (int i = 0; i < 8; ++i) {
        list[i].position = OfuVector3(i + 1, i + 2, i + 3);
        list[i].color[0] = 1.0f;
    }
    list.SetSize(2);
    list.SetSize(8);
    EXPECT_EQ(list.GetCapacity(), 300);  // capacity never shrinks while the list holds elements
    for (int i = 2; i < 8; ++i)
        // Growth makes zero bytes, not constructed vectors.
        EXPECT_EQ(std::tuple(list[i].position.x, list[i].position.dim, list[i].color[0]), std::tuple(0.0, 0, 0.0f));
    EXPECT_EQ(list[1].position.x, 2.0);
    // Assignment copies coordinates only, so the zero tag stays.
    list[3].position = OfuVector3(7, 8, 9);
    EXPECT_EQ(std::tuple(list[3].position.dim, list[3].position.z), std::tuple(0, 9.0));
}

TEST(ListGrowth, SetSizeZeroFrees) {
    CO3duPoint2List list;
    list.SetSize(50, 7);
    list.SetSize(0);
    EXPECT_EQ(std::tuple(list.GetSize(), list.GetCapacity(), list.GetData()), std::tuple(0, 0, nullptr));
    list.Add(OfuVector2(1, 2));
    EXPECT_EQ(list.GetCapacity(), 1);  // a fresh block is sized exactly
}

TEST(ListGrowth, RemoveAt) {
    struct Case {
        int index, count;
        std::vector<int> want;
    };
    const Case cases[] = {
        {4, 2, {0, 1, 2, 3}},  // the tail only lowers the size
        {1, 2, {0, 3, 4, 5}},  // the rest moves down
        {0, 6, {}},
        {5, 9, {0, 1, 2, 3, 4}},      // a count past the end is clipped
        {-1, 2, {0, 1, 2, 3, 4, 5}},  // outside the list: nothing
        {6, 1, {0, 1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        CO3duIntegerList list;
        for (int i = 0; i < 6; ++i) list.Add(i);
        list.RemoveAt(c.index, c.count);
        std::vector<int> got(list.GetData(), list.GetData() + list.GetSize());
        EXPECT_EQ(got, c.want) << c.index << "+" << c.count;
    }
}

TEST(ListGrowth, AddOwnElementWhileGrowing) {
    CO3duPoint3List list;
    list.Add(OfuVector3(1, 2, 3));
    for (int i = 0; i < 40; ++i) list.Add(list[0]);  // every Add past capacity frees the block list[0] lives in
    for (int i = 0; i < list.GetSize(); ++i) ASSERT_EQ(list[i].z, 3.0);
}

TEST(ListGrowth, CopyAssignAppend) {
    CO3duIntegerList a;
    a.SetSize(3, 50);
    a[0] = 1, a[1] = 2, a[2] = 3;
    CO3duIntegerList copy(a);
    EXPECT_EQ(std::tuple(copy.GetGrowBy(), copy.GetSize()), std::tuple(0, 3));
    copy[0] = 9;
    EXPECT_EQ(a[0], 1);
    CO3duIntegerList b;
    b.SetSize(10, 5);
    b = a;
    EXPECT_EQ(std::tuple(b.GetSize(), b.GetGrowBy()), std::tuple(3, 5));
    b += a;
    b += b;  // appending a list to itself doubles it
    const std::vector<int> want = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3};
    EXPECT_EQ(std::vector<int>(b.GetData(), b.GetData() + b.GetSize()), want);
}

TEST(PolygonList, SetsSurviveRelocationAndRemoval) {
    // Sets own heap blocks: a bitwise copy followed by destruction would free them twice (the sanitizer build
    // reports it), a lost move would leave them empty.
    CO3duPolygonList list;
    for (int s = 0; s < 200; ++s) {
        CO3duTrianglePolys set;
        set.type = s % 8;
        set.vertices.SetSize(s % 7 + 1);
        set.vertices[0].position.x = s;
        set.indices.SetSize(1);
        set.indices[0] = {s, s + 1, s + 2};
        list.Add(set);
    }
    list.Add(list[10]);
    list.RemoveAt(3, 5);
    ASSERT_EQ(list.GetSize(), 196);
    for (int i = 0; i < 195; ++i) {
        const int s = i < 3 ? i : i + 5;
        ASSERT_EQ(std::tuple(list[i].vertices[0].position.x, list[i].vertices.GetSize()), std::tuple(s, s % 7 + 1));
        ASSERT_EQ(std::tuple(list[i].indices[0].c, list[i].type), std::tuple(s + 2, s % 8));
    }
    EXPECT_EQ(list[195].vertices[0].position.x, 10.0);
    list.SetSize(300);
    EXPECT_EQ(list[299].type, O3DU_SET_TRIANGLE_STRIP);  // grown sets are constructed, not zero bytes
    CO3duPolygonList copy(list);
    copy[0].vertices[0].position.x = -1;
    EXPECT_EQ(list[0].vertices[0].position.x, 0.0);
    list.SetSize(0);
    EXPECT_EQ(list.GetCapacity(), 0);
}

}  // namespace
