// The engine interface seen from a client: callback fields and user pointers,
// delivery of each report with its own user pointer and the fixed value 1.0,
// skipped null callbacks, the record layouts, the meter table and the
// parameter sets of setMeter. A scripted engine stands in for a real one and
// reports through the interface's delivery helpers.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <type_traits>
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
  static_cast<Log*>(u)->features.emplace_back(
      f.tatum, std::vector<float>(f.values, f.values + f.count));
  return 0;
}

// A stand-in engine: settings follow the interface's rules, finish() reports
// a fixed three-tatum script, and the destructor raises a flag.
class ScriptedEngine : public IKelo {
 public:
  explicit ScriptedEngine(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  ~ScriptedEngine() override {
    if (destroyed_) *destroyed_ = true;
  }

  int init(int, std::string modelPath, int, int beatsPerBar, double) override {
    if (beatsPerBar == 0) return KeloInvalidParameter;
    modelPath_ = std::move(modelPath);
    beatsPerBar_ = beatsPerBar;
    return KeloSuccess;
  }
  int setMeter(int level, int phase, int meterCode) override {
    if (!isSettableMeterCode(meterCode) || !isPulseLevel(level))
      return KeloInvalidParameter;
    level_ = level;
    phase_ = phase;
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

  int level_ = 0;
  int phase_ = -1;
  int meterCode_ = MeterNotGiven;
  int beatsPerBar_ = BeatsPerBarNotGiven;
  std::string modelPath_;

 private:
  bool* destroyed_;
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

TEST(IKelo, FreshEngineHasEveryCallbackAndUserPointerNull) {
  ScriptedEngine e;
  EXPECT_EQ(e.onChord, nullptr);
  EXPECT_EQ(e.onBarline, nullptr);
  EXPECT_EQ(e.onTatum, nullptr);
  EXPECT_EQ(e.onBeat, nullptr);
  EXPECT_EQ(e.onKeysig, nullptr);
  EXPECT_EQ(e.onDoneAnalysis, nullptr);
  EXPECT_EQ(e.onTatumFeature, nullptr);
  EXPECT_EQ(e.userChord, nullptr);
  EXPECT_EQ(e.userBarline, nullptr);
  EXPECT_EQ(e.userTatum, nullptr);
  EXPECT_EQ(e.userBeat, nullptr);
  EXPECT_EQ(e.userKeysig, nullptr);
  EXPECT_EQ(e.userDoneAnalysis, nullptr);
  EXPECT_EQ(e.userTatumFeature, nullptr);
}

TEST(IKelo, CallbacksThenUserPointersLieAsFourteenConsecutivePointerFields) {
  ScriptedEngine e;
  const char* base = reinterpret_cast<const char*>(&e.onChord);
  auto slot = [&](const void* field) {
    return (static_cast<const char*>(field) - base) /
           static_cast<std::ptrdiff_t>(sizeof(void*));
  };
  const std::vector<const void*> fields = {
      &e.onChord,   &e.onBarline,        &e.onTatum,          &e.onBeat,
      &e.onKeysig,  &e.onDoneAnalysis,   &e.onTatumFeature,   &e.userChord,
      &e.userBarline, &e.userTatum,      &e.userBeat,         &e.userKeysig,
      &e.userDoneAnalysis, &e.userTatumFeature};
  for (std::size_t k = 0; k < fields.size(); ++k) {
    EXPECT_EQ(slot(fields[k]), static_cast<std::ptrdiff_t>(k)) << "field " << k;
  }
  EXPECT_EQ(sizeof(ChordCallback), sizeof(void*));
  EXPECT_EQ(sizeof(TatumFeatureCallback), sizeof(void*));
}

TEST(IKelo, EachReportReachesItsOwnCallbackWithItsOwnUserPointer) {
  ScriptedEngine e;
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

  EXPECT_EQ(chord.chords.size(), 3u);
  EXPECT_EQ(barline.barlines.size(), 2u);
  EXPECT_EQ(tatum.tatums.size(), 3u);
  EXPECT_EQ(beat.beats.size(), 3u);
  EXPECT_EQ(keysig.keysigs.size(), 1u);
  EXPECT_EQ(done.done.size(), 1u);
  EXPECT_EQ(feature.features.size(), 3u);
  // Nobody got another receiver's reports.
  for (const Log* l : {&barline, &tatum, &beat, &keysig, &done, &feature})
    EXPECT_TRUE(l->chords.empty());
  for (const Log* l : {&chord, &tatum, &beat, &keysig, &done, &feature})
    EXPECT_TRUE(l->barlines.empty());
  for (const Log* l : {&chord, &barline, &beat, &keysig, &done, &feature})
    EXPECT_TRUE(l->tatums.empty());
  for (const Log* l : {&chord, &barline, &tatum, &keysig, &done, &feature})
    EXPECT_TRUE(l->beats.empty());
  for (const Log* l : {&chord, &barline, &tatum, &beat, &done, &feature})
    EXPECT_TRUE(l->keysigs.empty());
  for (const Log* l : {&chord, &barline, &tatum, &beat, &keysig, &feature})
    EXPECT_TRUE(l->done.empty());
  for (const Log* l : {&chord, &barline, &tatum, &beat, &keysig, &done})
    EXPECT_TRUE(l->features.empty());
}

TEST(IKelo, ValueArgumentIsOneInEveryValueCarryingReport) {
  ScriptedEngine e;
  Log log;
  connectAll(e, &log);
  e.finish();
  // 3 chords + 2 bar lines + 3 beats + 1 key.
  ASSERT_EQ(log.values.size(), 9u);
  for (double v : log.values) EXPECT_EQ(v, 1.0);
}

TEST(IKelo, DoneAnalysisReportsStatusZero) {
  ScriptedEngine e;
  Log log;
  connectAll(e, &log);
  e.finish();
  ASSERT_EQ(log.done.size(), 1u);
  EXPECT_EQ(log.done[0], 0);
}

TEST(IKelo, RecordsArriveWithTheirFieldsInDeclaredOrder) {
  ScriptedEngine e;
  e.setMeter(0, -1, MeterSimple);
  e.init(0, "", 180, 3, 0.0);
  Log log;
  connectAll(e, &log);
  e.finish();
  ASSERT_EQ(log.tatums.size(), 3u);
  EXPECT_EQ(log.tatums[2].samplePosition, 2000);
  EXPECT_EQ(log.tatums[2].index, 2);
  ASSERT_EQ(log.beats.size(), 3u);
  EXPECT_EQ(log.beats[1].tatum, 1);
  EXPECT_EQ(log.beats[1].tatumAgain, 1);
  ASSERT_EQ(log.barlines.size(), 2u);
  EXPECT_EQ(log.barlines[1].tatum, 2);
  EXPECT_EQ(log.barlines[1].barNumber, 1);
  EXPECT_EQ(log.barlines[1].numerator, 3);
  EXPECT_EQ(log.barlines[1].denominator, 4);
  ASSERT_EQ(log.keysigs.size(), 1u);
  EXPECT_EQ(log.keysigs[0].tatum, 0);
  EXPECT_EQ(log.keysigs[0].tonic, 9);
  EXPECT_EQ(log.keysigs[0].mode, 1);
  ASSERT_EQ(log.chords.size(), 3u);
  EXPECT_EQ(log.chords[2].tatum, 2);
  EXPECT_EQ(log.chords[2].root, 9);
  EXPECT_EQ(log.chords[2].chordType, 10);
  EXPECT_EQ(log.chords[2].bass, 4);
  for (const t_chord& c : log.chords) EXPECT_EQ(c.reserved, 0);
}

TEST(IKelo, TatumFeatureFloatsAreReadableDuringTheCall) {
  ScriptedEngine e;
  Log log;
  connectAll(e, &log);
  e.finish();
  ASSERT_EQ(log.features.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(log.features[i].first, i);
    EXPECT_EQ(log.features[i].second, std::vector<float>(4, float(i)));
  }
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

TEST(IKelo, RecordsAreConsecutiveInt32FieldsOfTheStatedCounts) {
  EXPECT_TRUE(std::is_standard_layout<t_chord>::value);
  EXPECT_EQ(sizeof(t_tatum), 2 * sizeof(std::int32_t));
  EXPECT_EQ(sizeof(t_beat), 2 * sizeof(std::int32_t));
  EXPECT_EQ(sizeof(t_barline), 4 * sizeof(std::int32_t));
  EXPECT_EQ(sizeof(t_keysig), 3 * sizeof(std::int32_t));
  EXPECT_EQ(sizeof(t_chord), 5 * sizeof(std::int32_t));

  EXPECT_EQ(offsetof(t_tatum, samplePosition), 0u);
  EXPECT_EQ(offsetof(t_tatum, index), 4u);
  EXPECT_EQ(offsetof(t_beat, tatumAgain), 4u);
  EXPECT_EQ(offsetof(t_barline, tatum), 0u);
  EXPECT_EQ(offsetof(t_barline, barNumber), 4u);
  EXPECT_EQ(offsetof(t_barline, numerator), 8u);
  EXPECT_EQ(offsetof(t_barline, denominator), 12u);
  EXPECT_EQ(offsetof(t_keysig, tonic), 4u);
  EXPECT_EQ(offsetof(t_keysig, mode), 8u);
  EXPECT_EQ(offsetof(t_chord, root), 4u);
  EXPECT_EQ(offsetof(t_chord, chordType), 8u);
  EXPECT_EQ(offsetof(t_chord, bass), 12u);
  EXPECT_EQ(offsetof(t_chord, reserved), 16u);
  EXPECT_TRUE((std::is_same<decltype(t_chord::reserved), std::int32_t>::value));

  EXPECT_EQ(offsetof(t_tatumFeature, tatum), 0u);
  EXPECT_LT(offsetof(t_tatumFeature, tatum), offsetof(t_tatumFeature, values));
  EXPECT_LT(offsetof(t_tatumFeature, values), offsetof(t_tatumFeature, count));
  EXPECT_TRUE((std::is_same<decltype(t_tatumFeature::count), std::int32_t>::value));
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

TEST(IKelo, RejectedSetMeterStoresNothing) {
  ScriptedEngine e;
  ASSERT_EQ(e.setMeter(1, 2, MeterCompound), KeloSuccess);
  EXPECT_EQ(e.setMeter(0, 0, 1), KeloInvalidParameter);
  EXPECT_EQ(e.setMeter(2, 0, MeterSimple), KeloInvalidParameter);
  EXPECT_EQ(e.level_, 1);
  EXPECT_EQ(e.phase_, 2);
  EXPECT_EQ(e.meterCode_, MeterCompound);
}

TEST(IKelo, DriveThroughTheInterfaceReachesTheEngineAndDeletesIt) {
  bool destroyed = false;
  IKelo* engine = new ScriptedEngine(&destroyed);
  EXPECT_EQ(engine->init(0, std::string(), 180, 0, 0.0), KeloInvalidParameter);
  EXPECT_EQ(engine->init(0, "models", 180, BeatsPerBarNotGiven, 0.0), KeloSuccess);
  EXPECT_EQ(static_cast<ScriptedEngine*>(engine)->modelPath_, "models");
  const float block[180] = {};
  EXPECT_EQ(engine->process(block, 180), KeloSuccess);
  delete engine;
  EXPECT_TRUE(destroyed);
}

}  // namespace
