#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "TestAudio.h"
#include "WavBytes.h"
#include "timeStretch.h"

namespace {

std::unique_ptr<IF_timeStretch> manager(std::uint64_t tempo, std::uint64_t bars) {
  std::unique_ptr<IF_timeStretch> m(timeStretch::create());
  StretchParams p;
  p.tempo = tempo;
  p.bars = bars;
  EXPECT_EQ(m->setParameters(p), 0u);
  return m;
}

std::uint64_t frames(const std::vector<std::uint8_t>& bytes) { return bytes.size() / 4; }

}  // namespace

TEST(TimeStretchManager, UnchangedLengthGivesAByteExactCopy) {
  // Two bars at 120 beats per minute are already two bars long at 120.
  const auto input = WavBytes::toBytes(TestAudio::noise(4.0, 0.8));
  auto m = manager(120, 2);
  std::vector<std::uint8_t> output{1, 2, 3};
  ASSERT_EQ(m->run(input, output), 0u);
  EXPECT_EQ(output, input);
  std::uint8_t flag = 1;
  std::vector<double> ratios{5.0, 6.0};
  ASSERT_EQ(m->getRatios(&flag, ratios), 0u);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(ratios, std::vector<double>{1.0});
}

TEST(TimeStretchManager, FourBarsAt100BecomeFourBarsAt120) {
  // 4 bars at 100 beats per minute: 4 * 4 * 0.6 s.
  const auto input = WavBytes::toBytes(TestAudio::sine(9.6, 440.0));
  ASSERT_EQ(frames(input), 423360u);
  auto m = manager(120, 4);
  std::vector<std::uint8_t> output;
  ASSERT_EQ(m->run(input, output), 0u);
  std::uint8_t flag = 0;
  std::vector<double> ratios;
  m->getRatios(&flag, ratios);
  ASSERT_EQ(ratios.size(), 1u);
  EXPECT_NEAR(ratios[0], 100.0 / 120.0, 1e-12) << "the measured tempo over the target tempo";
  EXPECT_EQ(frames(output), static_cast<std::uint64_t>(std::ceil(ratios[0] * 423360.0)));
  EXPECT_NEAR(static_cast<double>(frames(output)), 4 * 88200.0, 1.0);

  // The same cut bar by bar (the cut list is absolute; the input starts at
  // its first entry): every bar becomes one bar at 120.
  const std::vector<std::uint64_t> cuts{5000, 5000 + 105840, 5000 + 211680, 5000 + 317520, 5000 + 423360};
  ASSERT_EQ(m->runWithCuts(input, cuts, output), 0u);
  m->getRatios(&flag, ratios);
  ASSERT_EQ(ratios.size(), 4u);
  std::uint64_t expected = 0;
  for (double r : ratios) expected += static_cast<std::uint64_t>(std::ceil(r * 105840.0));
  EXPECT_EQ(frames(output), expected);
}

TEST(TimeStretchManager, RatioOutOfRangeIsReportedAndNothingComesOut) {
  // One bar at 50 beats per minute would need a ratio of 0.4167.
  const auto input = WavBytes::toBytes(TestAudio::sine(4.8, 220.0));
  auto m = manager(120, 1);
  std::vector<std::uint8_t> output;
  EXPECT_EQ(m->run(input, output), 0x80000003u);
  std::uint8_t flag = 0;
  std::vector<double> ratios;
  m->getRatios(&flag, ratios);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(ratios.size(), 1u);
  EXPECT_NEAR(ratios[0], 50.0 / 120.0, 1e-12);
  EXPECT_FALSE(m->hasException());
}

TEST(TimeStretchManager, EmptyInputOrUnusableCutsGiveNoOutput) {
  auto m = manager(120, 4);
  std::vector<std::uint8_t> output;
  EXPECT_EQ(m->run({}, output), 0x80000003u);
  const auto input = WavBytes::toBytes(TestAudio::noise(1.0, 0.5));
  EXPECT_EQ(m->runWithCuts(input, {0, 100, 44100}, output), 0x80000003u) << "3 cuts for 4 bars";
  // A cut past the loaded frames cannot be stretched.
  auto one = manager(120, 1);
  EXPECT_EQ(one->runWithCuts(input, {0, 88200}, output), 0x80000003u);
}

TEST(TimeStretchManager, ARunWithoutRegionsReportsNoRatiosOfAnEarlierRun) {
  // First a run whose one bar is out of range: the flag is set.
  auto m = manager(120, 1);
  std::vector<std::uint8_t> output;
  ASSERT_EQ(m->run(WavBytes::toBytes(TestAudio::sine(4.8, 220.0)), output), 0x80000003u);
  std::uint8_t flag = 0;
  std::vector<double> ratios;
  m->getRatios(&flag, ratios);
  ASSERT_EQ(flag, 1);

  // Then runs that never get to regions: an empty input, and a cut list
  // that does not match the bars. Their failure is theirs, not a ratio
  // problem of the run before.
  EXPECT_EQ(m->run({}, output), 0x80000003u);
  flag = 1;
  ratios = {7.0};
  ASSERT_EQ(m->getRatios(&flag, ratios), 0u);
  EXPECT_EQ(flag, 0);
  EXPECT_TRUE(ratios.empty());

  ASSERT_EQ(m->run(WavBytes::toBytes(TestAudio::sine(4.8, 220.0)), output), 0x80000003u);
  EXPECT_EQ(m->runWithCuts(WavBytes::toBytes(TestAudio::noise(1.0, 0.5)), {0, 100, 200, 44100}, output),
            0x80000003u);
  flag = 1;
  m->getRatios(&flag, ratios);
  EXPECT_EQ(flag, 0);
  EXPECT_TRUE(ratios.empty());
}
