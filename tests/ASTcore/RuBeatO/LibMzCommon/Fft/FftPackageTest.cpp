// The FFT package against references computed another way: a naive
// long-double DFT, closed forms for tiny lengths, round trips, and the
// caching rules of the work arrays.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "FftPackage.h"

namespace {

using Fft::Variant;

// ---- Naive references --------------------------------------------------------

struct Twiddles {
  explicit Twiddles(int n) : cosT(n), sinT(n) {
    const long double step = 2.0L * 3.14159265358979323846264338327950288L / n;
    for (int t = 0; t < n; ++t) {
      cosT[t] = std::cos(step * t);
      sinT[t] = std::sin(step * t);
    }
  }
  std::vector<long double> cosT, sinT;
};

// The O(n^2) references dominate the suite's run time; they are optimised
// even in the sanitized debug build (the code under test is not).
#if defined(__GNUC__) && !defined(__clang__)
#define QM_FAST_REFERENCE __attribute__((optimize("O2")))
#else
#define QM_FAST_REFERENCE
#endif

// Forward real DFT in the package's packed layout (positive sine sums).
template <typename Real>
QM_FAST_REFERENCE std::vector<long double> naiveRealForward(const std::vector<Real>& input) {
  const int n = static_cast<int>(input.size());
  const Twiddles tw(n);
  const std::vector<long double> xs(input.begin(), input.end());
  const long double* x = xs.data();
  const long double* cosT = tw.cosT.data();
  const long double* sinT = tw.sinT.data();
  std::vector<long double> out(n);
  for (int k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    int idx = 0;
    for (int j = 0; j < n; ++j) {
      re += x[j] * cosT[idx];
      im += x[j] * sinT[idx];
      idx += k;
      if (idx >= n) idx -= n;
    }
    if (k == 0) {
      out[0] = re;
    } else if (k == n / 2) {
      out[1] = re;
    } else {
      out[2 * k] = re;
      out[2 * k + 1] = im;
    }
  }
  return out;
}

// Backward real transform of a packed spectrum, by its defining sum.
template <typename Real>
QM_FAST_REFERENCE std::vector<long double> naiveRealBackward(const std::vector<Real>& s) {
  const int n = static_cast<int>(s.size());
  const Twiddles tw(n);
  std::vector<long double> out(n);
  for (int j = 0; j < n; ++j) {
    long double v = (static_cast<long double>(s[0]) + s[1] * ((j % 2) ? -1.0L : 1.0L)) / 2;
    int idx = 0;
    for (int k = 1; k < n / 2; ++k) {
      idx += j;
      if (idx >= n) idx -= n;
      v += s[2 * k] * tw.cosT[idx] + s[2 * k + 1] * tw.sinT[idx];
    }
    out[j] = v;
  }
  return out;
}

// Complex DFT of the n/2 interleaved values with exponent sign `sign`.
template <typename Real>
QM_FAST_REFERENCE std::vector<long double> naiveComplex(const std::vector<Real>& input, int sign) {
  const int count = static_cast<int>(input.size()) / 2;
  const Twiddles tw(count);
  const std::vector<long double> xs(input.begin(), input.end());
  const long double* x = xs.data();
  const long double* cosT = tw.cosT.data();
  const long double* sinT = tw.sinT.data();
  std::vector<long double> out(input.size());
  for (int k = 0; k < count; ++k) {
    long double re = 0, im = 0;
    int idx = 0;
    for (int j = 0; j < count; ++j) {
      const long double c = cosT[idx], s = sign * sinT[idx];
      re += x[2 * j] * c - x[2 * j + 1] * s;
      im += x[2 * j] * s + x[2 * j + 1] * c;
      idx += k;
      if (idx >= count) idx -= count;
    }
    out[2 * k] = re;
    out[2 * k + 1] = im;
  }
  return out;
}

template <typename Real>
std::vector<Real> randomSignal(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<Real> x(n);
  for (auto& v : x) v = static_cast<Real>(dist(gen));
  return x;
}

// Relative L2 distance between a result and its reference.
template <typename Real, typename Ref>
double relativeError(const std::vector<Real>& got, const std::vector<Ref>& ref) {
  long double err = 0, norm = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const long double d = static_cast<long double>(got[i]) - static_cast<long double>(ref[i]);
    err += d * d;
    norm += static_cast<long double>(ref[i]) * static_cast<long double>(ref[i]);
  }
  return norm == 0 ? static_cast<double>(std::sqrt(err)) : static_cast<double>(std::sqrt(err / norm));
}

