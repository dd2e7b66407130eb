// Section rendering: a slot's range of the work copy cut, padded to whole
// bars, stretched to the project tempo and faded into its working wave; the
// normalisation of all working waves and their hand-over to the style
// manager; and the small accessors the audition player uses around them.

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "DefaultAnalysisInfoText.h"
#include "IF_styMngr.h"
#include "IF_timeStretch.h"
#include "SectionNameTable.h"
#include "SectionTempo.h"
#include "TempWaveFiles.h"
#include "WavSeekerSeq.h"
#include "WholeWrite.h"

namespace {

constexpr std::uint8_t kFadeInAndOut = 3;
constexpr std::size_t kBytesPerFrame = AnalysisUtil::kBytesPerFrame;
constexpr std::uint64_t kReadBlockFrames = 4096;

std::uint64_t waveEndFrame(const WavInfo& wave) {
  return wave.onsetTime.empty() ? 0 : AnalysisUtil().secondsToSamples(wave.onsetTime.back());
}

std::int64_t sectionStart(const SecInfo& sec) { return static_cast<std::int64_t>(sec.startAdrs) + sec.startOfs; }

std::int64_t sectionEnd(const SecInfo& sec) { return static_cast<std::int64_t>(sec.endAdrs) + sec.endOfs; }

std::int16_t sampleAt(const std::vector<std::uint8_t>& bytes, std::size_t index) {
  return static_cast<std::int16_t>(
      static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8)));
}

void putSample(std::vector<std::uint8_t>& bytes, std::size_t index, std::int16_t value) {
  const auto u = static_cast<std::uint16_t>(value);
  bytes[2 * index] = static_cast<std::uint8_t>(u & 0xFF);
  bytes[2 * index + 1] = static_cast<std::uint8_t>(u >> 8);
}

std::int16_t toSample16(double value) {
  return static_cast<std::int16_t>(std::clamp(std::trunc(value), -32768.0, 32767.0));
}

void scaleFrame(std::vector<std::uint8_t>& bytes, std::uint64_t frame, double gain) {
  for (std::size_t k = 0; k < 2; ++k) {
    const std::size_t index = static_cast<std::size_t>(frame) * 2 + k;
    putSample(bytes, index, toSample16(sampleAt(bytes, index) * gain));
  }
}

// The largest absolute sample value of 16-bit frames (32768 for -32768).
int peakOf(const std::vector<std::uint8_t>& bytes, std::size_t size) {
  int peak = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    peak = std::max(peak, std::abs(static_cast<int>(sampleAt(bytes, i / 2))));
  }
  return peak;
}

}  // namespace

// --- Rendering ---

ResultCode CASTcore::renderAudition(std::uint8_t slot, std::uint8_t* ratioFlag) {
  try {
    return recordRendering(slot, renderSectionWave(slot), ratioFlag);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(7);
  }
}

CASTcore::SectionRendering CASTcore::renderSectionWave(std::uint8_t slot) {
  SectionRendering result;
  if (!styMngr) {
    result.code = Result::fail(1);
    return result;
  }
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  if (Result::failed(getSecWave(slot, &sec, &wave)) || !sec || !wave) {
    result.code = Result::fail(2);
    return result;
  }
  if (!sec->used) {
    result.code = Result::fail(3);
    return result;
  }

  const QString name = SectionNameTable::name(slot);
  const auto waveEnd = static_cast<std::int64_t>(waveEndFrame(*wave));
  const std::int64_t start = sectionStart(*sec);
  const std::int64_t end = sectionEnd(*sec);
  if (end > waveEnd || start > waveEnd || end <= start || start < 0) {
    setLastErrorOnce(QString("section area error! [%1 : %2 : %3]").arg(name).arg(start).arg(end));
    result.code = Result::fail(4);
    return result;
  }
  if (sec->barNum == 0) {
    setLastErrorOnce(QString("section area is too short! [%1]").arg(name));
    result.code = Result::fail(5);
    return result;
  }

  result.checked = true;
  result.code = sec->barFit ? renderSectionByBars(slot, &result.length, &result.outOfRange)
                            : renderWholeSection(slot, &result.length, &result.outOfRange);
  return result;
}

