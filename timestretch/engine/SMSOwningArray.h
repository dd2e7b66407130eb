#pragma once
// An ordered array that owns its elements, shared by the engine's store of
// region lists (SMSRegionLists) and its per-channel store (SMSChannelLists).
// Indexes are signed: -1 names the end for insertion and the last element
// for lookup; a refused index is reported with the container's own code.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "EngineArray.h"

template <typename T, int RefusedIndex>
class SMSOwningArray {
 public:
  static constexpr int kRefusedIndex = RefusedIndex;

  // Inserts `element` at `index` (-1: at the end), shifting later elements
  // by one. Returns 0, or kRefusedIndex for an index below -1 or above
  // count() (the element is then dropped); throws -1 when the array cannot
  // grow.
  int Insert(std::int64_t index, std::unique_ptr<T> element) {
    if (index == -1) index = count();
    if (index < 0 || index > count()) return kRefusedIndex;
    EngineArray::Guard([&] { elements_.reserve(elements_.size() + 1); });
    elements_.insert(elements_.begin() + static_cast<std::ptrdiff_t>(index), std::move(element));
    return 0;
  }

  // Creates an empty element and inserts it at `index`; returns it, or null
  // when the index was refused.
  T* AddNew(std::int64_t index) {
    std::unique_ptr<T> element(new (std::nothrow) T());
    if (!element) throw EngineArray::kOutOfMemory;
    T* raw = element.get();
    return Insert(index, std::move(element)) == 0 ? raw : nullptr;
  }

  // Element `index` (-1: the last one), or null when there is none.
  T* Get(std::int64_t index) const {
    if (index == -1) index = count() - 1;
    if (index < 0 || index >= count()) return nullptr;
    return elements_[static_cast<std::size_t>(index)].get();
  }

  std::int64_t count() const { return static_cast<std::int64_t>(elements_.size()); }

  // Deletes every element.
  void Clear() {
    elements_.clear();
    elements_.shrink_to_fit();
  }

 private:
  std::vector<std::unique_ptr<T>> elements_;
};
