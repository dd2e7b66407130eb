// The stages an import runs on the analysis worker's core: segmentation,
// beats and onsets, bar length, the closing beat and the section refresh.

#include <QDebug>

#include <algorithm>
#include <cmath>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "IF_onsetAnalyzer.h"
#include "IF_segmenter.h"

ResultCode CASTcore::doSegmenter(const QString& path, std::uint64_t options) {
  if (!segmenter) return Result::fail(1);
  std::vector<SegLabel> labels;
  try {
    const ResultCode rc = segmenter->execute(path, options);
    if (Result::failed(rc)) return Result::nest(2, rc);
    for (const SegItem& item : segmenter->results()) {
      labels.push_back({item.start, static_cast<std::uint16_t>(item.label & 0xFFFF)});
    }
  } catch (...) {
    // Only the code reports it: the import goes on with its fallback grid,
    // and a message here would hide the one of a step that fails later.
    exceptFlag = 1;
    return Result::fail(5);
  }
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getWavInfo(0, &wave);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = setSegLbl(labels, 3);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CASTcore::setSegLbl(const std::vector<SegLabel>& list, std::uint32_t flags) {
  return storeSegLbl(0, list, flags);
}

ResultCode CASTcore::storeSegLbl(std::uint8_t wavNo, const std::vector<SegLabel>& list, std::uint32_t flags) {
  try {
    WavInfo* wave = nullptr;
    ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
    if (Result::failed(rc)) return Result::nest(1, rc);
    WavInfo copy = *wave;
    if (flags & 1) {
      copy.segLblOrg = list;
      copy.segLbl.clear();
    }
    if (flags & 2) copy.segLbl = list;
    rc = allInfo.setWavInfo(wavNo, copy);
    return Result::failed(rc) ? Result::nest(3, rc) : Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(4);
  }
}

void CASTcore::abortSegmenter() {
  try {
    if (segmenter) segmenter->requestAbort();
  } catch (...) {
    exceptFlag = 1;
  }
}

void CASTcore::getBeatSecondList(std::vector<float>& times, std::uint8_t& num, std::uint8_t& den) {
  try {
    if (!segmenter) return;
    std::int32_t n = 4, d = 4;
    segmenter->getBeats(times, n, d);
    num = static_cast<std::uint8_t>(n);
    den = static_cast<std::uint8_t>(d);
  } catch (...) {
    exceptFlag = 1;
  }
}

ResultCode CASTcore::analyzeOnset(const QString& path, std::uint64_t& frames, std::vector<float>& times) {
  if (!onsetAnalyzer) return Result::fail(1);
  try {
    return onsetAnalyzer->analyse(path, frames, times);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(2);
  }
}

ResultCode CASTcore::updateBeat(std::uint8_t wavNo, const std::vector<float>& times) {
  try {
    return allInfo.setBeatTime(wavNo, times);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::updateOnset(std::uint8_t wavNo, const std::vector<float>& times) {
  try {
    return allInfo.setOnsetTime(wavNo, times);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::estimateBarLen(std::uint8_t wavNo) {
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  const std::size_t step = 2 * static_cast<std::size_t>(std::max<std::uint16_t>(1, wave->beatDiv));
  std::vector<float> intervals;
  for (std::size_t k = step; k < wave->beatTime.size(); k += step) {
    intervals.push_back(wave->beatTime[k] - wave->beatTime[k - step]);
  }
  if (intervals.empty()) return Result::fail(2);
  const float n = static_cast<float>(intervals.size());
  float sum = 0.0f;
  for (float d : intervals) sum += d;
  const float mean = sum / n;
  float squares = 0.0f;
  for (float d : intervals) squares += (d - mean) * (d - mean);
  const float sd = std::sqrt(squares / n);
  float trimmedSum = 0.0f;
  int trimmedCount = 0;
  for (float d : intervals) {
    if (mean - sd < d && d < mean + sd) {
      trimmedSum += d;
      ++trimmedCount;
    }
  }
  const float trimmed = trimmedCount > 0 ? trimmedSum / static_cast<float>(trimmedCount) : mean;
  std::uint8_t num = 4, den = 4;
  rc = allInfo.getTimeSig(&num, &den);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = allInfo.setBarLen(wavNo, trimmed * static_cast<float>(num));
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CASTcore::addLastAdrsAsBeat(std::uint8_t wavNo) {
  if (wavNo >= allInfo.wavCount()) return Result::fail(1);
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(2, rc);
  const AnalysisUtil util;
  try {
    WavInfo copy = *wave;
    rc = util.appendCurvePoint(copy, beatRatio);
    if (Result::failed(rc)) return Result::nest(3, rc);
    rc = allInfo.setWavInfo(wavNo, copy);
    if (Result::failed(rc)) return Result::nest(4, rc);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(4);
  }
  if (wave->beatTime.size() < 2) return Result::kOk;
  const auto last = static_cast<std::int64_t>(util.secondsToSamples(wave->beatTime.back()));
  const auto prev = static_cast<std::int64_t>(util.secondsToSamples(wave->beatTime[wave->beatTime.size() - 2]));

  // An edge nearer the final beat than the one before it is anchored on the
  // final beat, keeping its effective address.
  auto anchor = [&](std::uint64_t& base, std::int64_t& offset) {
    const std::int64_t effective = static_cast<std::int64_t>(base) + offset;
    if (last - effective < effective - prev && static_cast<std::int64_t>(base) != last) {
      base = static_cast<std::uint64_t>(last);
      offset = effective - last;
      return true;
    }
    return false;
  };
  for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
    const SecInfo* sec = nullptr;
    rc = allInfo.getSecInfo(slot, &sec);
    if (Result::failed(rc)) return Result::nest(5, rc);
    if (sec->wavNo != wavNo) continue;
    SecInfo copy = *sec;
    const bool startMoved = anchor(copy.startAdrs, copy.startOfs);
    const bool endMoved = anchor(copy.endAdrs, copy.endOfs);
    if (!startMoved && !endMoved) continue;
    rc = setSecInfo(slot, copy);
    if (Result::failed(rc)) return Result::nest(6, rc);
  }
  return Result::kOk;
}

ResultCode CASTcore::setBeatRange(std::uint8_t num, std::uint8_t den) {
  struct DropRenderings {
    CASTcore& core;
    ~DropRenderings() { core.resetRenderState(); }
  } dropAlways{*this};
  if (!undoStack) return Result::fail(1);
  try {
    CASTcore scratch;
    ResultCode rc = copyInto(scratch);
    if (Result::failed(rc)) return Result::nest(2, rc);
    rc = scratch.allInfo.setTimeSig(num, den);
    if (Result::failed(rc)) return Result::nest(3, rc);
    for (std::size_t w = 0; w < scratch.allInfo.wavCount(); ++w) scratch.estimateBarLen(static_cast<std::uint8_t>(w));
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      const SecInfo* sec = nullptr;
      rc = scratch.allInfo.getSecInfo(slot, &sec);
      if (Result::failed(rc)) return Result::nest(5, rc);
      SecInfo copy = *sec;
      copy.used = 0;
      copy.pickupSw = 0;
      copy.pickupNum = 0;
      copy.pickupOfs = 0;
      const QString saved = lastError;
      rc = scratch.checkBeatSetting(slot, copy);
      if (Result::failed(rc)) {
        lastError = saved;
        return Result::nest(7, rc);
      }
      rc = scratch.updateSecInfo(slot, copy);
      if (Result::failed(rc)) return Result::nest(8, rc);
    }
    rc = setAllInfo(scratch.allInfo);
    if (Result::failed(rc)) return Result::nest(9, rc);
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      const SecInfo* sec = nullptr;
      if (Result::failed(allInfo.getSecInfo(slot, &sec))) return Result::fail(10);
    }
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(2);
  }
}

ResultCode CASTcore::tempoFromSlot(std::uint8_t slot) {
  std::uint64_t tempo = 120;
  if (Result::failed(calcSecTempo(slot, tempo))) tempo = 120;
  // A measured tempo outside what a style can hold is brought into range
  // rather than refusing the whole import.
  tempo = std::clamp<std::uint64_t>(tempo, ComnInfo::kMinTempo, ComnInfo::kMaxTempo);
  return updateTempo(tempo);
}

ResultCode CASTcore::refreshSecBars(std::uint8_t wavNo, std::uint8_t tempoSlot, const QString& savedError) {
  lastError.clear();
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  estimateBarLen(wavNo);
  bool tempoSet = false;
  for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
    const SecInfo* sec = nullptr;
    rc = allInfo.getSecInfo(slot, &sec);
    if (Result::failed(rc)) return Result::nest(7, rc);
    if (sec->wavNo != wavNo) continue;
    SecInfo copy = *sec;
    rc = checkBeatSetting(slot, copy);
    if (Result::failed(rc)) {
      // The validation's own message says why the section no longer fits;
      // the caller's text stands in only when it gave none.
      if (lastError.isEmpty()) lastError = savedError;
      return Result::nest(8, rc);
    }
    rc = updateSecInfo(slot, copy);
    if (Result::failed(rc)) return Result::nest(9, rc);
    if (slot == tempoSlot) {
      rc = tempoFromSlot(slot);
      if (Result::failed(rc)) return Result::nest(10, rc);
      tempoSet = true;
    }
  }
  QString toggleMessage;
  toggleBeat(wavNo, toggleMessage);
  if (!toggleMessage.isEmpty()) qDebug().noquote() << toggleMessage;

  if (!tempoSet) {
    for (std::uint8_t slot : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0}) {
      bool used = false;
      rc = allInfo.isSecUsed(slot, &used);
      if (Result::failed(rc)) return Result::nest(11, rc);
      if (!used) continue;
      rc = tempoFromSlot(slot);
      if (Result::failed(rc)) return Result::nest(12, rc);
      break;
    }
  }
  return Result::kOk;
}
