// The cosine and sine transforms against their defining sums (long double),
// their inverse rules, and refusal of bad arguments.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "Fft/FftTrigTransforms.h"

namespace {

const long double kPi = 3.14159265358979323846264338327950288L;

template <typename Real>
std::vector<Real> randomSignal(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<Real> x(n);
  for (auto& v : x) v = static_cast<Real>(dist(gen));
  return x;
}

// cos / sin of pi * num / den with the numerator reduced first.
long double cosPi(long long num, long long den) { return std::cos(kPi * static_cast<long double>(num % (2 * den)) / den); }
long double sinPi(long long num, long long den) { return std::sin(kPi * static_cast<long double>(num % (2 * den)) / den); }

template <typename Real>
std::vector<long double> naiveDctII(const std::vector<Real>& a) {  // ddct(n, -1)
  const long long n = static_cast<long long>(a.size());
  std::vector<long double> out(n);
  for (long long k = 0; k < n; ++k)
    for (long long j = 0; j < n; ++j) out[k] += a[j] * cosPi((2 * j + 1) * k, 2 * n);
  return out;
}

template <typename Real>
std::vector<long double> naiveDctIII(const std::vector<Real>& a) {  // ddct(n, +1)
  const long long n = static_cast<long long>(a.size());
  std::vector<long double> out(n);
  for (long long k = 0; k < n; ++k)
    for (long long j = 0; j < n; ++j) out[k] += a[j] * cosPi(j * (2 * k + 1), 2 * n);
  return out;
}

// ddst(n, -1): S[k] for 0 < k <= n, S[n] stored in out[0].
template <typename Real>
std::vector<long double> naiveDstII(const std::vector<Real>& a) {
  const long long n = static_cast<long long>(a.size());
  std::vector<long double> out(n);
  for (long long k = 1; k <= n; ++k) {
    long double s = 0;
    for (long long j = 0; j < n; ++j) s += a[j] * sinPi((2 * j + 1) * k, 2 * n);
    out[k % n] = s;
  }
  return out;
}

// ddst(n, +1): A[j] = a[j] for 0 < j < n, A[n] = a[0].
template <typename Real>
std::vector<long double> naiveDstIII(const std::vector<Real>& a) {
  const long long n = static_cast<long long>(a.size());
  std::vector<long double> out(n);
  for (long long k = 0; k < n; ++k)
    for (long long j = 1; j <= n; ++j) out[k] += a[j % n] * sinPi(j * (2 * k + 1), 2 * n);
  return out;
}

template <typename Real>
std::vector<long double> naiveDctI(const std::vector<Real>& a) {  // dfct, n + 1 values
  const long long n = static_cast<long long>(a.size()) - 1;
  std::vector<long double> out(n + 1);
  for (long long k = 0; k <= n; ++k)
    for (long long j = 0; j <= n; ++j) out[k] += a[j] * cosPi(j * k, n);
  return out;
}

template <typename Real>
std::vector<long double> naiveDstI(const std::vector<Real>& a) {  // dfst; out[0] = 0
  const long long n = static_cast<long long>(a.size());
  std::vector<long double> out(n);
  for (long long k = 1; k < n; ++k)
    for (long long j = 1; j < n; ++j) out[k] += a[j] * sinPi(j * k, n);
  return out;
}

template <typename Real>
double relativeError(const std::vector<Real>& got, const std::vector<long double>& ref) {
  long double err = 0, norm = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    const long double d = got[i] - ref[i];
    err += d * d;
    norm += ref[i] * ref[i];
  }
  return static_cast<double>(norm == 0 ? std::sqrt(err) : std::sqrt(err / norm));
}

template <typename Real>
double tolerance() {
  return std::is_same<Real, float>::value ? 2e-6 : 1e-14;
}

const int kSizes[] = {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048};

template <typename Real>
class TrigTransform : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(TrigTransform, Precisions);

