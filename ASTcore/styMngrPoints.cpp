// Attack, beat and sync points of the style's recordings.

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>

#include "BlockOnsetDetector.h"
#include "CAudioFile.h"
#include "CAudioInfoDecorator.h"
#include "CAudioPoint.h"
#include "CAudioStyleDecorator.h"
#include "CAudioStyleWaveFormat.h"
#include "CAudioWaveData.h"
#include "CAudioWaveForm.h"
#include "CAudioWaveInfo.h"
#include "CSyncroPoint.h"
#include "SideBySide.h"
#include "styMngr.h"
#include "syncAnalyze.h"

namespace {

constexpr int kBlock = 32;
constexpr std::uint64_t kAttackLead = 80;  // frames an attack is reported after it starts

std::int16_t sampleAt(const std::uint8_t* bytes, std::size_t index) {
  return static_cast<std::int16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

// The mean of left and right of each frame, truncated toward zero: the mono
// signal both the attack and the sync search look at.
std::int16_t monoOf(std::int16_t left, std::int16_t right) {
  return static_cast<std::int16_t>((left + right) / 2);
}

}  // namespace

double styMngr::samplesPerBeat(std::uint8_t slot) const {
  if (bars[slot] == 0 || numerator == 0) return 0.0;
  return std::trunc(static_cast<double>(lengths[slot]) / static_cast<double>(bars[slot]) / numerator);
}

ResultCode styMngr::buildPointLists(std::uint16_t* attackMask, std::uint16_t* beatMask, std::uint16_t* syncMask) {
  // The recordings are read here, one after the other; their attack and
  // sync searches, which touch nothing but their own bytes, then run side by
  // side; the points go into the model in slot order, so every failure,
  // flag and mask comes out as if the slots had been done one by one.
  struct SlotPoints {
    std::uint8_t slot = 0;
    CAudioWaveForm* wave = nullptr;
    std::vector<std::uint8_t> bytes;
    AttackSearch attacks;
    SyncSearch sync;
  };
  std::vector<SlotPoints> work;
  ResultCode stopCode = Result::kOk;  // what ends the slot after the last one gathered
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    CAudioFile* file = model->FindFileBySection(getAudioSectionNumber(slot));
    if (!file || !file->GetWaveForm() || !file->GetWaveForm()->GetWaveData()) continue;
    CAudioWaveForm* wave = file->GetWaveForm();
    std::string path;
    ResultCode rc = wave->GetWaveData()->GetFilePath(path);
    if (Result::failed(rc)) {
      stopCode = Result::nest(1, rc);
      break;
    }
    SlotPoints entry;
    entry.slot = slot;
    entry.wave = wave;
    // Read once for the attack and the sync points.
    rc = readRecordingBytes(wave, path, entry.bytes, 4, 7);
    if (Result::failed(rc)) {
      stopCode = Result::nest(2, rc);
      break;
    }
    work.push_back(std::move(entry));
  }

  runSideBySide(work.size(), std::max(1u, std::thread::hardware_concurrency()), [&](std::size_t k) {
    SlotPoints& entry = work[k];
    // One mono mix for both searches.
    std::vector<std::int16_t> mono;
    try {
      mono = monoSamples(entry.bytes);
    } catch (const std::bad_alloc&) {
      entry.attacks.noMemory = true;
      entry.attacks.code = Result::fail(8);
      return;  // the attack points fail first; the sync search is never looked at
    }
    entry.attacks = findAttacks(mono);
    entry.sync = findSyncPositions(entry.slot, entry.bytes.size(), mono);
  });