ResultCode CASTcore::recordRendering(std::uint8_t slot, const SectionRendering& rendering, std::uint8_t* ratioFlag) {
  if (!rendering.checked) return rendering.code;
  SecInfo* current = nullptr;
  if (Result::failed(allInfo.getSecInfo(slot, &current)) || !current) return Result::fail(2);
  SecInfo updated = *current;
  if (rendering.outOfRange) {
    if (ratioFlag) *ratioFlag = 1;
    updated.holdValue = 0;
    const ResultCode stored = updateSecInfo(slot, updated);
    if (Result::failed(stored)) return Result::nest(6, stored);
    secRendered[slot] = 0;
    return Result::kOk;
  }
  if (Result::failed(rendering.code)) {
    // Only this core's own flag tells of a caught exception in this
    // rendering; a manager's flag may be left over from another operation.
    const QString text =
        exceptFlag != 0 ? "Memory Full! [%1 : %2]" : "Export sty process returns some error! [%1 : %2]";
    setLastErrorOnce(text.arg(SectionNameTable::name(slot)).arg(rendering.code, 0, 16));
    return Result::nest(7, rendering.code);
  }
  updated.holdValue = rendering.length;
  const ResultCode stored = updateSecInfo(slot, updated);
  if (Result::failed(stored)) return Result::nest(8, stored);
  secRendered[slot] = 1;
  return Result::kOk;
}

ResultCode CASTcore::renderWholeSection(std::uint8_t slot, std::uint64_t* length, std::uint8_t* ratioFlag) {
  std::uint64_t written = 0;
  std::uint8_t outOfRange = 0;
  if (length) *length = 0;
  if (ratioFlag) *ratioFlag = 0;
  try {
    if (!timeStretch) return Result::fail(1);
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    ResultCode rc = getSecWave(slot, &sec, &wave);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (!sec || !wave) return Result::fail(2);

    const auto waveEnd = static_cast<std::int64_t>(waveEndFrame(*wave));
    const std::int64_t start = sectionStart(*sec);
    const std::int64_t end = sectionEnd(*sec);
    // The audio's end computed from the last onset may lie one frame past
    // the last frame of the work copy.
    const std::int64_t lastFrame = (end == waveEnd || end == waveEnd + 1) ? waveEnd - 1 : end;
    if (start < 0 || !(start < lastFrame && lastFrame <= waveEnd)) return Result::fail(3);
    if (end - start > waveEnd) return Result::fail(4);

    std::vector<std::uint8_t> samples;
    rc = readSectionSamples(slot, samples, static_cast<std::uint64_t>(lastFrame));
    if (Result::failed(rc)) return Result::nest(7, rc);

    std::uint8_t num = 4, den = 4;
    rc = getTimeSig(num, den);
    if (Result::failed(rc)) return Result::nest(5, rc);

    std::vector<std::uint8_t> stretched;
    rc = checkStretchRatio(num, den, slot, sec->barNum, samples, stretched, &outOfRange);
    if (outOfRange) {
      if (ratioFlag) *ratioFlag = 1;
      return Result::kOk;
    }
    if (Result::failed(rc)) return Result::nest(6, rc);

    if (sec->fadeSw) fadeEdges(stretched, fadeLen, kFadeInAndOut);
    if (stretched.size() < kBytesPerFrame) return Result::fail(8);
    rc = writeSectionWave(slot, stretched);
    if (Result::failed(rc)) return Result::fail(9);
    written = stretched.size() / kBytesPerFrame;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(10);
  }
  if (length) *length = written;
  return Result::kOk;
}

