// The online beat tracker on synthesised click tracks (does its tick clock
// lock to the clicks within a few seconds, at a slow and a fast tempo), its
// tatum reporting and refusals, and the beat clock's fixed-point rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "BeatInterpolator.h"
#include "CBeatTrack.h"

namespace {

using RuBeatO::BeatInterpolator;
using RuBeatO::CBeatTrack;

constexpr int kRate = 44100;
constexpr int kBlock = 180;

// Decaying noise bursts (20 ms) every beat over a faint noise bed.
std::vector<float> clickTrack(double bpm, double seconds) {
  std::vector<float> out(static_cast<size_t>(seconds * kRate));
  std::mt19937 gen(9);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  for (float& v : out) v = 0.002f * noise(gen);
  for (double t = 0.25; t < seconds; t += 60.0 / bpm) {
    const size_t start = static_cast<size_t>(std::llround(t * kRate));
    for (size_t i = 0; i < 882 && start + i < out.size(); ++i)
      out[start + i] += 0.5f * std::exp(-static_cast<float>(i) / 150.0f) * noise(gen);
  }
  return out;
}

// Seconds of every block after which the tracker reported a new tatum.
std::vector<double> tatumTimes(CBeatTrack& tracker, const std::vector<float>& signal, bool halves) {
  std::vector<double> times;
  for (size_t i = 0; i + kBlock <= signal.size(); i += kBlock) {
    tracker.addData(&signal[i], kBlock);
    if (tracker.isNewTatum(halves)) times.push_back(double(i + kBlock) / kRate);
  }
  return times;
}

class ClickTrackLock : public ::testing::TestWithParam<double> {};

TEST_P(ClickTrackLock, BeatsFollowTheClicksAfterAFewSeconds) {
  const double bpm = GetParam();
  const double period = 60.0 / bpm;
  CBeatTrack tracker(1024, kBlock, 3, 44100.0f, 75.0f, 190.0f);
  const std::vector<double> beats = tatumTimes(tracker, clickTrack(bpm, 14.0), false);
  std::vector<double> late;
  for (double t : beats)
    if (t > 6.0) late.push_back(t);
  ASSERT_GE(late.size(), 6u);
  // Steady spacing of one click period, and a fixed distance to the clicks.
  std::vector<double> offsets;
  for (size_t i = 0; i < late.size(); ++i) {
    if (i > 0) {
      EXPECT_NEAR(late[i] - late[i - 1], period, 0.05 * period) << "beat at " << late[i];
    }
    offsets.push_back(std::fmod(late[i] - 0.25 + 10 * period, period));
  }
  const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
  EXPECT_LT(std::min(*hi - *lo, period - (*hi - *lo)), 0.06) << "beats drift against the clicks";
}

INSTANTIATE_TEST_SUITE_P(SlowAndFast, ClickTrackLock, ::testing::Values(90.0, 140.0));

TEST(CBeatTrack, HalfBeatsDoubleTheTatumsOfASteadyTrack) {
  CBeatTrack beats(1024, kBlock, 3, 44100.0f, 75.0f, 190.0f);
  CBeatTrack halves(1024, kBlock, 3, 44100.0f, 75.0f, 190.0f);
  const std::vector<float> signal = clickTrack(120.0, 8.0);
  const auto whole = tatumTimes(beats, signal, false);
  const auto both = tatumTimes(halves, signal, true);
  ASSERT_GT(whole.size(), 4u);
  EXPECT_NEAR(double(both.size()), 2.0 * whole.size(), 2.0);
  for (double t : whole) EXPECT_NE(std::find(both.begin(), both.end(), t), both.end());
}

TEST(CBeatTrack, RestartPutsTheModelBackToItsPriorAndKeepsWhatTheTrackerHeard) {
  const std::vector<float> signal = clickTrack(120.0, 6.0);
  CBeatTrack heard(1024, kBlock, 3, 44100.0f, 75.0f, 190.0f);
  tatumTimes(heard, signal, false);
  // A tracker restarted after its first frames shows the prior alone.
  CBeatTrack fresh(1024, kBlock, 3, 44100.0f, 75.0f, 190.0f);
  fresh.addData(signal.data(), kBlock);
  std::vector<double> settled, prior, restarted;
  heard.getBeatScores(settled);
  fresh.restart();
  fresh.getBeatScores(prior);
  heard.restart();
  heard.getBeatScores(restarted);
  ASSERT_EQ(restarted.size(), prior.size());
  EXPECT_NE(settled, prior) << "six seconds of clicks move the scores";
  for (std::size_t i = 0; i < prior.size(); ++i) EXPECT_EQ(restarted[i], prior[i]) << "tempo " << i;
  // The tracker itself goes on: its frames are still counted, so the
  // model's state is reported, and the clicks are found again.
  std::int32_t period = 0, tempo = -1, phase = -1;
  float tick = 0.0f;
  heard.getInfo(&period, &tick, &tempo, &phase);
  EXPECT_GE(tempo, 0);
  EXPECT_GE(phase, 0);
  const std::vector<double> again = tatumTimes(heard, signal, false);
  EXPECT_GE(again.size(), 6u);
}

TEST(CBeatTrack, RefusesBadLengthsAndSizesAndIgnoresEmptyInput) {
  CBeatTrack tracker(1024, kBlock, 3, 44100.0f, 75.0f, 190.0f);
  const float three[3] = {0.1f, 0.2f, 0.3f};
  try {
    tracker.addData(three, 3);
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "lenData must be even");
  }
  EXPECT_THROW(tracker.addData(three, -2), std::invalid_argument);
  EXPECT_NO_THROW(tracker.addData(nullptr, 180));
  EXPECT_NO_THROW(tracker.addData(three, 0));
  int32_t tempo = 0, phase = 0, period = 0;
  float tick = 0.0f;
  tracker.getInfo(&period, &tick, &tempo, &phase);
  EXPECT_EQ(tempo, -1);  // no frame yet
  EXPECT_THROW(CBeatTrack(0, kBlock, 3, 44100.0f, 75.0f, 190.0f), std::domain_error);
  EXPECT_THROW(CBeatTrack(1024, 0, 3, 44100.0f, 75.0f, 190.0f), std::domain_error);
  EXPECT_THROW(CBeatTrack(1024, kBlock, 3, 44100.0f, 190.0f, 75.0f), std::domain_error);
  EXPECT_THROW(tracker.setFramelen(0), std::domain_error);
  // A refused parameter leaves a working tracker.
  std::vector<float> silence(360, 0.0f);
  EXPECT_NO_THROW(tracker.addData(silence.data(), 360));
}

