// The offline beat detector that the chord and key engine runs inside its
// beat slicing: mono samples go in hop by hop, each hop completes one frame
// (a magnitude spectrum of the newest half-rate window handed to the offline
// tracker), and after infer() the detector answers beat frames, the beat
// period and the distance to the next beat in these frames.
//
// Frames count hops of `hopsize` input samples from 0 since the last reset.
// The tracker below works on every `decimation`-th frame; the conversions
// between the two live here. In half-beat mode every tracker beat is split
// in two: the listing reports the half-beats as beats too, the queries halve
// the period, and setTempoState doubles the period it is given.
//
// One detector serves one thread; nothing is shared between detectors.

#pragma once

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <list>
#include <vector>

class CFft;

namespace RuBeatO {

class MZBeatTrackOffline;

class CBeatDetect {
 public:
  // framelen: analysis window in input samples; hopsize: input samples per
  // frame (1 .. framelen); decimation: frames per tracker step (>= 1);
  // fs: input rate in Hz; bpmMin >= 30 and bpmMin < bpmMax. Throws
  // std::domain_error for any violation (the tracker's own checks included).
  CBeatDetect(int framelen, int hopsize, int decimation, bool halfBeat, float fs, float bpmMin,
              float bpmMax);
  ~CBeatDetect();

  CBeatDetect(const CBeatDetect&) = delete;
  CBeatDetect& operator=(const CBeatDetect&) = delete;

  // Feeds lenData mono samples (even, >= 0); every completed hop adds one
  // frame. A null pointer or a length of 0 adds nothing but still counts
  // toward the duration limit. Clears the inferred state. Throws
  // std::invalid_argument for an odd or negative length and
  // std::out_of_range once ten hours of audio have been fed since the reset.
  void addData(const float* data, int lenData);

  // The 10 band energies of the most recent frame (zeros before the first);
  // *dim receives their count. Valid until the next addData or reset.
  const float* getFeature(int* dim) const;

  // Frames completed since construction or the last reset.
  int getNumFrames() const;

  // The strength of new sound the tracker weighed at `frame`: its
  // normalised onset observation of the model step holding the frame (0 for
  // a frame outside 0 .. getNumFrames()-1 or one whose step is still
  // filling).
  float onsetAt(int frame) const;

  // Decodes tempo and beat phase over every frame so far; the queries below
  // are allowed from here until the next addData, anchor change or reset.
  void infer();

  // Replaces `frames` with the beat frames in increasing order, keeping
  // every step-th beat from beat number `offset` on (step 1, offset 0: all).
  // Throws std::logic_error before infer and std::domain_error for a
  // step below 1.
  void getBeatFrames(std::list<int>& frames, int step, int offset) const;

  // The beat period and the number of frames from `frame` to the next beat.
  // The period is the tracker's frames per beat times the decimation
  // (halved in half-beat mode): the unit setTempoState takes back. Throws std::domain_error for a frame outside
  // 0 .. getNumFrames()-1 and std::logic_error before infer.
  void getInfoAtFrame(int frame, int* period, int* toNext) const;

  // Fixes the beat period (as getInfoAtFrame reports it) and the phase (frames
  // to the next beat) that the next infer starts from; the period is clamped
  // to the tracker's tempo range. Keeps the inferred state.
  void setTempoState(int period, int phase);

  // Discards every frame and rebuilds the transform and the tracker from the
  // stored parameters (the setters' values take effect here). Throws
  // std::domain_error for a decimation below 1 and the tracker's checks.
  void reset();

  // Mean tempo in BPM over the listed beats; *valid is false (and *bpm 0)
  // with fewer than two beats. Throws std::logic_error before infer.
  void getTempo(float* bpm, bool* valid) const;

  // Beat constraints for the next infer: a beat within `radius` frames of
  // `frame` (addAnchor), or none (addNegativeAnchor). Throws
  // std::domain_error for a radius below 1. All three clear the inferred
  // state.
  void addAnchor(int frame, int radius);
  void addNegativeAnchor(int frame, int radius);
  void clearAnchors();

  // Parameter setters; they check as the constructor does and take effect
  // at the next reset: until then frames are cut as before, so a stream is
  // never reframed halfway or written past the window it was sized for.
  void setFramelen(int framelen);
  void setHopsize(int hopsize);
  void setFs(float fs);
  void setBpmRange(float bpmMin, float bpmMax);

  int getFramelen() const { return framelen; }
  int getHopsize() const { return hopsize; }
  int getDecimation() const { return decimation; }
  bool isHalfBeat() const { return halfBeat; }
  float getFs() const { return fs; }
  // Frames per second of the tracker (fs / hopsize at the last reset).
  float getFps() const;
  bool isInferred() const { return inferred; }

 private:
  void checkQuery(int frame) const;
  bool isBeatFrame(int frame) const;
  // Half-rate samples per hop (at least one, so that a hop always ends).
  int32_t halfHop() const;

  int32_t pending = 0;
  int32_t hopsize = 0;
  int32_t framelen = 0;
  std::vector<float> halfWindow;
  bool halfBeat = false;
  std::vector<float> spectrum;
  float fs = 0.0f;
  int32_t decimation = 0;
  float bpmMin = 0.0f;
  float bpmMax = 0.0f;
  uint64_t totalSamples = 0;  // 64 bits: ten hours at high rates exceed 32
  boost::shared_ptr<CFft> fft;
  boost::shared_ptr<MZBeatTrackOffline> tracker;
  bool inferred = false;
  // The framing of the last reset, which the buffers were sized for.
  int32_t builtFramelen = 0;
  int32_t builtHopsize = 1;
};

}  // namespace RuBeatO
