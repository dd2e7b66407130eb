// The song analyzer over a scripted chord/key engine and over the real one:
// the listener's calls in order, segments tiling the bars, repeatable runs,
// recordings without bars, the limits and refusals, and every way to stop.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "MemorySource.h"
#include "RecordingListener.h"
#include "ScriptedEngine.h"
#include "SongAnalyzer.h"
#include "SongAnalyzerImpl.h"
#include "ThrownMessage.h"

namespace {

std::shared_ptr<ScriptedEngine> scripted(SongAnalyzer& a, int period = 5513, int firstBar = 1) {
  auto engine = std::make_shared<ScriptedEngine>();
  engine->period = period;
  engine->firstBar = firstBar;
  a.setEngineFactory([engine] { return engine; });
  return engine;
}

// Parts of `barsPerPart` bars of half a second (tatums of 5513 samples,
// four to the bar), each a tone, or noise for a frequency of 0.
MemorySource song(const std::vector<double>& partTones, int barsPerPart) {
  TestAudio::Stereo16 s;
  for (double f : partTones) {
    const double seconds = 4 * 5513 / 44100.0 * barsPerPart;
    const TestAudio::Stereo16 part = f > 0 ? TestAudio::sine(seconds, f, 0.3) : TestAudio::noise(seconds, 0.2);
    s.insert(s.end(), part.begin(), part.end());
  }
  return MemorySource::fromStereo16(s);
}

std::vector<SongSegment> segmentsOf(const SongAnalyzer& a) {
  std::vector<SongSegment> s;
  a.getSegments(s);
  return s;
}

}  // namespace

TEST(SongAnalyzer, TheListenerHearsProgressEventsSegmentsAndDoneInOrder) {
  MemorySource source = song({220.0, 330.0}, 2);
  RecordingListener listener;
  SongAnalyzer analyzer;
  auto engine = scripted(analyzer);
  analyzer.setProgress(&listener).analyze(source);

  const std::vector<int>& p = listener.progressValues;
  ASSERT_GE(p.size(), 14u);
  EXPECT_EQ(p.front(), 0);
  // Reading, then 50 twice, one value per structure round, 100.
  const std::vector<int> tail = {50, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100};
  EXPECT_EQ(std::vector<int>(p.end() - static_cast<long>(tail.size()), p.end()), tail);
  for (std::size_t i = 1; i + tail.size() < p.size(); ++i) EXPECT_GT(p[i], p[i - 1]);
  EXPECT_EQ(listener.calls.back(), "done");
  EXPECT_EQ(listener.doneCalls, 1);

  // Every engine event before every segment; the segments as kept.
  std::size_t lastEvent = 0, firstSegment = listener.calls.size();
  for (std::size_t i = 0; i < listener.calls.size(); ++i) {
    const std::string& c = listener.calls[i];
    if (c == "tatum" || c == "beat" || c == "barline") lastEvent = i;
    if (c == "segment" && firstSegment == listener.calls.size()) firstSegment = i;
  }
  EXPECT_LT(lastEvent, firstSegment);
  const std::vector<SongSegment> segments = segmentsOf(analyzer);
  ASSERT_EQ(listener.segments.size(), segments.size());
  ASSERT_FALSE(segments.empty());
  EXPECT_EQ(listener.tatums.size(), analyzer.getBeats().size());
}

TEST(SongAnalyzer, SegmentsTileFromTheFirstBarLineToTheEndAndRecurringPartsShareALabel) {
  // Bar lines from the second tatum on: the first tatum is a pickup.
  MemorySource source = song({220.0, 330.0, 220.0}, 6);
  SongAnalyzer analyzer;
  scripted(analyzer);
  analyzer.analyze(source);
  const std::vector<SongSegment> s = segmentsOf(analyzer);
  ASSERT_GE(s.size(), 3u);
  EXPECT_FLOAT_EQ(s.front().start, 5513 / 44100.0f);
  EXPECT_EQ(s.front().barTatum, 1);
  EXPECT_NEAR(s.back().end, 9.0, 180 / 44100.0);
  for (std::size_t i = 1; i < s.size(); ++i) {
    EXPECT_EQ(s[i].start, s[i - 1].end);
    EXPECT_EQ((s[i].barTatum - 1) % 4, 0);
  }
  const auto labelAt = [&](double t) {
    for (const SongSegment& x : s)
      if (x.start <= t && t < x.end) return x.label;
    return -1;
  };
  EXPECT_EQ(labelAt(0.2), 0);
  EXPECT_EQ(labelAt(1.5), labelAt(7.5));
  EXPECT_NE(labelAt(1.5), labelAt(4.5));
}

