#include "layer/pointer_list.h"

#include <algorithm>

int32_t PointerList::Add(void* item) {
    const int32_t index = count_;
    Insert(index, item);
    return index;
}

void PointerList::Insert(int32_t index, void* item) {
    if (index < 0 || index > count_) {
        return;
    }
    if (count_ == Capacity()) {
        GrowForOneMore();
    }
    const auto at = items_.begin() + index;
    std::move_backward(at, items_.begin() + count_, items_.begin() + count_ + 1);
    *at = item;
    ++count_;
}

void PointerList::DeleteRange(int32_t index, int32_t count) {
    const int32_t first = std::max(index, 0);
    const int32_t end = std::min(index + std::max(count, 0), count_);
    if (first >= end) {
        return;
    }
    std::move(items_.begin() + end, items_.begin() + count_, items_.begin() + first);
    count_ -= end - first;
    std::fill(items_.begin() + count_, items_.end(), nullptr);
}

int32_t PointerList::IndexOf(const void* item) const {
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[static_cast<size_t>(i)] == item) {
            return i;
        }
    }
    return -1;
}

int32_t PointerList::Remove(const void* item) {
    const int32_t index = IndexOf(item);
    if (index >= 0) {
        DeleteRange(index, 1);
    }
    return index;
}

void* PointerList::ItemAt(int32_t index) const {
    if (index < 0 || index >= count_) {
        return nullptr;
    }
    return items_[static_cast<size_t>(index)];
}

void PointerList::Clear() {
    count_ = 0;
    std::vector<void*>().swap(items_);
}

void PointerList::Destroy() {
    Clear();
    LayerObject::Destroy();
}

void PointerList::GrowForOneMore() {
    const int32_t step = GrowBy != 0 ? GrowBy : count_ / 4 + 1;
    items_.resize(static_cast<size_t>(count_ + std::max(step, 1)), nullptr);
}
