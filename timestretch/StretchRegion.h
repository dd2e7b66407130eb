#pragma once
// One region of a stretch job: a stretch of the input between two cut
// positions and the ratio that makes its bars last as long as they do at the
// target tempo. Its head is the engine's time-map point, so a region list is
// also the engine's time map.

#include <cstdint>
#include <memory>
#include <vector>

#include "TimeMapPoint.h"

struct StretchRegion {
  TimeMapPoint point;          // ratio and start (relative to the first cut)
  std::int64_t end = 0;        // one past the last frame, relative to the first cut
  std::int64_t length = 0;     // end - start
  double regionTempo = 0.0;    // tempo at which the region's bars last exactly `length`
  std::int64_t unitCount = 1;
  std::int64_t outputLength = 0;  // ceil(ratio * length)
  double targetTempo = 0.0;
};

// Regions in input order; the caller owns the list and its records.
using StretchRegionList = std::vector<std::unique_ptr<StretchRegion>>;
