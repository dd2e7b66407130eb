#include "SineCosine.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "BitsOf.h"

namespace {

using SineCosine::Path;

float fromBits(std::uint32_t b) {
  float v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

bool cpuHasWide() {
#if defined(__GNUC__) && defined(__x86_64__)
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

// Arguments of every kind: spread bit patterns below 120 (each binade
// alike), the synthesis's phases in [0, 2 pi) and a little outside, exact
// multiples of pi/4 and their neighbours, and the values the wide path
// leaves to the library.
std::vector<float> manyArguments() {
  std::vector<float> v = SineCosine::CheckArguments();
  std::mt19937 gen(20261207);
  std::uniform_int_distribution<std::uint32_t> covered(0, 0x42efffffu), anyBits;
  std::uniform_real_distribution<float> phase(-0.5f, 6.8f);
  for (int i = 0; i < 150000; ++i) v.push_back(fromBits(covered(gen) | (i % 2 ? 0x80000000u : 0u)));
  for (int i = 0; i < 150000; ++i) v.push_back(phase(gen));
  for (int i = 0; i < 20000; ++i) v.push_back(fromBits(anyBits(gen)));
  for (int k = -160; k <= 160; ++k) {
    const float q = static_cast<float>(k * 0.78539816339744830962);
    for (float x = std::nextafter(std::nextafter(q, -1e9f), -1e9f); x <= std::nextafter(std::nextafter(q, 1e9f), 1e9f);
         x = std::nextafter(x, 1e9f))
      v.push_back(x);
  }
  // Zeros, subnormals, the ends of the library's ranges, 1e6, -3e38, the
  // largest float, infinities, quiet and signalling NaN.
  const std::uint32_t specials[] = {0x0u,        0x80000000u, 0x1u,        0x80000001u, 0x007fffffu, 0x00800000u,
                                    0x397fffffu, 0x39800000u, 0x3f3fffffu, 0x3f400000u, 0x42efffffu, 0x42f00000u,
                                    0xc2f00000u, 0x49742400u, 0xff61b1e6u, 0x7f7fffffu, 0x7f800000u, 0xff800000u,
                                    0x7fc00000u, 0xffc00000u, 0x7fa00000u};
  for (std::uint32_t b : specials) v.push_back(fromBits(b));
  return v;
}

// The positive arguments whose sine or cosine, before its one rounding to
// float, lies nearest a rounding boundary (within 1 to 78 units of the
// double's last place), listed by `SineCosineCheck hard 96`: where a step
// done in another order or fused otherwise shows first.
const std::uint32_t kNearestABoundary[] = {
    0x39e8976cu, 0x3c1a4e86u, 0x3f20b232u, 0x40a22fcdu, 0x3f12f6a5u, 0x41e231d6u,
    0x3c295076u, 0x40490fdbu, 0x427ce759u, 0x3a5352cau, 0x3e5e2fd3u, 0x40ec1c92u,
    0x3f86ac3du, 0x426231d6u, 0x3ca8fe3cu, 0x4110534bu, 0x3a7a8d35u, 0x3d7a85b8u,
    0x3a85201au, 0x40acc761u, 0x3d8121ffu, 0x3a128601u, 0x40c90fdbu, 0x3c9414e6u,
    0x400cdf22u, 0x3f6bac87u, 0x3fbbc9e9u, 0x41b22c87u, 0x406be137u, 0x419eb658u,
    0x3ead3011u, 0x3bba0a0au, 0x3ae3a428u, 0x39e8976bu, 0x39e8976du, 0x3a128602u,
    0x3ef303e3u, 0x3f608874u, 0x3a9dd66eu, 0x3d896d4au, 0x424c872cu, 0x3c9e2034u,
    0x3bdccc57u, 0x3be35326u, 0x3f360659u, 0x41af2c82u, 0x42e231d6u, 0x3f2fd5e5u,
    0x3a0f1bbdu, 0x416231d6u, 0x39800000u, 0x3b62d6dau, 0x3fc90fdbu, 0x3f1b5e19u,
    0x3cbbdda3u, 0x4202eb4bu, 0x3fb3af96u, 0x3aac5346u, 0x3f680617u, 0x3c7e5746u,
    0x3a544395u, 0x3b11c458u, 0x3c1dd602u, 0x3ea00977u, 0x40fd4b68u, 0x4167ad8cu,
    0x3b06d184u, 0x3edc428fu, 0x3f3375dcu, 0x42c55faau, 0x3c25a6a4u, 0x3f5173dbu,
    0x41b8db22u, 0x42009beeu, 0x41ed2532u, 0x3d02b714u, 0x3dfb4eb8u, 0x3c7d44e9u,
    0x40124de2u, 0x39ddb3d7u, 0x3b3172dau, 0x412f35fau, 0x3ddd7577u, 0x400ae707u,
    0x40c7d315u, 0x3ca88fc3u, 0x3cb39d42u, 0x3b918c20u, 0x3c55baf6u, 0x39800001u,
    0x413037edu, 0x39ddb3d8u, 0x3beb8f36u, 0x3e1a2c2du, 0x41cd9500u, 0x3bad4060u,
    0x3ef1a51fu,
};

void expectLibraryBits(const std::vector<float>& x, const std::vector<float>& s, const std::vector<float>& c,
                       const char* what) {
  for (std::size_t i = 0; i < x.size(); ++i) {
    float refS, refC;
    ::sincosf(x[i], &refS, &refC);
    ASSERT_EQ(BitsOf(s[i]), BitsOf(refS)) << what << ": sine of " << x[i] << " (bits " << std::hex << BitsOf(x[i])
                                         << ")";
    ASSERT_EQ(BitsOf(c[i]), BitsOf(refC)) << what << ": cosine of " << x[i] << " (bits " << std::hex
                                         << BitsOf(x[i]) << ")";
  }
}

// A wide kernel one bit off for the arguments of one kind, as another C
// library might be: the first-use check must see it and choose the library.
template <typename Off>
bool offWhere(const float* x, std::int64_t n, float* s, float* c, Off off) {
  if (!SineCosine::ComputeWide(x, n, s, c)) SineCosine::Compute(Path::Library, x, n, s, c);
  for (std::int64_t i = 0; i < n; ++i)
    if (off(x[i])) s[i] = fromBits(BitsOf(s[i]) ^ 1u);
  return true;
}

enum class Kind { Quadrant0, Quadrant1, Quadrant2, Quadrant3, Tiny, NegativeZero, BelowThreeQuarters, Large, NaN };

bool isOfKind(Kind kind, float v) {
  const float m = std::fabs(v);
  const bool reduced = m >= 0.75f && m < 120.0f;
  const int quadrant = static_cast<int>(std::lround(static_cast<double>(v) / 1.5707963267948966)) & 3;
  switch (kind) {
    case Kind::Tiny: return v != 0.0f && m < 0x1p-12f;
    case Kind::NegativeZero: return v == 0.0f && std::signbit(v);
    case Kind::BelowThreeQuarters: return m >= 0x1p-12f && m < 0.75f;
    case Kind::Large: return m >= 120.0f && std::isfinite(v);
    case Kind::NaN: return std::isnan(v);
    default: return reduced && quadrant == static_cast<int>(kind);
  }
}

template <Kind K>
bool offFor(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return isOfKind(K, v); });
}
bool refuses(const float*, std::int64_t, float*, float*) { return false; }
bool exact(const float* x, std::int64_t n, float* s, float* c) {
  SineCosine::Compute(Path::Library, x, n, s, c);
  return true;
}

}  // namespace

