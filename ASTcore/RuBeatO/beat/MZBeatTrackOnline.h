// The online beat tracker's model side: per frame the onset strength of a
// magnitude spectrum (the offline tracker's per-frame work), kept in a ring
// and fed to the comb filters, and every `decim` frames the strongest recent
// onset value as one forward step of the tempo/phase model. The tempo state
// readout also keeps a leaky histogram of the per-tempo scores whose spread
// tells how settled the tempo is.
//
// Everything is sized at construction or at the model's first step; each
// tracker owns its own step record, so trackers are independent.

#pragma once

#include <boost/numeric/ublas/vector.hpp>

#include <cstdint>
#include <memory>
#include <vector>

#include "BeatHmm.h"
#include "CircularIndex.h"
#include "CombFilterBank.h"
#include "OnsetStrength.h"

namespace RuBeatO {

class MZBeatTrackOnline {
 public:
  // framelen: analysis window in samples (1 .. 32768); dim: band count
  // (1 .. framelen-1); historyLength: onset values kept (>= decim);
  // decim: frames per model step (>= 1); fs: sample rate (0 .. 192 kHz);
  // fps: frames per second; 0 < bpmMin < bpmMax. Throws std::domain_error
  // for each violation (and the model's set-up checks).
  MZBeatTrackOnline(int framelen, int dim, int historyLength, int decim, float fs, float fps,
                    float bpmMin, float bpmMax);

  MZBeatTrackOnline(const MZBeatTrackOnline&) = delete;
  MZBeatTrackOnline& operator=(const MZBeatTrackOnline&) = delete;

  // One frame: `spectrum` holds at least framelen/2 magnitudes.
  void step(const float* spectrum, int bins);

  // The model's best tempo (frames per beat) and phase (model steps to the
  // next beat); returns the spread of the tempo histogram (0 .. 16). Throws
  // std::logic_error before the first frame.
  float getTempoState(int32_t* tempo, int32_t* phase);

  BeatHmm& model() { return hmm; }
  const BeatHmm& model() const { return hmm; }
  float getFps() const { return fps; }
  int32_t getFrameCount() const { return frameCount; }

 private:
  // What one model step sees.
  struct StepRecord {
    float observation = 0.0f;
    boost::numeric::ublas::vector<float> energies;
  };

  float fps;
  float bpmMin;
  float bpmMax;
  int32_t decim;
  int32_t combSize;
  OnsetStrength onset;
  std::vector<float> ring;
  Numeric::CircularIndex ringIndex;
  Numeric::CombFilterBank comb;
  Numeric::CircularIndex decimIndex;
  Numeric::CircularIndex refreshIndex;
  StepRecord record;
  std::vector<float> histogram;
  int32_t frameCount = 0;
  BeatHmm hmm;
};

}  // namespace RuBeatO
