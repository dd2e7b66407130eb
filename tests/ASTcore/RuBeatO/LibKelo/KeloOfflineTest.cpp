// The offline engine's settings, model loading and failures, its choice
// among pulse-grouping hypotheses, and the reports it forms from decoded
// frames of the built-in model (key, bar lines, tatum positions, chords),
// and each step of those reports on its own.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "KeloHmm.h"
#include "KeloOffline.h"
#include "KeloReports.h"
#include "TempDir.h"

namespace {

using kelo::KeloOffline;

TEST(KeloOffline, SetMeterTakesTheLevelsAndTheCodesOfCallersAndOfTheEstimator) {
  KeloOffline e;
  struct Case {
    int level, phase, code, want;
  };
  const Case cases[] = {{0, -1, -1, 0}, {-1, 2, 2, 0}, {1, 0, 3, 0}, {0, -1, 1, 0},
                        {2, -1, 2, 6},  {-2, -1, 2, 6}, {0, -1, 0, 6}, {0, -1, 4, 6}};
  for (const Case& c : cases) EXPECT_EQ(e.setMeter(c.level, c.phase, c.code), c.want) << c.level << " " << c.code;
  EXPECT_EQ(e.meterCode(), 1) << "refused settings are not stored";
}

TEST(KeloOffline, AFailedModelLoadIsReportedByInitAndByFinish) {
  KeloOffline e;
  EXPECT_EQ(e.finish(), kelo::KeloNotInitialised);
  EXPECT_EQ(e.init(0, "", 180, 0, 0.0), kelo::KeloInvalidParameter);

  const int status = e.init(0, TestEnv::tempPath("no-model").toStdString(), 180, 4, 0.0);
  EXPECT_NE(status, 0);
  std::vector<float> silence(180 * 50, 0.0f);
  EXPECT_EQ(e.process(silence.data(), static_cast<int>(silence.size())), 0);
  EXPECT_EQ(e.finish(), status) << "no analysis without a model";
  EXPECT_NO_THROW(e.partialDecode());

  EXPECT_EQ(e.init(0, "", 180, 4, 0.0), 0);
  ASSERT_TRUE(e.model());
  EXPECT_EQ(e.model()->beatCount(), 4u);
  // Bars the model has no tables for are mapped, not refused.
  EXPECT_EQ(e.init(0, "", 180, 6, 0.0), 0);
  EXPECT_EQ(e.model()->beatCount(), 3u);
  EXPECT_EQ(e.init(0, "", 180, 5, 0.0), 0);
  EXPECT_EQ(e.model()->beatCount(), 4u);
}

TEST(KeloOffline, ANotANumberOrEmptyHypothesisNeverWins) {
  std::array<KeloOffline::Hypothesis, KeloOffline::kMaxHypotheses> h{};
  for (auto& x : h) x.frames = 10;
  h[0].score = std::numeric_limits<double>::quiet_NaN();
  h[1].score = -3.0;
  h[2].score = -2.0;
  h[3].score = -2.0;
  EXPECT_EQ(KeloOffline::bestHypothesis(h, {0, 1, 2, 3}), 2) << "ties go to the lower index";
  h[2].frames = 0;
  EXPECT_EQ(KeloOffline::bestHypothesis(h, {0, 1, 2}), 1);
  h[1].score = -std::numeric_limits<double>::infinity();
  EXPECT_EQ(KeloOffline::bestHypothesis(h, {0, 1, 2}), 0) << "nothing usable: the first";
  EXPECT_EQ(KeloOffline::bestHypothesis(h, {3, 1}), 3);
}

// Built-in classes: 3 MIN, 5 MAJ.
constexpr std::uint32_t kMin = 3, kMaj = 5;

struct FrameSpec {
  std::uint32_t root, cls, mode, beat, tonic;
  int bass;
  float time, treble;
};

KeloOffline::Hypothesis decoded(const kelo::KeloHmm& m, const std::vector<FrameSpec>& frames) {
  KeloOffline::Hypothesis h;
  for (const FrameSpec& f : frames) {
    h.states.push_back(static_cast<std::int32_t>(m.stateIndex(f.root, f.cls, f.mode, f.beat, f.tonic)));
    h.basses.push_back(f.bass);
    h.times.push_back(f.time);
    h.trebleSums.push_back(f.treble);
  }
  h.frames = static_cast<std::int32_t>(frames.size());
  return h;
}

TEST(KeloOffline, DecodedFramesBecomeTatumsBeatsKeysBarLinesAndChords) {
  KeloOffline e;
  ASSERT_EQ(e.init(0, "", 180, 4, 0.0), 0);
  ASSERT_EQ(e.setMeter(0, -1, 2), 0);
  KeloReports s;
  s.listenTo(e);
  const kelo::KeloHmm& m = *e.model();

  e.emitReports(KeloOffline::Hypothesis{}, false);
  EXPECT_EQ(s.done, 1);
  EXPECT_TRUE(s.tatums.empty() && s.chords.empty() && s.keys.empty());

  // The meter code 2 with 4 beats reports 4/4 bars.
  e.emitReports(decoded(m, {{7, kMaj, 0, 0, 7, 7, 0.0000226f, 3.0f},
                            {7, kMaj, 0, 1, 7, 7, 0.5f, 3.0f},
                            {0, kMaj, 0, 2, 7, 0, 1.0f, 3.0f},
                            {4, kMin, 0, 3, 7, 4, 1.5f, 3.0f},
                            {11, kMin, 1, 0, 4, 11, 2.0f, 3.0f}}),
                true);
  EXPECT_EQ(s.done, 2);
  ASSERT_EQ(s.tatums.size(), 5u);
  EXPECT_EQ(s.tatums[0].samplePosition, 0) << "0.9966 samples truncate to 0";
  EXPECT_EQ(s.tatums[1].samplePosition, 22050);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(s.tatums[i].index, i);
    EXPECT_EQ(s.beats[i].tatum, i);
    EXPECT_EQ(s.beats[i].tatumAgain, i);
  }
  ASSERT_EQ(s.keys.size(), 2u);
  EXPECT_EQ(s.keys[0].tatum, 0);
  EXPECT_EQ(s.keys[0].tonic, 7);
  EXPECT_EQ(s.keys[1].tatum, 4);
  EXPECT_EQ(s.keys[1].mode, 1);
  ASSERT_EQ(s.bars.size(), 2u);
  EXPECT_EQ(s.bars[0].tatum, 0);
  EXPECT_EQ(s.bars[0].barNumber, 0);
  EXPECT_EQ(s.bars[1].tatum, 4);
  EXPECT_EQ(s.bars[1].barNumber, 1);
  EXPECT_EQ(s.bars[1].numerator, 4);
  EXPECT_EQ(s.bars[1].denominator, 4);
  // G at once, C and E minor one frame late, B minor at the end of the
  // recording.
  ASSERT_EQ(s.chords.size(), 4u);
  EXPECT_EQ(s.chords[0].tatum, 0);
  EXPECT_EQ(s.chords[0].chordType, 0);
  EXPECT_EQ(s.chords[1].tatum, 2);
  EXPECT_EQ(s.chords[1].root, 0);
  EXPECT_EQ(s.chords[2].tatum, 3);
  EXPECT_EQ(s.chords[2].root, 4);
  EXPECT_EQ(s.chords[2].chordType, 8);
  EXPECT_EQ(s.chords[3].tatum, 4);
  EXPECT_EQ(s.chords[3].root, 11);

