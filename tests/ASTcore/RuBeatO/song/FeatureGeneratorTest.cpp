// The feature generator over a scripted engine: what the engine is fed, the
// bars taken from its reports (the last whole bar included), the feature
// rows, the progress it tells, and every way a run is refused or stopped.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "FeatureGenerator.h"
#include "MemorySource.h"
#include "RecordingListener.h"
#include "ScriptedEngine.h"
#include "ThrownMessage.h"

namespace {

struct GeneratorRun {
  MzMir::FeatureMatrix features;
  std::vector<double> barTimes;
  std::vector<std::int32_t> barTatums;
};

std::shared_ptr<ScriptedEngine> engineFor(MzMir::FeatureGenerator& g) {
  auto engine = std::make_shared<ScriptedEngine>();
  g.setEngineFactory([engine] { return engine; });
  return engine;
}

// Four bars of one tone, then four of another, 2 s per bar.
MemorySource twoTones() {
  TestAudio::Stereo16 s = TestAudio::sine(8.0, 330.0, 0.3);
  const TestAudio::Stereo16 b = TestAudio::sine(8.0, 523.25, 0.3);
  s.insert(s.end(), b.begin(), b.end());
  return MemorySource::fromStereo16(s);
}

}  // namespace

TEST(FeatureGenerator, FeedsTheEngineMonoBlocksAndTakesWholeBarsUpToTheLastBarLine) {
  // 3 s of stereo with different channels, plus a partial block.
  std::vector<float> frames;
  for (int i = 0; i < 3 * 44100 + 100; ++i) {
    frames.push_back(0.25f);
    frames.push_back(static_cast<float>(i % 7) * 0.1f);
  }
  MemorySource source(frames, 2);
  MzMir::FeatureGenerator g(1024, 8192);
  auto engine = engineFor(g);
  engine->period = 11025;  // tatums every quarter second, bars of one second
  GeneratorRun r;
  g.setNdim(2).generate(r.features, r.barTimes, r.barTatums, source, 3, 0, -1, 2);

  EXPECT_EQ(engine->initBeatsPerBar, 3);
  EXPECT_EQ(engine->blockSize, 180);
  EXPECT_EQ(engine->meterArgs, (std::vector<int>{0, -1, 2}));
  ASSERT_EQ(engine->received.size(), (3u * 44100 + 100) / 180 * 180);
  for (std::size_t i = 0; i < engine->received.size(); i += 997)
    EXPECT_FLOAT_EQ(engine->received[i], (0.25f + static_cast<float>(i % 7) * 0.1f) * 0.5f);

  // Bar lines at tatums 0, 4 and 8 close two whole bars; the end time is
  // the end of the last whole block.
  EXPECT_EQ(r.barTatums, (std::vector<std::int32_t>{0, 4}));
  ASSERT_EQ(r.barTimes.size(), 3u);
  EXPECT_DOUBLE_EQ(r.barTimes[0], 0.0);
  EXPECT_DOUBLE_EQ(r.barTimes[1], 1.0);
  EXPECT_FLOAT_EQ(static_cast<float>(r.barTimes[2]), static_cast<float>(engine->received.size()) / 44100.0f);
  EXPECT_EQ(r.features.rows(), 2);
  EXPECT_EQ(r.features.cols(), 2);
  EXPECT_EQ(g.beatTimes.size(), 12u);
  EXPECT_FLOAT_EQ(g.beatTimes[4], 1.0f);
}

