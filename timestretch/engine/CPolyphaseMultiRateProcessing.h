#pragma once
// Integer-factor sample-rate change of a mono float stream: a decimator
// low-pass filters and keeps one sample in `factor`; an interpolator raises the
// rate by `factor` through the polyphase form of the same low-pass. The
// time-stretch engine runs its low band at 11025 Hz through one decimator and,
// after synthesis, one interpolator per channel; as both filters are the same
// linear-phase low-pass, their combined delay is twice GetDelay().
//
// Each object keeps its own delay line, so a stream may be fed in successive
// blocks. The coefficient tables are constant and shared by all objects.

#include <cstdint>

class CPolyphaseMultiRateProcessing {
 public:
  static constexpr int kDecimate = 1;
  static constexpr int kInterpolate = 2;
  // Room of the delay line and the coefficient array.
  static constexpr int kMaxTaps = 200;

  // Thrown for a mode, factor and rate that have no filter table.
  static constexpr int kRefused = -2;

  // mode 1 decimates, 2 interpolates; factor 2, 4 or 8; sampleRate is the
  // higher of the two rates (11025, 22050 or 44100 Hz). Throws the int -1
  // when an allocation fails and kRefused for a combination without a
  // table (interpolating by 4 at 11025 Hz, factor 1, other rates).
  CPolyphaseMultiRateProcessing(int mode, int factor, double sampleRate);
  virtual ~CPolyphaseMultiRateProcessing();
  CPolyphaseMultiRateProcessing(const CPolyphaseMultiRateProcessing&) = delete;
  CPolyphaseMultiRateProcessing& operator=(const CPolyphaseMultiRateProcessing&) = delete;

  // Filters and down-samples `count` samples into count / factor outputs and
  // stores their number in *outCount. The count % factor samples left at the
  // end are dropped, not carried to the next call. `out` holds at least
  // count / factor floats.
  void Decimate(int count, const float* in, float* out, std::int64_t* outCount);
  // Up-samples and filters `count` samples into factor * count outputs and
  // stores their number in *outCount. `out` holds at least factor * count
  // floats.
  void Interpolate(int count, const float* in, float* out, std::int64_t* outCount);

  int GetFactor() const { return factor; }
  // Group delay of one filter in samples of the higher rate: taps / 2 - 1.
  int GetDelay() const { return taps / 2 - 1; }

 private:
  bool HasTable() const { return taps < kMaxTaps; }

  // Room the delay line walks down through before it is moved back up:
  // one move per this many samples instead of a shift per sample.
  static constexpr int kHistory = kMaxTaps + 4096;

  // Makes room for `incoming` more samples in front of the delay line.
  void makeRoom(int incoming);

  // Groups of `factor` input samples a decimator takes in one piece.
  static constexpr int kPieceGroups = 256;

  // The decimator's sums over one piece of `groups` groups, whose samples
  // are in `phases` (see below); writes one output per group.
  void decimatePiece(int groups, float* out) const;

  // The delay line is delayLine[head .. head + kMaxTaps), newest sample
  // first; new samples go in below head.
  double* delayLine = nullptr;
  // A decimator's input split by phase: sample g * factor + r of a piece
  // at phases[r * phaseStride + history + g], after the last `history`
  // groups of the piece before (zeros at the start). Tap k of the output
  // of group g reads phases[tapOffsets[k] + g], so that the outputs of
  // neighbouring groups read neighbouring values.
  double* phases = nullptr;
  int* tapOffsets = nullptr;
  int phaseStride = 0;
  int history = 0;
  int head = kHistory - kMaxTaps;
  int factor;
  double* coefficients = nullptr;
  // Coefficients per polyphase branch; only set for interpolation.
  int phaseLength = 0;
  int taps = kMaxTaps;
};