// Every path, the chosen one included, against the library value by value.
TEST(SineCosine, EveryPathGivesTheLibrarysBitsForEveryKindOfArgument) {
  const std::vector<float> x = manyArguments();
  const auto n = static_cast<std::int64_t>(x.size());
  ASSERT_GT(n, 300000);
  std::vector<float> s(x.size()), c(x.size());
  SineCosine::Compute(x.data(), n, s.data(), c.data());
  expectLibraryBits(x, s, c, "chosen");
  SineCosine::Compute(Path::Library, x.data(), n, s.data(), c.data());
  expectLibraryBits(x, s, c, "library");
  SineCosine::Compute(Path::Wide, x.data(), n, s.data(), c.data());
  expectLibraryBits(x, s, c, "wide or its fallback");
  std::vector<float> ws(x.size(), 7.0f), wc(x.size(), 7.0f);
  const bool ran = SineCosine::ComputeWide(x.data(), n, ws.data(), wc.data());
  EXPECT_EQ(ran, cpuHasWide());
  if (ran) expectLibraryBits(x, ws, wc, "wide kernel");
}

TEST(SineCosine, TheArgumentsNearestARoundingBoundaryGetTheLibrarysBits) {
  std::vector<float> x;
  for (std::uint32_t bits : kNearestABoundary) {
    x.push_back(fromBits(bits));
    x.push_back(-fromBits(bits));
  }
  std::vector<float> s(x.size()), c(x.size());
  SineCosine::Compute(x.data(), static_cast<std::int64_t>(x.size()), s.data(), c.data());
  expectLibraryBits(x, s, c, "chosen");
  if (SineCosine::ComputeWide(x.data(), static_cast<std::int64_t>(x.size()), s.data(), c.data()))
    expectLibraryBits(x, s, c, "wide kernel");
}

