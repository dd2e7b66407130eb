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

// While a scope stands, the engine runs made on the thread that made it end
// as soon as `flag` reads non-zero (they return kAnalysisFailed, as a
// cancelled run does). The flag is the caller's and is only read: runs that
// start on other threads cannot clear a stop that one of them was given, so
// renderings side by side are all ended by one flag. A null flag stops
// nothing. Scopes nest; the innermost one holds.
class TimeMachineStopScope {
 public:
  explicit TimeMachineStopScope(const std::atomic<std::uint8_t>* flag);
  ~TimeMachineStopScope();
  TimeMachineStopScope(const TimeMachineStopScope&) = delete;
  TimeMachineStopScope& operator=(const TimeMachineStopScope&) = delete;

 private:
  const std::atomic<std::uint8_t>* outer;
};

// Whether the run on the calling thread is to end: the cancel flag or the
// flag of the thread's stop scope is set.
bool TimeMachineStopRequested();

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
