#include <gtest/gtest.h>

#include "CSMSAnalysisParams.h"
#include "CTimeMachineParams.h"

namespace {

TEST(CSMSAnalysisParams, DefaultsReadBack) {
  CSMSAnalysisParams p;
  EXPECT_EQ(p.timeMode, 3);
  EXPECT_FLOAT_EQ(p.frameRate, 172.265625f);
  EXPECT_EQ(p.windowHops, 2.0f);
  EXPECT_EQ(p.windowType, 11);
  EXPECT_EQ(p.transientDetection, 1);
  EXPECT_EQ(p.analysisMode, 1);
  EXPECT_EQ(p.endFraction, 1.0f);
  EXPECT_EQ(p.Envelope(CSMSAnalysisParams::fundamentalHz).GetValue(0.7), 110.0f);
  EXPECT_EQ(p.Envelope(CSMSAnalysisParams::frameAnalysisMode).GetValue(0.0), 4.0f);
  EXPECT_EQ(p.Envelope(3).GetValue(0.2), -100.0f);
  EXPECT_EQ(p.Envelope(5).GetValue(0.2), 0.0f);  // undefined envelopes read 0
  // Window periods over the fundamental in kHz, interpolated linearly.
  const CEnvelope& periods = p.Envelope(CSMSAnalysisParams::windowPeriods);
  EXPECT_FLOAT_EQ(periods.GetValue(0.0), 2.5f);
  EXPECT_FLOAT_EQ(periods.GetValue(0.075), 2.75f);
  EXPECT_FLOAT_EQ(periods.GetValue(0.325), 5.0f);
  EXPECT_FLOAT_EQ(periods.GetValue(1.4), 7.0f);
  // The integer curve holds its steps.
  EXPECT_EQ(p.Envelope(29).GetValue(0.3), 4.0f);
  EXPECT_EQ(p.Envelope(29).GetValue(0.55), 5.0f);
}

TEST(CSMSAnalysisParams, HeaderValuesAreClampedAndReported) {
  struct Case {
    int index;
    float value;
    int result;
  };
  const Case cases[] = {{51, 170.0f, 0}, {52, -3.0f, 0}, {53, 7.0f, 0}, {58, 2.0f, 0}, {74, 100.0f, 0},
                        {76, 20.0f, 1},  {77, 5.0f, 0},  {80, 2.5f, 0}, {55, 1.0f, 1}, {81, 1.0f, 1}};
  CSMSAnalysisParams p;
  p.sampleRate = 44100.0f;
  for (const Case& c : cases) EXPECT_EQ(p.SetParam(c.index, c.value, 0.0), c.result) << c.index;
  EXPECT_FLOAT_EQ(p.frameRate, 44100.0f / 259.0f);
  EXPECT_EQ(p.startFraction, 0.0f);
  EXPECT_EQ(p.endFraction, 1.0f);
  EXPECT_EQ(p.setting58, 2u);
  EXPECT_EQ(p.windowHops, 64.0f);
  EXPECT_EQ(p.windowType, 12);
  EXPECT_EQ(p.transientDetection, 1);
  EXPECT_EQ(p.analysisMode, 2);
}

TEST(CSMSAnalysisParams, TimeModesPlaceEnvelopeValues) {
  CSMSAnalysisParams p;
  p.SetParam(CSMSAnalysisParams::fundamentalHz, 1400.0f, CEnvelope::kAllTimes);
  EXPECT_EQ(p.Envelope(13).GetValue(0.0), 1400.0f);
  EXPECT_EQ(p.Envelope(13).GetValue(0.9), 1400.0f);

  p.timeMode = CSMSAnalysisParams::kSecondsOverDuration;
  p.duration = 10.0;
  p.SetParam(CSMSAnalysisParams::fundamentalHz, 200.0f, 5.0);
  EXPECT_EQ(p.Envelope(13).BreakpointCount(), 3);
  EXPECT_EQ(p.Envelope(13).BreakpointAt(1).time, 0.5);
  EXPECT_FLOAT_EQ(p.ValueAtSeconds(13, 2.5), 800.0f);

  p.timeMode = CSMSAnalysisParams::kSetDirectly;
  p.SetParam(CSMSAnalysisParams::frameAnalysisMode, 9.7f, 0.8);  // clamped to 5
  EXPECT_EQ(p.Envelope(42).GetValue(0.0), 5.0f);
}

TEST(CTimeMachineParams, DefaultsAndPerBandValuesReadBack) {
  CTimeMachineParams p;
  EXPECT_EQ(p.trailer.sampleRate, 22050.0f);
  EXPECT_EQ(p.trailer.windowSize, 128);
  EXPECT_EQ(p.trailer.bandCount, 3);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::SynthesisComponents, 0.3), 7.0f);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::StretchRatio, 0.3), 1.0f);
  EXPECT_FLOAT_EQ(p.GetParam(CTimeMachineParams::MaxPhaseDeviation, 0.9), 1.0471976f);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::MaxMagnitudeFallDb, 0.0), -5.0f);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::TransientSwitchB, 0.0), 0.0f);
  EXPECT_EQ(p.GetParam(50, 0.5), 0.0f);  // not defined
  const float edges[] = {600, 1800, 22050}, types[] = {4, 4, 6}, hops[] = {8, 6, 3};
  for (int b = 0; b < 3; ++b) {
    EXPECT_EQ(p.GetParam(CTimeMachineParams::BandUpperEdgeHz, b), edges[b]);
    EXPECT_EQ(p.GetParam(CTimeMachineParams::BandWindowType, b), types[b]);
    EXPECT_EQ(p.GetParam(CTimeMachineParams::BandWindowHops, b), hops[b]);
  }
}

