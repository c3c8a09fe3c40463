// Models as deep as a file can make them: the whole-tree walks and the shape chains run without recursion, so
// depth costs time, not stack. Each check runs on a thread with a small stack, where recursion would overflow.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::scene {
namespace {

void on_small_stack(const std::function<void()>& work) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    auto run = [](void* w) -> void* {
        (*static_cast<const std::function<void()>*>(w))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(DeepTree, WholeTreeWalksNeedNoStack) {
    constexpr int kDepth = 20000;
    std::vector<std::unique_ptr<XTrunk>> chain;
    for (int i = 0; i < kDepth; ++i) {
        chain.push_back(std::make_unique<XTrunk>(nullptr, nullptr, nullptr, nullptr, nullptr, "t", i + 1));
        chain.back()->base_record()->dx = 1.0;
        if (i) chain.back()->SetParent(chain[i - 1].get());
    }
    XTrunk* top = chain.front().get();
    XTrunk* bottom = chain.back().get();
    int found = -1;
    on_small_stack([&] {
        top->RecalcMatrices(1);
        top->UpdateMatricesForFrame(1);
        top->SetVisible(0, 1);
        top->PushShadowFlags(1, 0);
        top->FindTrunkInSubtree(bottom, &found);
        top->SetParent(bottom);  // refused: the top would hang below itself
    });
    EXPECT_DOUBLE_EQ(bottom->base()->P()[12], kDepth) << "each level adds its own step";
    EXPECT_EQ(std::tuple(bottom->shown, found, top->parent), std::tuple(0, kDepth, nullptr));
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) it->reset();
}

TEST(DeepTree, ShapeChainsNeedNoStack) {
    // Shapes of one part, each hanging on the one before.
    XTrunk owner(nullptr, nullptr, nullptr, nullptr, nullptr, "chain", 1);
    constexpr int kShapes = 3000;
    for (int i = 1; i <= kShapes; ++i) {
        XLeaves* part = owner.parts[owner.AddLeaves()];
        part->record->name = kz::foundation::set_heap_string(nullptr, ("s" + std::to_string(i)).c_str(), nullptr, -1);
        if (i == 1) continue;
        part->record->parent_name =
            kz::foundation::set_heap_string(nullptr, ("s" + std::to_string(i - 1)).c_str(), nullptr, -1);
        part->record->dy = 2.0;
    }
    owner.ClearPartPlacedFlags();
    on_small_stack([&] { owner.parts[kShapes]->ComputePlacement(); });
    EXPECT_DOUBLE_EQ(owner.parts[kShapes]->P()[13], 2.0 * (kShapes - 1));
}

}  // namespace
}  // namespace kz::scene
