#include "LinearRegionStretcher.h"

#include <algorithm>
#include <cmath>

#include "TimeStretchJob.h"

namespace LinearRegionStretcher {

namespace {

constexpr std::int64_t kRefused = -2;

bool acceptable(const TimeMachineInput& input, const StretchRegionList& regions) {
  if (!input.left || regions.empty()) return false;
  const auto count = static_cast<std::int64_t>(input.sampleCount);
  std::int64_t expectedStart = regions.front() ? regions.front()->point.start : 0;
  for (const auto& region : regions) {
    if (!region) return false;
    const double ratio = region->point.ratio;
    if (!(ratio >= TimeStretchJob::kMinRatio && ratio <= TimeStretchJob::kMaxRatio)) return false;
    if (region->point.start != expectedStart || region->point.start < 0) return false;
    if (region->end <= region->point.start || region->end > count) return false;
    if (region->length != region->end - region->point.start) return false;
    if (region->outputLength < 1) return false;
    expectedStart = region->end;
  }
  return true;
}

// Output frame j of a region of `length` frames stretched to `outLength`
// reads input position start + j * length / outLength, between the frame
// there and the next one (the first frame of the following region, or the
// last input frame at the very end).
void resampleRegion(const float* in, std::int64_t inCount, const StretchRegion& region,
                    std::vector<float>& out) {
  const double step = static_cast<double>(region.length) / static_cast<double>(region.outputLength);
  for (std::int64_t j = 0; j < region.outputLength; ++j) {
    const double pos = static_cast<double>(region.point.start) + static_cast<double>(j) * step;
    const auto i0 = std::min<std::int64_t>(static_cast<std::int64_t>(pos), inCount - 1);
    const std::int64_t i1 = std::min<std::int64_t>(i0 + 1, inCount - 1);
    const double frac = pos - static_cast<double>(i0);
    const double v = in[i0] + (in[i1] - in[i0]) * frac;
    out.push_back(static_cast<float>(std::clamp(v, -32768.0, 32767.0)));
  }
}

}  // namespace

std::int64_t stretch(const TimeMachineInput& input, const StretchRegionList& regions,
                     std::vector<float>& left, std::vector<float>& right) {
  left.clear();
  right.clear();
  if (!acceptable(input, regions)) return kRefused;
  std::int64_t total = 0;
  for (const auto& region : regions) total += region->outputLength;
  const auto count = static_cast<std::int64_t>(input.sampleCount);
  left.reserve(static_cast<std::size_t>(total));
  for (const auto& region : regions) resampleRegion(input.left, count, *region, left);
  if (input.right) {
    right.reserve(static_cast<std::size_t>(total));
    for (const auto& region : regions) resampleRegion(input.right, count, *region, right);
  }
  return total;
}

}  // namespace LinearRegionStretcher
