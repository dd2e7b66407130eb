#pragma once
// One song segment as the segmenter delivers it and the section assignment
// works on it.

#include <cstdint>

struct SegItem {
  static constexpr std::uint32_t kNoSlot = 15;

  std::uint32_t slot = kNoSlot;  // section slot chosen for it; 15 = none yet
  float start = 0.0f;            // seconds
  float end = 0.0f;              // seconds
  std::int32_t label = 0;        // structure class; equal labels recur
};
