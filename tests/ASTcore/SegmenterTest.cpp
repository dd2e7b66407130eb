// The segmenter manager over generated work copies: the packed meter, the
// time signature of the bar lines, the results it keeps, progress relayed as
// a Qt signal, and aborting a run from another thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "NumericUtilities.h"
#include "ResultCode.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "segmenter.h"

namespace {

QString clickFile(const QString& name, double seconds, double interval = 0.5) {
  const QString path = TestEnv::tempPath(name);
  EXPECT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(seconds, interval)));
  return path;
}

QString silentFile(const QString& name, double seconds) {
  const QString path = TestEnv::tempPath(name);
  EXPECT_TRUE(TestAudio::writeWav(path, TestAudio::Stereo16(static_cast<std::size_t>(seconds * 44100) * 2, 0)));
  return path;
}

std::unique_ptr<IF_segmenter> makeSegmenter() { return std::unique_ptr<IF_segmenter>(segmenter::create()); }

struct Meter {
  std::int32_t numerator = 0;
  std::int32_t denominator = 0;
  std::vector<float> beats;
};

Meter beatsOf(IF_segmenter& s) {
  Meter m;
  s.getBeats(m.beats, m.numerator, m.denominator);
  return m;
}


}  // namespace

TEST(Segmenter, APackedFourFourMeterReachesTheAnalysisAndTheResultsTileTheSong) {
  auto s = makeSegmenter();
  const double seconds = 16.0;
  ASSERT_EQ(s->execute(clickFile("clicks.wav", seconds), 0x040401), Result::kOk);

  // The beats fall on clicks (the analysis may take every other one).
  const Meter m = beatsOf(*s);
  EXPECT_EQ(m.numerator, 4);
  EXPECT_EQ(m.denominator, 4);
  ASSERT_GE(m.beats.size(), 12u);
  for (float b : m.beats) EXPECT_NEAR(b / 0.5, std::round(b / 0.5), 0.06) << b;

  const std::vector<SegItem>& items = s->results();
  ASSERT_FALSE(items.empty());
  EXPECT_NEAR(items.front().start / 0.5, std::round(items.front().start / 0.5), 0.06) << "on a click";
  EXPECT_NEAR(items.back().end, seconds, 1e-3);
  // Segments start on bar lines: four of the analysis's beats apart.
  const double bar = 4.0 * (m.beats.back() - m.beats.front()) / static_cast<double>(m.beats.size() - 1);
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].slot, 15u);
    if (i > 0) {
      EXPECT_EQ(items[i].start, items[i - 1].end);
    }
    const double bars = (items[i].start - items.front().start) / bar;
    EXPECT_NEAR(bars, std::round(bars), 0.03) << "segment " << i;
  }
}

TEST(Segmenter, TheMeterGivenSetsTheBarsAndAnUnmarkedOneIsLeftToTheAnalysis) {
  const QString path = clickFile("clicks.wav", 8.0);
  struct Case {
    std::uint64_t packed;
    int numerator, denominator;  // 0: the analysis's own
  };
  // Marked 3/4 gives bars of three beats. Unmarked, the analysis finds its
  // own meter. A denominator outside 2, 4, 8 is not handed on, so the bars
  // carry the analysis's own.
  for (const Case c : {Case{0x040301, 3, 4}, Case{0x040300, 0, 0}, Case{0x030301, 0, 0}}) {
    auto s = makeSegmenter();
    ASSERT_EQ(s->execute(path, c.packed), Result::kOk);
    const Meter m = beatsOf(*s);
    ASSERT_FALSE(s->results().empty());
    if (c.numerator == 0) {
      EXPECT_GE(m.numerator, 2) << std::hex << c.packed;
      EXPECT_TRUE(m.denominator == 4 || m.denominator == 8) << std::hex << c.packed;
    } else {
      EXPECT_EQ(m.numerator, c.numerator) << std::hex << c.packed;
      EXPECT_EQ(m.denominator, c.denominator) << std::hex << c.packed;
    }
  }
}

TEST(Segmenter, WithoutBarLinesTheStoredMeterIsThePackedOneMarkedOrNot) {
  const QString path = silentFile("silence.wav", 3.0);
  for (std::uint64_t packed : {0x040401ull, 0x030400ull, 0x070502ull}) {
    auto s = makeSegmenter();
    ASSERT_EQ(s->execute(path, packed), Result::kOk);
    const Meter m = beatsOf(*s);
    EXPECT_EQ(m.numerator, static_cast<int>((packed >> 8) & 0xFF));
    EXPECT_EQ(m.denominator, static_cast<int>((packed >> 16) & 0xFF));
    // The beat tracker keeps counting through silence; no bar is found.
    EXPECT_TRUE(s->results().empty());
  }
}

TEST(Segmenter, ProgressIsRelayedAsTheSegmentersOwnSignal) {
  auto s = makeSegmenter();
  std::vector<int> values;
  QObject::connect(s.get(), &IF_segmenter::signalProgress, [&](unsigned char p) { values.push_back(p); });
  ASSERT_EQ(s->execute(clickFile("clicks.wav", 10.0), 0x040401), Result::kOk);
  ASSERT_GE(values.size(), 5u);
  EXPECT_EQ(values.front(), 0);
  EXPECT_EQ(values.back(), 100);
  for (std::size_t i = 1; i < values.size(); ++i) EXPECT_GE(values[i], values[i - 1]);

  values.clear();
  s->thruProgress(37);
  EXPECT_EQ(values, std::vector<int>{37});
}