ResultCode CASTcore::renderSectionByBars(std::uint8_t slot, std::uint64_t* length, std::uint8_t* ratioFlag) {
  std::uint64_t written = 0;
  std::uint8_t outOfRange = 0;
  if (length) *length = 0;
  if (ratioFlag) *ratioFlag = 0;
  try {
    if (!timeStretch) return Result::fail(1);
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    ResultCode rc = getSecWave(slot, &sec, &wave);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (!sec || !wave) return Result::fail(2);
    std::uint8_t num = 4, den = 4;
    rc = getTimeSig(num, den);
    if (Result::failed(rc)) return Result::nest(3, rc);

    const std::uint64_t waveEnd = waveEndFrame(*wave);
    std::vector<std::uint64_t> cuts;
    rc = makeBarCuts(*sec, cuts, waveEnd);
    if (Result::failed(rc)) return Result::nest(4, rc);

    const std::uint64_t tempo = getCommonInfo().tempo;
    if (tempo == 0 || den == 0) return Result::fail(12);
    const auto nominalBarLength = static_cast<std::uint64_t>(
        std::ceil(num * SectionTempo::kFramesPerMinute * 4.0 / den / static_cast<double>(tempo)));

    std::uint64_t pad = 0, firstBarLength = 0;
    std::uint8_t pickup = 0, padAtStart = 0, padAtEnd = 0;
    rc = pickupPadding(num, slot, *sec, pad, pickup, nominalBarLength, firstBarLength, padAtStart, padAtEnd, cuts);
    if (Result::failed(rc)) return Result::nest(5, rc);

    // The samples are read only up to the last cut, so the buffer ends where
    // the last bar does and silence appended after it lines up.
    const std::uint64_t lastCut = cuts.back();
    std::vector<std::uint8_t> samples;
    if (padAtStart) {
      rc = padStart(samples, pad, pickup, firstBarLength, cuts);
      if (Result::failed(rc)) return Result::nest(6, rc);
    }
    rc = readSectionSamples(slot, samples, lastCut);
    if (Result::failed(rc)) return Result::nest(7, rc);
    if (padAtEnd) {
      rc = padEnd(static_cast<std::uint16_t>(cuts.size() - 1), nominalBarLength, cuts, samples);
      if (Result::failed(rc)) return Result::nest(8, rc);
    }

    // One region per bar, the pickup bar included.
    std::vector<std::uint8_t> stretched;
    rc = checkStretchRatioByBars(num, den, slot, cuts.size() - 1, cuts, samples, stretched, &outOfRange);
    if (outOfRange) {
      if (ratioFlag) *ratioFlag = 1;
      return Result::kOk;
    }
    if (Result::failed(rc)) return Result::nest(9, rc);

    if (sec->fadeSw) fadeEdges(stretched, fadeLen, kFadeInAndOut);
    if (stretched.size() < kBytesPerFrame) return Result::fail(10);
    rc = writeSectionWave(slot, stretched);
    if (Result::failed(rc)) return Result::fail(11);
    written = stretched.size() / kBytesPerFrame;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(13);
  }
  if (length) *length = written;
  return Result::kOk;
}

