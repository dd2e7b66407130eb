// Conversions, beat-grid look-ups and closing a grid at the end of the audio.

#include <gtest/gtest.h>

#include <cmath>

#include "AnalysisUtil.h"

namespace {

// A grid with `div` entries per half beat, one entry every `step` seconds.
WavInfo grid(std::uint16_t div, int entries, float step) {
  WavInfo w;
  w.beatDiv = div;
  for (int k = 0; k < entries; ++k) w.beatTime.push_back(static_cast<float>(k) * step);
  return w;
}

}  // namespace

TEST(AnalysisUtilConversion, SecondsAndFramesAtTheFixedRate) {
  AnalysisUtil util;
  EXPECT_EQ(util.secondsToSamples(1.0f), 44100u);
  EXPECT_EQ(util.secondsToSamples(0.00001f), 1u);  // rounds up
  EXPECT_EQ(util.secondsToSamples(0.0f), 0u);
  EXPECT_EQ(util.secondsToSamples(-0.5f), 0u);
  EXPECT_EQ(util.secondsToSamples(std::nanf("")), 0u);
  EXPECT_EQ(util.secondsToSamples(0.125f), 5513u);  // 5512.5 rounds up
  EXPECT_EQ(util.secondsToSamples(600.0f), 26460000u);
  EXPECT_FLOAT_EQ(util.samplesToSeconds(22050), 0.5f);
  EXPECT_FLOAT_EQ(util.samplesToSeconds(0), 0.0f);
  EXPECT_FLOAT_EQ(util.samplesToSeconds(26460000), 600.0f);
}

TEST(AnalysisUtilBeatGrid, CheckBeatAtTellsBeatsHalfBeatsAndOtherEntries) {
  AnalysisUtil util;
  // beatDiv 2: four entries per beat, 1/8 s apart; entry k lies at frame
  // ceil(k * 5512.5).
  const WavInfo w = grid(2, 17, 0.125f);
  auto frameOf = [](std::uint64_t k) { return (k * 44100 + 7) / 8; };
  std::uint8_t half = 9;

  EXPECT_EQ(util.checkBeatAt(0, w, half), 0u);
  EXPECT_EQ(half, 0);
  for (std::uint64_t k = 1; k < 17; ++k) {
    const ResultCode rc = util.checkBeatAt(frameOf(k), w, half);
    if (k % 4 == 0) {
      EXPECT_EQ(rc, 0u) << k;
      EXPECT_EQ(half, 0) << k;
    } else if (k % 4 == 2) {
      EXPECT_EQ(rc, 0u) << k;
      EXPECT_EQ(half, 1) << k;
    } else {
      EXPECT_EQ(rc, 0x80000002u) << k;
      EXPECT_EQ(half, 0) << k;
    }
  }
  EXPECT_EQ(util.checkBeatAt(frameOf(4) + 1, w, half), 0x80000003u);
  EXPECT_EQ(util.checkBeatAt(frameOf(16) + 1, w, half), 0x80000004u);

  WavInfo empty;
  EXPECT_EQ(util.checkBeatAt(100, empty, half), 0x80000004u);
  WavInfo noDiv = w;
  noDiv.beatDiv = 0;
  EXPECT_EQ(util.checkBeatAt(frameOf(4), noDiv, half), 0x80000005u);
  EXPECT_EQ(util.checkBeatAt(0, noDiv, half), 0u);
}

// Parity of the nearest visited entry, checked against a brute-force search.
TEST(AnalysisUtilBeatGrid, ParityIsThatOfTheNearestVisitedEntry) {
  AnalysisUtil util;
  for (int entries : {8, 9}) {
    const std::uint8_t d = 2;
    const WavInfo w = grid(1, entries, 0.5f);
    for (std::uint64_t address = 0; address < 6 * 44100; address += 2205) {
      const double t = address / 44100.0;
      int best = 0;
      for (int k = 0; k < entries; k += d) {
        if (std::fabs(w.beatTime[k] - t) < std::fabs(w.beatTime[best] - t)) best = k;
      }
      std::uint8_t parity = 7;
      ASSERT_EQ(util.getBeatParity(w.beatTime, address, d, parity), 0u);
      EXPECT_EQ(parity, (best / d) % 2) << entries << " entries, t=" << t;
    }
  }
}

