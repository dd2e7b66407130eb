#include <gtest/gtest.h>

#include <vector>

#include "engine/EngineBandSetup.h"

namespace {

void mapOf(EngineBandSetup& s, std::vector<double> ratios, std::vector<double> positions) {
  s.mapRatios = std::move(ratios);
  s.mapPositions = std::move(positions);
}

}  // namespace

TEST(EngineBandSetup, ConfigureModeRefusesBadMapsModesAndBandCounts) {
  struct Row { std::vector<double> ratios, positions; std::uint32_t mode; int bands; int expected; };
  const Row rows[] = {
      {{2.5}, {0.0}, 0, 2, 2},           {{1.0, 2.5}, {0.0, 0.5}, 0, 2, 2},
      {{0.5}, {0.0}, 0, 2, 0},           {{2.0}, {0.0}, 0, 1, 0},
      {{1.0, 2.0001}, {0.0, 0.5}, 0, 2, 2}, {{1.0, 1.1, 1.2}, {0.0, 0.5, 0.5}, 0, 2, 2},
      {{}, {}, 0, 2, 2},                 {{1.0}, {0.0}, 6, 2, 2},
      {{1.0}, {0.0}, 0, 3, 2},
  };
  for (const Row& r : rows) {
    EngineBandSetup s;
    s.sampleCount = 44100;
    s.bandCount = r.bands;
    mapOf(s, r.ratios, r.positions);
    EXPECT_EQ(s.ConfigureMode(r.mode), r.expected) << r.ratios.size() << " mode " << r.mode << " bands " << r.bands;
  }
}

TEST(EngineBandSetup, HopFollowsRateAndModeAndTheMapIsNormalisedOnce) {
  EngineBandSetup s;
  s.sampleRate = 44100.0;
  s.sampleCount = 88200;  // two seconds
  mapOf(s, {1.0, 2.0}, {0.0, 0.5});
  ASSERT_EQ(s.ConfigureMode(0), 0);
  EXPECT_EQ(s.hop, 256);
  // The ratio changes at one second, half way through the input.
  EXPECT_EQ(s.runParams.GetParam(CTimeMachineParams::StretchRatio, 0.9), 1.0f);
  EXPECT_EQ(s.runParams.GetParam(CTimeMachineParams::StretchRatio, 1.5), 2.0f);
  EXPECT_EQ(s.runParams.GetParam(CTimeMachineParams::BandUpperEdgeHz, 0), 1500.0f);
  EXPECT_EQ(s.runParams.GetParam(CTimeMachineParams::PeakNeighbourhood, 0.0), 4.0f);
  EXPECT_EQ(s.runParams.trailer.windowSize, 256);

  EngineBandSetup half;
  half.sampleRate = 22050.0;
  half.sampleCount = 22050;
  mapOf(half, {1.0}, {0.0});
  ASSERT_EQ(half.ConfigureMode(0), 0);
  EXPECT_EQ(half.hop, 128);
  EngineBandSetup slow;
  slow.sampleCount = 44100;
  mapOf(slow, {1.0}, {0.0});
  ASSERT_EQ(slow.ConfigureMode(2), 0);
  EXPECT_EQ(slow.hop, 512);
  EXPECT_EQ(slow.runParams.GetParam(CTimeMachineParams::BandWindowHops, 0), 8.0f);
  EXPECT_EQ(slow.runParams.GetParam(CTimeMachineParams::PeakNeighbourhood, 0.0), 2.0f);
}

TEST(EngineBandSetup, BandParameterSetsTakeTheBandsWindowsAndRates) {
  EngineBandSetup s;
  s.sampleCount = 44100;
  s.decimation = 4;
  s.nyquist = {5512.5f, 22050.0f};
  mapOf(s, {1.0}, {0.0});
  ASSERT_EQ(s.ConfigureMode(0), 0);
  ASSERT_EQ(s.MakeBandStretchParams(), 0);
  ASSERT_EQ(s.bandStretchParams.size(), 2u);
  const auto& low = s.bandStretchParams[0]->trailer;
  const auto& high = s.bandStretchParams[1]->trailer;
  EXPECT_EQ(low.sampleRate, 11025.0f);
  EXPECT_EQ(low.windowSize, 64);
  EXPECT_EQ(low.windowType, 4);
  EXPECT_EQ(low.zeroPadFactor, 16.0f);
  EXPECT_EQ(high.sampleRate, 44100.0f);
  EXPECT_EQ(high.windowSize, 256);
  EXPECT_EQ(high.zeroPadFactor, 8.0f);
  ASSERT_EQ(s.MakeBandAnalysisParams(), 0);
  ASSERT_EQ(s.bandAnalysisParams.size(), 2u);
  EXPECT_FLOAT_EQ(s.bandAnalysisParams[0]->frameRate, 172.265625f);
  EXPECT_EQ(s.bandAnalysisParams[0]->windowHops, 16.0f);
  EXPECT_EQ(s.bandAnalysisParams[1]->windowHops, 8.0f);
  EXPECT_EQ(s.bandAnalysisParams[1]->transientDetection, 0);
  CSMSAnalysisParams whole;
  s.SetAnalysisPresets(whole);
  EXPECT_EQ(whole.transientDetection, 1);
  EXPECT_FLOAT_EQ(whole.frameRate, 44100.0f / 256.0f);  // 172 a second, whole samples a frame
}

TEST(EngineBandSetup, InputBuffersLendTheCallersSamplesAndHistoriesAreOdd) {
  std::vector<float> left = {1, 2, 3, 4};
  std::vector<float> right = {5, 6, 7, 8};
  {
    EngineBandSetup s;
    s.sampleCount = 4;
    s.left = left.data();
    s.right = right.data();
    ASSERT_EQ(s.MakeInputBuffers(), 0);
    ASSERT_NE(s.InputRight(), nullptr);
    EXPECT_EQ(s.InputLeft()->storage, left.data());
    EXPECT_EQ(s.InputRight()->length, 4);
    s.framePeriod = 256.0 / 44100.0;
    s.ResetWindowStates();
    EXPECT_EQ(s.windowLeft.frameCount, 69);
    EXPECT_EQ(s.windowRight.bandCount, 2);
  }  // the caller's arrays survive the set-up
  EXPECT_EQ(left[3], 4.0f);
}
