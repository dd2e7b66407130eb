// Rendering several sections side by side. Each slot is rendered on a
// scratch core of its own (its own model copy and time-stretch manager, so
// no two threads share anything they change); the calling thread then takes
// the results over in list order, exactly as renderAudition would have
// recorded them one after the other. A scratch core goes as soon as its
// slot is rendered, keeping only what is taken over: its stretch job holds
// the section's input and output, and kept until the end they would make
// the memory of an export grow with all its sections instead of with those
// rendered at once.
//
// Unlike one by one, a slot after the first failing one may already have
// been rendered when the failure comes to be known (it is on a recording
// rendered earlier, or it was started beside the failing slot), and its
// working wave then stays written. Nothing takes that wave for the slot's
// rendering: its record and its rendered flag are not taken over, and the
// export and the stretch view render every slot not flagged as rendered
// before they read its wave.

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "CASTcore.h"
#include "IF_timeStretch.h"
#include "RunTimeMachine.h"
#include "SideBySide.h"

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// Lowers `target` to `value` when that is smaller.
void lowerTo(std::atomic<std::size_t>& target, std::size_t value) {
  std::size_t seen = target.load();
  while (value < seen && !target.compare_exchange_weak(seen, value)) {
  }
}

// What the calling thread takes over from a slot's scratch core.
struct ScratchOutcome {
  QString lastError;
  std::uint8_t exceptFlag = 0;
  bool stretchException = false;
  std::vector<double> stretchRatios;
};

}  // namespace

ResultCode CASTcore::renderSections(const std::vector<std::uint8_t>& sections, const SourcePreparer& prepareSource,
                                    std::uint8_t* ratioFlag, const std::atomic<std::uint8_t>* stop,
                                    unsigned threads) {
  const std::size_t count = sections.size();
  std::vector<std::unique_ptr<CASTcore>> scratch(count);
  std::vector<SectionRendering> rendered(count);
  std::vector<ScratchOutcome> outcomes(count);
  std::vector<ResultCode> sourceCode(count, Result::kOk);
  std::vector<std::uint8_t> started(count, 0);
  // The earliest slot in list order that failed: nothing after it is needed.
  std::atomic<std::size_t> firstFailure{kNone};

  // The sections of each wave, in the order the waves first come up.
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::uint8_t, std::size_t> groupOfWave;
  for (std::size_t i = 0; i < count; ++i) {
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    // A slot that cannot be read fails in its own rendering; it needs no source.
    const std::uint8_t wavNo =
        Result::failed(getSecWave(sections[i], &sec, &wave)) || !sec ? std::uint8_t{255} : sec->wavNo;
    const auto found = groupOfWave.emplace(wavNo, groups.size());
    if (found.second) groups.emplace_back();
    groups[found.first->second].push_back(i);
  }

  const unsigned processors = processorsAvailable();
  for (const std::vector<std::size_t>& group : groups) {
    if (stop && stop->load() != 0) break;
    if (firstFailure.load() < group.front()) break;
    try {
      for (std::size_t i : group) {
        // Made here, on the calling thread; each is then used by one worker.
        scratch[i] = std::make_unique<CASTcore>();
        ResultCode rc = copyInto(*scratch[i]);
        if (Result::failed(rc) || !scratch[i]->timeStretch) {
          exceptFlag = 1;
          return Result::fail(4);
        }
        scratch[i]->tempPath = tempPath;
        scratch[i]->fadeLen = fadeLen;
        scratch[i]->stretchRatios[sections[i]] = stretchRatios[sections[i]];
      }
    } catch (...) {
      exceptFlag = 1;
      return Result::fail(4);
    }
    if (prepareSource) {
      SecInfo* sec = nullptr;
      WavInfo* wave = nullptr;
      const std::uint8_t slot = sections[group.front()];
      const bool readable = !Result::failed(getSecWave(slot, &sec, &wave)) && sec && wave;
      const ResultCode rc = readable ? prepareSource(slot) : Result::kOk;
      if (Result::failed(rc)) {
        for (std::size_t i : group) {
          sourceCode[i] = rc;
          started[i] = 1;
        }
        lowerTo(firstFailure, group.front());
        continue;
      }
    }
    // Handed out in list order, so that a slot after one that fails early
    // is seldom started at all. All at once when there are up to twice as
    // many as processors: the processors share them out and all end
    // together, where rounds of one per processor would leave processors
    // idle in the last round. Beyond that, more at once would only add to
    // the memory in use.
    const unsigned workers =
        threads != 0 ? threads : static_cast<unsigned>(std::min<std::size_t>(group.size(), 2 * std::size_t{processors}));
    runSideBySide(group.size(), workers, [&](std::size_t k) {
      const std::size_t i = group[k];
      if ((stop && stop->load() != 0) || firstFailure.load() < i) return;
      started[i] = 1;
      CASTcore& core = *scratch[i];
      SectionRendering& result = rendered[i];
      // A stop ends the stretch under way too, not only the slots to come.
      const TimeMachineStopScope stopScope(stop);
      try {
        result = core.renderSectionWave(sections[i]);
      } catch (...) {
        core.exceptFlag = 1;
        result = SectionRendering();
        result.code = Result::fail(7);
      }
      const bool failed = !result.checked ? Result::failed(result.code)
                                          : Result::failed(result.code) && !result.outOfRange;
      ScratchOutcome& outcome = outcomes[i];
      outcome.lastError = core.lastError;
      outcome.exceptFlag = core.exceptFlag;
      outcome.stretchException = core.timeStretch->hasException();
      outcome.stretchRatios = std::move(core.stretchRatios[sections[i]]);
      // Made on the calling thread, it goes here: no other thread uses it
      // any more, and none of its objects is sent events.
      scratch[i].reset();
      if (failed) lowerTo(firstFailure, i);
    });
  }

  ResultCode outcome = Result::kOk;
  bool stretchException = false;
  const bool stopped = stop && stop->load() != 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!started[i]) {
      outcome = Result::fail(3);
      break;
    }
    if (Result::failed(sourceCode[i])) {
      outcome = Result::nest(1, sourceCode[i]);
      break;
    }
    const std::uint8_t slot = sections[i];
    ScratchOutcome& taken = outcomes[i];
    const SectionRendering& result = rendered[i];
    // A rendering that the stop ended is no failure of the section: it leaves
    // no message, and the slot stays unrendered.
    if (stopped && (!result.checked || Result::failed(result.code))) {
      outcome = Result::fail(3);
      break;
    }
    // The scratch core started with no message; a message set only while
    // none stands is taken over the same way, appended ones are appended.
    const bool failedPath = result.checked && Result::failed(result.code) && !result.outOfRange;
    if (!result.checked || failedPath)
      setLastErrorOnce(taken.lastError);
    else
      lastError += taken.lastError;
    if (taken.exceptFlag != 0) exceptFlag = 1;
    stretchRatios[slot] = std::move(taken.stretchRatios);
    if (taken.stretchException) stretchException = true;
    const ResultCode rc = recordRendering(slot, result, ratioFlag);
    if (Result::failed(rc)) {
      outcome = Result::nest(2, rc);
      break;
    }
  }
  // A stretch manager's caught exception shows in hasException(), as this
  // core's own manager would have shown it.
  if (stretchException) exceptFlag = 1;
  return outcome;
}
