#pragma once
// The least stretch engine: every region of a job is resampled to exactly its
// output length by linear interpolation (so the pitch moves with the ratio).
// It takes and gives the same records as the spectral engine it stands in
// for, and refuses what that engine refuses.

#include <cstdint>
#include <vector>

#include "StretchRegion.h"
#include "TimeMachineInput.h"

namespace LinearRegionStretcher {

// Stretches the contiguous regions (starts counted from input sample 0) into
// `left` and `right` (right stays empty for mono input) and returns the
// frames produced: the sum of the regions' output lengths. Refused input
// gives -2 and leaves both vectors empty: no left samples, no region, a
// region outside the input or not following the one before, a region
// without output, or a ratio outside 0.5..2.0. Output samples are
// limited to the 16-bit range. May throw std::bad_alloc.
std::int64_t stretch(const TimeMachineInput& input, const StretchRegionList& regions,
                     std::vector<float>& left, std::vector<float>& right);

}  // namespace LinearRegionStretcher
