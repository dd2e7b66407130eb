// The song analysis over generated recordings: tempo and beat placement on
// click tracks, bar lines at the meter given, segments of whole bars with
// labels that recur, the order of the listener's calls, aborting, and the
// sources it refuses.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "MemorySource.h"
#include "RecordingListener.h"
#include "SongAnalyzer.h"
#include "TestAudio.h"

namespace {

constexpr double kRate = 44100.0;

// Where TestAudio::clickTrack puts its clicks, in seconds.
std::vector<double> clickTimes(double seconds, double interval, double first) {
  std::vector<double> t;
  for (double x = first; x < seconds; x += interval) t.push_back(std::llround(x * kRate) / kRate);
  return t;
}

// Mixes b into a sample by sample, keeping the louder one.
TestAudio::Stereo16 louder(const TestAudio::Stereo16& a, const TestAudio::Stereo16& b) {
  TestAudio::Stereo16 out(a);
  for (std::size_t i = 0; i < out.size() && i < b.size(); ++i)
    if (std::abs(b[i]) > std::abs(out[i])) out[i] = b[i];
  return out;
}

// Sums b into a, clipped to 16 bits.
TestAudio::Stereo16 sum(const TestAudio::Stereo16& a, const TestAudio::Stereo16& b) {
  TestAudio::Stereo16 out(a);
  for (std::size_t i = 0; i < out.size() && i < b.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::clamp(int(out[i]) + int(b[i]), -32768, 32767));
  return out;
}

TestAudio::Stereo16 concat(std::initializer_list<TestAudio::Stereo16> parts) {
  TestAudio::Stereo16 out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string whatOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

struct ClickCase {
  double bpm;
  double first;
};

class ClickTempo : public ::testing::TestWithParam<ClickCase> {};

}  // namespace

TEST_P(ClickTempo, BeatsFallOnTheClicksAtTheirTempo) {
  const double interval = 60.0 / GetParam().bpm;
  const double seconds = 30.0;
  const auto track = TestAudio::clickTrack(seconds, interval, GetParam().first);
  MemorySource source = MemorySource::fromStereo16(track);
  SongAnalyzer analyzer;
  analyzer.analyze(source);

  // Every click has its beat; the grid runs on to the end of the recording,
  // so one beat may follow the last click.
  const std::vector<float> beats = analyzer.getBeats();
  const std::vector<double> clicks = clickTimes(seconds, interval, GetParam().first);
  ASSERT_GE(beats.size(), clicks.size());
  ASSERT_LE(beats.size(), clicks.size() + 1);
  for (std::size_t k = 0; k < beats.size(); ++k)
    EXPECT_NEAR(beats[k], GetParam().first + static_cast<double>(k) * interval, 0.006) << "beat " << k;
  const double measured = (beats.back() - beats.front()) / static_cast<double>(beats.size() - 1);
  EXPECT_NEAR(measured, interval, interval * 0.001);
}

INSTANTIATE_TEST_SUITE_P(SixtyToOneEighty, ClickTempo,
                         ::testing::Values(ClickCase{60, 0.0}, ClickCase{75, 0.42}, ClickCase{90, 0.31},
                                           ClickCase{120, 0.0}, ClickCase{128, 0.137}, ClickCase{150, 0.05},
                                           ClickCase{180, 0.2}));

TEST(SongAnalyzer, AMonoSourceGivesTheBeatsOfTheSameStereoRecording) {
  const auto track = TestAudio::clickTrack(12.0, 0.5, 0.25);
  MemorySource stereo = MemorySource::fromStereo16(track);
  MemorySource mono = MemorySource::monoFromStereo16(track);
  SongAnalyzer a, b;
  a.analyze(stereo);
  b.analyze(mono);
  EXPECT_EQ(a.getBeats(), b.getBeats());
  EXPECT_FALSE(a.getBeats().empty());
}

TEST(SongAnalyzer, BarLinesFollowTheMeterGivenAndStartOnTheAccent) {
  // 3/4 at 120 BPM with the accent on the second click: one pickup beat.
  const auto plain = TestAudio::clickTrack(20.0, 0.5, 0.0);
  const auto accents = TestAudio::clickTrack(20.0, 1.5, 0.5, 1);
  MemorySource source = MemorySource::fromStereo16(louder(plain, accents));
  RecordingListener listener;
  SongAnalyzer analyzer;
  analyzer.setMeter(3, 0, -1, 2).setProgress(&listener);
  analyzer.analyze(source);

  ASSERT_GE(listener.barlines.size(), 12u);
  for (std::size_t i = 0; i < listener.barlines.size(); ++i) {
    const kelo::t_barline& b = listener.barlines[i];
    EXPECT_EQ(b.numerator, 3);
    EXPECT_EQ(b.denominator, 4);
    EXPECT_EQ(b.barNumber, static_cast<int>(i));
    EXPECT_EQ(b.tatum, 1 + 3 * static_cast<int>(i));
  }
  // Tatums are the beats, numbered from 0, at the beat times.
  const std::vector<float> beats = analyzer.getBeats();
  ASSERT_EQ(listener.tatums.size(), beats.size());
  ASSERT_EQ(listener.beats.size(), beats.size());
  for (std::size_t k = 0; k < beats.size(); ++k) {
    EXPECT_EQ(listener.tatums[k].index, static_cast<int>(k));
    EXPECT_NEAR(listener.tatums[k].samplePosition, beats[k] * kRate, 1.0);
    EXPECT_EQ(listener.beats[k].tatum, static_cast<int>(k));
    EXPECT_EQ(listener.beats[k].tatumAgain, static_cast<int>(k));
  }
}

TEST(SongAnalyzer, BarLinesCarryTheDenominatorValueOrFallBackToFourFour) {
  struct Case {
    int beatsPerBar, code, numerator, denominator;
  };
  for (const Case c : {Case{6, 3, 6, 8}, Case{2, 1, 2, 2}, Case{5, 2, 5, 4}, Case{3, -1, 3, 4},
                       Case{-1, -1, 4, 4}, Case{-1, 3, 4, 4}}) {
    MemorySource source = MemorySource::fromStereo16(TestAudio::clickTrack(8.0, 0.5));
    RecordingListener listener;
    SongAnalyzer analyzer;
    analyzer.setMeter(c.beatsPerBar, 0, -1, c.code).setProgress(&listener);
    analyzer.analyze(source);
    ASSERT_FALSE(listener.barlines.empty()) << c.beatsPerBar << "/" << c.code;
    for (const auto& b : listener.barlines) {
      EXPECT_EQ(b.numerator, c.numerator);
      EXPECT_EQ(b.denominator, c.denominator);
    }
    EXPECT_EQ(listener.barlines[1].tatum - listener.barlines[0].tatum, c.numerator);
  }
}

TEST(SongAnalyzer, SegmentsAreWholeBarsTilingFromTheFirstBarLineToTheEnd) {
  const double seconds = 41.3;
  MemorySource source = MemorySource::fromStereo16(TestAudio::clickTrack(seconds, 0.5, 0.75, 4));
  RecordingListener listener;
  SongAnalyzer analyzer;
  analyzer.setProgress(&listener);
  analyzer.analyze(source);

  std::vector<SongSegment> segments;
  analyzer.getSegments(segments);
  ASSERT_GE(segments.size(), 3u);
  const std::vector<float> beats = analyzer.getBeats();
  ASSERT_FALSE(listener.barlines.empty());
  EXPECT_FLOAT_EQ(segments.front().start, beats[static_cast<std::size_t>(listener.barlines[0].tatum)]);
  EXPECT_NEAR(segments.front().start, 0.75, 0.006);
  EXPECT_NEAR(segments.back().end, seconds, 1e-3);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const SongSegment& s = segments[i];
    if (i > 0) {
      EXPECT_EQ(s.start, segments[i - 1].end);
    }
    // Starts on a bar line, at most eight bars long, one steady part.
    EXPECT_EQ((s.barTatum - listener.barlines[0].tatum) % 4, 0);
    EXPECT_FLOAT_EQ(s.start, beats[static_cast<std::size_t>(s.barTatum)]);
    EXPECT_LE(s.end - s.start, 8 * 2.0 + 2.0);
    EXPECT_EQ(s.label, 0);
  }
  ASSERT_EQ(listener.segments.size(), segments.size());
  for (std::size_t i = 0; i < segments.size(); ++i) EXPECT_EQ(listener.segments[i].start, segments[i].start);
}