int log2Of(int n) {
  int b = 0;
  while ((1 << b) < n) ++b;
  return b;
}

// A split-radix FFT's error grows with log2(n); a few epsilons per level
// leaves room for rounding but not for a wrong twiddle or index.
template <typename Real>
double tolerance(int n) {
  return 4.0 * std::numeric_limits<Real>::epsilon() * (log2Of(n) + 1);
}

// ---- The three instances ---------------------------------------------------------

template <typename Real, Variant V>
struct Instance {
  using RealType = Real;
  static constexpr Variant variant = V;
  static int maxLength() { return std::is_same<Real, float>::value ? 32768 : 8192; }
  // The checked entry point the rest of the program uses for this instance.
  static void real(int n, int isgn, std::vector<Real>& a, std::vector<int>& ip, std::vector<Real>& w) {
    if constexpr (V == Variant::Earlier) {
      Fft::RealFft(n, isgn, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size());
    } else {
      Fft::rdft(n, isgn, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size());
    }
  }
  static void makewt(int nw, int* ip, Real* w) { Fft::Package<Real, V>::makewt(nw, ip, w); }
};

using SingleInstance = Instance<float, Variant::Current>;
using SyncInstance = Instance<double, Variant::Current>;
using TimeStretchInstance = Instance<double, Variant::Earlier>;

template <typename I>
struct Arrays {
  using Real = typename I::RealType;
  explicit Arrays(int maxN) : ip(Fft::ipLengthFor(maxN), 0), w(Fft::rdftTableLengthFor(maxN), Real(0)) {}
  std::vector<int> ip;
  std::vector<Real> w;
};

template <typename I>
class RealTransform : public ::testing::Test {};

using Instances = ::testing::Types<SingleInstance, SyncInstance, TimeStretchInstance>;

struct InstanceNames {
  template <typename I>
  static std::string GetName(int) {
    if (std::is_same<I, SingleInstance>::value) return "SinglePrecision";
    if (std::is_same<I, SyncInstance>::value) return "DoublePrecisionSync";
    return "DoublePrecisionTimeStretch";
  }
};
TYPED_TEST_SUITE(RealTransform, Instances, InstanceNames);

TYPED_TEST(RealTransform, ForwardMatchesNaiveDftAtEveryLength) {
  using Real = typename TypeParam::RealType;
  for (int n = 2; n <= TypeParam::maxLength(); n *= 2) {
    SCOPED_TRACE(n);
    std::vector<Real> a = randomSignal<Real>(n, 1000u + n);
    const auto ref = naiveRealForward(a);
    Arrays<TypeParam> work(n);
    TypeParam::real(n, 1, a, work.ip, work.w);
    EXPECT_LT(relativeError(a, ref), tolerance<Real>(n));
  }
}

TYPED_TEST(RealTransform, BackwardMatchesItsDefiningSumAtEveryLength) {
  using Real = typename TypeParam::RealType;
  const int maxN = std::min(TypeParam::maxLength(), 8192);
  for (int n = 2; n <= maxN; n *= 2) {
    SCOPED_TRACE(n);
    std::vector<Real> s = randomSignal<Real>(n, 2000u + n);
    const auto ref = naiveRealBackward(s);
    Arrays<TypeParam> work(n);
    TypeParam::real(n, -1, s, work.ip, work.w);
    EXPECT_LT(relativeError(s, ref), tolerance<Real>(n));
  }
}

TYPED_TEST(RealTransform, BackwardAfterForwardGivesHalfNTimesTheInput) {
  using Real = typename TypeParam::RealType;
  for (int n = 2; n <= TypeParam::maxLength(); n *= 2) {
    SCOPED_TRACE(n);
    const std::vector<Real> x = randomSignal<Real>(n, 3000u + n);
    std::vector<Real> a = x;
    Arrays<TypeParam> work(n);
    TypeParam::real(n, 1, a, work.ip, work.w);
    TypeParam::real(n, -1, a, work.ip, work.w);
    std::vector<long double> scaled(n);
    for (int j = 0; j < n; ++j) scaled[j] = static_cast<long double>(x[j]) * (n / 2);
    EXPECT_LT(relativeError(a, scaled), 2 * tolerance<Real>(n));
  }
}

