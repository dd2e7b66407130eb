#pragma once
// Finds the note onsets of a recording's work copy.

#include <QString>

#include <cstdint>
#include <vector>

#include "ResultCode.h"

class IF_onsetAnalyzer {
 public:
  virtual ~IF_onsetAnalyzer() = default;

  // Analyses the 16-bit stereo 44100 Hz WAV at `path`; gives its length in
  // frames and the onset times in seconds, in time order.
  virtual ResultCode analyse(const QString& path, std::uint64_t& frames,
                             std::vector<float>& onsetTimes) = 0;

  virtual QString lastError() const = 0;
  virtual void clearError() = 0;
  virtual bool hasException() const = 0;
};
