// Time signature and the re-division of a wave's beat grid.

#include <algorithm>
#include <cmath>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "PeakPicker.h"
#include "SectionNameTable.h"

namespace {

// Beat lengths outside these bounds (frames per beat, divided by the time
// signature's denominator) are tempos above 500 or below 5 per minute.
constexpr std::uint64_t kFastestBeat = 21168;
constexpr std::uint64_t kSlowestBeat = 2116800;

double frames(const AnalysisUtil& util, float seconds) {
  return static_cast<double>(util.secondsToSamples(seconds));
}

}  // namespace

ResultCode CASTcore::getTimeSig(std::uint8_t& num, std::uint8_t& den) const {
  return allInfo.getTimeSig(&num, &den);
}

ResultCode CASTcore::setTimeSig(std::uint8_t num, std::uint8_t den) {
  try {
    CASTcore scratch;
    ResultCode rc = copyInto(scratch);
    if (Result::failed(rc)) return Result::nest(1, rc);
    rc = scratch.allInfo.setTimeSig(num, den);
    if (Result::failed(rc)) return Result::nest(2, rc);
    rc = setAllInfo(scratch.allInfo);
    return Result::failed(rc) ? Result::nest(3, rc) : Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::changeTimeSig(std::uint8_t num, std::uint8_t den) {
  try {
    CASTcore scratch;
    ResultCode rc = copyInto(scratch);
    if (Result::failed(rc)) return Result::nest(1, rc);
    rc = scratch.setTimeSig(num, den);
    if (Result::failed(rc)) return Result::nest(2, rc);
    // Every section starts afresh, as the window's question before the
    // change promises: a slot the new proposal does not write would keep
    // bars counted in the old meter, and its rendering would cut and
    // stretch it at the old bar lines. The one undo step brings them back.
    rc = scratch.resetSections();
    if (Result::failed(rc)) return Result::nest(2, rc);
    for (std::size_t w = 0; w < scratch.allInfo.wavCount(); ++w) {
      rc = scratch.makeInitSecAsgnBySegLbl(static_cast<std::uint8_t>(w), 0, 0);
      if (Result::failed(rc)) return Result::nest(3, rc);
    }
    rc = setAllInfo(scratch.allInfo);
    return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(5);
  }
}

ResultCode CASTcore::checkBeatTempo(std::uint16_t beatDiv, const std::vector<float>& times,
                                    std::uint8_t& verdict) const {
  verdict = 0;
  std::uint8_t num = 4, den = 4;
  const ResultCode rc = allInfo.getTimeSig(&num, &den);
  if (Result::failed(rc)) return Result::nest(1, rc);
  // No tempo can be measured on fewer than two entries.
  if (times.size() < 2 || beatDiv == 0 || den == 0) return Result::fail(2);
  const std::uint64_t perEntry = AnalysisUtil().secondsToSamples(times.back()) / times.size();
  const std::uint64_t framesPerBeat = beatDiv * perEntry * 2;
  if (framesPerBeat < kFastestBeat / den) {
    verdict = 1;
  } else if (framesPerBeat > kSlowestBeat / den) {
    verdict = 2;
  }
  return Result::kOk;
}

ResultCode CASTcore::thinGrid(WavInfo& wave, std::uint16_t factor, std::uint8_t& tooFar) const {
  tooFar = 0;
  WavInfo work = wave;
  while (work.beatDiv >= factor && work.beatDiv % factor == 0) {
    std::vector<float> kept;
    for (std::size_t k = 0; k < work.beatTime.size(); k += factor) kept.push_back(work.beatTime[k]);
    work.beatDiv = static_cast<std::uint16_t>(work.beatDiv / factor);
    std::uint8_t verdict = 0;
    const ResultCode rc = checkBeatTempo(work.beatDiv, kept, verdict);
    if (Result::failed(rc)) return Result::nest(1, rc);
    if (verdict != 0) {
      tooFar = 1;
      return Result::fail(2);
    }
    PeakPicker().run(kept, work.onsetTime, getCommonInfo().tempo);
    work.beatTime = std::move(kept);
  }
  wave = std::move(work);
  return Result::kOk;
}

ResultCode CASTcore::reduceGridBy3(WavInfo& wave, std::uint8_t& tooFar) const { return thinGrid(wave, 3, tooFar); }

ResultCode CASTcore::halveGrid(WavInfo& wave, std::uint8_t& tooFar) const { return thinGrid(wave, 2, tooFar); }

ResultCode CASTcore::subdivideGrid(WavInfo& wave, std::uint16_t newDiv, int parts, std::uint8_t& tooFar) const {
  tooFar = 0;
  if (wave.beatTime.empty()) return Result::kOk;
  if (wave.onsetTime.empty()) return Result::fail(1);
  const AnalysisUtil util;
  const std::vector<float>& grid = wave.beatTime;
  const double endF = frames(util, wave.onsetTime.back());
  const double iv = std::floor(endF / static_cast<double>(grid.size()));
  const double firstF = frames(util, grid.front());
  const double lastF = frames(util, grid.back());
  const double endSeconds = wave.onsetTime.back();

  std::vector<float> out;
  out.reserve(grid.size() * parts + 2 * parts);
  // Lead-in points (k = parts-1 .. 1 intervals' parts before the first entry)
  // where the first entry lies far enough from the start.
  for (int k = parts - 1; k >= 1; --k) {
    const double threshold = parts == 2 ? iv / 3 : (k == 1 ? iv / 4 : iv / 2);
    if (firstF <= threshold) continue;
    const double at = firstF - iv * k / parts;
    const float seconds = at > 0 ? util.samplesToSeconds(static_cast<std::uint64_t>(at)) : 0.0f;
    if (out.empty() || seconds > out.back()) out.push_back(seconds);
  }
  for (std::size_t i = 0; i < grid.size(); ++i) {
    out.push_back(grid[i]);
    if (i + 1 == grid.size()) break;
    for (int k = 1; k < parts; ++k) {
      out.push_back(static_cast<float>((grid[i] * (parts - k) + grid[i + 1] * k) / static_cast<double>(parts)));
    }
  }
  for (int k = 1; k < parts; ++k) {
    const double threshold = parts == 2 ? iv / 3 : (k == 1 ? iv / 4 : iv / 2);
    if (lastF >= endF - threshold) continue;
    const double at = lastF + iv * k / parts;
    const float seconds = at < endF ? util.samplesToSeconds(static_cast<std::uint64_t>(at))
                                    : static_cast<float>(endSeconds);
    if (seconds > out.back()) out.push_back(seconds);
  }

  std::uint8_t verdict = 0;
  const ResultCode rc = checkBeatTempo(newDiv, out, verdict);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (verdict != 0) {
    tooFar = 1;
    return Result::fail(3);
  }
  PeakPicker().run(out, wave.onsetTime, getCommonInfo().tempo);
  wave.beatDiv = newDiv;
  wave.beatTime = std::move(out);
  return Result::kOk;
}

ResultCode CASTcore::doubleGrid(WavInfo& wave, std::uint16_t newDiv, std::uint8_t& tooFar) const {
  return subdivideGrid(wave, newDiv, 2, tooFar);
}

ResultCode CASTcore::tripleGrid(WavInfo& wave, std::uint16_t newDiv, std::uint8_t& tooFar) const {
  return subdivideGrid(wave, newDiv, 3, tooFar);
}

ResultCode CASTcore::divBeatDnUp(std::uint8_t mode, std::uint8_t wavNo, std::uint8_t beatArg, std::uint8_t refresh,
                                 std::uint16_t& newDiv, QString& message) {
  try {
    CASTcore scratch;
    lastError.clear();
    WavInfo* live = nullptr;
    ResultCode rc = allInfo.getWavInfo(wavNo, &live);
    if (Result::failed(rc) || !live) return Result::nest(1, rc);
    WavInfo work = *live;
    rc = copyInto(scratch);
    if (Result::failed(rc)) return Result::nest(1, rc);
    const std::uint16_t d = work.beatDiv;
    if (d == 0) return Result::fail(1);
    auto store = [&](unsigned step) -> ResultCode {
      const ResultCode stored = scratch.allInfo.setWavInfo(wavNo, work);
      return Result::failed(stored) ? Result::nest(step, stored) : Result::kOk;
    };
    std::uint8_t verdict = 0;
    std::uint8_t tooFar = 0;

    switch (mode) {
      case 0:
      case 2: {
        const unsigned step = mode == 0 ? 2 : 7;
        const auto longer = static_cast<std::uint16_t>(d * (mode == 0 ? 2 : 3));
        rc = scratch.checkBeatTempo(longer, work.beatTime, verdict);
        if (Result::failed(rc) || verdict != 0) {
          message = "Tempo error!";
          return Result::failed(rc) ? Result::nest(step, rc) : Result::fail(step);
        }
        work.beatDiv = longer;
        rc = store(step);
        if (Result::failed(rc)) return rc;
        newDiv = longer;
        break;
      }
      case 1:
      case 3: {
        const bool half = mode == 1;
        rc = half ? scratch.reduceGridBy3(work, tooFar) : scratch.halveGrid(work, tooFar);
        if (Result::failed(rc) && tooFar) {
          message = "Error! too slow tempo!";
          return Result::nest(half ? 3 : 8, rc);
        }
        const std::uint16_t div = work.beatDiv;
        const std::uint16_t factor = half ? 2 : 3;
        if (div >= factor && div % factor == 0) {
          work.beatDiv = static_cast<std::uint16_t>(div / factor);
          rc = store(half ? 4 : 9);
          if (Result::failed(rc)) return rc;
          newDiv = work.beatDiv;
        } else {
          rc = half ? scratch.doubleGrid(work, div, tooFar) : scratch.tripleGrid(work, div, tooFar);
          if (Result::failed(rc)) {
            message = tooFar ? QString("Error! too fast tempo!") : scratch.lastError;
            return Result::nest(half ? 5 : 10, rc);
          }
          rc = store(half ? 5 : 10);
          if (Result::failed(rc)) return rc;
          newDiv = div;
        }
        rc = store(half ? 6 : 11);
        if (Result::failed(rc)) return rc;
        break;
      }
      default:
        break;
    }

    if (refresh) {
      rc = scratch.refreshSecBars(wavNo, beatArg, message);
      if (Result::failed(rc)) return Result::nest(12, rc);
    }
    rc = scratch.addLastAdrsAsBeat(wavNo);
    if (Result::failed(rc)) return Result::nest(13, rc);
    rc = setAllInfo(scratch.allInfo);
    if (Result::failed(rc)) return Result::nest(14, rc);
    resetRenderState();
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(15);
  }
}

ResultCode CASTcore::toggleBeat(std::uint8_t wavNo, QString& message) {
  const AnalysisUtil util;
  QString names;
  for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
    const SecInfo* sec = nullptr;
    ResultCode rc = allInfo.getSecInfo(slot, &sec);
    if (Result::failed(rc)) return Result::nest(1, rc);
    if (sec->wavNo != wavNo) continue;
    const WavInfo* wave = nullptr;
    if (sec->wavNo >= allInfo.wavCount()) continue;
    rc = allInfo.getWavInfo(sec->wavNo, &wave);
    if (Result::failed(rc)) return Result::nest(2, rc);

    std::uint8_t startHalf = 0, endHalf = 0;
    const bool startOk = Result::succeeded(util.checkBeatAt(sec->startAdrs, *wave, startHalf));
    const bool endOk = Result::succeeded(util.checkBeatAt(sec->endAdrs, *wave, endHalf));
    if (startOk && endOk && startHalf == endHalf) {
      SecInfo changed = *sec;
      changed.halfBeat = startHalf;
      rc = updateSecInfo(slot, changed);
      if (Result::failed(rc)) return Result::nest(3, rc);
      continue;
    }
    names += QString("[%1]\r\n").arg(SectionNameTable::name(slot));
  }
  if (!names.isEmpty()) {
    message = "can't find suitable toggle beat setting :\r\n" + names + "edit start and end points again!";
  }
  return Result::kOk;
}
