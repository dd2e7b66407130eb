// Inner workings of the FFT package: the split-radix complex core, its
// twiddle and bit-reversal tables and the real pre- and post-processing.
//
// Included only by FftPackage.cpp, which instantiates it for the package's
// three instances. Nothing here checks an argument: the checked entry points
// of FftPackage.h do that once per call.
//
// Conventions used throughout:
// - A block of n Real values holds n/2 complex values as (re, im) pairs.
// - A "kind 1" block of P complex values computes the DFT with positive
//   exponent, X[k] = sum x[j] exp(+2 pi i jk/P), and leaves X[k] at the
//   bit-reversed position of k.
// - A "kind 2" block carries a pending half-step twiddle: it computes
//   Y[r] = sum x[j] exp(+2 pi i j(2r+1)/(2P)), again in bit-reversed order.
// - A radix-4 stage on a block splits it into four quarters; a kind 1 block
//   yields quarters of kinds (1, 2, 1, 1), a kind 2 block (1, 2, 1, 2).
// - Twiddle tables: w[0 .. nw-1] holds one table per transform size, the
//   largest first; the table of L entries sits at w[nw - 2L]. Entry k of a
//   table of L entries (k = 4, 8, ...) holds cos(k d), sin(k d), cos(3k d)
//   and the 3k sine with d = (pi/4)/L; entries 2 and 3 hold 0.5/cos(2d) and
//   0.5/cos(6d), except that the current variant's 4-entry table holds
//   cos(2d) and sin(2d) there. The variants store the 3k sine with opposite
//   signs; the accessors below hide that.

#pragma once

#include <cmath>
#include <cstring>
#include <utility>

#include "FftComplexVector.h"
#include "FftPackage.h"

