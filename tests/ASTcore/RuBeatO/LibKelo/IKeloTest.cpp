// The engine interface seen from a client: each report reaches its own
// callback with its own user pointer and the value 1.0, null callbacks are
// skipped, and the meter table and setMeter's parameter sets. A scripted
// engine stands in for a real one and reports through the interface's
// delivery helpers.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "IKelo.h"

namespace {

using namespace kelo;

// What one receiver saw.
struct Log {
  std::vector<t_chord> chords;
  std::vector<t_barline> barlines;
  std::vector<t_tatum> tatums;
  std::vector<t_beat> beats;
  std::vector<t_keysig> keysigs;
  std::vector<int> done;
  std::vector<std::pair<int, std::vector<float>>> features;
  std::vector<double> values;

  std::size_t total() const {
    return chords.size() + barlines.size() + tatums.size() + beats.size() + keysigs.size() + done.size() +
           features.size();
  }
};

int logChord(t_chord c, double v, void* u) {
  static_cast<Log*>(u)->chords.push_back(c);
  static_cast<Log*>(u)->values.push_back(v);
  return 7;
}
int logBarline(t_barline b, double v, void* u) {
  static_cast<Log*>(u)->barlines.push_back(b);
  static_cast<Log*>(u)->values.push_back(v);
  return -3;
}
int logTatum(t_tatum t, void* u) {
  static_cast<Log*>(u)->tatums.push_back(t);
  return 1;
}
int logBeat(t_beat b, double v, void* u) {
  static_cast<Log*>(u)->beats.push_back(b);
  static_cast<Log*>(u)->values.push_back(v);
  return 0;
}
int logKeysig(t_keysig k, double v, void* u) {
  static_cast<Log*>(u)->keysigs.push_back(k);
  static_cast<Log*>(u)->values.push_back(v);
  return 0;
}
int logDone(int status, void* u) {
  static_cast<Log*>(u)->done.push_back(status);
  return 0;
}
int logFeature(t_tatumFeature f, void* u) {
  // The floats are only valid now, so copy them.
  static_cast<Log*>(u)->features.emplace_back(f.tatum, std::vector<float>(f.values, f.values + f.count));
  return 0;
}

// A stand-in engine: finish() reports a fixed three-tatum script in the
// metre of its settings.
class ScriptedEngine : public IKelo {
 public:
  int init(int, std::string, int, int beatsPerBar, double) override {
    beatsPerBar_ = beatsPerBar;
    return KeloSuccess;
  }
  int setMeter(int, int, int meterCode) override {
    meterCode_ = meterCode;
    return KeloSuccess;
  }
  int finish() override {
    const TimeSignature sig = reportedTimeSignature(meterCode_, beatsPerBar_);
    for (std::int32_t i = 0; i < 3; ++i) {
      reportTatum({1000 * i, i});
      reportBeat({i, i});
      if (i == 0) reportKeysig({i, 9, 1});
      if (i % 2 == 0) reportBarline({i, i / 2, sig.numerator, sig.denominator});
      std::vector<float> row(4, static_cast<float>(i));
      reportTatumFeature({i, row.data(), static_cast<std::int32_t>(row.size())});
      reportChord({i, 9, 8 + i, 4, 0});
    }
    reportDoneAnalysis();
    return KeloSuccess;
  }
  int process(const float*, int) override { return KeloSuccess; }

