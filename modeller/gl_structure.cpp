// The shape list of the OpenGL modeller: nodes from blocks of ten and a free list. The blocks are kept in order of
// their addresses, so every slot can tell a live node of this list from a stale or foreign handle (not in a block,
// or a node without entity) before following it.
#include "modeller/gl_structure.h"

#include <algorithm>
#include <functional>

CO3duGLStructure::~CO3duGLStructure() { RemoveAll(); }

_OfuPosition* CO3duGLStructure::NewShapeNode() {
    if (!free_) {
        auto block = std::make_unique<Block>();
        for (int i = kNodesPerBlock - 1; i >= 0; --i) {
            (*block)[i].next = free_;
            free_ = &(*block)[i];
        }
        const auto at = std::upper_bound(blocks_.begin(), blocks_.end(), block.get(),
                                         [](const Block* b, const std::unique_ptr<Block>& other) {
                                             return std::less<const Block*>()(b, other.get());
                                         });
        blocks_.insert(at, std::move(block));
    }
    _OfuPosition* node = free_;
    free_ = node->next;
    node->next = nullptr;
    node->previous = nullptr;
    return node;
}

bool CO3duGLStructure::owns(const _OfuPosition* pos) const {
    if (!pos || blocks_.empty()) return false;
    const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), pos,
                                        [](const _OfuPosition* p, const std::unique_ptr<Block>& b) {
                                            return std::less<const _OfuPosition*>()(p, b->data());
                                        });
    if (after == blocks_.begin()) return false;
    const Block& block = **std::prev(after);
    for (const _OfuPosition& node : block)
        if (&node == pos) return true;
    return false;
}

_OfuPosition* CO3duGLStructure::link(std::unique_ptr<CO3duGLEntity> entity, bool at_head) {
    _OfuPosition* node = NewShapeNode();
    node->entity = std::move(entity);
    if (at_head) {
        node->next = head_;
        (head_ ? head_->previous : tail_) = node;
        head_ = node;
    } else {
        node->previous = tail_;
        (tail_ ? tail_->next : head_) = node;
        tail_ = node;
    }
    ++count_;
    order_valid_ = false;
    ++list_version_;
    return node;
}

_OfuPosition* CO3duGLStructure::relink(_OfuPosition* node, bool at_head) {
    if (!entity_of(node)) return node;
    // The new node is taken before the old one goes, so the old handle can never come back as the new one.
    _OfuPosition* moved = link(std::move(node->entity), at_head);
    unlink(node);
    return moved;
}

void CO3duGLStructure::RemoveShapeNode(_OfuPosition* node) {
    if (entity_of(node)) unlink(node);
}

void CO3duGLStructure::unlink(_OfuPosition* node) {
    order_valid_ = false;
    ++list_version_;
    if (node->previous)
        node->previous->next = node->next;
    else
        head_ = node->next;
    if (node->next)
        node->next->previous = node->previous;
    else
        tail_ = node->previous;
    node->entity.reset();
    node->previous = nullptr;
    node->next = free_;
    free_ = node;
    if (--count_ == 0) {
        head_ = tail_ = free_ = nullptr;
        blocks_.clear();
    }
}

void CO3duGLStructure::RemoveAll() {
    while (head_) RemoveShapeNode(head_);
}

CO3duGLEntity* CO3duGLStructure::entity_of(const _OfuPosition* pos) const {
    return owns(pos) ? pos->entity.get() : nullptr;
}

const std::vector<O3duShapeRef>& CO3duGLStructure::in_order() const {
    if (!order_valid_) {
        order_.clear();
        order_.reserve(std::size_t(count_));
        for (_OfuPosition* node = head_; node; node = node->next) order_.push_back({node, node->entity.get()});
        order_valid_ = true;
    }
    return order_;
}
