#pragma once
// Per output frame: which two analysed frames of each channel enclose the
// input time (A before, B at or after it), one-to-one copies of analysed
// frames in the zones around transient markers (so attacks are neither
// smeared nor repeated), the two channels kept on one input time when only
// one of them sits at a transient, and the hand-over to the band stretch.

#include <cstdint>
#include <memory>
#include <vector>

#include "BandStretch.h"
#include "MarkerSet.h"
#include "SMSFrame.h"

// The recent analysed frames of one channel around the input time, with the
// channel's markers. Frame k lies at startTime + k x frame period.
struct WindowState {
  std::int64_t frameCount = 0;  // history length N (odd)
  int bandCount = 0;
  // frames[k][band]: borrowed from the analysis; null where missing.
  std::vector<std::vector<SMSFrame*>> frames;
  const MarkerSet* markers = nullptr;
  double referenceTime = 0.0;  // the history's centre time
  double startTime = 0.0;
  double lastMarkerTime = -1.0;
  std::int64_t position = 0;

  // History of int(0.4 / framePeriod + 1) frames (made odd), `bands`
  // bands, no frames yet, position 0, last marker time -1. Throws -1 when
  // storage cannot be had.
  void Reset(double framePeriod, int bands);
  SMSFrame* Frame(std::int64_t k, int band) const;
};

// What one transient selection reports for its channel.
struct FrameChoice {
  double inputTime = 0.0;
  int transient = 0;
  int markerType = 0;
};

// One output frame. `left`/`right` hold the history of each channel (right
// null for mono), `outLeft`/`outRight` one output spectrum per band (already
// holding the analysed frame at the input time). Creates the run's band
// stretch state in `state` on the first call (and points the context at
// it). Returns 0, or -2 when no analysed frame lies at or after the input
// time (or for a band count outside 1..8). Throws -1 when the stretch state
// cannot be had.
int StretchFrame(BandStretchContext& context, std::unique_ptr<BandStretchState>& state, WindowState& left,
                 WindowState* right, SMSFrame* const* outLeft, SMSFrame* const* outRight, const float* nyquist,
                 int bandCount, double inputTime, double inputStep, double framePeriod);

// The transient zone of the marker nearest the history's reference time
// (between markers first..last): around the marker the analysed frames are
// copied one to one, before and after it (within the markers' widths) the
// neighbouring frames follow at the analysis rate, and beyond them the
// input time is spread so that the output catches up with the frames used
// one to one. Copies magnitudes and times into `output` and reports the
// input time used, the transient flag and the marker type. Returns 0.
int SelectTransientFrames(std::int64_t firstMarker, std::int64_t lastMarker, WindowState& window,
                          SMSFrame* const* output, FrameChoice& choice, double t, double inputStep,
                          double framePeriod);
