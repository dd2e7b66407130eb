#pragma once
// The sums behind a single-precision spread of a frame's magnitudes: over
// the bins of a real FFT's packed half spectrum, the sum of the magnitudes
// and the sum of their squares, in double precision. Used where a spread
// is only an estimate with an error bound, so the order of the additions is
// free: with AVX2 the sums take eight bins a step, elsewhere four.

struct MagnitudeSums {
  double sum = 0.0;
  double squares = 0.0;
};

// `packed` holds re, im of bins 0 .. bins-1 (bin 0: the DC and Nyquist
// terms); a magnitude is the single-precision root of re^2 + im^2.
MagnitudeSums magnitudeSums(const float* packed, int bins);