TYPED_TEST(RealTransform, FourPointsGiveTheClosedForm) {
  using Real = typename TypeParam::RealType;
  std::vector<Real> a = {Real(3), Real(-1), Real(4), Real(2.5)};
  Arrays<TypeParam> work(4);
  TypeParam::real(4, 1, a, work.ip, work.w);
  EXPECT_EQ(a[0], Real(3 - 1 + 4 + 2.5));
  EXPECT_EQ(a[1], Real(3 + 1 + 4 - 2.5));
  EXPECT_EQ(a[2], Real(3 - 4));
  EXPECT_EQ(a[3], Real(-1 - 2.5));
}

TYPED_TEST(RealTransform, TwoPointsTouchNoTableAndCacheNothing) {
  using Real = typename TypeParam::RealType;
  std::vector<Real> a = {Real(5), Real(2)};
  std::vector<int> ip(Fft::ipLengthFor(2), 0);
  std::vector<Real> w(4, Real(-7));
  TypeParam::real(2, 1, a, ip, w);
  EXPECT_EQ(a[0], Real(7));
  EXPECT_EQ(a[1], Real(3));
  EXPECT_EQ(ip[0], 0);
  EXPECT_EQ(ip[1], 1);
  for (Real v : w) EXPECT_EQ(v, Real(-7));
}

TYPED_TEST(RealTransform, ConstantCosineAndSineLandInTheirBins) {
  using Real = typename TypeParam::RealType;
  const double pi = 3.14159265358979323846;
  for (int n : {8, 64, 1024}) {
    SCOPED_TRACE(n);
    Arrays<TypeParam> work(n);
    const Real eps = Real(64) * std::numeric_limits<Real>::epsilon() * Real(n);
    std::vector<Real> ones(n, Real(1)), cosine(n), sine(n);
    for (int j = 0; j < n; ++j) {
      cosine[j] = static_cast<Real>(std::cos(2 * pi * j / n));
      sine[j] = static_cast<Real>(std::sin(2 * pi * j / n));
    }
    TypeParam::real(n, 1, ones, work.ip, work.w);
    TypeParam::real(n, 1, cosine, work.ip, work.w);
    TypeParam::real(n, 1, sine, work.ip, work.w);
    for (int k = 0; k < n; ++k) {
      EXPECT_NEAR(ones[k], k == 0 ? n : 0, eps) << k;
      EXPECT_NEAR(cosine[k], k == 2 ? n / 2 : 0, eps) << k;
      // The sine sum is positive: a[3] = +n/2, not -n/2.
      EXPECT_NEAR(sine[k], k == 3 ? n / 2 : 0, eps) << k;
    }
  }
}

TYPED_TEST(RealTransform, SmallerLengthReusesTheCachedTablesAndLargerRebuildsThem) {
  using Real = typename TypeParam::RealType;
  const std::vector<Real> x512 = randomSignal<Real>(512, 7);
  const std::vector<Real> x8192 = randomSignal<Real>(8192, 8);

  // Results on fresh arrays.
  std::vector<Real> fresh512 = x512, fresh8192 = x8192;
  {
    Arrays<TypeParam> work(8192);
    TypeParam::real(512, 1, fresh512, work.ip, work.w);
  }
  {
    Arrays<TypeParam> work(8192);
    TypeParam::real(8192, 1, fresh8192, work.ip, work.w);
  }

  // Down: after 8192, a call of 512 builds nothing and gives the same result.
  Arrays<TypeParam> work(8192);
  std::vector<Real> a = x8192;
  TypeParam::real(8192, 1, a, work.ip, work.w);
  EXPECT_EQ(work.ip[0], 2048);
  EXPECT_EQ(work.ip[1], 2048);
  const std::vector<Real> tablesAfter8192 = work.w;
  a = x512;
  TypeParam::real(512, 1, a, work.ip, work.w);
  EXPECT_EQ(a, fresh512);
  EXPECT_EQ(work.ip[0], 2048);
  EXPECT_EQ(work.ip[1], 2048);
  EXPECT_EQ(work.w, tablesAfter8192);

  // Up again on the kept tables: still the fresh result.
  a = x8192;
  TypeParam::real(8192, 1, a, work.ip, work.w);
  EXPECT_EQ(a, fresh8192);

  // Forced rebuild at 512, then 8192 rebuilds both tables at full size.
  work.ip[0] = 0;
  a = x512;
  TypeParam::real(512, 1, a, work.ip, work.w);
  EXPECT_EQ(a, fresh512);
  EXPECT_EQ(work.ip[0], 128);
  EXPECT_EQ(work.ip[1], 128);
  a = x8192;
  TypeParam::real(8192, 1, a, work.ip, work.w);
  EXPECT_EQ(work.ip[0], 2048);
  EXPECT_EQ(work.ip[1], 2048);
  EXPECT_EQ(a, fresh8192);
  EXPECT_EQ(work.w, tablesAfter8192);
}

