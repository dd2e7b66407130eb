#pragma once
// The parameter set of the stretch and synthesis side: 147 time-varying
// parameters addressed by index (31 of them defined by the defaults), a time
// mode that says how a reading time is interpreted, and a trailer with the
// spectrum settings of a band. The engine makes one set per run and derives
// one per band; the stretch code reads parameters at the time of the frame
// it processes.

#include <cstdint>

#include "CEnvelope.h"

class CTimeMachineParams {
 public:
  static constexpr int kParamCount = 147;

  // How a reading (or writing) time is interpreted.
  static constexpr std::uint8_t kFirstValue = 1;
  static constexpr std::uint8_t kSecondsOverScale = 2;

  // Parameters the stretch side reads.
  enum Param : int {
    SynthesisComponents = 0,
    StretchRatio = 108,
    PeakThresholdDb = 110,
    PeakNeighbourhood = 114,
    MaxPeakDeviationHz = 115,
    TransientSwitchA = 116,
    TransientSwitchB = 118,
    TransientCutoffHz = 121,
    PhaseResetSwitch = 125,
    MaxPhaseDeviation = 127,
    MaxMagnitudeRiseDb = 128,
    MaxMagnitudeFallDb = 129,
    MaxFrequencyJumpHz = 130,
    BandUpperEdgeHz = 132,
    BandWindowType = 133,
    BandWindowHops = 134,
    StereoPhaseSwitch = 135,
    StereoPhaseAmount = 136,
  };

  // The spectrum configuration of a band (read by CSpectrum and the band
  // stretcher).
  struct Trailer {
    float sampleRate = 22050.0f;
    std::int32_t windowType = 11;
    float zeroPadFactor = 2.0f;
    std::int32_t windowSize = 128;
    // Percent, 0..50.
    float overlap = 50.0f;
    // Bit 0: the band stretchers write to a sample buffer.
    std::int32_t outputFlags = 1;
    std::int32_t bandCount = 3;
  };

  // Time mode 3, scale 0, then SetDefaults. Throws -1 when a parameter
  // cannot get its storage (what was made is released).
  CTimeMachineParams();
  ~CTimeMachineParams();
  CTimeMachineParams(const CTimeMachineParams&) = delete;
  CTimeMachineParams& operator=(const CTimeMachineParams&) = delete;

  // Trailer defaults, every parameter reset, then the defined parameters.
  // Returns 0; throws -1 on allocation failure.
  int SetDefaults();

  // Parameter `index` (0..146) at `time`: time mode 2 reads breakpoints at
  // time/scale (when the scale is above 0), time mode 1 the first
  // breakpoint whatever the time; a sampled parameter is always read at the
  // time as given (its index). An index outside 0..146 reads 0.
  float GetParam(int index, double time) const;

  // Stores `value` (clamped into the parameter's range) at `time`, which is
  // divided by the scale in time mode 2 unless it is CEnvelope::kAllTimes or
  // the parameter is sampled. Returns 0, or 1 for an index outside 0..146.
  // Throws -1 (allocation) or -2 (a NaN time or value).
  int SetParam(int index, float value, double time);

  // Copies time mode, scale, the trailer except its band count, and every
  // parameter into `target`; a null target does nothing. Throws -1 on
  // allocation failure.
  void CopyTo(CTimeMachineParams* target) const;

  CEnvelope& Param(int index) { return params_[index]; }
  const CEnvelope& Param(int index) const { return params_[index]; }

  std::uint8_t timeMode = 3;
  double timeScale = 0.0;
  Trailer trailer;

 private:
  CEnvelope params_[kParamCount];
};