ResultCode CASTcore::makeBarCuts(const SecInfo& sec, std::vector<std::uint64_t>& cuts, std::uint64_t waveEnd) {
  const std::size_t before = cuts.size();
  const std::int64_t start = sectionStart(sec);
  if (start < 0) return Result::fail(2);
  try {
    cuts.push_back(static_cast<std::uint64_t>(start));
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
  for (int i = 1; i < sec.barNum; ++i) {
    const std::int64_t line = static_cast<std::int64_t>(sec.barAddress(i - 1)) + sec.barOffset(i - 1);
    if (line <= static_cast<std::int64_t>(cuts.back())) return Result::fail(2);
    try {
      cuts.push_back(static_cast<std::uint64_t>(line));
    } catch (...) {
      exceptFlag = 1;
      return Result::fail(3);
    }
  }
  std::int64_t end = sectionEnd(sec);
  const auto audioEnd = static_cast<std::int64_t>(waveEnd);
  if (end >= audioEnd && end <= audioEnd + 2) end = audioEnd - 1;
  if (end >= audioEnd) return Result::fail(4);
  if (end <= static_cast<std::int64_t>(cuts.back())) return Result::fail(5);
  try {
    cuts.push_back(static_cast<std::uint64_t>(end));
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(6);
  }
  if (cuts.size() - before != static_cast<std::size_t>(sec.barNum) + 1) return Result::fail(7);
  return Result::kOk;
}

ResultCode CASTcore::pickupPadding(std::uint8_t numerator, std::uint8_t slot, const SecInfo& sec, std::uint64_t& pad,
                                   std::uint8_t& pickup, std::uint64_t nominalBarLength,
                                   std::uint64_t& firstBarLength, std::uint8_t& padAtStart,
                                   std::uint8_t& padAtEnd, const std::vector<std::uint64_t>& cuts) {
  pad = 0;
  pickup = 0;
  padAtStart = 0;
  padAtEnd = 0;
  std::uint32_t b0 = 0, b1 = 0;
  ResultCode rc = getBeatPosOfAddress(sec.wavNo, sec.halfBeat, sec.startAdrs, b0);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = getBeatPosOfAddress(sec.wavNo, sec.halfBeat, sec.endAdrs, b1);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (!sec.pickupSw) return Result::kOk;
  if (numerator == 0 || cuts.size() < 2) return Result::fail(4);

  const std::int64_t num = numerator;
  std::int64_t rest = (static_cast<std::int64_t>(b1) - static_cast<std::int64_t>(b0)) % num;
  if (rest < 0) rest += num;

  const bool ending = slot >= 12 && slot <= 14;
  if (ending) padAtEnd = rest != 0 ? 1 : 0;

  // The samples of any slot with a pickup in use begin at the pickup, and
  // the export counts the pickup as a bar of its own: every such slot, not
  // only an intro, gets its pickup bar here, or its cuts would not match its
  // samples and the section's end would be cut off.
  if (sec.pickupNum != 0) {
    pickup = 1;
    std::uint64_t pickupStart = 0, pickupEnd = 0;
    rc = getPickupRange(slot, pickupStart, pickupEnd);
    if (Result::failed(rc)) return Result::nest(3, rc);
    const auto barLength = static_cast<std::int64_t>(cuts[1] - cuts[0]);
    const std::int64_t pickupLength =
        std::max<std::int64_t>(0, static_cast<std::int64_t>(cuts[0]) - static_cast<std::int64_t>(pickupStart));
    const std::int64_t silence = barLength - pickupLength;
    if (silence >= 1) {
      pad = static_cast<std::uint64_t>(silence);
      firstBarLength = static_cast<std::uint64_t>(barLength);
      padAtStart = 1;
    } else if (pickupLength >= 1) {
      // A pickup of a whole bar or more needs no silence; it still becomes
      // the first region, as long as it is, so the cuts match the samples.
      firstBarLength = static_cast<std::uint64_t>(pickupLength);
      padAtStart = 1;
    }
    return Result::kOk;
  }

  if (ending || slot > 2 || rest == 0) return Result::kOk;
  const std::int64_t barLength = cuts.size() >= 3 ? static_cast<std::int64_t>(cuts[2] - cuts[1])
                                                  : static_cast<std::int64_t>(nominalBarLength);
  const std::int64_t silence = (num - rest) * barLength / num;
  if (silence >= 1) {
    pad = static_cast<std::uint64_t>(silence);
    padAtStart = 1;
  }
  return Result::kOk;
}

ResultCode CASTcore::padStart(std::vector<std::uint8_t>& samples, std::uint64_t pad, std::uint8_t pickup,
                              std::uint64_t firstBarLength, std::vector<std::uint64_t>& cuts) {
  if (cuts.size() < 2) return Result::fail(2);
  try {
    samples.insert(samples.begin(), static_cast<std::size_t>(pad) * kBytesPerFrame, 0);
    if (pickup) cuts.push_back(0);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
  const std::uint64_t first = cuts[0];
  const std::size_t last = cuts.size() - 1;
  if (pickup) {
    for (std::size_t i = last; i >= 1; --i) cuts[i] = cuts[i - 1] - first + firstBarLength;
  } else {
    for (std::size_t i = last; i >= 1; --i) cuts[i] = cuts[i] - first + pad;
  }
  cuts[0] = 0;
  return Result::kOk;
}

ResultCode CASTcore::padEnd(std::uint16_t bars, std::uint64_t nominalBarLength, std::vector<std::uint64_t>& cuts,
                            std::vector<std::uint8_t>& samples) {
  if (bars == 0 || cuts.size() != static_cast<std::size_t>(bars) + 1) return Result::fail(3);
  const std::size_t n = bars;
  std::int64_t diff = 0;
  if (bars == 1) {
    diff = static_cast<std::int64_t>(nominalBarLength) - static_cast<std::int64_t>(cuts[1] - cuts[0]);
  } else {
    const auto prev = static_cast<std::int64_t>(cuts[n - 1] - cuts[n - 2]);
    if (prev == 0) return Result::fail(1);
    const auto last = static_cast<std::int64_t>(cuts[n] - cuts[n - 1]);
    if (prev <= last) return Result::kOk;
    diff = prev - last;
  }
  if (diff < 1) {
    const std::int64_t moved = static_cast<std::int64_t>(cuts[n]) + diff;
    if (moved <= static_cast<std::int64_t>(cuts[n - 1])) return Result::fail(4);
    cuts[n] = static_cast<std::uint64_t>(moved);
    return Result::kOk;
  }
  try {
    samples.insert(samples.end(), static_cast<std::size_t>(diff) * kBytesPerFrame, 0);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(2);
  }
  cuts[n] += static_cast<std::uint64_t>(diff);
  return Result::kOk;
}

ResultCode CASTcore::readSectionSamples(std::uint8_t slot, std::vector<std::uint8_t>& bytes, std::uint64_t endLimit) {
  std::uint64_t start = 0, end = 0;
  const ResultCode rc = getPickupRange(slot, start, end);
  if (Result::failed(rc)) return Result::nest(1, rc);
  end = std::min(end, endLimit);
  if (end <= start) return Result::kOk;

  WavSeekerSeq source(TempWaveFiles::sourcePath(workFolder()));
  // A missing or short work copy is an error: a short buffer would be
  // stretched as if it were the whole section.
  if (!source.isOpen() || source.length() < start) return Result::fail(2);
  if (source.length() < end) return Result::fail(3);
  if (start > 0) source.seek(start);

  const std::size_t before = bytes.size();
  try {
    bytes.reserve(before + static_cast<std::size_t>(end - start) * kBytesPerFrame);
    std::vector<float> block(kReadBlockFrames * 2);
    std::uint64_t frame = start;
    while (frame < end) {
      const std::uint64_t want = std::min(kReadBlockFrames, end - frame);
      const std::uint64_t got = source.read(block.data(), want);
      for (std::uint64_t i = 0; i < got * 2; ++i) {
        // +1.0 would be 32768, one past the 16-bit range.
        const auto u = static_cast<std::uint16_t>(toSample16(static_cast<double>(block[i]) * 32768.0));
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
      }
      frame += got;
      if (got < want) {
        bytes.resize(before);
        return Result::fail(3);
      }
    }
  } catch (...) {
    bytes.resize(before);
    exceptFlag = 1;
    return Result::fail(4);
  }
  return Result::kOk;
}

ResultCode CASTcore::checkStretchRatio(std::uint8_t numerator, std::uint8_t denominator, std::uint8_t slot,
                                       std::uint64_t bars, const std::vector<std::uint8_t>& samples,
                                       std::vector<std::uint8_t>& stretched, std::uint8_t* ratioFlag) {
  return stretchAndCheck(numerator, denominator, slot, bars, nullptr, samples, stretched, ratioFlag);
}

ResultCode CASTcore::checkStretchRatioByBars(std::uint8_t numerator, std::uint8_t denominator, std::uint8_t slot,
                                             std::uint64_t bars, const std::vector<std::uint64_t>& cuts,
                                             const std::vector<std::uint8_t>& samples,
                                             std::vector<std::uint8_t>& stretched, std::uint8_t* ratioFlag) {
  return stretchAndCheck(numerator, denominator, slot, bars, &cuts, samples, stretched, ratioFlag);
}

ResultCode CASTcore::stretchAndCheck(std::uint8_t numerator, std::uint8_t denominator, std::uint8_t slot,
                                     std::uint64_t bars, const std::vector<std::uint64_t>* cuts,
                                     const std::vector<std::uint8_t>& samples,
                                     std::vector<std::uint8_t>& stretched, std::uint8_t* ratioFlag) {
  if (!timeStretch || slot >= kSectionCount) return Result::fail(1);
  StretchParams params;
  params.tempo = getCommonInfo().tempo;
  params.numerator = numerator;
  params.denominator = denominator;
  params.bars = bars;
  const ResultCode set = timeStretch->setParameters(params);
  if (Result::failed(set)) return Result::nest(1, set);

  const ResultCode r = cuts ? timeStretch->runWithCuts(samples, *cuts, stretched)
                            : timeStretch->run(samples, stretched);
  std::uint8_t outOfRange = 0;
  std::vector<double>& ratios = stretchRatios[slot];
  timeStretch->getRatios(&outOfRange, ratios);
  if (outOfRange) {
    if (ratioFlag) *ratioFlag = 1;
    // Show the ratio that lies farthest from 1.0 either way.
    double shown = 1.0;
    double farthest = 0.0;
    for (double ratio : ratios) {
      const double distance = ratio > 0.0 ? std::max(ratio, 1.0 / ratio) : std::numeric_limits<double>::infinity();
      if (distance > farthest) {
        farthest = distance;
        shown = ratio;
      }
    }
    lastError += QString("Stretch ratio error! [%1 : %2]\r\n")
                     .arg(SectionNameTable::name(slot))
                     .arg(QString::number(shown, 'g', QLocale::FloatingPointShortest));
  }
  if (r == Result::kOk) return Result::kOk;
  if (timeStretch->hasException()) exceptFlag = 1;
  return outOfRange ? Result::kOk : Result::nest(2, r);
}

void CASTcore::fadeEdges(std::vector<std::uint8_t>& bytes, std::uint64_t n, std::uint8_t mode) {
  const std::uint64_t frames = bytes.size() / kBytesPerFrame;
  if (n == 0 || frames < n) return;
  const double span = static_cast<double>(n) * static_cast<double>(n);
  for (std::uint64_t i = 0; i < n; ++i) {
    const double gain = static_cast<double>(i) * static_cast<double>(i) / span;
    if (mode & 1) scaleFrame(bytes, i, gain);
    if (mode & 2) scaleFrame(bytes, frames - 1 - i, gain);
  }
}

ResultCode CASTcore::writeSectionWave(std::uint8_t slot, const std::vector<std::uint8_t>& bytes) {
  const QString path = TempWaveFiles::sectionPath(workFolder(), slot);
  if (path.isEmpty()) return Result::fail(1);
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max() - 36) return Result::fail(2);
  // Written under another name and renamed once complete: a full disk must
  // not leave a torn wave whose header announces its whole length for the
  // export to pick up.
  const QString partial = TempWaveFiles::partialPath(path);
  // The user is told why, in the system's words, with the wave's own name.
  QString why;
  const ResultCode rc = AnalysisUtil().writeWavFile(partial.toStdWString(), bytes.data(),
                                                    static_cast<std::uint32_t>(bytes.size()), &why);
  if (Result::failed(rc)) {
    QFile::remove(partial);
    setLastErrorOnce(WholeWrite::cannotWrite(path, why));
    return Result::nest(3, rc);
  }
  // rename(2) replaces the old wave in one step; QFile::rename refuses to.
  if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
    why = WholeWrite::reason(errno);
    QFile::remove(partial);
    setLastErrorOnce(WholeWrite::cannotWrite(path, why));
    return Result::fail(4);
  }
  return Result::kOk;
}

