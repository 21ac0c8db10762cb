#pragma once
// A growable list of pointer-sized values, itself a layer object. When an item is added to a
// full list the capacity grows to Count + GrowBy, or to Count + Count / 4 + 1 when GrowBy is 0.
#include "layer/layer_object.h"

#include <cstdint>
#include <vector>

class PointerList : public LayerObject {
  public:
    explicit PointerList(int32_t growBy = 0) : GrowBy(growBy) {}

    int32_t GrowBy;

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return static_cast<int32_t>(items_.size()); }

    // Appends the item and returns its index.
    int32_t Add(void* item);
    // Inserts the item at index 0..Count; the items from index on move up. Other indexes are
    // ignored.
    void Insert(int32_t index, void* item);
    // Removes count items from index on; the range is cut to the items that exist.
    void DeleteRange(int32_t index, int32_t count);
    // The index of the first item equal to item, or -1.
    int32_t IndexOf(const void* item) const;
    // Removes the first item equal to item and returns its former index, or -1.
    int32_t Remove(const void* item);
    // The item at index, or null outside 0..Count-1.
    void* ItemAt(int32_t index) const;
    // Removes every item and gives the storage back.
    void Clear();

  protected:
    ~PointerList() override = default;
    void Destroy() override;

  private:
    void GrowForOneMore();

    std::vector<void*> items_;
    int32_t count_ = 0;
};