 private:
  int meterCode_ = MeterNotGiven;
  int beatsPerBar_ = BeatsPerBarNotGiven;
};

void connectAll(IKelo& e, Log* log) {
  e.onChord = logChord;
  e.onBarline = logBarline;
  e.onTatum = logTatum;
  e.onBeat = logBeat;
  e.onKeysig = logKeysig;
  e.onDoneAnalysis = logDone;
  e.onTatumFeature = logFeature;
  e.userChord = e.userBarline = e.userTatum = e.userBeat = e.userKeysig =
      e.userDoneAnalysis = e.userTatumFeature = log;
}

TEST(IKelo, EachReportReachesItsOwnCallbackWithItsOwnUserPointerUnchanged) {
  ScriptedEngine e;
  e.init(0, "", 180, 3, 0.0);
  e.setMeter(0, -1, MeterSimple);
  Log chord, barline, tatum, beat, keysig, done, feature;
  e.onChord = logChord;
  e.userChord = &chord;
  e.onBarline = logBarline;
  e.userBarline = &barline;
  e.onTatum = logTatum;
  e.userTatum = &tatum;
  e.onBeat = logBeat;
  e.userBeat = &beat;
  e.onKeysig = logKeysig;
  e.userKeysig = &keysig;
  e.onDoneAnalysis = logDone;
  e.userDoneAnalysis = &done;
  e.onTatumFeature = logFeature;
  e.userTatumFeature = &feature;
  ASSERT_EQ(e.finish(), KeloSuccess);

  // Each receiver saw its own kind of report only.
  EXPECT_EQ(chord.total(), chord.chords.size());
  EXPECT_EQ(barline.total(), barline.barlines.size());
  EXPECT_EQ(tatum.total(), tatum.tatums.size());
  EXPECT_EQ(beat.total(), beat.beats.size());
  EXPECT_EQ(keysig.total(), keysig.keysigs.size());
  EXPECT_EQ(done.total(), done.done.size());
  EXPECT_EQ(feature.total(), feature.features.size());

  ASSERT_EQ(tatum.tatums.size(), 3u);
  EXPECT_EQ(tatum.tatums[2].samplePosition, 2000);
  EXPECT_EQ(tatum.tatums[2].index, 2);
  ASSERT_EQ(beat.beats.size(), 3u);
  EXPECT_EQ(beat.beats[1].tatumAgain, 1);
  ASSERT_EQ(barline.barlines.size(), 2u);
  EXPECT_EQ(barline.barlines[1].barNumber, 1);
  EXPECT_EQ(barline.barlines[1].numerator, 3);
  EXPECT_EQ(barline.barlines[1].denominator, 4);
  ASSERT_EQ(keysig.keysigs.size(), 1u);
  EXPECT_EQ(keysig.keysigs[0].tonic, 9);
  EXPECT_EQ(keysig.keysigs[0].mode, 1);
  ASSERT_EQ(chord.chords.size(), 3u);
  EXPECT_EQ(chord.chords[2].chordType, 10);
  EXPECT_EQ(chord.chords[2].bass, 4);
  EXPECT_EQ(done.done, std::vector<int>{0});
  ASSERT_EQ(feature.features.size(), 3u);
  EXPECT_EQ(feature.features[2].second, std::vector<float>(4, 2.0f));
  for (const Log* l : {&chord, &barline, &beat, &keysig})
    for (double v : l->values) EXPECT_EQ(v, 1.0);
}

TEST(IKelo, NullCallbacksAreSkippedWhileTheOthersStillReport) {
  ScriptedEngine e;
  Log log;
  connectAll(e, &log);
  e.onChord = nullptr;
  e.onBarline = nullptr;
  e.onTatumFeature = nullptr;
  ASSERT_EQ(e.finish(), KeloSuccess);
  EXPECT_TRUE(log.chords.empty());
  EXPECT_TRUE(log.barlines.empty());
  EXPECT_TRUE(log.features.empty());
  EXPECT_EQ(log.tatums.size(), 3u);
  EXPECT_EQ(log.beats.size(), 3u);
  EXPECT_EQ(log.keysigs.size(), 1u);
  EXPECT_EQ(log.done.size(), 1u);

  // With nothing connected at all, a run is silent and harmless.
  ScriptedEngine silent;
  EXPECT_EQ(silent.finish(), KeloSuccess);
}

TEST(IKelo, TimeSignatureFollowsTheMeterCode) {
  for (int bpb = 1; bpb <= 8; ++bpb) {
    const TimeSignature simple = reportedTimeSignature(MeterSimple, bpb);
    EXPECT_EQ(simple.numerator, bpb);
    EXPECT_EQ(simple.denominator, 4);
    const TimeSignature compound = reportedTimeSignature(MeterCompound, bpb);
    EXPECT_EQ(compound.numerator, bpb + bpb + bpb);
    EXPECT_EQ(compound.denominator, 8);
    // The estimate's 1, an unset code and anything else report 4/4.
    for (int code : {MeterNotGiven, 0, 1, 4, 99, -7}) {
      const TimeSignature other = reportedTimeSignature(code, bpb);
      EXPECT_EQ(other.numerator, 4) << code;
      EXPECT_EQ(other.denominator, 4) << code;
    }
  }
}

TEST(IKelo, CompoundNumeratorBeyond32BitsIsHeldAtTheLargestValue) {
  const std::int32_t big = std::numeric_limits<std::int32_t>::max() / 3 + 1;
  EXPECT_EQ(reportedTimeSignature(MeterCompound, big).numerator,
            std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(reportedTimeSignature(MeterCompound, big - 1).numerator,
            3 * (big - 1));
  EXPECT_EQ(reportedTimeSignature(MeterCompound, -big).numerator,
            std::numeric_limits<std::int32_t>::min());
}

TEST(IKelo, SetMeterAcceptsExactlyTheThreeLevelsAndThreeMeterCodes) {
  const std::set<int> levels = {-1, 0, 1};
  const std::set<int> codes = {-1, 2, 3};
  for (int v = -6; v <= 6; ++v) {
    EXPECT_EQ(isPulseLevel(v), levels.count(v) == 1) << v;
    EXPECT_EQ(isSettableMeterCode(v), codes.count(v) == 1) << v;
  }
  EXPECT_FALSE(isPulseLevel(std::numeric_limits<int>::min()));
  EXPECT_FALSE(isSettableMeterCode(std::numeric_limits<int>::max()));
}

}  // namespace
