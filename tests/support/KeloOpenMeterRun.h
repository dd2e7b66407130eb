#pragma once
// A whole mono recording through the offline chord engine as the song
// analysis feeds it, in blocks of 180 samples, with the meter and the beats
// per bar left to the engine.

#include <gtest/gtest.h>

#include <cstddef>
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
