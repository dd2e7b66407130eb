#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/WindowedSamples.h"

// The vector copy against the plain loop, bit for bit, over every length
// up to a few vectors and every start within a vector (so both the
// vector body and the rest run from unaligned places), on samples and
// windows that include zeros of both signs, subnormal products, overflow
// to infinity and NaN.
TEST(WindowedSamples, TheVectorCopyGivesThePlainLoopsBits) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<float> level(-32768.0f, 32767.0f), gain(0.0f, 1.0f);
  const float specials[] = {0.0f, -0.0f, 1e-30f, -1e-30f, 3e38f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  std::vector<float> samples(64), window(64);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = gen() % 5 == 0 ? specials[gen() % 7] : level(gen);
    window[i] = gen() % 6 == 0 ? specials[gen() % 7] : gain(gen);
  }
  const bool wide = WindowedSamples::MultiplyWide(samples.data(), window.data(), 0, nullptr);
  for (std::int64_t start = 0; start < 8; ++start) {
    for (std::int64_t n = 0; n + start <= 56; ++n) {
      std::vector<double> out(64, -1.0), plain(64, -1.0), chosen(64, -1.0);
      WindowedSamples::MultiplyPlain(samples.data() + start, window.data() + start, n, plain.data());
      WindowedSamples::Multiply(samples.data() + start, window.data() + start, n, chosen.data());
      ASSERT_EQ(std::memcmp(plain.data(), chosen.data(), sizeof(double) * plain.size()), 0)
          << "start " << start << " n " << n;
      if (!wide) continue;
      ASSERT_TRUE(WindowedSamples::MultiplyWide(samples.data() + start, window.data() + start, n, out.data()));
      ASSERT_EQ(std::memcmp(plain.data(), out.data(), sizeof(double) * plain.size()), 0)
          << "start " << start << " n " << n;
    }
  }
  // Each value is the float product widened, nothing written past n.
  std::vector<double> out(10, -1.0);
  WindowedSamples::Multiply(samples.data(), window.data(), 9, out.data());
  for (int i = 0; i < 9; ++i) {
    const float product = samples[static_cast<std::size_t>(i)] * window[static_cast<std::size_t>(i)];
    const double expected = static_cast<double>(product);
    ASSERT_EQ(std::memcmp(&out[static_cast<std::size_t>(i)], &expected, sizeof expected), 0) << i;
  }
  EXPECT_EQ(out[9], -1.0);
}
