#pragma once
// A steady beat grid for a whole recording from its energy envelope
// (EnergyEnvelope): the tempo from the autocorrelation of the onset strength,
// refined and phase-aligned so that the beats sit on the energy peaks, and
// the beat of the bar that carries the strongest accents.
//
// Positions are in envelope frames (real-valued); frame n is centred on
// sample (n + 0.5) * hop.

#include <vector>

struct BeatGrid {
  double period = 0.0;             // envelope frames per beat; 0 when none found
  double phase = 0.0;              // frame position of the beat nearest frame 0
  std::vector<double> beatFrames;  // the beats within the recording, rising
};

class BeatGridEstimator {
 public:
  // `framesPerSecond` envelope frames per second; tempi are searched within
  // [minBpm, maxBpm].
  explicit BeatGridEstimator(double framesPerSecond, double minBpm = 60.0, double maxBpm = 180.0);

  // Rise of the log-compressed energy from frame to frame, 0 where it falls.
  static std::vector<float> onsetStrength(const std::vector<float>& energy);

  // The beat period in frames from the autocorrelation of `onset`, with sub-
  // frame precision; 0 when the recording shows no periodicity in range.
  // Between two candidates an octave apart the faster one wins when its
  // evidence is nearly as strong.
  double coarsePeriod(const std::vector<float>& onset) const;

  // Refines `period` and finds the phase: the onset strength is folded onto
  // the period chunk by chunk, and the drift of the chunk phases over the
  // recording corrects the period. Leaves both unchanged for a recording
  // without onsets.
  void refine(const std::vector<float>& onset, double& period, double& phase) const;

  // The whole estimate over an envelope of `energy` values. Beats start half
  // a period before the first frame holding sound (so leading silence gets
  // none; a beat up to two frames before frame 0 belongs to a sound at the
  // very start) and stop at the end of the envelope.
  BeatGrid estimate(const std::vector<float>& energy) const;

  // Which beat of the bar (0 .. beatsPerBar-1, counted from the first grid
  // beat) carries the strongest attacks (energy rises) on average; a later
  // one must beat an earlier one by a clear margin.
  static int barPhase(const std::vector<float>& energy, const std::vector<double>& beatFrames,
                      int beatsPerBar);

 private:
  double lagOf(double bpm) const { return fps * 60.0 / bpm; }

  double fps;
  double minBpm;
  double maxBpm;
};
