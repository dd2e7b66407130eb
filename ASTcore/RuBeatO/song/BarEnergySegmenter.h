#pragma once
// Cuts a run of bars into segments of whole bars and labels them by the
// similarity of their energy profiles (the level of each beat of the bar, in
// dB). A segment ends where the profile changes clearly or after at most
// kMaxBars bars; segments whose mean profiles lie close share a label.

#include <cstddef>
#include <vector>

struct BarSegment {
  int firstBar = 0;
  int bars = 0;
  int label = 0;  // 0, 1, 2, ... in order of first appearance
};

class BarEnergySegmenter {
 public:
  static constexpr int kMaxBars = 8;
  // RMS profile difference (dB) that ends a segment.
  static constexpr double kBoundaryDb = 6.0;
  // RMS profile difference (dB) below which two segments share a label.
  static constexpr double kSameLabelDb = 3.0;

  // One row per bar: the mean energy of each of its beats, in dB (floor
  // -100 dB). Bar b spans beats firstBeat + b * beatsPerBar onwards; beat k
  // spans envelope frames [beatFrames[k], beatFrames[k+1]), the last beat
  // one period. Bars must lie within the beat list.
  static std::vector<std::vector<double>> barProfiles(const std::vector<float>& energy,
                                                      const std::vector<double>& beatFrames,
                                                      std::size_t firstBeat, int beatsPerBar,
                                                      std::size_t bars);

  // The segments over all rows, in order, covering every bar once.
  static std::vector<BarSegment> segment(const std::vector<std::vector<double>>& profiles);
};
