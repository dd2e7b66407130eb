// Section editing, validation and the section address queries.

#include <QObject>

#include <algorithm>
#include <cmath>

#include "ASTundo.h"
#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "SectionTempo.h"

namespace {

bool pickupInUse(const SecInfo& sec) { return sec.pickupSw && sec.pickupNum != 0; }

// Grid index of a section's first beat (minus `pickupHalfBeats`).
std::int64_t gridIndexOfBeat(const WavInfo& wave, const SecInfo& sec, std::uint32_t beat,
                             int pickupHalfBeats) {
  return static_cast<std::int64_t>(wave.beatDiv) *
         ((sec.halfBeat ? 1 : 0) + 2 * static_cast<std::int64_t>(beat) - pickupHalfBeats);
}

std::int64_t gridAddress(const WavInfo& wave, std::int64_t index) {
  return static_cast<std::int64_t>(AnalysisUtil().secondsToSamples(wave.beatTime[static_cast<std::size_t>(index)]));
}

}  // namespace

ResultCode CASTcore::getSecInfo(std::uint8_t slot, SecInfo** out) { return allInfo.getSecInfo(slot, out); }

ResultCode CASTcore::setSecInfo(std::uint8_t slot, const SecInfo& sec) {
  if (!undoStack) return Result::fail(1);
  lastError.clear();
  const SecInfo* current = nullptr;
  ResultCode rc = allInfo.getSecInfo(slot, &current);
  if (Result::failed(rc)) return Result::nest(2, rc);
  // Only the rendered length changed (or nothing): updateSecInfo stores it
  // directly, without validation or an undo step.
  if (*current == sec) return updateSecInfo(slot, sec);
  try {
    SecInfo checked = sec;
    rc = checkBeatSetting(slot, checked);
    if (Result::failed(rc)) return Result::nest(7, rc);
    rc = updateSecInfo(slot, checked);
    if (Result::failed(rc)) return Result::nest(7, rc);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(7);
  }
  return Result::kOk;
}

