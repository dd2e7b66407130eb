#pragma once
// Pulls beat-grid times onto nearby onset times. The tolerance shrinks as the
// tempo rises (0.05 s up to 40 BPM, 0.015 s from 60 BPM, linear between), and
// a grid time never moves past its neighbours, so the grid stays in order.

#include <cstdint>
#include <vector>

class PeakPicker {
 public:
  PeakPicker() = default;
  ~PeakPicker();

  // Moves entries of `target` (seconds, ascending) in place onto entries of
  // `reference` (seconds, ascending) that lie within the tolerance for
  // `tempo` (beats per minute). Callers pass the beat grid as the target and
  // the onsets as the reference.
  void run(std::vector<float>& target, const std::vector<float>& reference, std::uint64_t tempo);

  // Mean spacing of the target list of the last run around `position`
  // (clamped to the list), over up to 8 entries either side; 0 for lists of
  // fewer than two entries. The list given to run() must still exist.
  float slope(std::int32_t position) const;

  // Snapping distance in seconds for a tempo in beats per minute.
  static double tolerance(std::uint64_t tempo);

 private:
  // Finds the reference entries around `t`, starting at the last upper index.
  void bracket(float t);
  // Tries to move the current target onto the reference entry above it.
  void snapUp(double tol);
  // Tries to move the current target onto the reference entry below it.
  void snapDown(double tol);

  std::vector<float>* target = nullptr;
  const std::vector<float>* reference = nullptr;
  std::int32_t lower = -1;
  std::int32_t upper = -1;
  std::int32_t pos = -1;
  std::uint64_t tempo = 0;
};