// ---- Complex transform ---------------------------------------------------------------

template <typename Real>
class ComplexTransform : public ::testing::Test {};

using ComplexReals = ::testing::Types<float, double>;

struct PrecisionNames {
  template <typename Real>
  static std::string GetName(int) {
    return std::is_same<Real, float>::value ? "SinglePrecision" : "DoublePrecision";
  }
};
TYPED_TEST_SUITE(ComplexTransform, ComplexReals, PrecisionNames);

TYPED_TEST(ComplexTransform, BothDirectionsMatchNaiveDftAtEveryLength) {
  using Real = TypeParam;
  for (int n = 2; n <= 8192; n *= 2) {
    SCOPED_TRACE(n);
    Fft::WorkArrays<Real> work(n);
    for (int sign : {1, -1}) {
      std::vector<Real> a = randomSignal<Real>(n, 4000u + n + sign);
      const auto ref = naiveComplex(a, sign);
      Fft::cdft(n, sign, a.data(), a.size(), work);
      EXPECT_LT(relativeError(a, ref), tolerance<Real>(n)) << "isgn " << sign;
    }
  }
}

TYPED_TEST(ComplexTransform, BackwardAfterForwardGivesHalfNTimesTheInput) {
  using Real = TypeParam;
  for (int n = 2; n <= 8192; n *= 2) {
    SCOPED_TRACE(n);
    Fft::WorkArrays<Real> work(n);
    const std::vector<Real> x = randomSignal<Real>(n, 5000u + n);
    std::vector<Real> a = x;
    Fft::cdft(n, 1, a.data(), a.size(), work);
    Fft::cdft(n, -1, a.data(), a.size(), work);
    std::vector<long double> scaled(n);
    for (int j = 0; j < n; ++j) scaled[j] = static_cast<long double>(x[j]) * (n / 2);
    EXPECT_LT(relativeError(a, scaled), 2 * tolerance<Real>(n));
  }
}

TYPED_TEST(ComplexTransform, FourValuesForwardGiveTheClosedForm) {
  using Real = TypeParam;
  // z = (1+2i, -3+0.5i, 4-i, 2+3i); X[1] = z0 + i z1 - z2 - i z3.
  std::vector<Real> a = {1, 2, -3, 0.5, 4, -1, 2, 3};
  Fft::WorkArrays<Real> work(8);
  Fft::cdft(8, 1, a.data(), a.size(), work);
  EXPECT_EQ(a[0], Real(1 - 3 + 4 + 2));
  EXPECT_EQ(a[1], Real(2 + 0.5 - 1 + 3));
  EXPECT_EQ(a[2], Real(1 - 0.5 - 4 + 3));
  EXPECT_EQ(a[3], Real(2 - 3 + 1 - 2));
}

TYPED_TEST(ComplexTransform, TwoValuesStayUnchanged) {
  using Real = TypeParam;
  std::vector<Real> a = {Real(1.5), Real(-2)};
  Fft::WorkArrays<Real> work(2);
  Fft::cdft(2, 1, a.data(), a.size(), work);
  Fft::cdft(2, -1, a.data(), a.size(), work);
  EXPECT_EQ(a[0], Real(1.5));
  EXPECT_EQ(a[1], Real(-2));
}

// ---- Instances against each other and the table layouts -----------------------------------

TEST(FftInstances, SingleAgreesWithBothDoubleInstancesToSinglePrecision) {
  for (int n : {16, 256, 2048, 8192}) {
    SCOPED_TRACE(n);
    const std::vector<double> x = randomSignal<double>(n, 6000u + n);
    std::vector<float> single(x.begin(), x.end());
    std::vector<double> sync(single.begin(), single.end()), stretch = sync;
    Fft::WorkArrays<float> ws(n);
    Fft::WorkArrays<double> wd(n);
    Fft::WorkArrays<double, Variant::Earlier> we(n);
    Fft::rdft(n, 1, single.data(), single.size(), ws);
    Fft::rdft(n, 1, sync.data(), sync.size(), wd);
    Fft::RealFft(n, 1, stretch.data(), stretch.size(), we);
    EXPECT_LT(relativeError(single, sync), tolerance<float>(n));
    EXPECT_LT(relativeError(stretch, sync), tolerance<double>(n));
  }
}

