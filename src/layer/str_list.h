#pragma once
// A list of texts, itself a layer object. Texts may hold any bytes, NUL included.
#include "layer/layer_object.h"

#include <cstdint>
#include <string>
#include <string_view>

class PointerList;

class StrList : public LayerObject {
  public:
    StrList() = default;

    int32_t Count() const { return count_; }

    // Appends a copy of text and returns its index.
    int32_t Add(std::string_view text);
    // Inserts a copy of text at index 0..Count; other indexes are ignored.
    void Insert(int32_t index, std::string_view text);
    // The text at index; empty outside 0..Count-1.
    std::string Item(int32_t index) const;
    // Removes every text, the last first.
    void Clear();

  protected:
    ~StrList() override = default;
    void Destroy() override;

  private:
    // Items are owned std::string copies; created on the first insertion.
    PointerList* items_ = nullptr;
    int32_t count_ = 0;
};