  // The next segment continues the counters. A change is reported when the
  // frame releasing it sounds: above a treble sum of 1.5 in a loud segment
  // (A minor, released at exactly 1.5, is not), above a quarter of the
  // segment's median in a quiet one.
  e.emitReports(decoded(m, {{9, kMin, 1, 1, 4, 9, 0.0f, 8.0f},
                            {9, kMin, 1, 2, 4, 9, 0.5f, 1.5f},
                            {2, kMaj, 1, 0, 4, 2, 1.0f, 8.0f},
                            {2, kMaj, 1, 1, 4, 2, 1.5f, 8.0f}}),
                false);
  EXPECT_EQ(s.tatums.back().index, 8);
  EXPECT_EQ(s.bars.back().barNumber, 2);
  EXPECT_EQ(s.bars.back().tatum, 7);
  ASSERT_EQ(s.chords.size(), 5u) << "A minor was released by a quiet frame";
  EXPECT_EQ(s.chords[4].root, 2);

  e.emitReports(decoded(m, {{7, kMaj, 1, 2, 4, 7, 0.0f, 0.3f},
                            {7, kMaj, 1, 3, 4, 7, 0.5f, 0.3f},
                            {7, kMaj, 1, 0, 4, 7, 1.0f, 0.05f}}),
                false);
  ASSERT_EQ(s.chords.size(), 6u) << "G in a quiet recording";
  EXPECT_EQ(s.chords[5].tatum, 9);
  e.emitReports(decoded(m, {{0, kMaj, 1, 1, 4, 0, 0.0f, 0.3f},
                            {0, kMaj, 1, 2, 4, 0, 0.5f, 0.05f},
                            {0, kMaj, 1, 3, 4, 0, 1.0f, 0.3f}}),
                false);
  EXPECT_EQ(s.chords.size(), 6u) << "C released in near silence";
}

