// The FFT package's results, bit for bit: fingerprints of every transform
// taken before its kernels were last rearranged for speed, and the
// AVX2 kernels against the baseline ones. A faster arrangement must give
// the same bits: the analysis and the time stretch were tuned on them.
//
// The input values are exact multiples of 2^-23 drawn from mt19937, whose
// sequence the standard fixes, so the inputs are the same everywhere; the
// tables come from this platform's libm, as in the program.

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "FftKernels.h"
#include "FftPackage.h"
#include "FftTrigTransforms.h"
#include "FftWideKernels.h"

namespace {

using Fft::Variant;

constexpr int kLargest = 1 << 17;

template <typename Real>
std::vector<Real> exactSignal(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<Real> x(n);
  for (auto& v : x) v = static_cast<Real>(static_cast<double>(static_cast<int>(gen() >> 8) - (1 << 23)) / (1 << 23));
  return x;
}

// FNV-1a over the bytes of the values, chained across calls.
template <typename Real>
void fingerprint(std::uint64_t& h, const std::vector<Real>& a) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a.data());
  for (std::size_t i = 0; i < a.size() * sizeof(Real); ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
}

constexpr std::uint64_t kFnvStart = 14695981039346656037ull;

std::string hex(std::uint64_t h) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

template <typename Real, Variant V>
std::uint64_t realFingerprint(bool forward) {
  std::uint64_t h = kFnvStart;
  // Tables cached for the largest length serve every smaller one.
  Fft::WorkArrays<Real, V> shared(kLargest);
  std::vector<Real> big = exactSignal<Real>(kLargest, 1);
  if constexpr (V == Variant::Earlier) {
    Fft::RealFft(kLargest, 1, big.data(), big.size(), shared);
  } else {
    Fft::rdft(kLargest, 1, big.data(), big.size(), shared);
  }
  for (int n = 2; n <= kLargest; n *= 2) {
    Fft::WorkArrays<Real, V> fresh(n);
    auto a = exactSignal<Real>(n, static_cast<unsigned>(n));
    auto b = a;
    if constexpr (V == Variant::Earlier) {
      Fft::RealFft(n, forward ? 1 : -1, a.data(), a.size(), fresh);
      Fft::RealFft(n, forward ? 1 : -1, b.data(), b.size(), shared);
    } else {
      Fft::rdft(n, forward ? 1 : -1, a.data(), a.size(), fresh);
      Fft::rdft(n, forward ? 1 : -1, b.data(), b.size(), shared);
    }
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), n * sizeof(Real))) << "tables cached for a larger length, n " << n;
    fingerprint(h, a);
  }
  return h;
}

template <typename Real>
std::uint64_t complexFingerprint(bool forward) {
  std::uint64_t h = kFnvStart;
  for (int n = 2; n <= kLargest; n *= 2) {
    Fft::WorkArrays<Real> fresh(n);
    auto a = exactSignal<Real>(n, static_cast<unsigned>(n) + 1);
    Fft::cdft(n, forward ? 1 : -1, a.data(), a.size(), fresh);
    fingerprint(h, a);
  }
  return h;
}

// ddct and ddst both ways, dfct and dfst, on one set of arrays per length.
template <typename Real>
std::uint64_t trigFingerprint() {
  std::uint64_t h = kFnvStart;
  for (int n = 2; n <= 1 << 14; n *= 2) {
    std::vector<int> ip(Fft::ipLengthFor(n), 0);
    std::vector<Real> w(n * 5 / 4 + 1);
    std::vector<Real> t(n / 2 + 1);
    for (int isgn : {-1, 1}) {
      auto a = exactSignal<Real>(n, static_cast<unsigned>(n) + 2);
      Fft::ddct(n, isgn, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size());
      fingerprint(h, a);
      a = exactSignal<Real>(n, static_cast<unsigned>(n) + 3);
      Fft::ddst(n, isgn, a.data(), a.size(), ip.data(), ip.size(), w.data(), w.size());
      fingerprint(h, a);
    }
    auto a = exactSignal<Real>(n + 1, static_cast<unsigned>(n) + 4);
    Fft::dfct(n, a.data(), a.size(), t.data(), t.size(), ip.data(), ip.size(), w.data(), w.size());
    fingerprint(h, a);
    a = exactSignal<Real>(n, static_cast<unsigned>(n) + 5);
    Fft::dfst(n, a.data(), a.size(), t.data(), t.size(), ip.data(), ip.size(), w.data(), w.size());
    fingerprint(h, a);
  }
  return h;
}

