#include "CSoundFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

float* allocateOrThrow(std::int64_t count) {
  float* p = new (std::nothrow) float[static_cast<std::size_t>(count)];
  if (!p) throw -1;
  return p;
}

std::int64_t roundedCapacity(std::int64_t end) {
  return (end / CSoundFile::kGrowthStep + 1) * CSoundFile::kGrowthStep;
}

}  // namespace

CSoundFile::CSoundFile(const char* givenName) {
  if (givenName && givenName[0] != '\0') {
    std::strncpy(name, givenName, kMaxNameLength);
    name[kMaxNameLength] = '\0';
    mode = kNamed;
  }
  scratch = new (std::nothrow) float[kScratchSize];
  if (!scratch) throw -1;
  logger = new (std::nothrow) EngineLog();
  if (!logger) {
    delete[] scratch;
    throw -1;
  }
}

CSoundFile::~CSoundFile() {
  delete logger;
  delete[] scratch;
  delete[] storage;
}

void CSoundFile::Grow(std::int64_t end) {
  const std::int64_t newCapacity = roundedCapacity(end);
  float* grown = allocateOrThrow(newCapacity);
  const std::int64_t kept = std::min(capacity, newCapacity);
  std::fill(grown + kept, grown + newCapacity, 0.0f);
  if (storage && kept > 0) std::copy(storage, storage + kept, grown);
  delete[] storage;
  storage = grown;
  capacity = newCapacity;
}

int CSoundFile::WriteToSoundFile(const float* data, int count) {
  if (!Writable()) return 0;
  if (count < 0) return kRefused;
  if (!storage) {
    std::fputs("Error in WriteToSoundFile()\n", stderr);
    return kRefused;
  }
  const std::int64_t end = length + count;
  if (end > capacity) Grow(end);
  std::copy(data, data + count, storage + length);
  length = end;
  return 0;
}

int CSoundFile::WriteToSoundFileAt(const float* data, int count, std::int64_t position) {
  if (!Writable()) return 0;
  if (count < 0 || position < 0) return kRefused;
  const std::int64_t end = position + count;
  if (storage) {
    if (end > capacity) Grow(std::max(length, end));
  } else {
    const std::int64_t newCapacity = roundedCapacity(end);
    storage = allocateOrThrow(newCapacity);
    std::fill(storage, storage + newCapacity, 0.0f);
    capacity = newCapacity;
  }
  std::copy(data, data + count, storage + position);
  length = std::max(length, end);
  return 0;
}

std::int64_t CSoundFile::ReadFromSoundFile(float** data, int count, std::int64_t position, std::uint8_t how) {
  if (count < 0) return kRefused;
  const bool allocate = how == 2;
  // Without storage nothing is held: every read lies past the end.
  const std::int64_t held = storage ? length : 0;
  const bool inside = position >= 0 && position + count < held;
  if (inside && how != 1) {
    *data = storage + position;
    return kCallerArray;
  }
  float* out = *data;
  int code = kCallerArray;
  if (allocate) {
    out = new (std::nothrow) float[static_cast<std::size_t>(count)];
    if (!out) {
      *data = nullptr;
      throw -1;
    }
    code = (position > held) ? kNewZeros : kNewCopy;
  } else if (!out) {
    throw -1;
  }
  if (inside) {
    std::copy(storage + position, storage + position + count, out);
  } else if (position < 0) {
    // Zeros before the start, then what is stored (zeros past the end).
    const std::int64_t lead = std::min<std::int64_t>(count, -position);
    std::fill(out, out + lead, 0.0f);
    const std::int64_t fromStore = std::min<std::int64_t>(count - lead, held);
    if (fromStore > 0) std::copy(storage, storage + fromStore, out + lead);
    std::fill(out + lead + std::max<std::int64_t>(fromStore, 0), out + count, 0.0f);
  } else if (position <= held) {
    const std::int64_t stored = held - position;
    if (stored > 0) std::copy(storage + position, storage + held, out);
    const std::int64_t r = position + count - held;
    if (held == 0) {
      std::fill(out + stored, out + count, 0.0f);
    } else {
      const float last = storage[held - 1];
      for (std::int64_t j = 0; j < r; ++j)
        out[stored + j] = last * static_cast<float>(r - 1 - j) / static_cast<float>(r);
    }
  } else {
    std::fill(out, out + count, 0.0f);
  }
  if (allocate) *data = out;
  return code;
}

int CSoundFile::AddToSoundFile(const float* data, int count, std::int64_t position) {
  if (enabled == 0) return 0;
  if (count < 0 || position < 0) return kRefused;

  if (addCursor + 1 < position) {
    std::fill(scratch, scratch + kScratchSize, 0.0f);
    while (addCursor + 1 < position) {
      const int chunk = static_cast<int>(std::min<std::int64_t>(kScratchSize, position - (addCursor + 1)));
      WriteToSoundFileAt(scratch, chunk, addCursor + 1);
      addCursor += chunk;
    }
    length = addCursor + 1;
  }

  const std::int64_t overlap = std::max<std::int64_t>(0, std::min<std::int64_t>(count, addCursor + 1 - position));
  for (std::int64_t done = 0; done < overlap; done += kScratchSize) {
    const int chunk = static_cast<int>(std::min<std::int64_t>(kScratchSize, overlap - done));
    float* into = scratch;
    if (ReadFromSoundFile(&into, chunk, position + done, 1) != kCallerArray) return 1;
    for (int i = 0; i < chunk; ++i) {
      const float sum = scratch[i] + data[done + i];
      scratch[i] = sum > 32767.0f ? 32767.0f : (sum < -32768.0f ? -32768.0f : sum);
    }
    WriteToSoundFileAt(scratch, chunk, position + done);
  }

  if (position + count > addCursor + 1) {
    const int rest = static_cast<int>(count - overlap);
    WriteToSoundFileAt(data + overlap, rest, addCursor + 1);
    addCursor += rest;
    length = addCursor + 1;
  }
  return 0;
}
