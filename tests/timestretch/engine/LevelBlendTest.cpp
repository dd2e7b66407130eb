#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "LevelBlend.h"
#include "SMSFrame.h"

namespace {

constexpr float kNoEnergy = -std::numeric_limits<float>::max();

void levels(SMSFrame& f, const std::vector<float>& v) {
  ASSERT_EQ(f.Allocate(SMSFrame::kMagnitudes, static_cast<std::int64_t>(v.size()), false), 0);
  std::copy(v.begin(), v.end(), f.magnitudes);
}

}  // namespace

TEST(LevelBlend, EveryBinTakesThePlainBlendsBitsAndSilentBinsStay) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> dB(-120.0f, 0.0f);
  // Lengths around the vector widths (four and eight bins), silent and NaN
  // bins on either side.
  for (int n : {0, 1, 3, 4, 5, 7, 8, 9, 11, 12, 15, 16, 17, 23, 257}) {
    std::vector<float> a(n), m(n);
    for (int i = 0; i < n; ++i) {
      a[i] = i % 5 == 1 ? kNoEnergy : i % 13 == 6 ? std::nanf("") : dB(rng);
      m[i] = i % 7 == 2 ? kNoEnergy : i % 11 == 3 ? std::nanf("") : dB(rng);
    }
    for (double weight : {-0.5, 0.0, 0.3, 0.999, 1.0, 2.0}) {
      SMSFrame earlier, out;
      levels(earlier, a);
      levels(out, m);
      LevelBlend::Blend(earlier, out, weight);
      const float w = static_cast<float>(std::min(std::max(weight, 0.0), 1.0));
      for (int i = 0; i < n; ++i) {
        const float expected = a[i] > kNoEnergy && m[i] > kNoEnergy ? m[i] + (a[i] - m[i]) * w : m[i];
        ASSERT_EQ(std::memcmp(&out.magnitudes[i], &expected, sizeof(float)), 0) << n << " " << i << " " << weight;
      }
    }
  }
}

TEST(LevelBlend, FramesOfOtherSizesOrWithoutLevelsAreLeftAlone) {
  SMSFrame earlier, out, none;
  levels(earlier, {-10.0f, -20.0f});
  levels(out, {-30.0f, -40.0f, -50.0f});
  LevelBlend::Blend(earlier, out, 0.5);
  EXPECT_EQ(out.magnitudes[0], -30.0f);
  LevelBlend::Blend(none, out, 0.5);
  EXPECT_EQ(out.magnitudes[2], -50.0f);
}
