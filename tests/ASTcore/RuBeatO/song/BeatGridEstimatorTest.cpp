// Tempo and phase of synthetic onset trains whose period and phase are known
// exactly, octave choices, and the downbeat among accented beats.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "BeatGridEstimator.h"

namespace {

constexpr double kFps = 44100.0 / 256.0;

// An energy envelope with a short burst every `period` frames from `phase`
// on (bursts spread over the two frames around their real position), over a
// faint noise floor.
std::vector<float> pulseEnergy(std::size_t frames, double period, double phase, unsigned seed = 3,
                               int accentEvery = 0, int accentAt = 0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> floor(0.0f, 1e-5f);
  std::vector<float> e(frames);
  for (float& x : e) x = floor(gen);
  int k = 0;
  for (double t = phase; t < static_cast<double>(frames) - 1.0; t += period, ++k) {
    const float amp = (accentEvery > 0 && k % accentEvery == accentAt) ? 0.2f : 0.1f;
    const auto i = static_cast<std::size_t>(std::floor(t));
    const double frac = t - std::floor(t);
    e[i] += amp * static_cast<float>(1.0 - frac);
    e[i + 1] += amp * static_cast<float>(frac);
  }
  return e;
}

}  // namespace

TEST(BeatGridEstimator, FindsPeriodAndPhaseOfPulseTrainsAcrossTheTempoRange) {
  const BeatGridEstimator estimator(kFps);
  for (double bpm : {60.0, 72.5, 97.0, 120.0, 133.3, 165.0, 180.0}) {
    const double period = kFps * 60.0 / bpm;
    const double phase = 0.37 * period;
    const std::vector<float> energy = pulseEnergy(static_cast<std::size_t>(kFps * 45.0), period, phase);
    const BeatGrid grid = estimator.estimate(energy);
    ASSERT_GT(grid.period, 0.0) << bpm;
    EXPECT_NEAR(grid.period, period, period * 1e-3) << bpm;
    // Bursts are spread linearly between frames; their weighted centre sits
    // at the real position within a fraction of a frame.
    ASSERT_FALSE(grid.beatFrames.empty());
    EXPECT_NEAR(grid.beatFrames.front(), phase, 0.6) << bpm;
    for (std::size_t k = 1; k < grid.beatFrames.size(); ++k)
      ASSERT_NEAR(grid.beatFrames[k] - grid.beatFrames[k - 1], grid.period, 1e-9);
  }
}

TEST(BeatGridEstimator, PrefersTheFasterOctaveOnlyWhenItsPulsesAreThere) {
  const BeatGridEstimator estimator(kFps);
  const std::size_t frames = static_cast<std::size_t>(kFps * 30.0);
  // 170 BPM pulses also repeat at 85 BPM: the fast tempo is the answer.
  const double fast = kFps * 60.0 / 170.0;
  EXPECT_NEAR(estimator.coarsePeriod(BeatGridEstimator::onsetStrength(pulseEnergy(frames, fast, 5.0))), fast, 1.0);
  // 85 BPM pulses have nothing at 170 BPM.
  EXPECT_NEAR(estimator.coarsePeriod(BeatGridEstimator::onsetStrength(pulseEnergy(frames, 2.0 * fast, 5.0))),
              2.0 * fast, 1.0);
}

TEST(BeatGridEstimator, NothingPeriodicGivesNoGrid) {
  const BeatGridEstimator estimator(kFps);
  EXPECT_TRUE(estimator.estimate(std::vector<float>(5000, 0.0f)).beatFrames.empty());
  EXPECT_TRUE(estimator.estimate({}).beatFrames.empty());
  // A single burst: no period.
  std::vector<float> one(5000, 0.0f);
  one[1000] = 0.5f;
  EXPECT_EQ(estimator.estimate(one).period, 0.0);
}

TEST(BeatGridEstimator, LeadingSilenceGetsNoBeats) {
  const BeatGridEstimator estimator(kFps);
  const double period = kFps * 0.5;
  std::vector<float> energy = pulseEnergy(static_cast<std::size_t>(kFps * 20.0), period, 2.0);
  const std::size_t silent = static_cast<std::size_t>(kFps * 5.0);
  std::fill(energy.begin(), energy.begin() + static_cast<long>(silent), 0.0f);
  const BeatGrid grid = estimator.estimate(energy);
  ASSERT_FALSE(grid.beatFrames.empty());
  EXPECT_GE(grid.beatFrames.front(), static_cast<double>(silent) - period / 2.0);
  EXPECT_LT(grid.beatFrames.front(), static_cast<double>(silent) + period);
}

TEST(BeatGridEstimator, TheDownbeatIsTheBeatWithTheStrongerAttacks) {
  const double period = kFps * 0.5;
  for (int at : {0, 1, 2, 3}) {
    const std::vector<float> energy = pulseEnergy(static_cast<std::size_t>(kFps * 20.0), period, 4.0, 3, 4, at);
    std::vector<double> beats;
    for (double t = 4.0; t < static_cast<double>(energy.size()) - 1.0; t += period) beats.push_back(t);
    EXPECT_EQ(BeatGridEstimator::barPhase(energy, beats, 4), at);
    EXPECT_EQ(BeatGridEstimator::barPhase(energy, beats, 1), 0);
  }
  // Equal beats: the first beat starts the bar.
  const std::vector<float> plain = pulseEnergy(static_cast<std::size_t>(kFps * 20.0), period, 4.0);
  std::vector<double> beats;
  for (double t = 4.0; t < static_cast<double>(plain.size()) - 1.0; t += period) beats.push_back(t);
  EXPECT_EQ(BeatGridEstimator::barPhase(plain, beats, 3), 0);
}
