#include "CSMSAnalysisParams.h"

#include <algorithm>
#include <cmath>

namespace {

struct EnvelopeDefault {
  int index;
  std::uint8_t valueType;
  float minimum;
  float maximum;
  float value;
};

// The envelopes that get a range and a starting value. Integer envelopes
// hold their value (step), float envelopes interpolate linearly.
constexpr EnvelopeDefault kDefaults[] = {
    {0, CEnvelope::kInteger, 0.0f, 2.0f, 1.0f},
    {CSMSAnalysisParams::bandFrequency, CEnvelope::kFloat, 0.0f, 22050.0f, 11025.0f},
    {3, CEnvelope::kFloat, -300.0f, 0.0f, -100.0f},
    {4, CEnvelope::kInteger, 0.0f, 400.0f, 60.0f},
    {CSMSAnalysisParams::windowPeriods, CEnvelope::kFloat, 0.5f, 20.0f, 2.5f},
    {12, CEnvelope::kFloat, 0.0f, 22050.0f, 70.0f},
    {CSMSAnalysisParams::fundamentalHz, CEnvelope::kFloat, 0.0f, 22050.0f, 110.0f},
    {14, CEnvelope::kFloat, 0.0f, 22050.0f, 600.0f},
    {20, CEnvelope::kInteger, 0.0f, 1.0f, 1.0f},
    {23, CEnvelope::kFloat, 0.0f, 1.0f, 0.25f},
    {29, CEnvelope::kInteger, 0.0f, 12.0f, 4.0f},
    {CSMSAnalysisParams::frameAnalysisMode, CEnvelope::kInteger, 0.0f, 5.0f, 4.0f},
};

struct CurvePoint {
  double position;
  float value;
};

// Curves over frequency (position 1 = 1 kHz): window length in periods of
// the fundamental, and a per-frequency setting that nothing reads.
constexpr CurvePoint kWindowPeriodsCurve[] = {{0.15, 3.0f}, {0.5, 7.0f}, {1.0, 7.0f}};
constexpr CurvePoint kCurve29[] = {{0.15, 3.0f}, {0.25, 4.0f}, {0.5, 5.0f}, {0.6, 6.0f}, {1.0, 6.0f}};

bool isFrequencyCurve(int index) { return index == CSMSAnalysisParams::windowPeriods || index == 29; }

}  // namespace

CSMSAnalysisParams::CSMSAnalysisParams() { SetDefaults(); }

int CSMSAnalysisParams::SetDefaults() {
  setting58 = 0;
  frameRate = 172.265625f;
  startFraction = 0.0f;
  endFraction = 1.0f;
  windowHops = 2.0f;
  windowType = 11;
  transientDetection = 1;
  analysisMode = 1;
  for (const EnvelopeDefault& d : kDefaults) {
    const std::uint8_t interpolation = d.valueType == CEnvelope::kInteger ? CEnvelope::kStep : CEnvelope::kLinear;
    envelopes_[d.index].Set(CEnvelope::kBreakpoints, d.valueType, interpolation, 1, 0, 0, d.minimum, d.maximum,
                            d.value);
  }
  for (const CurvePoint& p : kWindowPeriodsCurve) envelopes_[windowPeriods].SetValue(p.position, p.value);
  for (const CurvePoint& p : kCurve29) envelopes_[29].SetValue(p.position, p.value);
  return 0;
}

int CSMSAnalysisParams::SetParam(int index, float value, double time) {
  if (index < 0) return 1;
  if (index >= kEnvelopeCount) return SetHeader(index, value);

  CEnvelope& env = envelopes_[index];
  if (env.Kind() != CEnvelope::kSampled && !isFrequencyCurve(index)) {
    // "All times" stays all times whatever the time mode.
    if (timeMode == kSecondsOverDuration && duration > 0.0 && time != CEnvelope::kAllTimes) time /= duration;
    if (timeMode == kSetDirectly) {
      // SetValue clamps and truncates; position 0 is the first breakpoint.
      env.SetValue(0.0, value);
      return 0;
    }
  }
  env.SetValue(time, value);
  return 0;
}

int CSMSAnalysisParams::SetHeader(int index, float value) {
  if (std::isnan(value)) return 1;
  const float v = std::max(value, 0.0f);
  switch (index) {
    case kFrameRate: {
      const float r = std::min(std::max(value, 0.1f), 12000.0f);
      const auto samplesPerFrame = static_cast<std::int64_t>(sampleRate / r + 0.5f);
      // A rate too low for a whole sample per frame keeps one sample.
      frameRate = sampleRate / static_cast<float>(std::max<std::int64_t>(samplesPerFrame, 1));
      return 0;
    }
    case kStartFraction:
      startFraction = std::min(v, 1.0f);
      return 0;
    case kEndFraction:
      endFraction = std::min(v, 1.0f);
      return 0;
    case kSetting58:
      setting58 = static_cast<std::uint64_t>(v);
      return 0;
    case kWindowHops:
      windowHops = std::min(std::max(value, 1.0f), 64.0f);
      return 0;
    case kWindowType:
      windowType = v >= 13.0f ? 12 : static_cast<std::int32_t>(v);
      return 1;
    case kTransientDetection:
      transientDetection = std::min(static_cast<std::int32_t>(v), 1);
      return 0;
    case kAnalysisMode:
      analysisMode = v >= 3.0f ? 2 : static_cast<std::int32_t>(v);
      return 0;
    default:
      return 1;
  }
}

float CSMSAnalysisParams::ValueAtSeconds(int index, double seconds) const {
  const double position = timeMode == kSecondsOverDuration && duration > 0.0 ? seconds / duration : seconds;
  return envelopes_[index].GetValue(position);
}