// The engine with the built-in model and every report into `s`.
void wireReports(KeloOffline& e, KeloReports& s) {
  ASSERT_EQ(e.init(0, "", 180, 4, 0.0), 0);
  s.listenTo(e);
}

using Frame = KeloOffline::Frame;

TEST(KeloOfflineReportSteps, TatumsTruncateTheirSamplePositionAndBeatsCarryTheirIndex) {
  KeloOffline e;
  KeloReports s;
  wireReports(e, s);
  e.emitTatum(3, 0.0000226f);  // 0.9966 samples
  e.emitTatum(4, 1.5f);
  e.emitBeat(4);
  ASSERT_EQ(s.tatums.size(), 2u);
  EXPECT_EQ(s.tatums[0].samplePosition, 0);
  EXPECT_EQ(s.tatums[0].index, 3);
  EXPECT_EQ(s.tatums[1].samplePosition, 66150);
  ASSERT_EQ(s.beats.size(), 1u);
  EXPECT_EQ(s.beats[0].tatum, 4);
  EXPECT_EQ(s.beats[0].tatumAgain, 4);
}

TEST(KeloOfflineReportSteps, KeysOnAChangeOnlyAndBarLinesOnFirstBeatsNumberedOn) {
  KeloOffline e;
  KeloReports s;
  wireReports(e, s);
  const Frame first{0, 0, 1, 0, 9, 0, 4, 4};  // A minor, first beat
  e.emitKeyChange(0, first);  // the first frame after init always has a key
  e.emitBarline(0, first);
  e.setPreviousFrame(first);
  Frame second = first;
  second.beat = 1;
  e.emitKeyChange(1, second);
  e.emitBarline(1, second);
  Frame third = first;
  third.mode = 0;  // A major
  e.emitKeyChange(2, third);
  e.emitBarline(2, third);

  ASSERT_EQ(s.keys.size(), 2u);
  EXPECT_EQ(s.keys[0].tatum, 0);
  EXPECT_EQ(s.keys[0].tonic, 9);
  EXPECT_EQ(s.keys[0].mode, 1);
  EXPECT_EQ(s.keys[1].tatum, 2);
  EXPECT_EQ(s.keys[1].mode, 0);
  ASSERT_EQ(s.bars.size(), 2u);
  EXPECT_EQ(s.bars[0].tatum, 0);
  EXPECT_EQ(s.bars[0].barNumber, 0);
  EXPECT_EQ(s.bars[1].tatum, 2);
  EXPECT_EQ(s.bars[1].barNumber, 1);
  EXPECT_EQ(e.barCounter(), 2);
}

TEST(KeloOfflineReportSteps, TheUnqueuedChordGoesOutAtOnceOnAChangeOfRootClassOrBass) {
  KeloOffline e;
  KeloReports s;
  wireReports(e, s);
  const Frame c{0, 0, 0, 0, 0, 0, 4, 4};  // root C, chord class 0, bass C
  e.emitChordUnqueued(0, c, false);  // not reportable
  EXPECT_TRUE(s.chords.empty());
  EXPECT_FALSE(e.chordEmitted());
  e.emitChordUnqueued(0, c, true);  // differs from the frame before init
  ASSERT_EQ(s.chords.size(), 1u);
  EXPECT_TRUE(e.chordEmitted());
  EXPECT_EQ(s.chords[0].tatum, 0);
  EXPECT_EQ(s.chords[0].root, 0);
  EXPECT_EQ(s.chords[0].bass, 0);
  EXPECT_EQ(s.chords[0].chordType, e.model()->chordTypeOf(0));

  e.setPreviousFrame(c);
  e.emitChordUnqueued(1, c, true);  // nothing changed
  EXPECT_EQ(s.chords.size(), 1u);
  Frame slash = c;
  slash.bass = 7;  // only the bass
  e.emitChordUnqueued(2, slash, true);
  Frame other = c;
  other.chordType = 1;  // another class, no merge with the one before
  e.emitChordUnqueued(3, other, true);
  ASSERT_EQ(s.chords.size(), 3u);
  EXPECT_EQ(s.chords[1].tatum, 2);
  EXPECT_EQ(s.chords[1].bass, 7);
  EXPECT_EQ(s.chords[2].tatum, 3);
  EXPECT_EQ(s.chords[2].chordType, e.model()->chordTypeOf(1));
}

}  // namespace