TEST(BeatInterpolator, ClockRunsFreelyAtItsPeriodAndSettlesOnMarkedBeats) {
  BeatInterpolator clock;
  clock.setPeriod(80, true);
  for (int i = 0; i < 2000; ++i) clock.advance();  // period settles on the target
  EXPECT_NEAR(clock.getPeriod(), 80 * 8192, 16);  // truncation stops just short
  const int32_t start = clock.getFraction();
  for (int i = 0; i < 80; ++i) clock.advance();
  EXPECT_NEAR(clock.getFraction(), start, 80);  // one beat later, the same phase

  // Beats marked every 80 frames at a phase a third of a beat away pull the
  // clock onto them without a jump.
  int32_t previous = clock.getFraction();
  for (int beat = 0; beat < 60; ++beat) {
    for (int i = 0; i < 80; ++i) {
      if (i == 27) clock.markBeat();
      clock.advance();
      const int32_t step = (clock.getFraction() - previous + 32768) % 32768;
      EXPECT_LE(step, 410 + 410 / 16 + 1);
      previous = clock.getFraction();
    }
  }
  for (int i = 0; i < 28; ++i) clock.advance();
  EXPECT_TRUE(clock.isOnBeat() || clock.tick() == 23);
}

TEST(BeatInterpolator, PeriodAboutDoubleTheTargetKeepsTheHalfAndOctaveShiftsTheTarget) {
  BeatInterpolator clock;
  clock.setPeriod(50, true);
  clock.setPeriod(100, false);
  EXPECT_EQ(clock.getTarget(), 100 * 4096);
  clock.setPeriod(70, false);
  EXPECT_EQ(clock.getTarget(), 70 * 8192);
  EXPECT_EQ(clock.setOctave(5), 1);
  EXPECT_EQ(clock.getTarget(), 70 * 4096);
  EXPECT_EQ(clock.setOctave(-1), -1);
  EXPECT_EQ(clock.getTarget(), 70 * 16384);
}

}  // namespace