// Batches of every length 0 .. 37 at every start within a vector, the
// values the kernel leaves to the library among them: each value right,
// nothing written outside the batch.
TEST(SineCosine, EveryBatchLengthAndStartWritesItsValuesAndNothingElse) {
  const float kinds[] = {0.3f, 2.5f, -4.0f, 1e-7f, 1000.0f, std::numeric_limits<float>::quiet_NaN(), 6.2831855f,
                         -0.0f, 119.9f, 3.926991f, std::numeric_limits<float>::infinity()};
  std::vector<float> pool(48);
  for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = kinds[(i * 7) % 11] * (1.0f + 0.01f * static_cast<float>(i));
  constexpr float kUntouched = 42.0f;
  for (Path path : {Path::Wide, Path::Library}) {
    for (std::int64_t start = 0; start < 4; ++start) {
      for (std::int64_t n = 0; n <= 37; ++n) {
        std::vector<float> s(pool.size(), kUntouched), c(pool.size(), kUntouched);
        SineCosine::Compute(path, pool.data() + start, n, s.data() + start, c.data() + start);
        for (std::int64_t i = 0; i < static_cast<std::int64_t>(pool.size()); ++i) {
          if (i < start || i >= start + n) {
            ASSERT_EQ(s[i], kUntouched) << "written outside, n=" << n << " start=" << start << " i=" << i;
            ASSERT_EQ(c[i], kUntouched) << "written outside, n=" << n << " start=" << start << " i=" << i;
            continue;
          }
          float refS, refC;
          ::sincosf(pool[i], &refS, &refC);
          ASSERT_EQ(BitsOf(s[i]), BitsOf(refS)) << "n=" << n << " start=" << start << " x=" << pool[i];
          ASSERT_EQ(BitsOf(c[i]), BitsOf(refC)) << "n=" << n << " start=" << start << " x=" << pool[i];
        }
      }
    }
  }
}

// The first-use check rejects a kernel that differs from the library in
// any one branch or quadrant, or that cannot run, and the choice the
// program made is the check's verdict on the real kernel.
TEST(SineCosine, TheCheckChoosesTheLibraryForAKernelThatDiffersAnywhere) {
  using Case = std::pair<SineCosine::Kernel, const char*>;
  const Case wrong[] = {{offFor<Kind::Quadrant0>, "quadrant 0"},
                        {offFor<Kind::Quadrant1>, "quadrant 1"},
                        {offFor<Kind::Quadrant2>, "quadrant 2"},
                        {offFor<Kind::Quadrant3>, "quadrant 3"},
                        {offFor<Kind::Tiny>, "below 2^-12"},
                        {offFor<Kind::NegativeZero>, "negative zero"},
                        {offFor<Kind::BelowThreeQuarters>, "below 0.75"},
                        {offFor<Kind::Large>, "from 120 on"},
                        {offFor<Kind::NaN>, "NaN"},
                        {refuses, "a kernel that cannot run"},
                        {nullptr, "no kernel"}};
  for (const Case& w : wrong) EXPECT_EQ(SineCosine::Choose(w.first), Path::Library) << w.second;
  EXPECT_EQ(SineCosine::Choose(exact), Path::Wide);
  EXPECT_EQ(SineCosine::Choose(SineCosine::ComputeWide), cpuHasWide() ? Path::Wide : Path::Library);
  EXPECT_EQ(SineCosine::ChosenPath(), SineCosine::Choose(SineCosine::ComputeWide));
}

