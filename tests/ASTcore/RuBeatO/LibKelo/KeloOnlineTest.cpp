// The streaming chord engine on a synthesised click track with a held
// chord: report counts against the decision tatums and the lag, positions,
// independence from how the audio is cut into calls, two engines side by
// side against one, the meter levels, and refused set-ups.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "KeloOnline.h"
#include "KeloOnline_impl.h"
#include "KeloReports.h"

namespace {

using kelo::KeloOnline;

// Clicks at 120 BPM over four triads with their roots in the bass: C, A
// minor, F, G.
const std::vector<float>& song() {
  static const std::vector<float> audio = [] {
    const int rate = 44100;
    const double seconds = 7.0;
    std::vector<float> out(std::size_t(seconds * rate));
    std::mt19937 gen(4);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const double pi = 3.14159265358979;
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double t = double(i) / rate;
      static const double chords[4][4] = {{261.63, 329.63, 392.0, 130.81},
                                          {220.0, 261.63, 329.63, 110.0},
                                          {349.23, 440.0, 523.25, 174.61},
                                          {392.0, 493.88, 587.33, 98.0}};
      const double* f = chords[std::min(3, int(t / (seconds / 4)))];
      double v = 0.1 * std::sin(2 * pi * f[3] * t);
      for (int k = 0; k < 3; ++k) v += 0.08 * std::sin(2 * pi * f[k] * t);
      out[i] = float(v);
    }
    for (double t = 0.25; t < seconds; t += 0.5) {
      const std::size_t start = std::size_t(std::llround(t * rate));
      for (std::size_t i = 0; i < 882 && start + i < out.size(); ++i)
        out[start + i] += 0.5f * std::exp(-float(i) / 150.0f) * noise(gen);
    }
    return out;
  }();
  return audio;
}

KeloReports run(int lag, int level, int phase, const std::vector<int>& chunks = {180}) {
  KeloOnline engine;
  KeloReports r;
  r.listenTo(engine);
  EXPECT_EQ(engine.init(lag, "", 180, 4, 0.0), 0);
  EXPECT_EQ(engine.setMeter(level, phase, 2), 0);
  const auto& audio = song();
  std::size_t at = 0;
  for (std::size_t k = 0; at < audio.size(); ++k) {
    const int n = int(std::min<std::size_t>(std::size_t(chunks[k % chunks.size()]), audio.size() - at));
    EXPECT_EQ(engine.process(&audio[at], n), 0);
    at += std::size_t(n);
  }
  EXPECT_EQ(engine.finish(), 0);
  return r;
}

TEST(KeloOnline, ReportsEveryDecisionTatumOnceTheLagHasFilledAndTheRestAtFinish) {
  const int lag = 3;
  KeloOnline engine;
  KeloReports r;
  r.listenTo(engine);
  ASSERT_EQ(engine.init(lag, "", 180, -1, 0.0), 0);
  const auto& audio = song();
  for (std::size_t at = 0; at + 180 <= audio.size(); at += 180) engine.process(&audio[at], 180);
  const std::size_t duringProcess = r.tatums.size();
  ASSERT_GT(duringProcess, 4u);
  engine.finish();
  EXPECT_EQ(r.tatums.size(), duringProcess + lag);  // K - (L - 1) + L = K + 1
  EXPECT_EQ(r.beats.size(), r.tatums.size());
  for (std::size_t i = 0; i < r.tatums.size(); ++i) {
    EXPECT_EQ(r.tatums[i].index, int(i));
    EXPECT_EQ(r.beats[i].tatum, int(i));
    EXPECT_GE(r.tatums[i].samplePosition, 0) << "tatum " << i;
    EXPECT_EQ(r.tatums[i].samplePosition % 180, 0);
    // The tracker's clock starts on a beat, so the first decision tatum may
    // close a one-block slice at the very start: positions 0, 0, ...
    if (i > 1) {
      EXPECT_GT(r.tatums[i].samplePosition, r.tatums[i - 1].samplePosition);
    }
  }
  EXPECT_EQ(r.tatums.front().samplePosition, 0);
  ASSERT_FALSE(r.keys.empty());
  EXPECT_EQ(r.keys.front().tatum, 0);
  for (const auto& b : r.bars) EXPECT_EQ(b.numerator * 10 + b.denominator, 44);
  for (std::size_t i = 0; i < r.bars.size(); ++i) EXPECT_EQ(r.bars[i].barNumber, int(i));
  EXPECT_EQ(r.done, 1);

  // A second finish has nothing left but the end.
  const std::size_t before = r.tatums.size();
  engine.finish();
  EXPECT_EQ(r.tatums.size(), before);
  EXPECT_EQ(r.done, 2);
}

