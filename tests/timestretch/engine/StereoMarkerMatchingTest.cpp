#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/StereoMarkerMatching.h"

namespace {

MarkerSet markersAt(const std::vector<std::int32_t>& positions, std::uint8_t type = 0) {
  MarkerSet m;
  for (auto p : positions) m.Add(p, 1, type);
  return m;
}

void matchAndMerge(MarkerSet& l, MarkerSet& r) {
  std::vector<std::int32_t> pl(l.count, 0), pr(r.count, 0);
  MatchMarkers(l, r, pl, pr);
  MergeMarkers(l, r, pl, pr);
}

constexpr double kHop = 256.0 / 44100.0;

// A region of `n` frames one hop apart, each with a band block whose
// detection values are given per frame (missing frames hold 0).
std::unique_ptr<CSMSRegion> regionWith(std::int64_t n, const std::vector<std::array<float, 3>>& values = {}) {
  auto region = std::make_unique<CSMSRegion>();
  for (std::int64_t k = 0; k < n; ++k) {
    auto f = std::make_unique<SMSFrame>();
    f->time = static_cast<double>(k) * kHop;
    f->AttachBandBlock();
    if (k < static_cast<std::int64_t>(values.size()))
      for (int v = 0; v < 3; ++v) f->bandBlock[40 + v] = values[static_cast<std::size_t>(k)][v];
    region->AddFrame(std::move(f));
  }
  return region;
}

}  // namespace

TEST(StereoMarkerMatching, PairsMoveTowardsTheStrongerOrTheMiddle) {
  // A strong left marker two frames from a plain right one takes it along.
  auto l = markersAt({100}, MarkerSet::kStrongTransient);
  auto r = markersAt({102}, 0);
  std::vector<std::int32_t> pl(1, 0), pr(1, 0);
  MatchMarkers(l, r, pl, pr);
  EXPECT_EQ(r.positions[0], 100);
  EXPECT_EQ(pl[0] + pr[0], 2);
  // Two plain markers five frames apart meet at 102.
  l = markersAt({100});
  r = markersAt({105});
  pl.assign(1, 0);
  pr.assign(1, 0);
  MatchMarkers(l, r, pl, pr);
  EXPECT_EQ(l.positions[0], 102);
  EXPECT_EQ(r.positions[0], 102);
  // Offsets up to three frames meet where the table puts them.
  struct Row { std::int32_t right, left, meet; };
  for (const Row& row : {Row{101, 100, 100}, Row{99, 99, 99}, Row{102, 101, 101}, Row{98, 99, 99},
                         Row{103, 101, 101}, Row{97, 98, 98}}) {
    l = markersAt({100});
    r = markersAt({row.right});
    pl.assign(1, 0);
    pr.assign(1, 0);
    MatchMarkers(l, r, pl, pr);
    EXPECT_EQ(l.positions[0], row.left) << row.right;
    EXPECT_EQ(r.positions[0], row.meet) << row.right;
  }
}

TEST(StereoMarkerMatching, UnpairedMarkersAreCopiedIncludingTheTrailingOnes) {
  auto l = markersAt({100}, MarkerSet::kStrongTransient);
  auto r = markersAt({108});
  matchAndMerge(l, r);  // eight apart: never paired
  EXPECT_EQ(l.positions, (std::vector<std::int32_t>{100, 108}));
  EXPECT_EQ(r.positions, (std::vector<std::int32_t>{100, 108}));
  EXPECT_EQ(r.types[0], MarkerSet::kTransient);  // a copy is a plain transient
  EXPECT_EQ(l.types[1], MarkerSet::kTransient);
  EXPECT_EQ(l.times.size(), 2u);
  auto longer = markersAt({100, 200, 300});
  auto shorter = markersAt({100});
  matchAndMerge(longer, shorter);
  EXPECT_EQ(shorter.positions, (std::vector<std::int32_t>{100, 200, 300}));
  EXPECT_EQ(longer.count, 3);
  EXPECT_EQ(shorter.count, 3);
}

TEST(StereoMarkerMatching, WindowsNarrowBetweenCloseMarkersAndTimesSnapToTheHop) {
  auto region = regionWith(40);
  auto m = markersAt({0, 5, 25});
  CTimeMachineParams params;
  MarkerWindowContext c{region.get(), &params, kHop, 44100.0, 256};
  MarkerWindows(m, c);
  EXPECT_EQ(m.beforeWidth, (std::vector<double>{8, 2, 8}));
  EXPECT_EQ(m.beforeRest, (std::vector<double>{5, 2, 2}));
  EXPECT_EQ(m.afterWidth, (std::vector<double>{2, 8, 8}));
  EXPECT_EQ(m.afterRest, (std::vector<double>{2, 2, 5}));
  EXPECT_NEAR(m.times[2], 25 * kHop, 1e-12);
  // A shortening ratio narrows the gap before the widths are chosen.
  params.SetParam(CTimeMachineParams::StretchRatio, 0.5f, CEnvelope::kAllTimes);
  MarkerWindows(m, c);
  EXPECT_EQ(m.afterWidth[1], 4.0);
  EXPECT_EQ(m.afterRest[1], 2.0);
  // A hop twice as long halves the widths (in engine frames).
  c.hopSamples = 512;
  MarkerWindows(m, c);
  EXPECT_EQ(m.beforeWidth, (std::vector<double>{4, 1, 2}));
}

TEST(StereoMarkerMatching, DetectionMakesMergesAndKeepsManyMarkers) {
  std::vector<std::array<float, 3>> v(60, {0, 0, 0});
  v[20][1] = 80;   // value 41 peak
  v[28][1] = 90;   // 8 frames later: merged with it, the stronger stays
  v[45][0] = 150;  // value 40 peak: a strong marker
  MarkerSet m;
  auto region = regionWith(60, v);
  BuildTransientMarkers(m, *region, true);
  EXPECT_EQ(m.positions, (std::vector<std::int32_t>{33, 50}));
  EXPECT_EQ(m.types, (std::vector<std::uint8_t>{MarkerSet::kTransient, MarkerSet::kStrongTransient}));
  EXPECT_EQ(m.detection[0].size(), 60u);
  v[28][1] = 0;
  v[29][1] = 90;  // 9 frames later: both stay
  region = regionWith(60, v);
  BuildTransientMarkers(m, *region, true);
  EXPECT_EQ(m.positions, (std::vector<std::int32_t>{25, 34, 50}));

  // More than a hundred markers in one channel, windows included.
  std::vector<std::array<float, 3>> many(1520, {0, 0, 0});
  for (std::size_t k = 10; k + 10 < many.size(); k += 10) many[k][1] = 60;
  region = regionWith(1520, many);
  BuildTransientMarkers(m, *region, true);
  EXPECT_EQ(m.count, 150);
  CTimeMachineParams params;
  MarkerWindows(m, MarkerWindowContext{region.get(), &params, kHop, 44100.0, 256});
  EXPECT_EQ(m.times.size(), 150u);
  EXPECT_EQ(m.afterWidth[149], 8.0);
  EXPECT_EQ(m.afterWidth[0], 4.0);  // ten frames apart

  MarkerSet right;
  AllocateMarkerArrays(false, m, 10, &right, 10);  // pre-analysis off: untouched
  EXPECT_EQ(m.count, 150);
  AllocateMarkerArrays(true, m, 10, &right, 12);
  EXPECT_EQ(m.count, 0);
  EXPECT_EQ(right.detection[2].size(), 12u);
}
