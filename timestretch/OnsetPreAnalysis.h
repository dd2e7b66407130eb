#pragma once
// The job's onset pre-analysis of a whole input: a mono integer copy of the
// signal and a per-frame onset table (0 = no onset, otherwise the strength,
// 0..128 of the strongest). Nothing of it enters the stretched output; it
// serves the leading-sound index and the beat-grid marking. Each object
// holds its own copy, so analyses on separate objects do not meet.

#include <cstdint>
#include <vector>

#include "TimeMachineInput.h"

class OnsetPreAnalysis {
public:
  // Settings the marking reads besides the table.
  struct Settings {
    std::uint8_t preFilter = 1;
    std::uint8_t envelopeMode = 0;
    std::uint8_t modeFlagA = 0;
    std::uint8_t modeFlagB = 0;
    std::int16_t threshold = 26;
    std::int16_t minimumStrength = 5;  // onset strength the grid marking looks for
    std::int16_t windowConstant = 7;   // the marking's window divisor is this minus 2
  };

  // Replaces the state with the analysis of `in`: mono sample i is
  // trunc((left + right) x 0.5) with both channels, trunc(left) with the
  // left only, 0 with neither. Throws the integer -1 when storage cannot be
  // had (the state is then empty).
  void PrepareOnsetAnalysis(const TimeMachineInput* in);

  // Drops the copy and the table.
  void ReleaseOnsetAnalysis();

  // Where sound begins: the index of the first non-zero sample in the first
  // half of the copy, else half the sample count; 0 for fewer than 2
  // samples.
  std::int64_t FirstSoundIndex() const;

  const std::vector<std::int64_t>& Mono() const { return m_mono; }
  std::int64_t SampleCount() const { return static_cast<std::int64_t>(m_mono.size()); }
  std::int64_t Hop() const { return m_hop; }
  std::int64_t FrameCount() const { return static_cast<std::int64_t>(m_onsets.size()); }
  std::vector<std::uint16_t>& Onsets() { return m_onsets; }
  const std::vector<std::uint16_t>& Onsets() const { return m_onsets; }
  const Settings& GetSettings() const { return m_settings; }
  // The first onset frame above the threshold found by the last analysis.
  std::int64_t FirstStrongOnset() const { return m_firstStrong; }

private:
  std::vector<std::int64_t> m_mono;
  std::vector<std::uint16_t> m_onsets;
  std::int64_t m_hop = 0;
  std::int64_t m_firstStrong = 0;
  Settings m_settings;
};
