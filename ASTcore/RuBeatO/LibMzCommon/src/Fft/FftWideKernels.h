// The FFT kernels compiled for AVX2, beside the baseline ones every x86-64
// runs: the same operations on the same values, two complex doubles or four
// complex floats per 32-byte vector. Called only through FftKernelChoice.h, which asks the CPU
// first.

#pragma once

#include "FftPackage.h"

namespace Fft {
namespace wide {

// True where the CPU, and the system for its registers, offer AVX2.
bool available();

// The complex transforms and the real post- and pre-processing, as the
// baseline kernels of the same names.
template <typename Real, Variant V>
void fftComplexForward(int n, Real* a, int* ip, int nw, const Real* w);
template <typename Real, Variant V>
void fftComplexBackward(int n, Real* a, int* ip, int nw, const Real* w);
template <typename Real, Variant V>
void fftRealPostForward(int n, Real* a, int nc, const Real* c);
template <typename Real, Variant V>
void fftRealPreBackward(int n, Real* a, int nc, const Real* c);

// The value conversions around a transform, as the baseline ones.
template <typename From, typename To>
void convertValues(int n, const From* from, To* to);

}  // namespace wide
}  // namespace Fft