TEST(FftBitExact, RealTransformsOfEveryInstanceKeepTheirBits) {
  struct Case {
    const char* name;
    std::uint64_t (*run)(bool);
    bool forward;
    const char* expected;
  };
  const Case cases[] = {
      {"single forward", realFingerprint<float, Variant::Current>, true, "aaa7a6c1ec5716c2"},
      {"single backward", realFingerprint<float, Variant::Current>, false, "58358db075adbfff"},
      {"double sync forward", realFingerprint<double, Variant::Current>, true, "afdcec1faf4123f0"},
      {"double sync backward", realFingerprint<double, Variant::Current>, false, "29249cb7b7e0b8e3"},
      {"time stretch forward", realFingerprint<double, Variant::Earlier>, true, "62561484caba0575"},
      {"time stretch backward", realFingerprint<double, Variant::Earlier>, false, "7d4660944d28dd67"},
      {"complex single forward", complexFingerprint<float>, true, "a12dcfc685d7ca5d"},
      {"complex single backward", complexFingerprint<float>, false, "1e50efa2f3dcdeef"},
      {"complex double forward", complexFingerprint<double>, true, "7456de2fac20d285"},
      {"complex double backward", complexFingerprint<double>, false, "97830858dcc18616"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, hex(c.run(c.forward))) << c.name;
}

TEST(FftBitExact, TrigonometricTransformsKeepTheirBits) {
  EXPECT_EQ("73be442f50152b7b", hex(trigFingerprint<float>())) << "single";
  EXPECT_EQ("92e5c846b78321bb", hex(trigFingerprint<double>())) << "double";
}

// Inputs whose transforms hold exact zeros, signed zeros and exact
// integers: every rearrangement of the kernels must keep which zero
// comes out with which sign, which random inputs almost never show.
template <typename Real>
std::vector<Real> edgeSignal(int kind, int n) {
  const double pi = 3.14159265358979323846;
  std::vector<Real> x(n);
  for (int j = 0; j < n; ++j) {
    switch (kind) {
      case 0: x[j] = Real(0); break;
      case 1: x[j] = -Real(0); break;
      case 2: x[j] = Real(1); break;
      case 3: x[j] = (j & 1) ? Real(-1) : Real(1); break;
      case 4: x[j] = j == 0 ? Real(1) : -Real(0); break;
      case 5: x[j] = j == 1 ? Real(-2) : Real(0); break;
      case 6: x[j] = static_cast<Real>(std::cos(2 * pi * 3 * j / n)); break;
      default: x[j] = (j % 4 == 0) ? Real(1) : (j % 4 == 2) ? Real(-1) : (j & 4) ? -Real(0) : Real(0); break;
    }
  }
  return x;
}

template <typename Real, Variant V>
std::uint64_t edgeFingerprint(int isgn) {
  std::uint64_t h = kFnvStart;
  for (int n = 2; n <= 8192; n *= 2) {
    for (int kind = 0; kind < 8; ++kind) {
      Fft::WorkArrays<Real, V> work(n);
      auto a = edgeSignal<Real>(kind, n);
      if constexpr (V == Variant::Earlier) {
        Fft::RealFft(n, isgn, a.data(), a.size(), work);
      } else {
        Fft::rdft(n, isgn, a.data(), a.size(), work);
      }
      fingerprint(h, a);
      if constexpr (V == Variant::Current) {
        auto c = edgeSignal<Real>(kind, n);
        Fft::cdft(n, isgn, c.data(), c.size(), work);
        fingerprint(h, c);
      }
    }
  }
  return h;
}

TEST(FftBitExact, ZerosAndExactValuesKeepTheirBitsAndSigns) {
  EXPECT_EQ("fc8ac1ba009b7ba8", hex(edgeFingerprint<float, Variant::Current>(1))) << "single forward";
  EXPECT_EQ("2eeeeb145e121b04", hex(edgeFingerprint<float, Variant::Current>(-1))) << "single backward";
  EXPECT_EQ("33ac086cf6f6037b", hex(edgeFingerprint<double, Variant::Current>(1))) << "double sync forward";
  EXPECT_EQ("b9ce48e9f1a27928", hex(edgeFingerprint<double, Variant::Current>(-1))) << "double sync backward";
  EXPECT_EQ("edbb7ebe0c7ccfff", hex(edgeFingerprint<double, Variant::Earlier>(1))) << "time stretch forward";
  EXPECT_EQ("34fd220639538488", hex(edgeFingerprint<double, Variant::Earlier>(-1))) << "time stretch backward";
}

// The kernels the CPU does not pick are checked against the ones it does.
template <typename Real, Variant V>
void expectWideKernelsMatchBaseline() {
  using Baseline = Fft::detail::baseline::Core<Real, V>;
  for (int n = 4; n <= kLargest; n *= 2) {
    Fft::WorkArrays<Real, V> work(n);
    const int nw = n >> 2;
    Fft::Package<Real, V>::makewt(nw, work.ip(), work.w());
    Fft::Package<Real, V>::makect(nw, work.ip(), work.w() + nw);
    const Real* c = work.w() + nw;
    const auto x = exactSignal<Real>(n, static_cast<unsigned>(n) + 6);
    for (int step = 0; step < 4; ++step) {
      auto a = x, b = x;
      switch (step) {
        case 0:
          Baseline::fftComplexForward(n, a.data(), work.ip(), nw, work.w());
          Fft::wide::fftComplexForward<Real, V>(n, b.data(), work.ip(), nw, work.w());
          break;
        case 1:
          Baseline::fftComplexBackward(n, a.data(), work.ip(), nw, work.w());
          Fft::wide::fftComplexBackward<Real, V>(n, b.data(), work.ip(), nw, work.w());
          break;
        case 2:
          Baseline::fftRealPostForward(n, a.data(), nw, c);
          Fft::wide::fftRealPostForward<Real, V>(n, b.data(), nw, c);
          break;
        default:
          Baseline::fftRealPreBackward(n, a.data(), nw, c);
          Fft::wide::fftRealPreBackward<Real, V>(n, b.data(), nw, c);
          break;
      }
      EXPECT_EQ(0, std::memcmp(a.data(), b.data(), n * sizeof(Real))) << "n " << n << " step " << step;
    }
  }
}

TEST(FftBitExact, WideKernelsGiveTheBaselineBits) {
  if (!Fft::wide::available()) GTEST_SKIP() << "no AVX2 on this CPU";
  expectWideKernelsMatchBaseline<float, Variant::Current>();
  expectWideKernelsMatchBaseline<double, Variant::Current>();
  expectWideKernelsMatchBaseline<double, Variant::Earlier>();
}

// The conversions around the time-stretch record's transform: the AVX2
// loop gives the scalar conversion's bits for every kind of value (ties
// between two floats, values below the float range, beyond it, signed
// zeros, infinities, NaN) at every length, so also in the tails a
// vector's width leaves over.
TEST(FftBitExact, WideConversionsGiveTheScalarBits) {
  if (!Fft::wide::available()) GTEST_SKIP() << "no AVX2 on this CPU";
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> doubles = {0.0, -0.0, 1.0 + std::ldexp(1.0, -24), 1.0 + 3 * std::ldexp(1.0, -24),
                                 -1.0 - std::ldexp(1.0, -24), std::ldexp(1.0, -140), -std::ldexp(3.0, -151),
                                 std::ldexp(1.0, -160), 3.5e38, -1e300, inf, -inf,
                                 std::numeric_limits<double>::quiet_NaN(), 0.1, -2.7182818284590452};
  std::mt19937 gen(7);
  for (int i = 0; i < 50; ++i) {
    doubles.push_back(std::ldexp(static_cast<double>(gen()) - 2147483648.0, static_cast<int>(gen() % 80) - 60));
  }
  for (std::size_t n = 0; n <= doubles.size(); ++n) {
    std::vector<float> scalar(n + 1, 9.0f), wide(n + 1, 9.0f);
    for (std::size_t j = 0; j < n; ++j) scalar[j] = static_cast<float>(doubles[j]);
    Fft::wide::convertValues(static_cast<int>(n), doubles.data(), wide.data());
    EXPECT_EQ(0, std::memcmp(scalar.data(), wide.data(), (n + 1) * sizeof(float))) << "to float, n " << n;
    std::vector<double> back(n + 1, 9.0);
    Fft::wide::convertValues(static_cast<int>(n), scalar.data(), back.data());
    for (std::size_t j = 0; j < n; ++j) {
      const double exact = static_cast<double>(scalar[j]);
      EXPECT_EQ(0, std::memcmp(&exact, &back[j], sizeof exact)) << "to double, n " << n << " j " << j;
    }
    EXPECT_EQ(back[n], 9.0) << "written past n " << n;
  }
}

}  // namespace