TEST(SongAnalyzer, RecurringPartsShareALabelAndANewPartGetsTheNext) {
  // A: clicks; B: the same clicks over a loud noise bed; 8 bars each at
  // 120 BPM, as A B A.
  const auto a = TestAudio::clickTrack(16.0, 0.5);
  const auto b = sum(TestAudio::clickTrack(16.0, 0.5), TestAudio::noise(16.0, 0.25));
  MemorySource source = MemorySource::fromStereo16(concat({a, b, a}));
  SongAnalyzer analyzer;
  analyzer.analyze(source);

  std::vector<SongSegment> segments;
  analyzer.getSegments(segments);
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0].label, 0);
  EXPECT_EQ(segments[1].label, 1);
  EXPECT_EQ(segments[2].label, 0);
  EXPECT_NEAR(segments[1].start, 16.0, 0.006);
  EXPECT_NEAR(segments[2].start, 32.0, 0.006);
  EXPECT_EQ(segments[1].barTatum, 32);
}

TEST(SongAnalyzer, TheListenerHearsRisingProgressEventsSegmentsThenDone) {
  MemorySource source = MemorySource::fromStereo16(TestAudio::clickTrack(20.0, 0.5));
  RecordingListener listener;
  SongAnalyzer analyzer;
  analyzer.setProgress(&listener);
  analyzer.analyze(source);

  ASSERT_GE(listener.progressValues.size(), 5u);
  EXPECT_EQ(listener.progressValues.front(), 0);
  EXPECT_EQ(listener.progressValues.back(), 100);
  for (std::size_t i = 1; i < listener.progressValues.size(); ++i)
    EXPECT_GT(listener.progressValues[i], listener.progressValues[i - 1]);
  EXPECT_EQ(listener.doneCalls, 1);
  ASSERT_GE(listener.calls.size(), 3u);
  EXPECT_EQ(listener.calls.back(), "done");
  EXPECT_EQ(listener.calls[listener.calls.size() - 2], "progress");
  // Every segment after every engine event, all before the final progress.
  std::size_t lastEvent = 0, firstSegment = listener.calls.size();
  for (std::size_t i = 0; i < listener.calls.size(); ++i) {
    const std::string& c = listener.calls[i];
    if (c == "tatum" || c == "beat" || c == "barline") lastEvent = i;
    if (c == "segment" && firstSegment == listener.calls.size()) firstSegment = i;
  }
  EXPECT_LT(lastEvent, firstSegment);
  std::vector<SongSegment> segments;
  analyzer.getSegments(segments);
  EXPECT_EQ(listener.segments.size(), segments.size());
  EXPECT_FALSE(segments.empty());
}

