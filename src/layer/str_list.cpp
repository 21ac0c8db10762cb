#include "layer/str_list.h"

#include "layer/pointer_list.h"

int32_t StrList::Add(std::string_view text) {
    const int32_t index = count_;
    Insert(index, text);
    return index;
}

void StrList::Insert(int32_t index, std::string_view text) {
    if (index < 0 || index > count_) {
        return;
    }
    if (items_ == nullptr) {
        items_ = new PointerList();
    }
    items_->Insert(index, new std::string(text));
    ++count_;
}

std::string StrList::Item(int32_t index) const {
    if (items_ == nullptr || index < 0 || index >= count_) {
        return {};
    }
    return *static_cast<const std::string*>(items_->ItemAt(index));
}

void StrList::Clear() {
    if (items_ == nullptr) {
        return;
    }
    for (int32_t i = items_->Count() - 1; i >= 0; --i) {
        delete static_cast<std::string*>(items_->ItemAt(i));
        items_->DeleteRange(i, 1);
    }
    count_ = 0;
    PointerList* list = items_;
    items_ = nullptr;
    Release(list);
}

void StrList::Destroy() {
    Clear();
    LayerObject::Destroy();
}
