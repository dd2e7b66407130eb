#pragma once
// Project-wide settings: mix, tempo and time signature.

#include <cstdint>

struct ComnInfo {
  std::uint8_t volume = 80;      // 0..127
  std::uint8_t pan = 64;         // 0..127
  std::uint8_t revSend = 0;      // 0..127
  std::uint64_t tempo = 120;     // beats per minute, 5..500
  std::uint8_t timeSigNum = 4;   // 1..12
  std::uint8_t timeSigDen = 4;   // 2, 4 or 8
  std::uint8_t normDepth = 50;   // 0..100
  std::uint8_t normSw = 0;       // 0..100

  static constexpr std::uint64_t kMinTempo = 5;
  static constexpr std::uint64_t kMaxTempo = 500;

  bool operator==(const ComnInfo& other) const;
  bool operator!=(const ComnInfo& other) const { return !(*this == other); }

  static bool isValidTempo(std::int64_t tempo) { return tempo >= 5 && tempo <= 500; }
  static bool isValidNumerator(std::uint8_t num) { return static_cast<std::uint8_t>(num - 1) <= 11; }
  static bool isValidDenominator(std::uint8_t den) { return den == 2 || den == 4 || den == 8; }
  static bool isValidLevel(std::uint8_t value) { return value <= 127; }
  static bool isValidPercent(std::uint8_t value) { return value <= 100; }

  // True when every field lies in its accepted range.
  bool isValid() const;
};
