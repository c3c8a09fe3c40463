// Appends through the exported writers choose exactly the rows a scan from row 0 would choose, whatever
// deletions, reservations and direct edits under a caller's lock happen in between.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/zolt_exports.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

// The row a scan from `start` picks for n rows: the first run of n empty rows before the end code, else the end.
int32_t scan_choice(const drawing_context* ctx, int32_t start, int32_t n) {
    int32_t run = 0;
    for (int32_t r = start; r < ctx->mat; ++r) {
        int32_t code = ctx->c1[r] & 0xFFFF;
        if (code == 0xFFFF || r == ctx->max) return r;
        run = code == 0 ? run + 1 : 0;
        if (run == n) return r - n + 1;
    }
    return -1;
}

bool same_rows(const drawing_context* a, const drawing_context* b) {
    if (a->max != b->max) return false;
    for (int k = 0; k < 7; ++k)
        if (std::memcmp(columns(a)[k], columns(b)[k], sizeof(int32_t) * (a->max + 1)) != 0) return false;
    return true;
}

TEST(AppendHint, RandomOperationsMatchAScanFromRowZero) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        Drawing fast, slow;
        std::mt19937 rng(seed);
        std::vector<int32_t> heads;
        int hinted = 0;
        for (int step = 0; step < 3000; ++step) {
            int op = rng() % 20;
            // The slow drawing loses its hint before every operation: each append scans from row 0.
            (void)zolt_lock(slow.handle());
            zolt_unlock(slow.handle());
            int32_t from = (rng() % 4 == 0) ? -static_cast<int32_t>(rng() % 50) : 0;
            int32_t start = from == -1 || from == 0 ? 0 : -from;
            int32_t got_fast = 0, got_slow = 0;
            if (op < 7) {
                double x = rng() % 1000, y = rng() % 1000;
                int32_t want = scan_choice(fast.peek(), start, 1);
                got_fast = zolt_line_set(fast.handle(), from, x, y, x + 1, y);
                got_slow = zolt_line_set(slow.handle(), from, x, y, x + 1, y);
                ASSERT_EQ(got_fast, want) << seed << " " << step;
            } else if (op < 10) {
                int32_t want = scan_choice(fast.peek(), start, 2);
                got_fast = zolt_en_set(fast.handle(), from, 5, 5, 3, 0, 90);
                got_slow = zolt_en_set(slow.handle(), from, 5, 5, 3, 0, 90);
                ASSERT_EQ(got_fast, want) << seed << " " << step;
            } else if (op < 12) {
                const char* texts[] = {"ab", "abcdefgh", "abcdefghijklmnop"};
                const char* t = texts[rng() % 3];
                int32_t rows = 2 + (static_cast<int32_t>(std::strlen(t)) - 1) / 6 + 1;
                int32_t want = scan_choice(fast.peek(), start, rows);
                got_fast = zolt_moji_set(fast.handle(), from, t, 1, 1, 0, 1, 1, 0, 0, 0);
                got_slow = zolt_moji_set(slow.handle(), from, t, 1, 1, 0, 1, 1, 0, 0, 0);
                ASSERT_EQ(got_fast, want) << seed << " " << step;
            } else if (op < 16 && !heads.empty()) {
                size_t i = rng() % heads.size();
                got_fast = zolt_delete_primitive(fast.handle(), heads[i]);
                got_slow = zolt_delete_primitive(slow.handle(), heads[i]);
                heads.erase(heads.begin() + static_cast<long>(i));
            } else if (op < 17) {
                int32_t n = 1 + rng() % 3;
                got_fast = zolt_yoyaku(fast.handle(), from, n);
                got_slow = zolt_yoyaku(slow.handle(), from, n);
            } else if (op < 19 && !heads.empty()) {
                // A caller edits rows directly under its own lock: clears a head row's code.
                int32_t r = heads[rng() % heads.size()];
                for (Drawing* d : {&fast, &slow}) {
                    drawing_context* ctx = zolt_lock(d->handle());
                    ctx->c1[r] = 0;
                    zolt_unlock(d->handle());
                }
                continue;
            } else {
                // A caller deletes through the operation itself, holding the lock across appends.
                for (Drawing* d : {&fast, &slow}) {
                    drawing_context* ctx = zolt_lock(d->handle());
                    if (!heads.empty()) xlum_delete_primitive(ctx, heads.front());
                    zolt_line_set(d->handle(), 0, 1, 2, 3, 4);
                    zolt_unlock(d->handle());
                }
                if (!heads.empty()) heads.erase(heads.begin());
                continue;
            }
            ASSERT_EQ(got_fast, got_slow) << seed << " " << step << " op " << op;
            if (op < 12 && got_fast >= 0) heads.push_back(got_fast);
            if (fast.peek()->append_scan_hint > 0) ++hinted;
            ASSERT_TRUE(same_rows(fast.peek(), slow.peek())) << seed << " " << step << " op " << op;
        }
        EXPECT_GT(hinted, 1000) << "the hint was in use";
    }
}