TEST(FeatureGenerator, BarsOfTheSameSoundGetCloseRowsAndAMonoSourceIsNotMixed) {
  MemorySource stereo = twoTones();
  MzMir::FeatureGenerator g(1024, 8192);
  auto engine = engineFor(g);
  GeneratorRun r;
  g.setNdim(3).generate(r.features, r.barTimes, r.barTatums, stereo, 4, 0, -1, 2);
  ASSERT_EQ(r.features.rows(), 7);  // the bar line at 16 s has no tatum after it
  const auto distance = [&](int a, int b) { return (r.features.row(a) - r.features.row(b)).norm(); };
  // Bar 0 starts on zeros ahead of the audio; bars 1 to 3 and 4 to 6 are
  // the two tones.
  for (int a : {1, 2, 3})
    for (int b : {4, 5, 6}) EXPECT_LT(3.0 * distance(1, 2), distance(a, b)) << a << " " << b;
  for (Eigen::Index c = 0; c < r.features.cols(); ++c) EXPECT_NEAR(r.features.col(c).mean(), 0.0, 1e-9);

  const TestAudio::Stereo16 tone = TestAudio::sine(4.0, 330.0, 0.3);
  MemorySource mono = MemorySource::monoFromStereo16(tone);
  MzMir::FeatureGenerator m(1024, 8192);
  auto monoEngine = engineFor(m);
  GeneratorRun rm;
  m.generate(rm.features, rm.barTimes, rm.barTatums, mono, 4, 0, -1, 2);
  ASSERT_GE(monoEngine->received.size(), 1000u);
  for (std::size_t i = 0; i < 1000; ++i) EXPECT_FLOAT_EQ(monoEngine->received[i], tone[2 * i] / 32768.0f);
}

TEST(FeatureGenerator, WithoutBarLinesThereAreNoRowsAndOnlyTheEndTime) {
  MemorySource source = MemorySource::fromStereo16(TestAudio::sine(3.0, 440.0));
  MzMir::FeatureGenerator g(1024, 8192);
  auto engine = engineFor(g);
  engine->firstBar = 1000;
  GeneratorRun r;
  g.generate(r.features, r.barTimes, r.barTatums, source, -1, 0, -1, -1);
  EXPECT_EQ(r.features.rows(), 0);
  EXPECT_TRUE(r.barTatums.empty());
  ASSERT_EQ(r.barTimes.size(), 1u);
  EXPECT_NEAR(r.barTimes[0], 3.0, 180 / 44100.0);
  EXPECT_FALSE(g.beatTimes.empty());
}

TEST(FeatureGenerator, ProgressRisesThroughBothStagesAndAnAbortStopsAtTheFirstBlock) {
  MemorySource source = MemorySource::fromStereo16(TestAudio::sine(4.0, 440.0));
  RecordingListener listener;
  MzMir::FeatureGenerator g(1024, 8192);
  engineFor(g);
  GeneratorRun r;
  g.setProgress(&listener).generate(r.features, r.barTimes, r.barTatums, source, 4, 0, -1, 2);
  ASSERT_FALSE(listener.progressValues.empty());
  EXPECT_EQ(listener.progressValues.front(), 1);
  EXPECT_GE(listener.progressValues.back(), 45);
  EXPECT_LE(listener.progressValues.back(), 50);
  for (std::size_t i = 1; i < listener.progressValues.size(); ++i)
    EXPECT_GT(listener.progressValues[i], listener.progressValues[i - 1]);
  EXPECT_NE(std::find(listener.progressValues.begin(), listener.progressValues.end(), 25),
            listener.progressValues.end());

  RecordingListener stopper;
  stopper.abort = 1;
  MzMir::FeatureGenerator h(1024, 8192);
  auto engine = engineFor(h);
  MemorySource again = MemorySource::fromStereo16(TestAudio::sine(4.0, 440.0));
  EXPECT_EQ(thrownMessage(
                [&] { h.setProgress(&stopper).generate(r.features, r.barTimes, r.barTatums, again, 4, 0, -1, 2); }),
            "Aborted");
  EXPECT_EQ(engine->received.size(), 180u);
}

