// The initial section assignment: the segmenter's labelled segments are
// fitted to whole bars and the chosen ones become section slots.

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "SectionTempo.h"

namespace {

QString hex(ResultCode code) { return QString::number(code, 16); }

// The largest power of two (2, 4, 8, ...) dividing m; 1 when there is none.
std::int64_t powerOfTwoIn(std::int64_t m) {
  std::int64_t p = 1;
  while (m > 0 && (m % (p * 2)) == 0) p *= 2;
  return p;
}

}  // namespace

ResultCode CASTcore::snapToBeat(std::uint8_t wavNo, std::uint8_t half, std::uint64_t address, std::uint64_t& out) {
  std::uint32_t beat = 0;
  ResultCode rc = getBeatPosOfAddress(wavNo, half, address, beat);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = getAddressOfBeat(wavNo, half, beat, out);
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

ResultCode CASTcore::snapSegTimesToBeats(std::vector<SegLabel>& entries, std::uint8_t wavNo, std::uint8_t half) {
  const AnalysisUtil util;
  for (SegLabel& entry : entries) {
    std::uint32_t beat = 0;
    ResultCode rc = getBeatPosOfAddress(wavNo, half, util.secondsToSamples(entry.start), beat);
    if (Result::failed(rc)) return Result::nest(2, rc);
    std::uint64_t address = 0;
    rc = getAddressOfBeat(wavNo, half, beat, address);
    if (Result::failed(rc)) return Result::nest(3, rc);
    entry.start = util.samplesToSeconds(address);
  }
  return Result::kOk;
}

ResultCode CASTcore::sectionAnchorBeat(std::uint8_t slot, std::uint32_t& anchor, std::uint8_t& num,
                                       const SecInfo** section) const {
  const SecInfo* sec = nullptr;
  ResultCode rc = allInfo.getSecInfo(slot, &sec);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (sec->wavNo >= allInfo.wavCount()) return Result::fail(2);
  std::uint8_t den = 4;
  num = 4;
  rc = allInfo.getTimeSig(&num, &den);
  if (Result::failed(rc) || num == 0) return Result::fail(3);
  rc = getBeatPosOfAddress(sec->wavNo, sec->halfBeat, anchorAtEnd ? sec->endAdrs : sec->startAdrs, anchor);
  if (Result::failed(rc)) return Result::nest(4, rc);
  *section = sec;
  return Result::kOk;
}

ResultCode CASTcore::barBeatNear(std::uint8_t slot, std::uint32_t beat, bool atOrAfter, std::uint64_t& out) const {
  out = beat;
  std::uint32_t anchor = 0;
  std::uint8_t num = 4;
  const SecInfo* sec = nullptr;
  ResultCode rc = sectionAnchorBeat(slot, anchor, num, &sec);
  if (Result::failed(rc)) return rc;
  // Bar lines are anchor + k * num: the first at or after `beat`, or the
  // last before it (floor and ceiling division that also hold below the
  // anchor).
  const std::int64_t offset = static_cast<std::int64_t>(beat) - anchor - (atOrAfter ? 0 : 1);
  const std::int64_t k = atOrAfter ? (offset >= 0 ? (offset + num - 1) / num : -((-offset) / num))
                                   : (offset >= 0 ? offset / num : -((-offset + num - 1) / num));
  const std::int64_t bar = static_cast<std::int64_t>(anchor) + k * num;
  if (bar < 0) return Result::fail(6);
  std::uint64_t address = 0;
  rc = getAddressOfBeat(sec->wavNo, sec->halfBeat, static_cast<std::uint32_t>(bar), address);
  if (Result::failed(rc)) return Result::nest(7, rc);
  out = static_cast<std::uint64_t>(bar);
  return Result::kOk;
}

ResultCode CASTcore::prevBarBeat(std::uint8_t slot, std::uint32_t beat, std::uint64_t& out) const {
  return barBeatNear(slot, beat, false, out);
}

ResultCode CASTcore::nextBarBeat(std::uint8_t slot, std::uint32_t beat, std::uint64_t& out) const {
  return barBeatNear(slot, beat, true, out);
}

ResultCode CASTcore::halfBeatNeighbour(std::uint8_t slot, std::uint64_t address, bool after, std::uint32_t& beat,
                                       std::uint8_t& flips) const {
  beat = 0;
  flips = 0;
  const SecInfo* sec = nullptr;
  ResultCode rc = allInfo.getSecInfo(slot, &sec);
  if (Result::failed(rc)) return Result::nest(1, rc);
  const WavInfo* wave = nullptr;
  rc = allInfo.getWavInfo(sec->wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (wave->beatDiv == 0 || wave->beatTime.empty()) return Result::fail(3);
  const AnalysisUtil util;
  const std::size_t d = wave->beatDiv;
  // Half-beat points are the grid entries at multiples of d.
  std::int64_t found = -1;
  for (std::size_t i = 0; i < wave->beatTime.size(); i += d) {
    const std::uint64_t t = util.secondsToSamples(wave->beatTime[i]);
    if (!after && t < address) found = static_cast<std::int64_t>(i);
    if (after && t > address) {
      found = static_cast<std::int64_t>(i);
      break;
    }
  }
  if (found < 0) return Result::fail(after ? 5 : 4);
  const std::int64_t halfStep = found / static_cast<std::int64_t>(d);
  const std::uint8_t parity = static_cast<std::uint8_t>(halfStep % 2);
  beat = static_cast<std::uint32_t>((halfStep - parity) / 2);
  flips = parity != sec->halfBeat ? 1 : 0;
  return Result::kOk;
}

ResultCode CASTcore::nearestPoint(std::uint8_t slot, std::uint64_t address, std::uint8_t mask,
                                  std::uint64_t& out) const {
  out = address;
  if ((mask & 7) == 0) return Result::fail(1);
  const SecInfo* sec = nullptr;
  ResultCode rc = allInfo.getSecInfo(slot, &sec);
  if (Result::failed(rc)) return Result::nest(2, rc);
  const WavInfo* wave = nullptr;
  rc = allInfo.getWavInfo(sec->wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(3, rc);
  const AnalysisUtil util;
  bool any = false;
  std::uint64_t best = address;
  auto consider = [&](std::uint64_t candidate) {
    const auto distance = [&](std::uint64_t a) { return a > address ? a - address : address - a; };
    if (!any || distance(candidate) < distance(best)) best = candidate;
    any = true;
  };
  if (mask & kNearestGrid) {
    for (float t : wave->beatTime) consider(util.secondsToSamples(t));
  }
  if (mask & kNearestBar) {
    std::uint32_t anchor = 0;
    std::uint8_t num = 4;
    const SecInfo* s = nullptr;
    if (Result::succeeded(sectionAnchorBeat(slot, anchor, num, &s))) {
      for (std::uint32_t bar = anchor % num;; bar += num) {
        std::uint64_t a = 0;
        if (Result::failed(getAddressOfBeat(sec->wavNo, sec->halfBeat, bar, a))) break;
        consider(a);
      }
    }
  }
  if (mask & kNearestOnset) {
    for (float t : wave->onsetTime) consider(util.secondsToSamples(t));
  }
  if (!any) return Result::fail(4);
  out = best;
  return Result::kOk;
}

ResultCode CASTcore::fitSegEndToBars(std::uint8_t wavNo, std::uint8_t half, const std::vector<SegItem>& in,
                                     const std::vector<SegItem>& out, int k, std::uint64_t& endAddress) const {
  const AnalysisUtil util;
  std::uint8_t num = 4, den = 4;
  if (Result::failed(allInfo.getTimeSig(&num, &den)) || num == 0) return Result::fail(1);
  if (k < 0 || static_cast<std::size_t>(k) >= in.size() || static_cast<std::size_t>(k) >= out.size()) {
    return Result::fail(1);
  }
  auto beatOf = [&](float seconds, std::uint32_t& beat) {
    return getBeatPosOfAddress(wavNo, half, util.secondsToSamples(seconds), beat);
  };
  auto addressOf = [&](std::int64_t beat, std::uint64_t& address) {
    return getAddressOfBeat(wavNo, half, static_cast<std::uint32_t>(beat), address);
  };
  std::uint32_t a = 0, b = 0, c = 0, d = 0;
  ResultCode rc = beatOf(in[k].start, a);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = beatOf(in[k].end, b);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = beatOf(out[k].start, c);
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = beatOf(out[k].end, d);
  if (Result::failed(rc)) return Result::nest(5, rc);
  const std::uint64_t current = util.secondsToSamples(out[k].end);
  endAddress = current;

  const std::int64_t bar = num;
  const std::int64_t len = static_cast<std::int64_t>(d) - c;
  if (len % bar == 0) {
    rc = addressOf(d, endAddress);
    return Result::failed(rc) ? Result::nest(6, rc) : Result::kOk;
  }
  auto nearer = [&](std::uint64_t e0, std::uint64_t e1) {
    const auto dist = [&](std::uint64_t x) { return x > current ? x - current : current - x; };
    return dist(e0) <= dist(e1) ? e0 : e1;
  };
  for (std::int64_t i = 0; i < bar; ++i) {
    if ((len + i) % bar != 0) continue;
    const std::int64_t e = d + i;
    const std::int64_t m = (len + i) / bar;
    if (m < 1) continue;
    std::uint64_t e1 = 0, e0 = 0;
    if (Result::failed(addressOf(e, e1))) break;  // beyond the grid: fall back
    const bool hasShorter = e - bar >= 0;
    if (hasShorter) {
      rc = addressOf(e - bar, e0);
      if (Result::failed(rc)) return Result::nest(7, rc);
    }
    if (m == 1) {
      endAddress = e1;
    } else if (m == 2) {
      endAddress = hasShorter ? nearer(e0, e1) : e1;
    } else {
      const std::int64_t pm = powerOfTwoIn(m);
      const std::int64_t pm1 = powerOfTwoIn(m - 1);
      const std::int64_t orig = static_cast<std::int64_t>(b) - a;
      const std::int64_t tol = static_cast<std::int64_t>(1.5 * bar);
      if (pm > pm1 && std::llabs((e - c) - orig) < tol) {
        endAddress = e1;
      } else if (hasShorter && pm1 >= 2 && std::llabs((e - bar - c) - orig) < tol) {
        endAddress = e0;
      } else {
        endAddress = hasShorter ? nearer(e0, e1) : e1;
      }
    }
    return Result::kOk;
  }
  // No candidate on the grid: walk the end down to the nearest whole bar.
  for (std::int64_t step = 1; step <= bar; ++step) {
    const std::int64_t e = static_cast<std::int64_t>(d) - step;
    if (e <= static_cast<std::int64_t>(c)) break;
    if ((e - c) % bar == 0) {
      rc = addressOf(e, endAddress);
      return Result::failed(rc) ? Result::nest(8, rc) : Result::kOk;
    }
  }
  return Result::kOk;
}

ResultCode CASTcore::fitSegForTS(std::uint8_t wavNo, const std::vector<SegItem>& in, std::vector<SegItem>& out,
                                 std::uint8_t mode, std::uint8_t half, std::uint64_t position) {
  try {
    const AnalysisUtil util;
    std::uint8_t num = 4, den = 4;
    ResultCode rc = allInfo.getTimeSig(&num, &den);
    if (Result::failed(rc)) return Result::nest(1, rc);
    const WavInfo* wave = nullptr;
    rc = allInfo.getWavInfo(wavNo, &wave);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (wave->onsetTime.empty()) return Result::fail(3);
    const float endT = wave->onsetTime.back();
    out.clear();

    if (mode == 0) {
      out = in;
      if (!out.empty()) {
        std::uint64_t snapped = 0;
        rc = snapToBeat(wavNo, half, util.secondsToSamples(out[0].start), snapped);
        if (Result::failed(rc)) return Result::nest(6, rc);
        out[0].start = util.samplesToSeconds(snapped);
      }
      if (out.size() >= 2 && out[1].start <= out[0].start) {
        if (endT <= out[0].start + 1.0f) return Result::fail(7);
        out[1].start = out[0].start + 1.0f;
      }
    } else {
      const float t = util.samplesToSeconds(position);
      bool cut = false;
      for (std::size_t i = 0; i + 1 < in.size(); ++i) {
        const float next = in[i + 1].start;
        if (cut) {
          out.push_back(in[i]);
          continue;
        }
        if (t >= next) continue;
        std::vector<SegItem> probes(2);
        probes[0].start = probes[1].start = 0.0f;
        probes[0].end = t;
        probes[1].end = next;
        std::uint64_t a0 = 0, a1 = 0;
        rc = fitSegEndToBars(wavNo, half, in, probes, 0, a0);
        if (Result::failed(rc)) return Result::nest(8, rc);
        rc = fitSegEndToBars(wavNo, half, in, probes, 1, a1);
        if (Result::failed(rc)) return Result::nest(8, rc);
        if (a1 > a0) {
          SegItem item = in[i];
          item.start = t;
          out.push_back(item);
          cut = true;
        }
      }
      if (!cut && !out.empty()) out.back().start = t;
    }

    for (std::size_t k = 0; k < out.size(); ++k) {
      std::uint64_t address = 0;
      rc = fitSegEndToBars(wavNo, half, in, out, static_cast<int>(k), address);
      if (Result::failed(rc)) return Result::nest(8, rc);
      const float time = util.samplesToSeconds(address);
      out[k].end = time;
      if (k + 1 < out.size()) {
        out[k + 1].start = time;
        if (out[k + 1].end <= time) {
          if (endT <= time + 1.0f) return Result::fail(10);
          out[k + 1].end = time + 1.0f;
        }
      }
    }
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(11);
  }
}

ResultCode CASTcore::doSegToSec(std::uint8_t wavNo, std::uint8_t half, const std::vector<SegItem>& chosen) {
  const AnalysisUtil util;
  std::uint8_t num = 4, den = 4;
  for (const SegItem& item : chosen) {
    // The builder's own choice of slot; 15 means the segment has none.
    const auto slot = static_cast<std::uint8_t>(item.slot & 0xFF);
    if (slot >= kSectionCount) continue;
    SecInfo fresh;
    fresh.used = 1;
    fresh.wavNo = wavNo;
    fresh.halfBeat = half;
    fresh.startAdrs = util.secondsToSamples(item.start);
    fresh.endAdrs = util.secondsToSamples(item.end);
    // Where the beat grid ends before the audio, fitting the segment before
    // the last to whole bars can leave the last one no beat of its own. Such
    // a section cannot be stored; leaving its slot empty keeps the rest of
    // the proposal instead of refusing the whole song.
    std::uint32_t firstBeat = 0, lastBeat = 0;
    if (Result::succeeded(getBeatPosOfAddress(wavNo, half, fresh.startAdrs, firstBeat)) &&
        Result::succeeded(getBeatPosOfAddress(wavNo, half, fresh.endAdrs, lastBeat)) && lastBeat <= firstBeat) {
      continue;
    }
    ResultCode rc = setSecInfo(slot, fresh);
    if (Result::failed(rc)) return Result::nest(2, rc);

    const SecInfo* stored = nullptr;
    if (Result::failed(allInfo.getSecInfo(slot, &stored))) return Result::fail(3);
    std::uint32_t s = 0, e = 0;
    rc = getBeatPosOfAddress(wavNo, half, stored->startAdrs, s);
    if (Result::failed(rc)) return Result::nest(3, rc);
    rc = getBeatPosOfAddress(wavNo, half, stored->endAdrs, e);
    if (Result::failed(rc)) return Result::nest(4, rc);
    std::uint64_t previous = 0;
    rc = prevBarBeat(slot, e, previous);
    if (Result::failed(rc)) return Result::nest(5, rc);
    std::uint64_t endBeat = e;
    if (!stored->barFit) {
      endBeat = previous;
      std::uint64_t next = 0;
      if (Result::failed(allInfo.getTimeSig(&num, &den)) || num == 0) return Result::fail(6);
      if (Result::succeeded(nextBarBeat(slot, e, next)) && next - e <= e - previous && (next - s) % num == 0) {
        endBeat = next;
      }
    }
    std::uint64_t newStart = 0, newEnd = 0;
    rc = getAddressOfBeat(wavNo, half, s, newStart);
    if (Result::failed(rc)) return Result::nest(7, rc);
    rc = getAddressOfBeat(wavNo, half, static_cast<std::uint32_t>(endBeat), newEnd);
    if (Result::failed(rc)) return Result::nest(8, rc);
    if (newStart < newEnd) {
      SecInfo updated = *stored;
      updated.startAdrs = newStart;
      updated.endAdrs = newEnd;
      rc = setSecInfo(slot, updated);
      if (Result::failed(rc)) return Result::nest(9, rc);
    }
  }
  return Result::kOk;
}

ResultCode CASTcore::makeInitSecAsgnBySegLbl(std::uint8_t wavNo, std::uint8_t mode, std::uint64_t position) {
  const AnalysisUtil util;
  const WavInfo* wave = nullptr;
  ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);

  std::vector<SegItem> in;
  for (std::size_t i = 0; i < wave->segLblOrg.size(); ++i) {
    SegItem item;
    item.start = wave->segLblOrg[i].start;
    item.end = i + 1 < wave->segLblOrg.size() ? wave->segLblOrg[i + 1].start
                                               : (wave->onsetTime.empty() ? item.start : wave->onsetTime.back());
    item.label = static_cast<std::int16_t>(wave->segLblOrg[i].label);
    in.push_back(item);
  }

  std::uint8_t half = 0;
  const auto step = static_cast<std::uint8_t>(std::min<std::uint16_t>(wave->beatDiv, 255));
  if (mode == 1) {
    rc = util.getBeatParity(wave->beatTime, position, step, half);
    if (Result::failed(rc)) return Result::nest(3, rc);
  } else if (!in.empty()) {
    rc = util.getBeatParity(wave->beatTime, util.secondsToSamples(in[0].start), step, half);
    if (Result::failed(rc)) return Result::nest(9, rc);
  }

  std::vector<SegItem> out;
  rc = fitSegForTS(wavNo, in, out, mode, half, position);
  if (Result::failed(rc)) {
    setLastErrorOnce(QString("error at makeInitSecAsgnBySegLbl() fitSegForTS [%1]").arg(hex(rc)));
    return Result::nest(2, rc);
  }

  std::vector<SegLabel> entries;
  for (const SegItem& item : out) entries.push_back({item.start, static_cast<std::uint16_t>(item.label & 0xFFFF)});
  rc = snapSegTimesToBeats(entries, wavNo, half);
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = storeSegLbl(wavNo, entries, 2);
  if (Result::failed(rc)) return Result::nest(5, rc);
  qDebug() << "segmenter2 path 1";
  for (std::size_t i = 0; i < out.size(); ++i) out[i].start = entries[i].start;

  std::vector<SegItem> chosen;
  std::uint8_t exception = 0;
  util.editBeatList(chosen, out, exception);
  if (exception) exceptFlag = 1;

  rc = doSegToSec(wavNo, half, chosen);
  if (Result::failed(rc)) {
    setLastErrorOnce(QString("error at makeInitSecAsgnBySegLbl() doSegToSec [%1]").arg(hex(rc)));
    return Result::nest(6, rc);
  }

  const SecInfo* mainA = nullptr;
  rc = allInfo.getSecInfo(3, &mainA);
  if (Result::failed(rc)) {
    setLastErrorOnce(QString("error at makeInitSecAsgnBySegLbl() getSecInfo [%1]").arg(hex(rc)));
    return Result::nest(7, rc);
  }
  if (mainA->used && mainA->endAdrs > mainA->startAdrs) {
    std::uint8_t num = 4, den = 4;
    allInfo.getTimeSig(&num, &den);
    const double frames = static_cast<double>(mainA->endAdrs - mainA->startAdrs);
    const double value = SectionTempo::ofBars(mainA->barNum, num, den, frames);
    // A style holds tempos of 5 to 500 only.
    const auto tempo = SectionTempo::nearestWhole(std::clamp(value, 5.0, 500.0));
    rc = updateTempo(tempo);
    if (Result::failed(rc)) {
      setLastErrorOnce(QString("error at makeInitSecAsgnBySegLbl() updateTempo [%1]").arg(hex(rc)));
      return Result::nest(8, rc);
    }
  }
  return Result::kOk;
}
