#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "COnsetDetector.h"
#include "OnsetTestSignals.h"

using namespace onsettest;

namespace {

// What the import's onset analyser passes.
constexpr OnsetSettings kAnalyserSettings{0, 0, 2, 150, 0, 94, 0, 0};

OnsetAudioInfo audioFor(std::int64_t frames, std::int64_t rate = 44100) {
  return OnsetAudioInfo{0, 0, frames, rate, 16, 0, frames};
}

// One run as the onset analyser does it.
std::vector<std::int64_t> detect(ISeekable<float>& source, std::int64_t frames,
                                 const OnsetSettings& settings = kAnalyserSettings,
                                 std::int64_t rate = 44100) {
  COnsetDetector detector;
  OnsetWork work{};
  const OnsetAudioInfo audio = audioFor(frames, rate);
  OnsetTempoInfo tempo{0, 0, 0, 4, 0, 0, 4};
  detector.Init(work, audio);
  std::vector<std::int64_t> onsets;
  try {
    detector.Analyze(source, work, audio, onsets, tempo, settings);
  } catch (...) {
    detector.Release(work);
    throw;
  }
  detector.Release(work);
  return onsets;
}

std::vector<std::int64_t> detect(const Stereo16& s, const OnsetSettings& settings = kAnalyserSettings,
                                 std::int64_t rate = 44100) {
  MemorySource source(s);
  return detect(source, static_cast<std::int64_t>(s.size() / 2), settings, rate);
}

// The detector reports the start of an attack's rising edge: about two hops
// before the attack, give or take the one-hop frame grid.
void expectOnsetsAt(const std::vector<std::int64_t>& onsets, const std::vector<std::int64_t>& attacks,
                    std::int64_t hop = 128) {
  ASSERT_EQ(onsets.size(), attacks.size());
  for (std::size_t i = 0; i < attacks.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(onsets[i]), static_cast<double>(attacks[i] - 2 * hop),
                static_cast<double>(hop))
        << "attack " << i << " at " << attacks[i];
  }
}

int thrownCode(const std::function<void()>& f) {
  try {
    f();
  } catch (int code) {
    return code;
  }
  return 0;
}

}  // namespace

TEST(COnsetDetector, ClickTrainGivesOneOnsetPerClick) {
  Stereo16 s = silence(44100 * 4 + 77);
  std::vector<std::int64_t> clicks;
  for (std::int64_t t = 11025; t < 44100 * 4; t += 22050 + (t % 301)) clicks.push_back(t);
  for (std::size_t i = 0; i < clicks.size(); ++i) addClick(s, clicks[i], 0.4 + 0.08 * (i % 5));
  expectOnsetsAt(detect(s), clicks);
}

TEST(COnsetDetector, DecayingNoiseBurstsGiveOneOnsetEach) {
  Stereo16 s = silence(44100 * 3);
  const std::vector<std::int64_t> bursts = {10000, 40000, 70000, 100000};
  for (std::size_t i = 0; i < bursts.size(); ++i) addNoiseBurst(s, bursts[i], 0.3, 0.05, 1 + i);
  expectOnsetsAt(detect(s), bursts);
}

TEST(COnsetDetector, SilenceGivesNoOnsets) {
  for (std::size_t frames : {0u, 1u, 127u, 2048u, 44100u, 44100u * 3 + 5}) {
    EXPECT_TRUE(detect(silence(frames)).empty()) << frames;
  }
}

TEST(COnsetDetector, AttacksCloserThanTheSlopeWindowMerge) {
  Stereo16 close = silence(44100 * 2);
  addClick(close, 30000, 0.6);
  addClick(close, 30000 + 132, 0.8);  // 3 ms later
  expectOnsetsAt(detect(close), {30000});

  Stereo16 apart = silence(44100 * 2);
  addClick(apart, 30000, 0.6);
  addClick(apart, 30000 + 4410, 0.6);  // 100 ms later
  expectOnsetsAt(detect(apart), {30000, 34410});
}

