#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CPolyphaseMultiRateProcessing.h"
#include "CSoundFile.h"
#include "LowBandRebuild.h"
#include "../timedomain/StretchChecks.h"

namespace {

// An output writer as the engine makes it: owned storage of `capacity`
// samples, the first `values.size()` of them written.
void fill(CSoundFile& f, const std::vector<float>& values, std::int64_t capacity) {
  f.storage = new float[static_cast<std::size_t>(std::max<std::int64_t>(capacity, 1))];
  f.capacity = capacity;
  std::copy(values.begin(), values.end(), f.storage);
  f.length = static_cast<std::int64_t>(values.size());
}

// The rebuild step by step: the whole band interpolated into an array of
// its own, moved back by the two filters' delay with zeros after it, then
// the top band added over the shorter length.
std::vector<float> literal(const std::vector<float>& low, const std::vector<float>& top, int factor, int rate) {
  CPolyphaseMultiRateProcessing up(CPolyphaseMultiRateProcessing::kInterpolate, factor, rate);
  std::vector<float> full(low.size() * static_cast<std::size_t>(factor) + 1);
  std::int64_t got = 0;
  if (!low.empty()) up.Interpolate(static_cast<int>(low.size()), low.data(), full.data(), &got);
  full.resize(static_cast<std::size_t>(got));
  const std::int64_t shift = std::min<std::int64_t>(2 * up.GetDelay(), got);
  std::memmove(full.data(), full.data() + shift, static_cast<std::size_t>(got - shift) * sizeof(float));
  std::fill(full.end() - shift, full.end(), 0.0f);
  for (std::size_t i = 0; i < std::min(full.size(), top.size()); ++i) full[i] += top[i];
  return full;
}

}  // namespace

TEST(LowBandRebuild, GivesTheSumOfTheWholeRebuiltBandAndTheTopBandBitForBit) {
  struct Case {
    int factor, rate;
    std::size_t lowLength;
    std::int64_t topLengthChange;  // against the rebuilt low band's length
  };
  // Several pieces and a part piece; the top band shorter, as long and
  // longer; a band shorter than the filters' delay; no band at all.
  const Case cases[] = {{4, 44100, 10001, -1000}, {4, 44100, 10001, 0}, {4, 44100, 9000, 700},
                        {2, 22050, 8193, -5},     {4, 44100, 10, 3},    {4, 44100, 0, 50}};
  for (const Case& c : cases) {
    const std::vector<float> low = StretchChecks::noise16(static_cast<std::int64_t>(c.lowLength), 1);
    const auto n = static_cast<std::int64_t>(c.lowLength) * c.factor;
    std::vector<float> top = StretchChecks::noise16(std::max<std::int64_t>(n + c.topLengthChange, 0), 2);
    // Negative zeros where the rebuilt band ends in its own zeros: the sum
    // must add them as the band sum does (0 + -0 is +0).
    for (std::int64_t i = std::max<std::int64_t>(n - 60, 0); i < std::min<std::int64_t>(n, top.size()); i += 2)
      top[static_cast<std::size_t>(i)] = -0.0f;
    const std::vector<float> expected = literal(low, top, c.factor, c.rate);

    CSoundFile lowFile(nullptr), topFile(nullptr);
    fill(lowFile, low, static_cast<std::int64_t>(low.size()) + 5);
    const std::int64_t capacity = std::max<std::int64_t>(n, static_cast<std::int64_t>(top.size())) + 100;
    fill(topFile, top, capacity);
    ASSERT_TRUE(LowBandRebuild::FitsInTop(lowFile, topFile, c.factor));
    CPolyphaseMultiRateProcessing up(CPolyphaseMultiRateProcessing::kInterpolate, c.factor, c.rate);
    LowBandRebuild::AddToTop(lowFile, topFile, up);

    ASSERT_EQ(lowFile.length, n) << c.lowLength;
    EXPECT_EQ(lowFile.capacity, capacity);
    EXPECT_EQ(lowFile.addCursor, -1);
    EXPECT_EQ(topFile.length, 0);
    ASSERT_EQ(static_cast<std::int64_t>(expected.size()), n);
    if (n > 0) {
      EXPECT_EQ(std::memcmp(lowFile.storage, expected.data(), expected.size() * sizeof(float)), 0) << c.lowLength;
    }
    // The top band's samples past the rebuilt length are no longer counted.
    for (std::int64_t i = n; i < static_cast<std::int64_t>(top.size()); ++i) {
      ASSERT_EQ(lowFile.storage[i], top[static_cast<std::size_t>(i)]);
    }
  }
}

TEST(LowBandRebuild, NeedsATopBandWithRoomForTheWholeRebuiltBand) {
  CSoundFile low(nullptr), top(nullptr);
  fill(low, std::vector<float>(100, 1.0f), 100);
  EXPECT_FALSE(LowBandRebuild::FitsInTop(low, top, 4));  // no storage
  fill(top, std::vector<float>(10, 1.0f), 399);
  EXPECT_FALSE(LowBandRebuild::FitsInTop(low, top, 4));
  EXPECT_TRUE(LowBandRebuild::FitsInTop(low, top, 2));
}
