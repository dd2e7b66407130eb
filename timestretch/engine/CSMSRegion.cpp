#include "CSMSRegion.h"

#include <utility>

#include "EngineArray.h"

CSMSRegion::~CSMSRegion() = default;

int CSMSRegion::AddFrame(std::unique_ptr<SMSFrame> frame) {
  if (!frame) return 0;
  const double t = frame->time;
  if (frames_.size() == frames_.capacity()) {
    EngineArray::Guard([&] { frames_.reserve(frames_.size() + kGrowthStep); });
  }
  // Frames arrive in time order almost always: search from the back.
  std::size_t at = frames_.size();
  while (at > 0 && frames_[at - 1]->time > t + kTimeTolerance) --at;
  frames_.insert(frames_.begin() + static_cast<std::ptrdiff_t>(at), std::move(frame));
  if (t > endTime + kTimeTolerance) endTime = t;
  return 0;
}
