#pragma once
// Between a stretch job and the spectral engine: turns the job's contiguous
// regions into one input range and one time map, stretches the whole list
// in one engine run (or copies it when nothing needs stretching), and brings
// the result back into the sample range with the peak limiter.

#include <cstdint>

#include "StretchRegion.h"
#include "TimeMachineInput.h"
#include "TimeMachineRecords.h"

namespace SegmentStretch {
// options[0] value that asks for the spectral engine.
constexpr std::uint16_t kSpectralEngine = 2;
constexpr int kOptionCount = 65;
// Highest sample value after limiting.
constexpr float kCeiling = 32767.95f;
constexpr float kFloor = -32768.0f;
}  // namespace SegmentStretch

// Stretches `regions` of `in` (region starts are input indexes; the working
// range starts at the first region's start) and fills `out`. Returns the
// frames produced, which is the sum of the regions' output lengths; 0 when
// there is no region or options[0] does not ask for the spectral engine; a
// negative value on failure (the engine's own code when it refused the
// input or its pre-analysis failed, -1 otherwise). Clears options[1..64].
// On a result below 1 `out` may still hold arrays for FreeStretchOutput.
std::int64_t StretchSegments(const TimeMachineInput* in, const StretchRegionList& regions, std::uint16_t* options,
                             TimeMachineOutput* out);

// New arrays holding a copy of `range` (right only when it has one; the
// right output is null otherwise). Returns the sample count, or -1 when an
// array cannot be allocated.
std::int64_t CopySegment(const TimeMachineInput* range, TimeMachineOutput* out);

// Releases both output arrays and nulls them.
void FreeStretchOutput(TimeMachineOutput* out);
