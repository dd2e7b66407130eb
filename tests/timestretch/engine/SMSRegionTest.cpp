#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "CSMSRegion.h"
#include "SMSChannelLists.h"
#include "SMSFrame.h"
#include "SMSRegionList.h"
#include "SMSRegionLists.h"

namespace {

std::unique_ptr<SMSFrame> frameAt(double time, float tag = 0.0f) {
  auto f = std::make_unique<SMSFrame>();
  f->time = time;
  f->Allocate(SMSFrame::kMagnitudes, 1, true);
  f->magnitudes[0] = tag;
  return f;
}

std::unique_ptr<CSMSRegion> regionOf(double endTime) {
  auto r = std::make_unique<CSMSRegion>();
  r->AddFrame(frameAt(endTime));
  return r;
}

TEST(SMSRegion, FramesInOrderAppendAndGrowTheRoomByTen) {
  CSMSRegion region;
  const double period = 256.0 / 44100.0;
  for (int k = 0; k < 11; ++k) {
    region.AddFrame(frameAt(k * period));
    EXPECT_EQ(region.capacity(), k < 10 ? 10 : 20);
  }
  ASSERT_EQ(region.frameCount(), 11);
  for (int k = 0; k < 11; ++k) EXPECT_EQ(region.frame(k)->time, k * period);
  EXPECT_EQ(region.endTime, 10 * period);
}

TEST(SMSRegion, ShuffledFramesComeOutAsAStableSortByTime) {
  // Times on a coarse grid give many exact ties; ties must keep their
  // arrival order whether or not the room grows on the way.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> slot(0, 12);
  std::vector<std::pair<double, float>> arrivals;
  CSMSRegion region;
  for (int i = 0; i < 57; ++i) {
    const double t = slot(rng) * 0.01 + (i % 3 == 0 ? 5e-9 : 0.0);
    arrivals.push_back({t, static_cast<float>(i)});
    region.AddFrame(frameAt(t, static_cast<float>(i)));
  }
  // Offsets of 5e-9 are within the tolerance: sort on the grid slot only.
  auto key = [](double t) { return static_cast<int>(t * 100.0 + 0.5); };
  std::stable_sort(arrivals.begin(), arrivals.end(),
                   [&](const auto& a, const auto& b) { return key(a.first) < key(b.first); });
  ASSERT_EQ(region.frameCount(), 57);
  for (int i = 0; i < 57; ++i) EXPECT_EQ(region.frame(i)->magnitudes[0], arrivals[i].second) << i;
  EXPECT_NEAR(region.endTime, 0.12, 1e-8);
}

TEST(SMSRegionList, OneSecondThenHalfASecondFillTheQuarterSecondTable) {
  SMSRegionList list;
  EXPECT_EQ(list.framePeriod, 256.0 / 44100.0);
  EXPECT_EQ(list.Append(nullptr), 3);
  ASSERT_EQ(list.Append(regionOf(1.0)), 0);
  EXPECT_EQ(list.quarterSecondCount(), 5);
  ASSERT_EQ(list.Append(regionOf(0.5)), 0);
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.startTime(0), 0.0);
  EXPECT_EQ(list.startTime(1), 1.0);
  EXPECT_EQ(list.totalDuration, 1.5);
  const std::vector<int> expected = {0, 0, 0, 0, 0, 1, 1};
  ASSERT_EQ(list.quarterSecondCount(), 7);
  for (int q = 0; q < 7; ++q) EXPECT_EQ(list.regionAtQuarterSecond(q), expected[q]) << q;
  list.Clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.quarterSecondCount(), 0);
}

