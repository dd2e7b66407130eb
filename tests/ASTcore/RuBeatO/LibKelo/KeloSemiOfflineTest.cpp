// The semi-offline front end over a scripted offline engine: re-blocking
// into 180-sample blocks, the partial-decode schedule, relaying of reports
// with the front end's own user pointers, and the single end report.

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include <boost/make_shared.hpp>

#include "KeloOffline.h"
#include "KeloSemiOffline.h"

namespace {

using kelo::KeloOffline;
using kelo::KeloSemiOffline;

// Records what the front end asks of it; its partial decodes and finish
// report one chord each through the wired callbacks.
class ScriptedEngine : public KeloOffline {
 public:
  int initResult = 0;
  std::vector<float> samples;
  std::vector<int> partialDecodesAtBlock;
  int blocks = 0;
  int finishes = 0;
  int segmentsStarted = 0;
  int generatorResets = 0;
  std::vector<int> meter;

  int init(int, std::string, int, int, double) override { return initResult; }
  int setMeter(int level, int phase, int code) override {
    meter = {level, phase, code};
    return 0;
  }
  int process(const float* s, int count) override {
    samples.insert(samples.end(), s, s + count);
    ++blocks;
    return 0;
  }
  int finish() override {
    ++finishes;
    reportChord(kelo::t_chord{finishes, 7, 0, 7, 0});
    reportDoneAnalysis();
    return 0;
  }
  void partialDecode() override {
    partialDecodesAtBlock.push_back(blocks);
    reportTatum(kelo::t_tatum{blocks * 180, blocks});
    reportDoneAnalysis();
  }
  void startSegment() override { ++segmentsStarted; }
  void resetFeatureGenerator() override { ++generatorResets; }
};

class ScriptedFrontEnd : public KeloSemiOffline {
 public:
  mutable boost::shared_ptr<ScriptedEngine> last;
  int nextInitResult = 0;

  ScriptedEngine& inner() const { return *last; }

