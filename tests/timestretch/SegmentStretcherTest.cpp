#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "SegmentStretcher.h"
#include "StretchMeasures.h"
#include "timedomain/StretchChecks.h"

namespace {

StretchRegionList regionsOf(const std::vector<std::pair<std::int64_t, std::int64_t>>& spans,
                            const std::vector<double>& ratios) {
  StretchRegionList list;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    auto r = std::make_unique<StretchRegion>();
    r->point.ratio = ratios[i];
    r->point.start = spans[i].first;
    r->end = spans[i].second;
    r->length = r->end - r->point.start;
    r->outputLength = static_cast<std::int64_t>(std::ceil(ratios[i] * static_cast<double>(r->length) - 1e-7));
    list.push_back(std::move(r));
  }
  return list;
}

struct Result {
  std::int64_t produced = 0;
  std::vector<float> left, right;
};

Result run(const TimeMachineInput& in, const StretchRegionList& regions, std::uint16_t selector = 2) {
  std::uint16_t options[SegmentStretch::kOptionCount];
  for (auto& o : options) o = 7;
  options[0] = selector;
  TimeMachineOutput out;
  Result r;
  r.produced = StretchSegments(&in, regions, options, &out);
  if (r.produced > 0) {
    r.left.assign(out.left, out.left + r.produced);
    if (out.right) r.right.assign(out.right, out.right + r.produced);
  }
  FreeStretchOutput(&out);
  return r;
}

}  // namespace

TEST(SegmentStretcher, UnstretchedRegionsAreCopiedFromTheFirstRegionOn) {
  const std::vector<float> left = StretchChecks::noise16(3000, 1), right = StretchChecks::noise16(3000, 2);
  const TimeMachineInput in = StretchChecks::inputOf(left, &right);
  // Regions from frame 1000 on: the copy starts there, whatever the selector.
  const Result r = run(in, regionsOf({{1000, 1500}, {1500, 2600}}, {1.0, 1.0}), 0);
  ASSERT_EQ(r.produced, 1600);
  EXPECT_EQ(r.left, std::vector<float>(left.begin() + 1000, left.begin() + 2600));
  EXPECT_EQ(r.right, std::vector<float>(right.begin() + 1000, right.begin() + 2600));

  const TimeMachineInput mono = StretchChecks::inputOf(left);
  const Result m = run(mono, regionsOf({{0, 3000}}, {1.0}));
  EXPECT_EQ(m.produced, 3000);
  EXPECT_TRUE(m.right.empty());
}

TEST(SegmentStretcher, RefusesWhatItCannotReadAndOnlyStretchesForTheSpectralSelector) {
  const std::vector<float> x(4000, 0.0f);
  const TimeMachineInput in = StretchChecks::inputOf(x, &x);
  EXPECT_EQ(run(in, {}).produced, 0);
  EXPECT_EQ(run(in, regionsOf({{0, 4000}}, {1.25}), 1).produced, 0) << "another selector asks for nothing";
  EXPECT_LT(run(in, regionsOf({{0, 3000}, {3000, 4001}}, {1.0, 1.0})).produced, 0) << "past the input";
  EXPECT_LT(run(in, regionsOf({{0, 1000}, {1200, 2000}}, {1.0, 1.0})).produced, 0) << "a gap";
  EXPECT_LT(run(in, regionsOf({{0, 4000}}, {2.5})).produced, 0) << "the engine refuses the ratio";
}

TEST(SegmentStretcher, StretchedRegionsComeOutAtTheirLengthsWithinTheSampleRange) {
  // A full-scale chord: the stretched sum overshoots and must be limited.
  const std::vector<float> x = StretchMeasures::tones(22050, {220.0, 330.0, 440.0}, 12000.0);
  const TimeMachineInput in = StretchChecks::inputOf(x, &x);
  const StretchRegionList regions = regionsOf({{0, 11025}, {11025, 22050}}, {0.8, 1.25});
  const Result r = run(in, regions);
  ASSERT_EQ(r.produced, regions[0]->outputLength + regions[1]->outputLength);
  for (float v : r.left) {
    ASSERT_LE(v, SegmentStretch::kCeiling);
    ASSERT_GE(v, SegmentStretch::kFloor);
  }
  // The peaks over the range are rebuilt as rounded half-waves, not cut
  // flat: the engine hands over its bands' sum unclipped, so the limiter
  // sees them (a sum clipped at 32767 left flat tops the limiter never
  // touched).
  int longestFlat = 0;
  for (std::size_t i = 0, run = 0; i < r.left.size(); ++i) {
    run = std::fabs(r.left[i]) >= 32767.0f ? run + 1 : 0;
    longestFlat = std::max(longestFlat, static_cast<int>(run));
  }
  EXPECT_LE(longestFlat, 2);
}

TEST(SegmentStretcher, ASectionStartingOnSoundIsNotLouderAtItsStart) {
  // The section starts 1000 frames into a held 440 Hz tone, as a bar cut
  // from a recording does; before the mend it peaked half as loud again in
  // its first 200 samples, a tick at every loop of the style.
  const std::vector<float> x = StretchMeasures::tones(24000, {440.0}, 10000.0);
  const TimeMachineInput in = StretchChecks::inputOf(x, &x);
  for (double ratio : {0.9, 1.1, 1.25}) {
    const Result r = run(in, regionsOf({{1000, 24000}}, {ratio}));
    ASSERT_GT(r.produced, 0) << ratio;
    float start = 0.0f, rest = 0.0f;
    for (std::size_t i = 0; i < r.left.size(); ++i) {
      float& peak = i < 200 ? start : rest;
      if (i < 200 || (i > r.left.size() / 5 && i < 4 * r.left.size() / 5)) peak = std::max(peak, std::fabs(r.left[i]));
    }
    EXPECT_NEAR(rest, 10000.0f, 300.0f) << ratio;
    EXPECT_LT(start, 1.2f * rest) << ratio;
  }
}
