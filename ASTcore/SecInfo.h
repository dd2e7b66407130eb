#pragma once
// One of the 15 section slots of a project: which part of which recording
// plays the style section, with its bar lines, pickup and options.

#include <cstdint>
#include <memory>

struct SecInfo {
  static constexpr std::uint8_t kNoWave = 255;

  std::uint8_t used = 0;
  std::uint8_t wavNo = kNoWave;
  std::uint64_t startAdrs = 0;  // beat-grid address of the section start
  std::int64_t startOfs = 0;    // frame offset added to startAdrs
  std::uint64_t endAdrs = 0;
  std::int64_t endOfs = 0;
  std::uint16_t barNum = 0;
  std::uint8_t barFit = 0;      // derived by the section validation only
  std::uint8_t manualBar = 0;
  std::uint8_t fadeSw = 0;
  std::uint8_t pickupSw = 0;
  std::uint8_t pickupNum = 0;   // pickup length in half beats
  std::int64_t pickupOfs = 0;
  std::uint8_t halfBeat = 0;
  // Rendered length of the slot's working wave. Not part of equality, files
  // or undo: recording it must not add an undo step.
  std::uint64_t holdValue = 0;
  // Addresses and offsets of bar lines 2..barNum; null below 2 bars.
  std::unique_ptr<std::uint64_t[]> barAdrs;
  std::unique_ptr<std::int64_t[]> barOfs;

  SecInfo() = default;
  SecInfo(const SecInfo& other);
  SecInfo& operator=(const SecInfo& other);
  SecInfo(SecInfo&&) = default;
  SecInfo& operator=(SecInfo&&) = default;

  bool operator==(const SecInfo& other) const;
  bool operator!=(const SecInfo& other) const { return !(*this == other); }

  // Sets barNum and rebuilds both bar arrays with count - 1 entries, keeping
  // the entries that still fit and zeroing the new ones.
  void setAreaCount(std::uint16_t count);

  // Back to the reset state: unused, no wave, all numbers 0, no arrays.
  void reset();

  // Start address (with offset) of the last bar of the section.
  std::int64_t lastBarStart() const;

  // Bar line i + 2 (i = 0 .. barNum - 2); 0 when the arrays are absent.
  std::uint64_t barAddress(int i) const;
  std::int64_t barOffset(int i) const;
};