namespace Fft {
namespace detail {
inline namespace FFT_INSTRUCTION_SET {

// Reads the table of the given variant.
template <typename Real, Variant V>
struct Table {
  // sin(3k d) of table entry k, whichever sign the variant stores.
  static Real sin3(const Real* w, int k) { return V == Variant::Current ? -w[k + 3] : w[k + 3]; }
  // cos(pi/8) and sin(pi/8) from the 4-entry table at the tail.
  static void eighth(const Real* w, Real& c, Real& s) {
    if (V == Variant::Current) {
      c = w[2];
      s = w[3];
    } else {
      // The earlier variant keeps 0.5/cos(pi/8) there: sin(pi/8) equals
      // cos(pi/4) times that, and cos(pi/8) the sum of both.
      s = w[1] * w[2];
      c = s + w[2];
    }
  }
};

// ---- Radix-4 butterflies -------------------------------------------------
// j is the Real index of the first value, m the Real offset of a quarter.
// P is the Pack the butterfly works on: Pack<Real, 1> does one butterfly,
// Pack<Real, 2> two neighbouring ones (at j and j + 2) side by side. With
// Conj set the inputs are read conjugated (backward first stage).

template <typename Real>
using One = Pack<Real, 1>;
template <typename Real>
using Two = Pack<Real, kPairInOneVector<Real> ? 2 : 1>;

template <bool Conj, typename P>
FFT_ALWAYS_INLINE typename P::V conjugatedIf(typename P::V v) {
  return Conj ? P::conjugated(v) : v;
}

template <bool Conj = false, typename Real>
FFT_ALWAYS_INLINE void butterfly1NoTwiddle(Real* a, int j, int m) {
  using P = One<Real>;
  using V = typename P::V;
  const int j1 = j + m, j2 = j1 + m, j3 = j2 + m;
  const V a0 = P::load(a + j), a1 = P::load(a + j1), a2 = P::load(a + j2), a3 = P::load(a + j3);
  const V x0 = conjugatedIf<Conj, P>(a0 + a2);
  const V x1 = conjugatedIf<Conj, P>(a0 - a2);
  const V x2 = conjugatedIf<Conj, P>(a1 + a3);
  const V x3 = conjugatedIf<Conj, P>(a1 - a3);
  P::store(a + j, x0 + x2);
  P::store(a + j1, x0 - x2);
  P::store(a + j2, P::plusI(x1, x3));
  P::store(a + j3, P::minusI(x1, x3));
}

// Kind 1 step: quarters 2 and 3 are multiplied by w1 and w3. The step
// on quarters held in registers, then the one on the array.
template <bool Conj, typename P>
FFT_ALWAYS_INLINE void kind1Step(typename P::V (&q)[4], const typename P::Twiddle& w1,
                                 const typename P::Twiddle& w3) {
  using V = typename P::V;
  const V x0 = conjugatedIf<Conj, P>(q[0] + q[2]);
  const V x1 = conjugatedIf<Conj, P>(q[0] - q[2]);
  const V x2 = conjugatedIf<Conj, P>(q[1] + q[3]);
  const V x3 = conjugatedIf<Conj, P>(q[1] - q[3]);
  q[0] = x0 + x2;
  q[1] = x0 - x2;
  q[2] = P::times(w1, P::plusI(x1, x3));
  q[3] = P::times(w3, P::minusI(x1, x3));
}

template <bool Conj, typename P>
FFT_ALWAYS_INLINE void butterfly1(typename P::R* a, int j, int m, const typename P::Twiddle& w1,
                                  const typename P::Twiddle& w3) {
  typename P::V q[4] = {P::load(a + j), P::load(a + j + m), P::load(a + j + 2 * m), P::load(a + j + 3 * m)};
  kind1Step<Conj, P>(q, w1, w3);
  for (int i = 0; i < 4; ++i) P::store(a + j + i * m, q[i]);
}

template <bool Conj = false, typename Real>
FFT_ALWAYS_INLINE void butterfly1(Real* a, int j, int m, Real w1r, Real w1i, Real w3r, Real w3i) {
  using P = One<Real>;
  butterfly1<Conj, P>(a, j, m, P::twiddle(w1r, w1i), P::twiddle(w3r, w3i));
}

// Kind 1 steps at j (twiddles w1a, w3a) and j + 2 (w1b, w3b).
template <bool Conj, typename Real>
FFT_ALWAYS_INLINE void butterfly1Pair(Real* a, int j, int m, Real w1ar, Real w1ai, Real w1br, Real w1bi, Real w3ar,
                                      Real w3ai, Real w3br, Real w3bi) {
  if constexpr (kPairInOneVector<Real>) {
    using P = Two<Real>;
    butterfly1<Conj, P>(a, j, m, P::twiddles(w1ar, w1ai, w1br, w1bi), P::twiddles(w3ar, w3ai, w3br, w3bi));
  } else {
    butterfly1<Conj>(a, j, m, w1ar, w1ai, w3ar, w3ai);
    butterfly1<Conj>(a, j + 2, m, w1br, w1bi, w3br, w3bi);
  }
}

// Kind 2 step: with d0..d3 the quarters, (d0 + i d2) wa and (d1 + i d3) wb
// give quarters 0 and 1 as sum and difference, (d0 - i d2) wc and
// (d1 - i d3) wd give quarters 2 and 3.
template <typename P>
FFT_ALWAYS_INLINE void kind2Step(typename P::V (&q)[4], const typename P::Twiddle& wa,
                                 const typename P::Twiddle& wb, const typename P::Twiddle& wc,
                                 const typename P::Twiddle& wd) {
  using V = typename P::V;
  const V x0 = P::plusI(q[0], q[2]), x1 = P::minusI(q[0], q[2]);
  const V x2 = P::plusI(q[1], q[3]), x3 = P::minusI(q[1], q[3]);
  V y0 = P::times(wa, x0);
  V y2 = P::times(wb, x2);
  q[0] = y0 + y2;
  q[1] = y0 - y2;
  y0 = P::times(wc, x1);
  y2 = P::times(wd, x3);
  q[2] = y0 + y2;
  q[3] = y0 - y2;
}

template <typename P>
FFT_ALWAYS_INLINE void butterfly2(typename P::R* a, int j, int m, const typename P::Twiddle& wa,
                                  const typename P::Twiddle& wb, const typename P::Twiddle& wc,
                                  const typename P::Twiddle& wd) {
  typename P::V q[4] = {P::load(a + j), P::load(a + j + m), P::load(a + j + 2 * m), P::load(a + j + 3 * m)};
  kind2Step<P>(q, wa, wb, wc, wd);
  for (int i = 0; i < 4; ++i) P::store(a + j + i * m, q[i]);
}

template <typename Real>
FFT_ALWAYS_INLINE void butterfly2(Real* a, int j, int m, Real war, Real wai, Real wbr, Real wbi, Real wcr, Real wci,
                                  Real wdr, Real wdi) {
  using P = One<Real>;
  butterfly2<P>(a, j, m, P::twiddle(war, wai), P::twiddle(wbr, wbi), P::twiddle(wcr, wci), P::twiddle(wdr, wdi));
}

// Kind 2 steps at j (twiddles wXa) and j + 2 (wXb).
template <typename Real>
FFT_ALWAYS_INLINE void butterfly2Pair(Real* a, int j, int m, Real war, Real wai, Real wbr, Real wbi, Real wcr,
                                      Real wci, Real wdr, Real wdi, Real war2, Real wai2, Real wbr2, Real wbi2,
                                      Real wcr2, Real wci2, Real wdr2, Real wdi2) {
  if constexpr (kPairInOneVector<Real>) {
    using P = Two<Real>;
    butterfly2<P>(a, j, m, P::twiddles(war, wai, war2, wai2), P::twiddles(wbr, wbi, wbr2, wbi2),
                  P::twiddles(wcr, wci, wcr2, wci2), P::twiddles(wdr, wdi, wdr2, wdi2));
  } else {
    butterfly2(a, j, m, war, wai, wbr, wbi, wcr, wci, wdr, wdi);
    butterfly2(a, j + 2, m, war2, wai2, wbr2, wbi2, wcr2, wci2, wdr2, wdi2);
  }
}

// Kind 2 step at index 0, where wa = wc = 1, wb = exp(i pi/4) and
// wd = exp(3i pi/4).
template <typename Real>
FFT_ALWAYS_INLINE void butterfly2First(Real* a, int j, int m, Real wn4r) {
  using P = One<Real>;
  using V = typename P::V;
  const int j1 = j + m, j2 = j1 + m, j3 = j2 + m;
  const V a0 = P::load(a + j), a1 = P::load(a + j1), a2 = P::load(a + j2), a3 = P::load(a + j3);
  const V x0 = P::plusI(a0, a2), x1 = P::minusI(a0, a2);
  const V x2 = P::plusI(a1, a3), x3 = P::minusI(a1, a3);
  const V scale = P::repeat(wn4r, wn4r);
  // (re - im, im + re) scaled: x exp(i pi/4)
  V y = scale * P::plusI(x2, x2);
  P::store(a + j, x0 + y);
  P::store(a + j1, x0 - y);
  // x3 exp(3i pi/4) = i (x3 exp(i pi/4))
  y = scale * P::plusI(x3, x3);
  P::store(a + j2, P::plusI(x1, y));
  P::store(a + j3, P::minusI(x1, y));
}

// Four neighbouring butterflies in one vector (floats with AVX2), or two
// (doubles with AVX2, floats without). (Doubles stay in pairs: four of
// them split over two vectors measured no faster.)
template <typename Real>
constexpr bool kFourInOneVector = kComplexesPerVector<Real> == 4;

// Which table entry feeds the butterfly in lane t of B (entries counted
// from a row pointer in steps of 4 Reals).
template <int B>
struct Ascending {
  static constexpr int entry(int t) { return t; }
};
template <int B>
struct Descending {
  static constexpr int entry(int t) { return B - 1 - t; }
};

// The twiddles of B neighbouring butterflies side by side, sorted into
// lanes from vector loads of the table instead of value by value.
template <typename Real, int B>
struct Entries {
  using P = Pack<Real, B>;
  using V = typename P::V;
  using I = typename IndexOf<Real, B>::Type;

  // Value `field` (0 .. 3) of the entry Lanes::entry(t) for every
  // butterfly t, twice (both parts of its complex value), from two vector
  // loads of the 4B Reals at w.
  template <int field, typename Lanes>
  static FFT_ALWAYS_INLINE V spread(const Real* w) {
    return spreadAt<field, Lanes>(w, std::make_integer_sequence<int, 2 * B>{});
  }

  // The twiddles of a kind 1 stage for butterflies of entries r[0 ..] in
  // lane order (Lanes Ascending), or in mirrored positions: (s1, c1) and
  // (-s3, -c3) of the entries read the other way round (Descending).
  template <Variant Va>
  static FFT_ALWAYS_INLINE void kind1(const Real* r, typename P::Twiddle& w1, typename P::Twiddle& w3) {
    w1 = {spread<0, Ascending<B>>(r), P::sines(spread<1, Ascending<B>>(r))};
    w3 = {spread<2, Ascending<B>>(r), P::sines(signedAs3<Va>(spread<3, Ascending<B>>(r)))};
  }
  template <Variant Va>
  static FFT_ALWAYS_INLINE void kind1Mirrored(const Real* r, typename P::Twiddle& v1, typename P::Twiddle& v3) {
    v1 = {spread<1, Descending<B>>(r), P::sines(spread<0, Descending<B>>(r))};
    V minusC3, minusS3;
    spreadThirdsNegated<Descending<B>>(r, minusC3, minusS3);
    v3 = {signedAs3<Va>(minusS3), P::sines(minusC3)};
  }

  // The four twiddles of a kind 2 stage: entries up[0 ..] ascending for wa
  // and wc, entries down[B-1 .. 0] descending for wb and wd.
  template <Variant Va>
  static FFT_ALWAYS_INLINE void kind2(const Real* up, const Real* down, typename P::Twiddle& wa,
                                      typename P::Twiddle& wb, typename P::Twiddle& wc, typename P::Twiddle& wd) {
    wa = {spread<0, Ascending<B>>(up), P::sines(spread<1, Ascending<B>>(up))};
    wb = {spread<1, Descending<B>>(down), P::sines(spread<0, Descending<B>>(down))};
    wc = {spread<2, Ascending<B>>(up), P::sines(signedAs3<Va>(spread<3, Ascending<B>>(up)))};
    V minusC3, minusS3;
    spreadThirdsNegated<Descending<B>>(down, minusC3, minusS3);
    wd = {signedAs3<Va>(minusS3), P::sines(minusC3)};
  }

  // (f0, f1, f2, f3) once per table entry a vector holds (B/2 of them).
  static FFT_ALWAYS_INLINE V perEntry(Real f0, Real f1, Real f2, Real f3) {
    if constexpr (B == 2) {
      return V{f0, f1, f2, f3};
    } else {
      return V{f0, f1, f2, f3, f0, f1, f2, f3};
    }
  }

  // Butterfly t of B takes value `field` of entry t/2 of x (t even) or of
  // y (t odd), both holding whole entries, twice.
  template <int field>
  static FFT_ALWAYS_INLINE V evenFromFirst(V x, V y) {
    return evenFromFirstAt<field>(x, y, std::make_integer_sequence<int, 2 * B>{});
  }

  // The sign the variant stores its 3k sine with, relative to +sin.
  template <Variant Va>
  static constexpr Real sign3() {
    return Va == Variant::Current ? Real(-1) : Real(1);
  }
  // Stored 3k sines turned into +sin: negated where the variant stores
  // them negated, untouched (not multiplied by one) elsewhere.
  template <Variant Va>
  static FFT_ALWAYS_INLINE V signedAs3(V v) {
    if constexpr (Va == Variant::Current) {
      return -v;
    } else {
      return v;
    }
  }

 private:
  // Values 2 and 3 (the 3k cosine and sine) of the entries as spread
  // gives them, negated: the two fields of every entry picked into one
  // vector and negated there once, then each repeated.
  template <typename Lanes>
  static FFT_ALWAYS_INLINE void spreadThirdsNegated(const Real* w, V& minus2, V& minus3) {
    constexpr std::make_integer_sequence<int, 2 * B> lanes{};
    const V picked = -pickThirds<Lanes>(w, lanes);
    minus2 = repeatEvenOrOdd<0>(picked, lanes);
    minus3 = repeatEvenOrOdd<1>(picked, lanes);
  }
  template <typename Lanes, int... lane>
  static FFT_ALWAYS_INLINE V pickThirds(const Real* w, std::integer_sequence<int, lane...>) {
    return FFT_SHUFFLE(P::load(w), P::load(w + 2 * B), I{(4 * Lanes::entry(lane / 2) + 2 + lane % 2)...});
  }
  template <int odd, int... lane>
  static FFT_ALWAYS_INLINE V repeatEvenOrOdd(V v, std::integer_sequence<int, lane...>) {
    return FFT_SHUFFLE(v, I{(lane / 2 * 2 + odd)...});
  }
  template <int field, int... lane>
  static FFT_ALWAYS_INLINE V evenFromFirstAt(V x, V y, std::integer_sequence<int, lane...>) {
    return FFT_SHUFFLE(x, y, I{((lane / 2) % 2 * 2 * B + (lane / 4) * 4 + field)...});
  }
  template <int field, typename Lanes, int... lane>
  static FFT_ALWAYS_INLINE V spreadAt(const Real* w, std::integer_sequence<int, lane...>) {
    return FFT_SHUFFLE(P::load(w), P::load(w + 2 * B), I{(4 * Lanes::entry(lane / 2) + field)...});
  }
};

// The first butterflies of a stage of kind 1 (lane 0 the one without a
// twiddle), as many as P holds, on the quarters x[0 .. 3], in place; w1
// and w3 are the twiddles of the other lanes.
template <typename P>
FFT_ALWAYS_INLINE void kind1AtZero(typename P::V (&x)[4], const typename P::Twiddle& w1,
                                   const typename P::Twiddle& w3) {
  using Vec = typename P::V;
  const Vec x0 = x[0] + x[2], x1 = x[0] - x[2], x2 = x[1] + x[3], x3 = x[1] - x[3];
  const Vec u = P::plusI(x1, x3), v = P::minusI(x1, x3);
  x[0] = x0 + x2;
  x[1] = x0 - x2;
  x[2] = P::firstThenSecond(u, P::times(w1, u));
  x[3] = P::firstThenSecond(v, P::times(w3, v));
}

// The same for a stage of kind 2, whose lane 0 takes the twiddles 1 and
// exp(i pi/4) as butterfly2First does; wa .. wd serve the other lanes.
template <typename P>
FFT_ALWAYS_INLINE void kind2AtZero(typename P::V (&x)[4], const typename P::Twiddle& wa, const typename P::Twiddle& wb,
                                   const typename P::Twiddle& wc, const typename P::Twiddle& wd,
                                   typename P::R wn4r) {
  using Vec = typename P::V;
  const Vec x0 = P::plusI(x[0], x[2]), x1 = P::minusI(x[0], x[2]);
  const Vec x2 = P::plusI(x[1], x[3]), x3 = P::minusI(x[1], x[3]);
  const Vec scale = P::repeat(wn4r, wn4r);
  Vec y0 = P::firstThenSecond(x0, P::times(wa, x0));
  Vec y2 = P::firstThenSecond(scale * P::plusI(x2, x2), P::times(wb, x2));
  x[0] = y0 + y2;
  x[1] = y0 - y2;
  y0 = P::firstThenSecond(x1, P::times(wc, x1));
  // Lane 0 adds and subtracts i times its scaled x3, as plusI and minusI do.
  const Vec t = scale * P::plusI(x3, x3);
  y2 = P::firstThenSecond(P::swapped(t) * P::repeat(-1, 1), P::times(wd, x3));
  x[2] = y0 + y2;
  x[3] = y0 - y2;
}

// The quarters of four butterflies at a + j, m Reals apart.
template <typename Real>
FFT_ALWAYS_INLINE void loadQuarters(const Real* a, int m, typename Pack<Real, 4>::V (&x)[4]) {
  for (int q = 0; q < 4; ++q) x[q] = Pack<Real, 4>::load(a + q * m);
}
template <typename Real>
FFT_ALWAYS_INLINE void storeQuarters(Real* a, int m, const typename Pack<Real, 4>::V (&x)[4]) {
  for (int q = 0; q < 4; ++q) Pack<Real, 4>::store(a + q * m, x[q]);
}

// Twiddles of the first B butterflies of a kind 2 stage whose quarters
// are m Reals apart (w the stage's table): entries 4, 8, .. ascending and
// 2m - 4, 2m - 8, .. descending for lanes 1 on (lane 0's are not used).
template <typename Real, Variant V, int B>
struct Kind2AtZeroTwiddles {
  using P = Pack<Real, B>;
  typename P::Twiddle wa, wb, wc, wd;
  FFT_ALWAYS_INLINE Kind2AtZeroTwiddles(const Real* w, int m) {
    Entries<Real, B>::template kind2<V>(w, w + 2 * m - 4 * (B - 1), wa, wb, wc, wd);
  }
};

// ---- Radix-4 stages over a block of n Reals -------------------------------
// The loops take the butterflies two or four at a time where neighbouring
// ones lie side by side in memory; the butterflies are independent, so the
// order does not change a result.

// One step of the first stage's loop: the butterflies at j (twiddles wk,
// the scaled sum of the previous entry and entry k + 4) and j + 2 (entry
// k + 4 itself, e), and their mirrors at m - j - 2 and m - j. Advances k
// and the previous entry wd.
template <typename Real, Variant V, bool Conj>
FFT_ALWAYS_INLINE void firstStagePair(Real* a, int j, int m, const Real* w, int& k, Real& wd1r, Real& wd1i,
                                      Real& wd3r, Real& wd3i) {
  using T = Table<Real, V>;
  const Real csc1 = w[2];
  const Real csc3 = w[3];
  k += 4;
  const Real e1r = w[k], e1i = w[k + 1], e3r = w[k + 2], e3i = T::sin3(w, k);
  const Real wk1r = csc1 * (wd1r + e1r), wk1i = csc1 * (wd1i + e1i);
  const Real wk3r = csc3 * (wd3r + e3r), wk3i = csc3 * (wd3i + e3i);
  wd1r = e1r;
  wd1i = e1i;
  wd3r = e3r;
  wd3i = e3i;
  butterfly1Pair<Conj>(a, j, m, wk1r, wk1i, e1r, e1i, wk3r, wk3i, e3r, e3i);
  // Mirror positions m - j - 2 and m - j: exp(i(pi/2 - t)) and
  // -exp(-3it) rotated.
  butterfly1Pair<Conj>(a, m - j - 2, m, e1i, e1r, wk1i, wk1r, -e3i, -e3r, -wk3i, -wk3r);
}

// The vector loops of the stages take B = kComplexesPerVector butterflies
// at a time where a vector holds more than one complex value.
template <typename Real>
constexpr int kButterfliesPerVector = kComplexesPerVector<Real> >= 2 ? kComplexesPerVector<Real> : 1;

// First stage over the whole array; w is the table of n/8 entries, which
// holds every second twiddle: the odd ones are the scaled sums of their
// neighbours.
template <typename Real, Variant V, bool Conj>
void fftFirstStage(int n, Real* a, const Real* w) {
  using T = Table<Real, V>;
  const int mh = n >> 3;
  const int m = 2 * mh;
  butterfly1NoTwiddle<Conj>(a, 0, m);
  const Real wn4r = w[1];
  const Real csc1 = w[2];
  const Real csc3 = w[3];
  Real wd1r = 1, wd1i = 0, wd3r = 1, wd3i = 0;
  int k = 0;
  int j = 2;
  if constexpr (kButterfliesPerVector<Real> > 1) {
    // The first pair below starts from (1, 0); then B butterflies per
    // vector, j .. j + 2B - 2, with the twiddles wk (even lanes, the scaled
    // sum of the entry before and the entry) and e (odd lanes, the entry
    // itself) of the entries j + 2, j + 6, ...
    if (j < mh - 2) {
      firstStagePair<Real, V, Conj>(a, j, m, w, k, wd1r, wd1i, wd3r, wd3i);
      j += 4;
    }
    constexpr int B = kButterfliesPerVector<Real>;
    using E = Entries<Real, B>;
    using P = typename E::P;
    using Vec = typename P::V;
    // Per table entry its four values (c1, s1, c3, signed s3) scaled by
    // (csc1, csc1, csc3, csc3) after the sum.
    const Vec scales = E::perEntry(csc1, csc1, csc3, csc3);
    const Vec signs = E::perEntry(1, 1, 1, E::template sign3<V>());
    for (; j + 2 * B - 2 < mh - 2; j += 2 * B, k += 2 * B) {
      // Entries j - 2 (the one before the first) on: the B/2 entries
      // before each even lane's and those entries themselves, whole.
      const Real* r = w + j - 2;
      const Vec before = P::load(r) * signs;
      const Vec own = P::load(r + 4) * signs;
      const Vec sums = scales * (before + own);
      // Even lanes the scaled sums (wk), odd lanes the entries (e).
      const Vec w1r = E::template evenFromFirst<0>(sums, own);
      const Vec w1i = E::template evenFromFirst<1>(sums, own);
      const Vec w3r = E::template evenFromFirst<2>(sums, own);
      const Vec w3i = E::template evenFromFirst<3>(sums, own);
      butterfly1<Conj, P>(a, j, m, typename P::Twiddle{w1r, P::sines(w1i)}, typename P::Twiddle{w3r, P::sines(w3i)});
      // Mirrored from m - j - 2B + 2 to m - j, lanes the other way round:
      // (wi, wr) and (-wi3, -wr3).
      butterfly1<Conj, P>(a, m - j - 2 * B + 2, m,
                          typename P::Twiddle{P::reversed(w1i), P::sines(P::reversed(w1r))},
                          typename P::Twiddle{-P::reversed(w3i), P::sines(-P::reversed(w3r))});
    }
    if (k > 0) {
      wd1r = w[k];
      wd1i = w[k + 1];
      wd3r = w[k + 2];
      wd3i = T::sin3(w, k);
    }
  }
  for (; j < mh - 2; j += 4) {
    firstStagePair<Real, V, Conj>(a, j, m, w, k, wd1r, wd1i, wd3r, wd3i);
  }
  const Real wk1r = csc1 * (wd1r + wn4r), wk1i = csc1 * (wd1i + wn4r);
  const Real wk3r = csc3 * (wd3r - wn4r), wk3i = csc3 * (wd3i + wn4r);
  butterfly1<Conj>(a, mh - 2, m, wk1r, wk1i, wk3r, wk3i);
  butterfly1<Conj>(a, mh, m, wn4r, wn4r, -wn4r, wn4r);
  butterfly1<Conj>(a, mh + 2, m, wk1i, wk1r, -wk3i, -wk3r);
}

// Kind 1 middle stage; w is the table of n/4 entries (w[nw - n/2]).
template <typename Real, Variant V>
void fftMiddleStage1(int n, Real* a, const Real* w) {
  using T = Table<Real, V>;
  const int mh = n >> 3;
  const int m = 2 * mh;
  const Real wn4r = w[1];
  constexpr int B = kButterfliesPerVector<Real>;
  if constexpr (B > 1) {
    // B butterflies per vector throughout (mh is a multiple of 2B from 8B
    // Reals on, and of 4 always): the direct ones j = 0 .. mh - 2 with entry 2j, lane 0 of
    // the first vector without a twiddle; the mirrored ones q = mh ..
    // m - 2 with (s1, c1) and (-s3, -c3) of entry 2(m - q), lane 0 of the
    // first of them the butterfly at mh with its twiddles from wn4r.
    if (B == 2 || mh >= 2 * B) {
      using E = Entries<Real, B>;
      using P = typename E::P;
      using Vec = typename P::V;
      for (int j = 0; j < mh; j += 2 * B) {
        typename P::Twiddle w1, w3;
        E::template kind1<V>(w + 2 * j, w1, w3);
        if (j == 0) {
          Vec x[4] = {P::load(a), P::load(a + m), P::load(a + 2 * m), P::load(a + 3 * m)};
          kind1AtZero<P>(x, w1, w3);
          for (int i = 0; i < 4; ++i) P::store(a + i * m, x[i]);
        } else {
          butterfly1<false, P>(a, j, m, w1, w3);
        }
      }
      for (int q = mh; q < m; q += 2 * B) {
        typename P::Twiddle v1, v3;
        E::template kind1Mirrored<V>(w + 2 * (m - q - 2 * B + 2), v1, v3);
        if (q == mh) {
          const typename P::Twiddle c1 = P::twiddle(wn4r, wn4r), c3 = P::twiddle(-wn4r, wn4r);
          v1 = {P::firstThenSecond(c1.re, v1.re), P::firstThenSecond(c1.im, v1.im)};
          v3 = {P::firstThenSecond(c3.re, v3.re), P::firstThenSecond(c3.im, v3.im)};
        }
        butterfly1<false, P>(a, q, m, v1, v3);
      }
      return;
    }
  }
  butterfly1NoTwiddle(a, 0, m);
  {
    const Real c1 = w[4], s1 = w[5], c3 = w[6], s3 = T::sin3(w, 4);
    butterfly1(a, 2, m, c1, s1, c3, s3);
    butterfly1(a, m - 2, m, s1, c1, -s3, -c3);
  }
  // mh is a multiple of 4: the rest of the butterflies come in pairs.
  for (int j = 4, k = 8; j < mh; j += 4, k += 8) {
    const Real c1 = w[k], s1 = w[k + 1], c3 = w[k + 2], s3 = T::sin3(w, k);
    const Real c1b = w[k + 4], s1b = w[k + 5], c3b = w[k + 6], s3b = T::sin3(w, k + 4);
    butterfly1Pair<false>(a, j, m, c1, s1, c1b, s1b, c3, s3, c3b, s3b);
    butterfly1Pair<false>(a, m - j - 2, m, s1b, c1b, s1, c1, -s3b, -c3b, -s3, -c3);
  }
  butterfly1(a, mh, m, wn4r, wn4r, -wn4r, wn4r);
}

// Kind 2 middle stage; w is the table of n/2 entries (w[nw - n]).
template <typename Real, Variant V>
void fftMiddleStage2(int n, Real* a, const Real* w) {
  using T = Table<Real, V>;
  const int m = n >> 2;  // Real offset of a quarter
  constexpr int B = kButterfliesPerVector<Real>;
  if constexpr (B > 1) {
    // B butterflies per vector throughout (m is a multiple of 2B from 8B
    // Reals on, and of 4 always), lane 0 of the first vector the one at
    // index 0.
    if (B == 2 || m >= 2 * B) {
      using E = Entries<Real, B>;
      using P = typename E::P;
      {
        const Kind2AtZeroTwiddles<Real, V, B> t(w, m);
        typename P::V x[4] = {P::load(a), P::load(a + m), P::load(a + 2 * m), P::load(a + 3 * m)};
        kind2AtZero<P>(x, t.wa, t.wb, t.wc, t.wd, w[1]);
        for (int i = 0; i < 4; ++i) P::store(a + i * m, x[i]);
      }
      for (int j = 2 * B, k = 4 * B, kr = 2 * m - 4 * B; j < m; j += 2 * B, k += 4 * B, kr -= 4 * B) {
        // Butterflies j .. j + 2B - 2: entries k, k + 4, .. ascending and
        // kr, kr - 4, .. descending (rows from kr - 4B + 4 on).
        typename P::Twiddle wa, wb, wc, wd;
        E::template kind2<V>(w + k, w + kr - 4 * (B - 1), wa, wb, wc, wd);
        butterfly2<P>(a, j, m, wa, wb, wc, wd);
      }
      return;
    }
  }
  butterfly2First(a, 0, m, w[1]);
  {
    const int k = 4, kr = 2 * m - 4;
    butterfly2(a, 2, m, w[k], w[k + 1], w[kr + 1], w[kr], w[k + 2], T::sin3(w, k), -T::sin3(w, kr), -w[kr + 2]);
  }
  // m is a multiple of 4: the rest of the butterflies come in pairs.
  for (int j = 4, k = 8, kr = 2 * m - 8; j < m; j += 4, k += 8, kr -= 8) {
    const int k2 = k + 4, kr2 = kr - 4;
    butterfly2Pair(a, j, m, w[k], w[k + 1], w[kr + 1], w[kr], w[k + 2], T::sin3(w, k), -T::sin3(w, kr), -w[kr + 2],
                   w[k2], w[k2 + 1], w[kr2 + 1], w[kr2], w[k2 + 2], T::sin3(w, k2), -T::sin3(w, kr2), -w[kr2 + 2]);
  }
}

// ---- Fixed small transforms ----------------------------------------------

// 2 complex values, kind 1 and kind 2.
template <typename Real>
FFT_ALWAYS_INLINE void small2Kind1(Real* a) {
  using P = One<Real>;
  const typename P::V d0 = P::load(a), d1 = P::load(a + 2);
  P::store(a, d0 + d1);
  P::store(a + 2, d0 - d1);
}

template <typename Real>
FFT_ALWAYS_INLINE void small2Kind2(Real* a) {
  using P = One<Real>;
  const typename P::V d0 = P::load(a), d1 = P::load(a + 2);
  P::store(a, P::plusI(d0, d1));
  P::store(a + 2, P::minusI(d0, d1));
}

// 4 complex values, kind 1 and kind 2.
template <typename Real>
FFT_ALWAYS_INLINE void small4Kind1(Real* a) {
  butterfly1NoTwiddle(a, 0, 2);
}

template <typename Real>
FFT_ALWAYS_INLINE void small4Kind2(Real* a, Real wn4r) {
  butterfly2First(a, 0, 2, wn4r);
}

// 2-point transform of the whole array (n = 4).
template <typename Real>
inline void fftButterfly2(Real* a) {
  small2Kind1(a);
}

// 4-point transforms of the whole array (n = 8), natural order.
template <typename Real>
inline void fftButterfly4(Real* a) {
  butterfly1NoTwiddle(a, 0, 2);
  std::swap(a[2], a[4]);
  std::swap(a[3], a[5]);
}

template <typename Real>
inline void fftButterfly4b(Real* a) {
  // exp(-) transform: X[k] of the conjugate order, X[1] <-> X[3].
  butterfly1NoTwiddle(a, 0, 2);
  const Real x2r = a[2], x2i = a[3];
  a[2] = a[6];
  a[3] = a[7];
  a[6] = a[4];
  a[7] = a[5];
  a[4] = x2r;
  a[5] = x2i;
}

// The 2-point transforms of kind 1, (d0 + d1, d0 - d1), and kind 2,
// (d0 + i d1, d0 - i d1), of the two complex values of one vector.
template <typename Real>
FFT_ALWAYS_INLINE typename Pack<Real, 2>::V pairSmall2Kind1(typename Pack<Real, 2>::V v) {
  using P = Pack<Real, 2>;
  using I = typename IndexOf<Real, 2>::Type;
  // d0 - d1 as -d1 + d0, the same value.
  return v * P::make(1, 1, -1, -1) + FFT_SHUFFLE(v, I{2, 3, 0, 1});
}
template <typename Real>
FFT_ALWAYS_INLINE typename Pack<Real, 2>::V pairSmall2Kind2(typename Pack<Real, 2>::V v) {
  using P = Pack<Real, 2>;
  using I = typename IndexOf<Real, 2>::Type;
  return FFT_SHUFFLE(v, I{0, 1, 0, 1}) + FFT_SHUFFLE(v, I{3, 2, 3, 2}) * P::make(-1, 1, 1, -1);
}

// The twiddles of the 8-point kernels with two complex values per vector
// (lane 0's are not used), built once for a row of kernels from the
// 4-entry table.
template <typename Real, Variant V>
struct Kernel8PairTwiddles {
  using P = Pack<Real, 2>;
  typename P::Twiddle w1, w3;      // kind 1
  typename P::Twiddle wa, wb, wd;  // kind 2 (its wc equals wb)
  Real wn4r;
  FFT_ALWAYS_INLINE explicit Kernel8PairTwiddles(const Real* w) : wn4r(w[1]) {
    Real c8, s8;
    Table<Real, V>::eighth(w, c8, s8);
    w1 = P::twiddles(1, 0, wn4r, wn4r);
    w3 = P::twiddles(1, 0, -wn4r, wn4r);
    wa = P::twiddles(1, 0, c8, s8);
    wb = P::twiddles(1, 0, s8, c8);
    wd = P::twiddles(1, 0, -c8, -s8);
  }
};

// An 8-point kernel of kind 1 (Kind2 false) or 2 on the 16 Reals at a,
// two complex values per vector: the radix-4 step across the four
// vectors (lane 0 the butterfly at 0, lane 1 the one at 2), then each
// vector's 2-point transform of kinds 1, 2, 1 and 1 (kind 1) or 1, 2, 1, 2.
template <typename Real, Variant V, bool Kind2>
FFT_ALWAYS_INLINE void butterfly8Pairs(Real* a, const Kernel8PairTwiddles<Real, V>& t) {
  using P = Pack<Real, 2>;
  typename P::V x[4];
  for (int q = 0; q < 4; ++q) x[q] = P::load(a + 4 * q);
  if constexpr (Kind2) {
    kind2AtZero<P>(x, t.wa, t.wb, t.wb, t.wd, t.wn4r);
  } else {
    kind1AtZero<P>(x, t.w1, t.w3);
  }
  P::store(a, pairSmall2Kind1<Real>(x[0]));
  P::store(a + 4, pairSmall2Kind2<Real>(x[1]));
  P::store(a + 8, pairSmall2Kind1<Real>(x[2]));
  P::store(a + 12, Kind2 ? pairSmall2Kind2<Real>(x[3]) : pairSmall2Kind1<Real>(x[3]));
}

// 8-point kernels (16 Reals); w is the 4-entry table (w[nw - 8]).
template <typename Real, Variant V>
inline void fftButterfly8(Real* a, const Real* w) {
  if constexpr (kPairInOneVector<Real>) {
    butterfly8Pairs<Real, V, false>(a, Kernel8PairTwiddles<Real, V>(w));
  } else {
    const Real wn4r = w[1];
    butterfly1NoTwiddle(a, 0, 4);
    butterfly1(a, 2, 4, wn4r, wn4r, -wn4r, wn4r);
    small2Kind1(a);
    small2Kind2(a + 4);
    small2Kind1(a + 8);
    small2Kind1(a + 12);
  }
}

template <typename Real, Variant V>
inline void fftButterfly8b(Real* a, const Real* w) {
  if constexpr (kPairInOneVector<Real>) {
    butterfly8Pairs<Real, V, true>(a, Kernel8PairTwiddles<Real, V>(w));
  } else {
    Real c8, s8;
    Table<Real, V>::eighth(w, c8, s8);
    butterfly2First(a, 0, 4, w[1]);
    butterfly2(a, 2, 4, c8, s8, s8, c8, s8, c8, -c8, -s8);
    small2Kind1(a);
    small2Kind2(a + 4);
    small2Kind1(a + 8);
    small2Kind2(a + 12);
  }
}

// ---- 16-point kernels, four butterflies per vector ---------------------------
// The 32 Reals are four rows of four complex values, one vector each. The
// radix-4 step runs across the rows (lane r holds butterfly 2r); the
// 4-point transforms of the rows then run across the rows of the
// transposed block, and a second transpose puts the values back. Lanes
// whose butterfly differs from its neighbours' (the one without a
// twiddle, the rows of the other kind) compute both forms and keep their
// own, so every value takes exactly the operations of the scalar kernel.

// The 4-point transform of kind 1 (small4Kind1) of the row v = (c0, c1,
// c2, c3) within its vector: first (x0, x2, x1, x3) = (c2 + c0, c3 + c1,
// c0 - c2, c1 - c3), then (x0 + x2, x0 - x2, x1 + i x3, x1 - i x3), each
// lane as a sum of two lane choices, one of them signed. Sums in the other
// order and a difference as the sum with the negated value are the same
// values.
template <typename Real>
FFT_ALWAYS_INLINE typename Pack<Real, 4>::V rowKind1(typename Pack<Real, 4>::V v) {
  using P = Pack<Real, 4>;
  using V = typename P::V;
  using I = typename IndexOf<Real, 4>::Type;
  const V a = FFT_SHUFFLE(v, I{4, 5, 6, 7, 0, 1, 2, 3}) + v * V{1, 1, 1, 1, -1, -1, -1, -1};
  // x2 + x0, x0 - x2, x1 + (-x3i, x3r), x1 + (x3i, -x3r)
  return FFT_SHUFFLE(a, I{2, 3, 0, 1, 4, 5, 4, 5}) +
         FFT_SHUFFLE(a, I{0, 1, 2, 3, 7, 6, 7, 6}) * V{1, 1, -1, -1, -1, 1, 1, -1};
}

// The same of kind 2 (small4Kind2, butterfly2First): (x0, x2, x1, x3) =
// (c0 + i c2, c1 + i c3, c0 - i c2, c1 - i c3), then with y and y' the
// scaled x2 + i x2 and x3 + i x3: (x0 + y, x0 - y, x1 + i y', x1 - i y').
template <typename Real>
FFT_ALWAYS_INLINE typename Pack<Real, 4>::V rowKind2(typename Pack<Real, 4>::V v, Real wn4r) {
  using P = Pack<Real, 4>;
  using V = typename P::V;
  using I = typename IndexOf<Real, 4>::Type;
  const V a = FFT_SHUFFLE(v, I{0, 1, 2, 3, 0, 1, 2, 3}) +
              FFT_SHUFFLE(v, I{5, 4, 7, 6, 5, 4, 7, 6}) * V{-1, 1, -1, 1, 1, -1, 1, -1};
  const V y = P::repeat(wn4r, wn4r) * P::plusI(a, a);
  // x0 + y, x0 - y, x1 + (-y'i, y'r), x1 + (y'i, -y'r)
  return FFT_SHUFFLE(a, I{0, 1, 0, 1, 4, 5, 4, 5}) +
         FFT_SHUFFLE(y, I{2, 3, 2, 3, 7, 6, 7, 6}) * V{1, 1, -1, -1, -1, 1, 1, -1};
}

// The 4-point transforms of the rows x[0 .. 3] in place: kind 1 for rows
// 0 and 2, kind 2 for row 1, and for row 3 the kind Row3OfKind2 names.
template <typename Real, bool Row3OfKind2>
FFT_ALWAYS_INLINE void quadRowTransforms(typename Pack<Real, 4>::V (&x)[4], Real wn4r) {
  x[0] = rowKind1<Real>(x[0]);
  x[1] = rowKind2<Real>(x[1], wn4r);
  x[2] = rowKind1<Real>(x[2]);
  x[3] = Row3OfKind2 ? rowKind2<Real>(x[3], wn4r) : rowKind1<Real>(x[3]);
}

// The twiddles of the 16-point kernel of kind 1 (from the 4-entry table),
// built once for a row of kernels.
template <typename Real, Variant V>
struct Kernel16Kind1Twiddles {
  using P = Pack<Real, 4>;
  typename P::Twiddle w1, w3;
  Real wn4r;
  FFT_ALWAYS_INLINE explicit Kernel16Kind1Twiddles(const Real* w8) : wn4r(w8[1]) {
    Real c8, s8;
    Table<Real, V>::eighth(w8, c8, s8);
    // Lanes 1 to 3: w1 = (c8, s8), (wn4r, wn4r), (s8, c8) and
    // w3 = (s8, c8), (-wn4r, wn4r), (-c8, -s8); lane 0 has none.
    w1 = {P::fromLanes(1, 1, c8, c8, wn4r, wn4r, s8, s8),
          P::signedSines(P::fromLanes(0, 0, -s8, s8, -wn4r, wn4r, -c8, c8))};
    w3 = {P::fromLanes(1, 1, s8, s8, -wn4r, -wn4r, -c8, -c8),
          P::signedSines(P::fromLanes(0, 0, -c8, c8, -wn4r, wn4r, s8, -s8))};
  }
};

// The same for kind 2, from the 16-entry table.
template <typename Real, Variant V>
struct Kernel16Kind2Twiddles {
  Kind2AtZeroTwiddles<Real, V, 4> stage;
  Real wn4r;
  FFT_ALWAYS_INLINE explicit Kernel16Kind2Twiddles(const Real* w32) : stage(w32, 8), wn4r(w32[1]) {}
};

template <typename Real, Variant V>
FFT_ALWAYS_INLINE void butterfly16Kind1Quad(Real* a, const Kernel16Kind1Twiddles<Real, V>& t) {
  typename Pack<Real, 4>::V x[4];
  loadQuarters(a, 8, x);
  kind1AtZero<Pack<Real, 4>>(x, t.w1, t.w3);
  quadRowTransforms<Real, false>(x, t.wn4r);
  storeQuarters(a, 8, x);
}

// The kind 2 stage on 32 Reals and the row transforms of kinds 1, 2, 1, 2.
template <typename Real, Variant V>
FFT_ALWAYS_INLINE void butterfly16Kind2Quad(Real* a, const Kernel16Kind2Twiddles<Real, V>& t) {
  typename Pack<Real, 4>::V x[4];
  loadQuarters(a, 8, x);
  kind2AtZero<Pack<Real, 4>>(x, t.stage.wa, t.stage.wb, t.stage.wc, t.stage.wd, t.wn4r);
  quadRowTransforms<Real, true>(x, t.wn4r);
  storeQuarters(a, 8, x);
}

// The 2-point transforms of the two complex values (d0, d1) in each half
// of v: kind 1 (d1 + d0, d0 - d1) in the first half, and in the second
// kind 2 (d0 + i d1, d0 - i d1) or, with SecondOfKind1, kind 1 too.
template <typename Real, bool SecondOfKind1>
FFT_ALWAYS_INLINE typename Pack<Real, 4>::V halvesSmall2(typename Pack<Real, 4>::V v) {
  using V = typename Pack<Real, 4>::V;
  using I = typename IndexOf<Real, 4>::Type;
  if constexpr (SecondOfKind1) {
    return FFT_SHUFFLE(v, I{2, 3, 0, 1, 6, 7, 4, 5}) + v * V{1, 1, -1, -1, 1, 1, -1, -1};
  } else {
    return FFT_SHUFFLE(v, I{2, 3, 0, 1, 4, 5, 4, 5}) +
           FFT_SHUFFLE(v, I{0, 1, 2, 3, 7, 6, 7, 6}) * V{1, 1, -1, -1, -1, 1, 1, -1};
  }
}

// (y0 + y1, y0 - y1) of the halves (y0, y1) of v.
template <typename Real>
FFT_ALWAYS_INLINE typename Pack<Real, 4>::V halvesSumAndDifference(typename Pack<Real, 4>::V v) {
  using V = typename Pack<Real, 4>::V;
  using I = typename IndexOf<Real, 4>::Type;
  return FFT_SHUFFLE(v, I{0, 1, 2, 3, 0, 1, 2, 3}) +
         FFT_SHUFFLE(v, I{4, 5, 6, 7, 4, 5, 6, 7}) * V{1, 1, 1, 1, -1, -1, -1, -1};
}

// The twiddles of the 8-point kernels with four complex floats per vector
// (the complex values 1 and 3 take them; 0 and 2 take none), built once
// for a row of kernels from the 4-entry table.
template <typename Real, Variant V>
struct Kernel8QuadTwiddles {
  using P = Pack<Real, 4>;
  typename P::Twiddle w13, wab, wcd;
  Real wn4r;
  FFT_ALWAYS_INLINE explicit Kernel8QuadTwiddles(const Real* w) : wn4r(w[1]) {
    Real c8, s8;
    Table<Real, V>::eighth(w, c8, s8);
    // Kind 1: (wn4r, wn4r) and (-wn4r, wn4r); kind 2: (c8, s8), (s8, c8)
    // for the sums, (s8, c8), (-c8, -s8) for the differences.
    w13 = {P::fromLanes(1, 1, wn4r, wn4r, 1, 1, -wn4r, -wn4r),
           P::signedSines(P::fromLanes(0, 0, -wn4r, wn4r, 0, 0, -wn4r, wn4r))};
    wab = {P::fromLanes(1, 1, c8, c8, 1, 1, s8, s8), P::signedSines(P::fromLanes(0, 0, -s8, s8, 0, 0, -c8, c8))};
    wcd = {P::fromLanes(1, 1, s8, s8, 1, 1, -c8, -c8), P::signedSines(P::fromLanes(0, 0, -c8, c8, 0, 0, s8, -s8))};
  }
};

// An 8-point kernel of kind 1 (fftButterfly8) or 2 (fftButterfly8b) on
// the 16 Reals at a, in two vectors lo = (q0 | q1) and hi = (q2 | q3)
// whose halves are the radix-4 step's quarters (each the butterflies at 0
// and 2 side by side): the step as whole-vector sums, the pairing of the
// quarters as sums of halves, then each half's 2-point transform. Every
// value takes the operations of the scalar kernel.
template <typename Real, Variant V, bool Kind2>
FFT_ALWAYS_INLINE void butterfly8InVectors(Real* a, const Kernel8QuadTwiddles<Real, V>& t) {
  using P = Pack<Real, 4>;
  using Vec = typename P::V;
  using I = typename IndexOf<Real, 4>::Type;
  const Vec lo = P::load(a), hi = P::load(a + 8);
  Vec outLo, outHi;
  if constexpr (Kind2) {
    const Vec scale = P::repeat(t.wn4r, t.wn4r);
    const Vec x02 = P::plusI(lo, hi);   // (x0 | x2)
    const Vec x13 = P::minusI(lo, hi);  // (x1 | x3)
    // Butterfly 0 takes x0 and the scaled x2 + i x2 as they are,
    // butterfly 2 their products with (c8, s8) and (s8, c8).
    const Vec y = P::oddFromSecond(P::template select<false, false, true, true>(x02, scale * P::plusI(x02, x02)),
                                   P::times(t.wab, x02));
    outLo = halvesSumAndDifference<Real>(y);
    // Butterfly 0 takes x1 and i times the scaled x3 + i x3; butterfly 2
    // the products with (s8, c8) and (-c8, -s8).
    const Vec s = scale * P::plusI(x13, x13);
    const Vec z = P::oddFromSecond(
        P::template select<false, false, true, true>(x13, P::swapped(s) * P::repeat(-1, 1)), P::times(t.wcd, x13));
    outHi = halvesSumAndDifference<Real>(z);
  } else {
    const Vec x02 = lo + hi;  // (x0 | x2)
    const Vec x13 = lo - hi;  // (x1 | x3)
    // (x0 + x2 | x0 - x2), the sum as x2 + x0
    outLo = FFT_SHUFFLE(x02, I{4, 5, 6, 7, 0, 1, 2, 3}) + x02 * Vec{1, 1, 1, 1, -1, -1, -1, -1};
    // (x1 + i x3 | x1 - i x3), butterfly 2 times its twiddle
    const Vec u = FFT_SHUFFLE(x13, I{0, 1, 2, 3, 0, 1, 2, 3}) +
                  FFT_SHUFFLE(x13, I{5, 4, 7, 6, 5, 4, 7, 6}) * Vec{-1, 1, -1, 1, 1, -1, 1, -1};
    outHi = P::oddFromSecond(u, P::times(t.w13, u));
  }
  P::store(a, halvesSmall2<Real, false>(outLo));
  P::store(a + 8, halvesSmall2<Real, !Kind2>(outHi));
}

// ---- 16-point kernels, two butterflies per vector -----------------------------
// Where a vector holds two complex values (doubles with AVX2): each row of
// four complex values is a pair of vectors (c0, c1) and (c2, c3); the
// radix-4 step runs across the rows, and each row's 4-point transform
// within its two vectors.

// The 4-point transform of kind 1 of the row (lo, hi).
template <typename Real>
FFT_ALWAYS_INLINE void pairRowKind1(typename Pack<Real, 2>::V& lo, typename Pack<Real, 2>::V& hi) {
  using P = Pack<Real, 2>;
  using Vec = typename P::V;
  using I = typename IndexOf<Real, 2>::Type;
  const Vec s = lo + hi;  // (y0, y2) = (c0 + c2, c1 + c3)
  const Vec d = lo - hi;  // (y1, y3)
  // (y0 + y2, y0 - y2) and (y1 + i y3, y1 - i y3)
  lo = FFT_SHUFFLE(s, I{0, 1, 0, 1}) + FFT_SHUFFLE(s, I{2, 3, 2, 3}) * P::make(1, 1, -1, -1);
  hi = FFT_SHUFFLE(d, I{0, 1, 0, 1}) + FFT_SHUFFLE(d, I{3, 2, 3, 2}) * P::make(-1, 1, 1, -1);
}

// The 4-point transform of kind 2 (butterfly2First) of the row (lo, hi).
template <typename Real>
FFT_ALWAYS_INLINE void pairRowKind2(typename Pack<Real, 2>::V& lo, typename Pack<Real, 2>::V& hi, Real wn4r) {
  using P = Pack<Real, 2>;
  using Vec = typename P::V;
  using I = typename IndexOf<Real, 2>::Type;
  const Vec h = P::swapped(hi);
  const Vec p = lo + h * P::repeat(-1, 1);  // (x0, x2) = (c0 + i c2, c1 + i c3)
  const Vec q = lo + h * P::repeat(1, -1);  // (x1, x3) = (c0 - i c2, c1 - i c3)
  const Vec z = FFT_SHUFFLE(p, q, I{2, 3, 6, 7});                    // (x2, x3)
  const Vec y = P::repeat(wn4r, wn4r) * (z + P::swapped(z) * P::repeat(-1, 1));  // (y, y')
  lo = FFT_SHUFFLE(p, I{0, 1, 0, 1}) + FFT_SHUFFLE(y, I{0, 1, 0, 1}) * P::make(1, 1, -1, -1);
  hi = FFT_SHUFFLE(q, I{0, 1, 0, 1}) + FFT_SHUFFLE(y, I{3, 2, 3, 2}) * P::make(-1, 1, 1, -1);
}

// The twiddles of the 16-point kernels with two complex values per
// vector, built once for a row of kernels: kind 1 from the 4-entry table,
// kind 2 from the 16-entry one (lane 0 of the first vector takes none).
template <typename Real, Variant V>
struct Kernel16PairKind1Twiddles {
  using P = Pack<Real, 2>;
  typename P::Twiddle lo1, lo3, hi1, hi3;
  Real wn4r;
  FFT_ALWAYS_INLINE explicit Kernel16PairKind1Twiddles(const Real* w) : wn4r(w[1]) {
    Real c8, s8;
    Table<Real, V>::eighth(w, c8, s8);
    // Butterflies 0 (no twiddle) and 2: w1 = (c8, s8), w3 = (s8, c8);
    // butterflies 4 and 6: w1 = (wn4r, wn4r), (s8, c8); w3 = (-wn4r,
    // wn4r), (-c8, -s8).
    lo1 = P::twiddles(1, 0, c8, s8);
    lo3 = P::twiddles(1, 0, s8, c8);
    hi1 = P::twiddles(wn4r, wn4r, s8, c8);
    hi3 = P::twiddles(-wn4r, wn4r, -c8, -s8);
  }
};

template <typename Real, Variant V>
struct Kernel16PairKind2Twiddles {
  using P = Pack<Real, 2>;
  typename P::Twiddle lo[4], hi[4];
  Real wn4r;
  FFT_ALWAYS_INLINE explicit Kernel16PairKind2Twiddles(const Real* w) : wn4r(w[1]) {
    using T = Table<Real, V>;
    // The kind 2 stage on 32 Reals: butterfly 0 (butterfly2First) and 2
    // with k = 4, kr = 12; butterflies 4 and 6 with k = 8, 12 and kr = 8, 4.
    lo[0] = P::twiddles(1, 0, w[4], w[5]);
    lo[1] = P::twiddles(1, 0, w[13], w[12]);
    lo[2] = P::twiddles(1, 0, w[6], T::sin3(w, 4));
    lo[3] = P::twiddles(1, 0, -T::sin3(w, 12), -w[14]);
    hi[0] = P::twiddles(w[8], w[9], w[12], w[13]);
    hi[1] = P::twiddles(w[9], w[8], w[5], w[4]);
    hi[2] = P::twiddles(w[10], T::sin3(w, 8), w[14], T::sin3(w, 12));
    hi[3] = P::twiddles(-T::sin3(w, 8), -w[10], -T::sin3(w, 4), -w[6]);
  }
};

template <typename Real, Variant V>
FFT_ALWAYS_INLINE void butterfly16Kind1Pairs(Real* a, const Kernel16PairKind1Twiddles<Real, V>& t) {
  using P = Pack<Real, 2>;
  using Vec = typename P::V;
  Vec lo[4], hi[4];
  for (int q = 0; q < 4; ++q) {
    lo[q] = P::load(a + 8 * q);
    hi[q] = P::load(a + 8 * q + 4);
  }
  kind1AtZero<P>(lo, t.lo1, t.lo3);
  kind1Step<false, P>(hi, t.hi1, t.hi3);
  pairRowKind1<Real>(lo[0], hi[0]);
  pairRowKind2<Real>(lo[1], hi[1], t.wn4r);
  pairRowKind1<Real>(lo[2], hi[2]);
  pairRowKind1<Real>(lo[3], hi[3]);
  for (int q = 0; q < 4; ++q) {
    P::store(a + 8 * q, lo[q]);
    P::store(a + 8 * q + 4, hi[q]);
  }
}

template <typename Real, Variant V>
FFT_ALWAYS_INLINE void butterfly16Kind2Pairs(Real* a, const Kernel16PairKind2Twiddles<Real, V>& t) {
  using P = Pack<Real, 2>;
  using Vec = typename P::V;
  Vec lo[4], hi[4];
  for (int q = 0; q < 4; ++q) {
    lo[q] = P::load(a + 8 * q);
    hi[q] = P::load(a + 8 * q + 4);
  }
  kind2AtZero<P>(lo, t.lo[0], t.lo[1], t.lo[2], t.lo[3], t.wn4r);
  kind2Step<P>(hi, t.hi[0], t.hi[1], t.hi[2], t.hi[3]);
  pairRowKind1<Real>(lo[0], hi[0]);
  pairRowKind2<Real>(lo[1], hi[1], t.wn4r);
  pairRowKind1<Real>(lo[2], hi[2]);
  pairRowKind2<Real>(lo[3], hi[3], t.wn4r);
  for (int q = 0; q < 4; ++q) {
    P::store(a + 8 * q, lo[q]);
    P::store(a + 8 * q + 4, hi[q]);
  }
}

// 16-point kernels (32 Reals): kind 1 with the 4-entry table (w[nw - 8]),
// kind 2 with the 16-entry table (w[nw - 32]).
template <typename Real, Variant V>
inline void fftButterfly16(Real* a, const Real* w) {
  if constexpr (kFourInOneVector<Real>) {
    butterfly16Kind1Quad<Real, V>(a, Kernel16Kind1Twiddles<Real, V>(w));
  } else if constexpr (kPairInOneVector<Real>) {
    butterfly16Kind1Pairs<Real, V>(a, Kernel16PairKind1Twiddles<Real, V>(w));
  } else {
    const Real wn4r = w[1];
    Real c8, s8;
    Table<Real, V>::eighth(w, c8, s8);
    butterfly1NoTwiddle(a, 0, 8);
    butterfly1(a, 2, 8, c8, s8, s8, c8);
    butterfly1Pair<false>(a, 4, 8, wn4r, wn4r, s8, c8, -wn4r, wn4r, -c8, -s8);
    small4Kind1(a);
    small4Kind2(a + 8, wn4r);
    small4Kind1(a + 16);
    small4Kind1(a + 24);
  }
}

template <typename Real, Variant V>
inline void fftButterfly16b(Real* a, const Real* w) {
  if constexpr (kFourInOneVector<Real>) {
    butterfly16Kind2Quad<Real, V>(a, Kernel16Kind2Twiddles<Real, V>(w));
  } else if constexpr (kPairInOneVector<Real>) {
    butterfly16Kind2Pairs<Real, V>(a, Kernel16PairKind2Twiddles<Real, V>(w));
  } else {
    const Real wn4r = w[1];
    fftMiddleStage2<Real, V>(32, a, w);
    small4Kind1(a);
    small4Kind2(a + 8, wn4r);
    small4Kind1(a + 16);
    small4Kind2(a + 24, wn4r);
  }
}

// ---- Bit reversal -----------------------------------------------------------

// Gathers the complex values of a small array through a permutation table:
// value k comes from position from[k].
template <typename Real, int Count>
inline void gather(Real* a, const int (&from)[Count]) {
  Real t[2 * Count];
  for (int k = 0; k < 2 * Count; ++k) t[k] = a[k];
  for (int k = 0; k < Count; ++k) {
    a[2 * k] = t[2 * from[k]];
    a[2 * k + 1] = t[2 * from[k] + 1];
  }
}

constexpr int kReverse8[8] = {0, 4, 2, 6, 1, 5, 3, 7};
constexpr int kReverse16[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
// Position bitreverse((-k) mod size), for the backward direction.
constexpr int kReverse8Neg[8] = {0, 7, 3, 5, 1, 6, 2, 4};
constexpr int kReverse16Neg[16] = {0, 15, 7, 11, 3, 13, 5, 9, 1, 14, 6, 10, 2, 12, 4, 8};

template <typename Real>
inline void fftPermute8(Real* a) {
  gather(a, kReverse8);
}
template <typename Real>
inline void fftPermute8Neg(Real* a) {
  gather(a, kReverse8Neg);
}
template <typename Real>
inline void fftPermute16(Real* a) {
  gather(a, kReverse16);
}
template <typename Real>
inline void fftPermute16Neg(Real* a) {
  gather(a, kReverse16Neg);
}

// Swaps complex values x and y; with Conj both also lose their sign of the
// imaginary part.
template <bool Conj, typename Real>
FFT_ALWAYS_INLINE void swapComplex(Real* a, int x, int y) {
  using P = One<Real>;
  const typename P::V vx = P::load(a + 2 * x), vy = P::load(a + 2 * y);
  P::store(a + 2 * x, conjugatedIf<Conj, P>(vy));
  P::store(a + 2 * y, conjugatedIf<Conj, P>(vx));
}

// Current variant: the table ip[m .. 2m-1] (m a power of two from 2 on)
// holds 8m times the m-point bit reversal of its index. An array of n > 32
// Reals is indexed as (high, middle, low) fields with m values in the high
// and low fields and Middle (8 or 16) in the middle one; reversal maps
// (high, middle, low) to (reverse(low), reverse(middle), reverse(high)).
// Each pair is visited once: (reverse(k), middle, j) with j < k trades with
// (reverse(j), reverse(middle), k), and with j = k only the middle field moves.
template <typename Real, bool Conj, int Middle>
void bitReverseFields(int m, const int* rev, Real* a) {
  const int* reverseMiddle = Middle == 8 ? kReverse8 : kReverse16;
  const int scale = Middle / 8;  // ip entry -> reversed field times the high stride
  for (int k = 0; k < m; ++k) {
    const int highK = rev[k] * scale;
    for (int j = 0; j < k; ++j) {
      const int highJ = rev[j] * scale;
      for (int middle = 0; middle < Middle; ++middle) {
        swapComplex<Conj>(a, highK + middle * m + j, highJ + reverseMiddle[middle] * m + k);
      }
    }
    for (int middle = 0; middle < Middle; ++middle) {
      const int reversed = reverseMiddle[middle];
      if (middle < reversed) {
        swapComplex<Conj>(a, highK + middle * m + k, highK + reversed * m + k);
      } else if (Conj && middle == reversed) {
        const int x = highK + middle * m + k;
        a[2 * x + 1] = -a[2 * x + 1];
      }
    }
  }
}

// The fields of the reversal of an array of n > 32 Reals: Middle is 8 or
// 16, and n/2 = Middle m^2 complex values.
struct ReverseFields {
  int m;
  int middle;
};

inline ReverseFields reverseFields(int n) {
  int m = 1;
  int l = n >> 2;
  while (l > 8) {
    m <<= 1;
    l >>= 2;
  }
  return {m, l == 8 ? 16 : 8};
}

// x reversed in its lowest `bits` bits.
inline int reverseBits(int x, int bits) {
  unsigned v = static_cast<unsigned>(x);
  v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
  v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
  v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
  v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
  v = (v >> 16) | (v << 16);
  return bits == 0 ? 0 : static_cast<int>(v >> (32 - bits));
}

// Transposes the S by S block of complex values held as rows x[0 .. S-1]
// of S/B vectors each: B by B sub-blocks, each transposed and moved to
// its mirror place. Only moves values.
template <typename P, int S>
FFT_ALWAYS_INLINE void transposeRows(typename P::V (&x)[S][S / P::kComplexes]) {
  constexpr int B = P::kComplexes;
  constexpr int R = S / B;
  typename P::V out[S][R];
  for (int t = 0; t < R; ++t) {
    for (int u = 0; u < R; ++u) {
      typename P::V block[B];
      for (int i = 0; i < B; ++i) block[i] = x[t * B + i][u];
      P::transpose(block);
      for (int i = 0; i < B; ++i) out[u * B + i][t] = block[i];
    }
  }
  for (int r = 0; r < S; ++r) {
    for (int v = 0; v < R; ++v) x[r][v] = out[r][v];
  }
}

// The same reversal S low fields at a time: the S by S block of complex
// values with high fields reverse(kb .. kb+S-1), middle field `middle` and
// low fields jb .. jb+S-1 belongs, transposed, where the block with high
// fields reverse(jb ..), the reversed middle field and low fields kb ..
// lies, and that one, transposed, here. Each vector load and store moves
// a vector's width of neighbouring complex values instead of one; every
// value is moved (or stays) exactly once. Needs m of at least S.
template <typename Real, bool Conj, int Middle, int S>
void bitReverseBlocks(int m, Real* a) {
  using P = Pack<Real, kComplexesPerVector<Real>>;
  using V = typename P::V;
  constexpr int B = P::kComplexes;
  constexpr int R = S / B;  // vectors per row
  const int* reverseMiddle = Middle == 8 ? kReverse8 : kReverse16;
  const int bits = __builtin_ctz(static_cast<unsigned>(m));
  const int highStride = Middle * m;
  int rowK[S], rowJ[S];
  // The block at x0 (rows rowK) and the one at y0 (rows rowJ), each
  // transposed into the other's place.
  auto swapBlocks = [&](Real* x0, Real* y0) FFT_LAMBDA_ALWAYS_INLINE {
    V x[S][R], y[S][R];
    for (int t = 0; t < S; ++t) {
      for (int v = 0; v < R; ++v) x[t][v] = P::load(x0 + 2 * rowK[t] + 2 * B * v);
    }
    for (int u = 0; u < S; ++u) {
      for (int v = 0; v < R; ++v) y[u][v] = P::load(y0 + 2 * rowJ[u] + 2 * B * v);
    }
    transposeRows<P, S>(x);
    transposeRows<P, S>(y);
    for (int u = 0; u < S; ++u) {
      for (int v = 0; v < R; ++v) P::store(y0 + 2 * rowJ[u] + 2 * B * v, conjugatedIf<Conj, P>(x[u][v]));
    }
    for (int t = 0; t < S; ++t) {
      for (int v = 0; v < R; ++v) P::store(x0 + 2 * rowK[t] + 2 * B * v, conjugatedIf<Conj, P>(y[t][v]));
    }
  };
  for (int kb = 0; kb < m; kb += S) {
    for (int t = 0; t < S; ++t) rowK[t] = reverseBits(kb + t, bits) * highStride;
    // Blocks off the diagonal: every middle field trades with its reverse.
    for (int jb = 0; jb < kb; jb += S) {
      for (int u = 0; u < S; ++u) rowJ[u] = reverseBits(jb + u, bits) * highStride;
      for (int middle = 0; middle < Middle; ++middle) {
        swapBlocks(a + 2 * (middle * m + jb), a + 2 * (reverseMiddle[middle] * m + kb));
      }
    }
    // On the diagonal each pair of middle fields once, and a block whose
    // middle field is its own reverse is its own partner.
    for (int u = 0; u < S; ++u) rowJ[u] = rowK[u];
    for (int middle = 0; middle < Middle; ++middle) {
      const int reversed = reverseMiddle[middle];
      Real* const x0 = a + 2 * (middle * m + kb);
      if (middle < reversed) {
        swapBlocks(x0, a + 2 * (reversed * m + kb));
      } else if (middle == reversed) {
        if constexpr (S > B) {
          // Transposed in place, loaded once (worth it where the block is
          // larger than a vector's width).
          V x[S][R];
          for (int t = 0; t < S; ++t) {
            for (int v = 0; v < R; ++v) x[t][v] = P::load(x0 + 2 * rowK[t] + 2 * B * v);
          }
          transposeRows<P, S>(x);
          for (int t = 0; t < S; ++t) {
            for (int v = 0; v < R; ++v) P::store(x0 + 2 * rowK[t] + 2 * B * v, conjugatedIf<Conj, P>(x[t][v]));
          }
        } else {
          swapBlocks(x0, x0);
        }
      }
    }
  }
}

// True when the block reversal ran (the array is large enough for it).
// Blocks of two vectors' width where a vector holds two complex values
// and the array is large enough: fewer index steps per value moved.
template <typename Real, bool Conj>
bool bitReverseByBlocks(int n, Real* a) {
  const ReverseFields f = reverseFields(n);
  constexpr int B = kComplexesPerVector<Real>;
  if (B < 2 || f.m < B) return false;
  if constexpr (B == 2) {
    if (f.m >= 2 * B) {
      if (f.middle == 16) {
        bitReverseBlocks<Real, Conj, 16, 2 * B>(f.m, a);
      } else {
        bitReverseBlocks<Real, Conj, 8, 2 * B>(f.m, a);
      }
      return true;
    }
  }
  if (f.middle == 16) {
    bitReverseBlocks<Real, Conj, 16, B>(f.m, a);
  } else {
    bitReverseBlocks<Real, Conj, 8, B>(f.m, a);
  }
  return true;
}

template <typename Real, bool Conj>
void bitReverseByTable(int n, const int* ip, Real* a) {
  if (bitReverseByBlocks<Real, Conj>(n, a)) return;
  const ReverseFields f = reverseFields(n);
  if (f.middle == 16) {
    bitReverseFields<Real, Conj, 16>(f.m, ip + f.m, a);
  } else {
    bitReverseFields<Real, Conj, 8>(f.m, ip + f.m, a);
  }
}

// Earlier variant: the reversed indices are rebuilt at every call in ip[2 ..].
template <typename Real, bool Conj>
void fftBitReverseScratch(int n, int* ipBase, Real* a) {
  int* ip = ipBase + 2;
  ip[0] = 0;
  int l = n;
  int m = 1;
  while ((m << 3) < l) {
    l >>= 1;
    for (int j = 0; j < m; ++j) ip[m + j] = ip[j] + l;
    m <<= 1;
  }
  // The indices above stay in ip as the variant leaves them; the values
  // move by blocks where the array is large enough, the same permutation.
  if (bitReverseByBlocks<Real, Conj>(n, a)) return;
  const int m2 = 2 * m;
  auto swapPair = [a](int x, int y) {
    const typename One<Real>::V vx = One<Real>::load(a + x), vy = One<Real>::load(a + y);
    One<Real>::store(a + x, vy);
    One<Real>::store(a + y, vx);
  };
  if ((m << 3) == l) {
    for (int k = 0; k < m; ++k) {
      for (int j = 0; j < k; ++j) {
        int j1 = 2 * j + ip[k];
        int k1 = 2 * k + ip[j];
        swapPair(j1, k1);
        j1 += m2;
        k1 += 2 * m2;
        swapPair(j1, k1);
        j1 += m2;
        k1 -= m2;
        swapPair(j1, k1);
        j1 += m2;
        k1 += 2 * m2;
        swapPair(j1, k1);
      }
      const int j1 = 2 * k + m2 + ip[k];
      swapPair(j1, j1 + m2);
    }
  } else {
    for (int k = 1; k < m; ++k) {
      for (int j = 0; j < k; ++j) {
        int j1 = 2 * j + ip[k];
        int k1 = 2 * k + ip[j];
        swapPair(j1, k1);
        j1 += m2;
        k1 += m2;
        swapPair(j1, k1);
      }
    }
  }
  if (Conj) {
    for (int j = 0; j < n; j += 2) One<Real>::store(a + j, One<Real>::conjugated(One<Real>::load(a + j)));
  }
}

// ---- Block schedules ----------------------------------------------------------

template <typename Real, Variant V>
struct Core {
  // Kind 1 block of 64 or 128 Reals after its stage.
  static void fftLeafSmall(int n, Real* a, int nw, const Real* w) {
    if (n == 128) {
      sixteenPointKernels(a, w + nw - 8, w + nw - 32, false);
    } else {
      eightPointKernels(a, w + nw - 8, false);
    }
  }

  // Four 16-point kernels on the 128 Reals at a: kinds 1, 2, 1 and 1, or 2
  // when lastOfKind2; w8 and w32 the 4- and 16-entry tables.
  static void sixteenPointKernels(Real* a, const Real* w8, const Real* w32, bool lastOfKind2) {
    // One set of twiddle vectors of each kind serves the four.
    if constexpr (kFourInOneVector<Real>) {
      const Kernel16Kind1Twiddles<Real, V> t1(w8);
      const Kernel16Kind2Twiddles<Real, V> t2(w32);
      rowOfFour(
          a, 32, lastOfKind2, [&](Real* p) { butterfly16Kind1Quad<Real, V>(p, t1); },
          [&](Real* p) { butterfly16Kind2Quad<Real, V>(p, t2); });
    } else if constexpr (kPairInOneVector<Real>) {
      sixteenPointKernels(a, Kernel16PairKind1Twiddles<Real, V>(w8), Kernel16PairKind2Twiddles<Real, V>(w32),
                          lastOfKind2);
    } else {
      rowOfFour(
          a, 32, lastOfKind2, [&](Real* p) { fftButterfly16<Real, V>(p, w8); },
          [&](Real* p) { fftButterfly16b<Real, V>(p, w32); });
    }
  }

  // The same with two complex values per vector, the twiddle vectors
  // built by the caller (once for many rows).
  static void sixteenPointKernels(Real* a, const Kernel16PairKind1Twiddles<Real, V>& t1,
                                  const Kernel16PairKind2Twiddles<Real, V>& t2, bool lastOfKind2) {
    rowOfFour(
        a, 32, lastOfKind2, [&](Real* p) FFT_LAMBDA_ALWAYS_INLINE { butterfly16Kind1Pairs<Real, V>(p, t1); },
        [&](Real* p) FFT_LAMBDA_ALWAYS_INLINE { butterfly16Kind2Pairs<Real, V>(p, t2); });
  }

  // Four 8-point kernels on the 64 Reals at a: kinds 1, 2, 1 and 1, or 2
  // when lastOfKind2.
  static void eightPointKernels(Real* a, const Real* w8, bool lastOfKind2) {
    // One set of twiddle vectors serves the four.
    if constexpr (kFourInOneVector<Real>) {
      const Kernel8QuadTwiddles<Real, V> t(w8);
      rowOfFour(
          a, 16, lastOfKind2, [&](Real* p) { butterfly8InVectors<Real, V, false>(p, t); },
          [&](Real* p) { butterfly8InVectors<Real, V, true>(p, t); });
    } else if constexpr (kPairInOneVector<Real>) {
      eightPointKernels(a, Kernel8PairTwiddles<Real, V>(w8), lastOfKind2);
    } else {
      rowOfFour(
          a, 16, lastOfKind2, [&](Real* p) { fftButterfly8<Real, V>(p, w8); },
          [&](Real* p) { fftButterfly8b<Real, V>(p, w8); });
    }
  }

  // The same with two complex values per vector, the twiddle vectors
  // built by the caller.
  static void eightPointKernels(Real* a, const Kernel8PairTwiddles<Real, V>& t, bool lastOfKind2) {
    rowOfFour(
        a, 16, lastOfKind2, [&](Real* p) { butterfly8Pairs<Real, V, false>(p, t); },
        [&](Real* p) { butterfly8Pairs<Real, V, true>(p, t); });
  }

  // Calls body with the kernels that end the blocks of l Reals (64 or 128)
  // of the expansions, as leaf (block, lastOfKind2): kinds 1, 2, 1 and 1,
  // or 2 when lastOfKind2. With two complex values per vector the kernels'
  // twiddle vectors are built once for all those blocks.
  template <typename Body>
  static FFT_ALWAYS_INLINE void withLeafKernels(int l, int nw, const Real* w, Body body) {
    if constexpr (kPairInOneVector<Real> && !kFourInOneVector<Real>) {
      if (l == 128) {
        const Kernel16PairKind1Twiddles<Real, V> t1(w + nw - 8);
        const Kernel16PairKind2Twiddles<Real, V> t2(w + nw - 32);
        body([&](Real* p, bool lastOfKind2) { sixteenPointKernels(p, t1, t2, lastOfKind2); });
      } else {
        const Kernel8PairTwiddles<Real, V> t(w + nw - 8);
        body([&](Real* p, bool lastOfKind2) { eightPointKernels(p, t, lastOfKind2); });
      }
    } else {
      body([&](Real* p, bool lastOfKind2) {
        if (lastOfKind2) {
          fftLeafSmall2(l, p, nw, w);
        } else {
          fftLeafSmall(l, p, nw, w);
        }
      });
    }
  }

  // Four kernels `step` Reals apart: kinds 1, 2, 1 and 1, or 2 when
  // lastOfKind2.
  template <typename Kind1, typename Kind2>
  static FFT_ALWAYS_INLINE void rowOfFour(Real* a, int step, bool lastOfKind2, Kind1 kind1, Kind2 kind2) {
    kind1(a);
    kind2(a + step);
    kind1(a + 2 * step);
    if (lastOfKind2) {
      kind2(a + 3 * step);
    } else {
      kind1(a + 3 * step);
    }
  }

  // Kind 2 block of 64 or 128 Reals after its stage (earlier variant).
  static void fftLeafSmall2(int n, Real* a, int nw, const Real* w) {
    if (n == 128) {
      sixteenPointKernels(a, w + nw - 8, w + nw - 32, true);
    } else {
      eightPointKernels(a, w + nw - 8, true);
    }
  }

  static void stage(int kind, int n, Real* a, int nw, const Real* w) {
    if (kind == 1) {
      fftMiddleStage1<Real, V>(n, a, w + nw - (n >> 1));
    } else {
      fftMiddleStage2<Real, V>(n, a, w + nw - n);
    }
  }

  // Current variant: a block of 512 or 256 Reals whose own stage has run;
  // its last quarter is of the block's kind.
  static void fftLeaf(int n, int kind, Real* a, int nw, const Real* w) {
    const Real* w8 = w + nw - 8;
    if (n == 512) {
      // The four kernels after each stage are independent of each other:
      // their order is free.
      const Real* w32 = w + nw - 32;
      stage(1, 128, a, nw, w);
      sixteenPointKernels(a, w8, w32, false);
      stage(2, 128, a + 128, nw, w);
      sixteenPointKernels(a + 128, w8, w32, true);
      stage(1, 128, a + 256, nw, w);
      sixteenPointKernels(a + 256, w8, w32, false);
      stage(kind, 128, a + 384, nw, w);
      sixteenPointKernels(a + 384, w8, w32, kind != 1);
    } else {
      // The four kernels after each stage are independent of each other:
      // their order is free.
      stage(1, 64, a, nw, w);
      eightPointKernels(a, w8, false);
      stage(2, 64, a + 64, nw, w);
      eightPointKernels(a + 64, w8, true);
      stage(1, 64, a + 128, nw, w);
      eightPointKernels(a + 128, w8, false);
      stage(kind, 64, a + 192, nw, w);
      eightPointKernels(a + 192, w8, kind != 1);
    }
  }

  // Current variant: applies the stages that become due before the leaf
  // that ends at j (the k-th leaf counted from the end) and returns its kind.
  static int fftTree(int n, int j, int k, Real* a, int nw, const Real* w) {
    if ((k & 3) != 0) {
      const int kind = (k & 1) ? 1 : 2;
      stage(kind, n, a + j - n, nw, w);
      return kind;
    }
    int m = n;
    int i = k;
    while ((i & 3) == 0) {
      i >>= 2;
      m <<= 2;
    }
    const int kind = (i & 1) ? 1 : 2;
    while (m > 128) {
      stage(kind, m, a + j - m, nw, w);
      m >>= 2;
    }
    return kind;
  }

  // Current variant: depth-first over blocks above 512 Reals, no recursion.
  static void fftRecursiveRadix4(int n, Real* a, int nw, const Real* w) {
    int m = n;
    while (m > 512) {
      m >>= 2;
      stage(1, m, a + n - m, nw, w);
    }
    fftLeaf(m, 1, a + n - m, nw, w);
    int k = 0;
    for (int j = n - m; j > 0; j -= m) {
      ++k;
      const int kind = fftTree(m, j, k, a, nw, w);
      fftLeaf(m, kind, a + j - m, nw, w);
    }
  }

  // Earlier variant: breadth-first expansion of a kind 1 block of at most
  // 512 Reals whose own stage has run; leaf the kernels of its last blocks
  // (withLeafKernels).
  template <typename Leaf>
  static void fftExpand1(int n, Real* a, int nw, const Real* w, const Leaf& leaf) {
    int l = n >> 2;
    for (; l > 128; l >>= 2) {
      for (int k = l; k < n; k <<= 2) {
        for (int j = k - l; j < n; j += 4 * k) {
          stage(1, l, a + j, nw, w);
          stage(2, l, a + k + j, nw, w);
          stage(1, l, a + 2 * k + j, nw, w);
        }
      }
      stage(1, l, a + n - l, nw, w);
    }
    for (int k = l; k < n; k <<= 2) {
      for (int j = k - l; j < n; j += 4 * k) {
        stage(1, l, a + j, nw, w);
        leaf(a + j, false);
        stage(2, l, a + k + j, nw, w);
        leaf(a + k + j, true);
        stage(1, l, a + 2 * k + j, nw, w);
        leaf(a + 2 * k + j, false);
      }
    }
    stage(1, l, a + n - l, nw, w);
    leaf(a + n - l, false);
  }

  // Earlier variant: the same for a kind 2 block.
  template <typename Leaf>
  static void fftExpand2(int n, Real* a, int nw, const Real* w, const Leaf& leaf) {
    const int h = n >> 1;
    int l = n >> 2;
    for (; l > 128; l >>= 2) {
      for (int k = l; k < h; k <<= 2) {
        for (int j = k - l; j < h; j += 2 * k) {
          stage(1, l, a + j, nw, w);
          stage(1, l, a + h + j, nw, w);
        }
        for (int j = 2 * k - l; j < h; j += 4 * k) {
          stage(2, l, a + j, nw, w);
          stage(2, l, a + h + j, nw, w);
        }
      }
    }
    for (int k = l; k < h; k <<= 2) {
      for (int j = k - l; j < h; j += 2 * k) {
        stage(1, l, a + j, nw, w);
        leaf(a + j, false);
        stage(1, l, a + h + j, nw, w);
        leaf(a + h + j, false);
      }
      for (int j = 2 * k - l; j < h; j += 4 * k) {
        stage(2, l, a + j, nw, w);
        leaf(a + j, true);
        stage(2, l, a + h + j, nw, w);
        leaf(a + h + j, true);
      }
    }
  }

  // Earlier variant: four-way recursion above 512 Reals.
  template <typename Leaf>
  static void fftQuarterRecursion1(int n, Real* a, int nw, const Real* w, const Leaf& leaf) {
    stage(1, n, a, nw, w);
    afterQuarterStage1(n, a, nw, w, leaf);
  }

  // What follows a kind 1 stage of n Reals: the quarters, or the expansion.
  template <typename Leaf>
  static void afterQuarterStage1(int n, Real* a, int nw, const Real* w, const Leaf& leaf) {
    if (n > 512) {
      const int m = n >> 2;
      fftQuarterRecursion1(m, a, nw, w, leaf);
      fftQuarterRecursion2(m, a + m, nw, w, leaf);
      fftQuarterRecursion1(m, a + 2 * m, nw, w, leaf);
      fftQuarterRecursion1(m, a + 3 * m, nw, w, leaf);
    } else {
      fftExpand1(n, a, nw, w, leaf);
    }
  }

  template <typename Leaf>
  static void fftQuarterRecursion2(int n, Real* a, int nw, const Real* w, const Leaf& leaf) {
    const int m = n >> 2;
    stage(2, n, a, nw, w);
    if (n > 512) {
      fftQuarterRecursion1(m, a, nw, w, leaf);
      fftQuarterRecursion2(m, a + m, nw, w, leaf);
      fftQuarterRecursion1(m, a + 2 * m, nw, w, leaf);
      fftQuarterRecursion2(m, a + 3 * m, nw, w, leaf);
    } else {
      fftExpand2(n, a, nw, w, leaf);
    }
  }

  // Everything after the first stage of an array of more than 32 Reals.
  static void afterFirstStage(int n, Real* a, int nw, const Real* w) {
    if (V == Variant::Current) {
      if (n > 512) {
        fftRecursiveRadix4(n, a, nw, w);
      } else if (n > 128) {
        fftLeaf(n, 1, a, nw, w);
      } else {
        fftLeafSmall(n, a, nw, w);
      }
    } else {
      if ((n >> 2) > 32) {
        // Every expansion of one transform works on blocks of the same
        // size (n divided by 4 until at most 512), so all of them share
        // one set of leaf kernels.
        int expanded = n;
        while (expanded > 512) expanded >>= 2;
        withLeafKernels(expanded >> 2, nw, w, [&](const auto& leaf) { afterQuarterStage1(n, a, nw, w, leaf); });
      } else {
        fftLeafSmall(n, a, nw, w);
      }
    }
  }

  template <bool Conj>
  static void bitReverse(int n, int* ip, Real* a) {
    if (V == Variant::Current) {
      bitReverseByTable<Real, Conj>(n, ip, a);
    } else {
      fftBitReverseScratch<Real, Conj>(n, ip, a);
    }
  }

  // Bit-reversal permutation of the n/2 complex values; the backward one
  // also negates every imaginary part.
  static void fftBitReverseForward(int n, int* ip, Real* a) { bitReverse<false>(n, ip, a); }
  static void fftBitReverseBackward(int n, int* ip, Real* a) { bitReverse<true>(n, ip, a); }

  // First radix-4 stage over the whole array; the backward one reads its
  // input conjugated.
  static void fftFirstStageForward(int n, Real* a, const Real* w) { fftFirstStage<Real, V, false>(n, a, w); }
  static void fftFirstStageBackward(int n, Real* a, const Real* w) { fftFirstStage<Real, V, true>(n, a, w); }

  // Complex transform with positive exponent, natural order.
  static void fftComplexForward(int n, Real* a, int* ip, int nw, const Real* w) {
    if (n > 32) {
      fftFirstStageForward(n, a, w + nw - (n >> 2));
      afterFirstStage(n, a, nw, w);
      fftBitReverseForward(n, ip, a);
    } else if (n == 32) {
      fftButterfly16<Real, V>(a, w + nw - 8);
      fftPermute16(a);
    } else if (n == 16) {
      fftButterfly8<Real, V>(a, w);
      fftPermute8(a);
    } else if (n == 8) {
      fftButterfly4(a);
    } else if (n == 4) {
      fftButterfly2(a);
    }
  }

  // Complex transform with negative exponent: the forward core on the
  // conjugated input, conjugated again on the way out.
  static void fftComplexBackward(int n, Real* a, int* ip, int nw, const Real* w) {
    if (n > 32) {
      fftFirstStageBackward(n, a, w + nw - (n >> 2));
      afterFirstStage(n, a, nw, w);
      fftBitReverseBackward(n, ip, a);
    } else if (n == 32) {
      fftButterfly16<Real, V>(a, w + nw - 8);
      fftPermute16Neg(a);
    } else if (n == 16) {
      fftButterfly8<Real, V>(a, w);
      fftPermute8Neg(a);
    } else if (n == 8) {
      fftButterfly4b(a);
    } else if (n == 4) {
      fftButterfly2(a);
    }
  }

  // One step of the real post- (Backward false) or pre-processing (Backward
  // true) on the values at pj (ascending) and pk = a + n - j (descending):
  // P holds one j, or several neighbouring ones, and the matching k values.
  // The backward steps multiply by the conjugated twiddle, and get it
  // conjugated already: its sine negated once costs what the sign flips
  // inside a conjugated product would, and gives the same products.
  template <typename P>
  static FFT_ALWAYS_INLINE void realStep(Real* pj, Real* pk, const typename P::Twiddle& wk) {
    using Vec = typename P::V;
    const Vec aj = P::load(pj);
    const Vec ak = P::reversed(P::load(pk));
    // (a[j] - a[k], a[j+1] + a[k+1])
    const Vec x = P::subtractRealAddImaginary(aj, ak);
    const Vec y = P::times(wk, x);
    P::store(pj, aj - y);
    P::store(pk, P::reversed(ak + y * P::repeat(1, -1)));
  }

  // The twiddles of B = P::kComplexes neighbouring steps, First ..
  // First + B - 1 of a row of R (table stride 1), for every complex value
  // of P: (0.5 - c[nc - kk], c[kk]) from the row's sines and its values
  // 0.5 - cosine (cosines read descending), each loaded by one vector load
  // instead of value by value; one lane permutation repeats each value.
  template <typename P, int First, typename Row, int... lane>
  static FFT_ALWAYS_INLINE typename P::Twiddle realTwiddlesInRow(Row sines, Row re,
                                                                 std::integer_sequence<int, lane...>) {
    constexpr int R = sizeof(Row) / sizeof(Real);
    return {__builtin_shufflevector(re, re, (R - 1 - First - lane / 2)...),
            P::sines(__builtin_shufflevector(sines, sines, (First + lane / 2)...))};
  }

  // The steps from j on, Rows times as many as P holds at a time while
  // they last, with the twiddles of table stride 1; advances j and kk past
  // them. Two rows per pass share the table loads and the loop's
  // bookkeeping.
  template <typename P, bool Backward, int Rows = 1>
  static FFT_ALWAYS_INLINE void stepsInRow(int n, Real* a, int nc, const Real* c, int& j, int& kk) {
    static_assert(Rows == 1 || Rows == 2, "one or two rows per pass");
    constexpr int B = P::kComplexes;
    constexpr int R = Rows * B;
    typedef Real Row __attribute__((vector_size(R * sizeof(Real))));
    const std::make_integer_sequence<int, 2 * B> lanes;
    const int m = n >> 1;
    int count = (m - j) / (2 * R);
    Real* lo = a + j;
    Real* hi = a + n - j - 2 * (B - 1);
    const Real* sinesFrom = c + kk + 1;
    const Real* cosinesTo = c + nc - kk - 1;
    j += count * 2 * R;
    kk += count * R;
    for (; count > 0; --count, lo += 2 * R, hi -= 2 * R, sinesFrom += R, cosinesTo -= R) {
      Row sines, cosines;
      std::memcpy(&sines, sinesFrom, sizeof sines);
      if constexpr (Backward) sines = -sines;
      std::memcpy(&cosines, cosinesTo - (R - 1), sizeof cosines);  // descending
      const Row re = Real(0.5) - cosines;
      realStep<P>(lo, hi, realTwiddlesInRow<P, 0>(sines, re, lanes));
      if constexpr (Rows == 2) realStep<P>(lo + 2 * B, hi - 2 * B, realTwiddlesInRow<P, B>(sines, re, lanes));
    }
  }

  template <bool Backward>
  static void realSteps(int n, Real* a, int nc, const Real* c) {
    using P1 = One<Real>;
    using P2 = Two<Real>;
    const int m = n >> 1;
    const int ks = 2 * nc / m;
    if (m <= 2) return;
    // The sine of step kk, negated for the backward steps.
    const auto sine = [c](int kk) FFT_LAMBDA_ALWAYS_INLINE { return Backward ? -c[kk] : c[kk]; };
    realStep<P1>(a + 2, a + n - 2, P1::twiddle(Real(0.5) - c[nc - ks], sine(ks)));
    // m is a multiple of 4 from here on: the other steps come in pairs, or
    // in fours where a vector holds four complex values. The steps are
    // independent of each other, so their grouping changes no result.
    int kk = ks;
    int j = 4;
    if (ks == 1) {
      // Tables built for this very length (the usual case): the twiddles
      // of neighbouring steps lie side by side.
      if constexpr (kComplexesPerVector<Real> == 4) stepsInRow<Pack<Real, 4>, Backward>(n, a, nc, c, j, kk);
      if constexpr (kComplexesPerVector<Real> == 2) stepsInRow<P2, Backward, 2>(n, a, nc, c, j, kk);
      if constexpr (kPairInOneVector<Real>) stepsInRow<P2, Backward>(n, a, nc, c, j, kk);
    }
    for (; j < m; j += 4) {
      const int kk1 = kk + ks, kk2 = kk1 + ks;
      kk = kk2;
      if constexpr (kPairInOneVector<Real>) {
        realStep<P2>(a + j, a + n - j - 2,
                     P2::twiddles(Real(0.5) - c[nc - kk1], sine(kk1), Real(0.5) - c[nc - kk2], sine(kk2)));
      } else {
        realStep<P1>(a + j, a + n - j, P1::twiddle(Real(0.5) - c[nc - kk1], sine(kk1)));
        realStep<P1>(a + j + 2, a + n - j - 2, P1::twiddle(Real(0.5) - c[nc - kk2], sine(kk2)));
      }
    }
  }

  // Turns the complex transform of the n/2 pairs into the real spectrum
  // (and back); c is the cosine table of nc entries.
  static void fftRealPostForward(int n, Real* a, int nc, const Real* c) { realSteps<false>(n, a, nc, c); }
  static void fftRealPreBackward(int n, Real* a, int nc, const Real* c) { realSteps<true>(n, a, nc, c); }
};

// ---- Conversions ----------------------------------------------------------------

// to[j] = from[j] converted, for j < n: float to double exactly, double to
// float rounded to nearest, as the scalar conversion does. Here so that the
// AVX2 compilation converts a 32-byte vector's width at a time.
template <typename From, typename To>
inline void convertValues(int n, const From* from, To* to) {
  for (int j = 0; j < n; ++j) to[j] = static_cast<To>(from[j]);
}

// ---- Tables -----------------------------------------------------------------

// Angle steps are formed in double and rounded to Real; sine and cosine run
// in Real (the float overloads for the single-precision instance).
template <typename Real>
inline Real angleStep(int divisor) {
  return static_cast<Real>(0.7853981633974483 / divisor);
}

// Current variant: bit-reversal table of the transform of 4 nw Reals.
inline void fftBitReverseTable(int nw, int* ip) {
  ip[2] = 0;
  ip[3] = 16;
  int m = 2;
  for (int l = nw; l > 32; l >>= 2) {
    const int m2 = m << 1;
    const int q = m2 << 3;
    for (int j = m; j < m2; ++j) {
      const int p = ip[j] << 2;
      ip[m + j] = p;
      ip[m2 + j] = p + q;
    }
    m = m2;
  }
}

template <typename Real, Variant V>
void makeTwiddleTable(int nw, int* ip, Real* w) {
  ip[0] = nw;
  ip[1] = 1;
  if (nw <= 2) return;
  int h = nw >> 1;
  const Real delta = angleStep<Real>(h);
  const Real wn4r = std::cos(delta * static_cast<Real>(h));
  w[0] = 1;
  w[1] = wn4r;
  const Real sin3Sign = V == Variant::Current ? Real(-1) : Real(1);
  if (V == Variant::Current && h == 4) {
    w[2] = std::cos(delta * Real(2));
    w[3] = std::sin(delta * Real(2));
  } else if (h >= 4) {
    if (V == Variant::Current) fftBitReverseTable(nw, ip);
    w[2] = Real(0.5) / std::cos(delta * Real(2));
    w[3] = Real(0.5) / std::cos(delta * Real(6));
    for (int j = 4; j < h; j += 4) {
      const Real x = static_cast<Real>(j);
      w[j] = std::cos(delta * x);
      w[j + 1] = std::sin(delta * x);
      w[j + 2] = std::cos(Real(3) * delta * x);
      w[j + 3] = sin3Sign * std::sin(Real(3) * delta * x);
    }
  }
  int p = 0;
  while (h > 2) {
    const int q = p + h;
    h >>= 1;
    w[q] = 1;
    w[q + 1] = wn4r;
    if (V == Variant::Current && h == 4) {
      w[q + 2] = w[p + 4];
      w[q + 3] = w[p + 5];
    } else if (h >= 4) {
      w[q + 2] = Real(0.5) / w[p + 4];
      w[q + 3] = Real(0.5) / w[p + 6];
      for (int j = 4; j < h; j += 4) {
        w[q + j] = w[p + 2 * j];
        w[q + j + 1] = w[p + 2 * j + 1];
        w[q + j + 2] = w[p + 2 * j + 2];
        w[q + j + 3] = w[p + 2 * j + 3];
      }
    }
    p = q;
  }
}

template <typename Real>
void makeCosineTable(int nc, int* ip, Real* c) {
  ip[1] = nc;
  if (nc <= 1) return;
  const int h = nc >> 1;
  const Real delta = angleStep<Real>(h);
  c[0] = std::cos(delta * static_cast<Real>(h));
  c[h] = Real(0.5) * c[0];
  for (int j = 1; j < h; ++j) {
    const Real x = static_cast<Real>(j);
    c[j] = Real(0.5) * std::cos(delta * x);
    c[nc - j] = Real(0.5) * std::sin(delta * x);
  }
}

}  // namespace FFT_INSTRUCTION_SET
}  // namespace detail
}  // namespace Fft
