#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/BandStretch.h"
#include "engine/SpreadPeakPhase.h"

namespace {

constexpr std::int64_t kBins = 65;
const float kNyquist[2] = {6400.0f, 22050.0f};  // 100 Hz a bin in band 0
const double kEdges[2] = {6400.0, 22050.0};

void randomPhases(SMSFrame& f, unsigned seed) {
  f.Allocate(SMSFrame::kPhases, kBins, true);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> d(0.0f, 6.28f);
  for (std::int64_t k = 0; k < kBins; ++k) f.phases[k] = d(gen);
}

double turnDistance(double a, double b) {
  const double d = std::fabs(PhaseMath::Wrap(a) - PhaseMath::Wrap(b));
  return std::min(d, PhaseMath::kTwoPi - d);
}

}  // namespace

TEST(SpreadPeakPhase, NeighboursKeepTheAnalysedDifferencesWithinTheExtents) {
  SMSFrame in, out;
  randomPhases(in, 1);
  randomPhases(out, 2);
  std::vector<float> before(out.phases, out.phases + kBins);
  out.phases[20] = 1.0f;  // the peak's output phase
  SpreadPeakPhase(1, 0, in, out, kNyquist, 0, kEdges, 2000.0, 500.0, 300.0);
  for (std::int64_t k = 15; k < 23; ++k)
    EXPECT_LT(turnDistance(out.phases[k + 1] - out.phases[k], in.phases[k + 1] - in.phases[k]), 1e-5) << k;
  EXPECT_EQ(out.phases[14], before[14]);  // five bins below, three above
  EXPECT_EQ(out.phases[24], before[24]);
  EXPECT_EQ(out.phases[20], 1.0f);
}

TEST(SpreadPeakPhase, APeakAtBinZeroHasNoDownwardStepsAndKeepFlagsCopyUpward) {
  SMSFrame in, out;
  randomPhases(in, 3);
  randomPhases(out, 4);
  std::vector<float> before(out.phases, out.phases + kBins);
  SpreadPeakPhase(2, 1, in, out, kNyquist, 1, kEdges, 0.0, 500.0, 400.0);
  EXPECT_EQ(out.phases[0], before[0]);
  for (std::int64_t k = 1; k <= 4; ++k) EXPECT_FLOAT_EQ(out.phases[k], in.phases[k]) << k;
  EXPECT_EQ(out.phases[5], before[5]);
  // Near the top the walk stops at the last bin.
  SpreadPeakPhase(1, 0, in, out, kNyquist, 0, kEdges, 6250.0, 0.0, 5000.0);
  EXPECT_LT(turnDistance(out.phases[64] - out.phases[63], in.phases[64] - in.phases[63]), 1e-5);
}