TEST(KeloOnline, ReportsDoNotDependOnHowTheAudioIsCutIntoCalls) {
  const KeloReports whole = run(4, 0, 0);
  const KeloReports pieces = run(4, 0, 0, {37, 500, 1, 179, 2048});
  EXPECT_EQ(whole.flat(), pieces.flat());
  EXPECT_FALSE(whole.chords.empty());
}

TEST(KeloOnline, TwoEnginesSideBySideReportAsOneAlone) {
  const KeloReports alone = run(3, 0, 1);
  KeloOnline a, b;
  KeloReports ra, rb;
  ra.listenTo(a);
  rb.listenTo(b);
  ASSERT_EQ(a.init(3, "", 180, 4, 0.0), 0);
  ASSERT_EQ(b.init(5, "", 180, 4, 0.0), 0);
  a.setMeter(0, 1, 2);
  b.setMeter(1, 0, 2);
  const auto& audio = song();
  std::vector<float> reversed(audio.rbegin(), audio.rend());
  for (std::size_t at = 0; at + 180 <= audio.size(); at += 180) {
    a.process(&audio[at], 180);
    b.process(&reversed[at], 180);
  }
  a.finish();
  b.finish();
  EXPECT_EQ(ra.flat(), alone.flat());
}

TEST(KeloOnline, MeterLevelsSelectEveryOtherOrEveryFourthTrackerPulse) {
  const std::size_t every = run(2, 1, 0).tatums.size();
  const std::size_t half = run(2, 0, 0).tatums.size();
  const std::size_t quarter = run(2, -1, 0).tatums.size();
  EXPECT_NEAR(double(half), every / 2.0, 2.0);
  EXPECT_NEAR(double(quarter), every / 4.0, 2.0);
}

TEST(KeloOnline, RefusedSetUpsAreReportedAndLeaveTheEngineUnusable) {
  KeloOnline engine;
  KeloReports r;
  r.listenTo(engine);
  const float block[180] = {};
  EXPECT_EQ(engine.process(block, 180), kelo::KeloNotInitialised);
  EXPECT_EQ(engine.finish(), kelo::KeloNotInitialised);
  EXPECT_EQ(engine.setMeter(0, 0, 2), kelo::KeloNotInitialised);
  EXPECT_EQ(engine.init(1, "", 180, 4, 0.0), kelo::KeloInvalidParameter);
  EXPECT_EQ(engine.init(3, "", 180, 0, 0.0), kelo::KeloInvalidParameter);
  EXPECT_EQ(engine.init(3, "", 180, 5, 0.0), kelo::KeloInvalidParameter);
  EXPECT_EQ(engine.init(3, "/nonexistent/model", 180, 4, 0.0), 1);
  EXPECT_EQ(engine.process(block, 180), kelo::KeloNotInitialised);
  EXPECT_EQ(r.flat(), KeloReports().flat());
  EXPECT_EQ(engine.init(3, "", 180, 4, 0.0), 0);
  EXPECT_EQ(engine.process(block, 180), 0);
  EXPECT_EQ(engine.process(nullptr, 180), 0);
}

TEST(KeloOnline, SliceLengthsGiveTheirProfileFrameCounts) {
  const struct {
    int samples;
    int frames;
  } cases[] = {{0, 0}, {7168, 0}, {7169, 1}, {8191, 1}, {9215, 1}, {9216, 1}, {10240, 2}, {70560, 60}};
  for (const auto& c : cases) EXPECT_EQ(kelo::KeloOnline_impl::profileFrames(c.samples), c.frames) << c.samples;
}

}  // namespace

TEST(KeloOnline, TheLastChordsOfTheStreamAreReportedAndTheSeedRecordsNever) {
  const KeloReports r = run(4, 1, 0);
  std::vector<int> roots;
  for (const auto& c : r.chords) {
    EXPECT_GE(c.tatum, 0);
    if (roots.empty() || roots.back() != c.root) roots.push_back(c.root);
  }
  // C, A minor, F, G: the last two were lost when the queue waited for a
  // right-hand neighbour that never came.
  ASSERT_GE(roots.size(), 2u);
  EXPECT_EQ(roots.back(), 7);
  EXPECT_NE(std::find(roots.begin(), roots.end(), 5), roots.end());
}