// --- Export hand-over ---

ResultCode CASTcore::assignSectionAudio(std::uint8_t slot) {
  if (!styMngr) return Result::fail(1);
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  if (Result::failed(getSecWave(slot, &sec, &wave)) || !sec || !wave) return Result::fail(2);
  if (!sec->used) return Result::fail(3);

  QString path;
  std::string text;
  std::string name;
  std::string path8;
  try {
    path = TempWaveFiles::sectionPath(workFolder(), slot);
    text = DefaultAnalysisInfoText::text();
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(4);
  }
  if (!QFileInfo(path).isFile()) {
    setLastErrorOnce(path + "\r\ndoes not exist.");
    return Result::fail(6);
  }
  name = wideToUtf8(TempWaveFiles::sectionBaseName(slot).toStdWString());
  path8 = wideToUtf8(path.toStdWString());
  if (name.empty() || path8.empty()) return Result::fail(7);

  // The style manager sets the volume to the analysis text's value; it works
  // on copies so an export leaves the user's common record as it was.
  const ComnInfo comn = getCommonInfo();
  std::uint8_t volume = comn.volume;
  std::uint8_t pan = comn.pan;
  std::uint8_t reverbSend = comn.revSend;
  try {
    const ResultCode rc = styMngr->setSectionAudio(
        reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
        reinterpret_cast<const std::uint8_t*>(name.data()), name.size(),
        reinterpret_cast<const std::uint8_t*>(path8.data()), path8.size(), styMngr->getAudioSectionNumber(slot),
        &volume, &pan, &reverbSend);
    if (Result::failed(rc)) return Result::nest(9, rc);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(9);
  }
  return Result::kOk;
}

