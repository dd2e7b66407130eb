// The envelope stage's values: the same whatever the grouping of the
// samples into calls (leftovers of a decimation block carried over), and
// the very values of the arrangement that ran the low-pass as a second pass
// over each call's buffer, pinned by a checksum taken from it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "BlockOnsetStages.h"

namespace {

// Clicks, decaying noise bursts, a stretch of full-scale square (the
// envelope and the low-pass saturate) and silence.
std::vector<std::int16_t> testSignal() {
  std::mt19937 gen(21);
  std::vector<std::int16_t> x(120000, 0);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const long noise = static_cast<long>(gen() % 20001) - 10000;
    const std::size_t phase = i % 11025;
    if (i < 40000) {
      x[i] = static_cast<std::int16_t>(phase < 2000 ? noise * static_cast<long>(2000 - phase) / 2000 : 0);
    } else if (i < 60000) {
      x[i] = static_cast<std::int16_t>((i / 50) % 2 ? 32767 : -32768);
    } else if (i >= 80000 && i % 4000 == 0) {
      x[i] = 30000;
    }
  }
  return x;
}

struct Values {
  std::vector<std::int32_t> ratio, rise, mean;
};

// Runs the stage over x in calls of the given sizes, cycling through them.
Values runInCalls(const std::vector<std::int16_t>& x, const std::vector<int>& sizes) {
  auto stage = std::make_unique<OnsetEnvelopeStage>();
  onsetEnvelopeStageInit(stage.get());
  Values v;
  std::int32_t ratio[ONSET_DETECTOR_MAX_BLOCK], rise[ONSET_DETECTOR_MAX_BLOCK], mean[ONSET_DETECTOR_MAX_BLOCK];
  std::size_t pos = 0;
  for (std::size_t call = 0; pos < x.size(); ++call) {
    const int n = static_cast<int>(std::min<std::size_t>(sizes[call % sizes.size()], x.size() - pos));
    const int m = onsetEnvelopeStageRun(stage.get(), x.data() + pos, n, ratio, rise, mean);
    v.ratio.insert(v.ratio.end(), ratio, ratio + m);
    v.rise.insert(v.rise.end(), rise, rise + m);
    v.mean.insert(v.mean.end(), mean, mean + m);
    pos += static_cast<std::size_t>(n);
  }
  return v;
}

std::uint64_t checksum(const Values& v) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a over the values' bits
  for (const auto* list : {&v.ratio, &v.rise, &v.mean}) {
    for (std::int32_t value : *list) {
      for (int b = 0; b < 4; ++b) {
        h ^= (static_cast<std::uint32_t>(value) >> (8 * b)) & 0xFFu;
        h *= 1099511628211ull;
      }
    }
  }
  return h;
}

}  // namespace

TEST(BlockOnsetStages, EnvelopeValuesDoNotDependOnHowTheSamplesAreGrouped) {
  const std::vector<std::int16_t> x = testSignal();
  const Values whole = runInCalls(x, {32});
  ASSERT_EQ(whole.ratio.size(), x.size() / 32);
  for (const std::vector<int>& sizes : std::vector<std::vector<int>>{{128}, {1}, {7, 50, 0, 128, 33, 31, 96}, {31}}) {
    const Values uneven = runInCalls(x, sizes);
    EXPECT_EQ(uneven.ratio, whole.ratio);
    EXPECT_EQ(uneven.rise, whole.rise);
    EXPECT_EQ(uneven.mean, whole.mean);
  }
}

TEST(BlockOnsetStages, EnvelopeValuesAreThoseOfTheLowPassRunAsASecondPass) {
  // Taken from the stage that filtered each call's whole blocks after its
  // envelope loop (3750 values, 3373 of them not 0).
  constexpr std::uint64_t kTwoPassChecksum = 9344836311639077975ull;
  const std::vector<std::int16_t> x = testSignal();
  EXPECT_EQ(checksum(runInCalls(x, {32})), kTwoPassChecksum);
  EXPECT_EQ(checksum(runInCalls(x, {7, 50, 0, 128, 33, 31, 96})), kTwoPassChecksum);
}
