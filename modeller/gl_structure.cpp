// The shape list of the OpenGL modeller: nodes from blocks of ten, a free list, and the set of live nodes that
// lets every slot refuse a stale or foreign handle instead of following it.
#include "modeller/gl_structure.h"

CO3duGLStructure::~CO3duGLStructure() { RemoveAll(); }

_OfuPosition* CO3duGLStructure::NewShapeNode() {
    if (!free_) {
        blocks_.push_back(std::make_unique<Block>());
        Block& block = *blocks_.back();
        for (int i = kNodesPerBlock - 1; i >= 0; --i) {
            block[i].next = free_;
            free_ = &block[i];
        }
    }
    _OfuPosition* node = free_;
    free_ = node->next;
    node->next = nullptr;
    node->previous = nullptr;
    return node;
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
    live_.insert(node);
    order_valid_ = false;
    ++list_version_;
    return node;
}

void CO3duGLStructure::RemoveShapeNode(_OfuPosition* node) {
    if (!live_.erase(node)) return;
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
    if (!pos || !live_.count(pos)) return nullptr;
    return pos->entity.get();
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