template <typename Real>
struct Arrays {
  explicit Arrays(int n) : ip(64, 0), w(5 * n / 4 + 1) {}
  std::vector<int> ip;
  std::vector<Real> w;
};

TYPED_TEST(TrigTransform, DdctMatchesTheDefiningSumsInBothDirections) {
  using Real = TypeParam;
  for (int n : kSizes) {
    Arrays<Real> arr(n);
    for (int isgn : {-1, 1}) {
      auto a = randomSignal<Real>(n, 100 + n + isgn);
      const auto ref = isgn < 0 ? naiveDctII(a) : naiveDctIII(a);
      Fft::ddct(n, isgn, a.data(), a.size(), arr.ip.data(), arr.ip.size(), arr.w.data(), arr.w.size());
      EXPECT_LT(relativeError(a, ref), tolerance<Real>()) << "n " << n << " isgn " << isgn;
    }
  }
}

TYPED_TEST(TrigTransform, DdstMatchesTheDefiningSumsInBothDirections) {
  using Real = TypeParam;
  for (int n : kSizes) {
    Arrays<Real> arr(n);
    for (int isgn : {-1, 1}) {
      auto a = randomSignal<Real>(n, 200 + n + isgn);
      const auto ref = isgn < 0 ? naiveDstII(a) : naiveDstIII(a);
      Fft::ddst(n, isgn, a.data(), a.size(), arr.ip.data(), arr.ip.size(), arr.w.data(), arr.w.size());
      EXPECT_LT(relativeError(a, ref), tolerance<Real>()) << "n " << n << " isgn " << isgn;
    }
  }
}

TYPED_TEST(TrigTransform, DfctMatchesTheDefiningSum) {
  using Real = TypeParam;
  for (int n : kSizes) {
    Arrays<Real> arr(n);
    std::vector<Real> t(n / 2 + 1);
    auto a = randomSignal<Real>(n + 1, 300 + n);
    const auto ref = naiveDctI(a);
    Fft::dfct(n, a.data(), a.size(), t.data(), t.size(), arr.ip.data(), arr.ip.size(), arr.w.data(),
              arr.w.size());
    EXPECT_LT(relativeError(a, ref), tolerance<Real>()) << "n " << n;
  }
}

TYPED_TEST(TrigTransform, DfstMatchesTheDefiningSumAndClearsTheFirstValue) {
  using Real = TypeParam;
  for (int n : kSizes) {
    Arrays<Real> arr(n);
    std::vector<Real> t(n / 2);
    auto a = randomSignal<Real>(n, 400 + n);
    const auto ref = naiveDstI(a);
    Fft::dfst(n, a.data(), a.size(), t.data(), t.size(), arr.ip.data(), arr.ip.size(), arr.w.data(),
              arr.w.size());
    EXPECT_EQ(a[0], Real(0));
    EXPECT_LT(relativeError(a, ref), tolerance<Real>()) << "n " << n;
  }
}

