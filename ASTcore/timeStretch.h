#pragma once
// The core's time-stretch manager: loads a section's 16-bit stereo frames
// into its one stretch job, lets the job cut them into regions and stretch
// each region to the project tempo, and hands back the stretched frames and
// the ratios used. One stretch at a time; no locks.

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

#include "IF_timeStretch.h"
#include "TimeStretchJob.h"

class timeStretch : public IF_timeStretch {
 public:
  // A new manager owned by the caller; null when it cannot be built.
  static IF_timeStretch* create();

  ~timeStretch() override;
  timeStretch(const timeStretch&) = delete;
  timeStretch& operator=(const timeStretch&) = delete;

  ResultCode setParameters(const StretchParams& params) override;
  // 0x80000001 | inner << 4: the input could not be loaded; 0x80000002: the
  // job failed (exception flag set); 0x80000003: the job produced nothing
  // (also when a ratio is out of range); 0x80000004: no room for the output.
  ResultCode run(const std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& output) override;
  // As run, with the caller's cut list (absolute frames; the input starts at
  // the first cut).
  ResultCode runWithCuts(const std::vector<std::uint8_t>& input, const std::vector<std::uint64_t>& cuts,
                         std::vector<std::uint8_t>& output) override;
  // The flag and the ratios of the last run; none (flag clear, empty list)
  // when that run failed before its regions were made.
  ResultCode getRatios(std::uint8_t* outOfRange, std::vector<double>& ratios) override;
  QString lastError() const override { return lastErr; }
  void clearError() override;
  bool hasException() const override { return exceptFlag != 0; }

 private:
  timeStretch();

  ResultCode loadInput(const std::vector<std::uint8_t>& input, std::uint64_t& frames);
  ResultCode stretch(const std::vector<std::uint8_t>& input, const std::vector<std::uint64_t>* cuts,
                     std::vector<std::uint8_t>& output);

  TimeStretchJob job;
  std::uint64_t tempo = 120;
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  std::uint64_t bars = 0;
  QString lastErr;
  // Polled from the GUI thread while the stretch worker runs.
  std::atomic<std::uint8_t> exceptFlag{0};
  // Whether the last run got as far as regions. The job keeps the ratios of
  // its last successful cut, which belong to an earlier run otherwise.
  bool regionsMade = false;
};
