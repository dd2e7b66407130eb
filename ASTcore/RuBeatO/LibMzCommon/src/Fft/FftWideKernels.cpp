// The FFT kernels compiled once more for AVX2. Every header the kernels
// use is included before the target switch: an inline function first seen
// inside it would be compiled for AVX2 and could be the copy the linker
// keeps for the whole program, which a CPU without AVX2 cannot run.
//
// The target list names AVX2 only, not FMA: with fused multiply-adds the
// compiler could join a product and a sum into one rounding, and the
// results would no longer be those of the baseline kernels.

#include "FftWideKernels.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "FftPackage.h"

#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__)) && !defined(__AVX2__)
#define FFT_WIDE_KERNELS 1
#pragma GCC push_options
#pragma GCC target("avx2")
#define FFT_WIDEST_VECTOR 32
#define FFT_ALTERNATING_ADD_SUB 1
#else
// A compiler without GCC's target pragmas (clang), another CPU family, or a build that
// targets AVX2 everywhere already: the baseline kernels serve alone, and
// this compilation only keeps the link whole.
#define FFT_WIDE_KERNELS 0
#endif
#define FFT_INSTRUCTION_SET avx2
#include "FftKernels.h"

namespace Fft {
namespace wide {

template <typename Real, Variant V>
void fftComplexForward(int n, Real* a, int* ip, int nw, const Real* w) {
  detail::Core<Real, V>::fftComplexForward(n, a, ip, nw, w);
}
template <typename Real, Variant V>
void fftComplexBackward(int n, Real* a, int* ip, int nw, const Real* w) {
  detail::Core<Real, V>::fftComplexBackward(n, a, ip, nw, w);
}
template <typename Real, Variant V>
void fftRealPostForward(int n, Real* a, int nc, const Real* c) {
  detail::Core<Real, V>::fftRealPostForward(n, a, nc, c);
}
template <typename Real, Variant V>
void fftRealPreBackward(int n, Real* a, int nc, const Real* c) {
  detail::Core<Real, V>::fftRealPreBackward(n, a, nc, c);
}

#define FFT_WIDE_INSTANCE(Real, V)                                                  \
  template void fftComplexForward<Real, V>(int, Real*, int*, int, const Real*);  \
  template void fftComplexBackward<Real, V>(int, Real*, int*, int, const Real*); \
  template void fftRealPostForward<Real, V>(int, Real*, int, const Real*);       \
  template void fftRealPreBackward<Real, V>(int, Real*, int, const Real*);

FFT_WIDE_INSTANCE(float, Variant::Current)
FFT_WIDE_INSTANCE(double, Variant::Current)
FFT_WIDE_INSTANCE(double, Variant::Earlier)

#undef FFT_WIDE_INSTANCE

template <typename From, typename To>
void convertValues(int n, const From* from, To* to) {
  detail::convertValues(n, from, to);
}
template void convertValues<float, double>(int, const float*, double*);
template void convertValues<double, float>(int, const double*, float*);

}  // namespace wide
}  // namespace Fft

#if FFT_WIDE_KERNELS
#pragma GCC pop_options
#endif

namespace Fft {
namespace wide {

bool available() {
#if FFT_WIDE_KERNELS
  // Reads what the runtime found out about the CPU at start-up.
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace wide
}  // namespace Fft