// Bins for the polar sums: blanked bins alone, in runs and at the ends of
// a vector, NaN and -inf levels, zero amplitudes, phases the wide kernel
// leaves to the library.
struct PolarBins {
  std::vector<float> x, levels;
  std::vector<double> a;
};

PolarBins polarBins(std::int64_t n, float silent) {
  std::mt19937 gen(static_cast<unsigned>(n) + 7);
  std::uniform_real_distribution<float> phase(-0.3f, 6.6f), level(-140.0f, 0.0f);
  std::uniform_real_distribution<double> amplitude(0.0, 3e4);
  const float oddPhases[] = {1e3f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             0.0f, -0.0f, 1e-30f};
  PolarBins p;
  p.x.resize(static_cast<std::size_t>(n));
  p.levels.resize(p.x.size());
  p.a.resize(p.x.size());
  for (std::int64_t k = 0; k < n; ++k) {
    p.x[k] = k % 11 == 4 ? oddPhases[(k / 11) % 6] : phase(gen);
    p.levels[k] = k % 7 == 2 || k % 13 == 5 || k % 13 == 6 || k % 29 == 0 ? silent : level(gen);
    if (k % 31 == 9) p.levels[k] = std::numeric_limits<float>::quiet_NaN();
    if (k % 37 == 3) p.levels[k] = -std::numeric_limits<float>::infinity();
    p.a[k] = k % 17 == 1 ? 0.0 : amplitude(gen);
  }
  return p;
}

// The one-pass sum of amplitude times cosine and sine against the plain
// loop over the bins with the library's sincosf, bit for bit: every length
// 0 .. 37 and a frame's worth, blanked bins alone, in runs and at the ends
// of a vector, a NaN level (which sounds), phases the kernel leaves to the
// library; blanked pairs keep their bits (NaN payloads, negative zero) and
// nothing past the run is touched.
TEST(SineCosine, PolarSumAddsEverySoundingBinAsThePlainLoopDoes) {
  const float silent = -std::numeric_limits<float>::max();
  std::vector<std::int64_t> lengths;
  for (std::int64_t n = 0; n <= 37; ++n) lengths.push_back(n);
  lengths.push_back(4095);
  int ran = 0;
  for (std::int64_t n : lengths) {
    const PolarBins bins = polarBins(n, silent);
    const std::vector<float>& x = bins.x;
    const std::vector<float>& levels = bins.levels;
    const std::vector<double>& a = bins.a;
    std::vector<float> out(static_cast<std::size_t>(2 * n + 3));
    for (std::size_t i = 0; i < out.size(); ++i)
      out[i] = i % 5 == 1 ? fromBits(0x7fc00abcu) : (i % 5 == 3 ? -0.0f : 0.5f * static_cast<float>(i % 9) - 2.0f);
    std::vector<float> expected(out);
    for (std::int64_t k = 0; k < n; ++k) {
      if (levels[k] <= silent) continue;
      float s, c;
      ::sincosf(x[k], &s, &c);
      expected[2 * k] += static_cast<float>(a[k] * c);
      expected[2 * k + 1] += static_cast<float>(a[k] * s);
    }
    if (!SineCosine::AddPolarWide(x.data(), a.data(), levels.data(), silent, n, out.data())) continue;
    ++ran;
    for (std::size_t i = 0; i < out.size(); ++i) {
      // A NaN plus a NaN is a NaN whose payload depends on which operand
      // the compiler put first.
      const auto k = static_cast<std::int64_t>(i / 2);
      if (k < n && !(levels[k] <= silent) && std::isnan(expected[i])) {
        ASSERT_TRUE(std::isnan(out[i])) << "n=" << n << " entry " << i;
        continue;
      }
      ASSERT_EQ(BitsOf(out[i]), BitsOf(expected[i])) << "n=" << n << " entry " << i;
    }
  }
  EXPECT_EQ(ran > 0, cpuHasWide());
}