TEST(AnalysisUtilBeatGrid, ParityEdges) {
  AnalysisUtil util;
  const std::vector<float> list = {0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f};
  std::uint8_t parity = 7;
  // 1.5 s lies exactly between the visited entries at 1.0 and 2.0: the
  // earlier one (step index 1) wins.
  EXPECT_EQ(util.getBeatParity(list, 66150, 2, parity), 0u);
  EXPECT_EQ(parity, 1);
  // Past the end: the parity of the last index's step.
  EXPECT_EQ(util.getBeatParity(list, 44100 * 60, 2, parity), 0u);
  EXPECT_EQ(parity, 0);
  EXPECT_EQ(util.getBeatParity(list, 44100 * 60, 3, parity), 0u);
  EXPECT_EQ(parity, 0);  // (8 / 3) % 2
  EXPECT_EQ(util.getBeatParity(list, 44100 * 60, 1, parity), 0u);
  EXPECT_EQ(parity, 0);  // 8 % 2

  EXPECT_EQ(util.getBeatParity({}, 100, 2, parity), 0x80000001u);
  EXPECT_EQ(parity, 0);
  parity = 7;
  EXPECT_EQ(util.getBeatParity(list, 44100, 0, parity), 0x80000002u);
  EXPECT_EQ(parity, 0);
}

TEST(AnalysisUtilCurve, ShortGridsGainTheEndUnlessTheyAlreadyEndThere) {
  AnalysisUtil util;
  WavInfo w;
  w.beatTime = {0.0f, 0.5f};
  w.onsetTime = {0.0f, 0.3f, 7.25f};
  EXPECT_EQ(util.appendCurvePoint(w, 0.3), 0u);
  EXPECT_EQ(w.beatTime, (std::vector<float>{0.0f, 0.5f, 7.25f}));
  EXPECT_EQ(util.appendCurvePoint(w, 0.3), 0u);
  EXPECT_EQ(w.beatTime.size(), 3u);

  WavInfo noOnsets;
  noOnsets.beatTime = {0.0f};
  EXPECT_EQ(util.appendCurvePoint(noOnsets, 0.3), 0u);
  EXPECT_EQ(noOnsets.beatTime.size(), 1u);
  WavInfo noBeats;
  noBeats.onsetTime = {0.0f, 1.0f};
  EXPECT_EQ(util.appendCurvePoint(noBeats, 0.3), 0u);
  EXPECT_TRUE(noBeats.beatTime.empty());
}

TEST(AnalysisUtilCurve, LongGridsGainTheEndOnlyAboutOneIntervalLater) {
  AnalysisUtil util;
  // Regular 0.5 s grid ending at 2.0 s: the end is accepted when
  // (end - 2.0 - 0.5) / 0.5 lies strictly within +-0.3.
  struct Case {
    float end;
    bool appended;
  };
  const Case cases[] = {{2.5f, true},   {2.64f, true},  {2.66f, false},
                        {2.36f, true},  {2.34f, false}, {2.0f, false}};
  for (const Case& c : cases) {
    WavInfo w = grid(1, 5, 0.5f);
    w.onsetTime = {0.0f, c.end};
    EXPECT_EQ(util.appendCurvePoint(w, 0.3), 0u);
    EXPECT_EQ(w.beatTime.size(), c.appended ? 6u : 5u) << c.end;
    if (c.appended) {
      EXPECT_EQ(w.beatTime.back(), c.end);
    }
  }
}

TEST(AnalysisUtilCurve, AGridWithoutSpacingAtItsEndGainsNothing) {
  AnalysisUtil util;
  WavInfo w;
  w.beatTime = {0.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  for (float end : {1.0f, 1.5f}) {
    w.onsetTime = {0.0f, end};
    EXPECT_EQ(util.appendCurvePoint(w, 0.3), 0u);
    EXPECT_EQ(w.beatTime.size(), 5u);
  }
}
