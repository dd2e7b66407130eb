#include "RunTimeMachine.h"

#include <memory>
#include <new>

#include "CTimeMachineInterface1.h"
#include "TimeMachineMap.h"

std::atomic<std::uint8_t> TimeMachineCancelFlag{0};

namespace {

thread_local const std::atomic<std::uint8_t>* threadStopFlag = nullptr;

constexpr std::uint32_t kTwoBandMode = 0;
constexpr std::uint32_t kOneBandMode = 3;

}  // namespace

TimeMachineStopScope::TimeMachineStopScope(const std::atomic<std::uint8_t>* flag) : outer(threadStopFlag) {
  threadStopFlag = flag;
}

TimeMachineStopScope::~TimeMachineStopScope() { threadStopFlag = outer; }

bool TimeMachineStopRequested() {
  return TimeMachineCancelFlag.load() != 0 || (threadStopFlag && threadStopFlag->load() != 0);
}

std::int64_t RunTimeMachine(const TimeMachineInput* in, const std::vector<const TimeMapPoint*>& map,
                            const std::uint16_t* options, TimeMachineOutput* out) {
  TimeMachineCancelFlag = 0;
  if (!in || !in->left || !options || !out) return TimeMachineResult::kRefused;
  if (options[1] > 1) return TimeMachineResult::kRefused;
  if (in->sampleCount == 0 || map.empty()) throw static_cast<int>(TimeMachineResult::kRefused);
  for (const TimeMapPoint* point : map) {
    if (!point) return TimeMachineResult::kRefused;
  }

  TimeMachineMap runMap;
  TimeMachineIO io;
  try {
    runMap.pointCount = map.size();
    runMap.ratios.reserve(map.size());
    runMap.positions.reserve(map.size());
    for (const TimeMapPoint* point : map) {
      runMap.ratios.push_back(point->ratio);
      runMap.positions.push_back(static_cast<double>(point->start) / static_cast<double>(in->sampleCount));
    }
  } catch (const std::bad_alloc&) {
    throw static_cast<int>(TimeMachineResult::kOutOfMemory);
  }
  // The first ratio must hold from the first sample on.
  if (map.front()->start != 0) return TimeMachineResult::kRefused;
  runMap.monoFlag = in->right ? 0 : 1;
  runMap.mode = options[1] == 0 ? kTwoBandMode : kOneBandMode;

  io.leftIn = in->left;
  io.rightIn = in->right ? in->right : in->left;
  io.sampleCount = in->sampleCount;
  io.sampleRate = static_cast<double>(in->sampleRate);
  io.bitsPerSample = in->bitsPerSample;

  try {
    CTimeMachineInterface1 engine;
    engine.Process(&runMap, &io);
  } catch (...) {
    delete[] io.leftOut;
    delete[] io.rightOut;
    throw static_cast<int>(TimeMachineResult::kOutOfMemory);
  }
  if (io.status != TimeMachineIO::kSuccess) {
    delete[] io.leftOut;
    delete[] io.rightOut;
    if (io.status == TimeMachineIO::kOutOfMemory) return TimeMachineResult::kOutOfMemory;
    if (io.status == TimeMachineIO::kCancelledOrAnalysisFailed) return TimeMachineResult::kAnalysisFailed;
    return TimeMachineResult::kRefused;
  }
  out->left = io.leftOut;
  out->produced = io.produced;
  if (in->right) {
    out->right = io.rightOut;
  } else {
    delete[] io.rightOut;
  }
  return static_cast<std::int64_t>(io.produced);
}
