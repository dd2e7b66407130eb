#pragma once
// The parameter set of one band's SMS analysis: a header of plain values and
// 51 time-varying parameters. Both are addressed by one index through
// SetParam: 0..50 are the envelopes, 51..80 name header values. The analysis
// reads the envelopes per frame at a normalised position (seconds/duration
// once the channel analysis has switched the set to time mode 2).

#include <cstdint>

#include "CEnvelope.h"

class CSMSAnalysisParams {
 public:
  static constexpr int kEnvelopeCount = 51;
  static constexpr int kLastHeaderIndex = 80;

  // How SetParam treats its time argument.
  static constexpr std::uint8_t kSetDirectly = 1;
  static constexpr std::uint8_t kSecondsOverDuration = 2;
  static constexpr std::uint8_t kAbsolutePosition = 3;

  // Envelopes the analysis reads.
  enum Envelope : int {
    bandFrequency = 2,
    windowPeriods = 11,
    fundamentalHz = 13,
    frameAnalysisMode = 42,
  };

  // Header indexes.
  enum Header : int {
    kFrameRate = 51,
    kStartFraction = 52,
    kEndFraction = 53,
    kSetting58 = 58,
    kWindowHops = 74,
    kWindowType = 76,
    kTransientDetection = 77,
    kAnalysisMode = 80,
  };

  // The 51 envelopes, time mode 3, duration 0, then SetDefaults. Throws -1
  // when an envelope cannot get its storage.
  CSMSAnalysisParams();
  CSMSAnalysisParams(const CSMSAnalysisParams&) = delete;
  CSMSAnalysisParams& operator=(const CSMSAnalysisParams&) = delete;

  // Header defaults and the twelve defined envelopes (each a breakpoint
  // envelope over 0..1). Returns 0; throws -1 on allocation failure.
  int SetDefaults();

  // Stores `value` for parameter `index` at `time` (see the header of the
  // class for the time mode). Returns 0 when stored; 1 for an index that
  // names no parameter, for a window type (stored, but reported as 1) and
  // for a header value that is not a number. Out-of-range values are
  // clamped. Throws -1 (allocation) or -2 (a NaN envelope value) from the
  // envelope.
  int SetParam(int index, float value, double time);

  // Envelope `index` (0..50).
  CEnvelope& Envelope(int index) { return envelopes_[index]; }
  const CEnvelope& Envelope(int index) const { return envelopes_[index]; }
  // Envelope `index` read at `seconds`: seconds/duration in time mode 2,
  // the time itself otherwise.
  float ValueAtSeconds(int index, double seconds) const;

  float sampleRate = 44100.0f;
  std::uint8_t timeMode = kAbsolutePosition;
  double duration = 0.0;
  std::uint64_t setting58 = 0;
  float frameRate = 172.265625f;
  float startFraction = 0.0f;
  float endFraction = 1.0f;
  float windowHops = 2.0f;
  std::int32_t windowType = 11;
  std::int32_t transientDetection = 1;
  std::int32_t analysisMode = 1;

 private:
  int SetHeader(int index, float value);

  CEnvelope envelopes_[kEnvelopeCount];
};
