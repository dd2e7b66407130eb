#pragma once
// The spectral engine's growable in-memory sound: one mono channel of float
// samples (16-bit PCM values, unscaled) with a length, a capacity and an
// overlap-add cursor. Input objects borrow the caller's sample array (capacity
// 0, only read); output objects own their storage and grow in steps of one
// million samples. The engine sets `storage`, `capacity`, `length` and
// `addCursor` directly where it lends input or rewrites a band, so they are
// public.
//
// Owned storage and every array a read hands out are allocated with new[] and
// released with delete[]. A borrowed storage pointer must be cleared before
// the object is destroyed, and a borrowed object must not be written.
//
// Operations return 0 on success; a negative count or position is refused
// with 1 and changes nothing. Allocation failures throw the int -1.

#include <cstdint>

#include "EngineLog.h"

class CSoundFile {
 public:
  static constexpr int kNamed = 1;
  static constexpr int kMemory = 2;
  static constexpr int kMaxNameLength = 250;
  static constexpr int kScratchSize = 16384;
  static constexpr std::int64_t kGrowthStep = 1000000;

  // Read result codes: who owns *data afterwards.
  static constexpr int kCallerArray = 0;  // the caller's array or a pointer into the storage
  static constexpr int kRefused = 1;
  static constexpr int kNewCopy = 2;   // new array filled from the data; the caller releases it
  static constexpr int kNewZeros = 3;  // new all-zero array; the caller releases it

  // A non-empty name makes a named object, on which writes do nothing; the
  // engine always passes none. Throws the int -1 when an allocation fails.
  explicit CSoundFile(const char* name);
  ~CSoundFile();
  CSoundFile(const CSoundFile&) = delete;
  CSoundFile& operator=(const CSoundFile&) = delete;

  // Appends `count` samples at `length`. Without storage, prints
  // "Error in WriteToSoundFile()" to stderr, changes nothing and returns
  // kRefused.
  int WriteToSoundFile(const float* data, int count);
  // Writes `count` samples from `position`, growing (or creating) the storage
  // as needed; length becomes at least position + count.
  int WriteToSoundFileAt(const float* data, int count, std::int64_t position);
  // Delivers `count` samples from `position` (may lie before 0 or past the
  // end: zeros there, with a linear fade of the last sample past the end)
  // through *data. how == 1 always copies into the caller's array *data;
  // how == 2 hands out a pointer into the storage when the range lies inside
  // the data and a new array otherwise; any other value hands out the pointer
  // or fills the caller's array. A caller's array holds at least `count`
  // floats. Returns kCallerArray, kNewCopy or kNewZeros (kRefused for a
  // negative count). Without storage every sample reads as zero.
  std::int64_t ReadFromSoundFile(float** data, int count, std::int64_t position, std::uint8_t how);
  // Overlap-adds `count` samples at `position`: zeros fill any gap after the
  // cursor, samples up to the cursor are summed and limited to
  // [-32768, 32767], the rest are appended as they are.
  int AddToSoundFile(const float* data, int count, std::int64_t position);

  char name[kMaxNameLength + 1] = {};
  std::int64_t length = 0;
  std::int32_t sampleRate = 44100;
  std::int16_t channels = 1;
  std::int32_t bitsPerSample = 16;
  std::int32_t mode = kMemory;
  float* storage = nullptr;
  std::int64_t capacity = 0;
  // Index of the last sample written by AddToSoundFile.
  std::int32_t addCursor = -1;
  // While 0 the three writing operations do nothing.
  std::int32_t enabled = 1;

 private:
  bool Writable() const { return enabled != 0 && mode == kMemory; }
  // Reallocates to whole steps of a million samples beyond `end`, zeroed
  // past the old capacity.
  void Grow(std::int64_t end);

  float* scratch = nullptr;
  // The engine's console log, made and released with the buffer for a host
  // that reports through it; the buffer's own operations do not print.
  EngineLog* logger = nullptr;

 public:
  const EngineLog* Logger() const { return logger; }
};
