// The beat detector on synthesised click tracks (steady tempi, a tempo
// step) and on its edges: frame counting per hop, streams shorter than one
// window, queries before inference, reset, listing steps, refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "CBeatDetect.h"

namespace {

using RuBeatO::CBeatDetect;

constexpr int kRate = 44100;
constexpr int kHop = 180;

// Decaying noise bursts (20 ms) at the given click times, over a faint
// noise bed.
std::vector<float> clicks(const std::vector<double>& times, double seconds) {
  std::vector<float> out(static_cast<size_t>(seconds * kRate));
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  for (float& v : out) v = 0.002f * noise(gen);
  for (double t : times) {
    const size_t start = static_cast<size_t>(std::llround(t * kRate));
    for (size_t i = 0; i < 882 && start + i < out.size(); ++i)
      out[start + i] += 0.5f * std::exp(-static_cast<float>(i) / 150.0f) * noise(gen);
  }
  return out;
}

std::vector<double> steadyTimes(double bpm, double from, double to) {
  std::vector<double> t;
  for (double x = from; x < to; x += 60.0 / bpm) t.push_back(x);
  return t;
}

std::unique_ptr<CBeatDetect> detect(const std::vector<float>& signal, bool halfBeat) {
  auto d = std::make_unique<CBeatDetect>(1024, kHop, 3, halfBeat, 44100.0f, 60.0f, 200.0f);
  for (size_t i = 0; i + kHop <= signal.size(); i += kHop) d->addData(&signal[i], kHop);
  d->infer();
  return d;
}

// Seconds of a beat frame: the frame that completes a window shows an onset
// about framelen / hop frames after it happened.
double seconds(int frame) { return (frame + 1 - 1024 / kHop) * double(kHop) / kRate; }

double nearest(const std::vector<double>& times, double t) {
  double best = std::numeric_limits<double>::infinity();
  for (double x : times) best = std::min(best, std::fabs(x - t));
  return best;
}

TEST(CBeatDetect, ClickTracksGiveSteadyBeatsAtTheirTempo) {
  for (double bpm : {80.0, 120.0, 160.0}) {
    SCOPED_TRACE(bpm);
    const auto times = steadyTimes(bpm, 0.3, 12.0);
    const auto d = detect(clicks(times, 12.0), true);
    std::list<int> beats;
    d->getBeatFrames(beats, 1, 0);
    std::vector<int> intervals;
    for (auto it = std::next(beats.begin()); it != beats.end(); ++it)
      if (seconds(*it) > 3.0) intervals.push_back(*it - *std::prev(it));
    ASSERT_GT(intervals.size(), 6u);
    // Beats fall on decimated frames, so intervals differ by whole steps at
    // most.
    const auto [lo, hi] = std::minmax_element(intervals.begin(), intervals.end());
    EXPECT_LE(*hi - *lo, 6);

    float tempo = 0.0f;
    bool valid = false;
    d->getTempo(&tempo, &valid);
    ASSERT_TRUE(valid);
    const double ratio = tempo / bpm;
    const double octave = std::pow(2.0, std::round(std::log2(ratio)));
    EXPECT_NEAR(ratio / octave, 1.0, 0.02) << tempo;
    EXPECT_LE(std::fabs(std::log2(octave)), 1.0);
  }
}

// The onset the tracker weighed: high on its beats, where the clicks are,
// low between them, and nothing outside the frames fed.
TEST(CBeatDetect, OnsetsAreHighOnTheClicksAndLowBetween) {
  const auto times = steadyTimes(100.0, 0.3, 12.0);
  const auto d = detect(clicks(times, 12.0), false);
  std::list<int> beats;
  d->getBeatFrames(beats, 1, 0);
  double onBeats = 0.0, between = 0.0;
  int counted = 0;
  for (auto it = std::next(beats.begin()); it != beats.end(); ++it) {
    if (seconds(*it) < 3.0) continue;
    const int mid = (*it + *std::prev(it)) / 2;
    onBeats += std::max({d->onsetAt(*it - 3), d->onsetAt(*it), d->onsetAt(*it + 3)});
    between += std::max({d->onsetAt(mid - 3), d->onsetAt(mid), d->onsetAt(mid + 3)});
    ++counted;
  }
  ASSERT_GT(counted, 6);
  EXPECT_GT(onBeats / counted, 2.0);
  EXPECT_LT(between / counted, 0.5 * onBeats / counted);
  EXPECT_EQ(d->onsetAt(-1), 0.0f);
  EXPECT_EQ(d->onsetAt(d->getNumFrames() + 3), 0.0f);
}

// The tempo prior lets the tempo move by fractions of a percent per beat,
// so a moderate step is followed after a glide of a few beats. (Larger
// steps over short tracks, 100 to 130 BPM say, make the decode settle on
// one metrical level that fits both parts instead.)
TEST(CBeatDetect, FollowsATempoStepWithinAFewBeats) {
  for (const auto& step : {std::make_pair(100.0, 110.0), std::make_pair(110.0, 100.0)}) {
    SCOPED_TRACE(step.first);
    auto times = steadyTimes(step.first, 0.2, 12.0);
    const double change = times.back() + 60.0 / step.first;
    for (double t : steadyTimes(step.second, change, 24.0)) times.push_back(t);
    const auto d = detect(clicks(times, 24.0), false);
    std::list<int> beats;
    d->getBeatFrames(beats, 1, 0);
    int off = 0;
    int on = 0;
    for (int f : beats) {
      const double t = seconds(f);
      if (t < 3.0) continue;
      const bool hit = nearest(times, t) < 0.04;
      on += hit;
      if (!hit) {
        ++off;
        EXPECT_NEAR(t, change, 4 * 60.0 / step.first);
      }
    }
    EXPECT_LE(off, 3);
    EXPECT_GE(on, static_cast<int>((change - 3.0) * step.first / 60.0 +
                                   (24.0 - change) * step.second / 60.0) - 4);
  }
}

// What the position query reports at the end of one detector, handed to a
// second one as its start state, continues the beat grid through audio that
// carries no evidence of its own.
TEST(CBeatDetect, TempoStateCarriesTheGridIntoTheNextStretch) {
  const double bpm = 120.0;
  const auto first = detect(clicks(steadyTimes(bpm, 0.25, 8.0), 8.0), false);
  const int last = first->getNumFrames() - 1;
  int period = 0;
  int toNext = 0;
  first->getInfoAtFrame(last, &period, &toNext);
  std::list<int> beats;
  first->getBeatFrames(beats, 1, 0);
  ASSERT_FALSE(beats.empty());
  const int grid = beats.back() - *std::prev(beats.end(), 2);

  CBeatDetect second(1024, kHop, 3, false, 44100.0f, 60.0f, 200.0f);
  second.setTempoState(period, toNext);
  const std::vector<float> quiet(static_cast<size_t>(3.0 * kRate), 0.0f);
  for (size_t i = 0; i + kHop <= quiet.size(); i += kHop) second.addData(&quiet[i], kHop);
  second.infer();
  std::list<int> continued;
  second.getBeatFrames(continued, 1, 0);
  ASSERT_GE(continued.size(), 3u);
  // The next beat was due toNext frames after the first detector's last
  // frame, i.e. at frame toNext - 1 of the second.
  EXPECT_NEAR(continued.front(), toNext - 1, 3);
  EXPECT_NEAR(*std::next(continued.begin()) - continued.front(), grid, 3);
}

TEST(CBeatDetect, EachHopCompletesOneFrameAndBeatsSitOnDecimatedFrames) {
  CBeatDetect d(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  EXPECT_FLOAT_EQ(d.getFps(), 245.0f);
  const auto signal = clicks(steadyTimes(120.0, 0.1, 6.0), 6.0);
  d.addData(signal.data(), 178);
  EXPECT_EQ(d.getNumFrames(), 0);
  d.addData(signal.data() + 178, 2);
  EXPECT_EQ(d.getNumFrames(), 1);
  int dim = 0;
  d.getFeature(&dim);
  EXPECT_EQ(dim, 10);
  for (size_t i = 180; i + kHop <= signal.size(); i += kHop) d.addData(&signal[i], kHop);
  const int frames = d.getNumFrames();
  EXPECT_EQ(frames, static_cast<int>(signal.size() / kHop));
  d.infer();

  std::list<int> all;
  d.getBeatFrames(all, 1, 0);
  ASSERT_GT(all.size(), 6u);
  for (int f : all) EXPECT_EQ(f % 3, 0);
  for (int f = 0; f < frames; ++f) {
    int period = 0;
    int toNext = 0;
    d.getInfoAtFrame(f, &period, &toNext);
    // Half the tracker's frames per beat (73 .. 246) times the decimation.
    EXPECT_GE(period, 73 * 3 / 2);
    EXPECT_LE(period, 246 * 3 / 2);
    EXPECT_LT(toNext, period);
    if (f % 3 != 0) {
      EXPECT_NE(toNext, 0);
    }
  }

  std::list<int> everySecond;
  d.getBeatFrames(everySecond, 2, 1);
  std::vector<int> expected;
  int n = 0;
  for (int f : all)
    if (n++ % 2 == 1) expected.push_back(f);
  EXPECT_EQ(std::vector<int>(everySecond.begin(), everySecond.end()), expected);
}

TEST(CBeatDetect, StreamsShorterThanAWindowGiveEmptyDefinedResults) {
  CBeatDetect d(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  std::vector<float> few(100, 0.1f);
  d.addData(few.data(), 100);
  d.infer();
  std::list<int> beats{42};
  d.getBeatFrames(beats, 1, 0);
  EXPECT_TRUE(beats.empty());
  float bpm = -1.0f;
  bool valid = true;
  d.getTempo(&bpm, &valid);
  EXPECT_FALSE(valid);
  EXPECT_EQ(bpm, 0.0f);
  int period = 0;
  int toNext = 0;
  EXPECT_THROW(d.getInfoAtFrame(0, &period, &toNext), std::domain_error);

  // A few frames, fewer than one analysis window of history.
  std::vector<float> three(3 * kHop, 0.1f);
  d.addData(three.data(), static_cast<int>(three.size()));
  d.infer();
  d.getInfoAtFrame(d.getNumFrames() - 1, &period, &toNext);
  EXPECT_GT(period, 0);
}

TEST(CBeatDetect, ResetStartsOverAndQueriesWaitForInference) {
  const auto signal = clicks(steadyTimes(120.0, 0.1, 5.0), 5.0);
  CBeatDetect d(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  auto feed = [&] {
    for (size_t i = 0; i + kHop <= signal.size(); i += kHop) d.addData(&signal[i], kHop);
  };
  feed();
  std::list<int> first;
  EXPECT_THROW(d.getBeatFrames(first, 1, 0), std::logic_error);
  d.infer();
  d.getBeatFrames(first, 1, 0);

  d.addData(signal.data(), kHop);
  int period = 0;
  int toNext = 0;
  try {
    d.getInfoAtFrame(0, &period, &toNext);
    ADD_FAILURE() << "query after new data";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "getInfoAtFrame wa scalled before calling infer()");
  }
  float bpm = 0.0f;
  bool valid = false;
  EXPECT_THROW(d.getTempo(&bpm, &valid), std::logic_error);

  d.reset();
  EXPECT_EQ(d.getNumFrames(), 0);
  feed();
  d.infer();
  std::list<int> second;
  d.getBeatFrames(second, 1, 0);
  EXPECT_EQ(first, second);

  EXPECT_THROW(d.addAnchor(10, 0), std::domain_error);
  d.addAnchor(100, 6);
  EXPECT_FALSE(d.isInferred());
}

TEST(CBeatDetect, NewFramingTakesEffectAtTheNextResetOnly) {
  const auto signal = clicks(steadyTimes(120.0, 0.1, 5.0), 5.0);
  // Two detectors fed alike; one is given a larger window and hop first.
  CBeatDetect plain(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  CBeatDetect changed(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  changed.setFramelen(8192);
  changed.setHopsize(4096);
  EXPECT_EQ(changed.getHopsize(), 4096);
  // Until the reset the stream is still cut into 180-sample frames of the
  // old window, written within it, with the same beats.
  for (size_t i = 0; i + 8192 <= signal.size(); i += 8192) {
    plain.addData(&signal[i], 8192);
    changed.addData(&signal[i], 8192);
  }
  EXPECT_EQ(changed.getNumFrames(), plain.getNumFrames());
  EXPECT_EQ(changed.getNumFrames(), static_cast<int>(signal.size() / 8192 * 8192 / kHop));
  plain.infer();
  changed.infer();
  std::list<int> a, b;
  plain.getBeatFrames(a, 1, 0);
  changed.getBeatFrames(b, 1, 0);
  EXPECT_EQ(a, b);
  // A smaller hop neither reframes the stream before the reset.
  changed.setHopsize(90);
  changed.addData(signal.data(), kHop);
  EXPECT_EQ(changed.getNumFrames(), plain.getNumFrames() + 1);

  // From the reset on, the new framing: one frame per 4096 samples.
  changed.setHopsize(4096);
  changed.reset();
  changed.addData(signal.data(), 8192);
  EXPECT_EQ(changed.getNumFrames(), 2);
  EXPECT_NEAR(changed.getFps(), 44100.0f / 4096.0f, 1e-3f);
}

TEST(CBeatDetect, RefusesBadParametersAndLengths) {
  struct Case {
    int framelen, hopsize, decimation;
    float fs, bpmMin, bpmMax;
    const char* message;
  };
  const Case cases[] = {
      {1024, 0, 3, 44100.0f, 60.0f, 200.0f, "hopsize must be positive"},
      {1024, 2048, 3, 44100.0f, 60.0f, 200.0f,
       "framelen must be greater than or equal to hopsize"},
      {1024, 180, 3, 0.0f, 60.0f, 200.0f, "fs must be positive"},
      {1024, 180, 3, 44100.0f, 29.0f, 200.0f, "bpm_min must be greater than 30"},
      {1024, 180, 3, 44100.0f, 200.0f, 200.0f, "bpm_min must be less than bpm_max"},
      {1024, 180, 0, 44100.0f, 60.0f, 200.0f, "decimation must be a natural number"},
  };
  for (const Case& c : cases) {
    try {
      CBeatDetect d(c.framelen, c.hopsize, c.decimation, true, c.fs, c.bpmMin, c.bpmMax);
      ADD_FAILURE() << c.message;
    } catch (const std::domain_error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }

  CBeatDetect d(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  std::vector<float> samples(1000, 0.0f);
  EXPECT_THROW(d.addData(samples.data(), 3), std::invalid_argument);
  try {
    d.addData(samples.data(), -2);
    ADD_FAILURE() << "negative length";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "lenData must be positive");
  }
  d.addData(nullptr, 0);
  EXPECT_EQ(d.getNumFrames(), 0);
  // A null pointer's length still counts toward the ten-hour limit.
  d.addData(nullptr, 44100 * 36000 - 1000);
  EXPECT_THROW(d.addData(samples.data(), 1000), std::out_of_range);
  d.reset();
  EXPECT_NO_THROW(d.addData(samples.data(), 2));
}

}  // namespace

namespace {

TEST(CBeatDetect, ListingStepsBelowOneAreRefusedInsteadOfCountingForEver) {
  const auto signal = clicks(steadyTimes(120.0, 0.1, 3.0), 3.0);
  auto d = detect(signal, true);
  std::list<int> beats{7};
  for (const auto& stepOffset : {std::make_pair(0, 0), std::make_pair(0, 3), std::make_pair(-2, 1)}) {
    try {
      d->getBeatFrames(beats, stepOffset.first, stepOffset.second);
      ADD_FAILURE() << "step " << stepOffset.first;
    } catch (const std::domain_error& e) {
      EXPECT_STREQ(e.what(), "step must be positive");
    }
    EXPECT_TRUE(beats.empty());
  }
  d->getBeatFrames(beats, 1, 0);
  EXPECT_GE(beats.size(), 4u);
}

TEST(CBeatDetect, TheTenHourLimitHoldsWhereItsSampleCountPasses32Bits) {
  // At 192 kHz ten hours are 6.9e9 samples, beyond 2^32: a 32-bit count
  // would wrap round and never reach the limit. Null data counts without
  // being analysed.
  CBeatDetect d(1024, kHop, 3, true, 192000.0f, 60.0f, 200.0f);
  for (int i = 0; i < 3; ++i) d.addData(nullptr, 2000000000);  // 6.0e9
  try {
    d.addData(nullptr, 2000000000);  // 8.0e9
    ADD_FAILURE() << "ten hours passed unnoticed";
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "Input audio exceeds max. allowed duration");
  }
  EXPECT_EQ(d.getNumFrames(), 0);
}

TEST(CBeatDetect, AnchorsCountInTheFramingOfTheLastReset) {
  // Beats forced between the clicks: an anchor stands a window's worth of
  // frames (framelen / hop) after the frame it names, and that window is
  // the one the stream is cut with until the next reset, whatever the
  // setters said since.
  const auto signal = clicks(steadyTimes(120.0, 0.1, 6.0), 6.0);
  CBeatDetect plain(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  CBeatDetect changed(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  changed.setFramelen(8192);  // a window of 45 hops from the next reset on
  for (size_t i = 0; i + kHop <= signal.size(); i += kHop) {
    plain.addData(&signal[i], kHop);
    changed.addData(&signal[i], kHop);
  }
  plain.infer();
  std::list<int> free;
  plain.getBeatFrames(free, 1, 0);
  for (CBeatDetect* d : {&plain, &changed}) {
    for (int frame : {300, 421, 545, 667}) d->addAnchor(frame, 3);
    d->addNegativeAnchor(730, 3);
    d->infer();
  }
  std::list<int> a, b;
  plain.getBeatFrames(a, 1, 0);
  changed.getBeatFrames(b, 1, 0);
  EXPECT_NE(a, free) << "the anchors moved no beat";
  EXPECT_EQ(a, b);
}

}  // namespace