// Storing instead of adding: the pairs are not read (whatever they held,
// NaN payloads included, goes), each is 0.0f plus its products, the plain
// loop's sums on a cleared buffer: a negative zero product stores +0 and a
// blanked bin +0. Every length 0 .. 37 and a frame's worth; nothing past
// the run is touched.
TEST(SineCosine, PolarSumStoredIsThePlainLoopsSumOnZeros) {
  if (!cpuHasWide()) GTEST_SKIP() << "no wide kernel on this CPU";
  const float silent = -std::numeric_limits<float>::max();
  std::vector<std::int64_t> lengths;
  for (std::int64_t n = 0; n <= 37; ++n) lengths.push_back(n);
  lengths.push_back(4095);
  for (std::int64_t n : lengths) {
    PolarBins bins = polarBins(n, silent);
    // Vanishing amplitudes besides the zero ones: negative zero products
    // wherever the cosine or sine is negative.
    for (std::int64_t k = 3; k < n; k += 5) bins.a[k] = 1e-300;
    const std::vector<float>& x = bins.x;
    const std::vector<float>& levels = bins.levels;
    const std::vector<double>& a = bins.a;
    std::vector<float> out(static_cast<std::size_t>(2 * n + 3));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = i % 3 == 1 ? fromBits(0x7fc00abcu) : -0.0f;
    std::vector<float> expected(out);
    for (std::int64_t k = 0; k < n; ++k) {
      expected[2 * k] = expected[2 * k + 1] = 0.0f;
      if (levels[k] <= silent) continue;
      float s, c;
      ::sincosf(x[k], &s, &c);
      expected[2 * k] += static_cast<float>(a[k] * c);
      expected[2 * k + 1] += static_cast<float>(a[k] * s);
    }
    ASSERT_TRUE(SineCosine::AddPolarWide(x.data(), a.data(), levels.data(), silent, n, out.data(), true));
    for (std::size_t i = 0; i < out.size(); ++i)
      ASSERT_EQ(BitsOf(out[i]), BitsOf(expected[i])) << "n=" << n << " entry " << i;
  }
}

// glibc can be told to take its sincosf without FMA, which rounds 34 of the
// covered floats otherwise: a process started so must find out at first use
// and take the library everywhere. The test runs itself in such a process.
TEST(SineCosine, AProcessWhoseLibraryRoundsWithoutFmaTakesTheLibrary) {
  if (std::getenv("QM_SINE_COSINE_CHILD")) {
    float s, c;
    ::sincosf(fromBits(0x418a3adbu), &s, &c);
    if (BitsOf(c) != BitsOf(-0x1.69eedep-16f)) GTEST_SKIP() << "the C library kept its FMA variant";
    EXPECT_EQ(SineCosine::ChosenPath(), Path::Library);
    std::vector<float> x = SineCosine::CheckArguments(), ws(x.size()), wc(x.size());
    SineCosine::Compute(x.data(), static_cast<std::int64_t>(x.size()), ws.data(), wc.data());
    expectLibraryBits(x, ws, wc, "chosen, library without FMA");
    return;
  }
  if (!cpuHasWide()) GTEST_SKIP() << "no wide kernel on this CPU";
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("GLIBC_TUNABLES", "glibc.cpu.hwcaps=-FMA");
  env.insert("QM_SINE_COSINE_CHILD", "1");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=SineCosine.AProcessWhoseLibraryRoundsWithoutFmaTakesTheLibrary"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAll());
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test") || output.contains("[  SKIPPED ] 1 test")) << output.toStdString();
}
