#include "SegmentStretcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "PeakLimiter.h"
#include "RunTimeMachine.h"
#include "WorkingRange.h"

namespace {

constexpr std::int64_t kFailed = -1;
constexpr std::int64_t kRefused = -2;

float* newArray(std::uint64_t n) { return new (std::nothrow) float[n == 0 ? 1 : n]; }

// The sample limit of a format of `bits` bits, scaled to 16-bit values.
double limitFor(std::uint64_t bits) {
  double limit = 32767.0;
  if (bits >= 8 && bits <= 32) {
    const double full = std::ldexp(1.0, static_cast<int>(bits) - 1);
    limit = (full - 1.0) * 32768.0 / full;
  }
  return std::min(limit, 32767.94921875);
}

void limitChannel(float* x, std::int64_t count, double limit) {
  // A non-number would defeat every comparison below; it is silence.
  for (std::int64_t i = 0; i < count; ++i) {
    if (!std::isfinite(x[i])) x[i] = 0.0f;
  }
  LimitPeaks(x, 0, count, limit, SegmentStretch::kFloor);
  for (std::int64_t i = 0; i < count; ++i) x[i] = std::min(SegmentStretch::kCeiling, std::max(SegmentStretch::kFloor, x[i]));
}

// Gives `out` exactly `wanted` samples: a longer engine result is cut, a
// shorter one is completed with silence in new arrays.
bool fitLength(TimeMachineOutput* out, std::int64_t produced, std::int64_t wanted) {
  if (produced >= wanted) return true;
  float* channels[2] = {out->left, out->right};
  float* grown[2] = {nullptr, nullptr};
  for (int c = 0; c < 2; ++c) {
    if (!channels[c]) continue;
    grown[c] = newArray(static_cast<std::uint64_t>(wanted));
    if (!grown[c]) {
      delete[] grown[0];
      return false;
    }
    std::memcpy(grown[c], channels[c], static_cast<std::size_t>(produced) * sizeof(float));
    std::fill(grown[c] + produced, grown[c] + wanted, 0.0f);
  }
  FreeStretchOutput(out);
  out->left = grown[0];
  out->right = grown[1];
  return true;
}

}  // namespace

std::int64_t CopySegment(const TimeMachineInput* range, TimeMachineOutput* out) {
  const std::uint64_t n = range->sampleCount;
  out->left = newArray(n);
  out->right = nullptr;
  if (!out->left) return kFailed;
  std::copy(range->left, range->left + n, out->left);
  if (range->right) {
    out->right = newArray(n);
    if (!out->right) return kFailed;
    std::copy(range->right, range->right + n, out->right);
  }
  out->produced = n;
  return static_cast<std::int64_t>(n);
}

void FreeStretchOutput(TimeMachineOutput* out) {
  if (!out) return;
  delete[] out->left;
  delete[] out->right;
  out->left = nullptr;
  out->right = nullptr;
}

std::int64_t StretchSegments(const TimeMachineInput* in, const StretchRegionList& regions, std::uint16_t* options,
                             TimeMachineOutput* out) {
  if (!in || !options || !out) return kRefused;
  const std::uint16_t selector = options[0];
  if (regions.empty()) return 0;

  // The regions must follow each other inside the input (a range outside it
  // would be read past the caller's arrays), and each must have samples in
  // and out.
  TimeMachineInput range;
  std::uint8_t stretching = 0;
  if (MakeWorkingRange(regions, *in, &range, &stretching) != 0) return kRefused;
  const std::int64_t first = regions.front()->point.start;
  std::int64_t wanted = 0;
  for (const auto& region : regions) {
    if (region->length < 1 || region->outputLength < 1) return kRefused;
    wanted += region->outputLength;
  }
  if (!stretching) return CopySegment(&range, out);

  std::int64_t result = 0;
  try {
    std::vector<TimeMapPoint> points;
    std::vector<const TimeMapPoint*> map;
    points.reserve(regions.size());
    map.reserve(regions.size());
    for (const auto& region : regions) points.push_back({region->point.ratio, region->point.start - first});
    for (const TimeMapPoint& point : points) map.push_back(&point);
    std::fill(options + 1, options + SegmentStretch::kOptionCount, std::uint16_t{0});
    if (selector == SegmentStretch::kSpectralEngine) result = RunTimeMachine(&range, map, options, out);
  } catch (int) {
    return kFailed;
  } catch (const std::bad_alloc&) {
    return kFailed;
  }
  if (result < 1) return result;
  if (!fitLength(out, result, wanted)) return kFailed;
  result = wanted;
  out->produced = static_cast<std::uint64_t>(result);

  const double limit = limitFor(in->bitsPerSample);
  limitChannel(out->left, result, limit);
  if (in->right && out->right) limitChannel(out->right, result, limit);
  return result;
}