TEST(COnsetDetector, AttackInTheLastFiftyMillisecondsIsFound) {
  // The lead-in pushes the recording's last 2048 samples past the frames of
  // its rounded length; an attack there must still be reported.
  // (Three seconds and more: on very short recordings the beat grid's search
  // windows shrink to a frame or two, and an empty grid point may cut into a
  // rising edge.)
  for (std::int64_t length : {132300 + 1, 132300 + 37, 132300 + 64, 132300 + 127, 132300 + 500}) {
    for (std::int64_t beforeEnd : {2200, 1300, 600, 250}) {
      SCOPED_TRACE(std::to_string(length) + " / " + std::to_string(beforeEnd));
      Stereo16 s = silence(static_cast<std::size_t>(length));
      addClick(s, 30000, 0.5);
      addClick(s, static_cast<std::size_t>(length - beforeEnd), 0.7);
      const auto onsets = detect(s);
      expectOnsetsAt(onsets, {30000, length - beforeEnd});
      if (!onsets.empty()) {
        EXPECT_LT(onsets.back(), length);
      }
    }
  }
}

TEST(COnsetDetector, AttackInsideTheLeadInIsReportedAtZero) {
  Stereo16 s = silence(44100);
  addClick(s, 100, 0.7);
  addClick(s, 20000, 0.7);
  const auto onsets = detect(s);
  ASSERT_EQ(onsets.size(), 2u);
  EXPECT_EQ(onsets[0], 0);
  EXPECT_NEAR(static_cast<double>(onsets[1]), 20000.0 - 256.0, 128.0);
}

TEST(COnsetDetector, FullScaleSquareWaveRunsClean) {
  for (int halfPeriod : {1, 441}) {
    Stereo16 s(44100 * 2 * 2);
    for (std::size_t i = 0; i < s.size() / 2; ++i) {
      s[2 * i] = s[2 * i + 1] = (i / halfPeriod) % 2 ? -32768 : 32767;
    }
    const auto onsets = detect(s);
    EXPECT_TRUE(std::is_sorted(onsets.begin(), onsets.end()));
    for (auto p : onsets) {
      EXPECT_GE(p, 0);
      EXPECT_LT(p, 44100 * 2);
    }
  }
}

TEST(COnsetDetector, MonoSourceReadsAsBothChannels) {
  Stereo16 s = silence(44100 * 2);
  addClick(s, 15000, 0.6);
  addNoiseBurst(s, 50000, 0.2, 0.03, 9, 0.5);
  Stereo16 left(s.size() / 2);
  for (std::size_t i = 0; i < left.size(); ++i) left[i] = s[2 * i];  // the channels are equal here
  MemorySource mono(left, 1);
  EXPECT_EQ(detect(mono, static_cast<std::int64_t>(left.size())), detect(s));
}

TEST(COnsetDetector, OtherSampleRatesUseTheirOwnHop) {
  // At 48 kHz the hop is 139 samples and the lead-in is not a whole number
  // of frames.
  Stereo16 s = silence(48000 * 2 + 11);
  const std::vector<std::int64_t> clicks = {12000, 36000, 70000, 95900};
  for (auto c : clicks) addClick(s, static_cast<std::size_t>(c), 0.6);
  expectOnsetsAt(detect(s, kAnalyserSettings, 48000), clicks, 139);
}

TEST(COnsetDetector, SourceThatStopsEarlyIsAnError) {
  Stereo16 s = silence(44100);
  addClick(s, 5000, 0.6);
  for (std::uint64_t delivered : {0u, 1u, 22050u, 44099u}) {
    MemorySource source(s);
    source.deliverOnly(delivered);
    EXPECT_EQ(thrownCode([&] { detect(source, 44100); }), -1) << delivered;
  }
  // Announcing more frames than the source has is the same fault.
  MemorySource source(s);
  EXPECT_EQ(thrownCode([&] { detect(source, 44100 + 1000); }), -1);
}

