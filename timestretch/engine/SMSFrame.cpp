#include "SMSFrame.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kOutOfMemory = -1;

// Makes `array` hold at least `count` floats, keeping its contents; a new
// array is zeroed past the old contents. False when the allocation failed
// (the old array is then untouched).
bool ensureCapacity(float*& array, std::int64_t& capacity, std::int64_t count) {
  if (array && capacity >= count) return true;
  const std::int64_t n = std::max<std::int64_t>(count, 1);
  float* bigger = new (std::nothrow) float[static_cast<std::size_t>(n)]();
  if (!bigger) return false;
  if (array) std::memcpy(bigger, array, static_cast<std::size_t>(std::min(capacity, n)) * sizeof(float));
  delete[] array;
  array = bigger;
  capacity = n;
  return true;
}

}  // namespace

SMSFrame::~SMSFrame() {
  delete[] magnitudes;
  delete[] phases;
  delete[] bandBlock;
}

int SMSFrame::Release(std::uint64_t mask, bool keepStorage) {
  const std::uint64_t gone = mask & flags & (kMagnitudes | kPhases | kBandBlock);
  flags &= ~gone;
  if (!keepStorage) {
    if (gone & kMagnitudes) {
      delete[] magnitudes;
      magnitudes = nullptr;
      magnitudeCapacity_ = 0;
    }
    if (gone & kPhases) {
      delete[] phases;
      phases = nullptr;
      phaseCapacity_ = 0;
    }
    if (gone & kBandBlock) {
      delete[] bandBlock;
      bandBlock = nullptr;
    }
    if (!Has(kMagnitudes) && !Has(kPhases)) binCount = 0;
  }
  return 0;
}

int SMSFrame::Allocate(std::uint64_t mask, std::int64_t count, bool zeroFill) {
  count = std::max<std::int64_t>(count, 0);
  const bool wantMagnitudes = (mask & kMagnitudes) != 0;
  const bool wantPhases = (mask & kPhases) != 0;
  // Arrays already valid follow the new bin count too, so no valid array
  // is ever shorter than binCount.
  if (wantMagnitudes || Has(kMagnitudes)) {
    if (!ensureCapacity(magnitudes, magnitudeCapacity_, count)) return 1;
  }
  if (wantPhases || Has(kPhases)) {
    if (!ensureCapacity(phases, phaseCapacity_, count)) return 1;
  }
  if ((mask & kBandBlock) && !bandBlock) {
    bandBlock = new (std::nothrow) float[kBandBlockSize]();
    if (!bandBlock) return 1;
  }
  if (wantMagnitudes || wantPhases) binCount = count;
  if (zeroFill) {
    if (wantMagnitudes) std::fill(magnitudes, magnitudes + count, 0.0f);
    if (wantPhases) std::fill(phases, phases + count, 0.0f);
    if (mask & kBandBlock) std::fill(bandBlock, bandBlock + kBandBlockSize, 0.0f);
  }
  flags |= mask & kContentBits;
  return 0;
}

int SMSFrame::CopyFrom(const SMSFrame& source, SMSFrame& destination, std::uint64_t mask, bool copyTime) {
  if (&source == &destination) return 0;
  const std::uint64_t bits = mask & source.flags & kContentBits;
  // Arrays the copy below overwrites whole need no zeroing first.
  const bool overwritten = (!(bits & kMagnitudes) || source.magnitudes) && (!(bits & kPhases) || source.phases) &&
                           (!(bits & kBandBlock) || source.bandBlock);
  if (bits && destination.Allocate(bits, source.binCount, !overwritten) != 0) throw kOutOfMemory;
  if (bits & (kMagnitudes | kPhases | kCopyMarker)) {
    destination.flags = (destination.flags & ~kSpectralQualifier) | (source.flags & kSpectralQualifier);
  }
  const std::size_t bytes = static_cast<std::size_t>(source.binCount) * sizeof(float);
  if ((bits & kMagnitudes) && bytes) std::memcpy(destination.magnitudes, source.magnitudes, bytes);
  if ((bits & kPhases) && bytes) std::memcpy(destination.phases, source.phases, bytes);
  if (bits & kBandBlock) std::memcpy(destination.bandBlock, source.bandBlock, kBandBlockSize * sizeof(float));
  if (copyTime) destination.time = source.time;
  return 0;
}

int SMSFrame::CopyContent(const SMSFrame* source, SMSFrame* destination, std::uint64_t mask) {
  if (!destination || !source) return 5;
  if (source == destination) return 0;
  const std::uint64_t bits = mask & source->flags & kContentBits;
  if (bits && destination->Allocate(bits, source->binCount, false) != 0) throw kOutOfMemory;
  if ((bits & (kMagnitudes | kPhases)) && source->Has(kSpectralQualifier)) destination->flags |= kSpectralQualifier;
  const std::size_t bytes = static_cast<std::size_t>(source->binCount) * sizeof(float);
  if ((bits & kMagnitudes) && bytes) std::memcpy(destination->magnitudes, source->magnitudes, bytes);
  if ((bits & kPhases) && bytes) std::memcpy(destination->phases, source->phases, bytes);
  if (bits & kBandBlock) std::memcpy(destination->bandBlock, source->bandBlock, kBandBlockSize * sizeof(float));
  return 0;
}

void SMSFrame::AttachBandBlock() {
  // A block already held is as good as a new one once cleared, and a
  // record reused frame after frame then allocates nothing.
  if (bandBlock) {
    std::fill(bandBlock, bandBlock + kBandBlockSize, 0.0f);
  } else {
    bandBlock = new (std::nothrow) float[kBandBlockSize]();
    if (!bandBlock) throw kOutOfMemory;
  }
  flags |= kBandBlock;
}