TEST(SongAnalyzer, TwoRunsOfOneRecordingGiveTheSameSegments) {
  MemorySource source = song({220.0, 0.0, 330.0, 220.0}, 2);
  SongAnalyzer analyzer;
  scripted(analyzer);
  analyzer.analyze(source);
  const std::vector<SongSegment> first = segmentsOf(analyzer);
  // A fresh analyzer on a thread whose random sequence has moved on.
  std::vector<SongSegment> second;
  std::thread([&] {
    SongAnalyzer other;
    scripted(other);
    other.analyze(source);
    second = segmentsOf(other);
  }).join();
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].start, second[i].start);
    EXPECT_EQ(first[i].end, second[i].end);
    EXPECT_EQ(first[i].label, second[i].label);
  }
}

TEST(SongAnalyzer, WithoutBarLinesTheRunCompletesWithNoSegments) {
  MemorySource source = song({220.0}, 2);
  RecordingListener listener;
  SongAnalyzer analyzer;
  scripted(analyzer, 5513, 1000);
  analyzer.setProgress(&listener).analyze(source);
  EXPECT_TRUE(segmentsOf(analyzer).empty());
  EXPECT_TRUE(listener.segments.empty());
  EXPECT_EQ(listener.doneCalls, 1);
  EXPECT_EQ(listener.progressValues.back(), 100);
  EXPECT_FALSE(analyzer.getBeats().empty());
}

TEST(SongAnalyzer, SilenceAtBothEndsKeepsBeatsToTheMusicAndTheLastSegmentToTheEnd) {
  // 4 s of digital silence, 6 s of tones, 8 s of silence; the engine's bars
  // of half a second run through all of it, as a beat tracker's do.
  TestAudio::Stereo16 s(static_cast<std::size_t>(4.0 * 44100) * 2, 0);
  for (double f : {220.0, 330.0, 220.0}) {
    const TestAudio::Stereo16 part = TestAudio::sine(2.0, f, 0.3);
    s.insert(s.end(), part.begin(), part.end());
  }
  s.resize(s.size() + static_cast<std::size_t>(8.0 * 44100) * 2, 0);
  MemorySource source = MemorySource::fromStereo16(s);
  const double end = static_cast<double>(source.length()) / 44100.0;
  RecordingListener listener;
  SongAnalyzer analyzer;
  scripted(analyzer, 5513, 0);
  analyzer.setProgress(&listener).analyze(source);

  const std::vector<SongSegment> segments = segmentsOf(analyzer);
  ASSERT_FALSE(segments.empty());
  // The first segment opens on the first bar line that holds sound...
  EXPECT_GT(segments.front().start, 3.4);
  EXPECT_LT(segments.front().start, 4.1);
  EXPECT_EQ(segments.front().barTatum % 4, 0);
  // ...they tile without gaps, and the last one ends where the recording
  // does (to the last whole block the engine read), not where the music
  // stops.
  for (std::size_t i = 1; i < segments.size(); ++i) EXPECT_EQ(segments[i].start, segments[i - 1].end);
  EXPECT_NEAR(segments.back().end, end, 180 / 44100.0);
  EXPECT_GT(segments.back().end, 17.5);
  ASSERT_EQ(listener.segments.size(), segments.size());
  EXPECT_EQ(listener.segments.back().end, segments.back().end);
  // No beat ticks through either silence.
  const std::vector<float> beats = analyzer.getBeats();
  ASSERT_FALSE(beats.empty());
  EXPECT_GT(beats.front(), 3.4);
  EXPECT_LT(beats.back(), 10.6);
}