ResultCode CASTcore::checkBeatSetting(std::uint8_t slot, SecInfo& sec) {
  if (slot >= kSectionCount) return Result::fail(1);
  if (sec.wavNo == SecInfo::kNoWave) return Result::kOk;
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getWavInfo(sec.wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (sec.startAdrs > sec.endAdrs) return Result::fail(3);

  std::uint32_t startBeat = 0;
  rc = getBeatPosOfAddress(sec.wavNo, sec.halfBeat, sec.startAdrs, startBeat);
  if (Result::failed(rc)) return Result::nest(4, rc);
  std::int64_t index = gridIndexOfBeat(*wave, sec, startBeat, sec.pickupNum);
  const std::int64_t gridSize = static_cast<std::int64_t>(wave->beatTime.size());
  if (index < 0) {
    if (pickupInUse(sec)) {
      lastError = "can't set pickup to minus address of audio file!";
      return Result::fail(5);
    }
    sec.pickupNum = 0;
    sec.pickupOfs = 0;
    index = 0;
  }
  if (index >= gridSize) return Result::fail(4);
  if (gridAddress(*wave, index) + sec.pickupOfs < 0) {
    if (pickupInUse(sec)) {
      lastError = "can't set pickup to minus address of audio file!";
      return Result::fail(6);
    }
    sec.pickupNum = 0;
    sec.pickupOfs = 0;
  }

  if (sec.manualBar) {
    sec.barFit = 0;
    return Result::kOk;
  }

  std::uint8_t num = 4, den = 4;
  rc = allInfo.getTimeSig(&num, &den);
  if (Result::failed(rc)) return Result::nest(7, rc);
  if (num == 0) return Result::fail(7);

  std::uint32_t b1 = 0, b2 = 0;
  rc = getBeatPosOfAddress(sec.wavNo, sec.halfBeat, sec.startAdrs, b1);
  if (Result::failed(rc)) return Result::nest(8, rc);
  rc = getBeatPosOfAddress(sec.wavNo, sec.halfBeat, sec.endAdrs, b2);
  if (Result::failed(rc)) return Result::nest(9, rc);
  if (b2 <= b1) {
    if (sec.used || sec.startAdrs != 0 || sec.endAdrs != 0) return Result::fail(10);
    return Result::kOk;
  }

  const std::uint32_t beats = b2 - b1;
  const std::uint32_t bars = beats / num;
  const std::uint32_t rest = beats % num;
  std::uint16_t count = static_cast<std::uint16_t>(bars == 0 ? 1 : bars);
  if (!sec.pickupSw) {
    sec.barFit = rest == 0 ? 1 : 0;
  } else if (rest == 0) {
    sec.barFit = 1;
  } else if (sec.pickupNum != 0) {
    lastError = "confirm beat number and pickup setting!\r\nodd beat with pickup is not allowed!";
    return Result::fail(11);
  } else {
    sec.barFit = 1;
    count = static_cast<std::uint16_t>(bars + 1);
  }

  sec.setAreaCount(count);
  const bool introWithPickup = slot <= 2 && sec.pickupSw;
  const std::int64_t shift = (introWithPickup && rest != 0) ? static_cast<std::int64_t>(rest) - num : 0;
  for (std::uint16_t k = 1; k < count; ++k) {
    const std::int64_t beat = static_cast<std::int64_t>(b1) + static_cast<std::int64_t>(num) * k + shift;
    std::uint64_t address = 0;
    rc = getAddressOfBeat(sec.wavNo, sec.halfBeat, static_cast<std::uint32_t>(beat), address);
    if (Result::failed(rc)) return Result::nest(11, rc);
    sec.barAdrs[k - 1] = address;
    sec.barOfs[k - 1] = 0;
  }
  return Result::kOk;
}

ResultCode CASTcore::resetSections() { return allInfo.resetSecInfo(); }

ResultCode CASTcore::isAnySectionUsed(bool& used) const {
  used = false;
  for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
    bool slotUsed = false;
    const ResultCode rc = allInfo.isSecUsed(slot, &slotUsed);
    if (Result::failed(rc)) return Result::nest(1, rc);
    if (slotUsed) used = true;
  }
  return Result::kOk;
}

ResultCode CASTcore::setHalfBeat(std::uint8_t slot, std::uint8_t flag) {
  const SecInfo* current = nullptr;
  ResultCode rc = allInfo.getSecInfo(slot, &current);
  if (Result::failed(rc)) return Result::nest(1, rc);
  SecInfo changed = *current;
  changed.halfBeat = flag;
  rc = updateSecInfo(slot, changed);
  if (Result::failed(rc)) return Result::nest(2, rc);
  resetRenderState();
  return Result::kOk;
}

ResultCode CASTcore::getSecStartAddress(std::uint8_t slot, std::uint64_t& address) {
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getSecAndWavInfo(slot, &sec, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  address = 0;
  std::uint32_t beat = 0;
  rc = getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->startAdrs, beat);
  if (Result::failed(rc)) return Result::nest(2, rc);
  const std::int64_t index = gridIndexOfBeat(*wave, *sec, beat, sec->pickupSw ? sec->pickupNum : 0);
  if (index < 0 || index >= static_cast<std::int64_t>(wave->beatTime.size())) return Result::fail(3);
  address = static_cast<std::uint64_t>(gridAddress(*wave, index));
  return Result::kOk;
}

