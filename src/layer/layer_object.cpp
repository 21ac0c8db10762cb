#include "layer/layer_object.h"

#include "layer/pointer_list.h"

namespace {

// The release list stores each pair as two items: the function first, then the object.
constexpr int32_t kGrowthOfReleaseList = 4;

void* AsItem(ReleaseFunction function) {
    return reinterpret_cast<void*>(function);
}
ReleaseFunction AsReleaseFunction(void* item) {
    return reinterpret_cast<ReleaseFunction>(item);
}

} // namespace

void LayerObject::Destroy() {
    ReleaseOwnedObjects();
    delete this;
}

void LayerObject::ReleaseOwnedObjects() {
    DestroyHandler(this);
    // Pairs are inserted at the front, so the pair at the end is the oldest registration. The
    // list is read afresh on every round: a released object may take itself out of it.
    while (ReleaseList != nullptr && ReleaseList->Count() >= 2) {
        const int32_t last = ReleaseList->Count() - 2;
        ReleaseFunction function = AsReleaseFunction(ReleaseList->ItemAt(last));
        auto* object = static_cast<LayerObject*>(ReleaseList->ItemAt(last + 1));
        ReleaseList->DeleteRange(last, 2);
        function(object);
    }
    PointerList* list = ReleaseList;
    ReleaseList = nullptr;
    Release(list);
}

void Retain(LayerObject* object) {
    object->RefCount += 2;
}

void Release(LayerObject* object) {
    if (object == nullptr) {
        return;
    }
    object->RefCount -= 2;
    // Once destruction has begun, a further Release (from something the object releases) must
    // not start it a second time.
    if (object->RefCount < 0 && !object->destroyStarted_) {
        object->destroyStarted_ = true;
        object->Destroy();
    }
}

void ReleaseTogether(LayerObject* owner, LayerObject* object) {
    if (owner->ReleaseList == nullptr) {
        owner->ReleaseList = new PointerList(kGrowthOfReleaseList);
    }
    owner->ReleaseList->Insert(0, object);
    owner->ReleaseList->Insert(0, AsItem(&Release));
}

void RemoveFromReleaseList(LayerObject* owner, LayerObject* object) {
    if (owner == nullptr || owner->ReleaseList == nullptr) {
        return;
    }
    const int32_t index = owner->ReleaseList->IndexOf(object);
    if (index >= 1) {
        owner->ReleaseList->DeleteRange(index - 1, 2);
    }
}