TEST(COnsetDetector, SourceIsReadInBlocks) {
  Stereo16 s = silence(44100 * 10);
  addClick(s, 5000, 0.6);
  MemorySource source(s);
  detect(source, 44100 * 10);
  EXPECT_EQ(source.seeks, 1);
  EXPECT_LE(source.reads, 44100 * 10 / 4096 + 1);
}

TEST(COnsetDetector, AnalyzeAgainReusesTheCurveWithNewSettings) {
  Stereo16 s = silence(44100 * 2);
  for (std::int64_t t : {8000, 30000, 52000, 70000}) addClick(s, static_cast<std::size_t>(t), 0.3 + t / 200000.0);
  MemorySource source(s);
  COnsetDetector detector;
  OnsetWork work{};
  const OnsetAudioInfo audio = audioFor(44100 * 2);
  OnsetTempoInfo tempo{0, 0, 0, 4, 0, 0, 4};
  detector.Init(work, audio);

  std::vector<std::int64_t> first, off, again;
  detector.Analyze(source, work, audio, first, tempo, kAnalyserSettings);
  const int readsAfterFirst = source.reads;
  EXPECT_EQ(work.state, 1);
  EXPECT_EQ(first.size(), 4u);

  OnsetSettings strict = kAnalyserSettings;
  strict.allSensitivity = 0;  // threshold 128: no strength exceeds it
  detector.Analyze(source, work, audio, off, tempo, strict);
  EXPECT_TRUE(off.empty());

  detector.Analyze(source, work, audio, again, tempo, kAnalyserSettings);
  EXPECT_EQ(again, first);
  EXPECT_EQ(source.reads, readsAfterFirst);
  detector.Release(work);
}

TEST(COnsetDetector, IndexesAboveTheTablesUseTheLastEntry) {
  Stereo16 s = silence(44100 * 3);
  for (std::int64_t t = 6000; t < 44100 * 3; t += 9000) addClick(s, static_cast<std::size_t>(t), 0.2 + (t % 7) * 0.1);
  addNoiseBurst(s, 70000, 1.0, 0.3, 3, 0.2);
  OnsetSettings settings = kAnalyserSettings;
  settings.gridSensitivity = 99;  // grid-marked frames count from strength 2 on
  settings.allSensitivity = 40;

  settings.gridIndex = 6;
  const auto six = detect(s, settings);
  for (std::uint16_t grid : {7, 100, 65535}) {
    settings.gridIndex = grid;
    EXPECT_EQ(detect(s, settings), six) << grid;
  }
  settings.gridIndex = 2;
  settings.presetIndex = 7;
  const auto seven = detect(s, settings);
  for (std::uint16_t preset : {8, 65535}) {
    settings.presetIndex = preset;
    EXPECT_EQ(detect(s, settings), seven) << preset;
  }
}

TEST(COnsetDetector, GridAlignmentNearTheEndStaysInsideTheArrays) {
  // Short recordings put predicted beats, anchors and division windows at and
  // past the last frame; every preset and grid must stay inside the arrays.
  for (std::int64_t length : {1000, 3001, 6000, 9999, 25000}) {
    Stereo16 s = silence(static_cast<std::size_t>(length));
    addClick(s, static_cast<std::size_t>(length / 3), 0.6);
    addClick(s, static_cast<std::size_t>(std::max<std::int64_t>(length - 300, 0)), 0.9);
    for (std::uint16_t preset = 0; preset <= 8; ++preset) {
      for (std::uint16_t grid = 0; grid <= 7; ++grid) {
        const OnsetSettings settings{preset, 99, grid, 0, 0, 94, 0, 0};
        const auto onsets = detect(s, settings);
        EXPECT_TRUE(std::is_sorted(onsets.begin(), onsets.end()));
        for (auto p : onsets) ASSERT_LT(p, length);
      }
    }
  }
}

