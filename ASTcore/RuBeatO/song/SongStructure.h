#pragma once
// From per-bar feature rows to labelled song segments: several rounds of
// structure inference, each from its own random start, fused into one
// answer, then cut into segments at the bar times.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "BarFeatures.h"
#include "SongSegment.h"

struct StructureSettings {
  std::int32_t numStates = 20;
  std::int32_t maxDuration = 8;
  std::int32_t numMixtures = 5;
  std::array<double, 3> observationPriors{1.0, 0.01, 0.01};
  double mixtureWeightPrior = 0.01;
  double paramC = 0.1;
  double paramD = 0.9;
  // Two segments share a consensus label only when their labels agree in
  // this share of the rounds.
  double agreement = 0.9;
};

// Runs `rounds` rounds over `features` (drawing from the calling thread's
// Numeric::randomInt sequence) and fuses them into one countdown and one
// label per bar. `beforeRound` is asked before each round (with its number)
// and returns false to stop; the outputs are then left as they were and the
// result is false. No rows give empty outputs without a round.
bool inferSongStructure(const MzMir::FeatureMatrix& features, const StructureSettings& settings, int rounds,
                        std::vector<int>& countdown, std::vector<int>& labels,
                        const std::function<bool(int round)>& beforeRound);

// The segments of the bars: consecutive bars with the same (merged and
// renumbered) label and no segment end between them form one segment.
// `barTimes` holds the bar starts and then the end of the recording, where
// the last segment ends. Only entries inside every vector are read; no bar
// gives no segment.
std::vector<SongSegment> segmentsOfBars(const std::vector<double>& barTimes, const std::vector<std::int32_t>& barTatums,
                                        const std::vector<int>& countdown, const std::vector<int>& labels);
