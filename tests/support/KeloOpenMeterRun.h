#pragma once
// A whole mono recording through the offline chord engine as the song
// analysis feeds it, in blocks of 180 samples, with the meter and the beats
// per bar left to the engine, and a check of the beats it reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <map>
#include <vector>

#include "KeloOffline.h"
#include "KeloReports.h"

inline ::testing::AssertionResult analyseLeavingTheMeterOpen(kelo::KeloOffline& engine, const std::vector<float>& song,
                                                             KeloReports* reports = nullptr) {
  constexpr std::size_t kBlock = 180;
  if (engine.init(0, "", kBlock, kelo::BeatsPerBarNotGiven, 0.0) != 0)
    return ::testing::AssertionFailure() << "the engine refused its set-up";
  if (engine.setMeter(0, -1, kelo::MeterNotGiven) != 0)
    return ::testing::AssertionFailure() << "the engine refused an open meter";
  if (reports != nullptr) reports->listenTo(engine);
  for (std::size_t at = 0; at + kBlock <= song.size(); at += kBlock) engine.process(song.data() + at, kBlock);
  if (engine.finish() != 0) return ::testing::AssertionFailure() << "the analysis did not finish";
  return ::testing::AssertionSuccess();
}

// The beats are the song's: the median spacing of the reported tatums (44.1
// kHz) within 4 % of a beat at `bpm`.
inline void expectTheSongsBeat(const KeloReports& r, double bpm) {
  const std::map<int, double> tatumTime = r.tatumSeconds();
  std::vector<double> spacing;
  for (auto it = std::next(tatumTime.begin()); it != tatumTime.end(); ++it)
    spacing.push_back(it->second - std::prev(it)->second);
  ASSERT_GT(spacing.size(), 10u);
  std::nth_element(spacing.begin(), spacing.begin() + static_cast<std::ptrdiff_t>(spacing.size() / 2), spacing.end());
  const double beat = 60.0 / bpm;
  EXPECT_NEAR(spacing[spacing.size() / 2], beat, 0.04 * beat);
}

// The song through the engine with the meter left open comes out in a
// simple meter at its beat, with `beats` beats a bar (0: any).
inline void expectASimpleMeterAtTheSongsBeat(const std::vector<float>& song, double bpm, int beats, KeloReports* r) {
  kelo::KeloOffline engine;
  ASSERT_TRUE(analyseLeavingTheMeterOpen(engine, song, r));
  EXPECT_EQ(engine.meterCode(), kelo::MeterSimple);
  if (beats > 0) {
    EXPECT_EQ(engine.beatsPerBar(), beats);
  }
  expectTheSongsBeat(*r, bpm);
}
