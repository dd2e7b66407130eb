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

// The output frame is built from the later analysed frame in one pass: the
// same bits as the copy followed by the blend, phases, time and qualifier
// included, into a record that held a longer frame or nothing before.
TEST(LevelBlend, TheBlendedCopyGivesTheCopyThenBlendsBits) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dB(-120.0f, 0.0f);
  std::uniform_real_distribution<float> phase(-3.14f, 3.14f);
  for (int n : {1, 3, 4, 8, 9, 17, 257, 1025}) {
    std::vector<float> a(n), m(n), p(n);
    for (int i = 0; i < n; ++i) {
      a[i] = i % 5 == 1 ? kNoEnergy : i % 13 == 6 ? std::nanf("") : dB(rng);
      m[i] = i % 7 == 2 ? kNoEnergy : i % 11 == 3 ? std::nanf("") : dB(rng);
      p[i] = phase(rng);
    }
    for (bool withQualifier : {false, true}) {
      for (int held : {0, n + 5}) {
        SMSFrame earlier, later, expected, out;
        levels(earlier, a);
        levels(later, m);
        ASSERT_EQ(later.Allocate(SMSFrame::kPhases, n, false), 0);
        std::copy(p.begin(), p.end(), later.phases);
        later.time = 1.5 + n;
        if (withQualifier) later.flags |= SMSFrame::kSpectralQualifier;
        for (SMSFrame* f : {&expected, &out}) {
          if (held == 0) continue;
          ASSERT_EQ(f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, held, true), 0);
          f->flags |= SMSFrame::kSpectralQualifier;
          f->Release(SMSFrame::kAllContents, true);
        }
        SMSFrame::CopyFrom(later, expected, SMSFrame::kMagnitudes | SMSFrame::kPhases, true);
        LevelBlend::Blend(earlier, expected, 0.37);
        LevelBlend::CopyBlended(earlier, later, out, 0.37);
        ASSERT_EQ(out.binCount, expected.binCount);
        EXPECT_EQ(out.flags, expected.flags);
        EXPECT_EQ(out.time, expected.time);
        EXPECT_EQ(std::memcmp(out.magnitudes, expected.magnitudes, sizeof(float) * n), 0) << n;
        EXPECT_EQ(std::memcmp(out.phases, expected.phases, sizeof(float) * n), 0) << n;
      }
    }
  }
  // Frames the blend leaves alone are still copied.
  SMSFrame shorter, later, out;
  levels(shorter, {-10.0f});
  levels(later, {-30.0f, -40.0f});
  later.time = 2.0;
  LevelBlend::CopyBlended(shorter, later, out, 0.5);
  ASSERT_EQ(out.binCount, 2);
  EXPECT_EQ(out.magnitudes[0], -30.0f);
  EXPECT_EQ(out.magnitudes[1], -40.0f);
  EXPECT_EQ(out.time, 2.0);
}