 protected:
  boost::shared_ptr<KeloOffline> createEngine() const override {
    last = boost::make_shared<ScriptedEngine>();
    last->initResult = nextInitResult;
    return last;
  }
};

struct Seen {
  std::vector<kelo::t_chord> chords;
  std::vector<kelo::t_tatum> tatums;
  std::vector<int> done;
  std::vector<void*> users;
};

int onChord(kelo::t_chord c, double value, void* user) {
  static_cast<Seen*>(user)->chords.push_back(c);
  static_cast<Seen*>(user)->users.push_back(user);
  EXPECT_EQ(value, 1.0);
  return 0;
}
int onTatum(kelo::t_tatum t, void* user) {
  static_cast<Seen*>(user)->tatums.push_back(t);
  return 0;
}
int onDone(int status, void* user) {
  static_cast<Seen*>(user)->done.push_back(status);
  return 0;
}

std::vector<float> ramp(int n, float from = 0.0f) {
  std::vector<float> v(static_cast<std::size_t>(n));
  std::iota(v.begin(), v.end(), from);
  return v;
}

TEST(KeloSemiOffline, NothingWorksBeforeASuccessfulInit) {
  ScriptedFrontEnd f;
  const auto x = ramp(400);
  EXPECT_EQ(f.process(x.data(), 400), kelo::KeloNotInitialised);
  EXPECT_EQ(f.setMeter(0, -1, 2), kelo::KeloNotInitialised);
  EXPECT_EQ(f.finish(), kelo::KeloNotInitialised);
  f.nextInitResult = 1;
  EXPECT_EQ(f.init(0, "", 180, -1, 0.0), 1);
  EXPECT_FALSE(f.initialised());
  EXPECT_EQ(f.process(x.data(), 400), kelo::KeloNotInitialised);
  EXPECT_TRUE(f.inner().samples.empty());
}

TEST(KeloSemiOffline, SamplesAreReblockedIntoWholeBlocksInStreamOrder) {
  ScriptedFrontEnd f;
  ASSERT_EQ(f.init(0, "", 180, -1, 0.0), 0);
  EXPECT_EQ(f.inner().meter, (std::vector<int>{}));  // the front end's own setMeter came before
  const auto x = ramp(1000);
  EXPECT_EQ(f.process(x.data(), 0), 0);
  EXPECT_EQ(f.remainderCount(), 0);
  EXPECT_EQ(f.process(nullptr, 5), kelo::KeloInvalidParameter);

  // Three calls of 100: 100 kept, then a block of 180 with 20 kept, then 120.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.process(x.data() + 100 * i, 100), 0);
  EXPECT_EQ(f.blocksFed(), 1);
  EXPECT_EQ(f.remainderCount(), 120);
  EXPECT_EQ(f.samplesSinceDecode(), 0) << "a completed pending block does not count";
  // 420 more: completes the pending block (60), then two whole blocks.
  EXPECT_EQ(f.process(x.data() + 300, 420), 0);
  EXPECT_EQ(f.blocksFed(), 4);
  EXPECT_EQ(f.remainderCount(), 0);
  EXPECT_EQ(f.samplesSinceDecode(), 360);
  EXPECT_EQ(f.inner().samples, std::vector<float>(x.begin(), x.begin() + 720));
  EXPECT_EQ(f.inner().blocks, 4);

  // A short tail never reaches the engine.
  EXPECT_EQ(f.process(x.data() + 720, 100), 0);
  EXPECT_EQ(f.finish(), 0);
  EXPECT_EQ(f.inner().samples.size(), 720u);
}

TEST(KeloSemiOffline, PartialDecodesRunOnTheFirstThirdBlockPastTheLag) {
  EXPECT_EQ(KeloSemiOffline().lag(), 22050);
  ScriptedFrontEnd f;
  for (int x : {0, 2}) {
    f.setLag(x);
    EXPECT_EQ(f.lag(), 3000);
  }
  f.setLag(15);
  EXPECT_EQ(f.lag(), 28255);
  f.setLag(0);
  ASSERT_EQ(f.init(0, "", 180, -1, 0.0), 0);
  const auto block = ramp(180);
  for (int i = 0; i < 9100; ++i) f.process(block.data(), 180);
  // More than 3000 x 180 samples after block 3001; block 3003 is the first
  // multiple of three.
  EXPECT_EQ(f.inner().partialDecodesAtBlock, (std::vector<int>{3003, 6006, 9009}));
  EXPECT_EQ(f.samplesSinceDecode(), (9100 - 9009) * 180);

  // With the default lag and blocks fed in larger calls.
  ScriptedFrontEnd g;
  ASSERT_EQ(g.init(0, "", 180, -1, 0.0), 0);
  const auto big = ramp(180 * 7);
  for (int i = 0; i < 3200; ++i) g.process(big.data(), 180 * 7);
  EXPECT_EQ(g.inner().partialDecodesAtBlock, (std::vector<int>{22053}));
}

TEST(KeloSemiOffline, ReportsAreRelayedAndTheEndIsReportedOncePerFinish) {
  ScriptedFrontEnd f;
  Seen seen;
  f.onChord = &onChord;
  f.onTatum = &onTatum;
  f.onDoneAnalysis = &onDone;
  f.userChord = f.userTatum = f.userDoneAnalysis = &seen;
  f.setLag(0);
  ASSERT_EQ(f.init(0, "", 180, -1, 0.0), 0);
  EXPECT_EQ(f.finish(), 0) << "finish right after init";
  EXPECT_EQ(seen.done, (std::vector<int>{0}));

  const auto block = ramp(180);
  for (int i = 0; i < 3003; ++i) f.process(block.data(), 180);
  ASSERT_EQ(seen.tatums.size(), 1u) << "the partial decode's report";
  EXPECT_EQ(seen.tatums[0].index, 3003);
  EXPECT_EQ(seen.done.size(), 1u) << "no end report at a partial decode";
  EXPECT_EQ(f.finish(), 0);
  EXPECT_EQ(seen.done, (std::vector<int>{0, 0}));
  ASSERT_EQ(seen.chords.size(), 2u);
  EXPECT_EQ(seen.chords[1].tatum, 2);
  EXPECT_EQ(seen.users, (std::vector<void*>{&seen, &seen}));

  // reset: a new segment with the beat count from 0; counters of the front end stay.
  const int fed = f.blocksFed();
  f.reset();
  EXPECT_EQ(f.inner().segmentsStarted, 1);
  EXPECT_EQ(f.inner().generatorResets, 1);
  EXPECT_EQ(f.samplesSinceDecode(), 0);
  EXPECT_EQ(f.blocksFed(), fed);

  // A later init replaces the engine; setMeter reaches the new one.
  ASSERT_EQ(f.init(0, "", 180, -1, 0.0), 0);
  EXPECT_EQ(f.inner().meter, (std::vector<int>{0, -1, -1}));
  EXPECT_EQ(f.setMeter(1, 0, 3), 0);
  EXPECT_EQ(f.inner().meter, (std::vector<int>{1, 0, 3}));
}

}  // namespace