TEST(FftTables, VariantsDifferOnlyWhereTheirStagesExpectIt) {
  const double pi = 3.14159265358979323846;
  // 8 entries: the current variant keeps cos and sin of pi/8 in entries 2
  // and 3, the earlier one 0.5/cos(pi/8) and 0.5/cos(3 pi/8).
  std::vector<int> ip(8, 0);
  std::vector<double> current(8), earlier(8);
  Fft::DoublePrecisionSync::makewt(8, ip.data(), current.data());
  EXPECT_EQ(ip[0], 8);
  EXPECT_EQ(ip[1], 1);
  Fft::DoublePrecisionTimeStretch::makewt(8, ip.data(), earlier.data());
  EXPECT_NEAR(current[2], std::cos(pi / 8), 1e-15);
  EXPECT_NEAR(current[3], std::sin(pi / 8), 1e-15);
  EXPECT_NEAR(earlier[2], 0.5 / std::cos(pi / 8), 1e-15);
  EXPECT_NEAR(earlier[3], 0.5 / std::cos(3 * pi / 8), 1e-15);

  // 64 entries: the 3k sines carry opposite signs.
  std::vector<double> c64(64), e64(64);
  std::vector<int> ipc(16, 0), ipe(16, 0);
  Fft::DoublePrecisionSync::makewt(64, ipc.data(), c64.data());
  Fft::DoublePrecisionTimeStretch::makewt(64, ipe.data(), e64.data());
  for (int j = 4; j < 32; j += 4) {
    const double d = (pi / 4) / 32;
    EXPECT_NEAR(c64[j], std::cos(d * j), 1e-15);
    EXPECT_NEAR(c64[j + 1], std::sin(d * j), 1e-15);
    EXPECT_NEAR(c64[j + 3], -std::sin(3 * d * j), 1e-15);
    EXPECT_EQ(e64[j + 3], -c64[j + 3]);
  }
  // Only the current variant builds its bit-reversal table.
  const std::vector<int> expectedTable = {64, 1, 0, 16, 0, 64, 32, 96};
  EXPECT_EQ(std::vector<int>(ipc.begin(), ipc.begin() + 8), expectedTable);
  EXPECT_EQ(ipe[2], 0);
  EXPECT_EQ(ipe[3], 0);
}

TEST(FftTables, CosineTableHoldsHalfCosinesAndSines) {
  const double pi = 3.14159265358979323846;
  std::vector<int> ip(4, 0);
  std::vector<float> c(16);
  Fft::SinglePrecision::makect(16, ip.data(), c.data());
  EXPECT_EQ(ip[1], 16);
  EXPECT_NEAR(c[0], std::cos(pi / 4), 1e-7);
  EXPECT_NEAR(c[8], 0.5 * std::cos(pi / 4), 1e-7);
  for (int j = 1; j < 8; ++j) {
    EXPECT_NEAR(c[j], 0.5 * std::cos(j * pi / 32), 1e-7);
    EXPECT_NEAR(c[16 - j], 0.5 * std::sin(j * pi / 32), 1e-7);
  }
}

// ---- Checked entry points ---------------------------------------------------------------

TEST(FftChecks, LengthsOtherThanPowersOfTwoFromTwoAreRefused) {
  std::vector<double> a(64, 1.0);
  Fft::WorkArrays<double> work(64);
  for (int n : {-8, 0, 1, 3, 6, 12, 48, 63}) {
    EXPECT_THROW(Fft::rdft(n, 1, a.data(), a.size(), work), std::invalid_argument) << n;
    EXPECT_THROW(Fft::cdft(n, 1, a.data(), a.size(), work), std::invalid_argument) << n;
  }
  for (double v : a) EXPECT_EQ(v, 1.0);
  EXPECT_THROW(Fft::WorkArrays<float>(100), std::invalid_argument);
  EXPECT_FALSE(Fft::isValidLength(std::numeric_limits<int>::min()));
}