TEST(FeatureGenerator, RefusesEnginesThatFailAndSourcesItCannotRead) {
  const auto attempt = [](const std::function<void(ScriptedEngine&)>& setUp, std::uint32_t channels = 2) {
    MemorySource source(std::vector<float>(channels * 44100 * 2, 0.1f), channels);
    MzMir::FeatureGenerator g(1024, 8192);
    auto engine = engineFor(g);
    setUp(*engine);
    GeneratorRun r;
    return thrownMessage([&] { g.generate(r.features, r.barTimes, r.barTatums, source, 4, 0, -1, 2); });
  };
  EXPECT_EQ(attempt([](ScriptedEngine& e) { e.initResult = 6; }), "KELO Cannot be initialized");
  EXPECT_EQ(attempt([](ScriptedEngine& e) { e.meterResult = 6; }), "KELO Cannot be initialized");
  EXPECT_EQ(attempt([](ScriptedEngine& e) { e.finishResult = 5; }), "Cannot load KELO");
  EXPECT_EQ(attempt([](ScriptedEngine& e) { e.denominator = 2; }), "Unsupported meter");
  EXPECT_EQ(attempt([](ScriptedEngine&) {}, 3), "Unsupported number of channels");

  MemorySource source = MemorySource::fromStereo16(TestAudio::sine(1.0, 440.0));
  MzMir::FeatureGenerator none(1024, 8192);
  none.setEngineFactory([] { return std::shared_ptr<kelo::IKelo>(); });
  GeneratorRun r;
  EXPECT_EQ(thrownMessage([&] { none.generate(r.features, r.barTimes, r.barTatums, source, 4, 0, -1, 2); }),
            "KELO Cannot be initialized");

  EXPECT_EQ(thrownMessage([] { MzMir::FeatureGenerator(0, 8192); }), "hopsize must be positive");
  EXPECT_EQ(thrownMessage([] { MzMir::FeatureGenerator(1024, 0); }), "framelen must be positive");
  EXPECT_EQ(thrownMessage([] { MzMir::FeatureGenerator(1024, 8192).setNdim(0); }), "ndim must be positive");
}

TEST(FeatureGenerator, BeatsInLeadingAndTrailingSilenceAreDroppedAndTheSoundingBarsNamed) {
  // 4 s of digital silence, 8 s of a tone, 4 s of silence; the engine keeps
  // its tatums (every half second) and bar lines (every 2 s) running
  // through the silences, as a beat tracker does.
  TestAudio::Stereo16 s(static_cast<std::size_t>(2 * 4 * 44100), 0);
  const TestAudio::Stereo16 tone = TestAudio::sine(8.0, 330.0, 0.3);
  s.insert(s.end(), tone.begin(), tone.end());
  s.insert(s.end(), static_cast<std::size_t>(2 * 4 * 44100), 0);
  MemorySource source = MemorySource::fromStereo16(s);
  MzMir::FeatureGenerator g(1024, 8192);
  auto engine = engineFor(g);
  GeneratorRun r;
  g.setNdim(2).generate(r.features, r.barTimes, r.barTatums, source, 4, 0, -1, 2);

  // Every reported bar (0 to 14 s) keeps its row; those from 4 to 12 s hold
  // the tone.
  ASSERT_EQ(r.barTimes.size(), 8u);
  EXPECT_EQ(r.features.rows(), 7);
  EXPECT_EQ(g.soundingBars.first, 2u);
  EXPECT_EQ(g.soundingBars.end, 6u);
  ASSERT_FALSE(g.beatTimes.empty());
  EXPECT_FLOAT_EQ(g.beatTimes.front(), 4.0f);
  EXPECT_FLOAT_EQ(g.beatTimes.back(), 12.0f);  // closes the last sounding bar
  EXPECT_EQ(g.beatTimes.size(), 17u);
}

TEST(FeatureGenerator, SeveralGridPointsInOneHopStillCloseACellEachAndKeepEveryBar) {
  // Hops of 8192 frames (0.19 s) are longer than the sixteenth notes of
  // bars of 2 s (0.125 s): some hops hold two grid points. Every grid point
  // must still close a cell, or the bars after the first such hop would be
  // lost.
  MemorySource stereo = twoTones();
  MzMir::FeatureGenerator g(8192, 8192);
  auto engine = engineFor(g);
  GeneratorRun r;
  g.setNdim(3).generate(r.features, r.barTimes, r.barTatums, stereo, 4, 0, -1, 2);
  ASSERT_EQ(r.barTimes.size(), 8u);
  ASSERT_EQ(r.features.rows(), 7);
  const auto distance = [&](int a, int b) { return (r.features.row(a) - r.features.row(b)).norm(); };
  for (int a : {1, 2, 3})
    for (int b : {4, 5, 6}) EXPECT_LT(2.0 * distance(1, 2), distance(a, b)) << a << " " << b;
}