TEST(SongAnalyzer, SilenceGivesNoBeatsAndNoSegmentsButACompleteRun) {
  MemorySource source = MemorySource::fromStereo16(TestAudio::Stereo16(2 * 44100 * 5, 0));
  RecordingListener listener;
  SongAnalyzer analyzer;
  analyzer.setProgress(&listener);
  analyzer.analyze(source);
  EXPECT_TRUE(analyzer.getBeats().empty());
  std::vector<SongSegment> segments(3);
  analyzer.getSegments(segments);
  EXPECT_TRUE(segments.empty());
  EXPECT_TRUE(listener.barlines.empty());
  EXPECT_TRUE(listener.segments.empty());
  EXPECT_EQ(listener.doneCalls, 1);
  EXPECT_EQ(listener.progressValues.back(), 100);
}

TEST(SongAnalyzer, AnAbortByteSetBeforeTheRunStopsItAtTheFirstBlockAndKeepsTheLastResults) {
  MemorySource first = MemorySource::fromStereo16(TestAudio::clickTrack(10.0, 0.5));
  RecordingListener listener;
  SongAnalyzer analyzer;
  analyzer.setProgress(&listener);
  analyzer.analyze(first);
  const std::vector<float> beats = analyzer.getBeats();
  std::vector<SongSegment> before;
  analyzer.getSegments(before);

  RecordingListener stopper;
  stopper.abort = 1;
  analyzer.setProgress(&stopper);
  MemorySource second = MemorySource::fromStereo16(TestAudio::clickTrack(10.0, 0.4));
  EXPECT_EQ(whatOf([&] { analyzer.analyze(second); }), "Aborted");
  EXPECT_EQ(second.reads, 1);
  EXPECT_EQ(stopper.doneCalls, 0);
  EXPECT_TRUE(stopper.segments.empty());
  EXPECT_EQ(analyzer.getBeats(), beats);
  std::vector<SongSegment> after;
  analyzer.getSegments(after);
  EXPECT_EQ(after.size(), before.size());
}