TYPED_TEST(TrigTransform, InverseRulesGiveTheInputBack) {
  using Real = TypeParam;
  const double tol = std::is_same<Real, float>::value ? 1e-5 : 1e-13;
  for (int n : {4, 64, 1024}) {
    Arrays<Real> arr(n);
    const Real scale = Real(2) / static_cast<Real>(n);
    using Op = void (*)(int, int, Real*, std::size_t, int*, std::size_t, Real*, std::size_t);
    for (Op op : {static_cast<Op>(&Fft::ddct), static_cast<Op>(&Fft::ddst)}) {
      const auto x = randomSignal<Real>(n, 500 + n);
      auto a = x;
      op(n, -1, a.data(), a.size(), arr.ip.data(), arr.ip.size(), arr.w.data(), arr.w.size());
      a[0] *= Real(0.5);
      op(n, 1, a.data(), a.size(), arr.ip.data(), arr.ip.size(), arr.w.data(), arr.w.size());
      for (auto& v : a) v *= scale;
      const std::vector<long double> ref(x.begin(), x.end());
      EXPECT_LT(relativeError(a, ref), tol) << "n " << n;
    }

    std::vector<Real> t(n / 2 + 1);
    const auto y = randomSignal<Real>(n + 1, 600 + n);
    auto c = y;
    for (int pass = 0; pass < 2; ++pass) {
      c[0] *= Real(0.5);
      c[n] *= Real(0.5);
      Fft::dfct(n, c.data(), c.size(), t.data(), t.size(), arr.ip.data(), arr.ip.size(), arr.w.data(),
                arr.w.size());
    }
    for (auto& v : c) v *= scale;
    EXPECT_LT(relativeError(c, std::vector<long double>(y.begin(), y.end())), tol) << "dfct n " << n;

    auto s = randomSignal<Real>(n, 700 + n);
    s[0] = 0;
    const std::vector<long double> sref(s.begin(), s.end());
    for (int pass = 0; pass < 2; ++pass) {
      Fft::dfst(n, s.data(), s.size(), t.data(), n / 2, arr.ip.data(), arr.ip.size(), arr.w.data(),
                arr.w.size());
    }
    for (auto& v : s) v *= scale;
    EXPECT_LT(relativeError(s, sref), tol) << "dfst n " << n;
  }
}

TYPED_TEST(TrigTransform, MixedSizesOnOneWorkAreaMatchFreshArrays) {
  // Tables left behind by a large transform of another kind serve a smaller one.
  using Real = TypeParam;
  Arrays<Real> shared(2048), fresh(2048);
  std::vector<Real> t(1025);
  auto big = randomSignal<Real>(2049, 1);
  Fft::dfct(2048, big.data(), big.size(), t.data(), t.size(), shared.ip.data(), shared.ip.size(),
            shared.w.data(), shared.w.size());
  auto x = randomSignal<Real>(64, 2);
  auto y = x;
  Fft::ddst(64, 1, x.data(), x.size(), shared.ip.data(), shared.ip.size(), shared.w.data(), shared.w.size());
  Fft::ddst(64, 1, y.data(), y.size(), fresh.ip.data(), fresh.ip.size(), fresh.w.data(), fresh.w.size());
  EXPECT_LT(relativeError(x, naiveDstIII(randomSignal<Real>(64, 2))), tolerance<Real>());
  EXPECT_LT(relativeError(y, naiveDstIII(randomSignal<Real>(64, 2))), tolerance<Real>());
}

TEST(TrigTransformArguments, BadLengthsAndShortArraysAreRefusedUntouched) {
  std::vector<double> a(17, 1.0), t(9, 0.0), w(20, 0.0);
  std::vector<int> ip(8, 0);
  const auto before = a;
  EXPECT_THROW(Fft::ddct(12, -1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  EXPECT_THROW(Fft::ddct(1, -1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  EXPECT_THROW(Fft::ddst(32, -1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);  // a too short
  EXPECT_THROW(Fft::ddct(16, -1, a.data(), a.size(), ip.data(), ip.size(), w.data(), 19),
               std::invalid_argument);  // w needs 4 + 16
  EXPECT_THROW(Fft::dfct(16, a.data(), 16, t.data(), t.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);  // needs n + 1 values
  EXPECT_THROW(Fft::dfct(16, a.data(), a.size(), t.data(), 8, ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);  // t needs n/2 + 1
  EXPECT_THROW(Fft::dfst(16, a.data(), a.size(), nullptr, 8, ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  EXPECT_THROW(Fft::ddct(16, -1, a.data(), a.size(), ip.data(), 3, w.data(), w.size()), std::invalid_argument);
  ip[0] = 3;  // not a table size
  EXPECT_THROW(Fft::ddct(16, -1, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size()),
               std::invalid_argument);
  EXPECT_EQ(a, before);
  EXPECT_EQ(ip[0], 3);
}

}  // namespace
