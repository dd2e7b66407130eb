#pragma once
// A slot's section record as the core holds it, for the core tests to read.

#include <cstdint>

#include "CASTcore.h"

inline const SecInfo& slotOf(const CASTcore& core, std::uint8_t slot) {
  const SecInfo* sec = nullptr;
  core.getAllInfo().getSecInfo(slot, &sec);
  return *sec;
}
