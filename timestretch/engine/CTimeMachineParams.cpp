#include "CTimeMachineParams.h"

namespace {

struct ParamDefault {
  int index;
  std::uint8_t valueType;
  std::uint8_t interpolation;
  float minimum;
  float maximum;
  float value;
};

constexpr std::uint8_t I = CEnvelope::kInteger;
constexpr std::uint8_t F = CEnvelope::kFloat;
constexpr std::uint8_t Step = CEnvelope::kStep;
constexpr std::uint8_t Lin = CEnvelope::kLinear;

// Breakpoint parameters: one value for every time to start with.
constexpr ParamDefault kBreakpointDefaults[] = {
    {CTimeMachineParams::SynthesisComponents, I, Step, 0, 7, 7},
    {CTimeMachineParams::StretchRatio, F, Step, 0.0001f, 1000, 1},
    {109, I, Step, 0, 1, 1},
    {CTimeMachineParams::PeakThresholdDb, F, Lin, -200, 0, -100},
    {111, F, Lin, 0, 22050, 22050},
    {112, I, Step, 0, 1, 1},
    {CTimeMachineParams::PeakNeighbourhood, I, Lin, 0, 1000, 2},
    {CTimeMachineParams::MaxPeakDeviationHz, F, Lin, 0, 10000, 40},
    {CTimeMachineParams::TransientSwitchA, I, Step, 0, 1, 1},
    {117, I, Step, 0, 1, 1},
    {CTimeMachineParams::TransientSwitchB, I, Step, 0, 1, 0},
    {119, I, Step, 0, 1, 1},
    {120, I, Step, 0, 1, 0},
    {CTimeMachineParams::TransientCutoffHz, F, Step, 0, 22050, 2500},
    {122, I, Step, 0, 1, 0},
    {123, I, Step, 0, 1, 1},
    {124, I, Step, 0, 1, 1},
    {CTimeMachineParams::PhaseResetSwitch, I, Step, 0, 1, 1},
    {126, I, Step, 0, 1, 0},
    {CTimeMachineParams::MaxPhaseDeviation, F, Lin, 0, 3.1415927f, 1.0471976f},
    {CTimeMachineParams::MaxMagnitudeRiseDb, F, Lin, 0, 100, 4},
    {CTimeMachineParams::MaxMagnitudeFallDb, F, Lin, -100, 0, -5},
    {CTimeMachineParams::MaxFrequencyJumpHz, F, Lin, 0, 22050, 20},
    {131, F, Lin, 0, 22050, 0},
    {CTimeMachineParams::StereoPhaseSwitch, I, Step, 0, 1, 1},
    {CTimeMachineParams::StereoPhaseAmount, F, Lin, 0, 1, 1},
    {137, F, Lin, 0, 22050, 0},
    {138, F, Lin, 0, 22050, 0},
};

struct PerBandDefault {
  int index;
  float minimum;
  float maximum;
  float defaultValue;
  float perBand[3];
};

// Sampled parameters read with the band index as time.
constexpr PerBandDefault kPerBandDefaults[] = {
    {CTimeMachineParams::BandUpperEdgeHz, 0, 44100, 0, {600, 1800, 22050}},
    {CTimeMachineParams::BandWindowType, 0, 22050, 1, {4, 4, 6}},
    {CTimeMachineParams::BandWindowHops, 0, 22050, 4, {8, 6, 3}},
};

bool validIndex(int index) { return index >= 0 && index < CTimeMachineParams::kParamCount; }

}  // namespace

CTimeMachineParams::CTimeMachineParams() { SetDefaults(); }

CTimeMachineParams::~CTimeMachineParams() = default;

int CTimeMachineParams::SetDefaults() {
  trailer = Trailer();
  for (int i = 0; i < kParamCount; ++i) params_[i].Clear(1);
  for (const ParamDefault& d : kBreakpointDefaults) {
    params_[d.index].Set(CEnvelope::kBreakpoints, d.valueType, d.interpolation, 1, 0, 0, d.minimum, d.maximum,
                         d.value);
  }
  for (const PerBandDefault& d : kPerBandDefaults) {
    CEnvelope& p = params_[d.index];
    p.Set(CEnvelope::kSampled, F, Lin, 3, 0, 0, d.minimum, d.maximum, d.defaultValue);
    p.SetValue(0.0, d.perBand[0]);
    p.SetValue(1.0, d.perBand[1]);
    p.SetValue(2.0, d.perBand[2]);
  }
  return 0;
}

float CTimeMachineParams::GetParam(int index, double time) const {
  if (!validIndex(index)) return 0.0f;
  const CEnvelope& p = params_[index];
  if (p.Kind() == CEnvelope::kSampled) return p.GetValue(time);
  if (timeMode == kFirstValue) return p.BreakpointCount() > 0 ? p.BreakpointAt(0).value : 0.0f;
  if (timeMode == kSecondsOverScale && timeScale > 0.0) time /= timeScale;
  return p.GetValue(time);
}

int CTimeMachineParams::SetParam(int index, float value, double time) {
  if (!validIndex(index)) return 1;
  CEnvelope& p = params_[index];
  if (p.Kind() != CEnvelope::kSampled && timeMode == kSecondsOverScale && timeScale > 0.0 &&
      time != CEnvelope::kAllTimes) {
    time /= timeScale;
  }
  p.SetValue(time, value);
  return 0;
}

void CTimeMachineParams::CopyTo(CTimeMachineParams* target) const {
  if (!target || target == this) return;
  target->timeMode = timeMode;
  target->timeScale = timeScale;
  const std::int32_t keepBandCount = target->trailer.bandCount;
  target->trailer = trailer;
  target->trailer.bandCount = keepBandCount;
  for (int i = 0; i < kParamCount; ++i) target->params_[i].CopyFrom(params_[i]);
}
