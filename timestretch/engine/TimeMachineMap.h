#pragma once
// The engine's view of a run: the time map (ratios from normalised input
// positions on) and the progress the passes report to a host bar.

#include <cstdint>
#include <vector>

struct TimeMachineMap {
  // Run states.
  static constexpr std::uint32_t kDone = 0;
  static constexpr std::uint32_t kAnalysingLeft = 1;
  static constexpr std::uint32_t kAnalysingRight = 2;
  static constexpr std::uint32_t kProcessing = 3;

  std::uint64_t pointCount = 0;
  // Output duration / input duration from positions[i] on.
  std::vector<double> ratios;
  // Start of each ratio as a fraction of the input (0 <= position < 1).
  std::vector<double> positions;
  // 1 when there is no right channel.
  std::uint32_t monoFlag = 0;
  // Fraction of the current pass done, in steps of 0.01 or 0.001.
  float progressFraction = 0.0f;
  std::uint32_t runState = kDone;
  // Percent for a host progress bar (the passes fill the first tenth).
  std::int64_t hostPercent = 0;
  std::uint32_t mode = 0;
};