TEST(SMSRegionLists, InsertShiftsRefusesBadIndexesAndLooksUpFromTheEnd) {
  SMSRegionLists lists;
  EXPECT_EQ(lists.Get(-1), nullptr);
  EXPECT_EQ(lists.Get(0), nullptr);
  SMSRegionList* a = lists.AddNew(-1);
  SMSRegionList* c = lists.AddNew(-1);
  SMSRegionList* b = lists.AddNew(1);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(lists.Get(0), a);
  EXPECT_EQ(lists.Get(1), b);
  EXPECT_EQ(lists.Get(2), c);
  EXPECT_EQ(lists.Get(-1), c);
  EXPECT_EQ(lists.Get(3), nullptr);
  // Refused elements are deleted, not leaked (the leak checker watches).
  EXPECT_EQ(lists.AddNew(4), nullptr);
  EXPECT_EQ(lists.Insert(-2, std::make_unique<SMSRegionList>()), 6);
  EXPECT_EQ(lists.count(), 3);

  SMSChannelLists channels;
  EXPECT_EQ(channels.Insert(2, std::make_unique<SMSRegionLists>()), 1);
  channels.AddNew(-1)->AddNew(-1);
  SMSRegionList* right = channels.AddNew(-1)->AddNew(-1);
  EXPECT_EQ(channels.Get(1, 0), right);
  EXPECT_EQ(channels.Get(1, 1), nullptr);
  EXPECT_EQ(channels.Get(2, 0), nullptr);
}

TEST(SMSFrame, StorageIsReusedAfterAKeepingReleaseAndGrowsKeepingContents) {
  SMSFrame f;
  ASSERT_EQ(f.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, 8, true), 0);
  EXPECT_EQ(f.flags, SMSFrame::kMagnitudes | SMSFrame::kPhases);
  f.magnitudes[7] = 3.0f;
  float* kept = f.magnitudes;
  f.Release(SMSFrame::kAllContents, true);
  EXPECT_EQ(f.flags, 0u);
  EXPECT_EQ(f.binCount, 8);
  ASSERT_EQ(f.Allocate(SMSFrame::kMagnitudes, 5, false), 0);
  EXPECT_EQ(f.magnitudes, kept);
  EXPECT_EQ(f.binCount, 5);
  // Growing a held array keeps what it had.
  ASSERT_EQ(f.Allocate(SMSFrame::kPhases, 100, false), 0);
  EXPECT_EQ(f.magnitudes[7], 3.0f);
  f.magnitudes[99] = 1.0f;
  f.phases[99] = 1.0f;
  f.Release(SMSFrame::kMagnitudes | SMSFrame::kPhases, false);
  EXPECT_EQ(f.magnitudes, nullptr);
  EXPECT_EQ(f.binCount, 0);
}

TEST(SMSFrame, CopiesCarryArraysBandBlockQualifierAndTimeAsAsked) {
  SMSFrame src;
  src.time = 1.25;
  src.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, 4, true);
  src.AttachBandBlock();
  src.flags |= SMSFrame::kSpectralQualifier;
  for (int k = 0; k < 4; ++k) {
    src.magnitudes[k] = -10.0f * k;
    src.phases[k] = 0.5f * k;
  }
  src.bandBlock[79] = 9.0f;

  SMSFrame dst;
  SMSFrame::CopyFrom(src, dst, SMSFrame::kMagnitudes | SMSFrame::kBandBlock, false);
  EXPECT_EQ(dst.time, 0.0);
  EXPECT_TRUE(dst.Has(SMSFrame::kSpectralQualifier));
  EXPECT_FALSE(dst.Has(SMSFrame::kPhases));
  EXPECT_EQ(dst.magnitudes[3], -30.0f);
  EXPECT_EQ(dst.bandBlock[79], 9.0f);
  SMSFrame::CopyFrom(src, dst, SMSFrame::kPhases, true);
  EXPECT_EQ(dst.time, 1.25);
  EXPECT_EQ(dst.phases[3], 1.5f);

  SMSFrame plain;
  plain.Allocate(SMSFrame::kMagnitudes, 4, true);
  // CopyContent only ever sets the qualifier.
  EXPECT_EQ(SMSFrame::CopyContent(&plain, &dst, SMSFrame::kMagnitudes), 0);
  EXPECT_TRUE(dst.Has(SMSFrame::kSpectralQualifier));
  EXPECT_EQ(dst.magnitudes[3], 0.0f);
  EXPECT_EQ(SMSFrame::CopyContent(&plain, nullptr, SMSFrame::kMagnitudes), 5);
}

}  // namespace