TEST(AppendHint, ManyAppendsLeaveTheHintNearTheEnd) {
    Drawing d;
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(zolt_line_set(d.handle(), 0, i, 0, i, 1), i);
    EXPECT_EQ(d.peek()->append_scan_hint, 19999);
    EXPECT_EQ(zolt_delete_primitive(d.handle(), 5), 1);
    EXPECT_EQ(zolt_line_set(d.handle(), 0, 0, 0, 1, 1), 5);
    EXPECT_EQ(zolt_line_set(d.handle(), 0, 0, 0, 1, 1), 20000);
}

TEST(ExportedFunctions, LockFailureGivesTheFailureValue) {
    drawing_handle bad = reinterpret_cast<drawing_handle>(0x7);
    char buffer[8];
    double v = 0;
    int32_t k = 0;
    EXPECT_EQ(zolt_line_set(bad, 0, 0, 0, 1, 1), -1);
    EXPECT_EQ(zolt_en_set(bad, 0, 0, 0, 1, 0, 0), -1);
    EXPECT_EQ(zolt_moji_set(bad, 0, "a", 0, 0, 0, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(zolt_delete_primitive(bad, 0), -1);
    EXPECT_EQ(zolt_getchar(bad, 0, buffer), -1);
    EXPECT_EQ(zolt_yoyaku(bad, 0, 1), -1);
    EXPECT_EQ(zolt_new(bad), 0);
    EXPECT_EQ(zolt_test(bad, 5), -1);
    EXPECT_EQ(zolt_set_active(bad, 1, 1, 1, 1), -1);
    EXPECT_EQ(zolt_search_point(bad, 0, 0, 0, 0, 1, &k, &k, &v, &v, &v), -1);
    EXPECT_EQ(zolt_search_cross(bad, 0, 0, 0, 0, &v, &v, &v, &k, &k), 0);
    EXPECT_EQ(zolt_gsearch(bad, 0, 0, 0, 0, 1, &k, &k, &v), -1);
    EXPECT_EQ(zolt_gmxmn(bad, 0, &v, &v, &v, &v), 0);
    EXPECT_EQ(zolt_search_data(bad, 0, -1, -1, -1, -1, -1), -1);
    EXPECT_EQ(zolt_search_keyword(bad, 0, "a"), -1);
    EXPECT_EQ(zolt_search_array(bad, "c1", 0, 0, 0), -1);
    EXPECT_EQ(zolt_get_text_4point(bad, 0, &v, &v, &v, &v, &v, &v, &v, &v), 0);
    Drawing d;
    EXPECT_EQ(zolt_bridge(bad, 0, 1, d.handle(), 0), -1);
    EXPECT_EQ(zolt_bridge(d.handle(), 0, 1, bad, 0), -1);
    EXPECT_EQ(zolt_test(d.handle(), 5), 5);
}

}  // namespace
}  // namespace kz::drawing2d
