// The kernels a transform runs: the AVX2 compilation where the CPU has it,
// the baseline one elsewhere. Both give the same bits; only the time
// differs.

#pragma once

#include "FftKernels.h"
#include "FftWideKernels.h"

namespace Fft {
namespace detail {

template <typename Real, Variant V>
struct Kernels {
  using Baseline = Core<Real, V>;

  static void fftComplexForward(int n, Real* a, int* ip, int nw, const Real* w) {
    if (wide::available()) {
      wide::fftComplexForward<Real, V>(n, a, ip, nw, w);
    } else {
      Baseline::fftComplexForward(n, a, ip, nw, w);
    }
  }
  static void fftComplexBackward(int n, Real* a, int* ip, int nw, const Real* w) {
    if (wide::available()) {
      wide::fftComplexBackward<Real, V>(n, a, ip, nw, w);
    } else {
      Baseline::fftComplexBackward(n, a, ip, nw, w);
    }
  }
  static void fftRealPostForward(int n, Real* a, int nc, const Real* c) {
    if (wide::available()) {
      wide::fftRealPostForward<Real, V>(n, a, nc, c);
    } else {
      Baseline::fftRealPostForward(n, a, nc, c);
    }
  }
  static void fftRealPreBackward(int n, Real* a, int nc, const Real* c) {
    if (wide::available()) {
      wide::fftRealPreBackward<Real, V>(n, a, nc, c);
    } else {
      Baseline::fftRealPreBackward(n, a, nc, c);
    }
  }
};

template <typename From, typename To>
void convertValuesChosen(int n, const From* from, To* to) {
  if (wide::available()) {
    wide::convertValues(n, from, to);
  } else {
    baseline::convertValues(n, from, to);
  }
}

}  // namespace detail
}  // namespace Fft
