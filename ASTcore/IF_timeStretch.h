#pragma once
// Stretches a section's 16-bit stereo frames to the project tempo.

#include <QString>

#include <cstdint>
#include <vector>

#include "ResultCode.h"

struct StretchParams {
  std::uint64_t tempo = 120;  // target tempo, beats per minute
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  std::uint64_t bars = 0;     // bars of the section
};

class IF_timeStretch {
 public:
  virtual ~IF_timeStretch() = default;

  // Stores the target tempo, time signature and bar count for the next run.
  virtual ResultCode setParameters(const StretchParams& params) = 0;

  // Stretches the whole input (4 bytes per frame, little-endian, left first)
  // as one region.
  virtual ResultCode run(const std::vector<std::uint8_t>& input,
                         std::vector<std::uint8_t>& output) = 0;

  // The same, with the caller's cut list (bar-line frames, first and last
  // included); each region gets its own ratio.
  virtual ResultCode runWithCuts(const std::vector<std::uint8_t>& input,
                                 const std::vector<std::uint64_t>& cuts,
                                 std::vector<std::uint8_t>& output) = 0;

  // The out-of-range flag (some ratio outside 0.5..2.0) and the per-region
  // ratios of the last run.
  virtual ResultCode getRatios(std::uint8_t* outOfRange, std::vector<double>& ratios) = 0;

  virtual QString lastError() const = 0;
  virtual void clearError() = 0;
  virtual bool hasException() const = 0;
};
