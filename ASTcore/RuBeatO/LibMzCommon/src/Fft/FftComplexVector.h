// Complex values of the FFT package held in the compiler's generic vector
// types, so that each butterfly does its additions and multiplications on
// several parts with one instruction: a Pack<Real, N> holds N consecutive
// complex values (real part, imaginary part, real part, ...), exactly as
// they lie in the data array.
//
// Every helper performs exactly the IEEE operations of the scalar formula it
// stands for, only side by side: x - y is computed as x + (-y), and a
// product with a negated factor as the negated product, both of which are
// exact. The transforms therefore give the same bits as scalar code.
//
// Generic vectors rather than a target's intrinsics: any x86-64 gets SSE2
// code, and other targets whatever the compiler makes of them. The kernels
// are compiled a second time for AVX2 (FftWideKernels.cpp), where two
// complex doubles or four complex floats share one 32-byte vector;
// FFT_INSTRUCTION_SET names the namespace of each compilation so that the
// two never meet at link time. Moving values between lanes (transposes,
// lane choices) is written as shuffles with constant indices,
// which the compiler turns into the target's own shuffles.

#pragma once

#include <cstring>

#ifndef FFT_INSTRUCTION_SET
#define FFT_INSTRUCTION_SET baseline
#endif

namespace Fft {
namespace detail {
inline namespace FFT_INSTRUCTION_SET {

#if defined(__GNUC__)
#define FFT_ALWAYS_INLINE inline __attribute__((always_inline))
#define FFT_LAMBDA_ALWAYS_INLINE __attribute__((always_inline))
#else
#define FFT_ALWAYS_INLINE inline
#define FFT_LAMBDA_ALWAYS_INLINE
#endif

// GCC takes the lane indices of a shuffle as a vector (__builtin_shuffle);
// clang only has __builtin_shufflevector with the indices as separate
// constants. Under clang the same choice of lanes is made lane by lane,
// which with constant indices it compiles to a shuffle of its own.
#if defined(__clang__)
template <typename V, typename I>
FFT_ALWAYS_INLINE V shuffleLanes(V a, I m) {
  constexpr int n = sizeof(V) / sizeof(a[0]);
  V r = a;
  for (int i = 0; i < n; ++i) r[i] = a[m[i] & (n - 1)];
  return r;
}
template <typename V, typename I>
FFT_ALWAYS_INLINE V shuffleLanes(V a, V b, I m) {
  constexpr int n = sizeof(V) / sizeof(a[0]);
  V r = a;
  for (int i = 0; i < n; ++i) {
    const int k = static_cast<int>(m[i] & (2 * n - 1));
    r[i] = k < n ? a[k] : b[k - n];
  }
  return r;
}
#define FFT_SHUFFLE(...) ::Fft::detail::shuffleLanes(__VA_ARGS__)
#else
#define FFT_SHUFFLE(...) __builtin_shuffle(__VA_ARGS__)
#endif

template <typename Real, int N>
struct VectorOf;

template <>
struct VectorOf<double, 1> {
  typedef double Type __attribute__((vector_size(16)));
};
template <>
struct VectorOf<float, 1> {
  typedef float Type __attribute__((vector_size(8)));
};
template <>
struct VectorOf<float, 2> {
  typedef float Type __attribute__((vector_size(16)));
};
template <>
struct VectorOf<double, 2> {
  typedef double Type __attribute__((vector_size(32)));
};
template <>
struct VectorOf<float, 4> {
  typedef float Type __attribute__((vector_size(32)));
};

// Lane indices for __builtin_shuffle over a vector of Real.
template <typename Real, int N>
struct IndexOf;
template <>
struct IndexOf<float, 1> {
  typedef int Type __attribute__((vector_size(8)));
};
template <>
struct IndexOf<float, 2> {
  typedef int Type __attribute__((vector_size(16)));
};
template <>
struct IndexOf<float, 4> {
  typedef int Type __attribute__((vector_size(32)));
};
template <>
struct IndexOf<double, 1> {
  typedef long long Type __attribute__((vector_size(16)));
};
template <>
struct IndexOf<double, 2> {
  typedef long long Type __attribute__((vector_size(32)));
};

// Two complex values share one vector only where it fits the registers: a
// vector wider than them, split by the compiler, costs more than it saves.
// Without AVX two complex doubles are two vectors.
// The AVX2 compilation sets FFT_WIDEST_VECTOR itself: a target switched
// on inside a file does not show in the preprocessor's __AVX__.
#ifndef FFT_WIDEST_VECTOR
#if defined(__AVX__)
#define FFT_WIDEST_VECTOR 32
#else
#define FFT_WIDEST_VECTOR 16
#endif
#endif
constexpr int kWidestVector = FFT_WIDEST_VECTOR;
// Whether the target has the alternating subtract/add of SSE3 and AVX
// (addsubpd, addsubps). The AVX2 compilation sets FFT_ALTERNATING_ADD_SUB
// itself, for the reason above.
#ifndef FFT_ALTERNATING_ADD_SUB
#if defined(__SSE3__)
#define FFT_ALTERNATING_ADD_SUB 1
#else
#define FFT_ALTERNATING_ADD_SUB 0
#endif
#endif
constexpr bool kAlternatingAddSub = FFT_ALTERNATING_ADD_SUB;
template <typename Real>
constexpr bool kPairInOneVector = sizeof(Real) * 4 <= kWidestVector;
// As many complex values as the widest vector holds: four floats' worth
// with AVX2, two without; two doubles' worth with AVX2, one without.
template <typename Real>
constexpr int kComplexesPerVector = kWidestVector / static_cast<int>(2 * sizeof(Real));

template <typename Real, int N>
struct Pack {
  using R = Real;
  using V = typename VectorOf<Real, N>::Type;
  static constexpr int kComplexes = N;

  // The N complex values from a[0] on; no alignment is needed.
  static FFT_ALWAYS_INLINE V load(const Real* a) {
    V v;
    std::memcpy(&v, a, sizeof v);
    return v;
  }
  static FFT_ALWAYS_INLINE void store(Real* a, V v) { std::memcpy(a, &v, sizeof v); }

  static FFT_ALWAYS_INLINE V make(Real x0, Real x1, Real x2, Real x3) { return V{x0, x1, x2, x3}; }

  // (re, im) repeated over every complex value.
  static FFT_ALWAYS_INLINE V repeat(Real re, Real im) {
    if constexpr (N == 1) {
      return V{re, im};
    } else if constexpr (N == 4) {
      return V{re, im, re, im, re, im, re, im};
    } else {
      return make(re, im, re, im);
    }
  }
  // Lane pair k from (re_k, im_k).
  static FFT_ALWAYS_INLINE V lanes(Real re0, Real im0, Real re1, Real im1) {
    static_assert(N <= 2, "two complex values fill two lanes only");
    if constexpr (N == 1) {
      (void)re1;
      (void)im1;
      return V{re0, im0};
    } else {
      return make(re0, im0, re1, im1);
    }
  }
  // (im, re) of every complex value.
  static FFT_ALWAYS_INLINE V swapped(V v) {
    if constexpr (N == 1) {
      return V{v[1], v[0]};
    } else if constexpr (N == 4) {
      return FFT_SHUFFLE(v, typename IndexOf<Real, N>::Type{1, 0, 3, 2, 5, 4, 7, 6});
    } else {
      return make(v[1], v[0], v[3], v[2]);
    }
  }
  // The complex values in reverse order.
  static FFT_ALWAYS_INLINE V reversed(V v) {
    if constexpr (N == 1) {
      return v;
    } else if constexpr (N == 4) {
      return FFT_SHUFFLE(v, typename IndexOf<Real, N>::Type{6, 7, 4, 5, 2, 3, 0, 1});
    } else {
      return make(v[2], v[3], v[0], v[1]);
    }
  }
  // (re, -im)
  static FFT_ALWAYS_INLINE V conjugated(V v) { return v * repeat(1, -1); }

  // N = 2: complex value k of x, or of y where Bk is set.
  template <bool B0, bool B1>
  static FFT_ALWAYS_INLINE V select(V x, V y) {
    using I = typename IndexOf<Real, N>::Type;
    return FFT_SHUFFLE(x, y, I{B0 ? 4 : 0, B0 ? 5 : 1, B1 ? 6 : 2, B1 ? 7 : 3});
  }
  // Complex value 0 of x, the others of y (N = 2 or 4).
  static FFT_ALWAYS_INLINE V firstThenSecond(V x, V y) {
    if constexpr (N == 2) {
      return select<false, true>(x, y);
    } else {
      return select<false, true, true, true>(x, y);
    }
  }
  // The even complex values of x, the odd ones of y (N = 2 or 4).
  static FFT_ALWAYS_INLINE V oddFromSecond(V x, V y) {
    if constexpr (N == 2) {
      return select<false, true>(x, y);
    } else {
      return select<false, true, false, true>(x, y);
    }
  }
  // N = 4: complex value k of x, or of y where Bk is set.
  template <bool B0, bool B1, bool B2, bool B3>
  static FFT_ALWAYS_INLINE V select(V x, V y) {
    using I = typename IndexOf<Real, N>::Type;
    return FFT_SHUFFLE(x, y, I{B0 ? 8 : 0, B0 ? 9 : 1, B1 ? 10 : 2, B1 ? 11 : 3, B2 ? 12 : 4, B2 ? 13 : 5,
                                      B3 ? 14 : 6, B3 ? 15 : 7});
  }
  // N = 4: the four complex values (re_k, im_k).
  static FFT_ALWAYS_INLINE V fromLanes(Real r0, Real i0, Real r1, Real i1, Real r2, Real i2, Real r3, Real i3) {
    return V{r0, i0, r1, i1, r2, i2, r3, i3};
  }

  // Treats x[0 .. N-1] as the rows of an N by N matrix of complex values
  // and transposes it: afterwards x[r] holds complex value r of every
  // former row. Only moves values.
  static FFT_ALWAYS_INLINE void transpose(V (&x)[N]) {
    using I = typename IndexOf<Real, N>::Type;
    if constexpr (N == 2) {
      const V lo = FFT_SHUFFLE(x[0], x[1], I{0, 1, 4, 5});
      const V hi = FFT_SHUFFLE(x[0], x[1], I{2, 3, 6, 7});
      x[0] = lo;
      x[1] = hi;
    } else if constexpr (N == 4) {
      // Pairs of complex values within each half first, then the halves.
      const V t0 = FFT_SHUFFLE(x[0], x[1], I{0, 1, 8, 9, 4, 5, 12, 13});
      const V t1 = FFT_SHUFFLE(x[0], x[1], I{2, 3, 10, 11, 6, 7, 14, 15});
      const V t2 = FFT_SHUFFLE(x[2], x[3], I{0, 1, 8, 9, 4, 5, 12, 13});
      const V t3 = FFT_SHUFFLE(x[2], x[3], I{2, 3, 10, 11, 6, 7, 14, 15});
      x[0] = FFT_SHUFFLE(t0, t2, I{0, 1, 2, 3, 8, 9, 10, 11});
      x[1] = FFT_SHUFFLE(t1, t3, I{0, 1, 2, 3, 8, 9, 10, 11});
      x[2] = FFT_SHUFFLE(t0, t2, I{4, 5, 6, 7, 12, 13, 14, 15});
      x[3] = FFT_SHUFFLE(t1, t3, I{4, 5, 6, 7, 12, 13, 14, 15});
    } else {
      (void)x;
    }
  }
  // x + i y = (xr - yi, xi + yr)
  static FFT_ALWAYS_INLINE V plusI(V x, V y) { return subtractRealAddImaginary(x, swapped(y)); }
  // (xr - yr, xi + yi). Where the target subtracts and adds alternate
  // lanes in one instruction, xr - yr is that subtraction, the same value
  // as xr + (-yr).
  static FFT_ALWAYS_INLINE V subtractRealAddImaginary(V x, V y) {
    if constexpr (kAlternatingAddSub && sizeof(V) >= 16) {
      return evenThenOdd(x - y, x + y);
    } else {
      return x + y * repeat(-1, 1);
    }
  }
  // The even lanes (real parts) of x, the odd ones (imaginary parts) of y:
  // written so that the compiler makes one alternating subtract/add of a
  // difference and a sum.
  static FFT_ALWAYS_INLINE V evenThenOdd(V x, V y) {
    using I = typename IndexOf<Real, N>::Type;
    if constexpr (N == 1) {
      return FFT_SHUFFLE(x, y, I{0, 3});
    } else if constexpr (N == 2) {
      return FFT_SHUFFLE(x, y, I{0, 5, 2, 7});
    } else {
      return FFT_SHUFFLE(x, y, I{0, 9, 2, 11, 4, 13, 6, 15});
    }
  }
  // x - i y = (xr + yi, xi - yr)
  static FFT_ALWAYS_INLINE V minusI(V x, V y) { return x + swapped(y) * repeat(1, -1); }

  // Twiddle factors held ready for products: (wr, wr) per complex value,
  // and the sine as the product's second term takes it. Where the target
  // subtracts and adds alternate lanes in one instruction that is (wi, wi):
  // the subtraction gives wr yr - wi yi itself, and no table entry needs
  // its sign flipped first. Elsewhere it is (-wi, wi), for a plain sum.
  // Both give every part the same value: x - y equals x + (-y).
  static constexpr bool kSubtractAddProducts = kAlternatingAddSub && sizeof(V) >= 16;
  struct Twiddle {
    V re;
    V im;
  };
  // The sine part of a twiddle from (wi, wi) per complex value.
  static FFT_ALWAYS_INLINE V sines(V s) {
    if constexpr (kSubtractAddProducts) {
      return s;
    } else {
      return s * repeat(-1, 1);
    }
  }
  // The sine part from (-wi, wi) per complex value.
  static FFT_ALWAYS_INLINE V signedSines(V s) {
    if constexpr (kSubtractAddProducts) {
      return s * repeat(-1, 1);
    } else {
      return s;
    }
  }
  static FFT_ALWAYS_INLINE Twiddle twiddle(Real wr, Real wi) {
    if constexpr (kSubtractAddProducts) {
      return Twiddle{repeat(wr, wr), repeat(wi, wi)};
    } else {
      return Twiddle{repeat(wr, wr), repeat(-wi, wi)};
    }
  }
  // Complex value 0 times (wr0, wi0), complex value 1 times (wr1, wi1).
  static FFT_ALWAYS_INLINE Twiddle twiddles(Real wr0, Real wi0, Real wr1, Real wi1) {
    if constexpr (kSubtractAddProducts) {
      return Twiddle{lanes(wr0, wr0, wr1, wr1), lanes(wi0, wi0, wi1, wi1)};
    } else {
      return Twiddle{lanes(wr0, wr0, wr1, wr1), lanes(-wi0, wi0, -wi1, wi1)};
    }
  }
  // w y = (wr yr - wi yi, wr yi + wi yr)
  static FFT_ALWAYS_INLINE V times(const Twiddle& w, V y) {
    if constexpr (kSubtractAddProducts) {
      return subtractRealAddImaginary(w.re * y, w.im * swapped(y));
    } else {
      return w.re * y + w.im * swapped(y);
    }
  }
};


}  // namespace FFT_INSTRUCTION_SET
}  // namespace detail
}  // namespace Fft
