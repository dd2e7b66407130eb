#pragma once
// How long a recording says it is against how long it really is. A WAV or
// AIFF file cut short (a full disk, a recorder that stopped) keeps the
// header written when the recording began; libsndfile quietly reads the
// frames that are there, so the cut is seen only by comparing the header's
// promise with that count.

#include <cstdint>
#include <string>

#include "ResultCode.h"

struct RecordingLength {
  std::uint64_t heldFrames = 0;      // frames the file really holds
  std::uint64_t declaredFrames = 0;  // frames its header promises (0: no promise read)
  int sampleRate = 0;

  // True when the header promises more frames than the file holds.
  bool cutShort() const { return declaredFrames > heldFrames; }
  double heldSeconds() const;
  double declaredSeconds() const;

  // Measures `path`: 0x80000001 when libsndfile cannot open it. A header
  // that is neither RIFF/WAVE nor FORM/AIFF(C), or whose chunks cannot be
  // walked, gives no promise (declaredFrames 0), so nothing is called short.
  static ResultCode measure(const std::wstring& path, RecordingLength& out);
};
