#pragma once
// The song analyzer's state: its settings, the results of the last run and
// the feature generator of the next one. Only SongAnalyzer uses it; it has
// a header of its own so that its defaults can be checked.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "FeatureGenerator.h"
#include "IProgress.h"
#include "SongSegment.h"
#include "SongStructure.h"

struct SongAnalyzerImpl {
  static constexpr std::int32_t kDefaultFeatureDimension = 5;
  // Beats per bar, the engine's pulse level and phase, the denominator code.
  static constexpr std::array<std::int32_t, 4> kDefaultMeter{4, 0, -1, 2};

  // A generator of hop 1024 and frame 8192 over `factory`'s engine (the
  // chord/key engine when empty).
  static std::shared_ptr<MzMir::FeatureGenerator> freshGenerator(
      const MzMir::FeatureGenerator::EngineFactory& factory);

  // Writes the numeric and meter defaults again: the structure settings,
  // the feature dimension and the meter. The listener, the results and the
  // generator stay.
  void setDefaults();

  MzMir::IProgress* listener = nullptr;
  std::vector<double> barTimes;         // bar starts, then the end of the recording
  std::vector<std::int32_t> barTatums;  // tatum index of each bar's bar line
  StructureSettings structure;
  std::vector<int> labels;     // per bar
  std::vector<int> countdown;  // per bar: bars after it in its segment
  std::vector<float> beatTimes;
  std::int32_t featureDimension = kDefaultFeatureDimension;
  std::vector<SongSegment> segments;
  std::array<std::int32_t, 4> meter = kDefaultMeter;
  std::atomic<bool> running{false};
  MzMir::FeatureGenerator::EngineFactory engineFactory;
  std::shared_ptr<MzMir::FeatureGenerator> featureGenerator = freshGenerator(nullptr);
};
