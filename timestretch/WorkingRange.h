#pragma once
// The two steps of the segment stretcher that stand on their own: the one
// contiguous input range a region list covers (with whether any region
// needs stretching), and a plain copy of one region's samples.

#include <cstdint>

#include "StretchRegion.h"
#include "TimeMachineInput.h"
#include "TimeMachineRecords.h"

// `range` becomes the input from the first region's start over the sum of
// the regions' lengths (right only when the input has one), with the
// input's rate and bits; `needsStretch` is 1 when some region's output
// length differs from its length, else 0. Returns 0, or -2 (range and flag
// untouched) for no input, no region, regions that do not follow each
// other, or a range outside the input.
int MakeWorkingRange(const StretchRegionList& regions, const TimeMachineInput& in, TimeMachineInput* range,
                     std::uint8_t* needsStretch);

// New arrays holding the samples of `region` (start .. end) of `in`.
// Returns the sample count, -1 when an array cannot be had, or -2 for a
// region outside the input.
std::int64_t CopyRegionRange(const TimeMachineInput& in, const StretchRegion& region, TimeMachineOutput* out);

// Sets the four values to 0 (nothing for a null pointer).
void ClearQuad(std::uint64_t* quad);
