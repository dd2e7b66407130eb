// The offline beat tracker under the beat detector: per frame it reduces a
// magnitude spectrum to 10 log-spaced band energies (50 .. 8000 Hz), turns
// their rise over the last analysis window into one normalised onset value,
// and every `decim` frames hands the strongest recent onset value, with the
// comb-filter tempo evidence refreshed every 80 steps, to the tempo/phase
// model. After infer() it answers the decoded beat period and phase of any
// frame.
//
// Everything is sized at construction; a frame allocates only the evidence
// copy that the model keeps every 80th step.

#pragma once

#include <boost/numeric/ublas/vector.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

#include "BeatHmm.h"
#include "CircularIndex.h"
#include "CombFilterBank.h"
#include "MovingStats.h"
#include "OnsetStrength.h"
#include "SparseFilterBank.h"

namespace RuBeatO {

class MZBeatTrackOffline {
 public:
  // framelen: analysis window in samples (1 .. 32768); dim: band count
  // (1 .. framelen-1); decim: frames per model step (>= 1); fs: sample rate
  // (0 .. 192 kHz); fps: frames per second; 0 < bpmMin < bpmMax. Throws
  // std::domain_error for each violation (and the model's set-up checks)
  // before anything is built.
  MZBeatTrackOffline(int framelen, int dim, int decim, float fs, float fps, float bpmMin,
                     float bpmMax);
  ~MZBeatTrackOffline();

  MZBeatTrackOffline(const MZBeatTrackOffline&) = delete;
  MZBeatTrackOffline& operator=(const MZBeatTrackOffline&) = delete;

  // One frame: `spectrum` holds at least framelen/2 magnitudes (n is not
  // read).
  void addData(const float* spectrum, int n);

  // The band energies of the last frame (zeros before the first); *dim
  // receives the band count.
  const float* getFeature(int* dim) const;

  int getNumFrames() const { return frameCount; }

  // The model's observation of the step holding `frame`; 0 outside the
  // steps pushed so far.
  float observationAt(int frame) const;

  // Decodes everything pushed so far.
  void infer();

  // Decoded beat period (frames per beat) and phase (model steps to the
  // next beat) of a frame's step. Throws std::domain_error when the frame's
  // step has not been pushed and std::logic_error before infer().
  void getInfoAtFrame(int frame, int* period, int* phase) const;

  // Start state of the next decodes (period clamped to the tempo range,
  // phase kept modulo the period).
  void setTempoState(int period, int phase);

  // Constraints of the next decodes, in frames (see BeatHmm).
  void addBeatConstraint(int frame, int radius);
  void addNoBeatConstraint(int frame, int radius);
  void clearConstraints();

  // Comb filtering of a whole onset sequence, forwards and backwards, per
  // resonator 1 .. nPeriod-1 with the DC component removed. outputs is
  // resized to the resonator count; outputs[0] stays empty.
  void filterSequences(std::vector<std::vector<float>>& outputs,
                       const std::vector<float>& input) const;

  float getFps() const { return fps; }
  int getDecimation() const { return decimIndex.GetSize(); }
  int getMinPeriod() const { return model->getFpbMin(); }
  int getMaxPeriod() const { return model->getFpbMax(); }
  const BeatHmm& getModel() const { return *model; }

 private:
  int32_t dim;
  OnsetStrength onset;
  std::vector<float> feature;
  float fps;
  Numeric::MovingAverageSD<float> spare;
  std::vector<float> ring;
  Numeric::CircularIndex ringIndex;
  int32_t frameCount = 0;
  Numeric::CombFilterBank comb;
  std::vector<boost::shared_ptr<Numeric::MovingMaximum<float>>> bandMax;
  std::vector<boost::shared_ptr<Numeric::MovingAverageSD<float>>> bandStats;
  std::unique_ptr<BeatHmm> model;
  Numeric::CircularIndex decimIndex;
  boost::numeric::ublas::vector<float> energies;
  Numeric::CircularIndex refreshIndex;
};

}  // namespace RuBeatO
