#pragma once
// The single entry into the spectral time-stretch engine: one or two
// channels and a time map in, newly allocated stretched channels out.

#include <atomic>
#include <cstdint>
#include <vector>

#include "TimeMachineInput.h"
#include "TimeMachineRecords.h"
#include "TimeMapPoint.h"

namespace TimeMachineResult {
constexpr std::int64_t kOutOfMemory = -1;
constexpr std::int64_t kRefused = -2;
// The run was cancelled or its whole-signal analysis failed.
constexpr std::int64_t kAnalysisFailed = -3;
}  // namespace TimeMachineResult

// Set by a host to stop a run early; cleared by every RunTimeMachine.
extern std::atomic<std::uint8_t> TimeMachineCancelFlag;

// Stretches `in` by `map` (points in input order, the first at sample 0;
// each ratio holds from its start to the next) and fills `out` with arrays
// the caller releases with delete[]. options[1] selects two bands with a
// decimated low band (0) or one band (1). Returns the produced sample
// count, kRefused (null left samples, a bad option, a rate other than
// 11025/22050/44100 Hz, a ratio outside 0.5..2.0, starts that do not rise),
// kOutOfMemory, or kAnalysisFailed. Throws the int -2 for an empty input or
// map and the int -1 when the engine fails otherwise.
std::int64_t RunTimeMachine(const TimeMachineInput* in, const std::vector<const TimeMapPoint*>& map,
                            const std::uint16_t* options, TimeMachineOutput* out);
