#pragma once
// The MThd fields of a Standard MIDI File, kept exactly as read or set.

#include <cstdint>

class CHead {
 public:
  virtual ~CHead() = default;

  std::uint16_t format = 0;
  std::uint16_t trackCount = 0;
  std::uint16_t division = 480;  // ticks per quarter note (or an SMPTE form, bit 15 set)
};
