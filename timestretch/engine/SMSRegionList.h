#pragma once
// The regions of one channel pass, in time order, with the start time of
// each region (the sum of the durations before it) and a quarter-second
// table that maps a time to the region being appended when the list first
// covered it. The list owns its regions.

#include <cstdint>
#include <memory>
#include <vector>

#include "CSMSRegion.h"

class SMSRegionList {
 public:
  // 256 samples at 44100 Hz.
  static constexpr double kDefaultFramePeriod = 0.005804988662131519;

  SMSRegionList() = default;
  ~SMSRegionList() = default;
  SMSRegionList(const SMSRegionList&) = delete;
  SMSRegionList& operator=(const SMSRegionList&) = delete;

  // Appends the region, starting at the current total duration, and extends
  // the quarter-second table to cover it. Returns 3 for a null region, else
  // 0; throws -1 when the arrays cannot grow.
  int Append(std::unique_ptr<CSMSRegion> region);
  // Deletes every region and empties the tables.
  void Clear();

  std::int64_t count() const { return static_cast<std::int64_t>(regions_.size()); }
  // Region `index` (0 <= index < count()), owned by the list.
  CSMSRegion* region(std::int64_t index) const { return regions_[static_cast<std::size_t>(index)].get(); }
  double startTime(std::int64_t index) const { return startTimes_[static_cast<std::size_t>(index)]; }
  std::int64_t quarterSecondCount() const { return static_cast<std::int64_t>(regionAtQuarterSecond_.size()); }
  // Index of the region covering q x 0.25 s (0 <= q < quarterSecondCount()).
  std::int32_t regionAtQuarterSecond(std::int64_t q) const {
    return regionAtQuarterSecond_[static_cast<std::size_t>(q)];
  }

  // Seconds covered by the regions.
  double totalDuration = 0.0;
  // Seconds between frames.
  double framePeriod = kDefaultFramePeriod;

 private:
  std::vector<std::unique_ptr<CSMSRegion>> regions_;
  std::vector<double> startTimes_;
  std::vector<std::int32_t> regionAtQuarterSecond_;
};