TEST(FftChecks, ShortArraysAreRefusedBeforeAnythingIsWritten) {
  const int n = 256;
  std::vector<double> a(n, 0.25);
  std::vector<int> ip(Fft::ipLengthFor(n), 0);
  std::vector<double> w(Fft::rdftTableLengthFor(n), 0.0);
  EXPECT_EQ(ip.size(), 2u + 12u);  // 2 + ceil(sqrt(128))
  EXPECT_THROW(Fft::rdft(n, 1, a.data(), n - 1, ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  EXPECT_THROW(Fft::rdft(n, 1, a.data(), a.size(), ip.data(), ip.size() - 1, w.data(), w.size()),
               std::invalid_argument);
  EXPECT_THROW(Fft::rdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size() - 1),
               std::invalid_argument);
  EXPECT_THROW(Fft::rdft(n, 1, nullptr, a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  EXPECT_THROW(Fft::RealFft(n, 1, a.data(), a.size(), nullptr, ip.size(), w.data(), w.size()),
               std::invalid_argument);
  // cdft needs only a quarter of n in w.
  EXPECT_NO_THROW(Fft::cdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), n / 4));
  EXPECT_THROW(Fft::cdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), n / 4 - 1),
               std::invalid_argument);
}

TEST(FftChecks, GarbageOrOversizedCachedTablesAreRefused) {
  const int n = 64;
  std::vector<float> a(n, 0.5f);
  std::vector<int> ip(Fft::ipLengthFor(n), 0);
  std::vector<float> w(Fft::rdftTableLengthFor(n), 0.0f);
  for (int bad : {-1, 3, 12, 1 << 29}) {
    ip[0] = bad;
    EXPECT_THROW(Fft::rdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
                 std::invalid_argument)
        << bad;
  }
  // Tables cached for 256 values do not fit a w sized for 64.
  ip[0] = 64;
  ip[1] = 64;
  EXPECT_THROW(Fft::rdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  // A broken cosine size is caught too.
  ip[0] = 16;
  ip[1] = 0;
  EXPECT_THROW(Fft::rdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  for (float v : a) EXPECT_EQ(v, 0.5f);
  ip[0] = 0;
  EXPECT_NO_THROW(Fft::rdft(n, 1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()));
  EXPECT_FLOAT_EQ(a[0], 32.0f);
}

TEST(FftChecks, WorkArraysServeEverySmallerLength) {
  Fft::WorkArrays<double, Variant::Earlier> work(1024);
  EXPECT_EQ(work.maxLength(), 1024);
  EXPECT_EQ(work.ipLength(), Fft::ipLengthFor(1024));
  EXPECT_EQ(work.wLength(), 512u);
  std::vector<double> a(2048, 1.0);
  EXPECT_THROW(Fft::RealFft(2048, 1, a.data(), a.size(), work), std::invalid_argument);
  for (int n = 1024; n >= 2; n /= 2) {
    std::vector<double> x(n, 1.0);
    Fft::RealFft(n, 1, x.data(), x.size(), work);
    EXPECT_EQ(x[0], n);
  }
  work.forgetTables();
  EXPECT_EQ(work.ip()[0], 0);
}

// Work arrays keep their tables apart from the start of their storage (on
// a cache line): a copy, whose storage lies elsewhere, must still find the
// tables cached in the original and give the same bits.
TEST(FftChecks, CopiedWorkArraysKeepTheirCachedTables) {
  for (int n : {16, 1024}) {
    Fft::WorkArrays<float> original(n);
    std::vector<float> a(n, 0.25f);
    a[1] = 1.0f;
    Fft::rdft(n, 1, a.data(), a.size(), original);
    Fft::WorkArrays<float> copy = original;
    EXPECT_EQ(copy.ip()[0], original.ip()[0]);
    EXPECT_EQ(copy.wLength(), original.wLength());
    for (std::size_t i = 0; i < static_cast<std::size_t>(original.ip()[0] + original.ip()[1]); ++i) {
      ASSERT_EQ(copy.w()[i], original.w()[i]) << "n " << n << " i " << i;
    }
    std::vector<float> b = a;
    Fft::rdft(n, -1, a.data(), a.size(), original);
    Fft::rdft(n, -1, b.data(), b.size(), copy);
    for (int i = 0; i < n; ++i) EXPECT_EQ(a[i], b[i]) << "n " << n << " i " << i;
  }
}

}  // namespace