TEST(SongAnalyzer, AnAbortByteStopsTheRunInAnyStageAndKeepsTheLastResults) {
  MemorySource source = song({220.0, 0.0}, 4);
  SongAnalyzer analyzer;
  scripted(analyzer);
  analyzer.analyze(source);
  const std::vector<SongSegment> before = segmentsOf(analyzer);
  ASSERT_FALSE(before.empty());

  // Set before the run, during reading, and between structure rounds.
  for (int at : {-1, 10, 60}) {
    RecordingListener stopper;
    if (at < 0) stopper.abort = 1;
    stopper.onProgress = [&](int percent) {
      if (at >= 0 && percent >= at) std::thread([&] { stopper.abort = 1; }).join();
    };
    auto engine = scripted(analyzer);
    EXPECT_EQ(thrownMessage([&] { analyzer.setProgress(&stopper).analyze(source); }), "Aborted") << at;
    EXPECT_EQ(stopper.doneCalls, 0);
    EXPECT_TRUE(stopper.segments.empty());
    EXPECT_LE(stopper.progressValues.back(), at < 0 ? 1 : at + 5);
    if (at < 0) {
      EXPECT_EQ(engine->received.size(), 180u);
    }
    const std::vector<SongSegment> after = segmentsOf(analyzer);
    EXPECT_EQ(after.size(), before.size());
  }
}

TEST(SongAnalyzer, AbortFromAnotherThreadEndsTheRunWithoutResults) {
  MemorySource source = song({220.0, 0.0}, 4);
  RecordingListener listener;
  SongAnalyzer analyzer;
  scripted(analyzer);
  listener.onProgress = [&](int percent) {
    if (percent == 10) std::thread([&] { analyzer.abort(); }).join();
  };
  analyzer.setProgress(&listener).analyze(source);
  EXPECT_EQ(listener.doneCalls, 0);
  EXPECT_TRUE(segmentsOf(analyzer).empty());
  EXPECT_TRUE(analyzer.getBeats().empty());
  EXPECT_LT(listener.progressValues.back(), 25);
}

TEST(SongAnalyzer, RefusesSourcesItCannotAnalyseBeforeTheEngineHearsThem) {
  SongAnalyzer analyzer;
  auto engine = scripted(analyzer);
  SilentSource threeChannels(44100, 3);
  EXPECT_EQ(thrownMessage([&] { analyzer.analyze(threeChannels); }), "Unsupported number of channels");
  SilentSource none(44100, 0);
  EXPECT_EQ(thrownMessage([&] { analyzer.analyze(none); }), "Unsupported number of channels");
  EXPECT_TRUE(engine->received.empty());
  SilentSource noRate(44100, 2, 0.0f);
  EXPECT_THROW(analyzer.analyze(noRate), std::domain_error);

  // One hour is the limit; with the abort byte set, a source within it
  // stops at its first block instead.
  RecordingListener stopper;
  stopper.abort = 1;
  analyzer.setProgress(&stopper);
  SilentSource hourAndSecond(3600ull * 44100 + 44100, 2);
  EXPECT_EQ(thrownMessage([&] { analyzer.analyze(hourAndSecond); }), "Cannot analyze waveform this long");
  SilentSource hour(3600ull * 44100, 2);
  EXPECT_EQ(thrownMessage([&] { analyzer.analyze(hour); }), "Aborted");
  SilentSource hourAt48k(3600ull * 48000, 1, 48000.0f);
  EXPECT_EQ(thrownMessage([&] { analyzer.analyze(hourAt48k); }), "Aborted");
}