ResultCode CASTcore::normalizeSectionWaves() {
  try {
    std::array<int, kSectionCount> peaks{};
    std::array<bool, kSectionCount> used{};
    int overall = 0;
    AnalysisUtil util;
    std::vector<std::uint8_t> data;
    std::uint32_t size = 0;
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      const SecInfo* sec = nullptr;
      if (Result::failed(allInfo.getSecInfo(slot, &sec)) || !sec) return Result::fail(1);
      if (!sec->used) continue;
      std::uint8_t flag = 0;
      const std::wstring path = TempWaveFiles::sectionPath(workFolder(), slot).toStdWString();
      const ResultCode rc = util.readWavFile(path, data, size, flag);
      if (flag) exceptFlag = 1;
      if (Result::failed(rc)) return Result::fail(3);
      used[slot] = true;
      peaks[slot] = peakOf(data, std::min<std::size_t>(size, data.size()));
      overall = std::max(overall, peaks[slot]);
    }
    if (overall == 0) return Result::kOk;

    const double depth = std::min<int>(getCommonInfo().normDepth, 100);
    const double base = (100.0 - depth) * (32767.0 / overall) / 100.0;
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      if (!used[slot] || peaks[slot] == 0) continue;
      const double gain = (32767.0 / peaks[slot]) * depth / 100.0 + base;
      if (!(gain > 1.0)) continue;  // never attenuated
      const std::wstring path = TempWaveFiles::sectionPath(workFolder(), slot).toStdWString();
      std::uint8_t flag = 0;
      ResultCode rc = util.readWavFile(path, data, size, flag);
      if (flag) exceptFlag = 1;
      if (Result::failed(rc)) return Result::fail(3);
      size = static_cast<std::uint32_t>(std::min<std::size_t>(size, data.size()));
      for (std::size_t i = 0; i + 1 < size; i += 2) putSample(data, i / 2, toSample16(sampleAt(data, i / 2) * gain));
      data.resize(size);
      rc = writeSectionWave(slot, data);
      if (Result::failed(rc)) return Result::fail(4);
      secRendered[slot] = 0;
    }
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(5);
  }
}