TEST(COnsetDetector, InitRefusesRecordsItCannotServe) {
  COnsetDetector detector;
  for (const auto& audio : {audioFor(-1), audioFor(1000, 0), audioFor(1000, 343), audioFor(1000, -44100),
                            audioFor(std::int64_t{1} << 41)}) {
    OnsetWork work{};
    EXPECT_EQ(thrownCode([&] { detector.Init(work, audio); }), -1);
    EXPECT_EQ(work.curve, nullptr);
    EXPECT_EQ(work.strength, nullptr);
    EXPECT_EQ(work.marked, nullptr);
  }
}

TEST(COnsetDetector, AnalyzeRefusesAWorkAreaThatDoesNotFit) {
  COnsetDetector detector;
  Stereo16 s = silence(10000);
  MemorySource source(s);
  std::vector<std::int64_t> onsets;
  OnsetTempoInfo tempo{0, 0, 0, 4, 0, 0, 4};

  OnsetWork never{};
  EXPECT_EQ(thrownCode([&] { detector.Analyze(source, never, audioFor(10000), onsets, tempo, kAnalyserSettings); }),
            -1);

  OnsetWork work{};
  detector.Init(work, audioFor(5000));
  detector.Reset(work, audioFor(10000));  // recomputes the sizes, allocates nothing
  EXPECT_EQ(thrownCode([&] { detector.Analyze(source, work, audioFor(10000), onsets, tempo, kAnalyserSettings); }),
            -1);
  detector.Release(work);
  detector.Release(work);  // releasing twice is harmless
  EXPECT_EQ(work.curve, nullptr);
  EXPECT_EQ(work.totalLength, 0);
}

TEST(COnsetDetector, InitAgainReplacesTheBuffers) {
  COnsetDetector detector;
  OnsetWork work{};
  detector.Init(work, audioFor(5000));
  detector.Init(work, audioFor(20000));  // the first buffers are freed, not leaked
  EXPECT_EQ(work.frameCount, 156);       // 20000 / 128 = 156.25
  detector.Release(work);
}

TEST(COnsetDetector, AnalyzeFillsTheTempoSpanAndTheSettings) {
  Stereo16 s = silence(30000);
  MemorySource source(s);
  COnsetDetector detector;
  OnsetWork work{};
  const OnsetAudioInfo audio = audioFor(30000);
  OnsetTempoInfo tempo{7, 8, 9, 4, 0, 0, 4};
  std::vector<std::int64_t> onsets{123};
  detector.Init(work, audio);
  detector.Analyze(source, work, audio, onsets, tempo, kAnalyserSettings);
  EXPECT_EQ(tempo[0], 0);
  EXPECT_EQ(tempo[1], 30000);
  EXPECT_EQ(tempo[2], 30000);
  EXPECT_EQ(onsets, std::vector<std::int64_t>{123});  // appended to, never cleared
  EXPECT_DOUBLE_EQ(work.spanBeats, 16.0);
  EXPECT_EQ(work.sensitivityAll, 6);
  EXPECT_EQ(work.sensitivityGrid, 128);
  EXPECT_EQ(work.divisions, 2);
  EXPECT_EQ(work.toleranceDivisor, 12);
  detector.Release(work);
}

TEST(COnsetDetector, ApplySettingsMarksTheAreaDetectedOnce) {
  COnsetDetector detector;
  OnsetWork work{};
  detector.Init(work, audioFor(1000));
  const OnsetTempoInfo tempo{100, 900, 900, 3, 1, 960, 2};
  const OnsetSettings settings{3, 50, 9, 0, 0, 0, 0, 0};
  EXPECT_TRUE(detector.ApplySettings(work, tempo, settings));
  EXPECT_FALSE(detector.ApplySettings(work, tempo, settings));
  EXPECT_EQ(work.spanStart, 100);
  EXPECT_EQ(work.spanEnd, 900);
  EXPECT_DOUBLE_EQ(work.spanBeats, 1.0 + 2 * 3 + 1);
  EXPECT_EQ(work.sensitivityGrid, 50);
  EXPECT_EQ(work.sensitivityAll, 128);
  EXPECT_EQ(work.divisions, 8);
  EXPECT_EQ(work.toleranceDivisor, 7);
  detector.Release(work);
}