TEST(Segmenter, AnAbortRequestedFromAnotherThreadEndsTheRunWithAbortedWithinOneBlock) {
  auto s = makeSegmenter();
  ASSERT_EQ(s->execute(clickFile("short.wav", 8.0), 0x040401), Result::kOk);
  const std::vector<SegItem> before = s->results();
  const Meter meterBefore = beatsOf(*s);
  const QString path = clickFile("long.wav", 40.0);

  // The run goes on a thread of its own, as in the analysis worker; once it
  // reports 10 percent it waits at that progress point until the abort has
  // been requested from this thread.
  std::mutex mutex;
  std::condition_variable cv;
  bool reached = false, requested = false;
  std::vector<int> values;
  int valuesAtAbort = -1;
  QObject::connect(s.get(), &IF_segmenter::signalProgress, [&](unsigned char p) {
    values.push_back(p);
    if (p < 10 || valuesAtAbort >= 0) return;
    valuesAtAbort = static_cast<int>(values.size());
    std::unique_lock<std::mutex> lock(mutex);
    reached = true;
    cv.notify_all();
    cv.wait_for(lock, std::chrono::seconds(20), [&] { return requested; });
  });
  std::string error;
  ResultCode rc = 1;
  std::thread analysis([&] {
    try {
      rc = s->execute(path, 0x040401);
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return reached; }));
  }
  s->requestAbort();
  {
    std::lock_guard<std::mutex> lock(mutex);
    requested = true;
  }
  cv.notify_all();
  analysis.join();

  EXPECT_EQ(error, "Aborted");
  EXPECT_EQ(rc, 1u) << "execute did not return";
  EXPECT_EQ(static_cast<int>(values.size()), valuesAtAbort) << "progress went on after the abort";
  ASSERT_EQ(s->results().size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(s->results()[i].start, before[i].start);
  EXPECT_EQ(beatsOf(*s).beats, meterBefore.beats);
}

TEST(Segmenter, AnAbortRequestedBeforeTheRunStopsItAtOnceAndNoLaterRun) {
  auto s = makeSegmenter();
  const QString path = clickFile("clicks.wav", 12.0);
  ASSERT_EQ(s->execute(path, 0x040401), Result::kOk);
  const std::size_t segmentsBefore = s->results().size();
  std::vector<int> values;
  QObject::connect(s.get(), &IF_segmenter::signalProgress, [&](unsigned char p) { values.push_back(p); });

  // A Cancel that comes after the worker's own check and before the
  // segmentation starts.
  s->requestAbort();
  std::string error;
  try {
    s->execute(path, 0x040401);
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "Aborted");
  // Stopped at the first progress point, not after the whole analysis.
  for (int v : values) EXPECT_EQ(v, 0);
  EXPECT_LE(values.size(), 1u);
  EXPECT_EQ(s->results().size(), segmentsBefore);

  // The stopped run took the request with it.
  values.clear();
  EXPECT_EQ(s->execute(path, 0x040401), Result::kOk);
  ASSERT_FALSE(values.empty());
  EXPECT_GT(values.back(), 50);
}

TEST(Segmenter, EachRunStartsFromTheSameRandomSeed) {
  auto s = makeSegmenter();
  const QString path = clickFile("clicks.wav", 4.0);
  ASSERT_EQ(s->execute(path, 0x040401), Result::kOk);
  const std::vector<SegItem> first = s->results();
  const std::int64_t drawAfterFirst = Numeric::randomInt(0);
  for (int i = 0; i < 5; ++i) Numeric::randomInt(0);  // the thread's sequence moves on
  ASSERT_EQ(s->execute(path, 0x040401), Result::kOk);
  EXPECT_EQ(Numeric::randomInt(0), drawAfterFirst) << "the second run started from the same seed";
  ASSERT_EQ(s->results().size(), first.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(s->results()[i].start, first[i].start);
    EXPECT_EQ(s->results()[i].label, first[i].label);
  }
}

TEST(Segmenter, AnUnreadableWorkCopyFailsAndKeepsTheResults) {
  auto s = makeSegmenter();
  SegItem item;
  item.start = 1.0f;
  item.end = 2.0f;
  item.label = 3;
  s->setResults({item, item});
  ASSERT_EQ(s->results().size(), 2u);

  const QString mono = TestEnv::tempPath("mono.wav");
  ASSERT_TRUE(TestAudio::writeWav(mono, TestAudio::Stereo16(44100, 0), 1));
  for (const QString& path : {TestEnv::tempPath("missing.wav"), mono}) {
    EXPECT_EQ(s->execute(path, 0x040401), Result::fail(1));
    EXPECT_FALSE(s->lastError().isEmpty());
    EXPECT_EQ(s->results().size(), 2u);
    EXPECT_EQ(s->results()[0].label, 3);
    s->clearError();
    EXPECT_TRUE(s->lastError().isEmpty());
  }
}
