#include "WorkingRange.h"

#include "SegmentStretcher.h"

namespace {
constexpr int kRefused = -2;
}

int MakeWorkingRange(const StretchRegionList& regions, const TimeMachineInput& in, TimeMachineInput* range,
                     std::uint8_t* needsStretch) {
  if (!in.left || !range || !needsStretch || regions.empty() || !regions.front()) return kRefused;
  const std::int64_t first = regions.front()->point.start;
  if (first < 0) return kRefused;
  std::int64_t count = 0;
  std::uint8_t stretch = 0;
  for (const auto& region : regions) {
    if (!region || region->point.start != first + count || region->length < 0 ||
        region->end != region->point.start + region->length)
      return kRefused;
    count += region->length;
    if (region->outputLength != region->length) stretch = 1;
  }
  if (static_cast<std::uint64_t>(first + count) > in.sampleCount) return kRefused;
  *range = in;
  range->left = in.left + first;
  range->right = in.right ? in.right + first : nullptr;
  range->sampleCount = static_cast<std::uint64_t>(count);
  *needsStretch = stretch;
  return 0;
}

std::int64_t CopyRegionRange(const TimeMachineInput& in, const StretchRegion& region, TimeMachineOutput* out) {
  const std::int64_t start = region.point.start;
  const std::int64_t length = region.end - start;
  if (!in.left || !out || start < 0 || length < 0 || static_cast<std::uint64_t>(start + length) > in.sampleCount)
    return kRefused;
  TimeMachineInput range = in;
  range.left = in.left + start;
  range.right = in.right ? in.right + start : nullptr;
  range.sampleCount = static_cast<std::uint64_t>(length);
  return CopySegment(&range, out);
}

void ClearQuad(std::uint64_t* quad) {
  if (!quad) return;
  for (int i = 0; i < 4; ++i) quad[i] = 0;
}