TEST(SongAnalyzer, TheChordEngineFindsTheBarsOfAClickTrack) {
  // 120 BPM with an accent every fourth click, 12 s: beats on clicks (the
  // engine may count every other one), bars in four.
  MemorySource source = MemorySource::fromStereo16(TestAudio::clickTrack(12.0, 0.5, 0.0, 4));
  RecordingListener listener;
  SongAnalyzer analyzer;
  analyzer.setProgress(&listener).analyze(source);
  const std::vector<float> beats = analyzer.getBeats();
  ASSERT_GE(beats.size(), 10u);
  int onClick = 0;
  for (float b : beats) onClick += std::abs(b / 0.5 - std::round(b / 0.5)) < 0.03 / 0.5;
  EXPECT_GE(onClick, static_cast<int>(beats.size()) * 9 / 10);
  ASSERT_GE(listener.barlines.size(), 2u);
  EXPECT_EQ(listener.barlines[0].denominator, 4);
  const std::vector<SongSegment> s = segmentsOf(analyzer);
  ASSERT_FALSE(s.empty());
  EXPECT_NEAR(s.back().end, 12.0, 0.01);
  EXPECT_EQ(listener.doneCalls, 1);
}

TEST(SongAnalyzerImpl, SetDefaultsWritesTheNumericAndMeterDefaultsAgainAndKeepsTheResults) {
  SongAnalyzerImpl impl;
  const StructureSettings defaults;
  impl.structure.numStates = 7;
  impl.structure.numMixtures = 2;
  impl.structure.observationPriors = {3.0, 4.0, 5.0};
  impl.structure.mixtureWeightPrior = 2.0;
  impl.structure.paramC = 0.5;
  impl.structure.paramD = 0.2;
  impl.featureDimension = 9;
  impl.meter = {3, 1, 0, 3};
  impl.beatTimes = {0.5f, 1.0f};
  impl.setDefaults();
  EXPECT_EQ(impl.structure.numStates, 20);
  EXPECT_EQ(impl.structure.maxDuration, 8);
  EXPECT_EQ(impl.structure.numMixtures, 5);
  EXPECT_EQ(impl.structure.observationPriors, defaults.observationPriors);
  EXPECT_EQ(impl.structure.observationPriors[0], 1.0);
  EXPECT_EQ(impl.structure.mixtureWeightPrior, 0.01);
  EXPECT_EQ(impl.structure.paramC, 0.1);
  EXPECT_EQ(impl.structure.paramD, 0.9);
  EXPECT_EQ(impl.featureDimension, 5);
  EXPECT_EQ(impl.meter, (std::array<std::int32_t, 4>{4, 0, -1, 2}));
  EXPECT_EQ(impl.beatTimes.size(), 2u);
}

TEST(SongAnalyzer, SettersTakeOnlyValuesInTheirRangesEachPriorOnItsOwn) {
  SongAnalyzer a;
  const StructureSettings& s = a.structureSettings();
  ASSERT_EQ(s.numStates, 20);
  struct CountCase {
    int value, states, mixtures;
  };
  // Each row applies to the result of the one before.
  const CountCase counts[] = {{0, 20, 5}, {64, 20, 5}, {-3, 20, 5}, {63, 63, 63}, {1, 1, 1}, {64, 1, 1}};
  for (const CountCase& c : counts) {
    a.setNumStates(c.value).setNumMixtures(c.value);
    EXPECT_EQ(s.numStates, c.states) << c.value;
    EXPECT_EQ(s.numMixtures, c.mixtures) << c.value;
  }
  a.setObservationPriors(0.5, -1.0, 0.02);
  EXPECT_EQ(s.observationPriors, (std::array<double, 3>{0.5, 0.01, 0.02}));
  a.setObservationPriors(0.0, 3.0, -0.5);
  EXPECT_EQ(s.observationPriors, (std::array<double, 3>{0.5, 3.0, 0.02}));
  a.setMixtureWeightPrior(0.0).setInferenceParamC(-1.0).setInferenceParamD(0.0);
  EXPECT_EQ(s.mixtureWeightPrior, 0.01);
  EXPECT_EQ(s.paramC, 0.1);
  EXPECT_EQ(s.paramD, 0.9);
  a.setMixtureWeightPrior(0.2).setInferenceParamC(0.3).setInferenceParamD(0.4);
  EXPECT_EQ(s.mixtureWeightPrior, 0.2);
  EXPECT_EQ(s.paramC, 0.3);
  EXPECT_EQ(s.paramD, 0.4);
  EXPECT_EQ(s.maxDuration, 8);
}
