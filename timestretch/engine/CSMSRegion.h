#pragma once
// A run of analysis frames in time order. Frame times are relative to the
// region's start once filed. The region is the one owner of its frames:
// anything else that refers to them (frame lists, marker detection) only
// borrows them for the region's lifetime.

#include <cstdint>
#include <memory>
#include <vector>

#include "SMSFrame.h"

class CSMSRegion {
 public:
  // Room for frames grows by this many entries, starting with one step.
  static constexpr std::int64_t kGrowthStep = 10;
  // Frame times closer than this count as equal.
  static constexpr double kTimeTolerance = 1e-8;

  CSMSRegion() = default;
  virtual ~CSMSRegion();
  CSMSRegion(const CSMSRegion&) = delete;
  CSMSRegion& operator=(const CSMSRegion&) = delete;

  // Takes the frame and files it in time order: before the first frame
  // whose time exceeds its own by more than the tolerance, so frames of
  // (nearly) equal time keep the order in which they came. endTime follows
  // the greatest time added. A null frame is ignored. Returns 0; throws -1
  // when the room cannot grow.
  virtual int AddFrame(std::unique_ptr<SMSFrame> frame);

  std::int64_t frameCount() const { return static_cast<std::int64_t>(frames_.size()); }
  // Frame `index` (0 <= index < frameCount()), still owned by the region.
  SMSFrame* frame(std::int64_t index) const { return frames_[static_cast<std::size_t>(index)].get(); }
  // Frames the region has room for without growing.
  std::int64_t capacity() const { return static_cast<std::int64_t>(frames_.capacity()); }

  // Greatest frame time added; the analysis adds one frame period when it
  // closes the region.
  double endTime = 0.0;

 private:
  std::vector<std::unique_ptr<SMSFrame>> frames_;
};