TEST(CTimeMachineParams, TimeModesScaleOrPinTheReadingTime) {
  CTimeMachineParams p;
  p.SetParam(CTimeMachineParams::StretchRatio, 2.0f, 0.5);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::StretchRatio, 0.25), 1.0f);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::StretchRatio, 0.75), 2.0f);
  p.timeMode = CTimeMachineParams::kSecondsOverScale;
  p.timeScale = 10.0;
  EXPECT_EQ(p.GetParam(CTimeMachineParams::StretchRatio, 7.5), 2.0f);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::BandUpperEdgeHz, 2.0), 22050.0f);  // sampled: as given
  p.SetParam(CTimeMachineParams::PeakThresholdDb, -50.0f, 2.0);               // at position 0.2
  EXPECT_FLOAT_EQ(p.GetParam(CTimeMachineParams::PeakThresholdDb, 6.0), -75.0f);
  p.timeMode = CTimeMachineParams::kFirstValue;
  EXPECT_EQ(p.GetParam(CTimeMachineParams::StretchRatio, 7.5), 1.0f);
  EXPECT_EQ(p.GetParam(CTimeMachineParams::PeakThresholdDb, 6.0), -100.0f);
}

TEST(CTimeMachineParams, CopyKeepsTheTargetsBandCount) {
  CTimeMachineParams a, b;
  a.trailer.windowSize = 64;
  a.trailer.bandCount = 2;
  a.timeMode = 2;
  a.timeScale = 3.0;
  a.SetParam(CTimeMachineParams::StretchRatio, 1.5f, 1.5);  // position 0.5
  b.trailer.bandCount = 0;
  a.CopyTo(&b);
  a.CopyTo(nullptr);
  EXPECT_EQ(b.trailer.windowSize, 64);
  EXPECT_EQ(b.trailer.bandCount, 0);
  EXPECT_EQ(b.timeScale, 3.0);
  EXPECT_EQ(b.GetParam(CTimeMachineParams::StretchRatio, 2.0), 1.5f);
  EXPECT_EQ(b.GetParam(CTimeMachineParams::BandWindowHops, 1.0), 6.0f);
}

}  // namespace
