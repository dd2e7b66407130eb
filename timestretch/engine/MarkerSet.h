#pragma once
// Transient markers of one channel: frame positions in the channel's
// analysed region with a class and a type, and, once the windows are made,
// each marker's time and the frame spans before and after it that the
// stretch treats specially. The arrays are sized to the marker count, so a
// channel may hold any number of markers.

#include <cstdint>
#include <vector>

struct MarkerSet {
  static constexpr std::uint8_t kTransient = 2;
  static constexpr std::uint8_t kStrongTransient = 3;
  static constexpr double kDefaultWidth = 8.0;
  static constexpr double kDefaultRest = 5.0;

  std::int64_t count = 0;
  std::vector<std::int32_t> positions;  // frame index, ascending
  std::vector<double> times;            // seconds, on the engine's hop grid
  std::vector<double> beforeWidth;      // frames of the first span before the marker
  std::vector<double> beforeRest;       // frames of the second span before it
  std::vector<double> afterWidth;
  std::vector<double> afterRest;
  std::vector<std::int32_t> classes;    // 1 detected, 0 to drop; only equal classes pair
  std::vector<std::uint8_t> types;      // kTransient or kStrongTransient
  // Per analysed frame: the three detection values the markers came from.
  std::vector<double> detection[3];

  // Appends a marker (no times or widths yet).
  void Add(std::int32_t position, std::int32_t markerClass, std::uint8_t type);
  // Inserts a marker before `index`.
  void Insert(std::int64_t index, std::int32_t position, std::int32_t markerClass, std::uint8_t type);
  // Keeps the first `n` markers.
  void Truncate(std::int64_t n);
  // Drops every marker and detection value.
  void Clear();
};