ResultCode CASTcore::getPickupRange(std::uint8_t slot, std::uint64_t& start, std::uint64_t& end,
                                    QString* warning) {
  start = 0;
  end = 0;
  if (warning) warning->clear();
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getSecAndWavInfo(slot, &sec, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (wave->onsetTime.empty()) return Result::fail(2);
  AnalysisUtil util;
  const auto audioEnd = static_cast<std::int64_t>(util.secondsToSamples(wave->onsetTime.back()));
  std::int64_t first = std::clamp<std::int64_t>(static_cast<std::int64_t>(sec->startAdrs) + sec->startOfs, 0, audioEnd);
  const std::int64_t last = std::clamp<std::int64_t>(static_cast<std::int64_t>(sec->endAdrs) + sec->endOfs, 0, audioEnd);

  if (pickupInUse(*sec)) {
    std::uint32_t beat = 0;
    rc = getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->startAdrs, beat);
    if (Result::failed(rc)) return Result::nest(3, rc);
    const std::int64_t index = gridIndexOfBeat(*wave, *sec, beat, sec->pickupNum);
    if (index < 0 || index >= static_cast<std::int64_t>(wave->beatTime.size())) return Result::fail(4);
    first = gridAddress(*wave, index) + sec->pickupOfs;
    // This can run on a worker thread: the caller shows the warning.
    if (first > audioEnd) {
      if (warning) *warning = QString("pickup address error. [%1]").arg(first);
      first = audioEnd;
    } else if (first < 0) {
      if (warning) *warning = QString("pickup address error [%1]").arg(first);
      first = 0;
    }
  }
  start = static_cast<std::uint64_t>(first);
  end = static_cast<std::uint64_t>(last);
  return Result::kOk;
}

ResultCode CASTcore::getSecLastBarAddress(std::uint8_t slot, std::uint64_t& address) {
  address = 0;
  const SecInfo* sec = nullptr;
  const ResultCode rc = allInfo.getSecInfo(slot, &sec);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (sec->barNum == 0) return Result::fail(2);
  address = static_cast<std::uint64_t>(std::max<std::int64_t>(0, sec->lastBarStart()));
  return Result::kOk;
}

ResultCode CASTcore::getSecNextBarAddress(std::uint8_t slot, std::uint64_t& address) {
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getSecAndWavInfo(slot, &sec, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (!sec || !wave) return Result::fail(2);
  std::uint8_t num = 4, den = 4;
  rc = allInfo.getTimeSig(&num, &den);
  if (Result::failed(rc)) return Result::fail(3);
  const std::int64_t endAddress = std::max<std::int64_t>(0, static_cast<std::int64_t>(sec->endAdrs) + sec->endOfs);
  std::uint32_t beat = 0;
  rc = getBeatPosOfAddress(sec->wavNo, sec->halfBeat, static_cast<std::uint64_t>(endAddress), beat);
  if (Result::failed(rc)) return Result::nest(4, rc);
  const std::int64_t d = wave->beatDiv;
  const std::int64_t index = (sec->halfBeat ? d : 0) + 2 * d * (num + static_cast<std::int64_t>(beat));
  if (index >= static_cast<std::int64_t>(wave->beatTime.size())) return Result::fail(5);
  address = static_cast<std::uint64_t>(gridAddress(*wave, index));
  return Result::kOk;
}

ResultCode CASTcore::calcSecTempo(std::uint8_t slot, std::uint64_t& tempo) {
  const SecInfo* sec = nullptr;
  ResultCode rc = allInfo.getSecInfo(slot, &sec);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (sec->endAdrs <= sec->startAdrs) return Result::fail(2);
  const double frames = static_cast<double>(sec->endAdrs - sec->startAdrs);
  std::uint8_t num = 4, den = 4;
  allInfo.getTimeSig(&num, &den);
  double value = 0.0;
  if (sec->barFit) {
    std::uint32_t b1 = 0, b2 = 0;
    rc = getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->startAdrs, b1);
    if (Result::failed(rc)) return Result::nest(3, rc);
    rc = getBeatPosOfAddress(sec->wavNo, sec->halfBeat, sec->endAdrs, b2);
    if (Result::failed(rc)) return Result::nest(4, rc);
    if (b2 <= b1) return Result::fail(5);
    value = (b2 - b1) * SectionTempo::kFramesPerMinute * 4.0 / den / frames;
  } else {
    value = SectionTempo::ofBars(sec->barNum, num, den, frames);
  }
  tempo = SectionTempo::nearestWhole(value);
  return allInfo.setWavTempo(sec->wavNo, tempo);
}