// --- Accessors ---

ResultCode CASTcore::getSecWave(std::uint8_t slot, SecInfo** sec, WavInfo** wave) {
  if (sec) *sec = nullptr;
  if (wave) *wave = nullptr;
  if (slot >= kSectionCount || !sec || !wave) return Result::fail(1);
  return allInfo.getSecAndWavInfo(slot, sec, wave);
}

ResultCode CASTcore::getSecWaveOnly(std::uint8_t slot, WavInfo** wave) {
  SecInfo* sec = nullptr;
  return getSecWave(slot, &sec, wave);
}

ResultCode CASTcore::isWaveUsed(std::uint8_t wavNo, std::uint8_t* used) {
  if (used) *used = 0;
  if (!used) return Result::fail(1);
  bool found = false;
  const ResultCode rc = allInfo.isWavUsed(wavNo, &found);
  if (Result::failed(rc)) return Result::nest(1, rc);
  *used = found ? 1 : 0;
  return Result::kOk;
}

ResultCode CASTcore::isSectionUsed(std::uint8_t slot, std::uint8_t* used) {
  if (used) *used = 0;
  if (slot >= kSectionCount || !used) return Result::fail(1);
  const SecInfo* sec = nullptr;
  if (Result::failed(allInfo.getSecInfo(slot, &sec)) || !sec) return Result::fail(1);
  *used = sec->used;
  return Result::kOk;
}

