#include "SMSRegionList.h"

#include <utility>

#include "EngineArray.h"

int SMSRegionList::Append(std::unique_ptr<CSMSRegion> region) {
  if (!region) return 3;
  const double duration = region->endTime;
  const auto index = static_cast<std::int32_t>(regions_.size());
  const auto needed = static_cast<std::size_t>((totalDuration + duration) * 4.0 + 1.0);
  EngineArray::Guard([&] {
    regions_.reserve(regions_.size() + 1);
    startTimes_.reserve(startTimes_.size() + 1);
    if (needed > regionAtQuarterSecond_.size()) regionAtQuarterSecond_.resize(needed, index);
  });
  startTimes_.push_back(totalDuration);
  regions_.push_back(std::move(region));
  totalDuration += duration;
  return 0;
}

void SMSRegionList::Clear() {
  regions_.clear();
  regions_.shrink_to_fit();
  startTimes_.clear();
  startTimes_.shrink_to_fit();
  regionAtQuarterSecond_.clear();
  regionAtQuarterSecond_.shrink_to_fit();
  totalDuration = 0.0;
}