TEST(SongAnalyzer, AnAbortSetFromAnotherThreadStopsTheRunWithinOneBlock) {
  MemorySource source = MemorySource::fromStereo16(TestAudio::clickTrack(30.0, 0.5));
  RecordingListener listener;
  int readsAtAbort = -1;
  listener.onProgress = [&](int percent) {
    if (percent >= 10 && readsAtAbort < 0) {
      readsAtAbort = source.reads;
      std::thread([&] { listener.abort = 1; }).join();
    }
  };
  SongAnalyzer analyzer;
  analyzer.setProgress(&listener);
  EXPECT_EQ(whatOf([&] { analyzer.analyze(source); }), "Aborted");
  ASSERT_GT(readsAtAbort, 0);
  EXPECT_LE(source.reads - readsAtAbort, 1);
  EXPECT_LT(listener.progressValues.back(), 50);
  EXPECT_EQ(listener.doneCalls, 0);
}

TEST(SongAnalyzer, RefusesSourcesItCannotAnalyse) {
  SongAnalyzer analyzer;
  SilentSource threeChannels(44100, 3);
  EXPECT_EQ(whatOf([&] { analyzer.analyze(threeChannels); }), "Unsupported number of channels");
  SilentSource none(44100, 0);
  EXPECT_EQ(whatOf([&] { analyzer.analyze(none); }), "Unsupported number of channels");

  SilentSource noRate(44100, 2, 0.0f);
  EXPECT_THROW(analyzer.analyze(noRate), std::domain_error);

  // One hour is the limit; with the abort byte set, a source that passes the
  // limit stops at its first block instead.
  RecordingListener stopper;
  stopper.abort = 1;
  analyzer.setProgress(&stopper);
  SilentSource hourAndSecond(3600ull * 44100 + 44100, 2);
  EXPECT_EQ(whatOf([&] { analyzer.analyze(hourAndSecond); }), "Cannot analyze waveform this long");
  SilentSource hour(3600ull * 44100, 2);
  EXPECT_EQ(whatOf([&] { analyzer.analyze(hour); }), "Aborted");
  SilentSource hourAt48k(3600ull * 48000, 1, 48000.0f);
  EXPECT_EQ(whatOf([&] { analyzer.analyze(hourAt48k); }), "Aborted");
}