  for (SlotPoints& entry : work) {
    ResultCode rc = makeAttackPoints(entry.slot, entry.wave, entry.attacks, attackMask);
    if (Result::failed(rc)) return Result::nest(2, rc);
    rc = makeBeatPoints(entry.slot, entry.wave, beatMask);
    if (Result::failed(rc)) return Result::nest(3, rc);
    rc = makeSyncPoints(entry.slot, entry.wave, entry.bytes, entry.sync, syncMask);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  return stopCode;
}

ResultCode styMngr::readRecordingBytes(CAudioWaveForm* wave, const std::string& path,
                                       std::vector<std::uint8_t>& bytes, unsigned sizeStep, unsigned readStep) {
  std::uint64_t inMemory = 0;
  if (Result::failed(wave->GetWaveData()->GetMemorySize(inMemory))) return Result::fail(sizeStep);
  try {
    if (inMemory > 0) {
      bytes.resize(inMemory);
      if (Result::failed(wave->GetWaveData()->GetMemoryBytes(bytes.data(), inMemory))) {
        exceptFlag = 1;
        return Result::fail(sizeStep + 2);
      }
      return Result::kOk;
    }
    CAudioStyleDecorator reader;
    const ResultCode rc = reader.ReadWaveFile(bytes, path);
    if (Result::failed(rc)) {
      if (errorText.isEmpty()) errorText = QString::fromStdString(reader.GetWaveReadErrorText());
      return Result::nest(readStep, rc);
    }
  } catch (const std::bad_alloc&) {
    exceptFlag = 1;
    return Result::fail(sizeStep + 1);
  }
  return Result::kOk;
}

ResultCode styMngr::detectAttacks(const std::int16_t* left, const std::int16_t* right, std::uint64_t frames,
                                  std::vector<std::uint64_t>& out) {
  bool noMemory = false;
  const ResultCode rc = detectAttacksOf(left, right, frames, out, noMemory);
  if (noMemory) exceptFlag = 1;
  return rc;
}

ResultCode styMngr::detectAttacksOf(const std::int16_t* left, const std::int16_t* right, std::uint64_t frames,
                                    std::vector<std::uint64_t>& out, bool& noMemory) {
  if (!left || !right) return Result::fail(1);
  std::vector<std::int16_t> mono;
  try {
    mono.resize(frames);
  } catch (const std::bad_alloc&) {
    noMemory = true;
    return Result::fail(3);
  }
  for (std::uint64_t i = 0; i < frames; ++i) mono[i] = monoOf(left[i], right[i]);
  return detectAttacksInMono(mono, out, noMemory);
}

ResultCode styMngr::detectAttacksInMono(const std::vector<std::int16_t>& mono, std::vector<std::uint64_t>& out,
                                        bool& noMemory) {
  const std::uint64_t frames = mono.size();
  BlockOnsetDetector* detector = onsetDetectorCreate();
  if (!detector) return Result::fail(2);
  try {
    for (std::uint64_t start = 0; start < frames; start += kBlock) {
      const int count = static_cast<int>(std::min<std::uint64_t>(kBlock, frames - start));
      if (onsetDetectorProcess(detector, mono.data() + start, count) != 0) break;
      if (onsetDetectorHasOnset(detector, 0)) {
        out.push_back(std::min(start > kAttackLead ? start - kAttackLead : 0, frames));
      }
    }
  } catch (const std::bad_alloc&) {
    noMemory = true;
    onsetDetectorDestroy(detector);
    return Result::fail(3);
  }
  onsetDetectorDestroy(detector);
  return Result::kOk;
}

std::vector<std::int16_t> styMngr::monoSamples(const std::vector<std::uint8_t>& bytes) {
  const std::uint64_t frames = bytes.size() / 4;
  std::vector<std::int16_t> mono(frames);
  const std::uint8_t* frame = bytes.data();
  for (std::uint64_t i = 0; i < frames; ++i, frame += 4) mono[i] = monoOf(sampleAt(frame, 0), sampleAt(frame, 1));
  return mono;
}

styMngr::AttackSearch styMngr::findAttacks(const std::vector<std::int16_t>& mono) {
  AttackSearch search;
  if (Result::failed(detectAttacksInMono(mono, search.onsets, search.noMemory))) search.code = Result::fail(9);
  return search;
}

ResultCode styMngr::makeAttackPoints(std::uint8_t slot, CAudioWaveForm* wave, const AttackSearch& search,
                                     std::uint16_t* attackMask) {
  if (!wave) return Result::fail(2);
  if (!wave->GetWaveData()) return Result::fail(3);
  if (search.noMemory) exceptFlag = 1;
  if (Result::failed(search.code)) return search.code;
  const std::vector<std::uint64_t>& onsets = search.onsets;
  CAudioWaveInfo* info = wave->GetWaveInfo();
  // Like the beat and sync points, the attack points are made afresh on
  // every write, so writing twice does not list them twice.
  if (info) info->ClearAttackPoints();
  if (onsets.empty()) return Result::kOk;
  if (!info) return Result::fail(10);
  const double spb = samplesPerBeat(slot);
  if (spb == 0.0) return Result::fail(11);
  for (std::size_t i = 0; i < onsets.size(); ++i) {
    if (i >= maxAttack) {
      if (attackMask) *attackMask |= static_cast<std::uint16_t>(1u << slot);
      return Result::kOk;
    }
    auto* point = new (std::nothrow) CAudioPoint;
    if (!point) {
      exceptFlag = 1;
      return Result::fail(12);
    }
    const double onset = static_cast<double>(onsets[i]);
    point->SetPosition(onsets[i]);
    // The low 16 bits of the beat: a 16-bit cast of a larger double is undefined.
    point->SetBeatIndex(static_cast<std::uint16_t>(static_cast<std::uint64_t>(std::trunc(onset / spb))));
    point->SetTickOffset(static_cast<std::uint16_t>(std::trunc(std::fmod(onset, spb) / spb * 1920.0)));
    if (Result::failed(info->AddAttackPoint(point))) {
      delete point;
      return Result::fail(13);
    }
  }
  return Result::kOk;
}

ResultCode styMngr::makeBeatPoints(std::uint8_t slot, CAudioWaveForm* wave, std::uint16_t* beatMask) {
  CAudioWaveInfo* info = wave ? wave->GetWaveInfo() : nullptr;
  if (!info) return Result::kOk;
  if (Result::failed(info->ClearBeatPoints())) return Result::fail(1);
  const std::uint64_t beats = static_cast<std::uint64_t>(numerator) * bars[slot];
  for (std::uint64_t i = 0; i <= beats; ++i) {
    if (i >= maxBeat) {
      if (beatMask) *beatMask |= static_cast<std::uint16_t>(1u << slot);
      return Result::kOk;
    }
    auto* point = new (std::nothrow) CAudioPoint;
    if (!point) {
      exceptFlag = 1;
      return Result::fail(2);
    }
    std::uint64_t position = 0;
    if (i == beats) {
      position = lengths[slot];
    } else if (i > 0) {
      position = static_cast<std::uint64_t>(std::trunc(i * (static_cast<double>(lengths[slot]) / beats)));
    }
    point->SetPosition(position);
    point->SetBeatIndex(static_cast<std::uint16_t>(i));
    point->SetTickOffset(0);
    if (Result::failed(info->AddBeatPoint(point))) {
      delete point;
      return Result::fail(3);
    }
  }
  return Result::kOk;
}

ResultCode styMngr::runSyncAnalysis(std::uint8_t slot, std::uint64_t byteCount, const std::vector<std::int16_t>& mono,
                                    std::vector<std::uint64_t>& out, std::uint64_t parts, std::uint64_t part) const {
  if (byteCount < 4 || byteCount > 0xFFFFFFFCull || mono.size() != byteCount / 4) return Result::fail(1);
  const std::uint64_t frames = mono.size();
  const std::uint64_t first = part * frames / parts;
  const std::uint64_t last = (part + 1) * frames / parts;
  if (last <= first) return Result::fail(2);
  const std::uint64_t beats = static_cast<std::uint64_t>(numerator) * bars[slot];
  if (beats == 0) return Result::fail(3);
  const double spb = static_cast<double>(lengths[slot]) / static_cast<double>(beats);
  const double partLength = static_cast<double>(lengths[slot]) / static_cast<double>(parts);
  const auto start = static_cast<std::int64_t>(std::llround(part * partLength));
  const auto end = static_cast<std::int64_t>(std::llround((part + 1) * partLength));
  std::vector<std::int32_t> grid;
  std::int64_t base = -1;
  for (std::uint64_t b = 0; b <= beats; ++b) {
    const auto t = static_cast<std::int64_t>(std::llround(b * spb));
    if (t < start || t > end) continue;
    const std::int64_t position = b == 0 ? 0 : b == beats ? static_cast<std::int64_t>(lengths[slot]) : t;
    if (base < 0) base = position;
    grid.push_back(static_cast<std::int32_t>(position - base));
  }
  if (grid.empty()) return Result::fail(4);
  std::uint32_t* found = nullptr;
  std::uint32_t count = 0;
  syncAnalyze(found, count, mono.data() + first, static_cast<int>(last - first), grid.data(),
              static_cast<int>(grid.size()), 44100, 1);
  // The array belongs to us now, whatever happens next.
  struct Release {
    std::uint32_t*& array;
    ~Release() { syncRelease(array); }
  } release{found};
  for (std::uint32_t i = 0; i < count; ++i) out.push_back(static_cast<std::uint64_t>(found[i]) + base);
  return Result::kOk;
}

styMngr::SyncSearch styMngr::findSyncPositions(std::uint8_t slot, std::uint64_t byteCount,
                                                const std::vector<std::int16_t>& mono) const {
  SyncSearch search;
  if (byteCount == 0) return search;
  const std::uint64_t frames = byteCount / 4;
  std::uint64_t parts = 1;
  for (;;) {
    search.positions.clear();
    bool failed = false;
    for (std::uint64_t part = 0; part < parts; ++part) {
      try {
        const ResultCode rc = runSyncAnalysis(slot, byteCount, mono, search.positions, parts, part);
        if (Result::failed(rc)) {
          search.code = Result::fail(8);
          return search;
        }
      } catch (const std::exception&) {
        failed = true;
        break;
      }
      if (search.positions.size() > maxSync) break;
    }
    if (!failed) return search;
    // Split the recording and try again; a retry that works leaves no
    // trace of the first attempt.
    search.retried = true;
    if (4 * parts > frames) {
      search.code = Result::fail(12);
      return search;
    }
    parts *= 2;
  }
}

ResultCode styMngr::makeSyncPoints(std::uint8_t slot, CAudioWaveForm* wave, const std::vector<std::uint8_t>& bytes,
                                   const SyncSearch& search, std::uint16_t* syncMask) {
  if (!wave) return Result::fail(1);
  if (!wave->GetWaveData()) return Result::fail(2);
  CAudioStyleWaveFormat* format = wave->GetStyleWaveFormat();
  if (!format) return Result::kOk;
  if (Result::failed(format->ClearSyncroPoints())) return Result::fail(7);

  const std::uint16_t bit = static_cast<std::uint16_t>(1u << slot);
  if (!bytes.empty()) {
    if (Result::failed(search.code)) {
      if (search.retried) {
        if (syncMask) *syncMask |= bit;
        exceptFlag = 1;
      }
      return search.code;
    }
    if (syncMask) *syncMask &= static_cast<std::uint16_t>(~bit);
  }
  const std::vector<std::uint64_t>& positions = search.positions;

  const double spb = samplesPerBeat(slot);
  if (!positions.empty() && spb == 0.0) return Result::fail(9);
  std::uint16_t index = 0;
  std::int64_t previousBeat = -1;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const double position = static_cast<double>(positions[i]);
    const auto beat = static_cast<std::int64_t>(std::trunc(position / spb));
    if (beat == previousBeat && index > 0) {
      // One sync point stands for one beat: the later position replaces it.
      CSyncroPoint* dropped = format->GetSyncroPoint(index - 1u);
      format->DropLastSyncroPoint();
      delete dropped;
      --index;
    }
    if (index >= maxSync) {
      // Only points that are really dropped mark the section.
      if (syncMask) *syncMask |= bit;
      return Result::kOk;
    }
    auto* point = new (std::nothrow) CSyncroPoint;
    if (!point) {
      exceptFlag = 1;
      return Result::fail(10);
    }
    point->SetPosition(positions[i]);
    point->SetIndex(index);
    point->SetTickOffset(static_cast<std::uint16_t>(std::trunc(std::fmod(position, spb) / spb * 1920.0)));
    if (Result::failed(format->AddSyncroPoint(point))) {
      delete point;
      return Result::fail(11);
    }
    ++index;
    previousBeat = beat;
  }
  return Result::kOk;
}
