// The per-frame onset work shared by the offline and the online beat
// tracker: a magnitude spectrum is reduced to log-spaced band energies
// (50 .. 8000 Hz), the rise of each band's log energy over the analysis
// window is summed, and the sum becomes a running z-score over the last 20
// frames. Also the tempo range both trackers derive from their frame rate.
//
// Everything is sized at construction; a frame allocates nothing.

#pragma once

#include <cstdint>
#include <vector>

#include "MovingStats.h"
#include "SparseFilterBank.h"

namespace RuBeatO {

// Frames per beat at the slowest and fastest tempo of a tracker, and the
// slowest tempo its model holds.
int32_t maxPeriodOf(float fps, float bpmMin);
int32_t minPeriodOf(float fps, float bpmMax);
int32_t slowestPeriodOf(float fps, float bpmMin);

// Checks the parameters of a tracker before any member is built; returns
// dim. Throws std::domain_error with the tracker's messages.
int32_t checkedTrackerDim(int framelen, int dim, int decim, float fs, float fps, float bpmMin,
                          float bpmMax);

class OnsetStrength {
 public:
  // framelen: analysis window in samples, dim: band count (both checked by
  // the owner beforehand), fs: sample rate, fps: frames per second.
  OnsetStrength(int32_t framelen, int32_t dim, float fs, float fps);

  // One frame: `spectrum` holds at least framelen/2 magnitudes. Returns the
  // normalised onset strength of the frame.
  float push(const float* spectrum);

  // Band energies of the last frame (zeros before the first).
  const std::vector<float>& bandEnergies() const { return bandEnergy; }

 private:
  int32_t dim;
  Numeric::SparseFilterBank bands;
  std::vector<float> bandEnergy;
  std::vector<float> history;
  int32_t lag;
  std::vector<float> weightedSums;
  std::vector<float> sums;
  Numeric::MovingAverageSD<float> normaliser;
};

}  // namespace RuBeatO
