#pragma once
// The noise of the upper band read at the input time. An output frame
// takes its spectrum from the analysed frame B at or after the input time,
// and B's waveform goes out a whole frame at a time: while the input moves
// slower than the frames, four joins in a row carry on the input as it was
// and the fifth (where B repeats) jumps back by a frame. Locked phases keep
// a tone whole across that jump; noise is cut there, once every five
// frames at a stretch by 1.25, and that 34 Hz flutter is what an onset
// measure counts as attacks in the decays of cymbals and snares. Moved to
// the input time, each frame's noise slips by the same fraction of a frame
// at every join instead.

#include <cstdint>

#include "PeakTracking.h"
#include "SMSFrame.h"

namespace NoisePhases {

// What a peak may change from frame A to frame B and still count as one
// steady partial: a level rise below `maxRiseDb`, a fall above
// `maxFallDb` (negative), a frequency move below `maxJumpHz`, and a phase
// within `maxDeviation` radians of where its frequency carries it over one
// frame period.
struct SteadyLimits {
  double maxRiseDb = 4.0;
  double maxFallDb = -5.0;
  double maxJumpHz = 20.0;
  double maxDeviation = 0.1;
};

// Whether the peak at `fA` Hz of frame A goes on as the peak at `fB` of
// frame B within `limits` (bins rounded, both frames over 0..`nyquist`);
// false without levels or phases.
bool IsSteadyPeak(const SMSFrame& frameA, const SMSFrame& frameB, double fA, double fB, double nyquist,
                  double framePeriod, const SteadyLimits& limits);

// For every region of the top band of a run with two or more bands that
// keeps no analysed phases (flag 0): its bins, from the midpoint to the
// region below to the midpoint to the region above, take frame B's phases
// moved to `inputTime`, each advanced by its bin frequency times
// (`inputTime` - frame B's time); a steady peak keeps the bins of its
// window's main lobe (two on either side of its own) as they were. `framesA` and `output`
// hold one frame per band; nothing is done for a non-finite input time.
// Returns the share (0..1) of the top band's output energy from
// `lowerEdgeHz` up whose phases were moved.
double MoveToInputTime(const PeakRegionTable& table, SMSFrame* const* framesA, SMSFrame* const* output,
                       const float* nyquist, int bands, double lowerEdgeHz, double inputTime, double framePeriod,
                       const SteadyLimits& limits);

}  // namespace NoisePhases
