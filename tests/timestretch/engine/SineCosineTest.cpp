#include "SineCosine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
  const float specials[] = {0.0f,
                            -0.0f,
                            fromBits(1),
                            fromBits(0x80000001u),
                            fromBits(0x007fffffu),
                            std::numeric_limits<float>::min(),
                            fromBits(0x397fffffu),
                            fromBits(0x39800000u),
                            fromBits(0x3f3fffffu),
                            fromBits(0x3f400000u),
                            fromBits(0x42efffffu),
                            120.0f,
                            -120.0f,
                            1e6f,
                            -3.0e38f,
                            std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::signaling_NaN()};
  for (float s : specials) v.push_back(s);
  return v;
}

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

int quadrant(float x) { return static_cast<int>(std::lround(static_cast<double>(x) / 1.5707963267948966)) & 3; }

template <int Q>
bool offInQuadrant(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return std::fabs(v) >= 0.75f && std::fabs(v) < 120.0f && quadrant(v) == Q; });
}
bool offWhenTiny(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return v != 0.0f && std::fabs(v) < 0x1p-12f; });
}
bool offForZero(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return v == 0.0f && std::signbit(v); });
}
bool offBelowThreeQuarters(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return std::fabs(v) >= 0x1p-12f && std::fabs(v) < 0.75f; });
}
bool offForLarge(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return std::fabs(v) >= 120.0f && std::isfinite(v); });
}
bool offForNaN(const float* x, std::int64_t n, float* s, float* c) {
  return offWhere(x, n, s, c, [](float v) { return std::isnan(v); });
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
  const Case wrong[] = {{offInQuadrant<0>, "quadrant 0"},        {offInQuadrant<1>, "quadrant 1"},
                        {offInQuadrant<2>, "quadrant 2"},        {offInQuadrant<3>, "quadrant 3"},
                        {offWhenTiny, "below 2^-12"},            {offForZero, "negative zero"},
                        {offBelowThreeQuarters, "below 0.75"},  {offForLarge, "from 120 on"},
                        {offForNaN, "NaN"},                      {refuses, "a kernel that cannot run"},
                        {nullptr, "no kernel"}};
  for (const Case& w : wrong) EXPECT_EQ(SineCosine::Choose(w.first), Path::Library) << w.second;
  EXPECT_EQ(SineCosine::Choose(exact), Path::Wide);
  EXPECT_EQ(SineCosine::Choose(SineCosine::ComputeWide), cpuHasWide() ? Path::Wide : Path::Library);
  EXPECT_EQ(SineCosine::ChosenPath(), SineCosine::Choose(SineCosine::ComputeWide));
}