ResultCode CASTcore::getWavTempo(std::uint8_t wavNo, std::uint64_t* tempo) {
  return allInfo.getWavTempo(wavNo, tempo);
}

ResultCode CASTcore::audioEndFrame(std::uint8_t wavNo, std::uint64_t* frame) {
  if (frame) *frame = 0;
  WavInfo* wave = nullptr;
  const ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (!wave || !frame) return Result::fail(2);
  *frame = waveEndFrame(*wave);
  return Result::kOk;
}

ResultCode CASTcore::snapAddressToBeat(std::uint8_t wavNo, std::uint8_t halfBeat, std::int32_t beats,
                                       std::uint64_t address, std::uint8_t* back, std::uint64_t* diff) {
  if (back) *back = 0;
  if (diff) *diff = 0;
  const WavInfo* wave = nullptr;
  const ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (!wave || !back || !diff) return Result::fail(1);

  const auto size = static_cast<std::int64_t>(wave->beatTime.size());
  const std::int64_t twice = 2 * static_cast<std::int64_t>(beats);
  if (twice >= size) return Result::fail(2);
  const std::int64_t d = wave->beatDiv;
  if (d == 0) return Result::fail(3);
  const std::int64_t o = (static_cast<std::int64_t>(halfBeat) * d) % 256;
  AnalysisUtil util;
  auto frameAt = [&](std::int64_t index, std::uint64_t& out) {
    if (index < 0 || index >= size) return false;
    out = util.secondsToSamples(wave->beatTime[static_cast<std::size_t>(index)]);
    return true;
  };
  auto signedDiff = [](std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b));
  };

  std::uint64_t p = 0;
  if (beats < 1) {
    if (!frameAt(o, p)) return Result::fail(2);
    *diff = signedDiff(p, address);
    return Result::kOk;
  }
  std::uint64_t prev = address;
  for (std::int64_t s = 0;; s += d) {
    if (!frameAt(o + twice - s, p)) return Result::fail(2);
    if (p == address) {
      *back = static_cast<std::uint8_t>(s);
      return Result::kOk;
    }
    if (p < address) {
      // On the first step there is no later entry to compare with: the
      // entry itself is the nearest.
      if (s == 0 || address - p <= prev - address) {
        *back = static_cast<std::uint8_t>(s);
        *diff = signedDiff(p, address);
      } else {
        *back = static_cast<std::uint8_t>(s - d);
        *diff = signedDiff(prev, address);
      }
      return Result::kOk;
    }
    if (twice - d - s < 0) {
      *back = static_cast<std::uint8_t>(twice);
      *diff = signedDiff(p, address);
      return Result::kOk;
    }
    prev = p;
  }
}

std::string CASTcore::wideToUtf8(const std::wstring& text) {
  try {
    return QString::fromStdWString(text).toUtf8().toStdString();
  } catch (...) {
    return std::string();
  }
}
