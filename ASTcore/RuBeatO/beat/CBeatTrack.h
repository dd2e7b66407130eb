// The online beat tracker: mono samples go in as they arrive and a tick
// clock of 24 ticks per beat comes out. Samples are summed in pairs (half
// the input rate), framed every hop, turned into magnitude spectra and
// handed to the online model; the model's sparse beat decisions steer a
// fixed-point beat clock that runs smoothly between them.
//
// One tracker serves one thread; trackers share nothing.

#pragma once

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

#include "BeatInterpolator.h"

class CFft;

namespace RuBeatO {

class MZBeatTrackOnline;

class CBeatTrack {
 public:
  // framelen: analysis window in input samples; hopsize: input samples per
  // frame; decimation: frames per model step; fs: input rate in Hz;
  // bpmMin < bpmMax: tempo range. Throws std::domain_error
  // ("framelen must be positive") for a framelen or hopsize below 1, and
  // the model's parameter checks.
  CBeatTrack(int32_t framelen, int32_t hopsize, int32_t decimation, float fs, float bpmMin,
             float bpmMax);
  ~CBeatTrack();

  CBeatTrack(const CBeatTrack&) = delete;
  CBeatTrack& operator=(const CBeatTrack&) = delete;

  // Store the parameter and start over (same checks as the constructor).
  CBeatTrack& setFramelen(int32_t n);
  CBeatTrack& setHopsize(int32_t n);
  CBeatTrack& setFs(float fs);
  CBeatTrack& setBpmRange(float bpmMin, float bpmMax);

  // Streams lenData samples; every completed hop advances the clock by one
  // frame. A null pointer or a length of 0 does nothing. Throws
  // std::invalid_argument for an odd ("lenData must be even") or negative
  // ("lenData must be positive") length.
  void addData(const float* data, int64_t lenData);

  // 1 when the clock has newly reached a beat (tick 0), or a half beat
  // (tick 12) with `allowEighth`, since the previous call; else 0.
  int32_t isNewTatum(bool allowEighth);

  // True when the last frame of the last addData landed on a beat tick.
  bool isNewBeat() const { return newBeat; }

  float framesPerBeat(float bpm) const;
  // The model's tempo search range: the tracker's own limits, or a
  // narrower one in BPM.
  void resetTempoSearchRange();
  void setTempoSearchRange(float bpmLo, float bpmHi);
  // Per tempo (frames per beat), the model's score of being on a beat.
  // Throws std::logic_error before the first frame.
  void getBeatScores(std::vector<double>& out) const;
  // Restarts the model's tempo and phase search from its prior and the full
  // tempo range; the onset history, its normaliser, the filters and the
  // tempo histogram are kept.
  void restart();
  // Tells the model that the current frame is a beat.
  void forceBeat();
  // The clock's period in whole frames and its tick, and the model's best
  // tempo (frames per beat) and phase (-1 both before the first frame).
  void getInfo(int32_t* period, float* tick, int32_t* tempo, int32_t* phase) const;

  int32_t getFramelen() const { return framelen; }
  int32_t getHopsize() const { return hopsize; }
  float getFs() const { return fs; }
  float getFps() const;

 private:
  void initialise();
  int32_t processFrame();

  int32_t lastTick = -1;
  bool newBeat = false;
  boost::shared_ptr<CFft> fft;
  boost::shared_ptr<MZBeatTrackOnline> tracker;
  boost::shared_ptr<BeatInterpolator> interpolator;
  std::vector<float> frame;
  std::vector<float> spectrum;
  int32_t framelen;
  int32_t hopsize;
  int32_t buffered = 0;
  float fs;
  int32_t decimation;
  float bpmMin;
  float bpmMax;
};

}  // namespace RuBeatO
