#pragma once
// Single-precision spreads of the sync analysis's frames, each with a bound
// on how far it lies from the double-precision spread that the exact
// spectra give. A spread is the standard deviation of a frame's bin
// magnitudes, which moves by at most the root mean square of the
// magnitudes' errors; those are bounded by the transform's error, below
// 1e-5 of the frame's energy norm for a 2048-point single-precision FFT
// (about 1e-6 in practice), plus the rounding of the window and the input
// to single precision.
//
// A frame can also be had without a transform of its own, from the spectra
// of its neighbours (see MidFrameBound): a fraction of the work, with a
// bound over a hundred times wider, which still tells most frames of a
// loud stretch from the quiet ones.

#include <cstdint>
#include <vector>

#include "FftPackage.h"
#include "FrameCutter.h"
#include "MidFrameBound.h"

struct RoughSpread {
  double value = 0.0;
  double bound = 0.0;  // the largest distance to the exact spread
  double norm = 0.0;   // the frame's energy norm, as the spectrum gives it
};

class RoughSpreads {
 public:
  // Frames as MidFrameBound takes them (which throws for others).
  RoughSpreads(const std::int16_t* samples, int sampleCount, int frameLength, int hop);

  int bins() const { return length_ / 2; }

  // Frame t through its own transform; its packed half spectrum is then at
  // spectrum() until the next call.
  RoughSpread transformed(int t) { return transformed(t, buffer_.data()); }
  const float* spectrum() const { return buffer_.data(); }

  // The same, the spectrum going to out[0 .. frameLength-1] instead.
  RoughSpread transformed(int t, float* out);

  // Frame t from the packed spectra of its neighbours t-3, t-1, t+1, t+3
  // (MidFrameBound's order) as transformed() gave them, with their spreads
  // (t >= 3).
  RoughSpread between(int t, const float* const* spectra, const RoughSpread* spreads);

 private:
  RoughSpread fromSpectrum(const float* packed) const;

  int length_;
  FrameCutter<float> frames_;
  MidFrameBound mid_;
  Fft::WorkArrays<float> work_;
  std::vector<float> buffer_;
  std::vector<float> mixed_;
  // The weighted turns by one and by three hops, 2 pi k hop / length for
  // bin k and three times that, over one period, laid out as NeighbourTurns
  // wants them.
  std::vector<float> cos1_, sin1_, cos3_, sin3_;
};
