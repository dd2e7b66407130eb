#pragma once
// A fingerprint of a recording's audio: its length in frames and a 64-bit
// hash of its samples as read. Two takes of the same length whose samples
// differ anywhere get different fingerprints (but for a hash collision), a
// file whose header alone changed keeps its own. Not a protection against
// deliberate forgery: it only tells takes apart.

#include <cstddef>
#include <cstdint>

struct RecordingFingerprint {
  std::uint64_t frames = 0;
  std::uint64_t hash = 0;

  bool operator==(const RecordingFingerprint& o) const { return frames == o.frames && hash == o.hash; }
  bool operator!=(const RecordingFingerprint& o) const { return !(*this == o); }
};

// A 64-bit hash over the bytes fed to it, in any number of pieces: the
// same bytes give the same value however they are split.
class FingerprintHash {
 public:
  void add(const void* data, std::size_t bytes);
  std::uint64_t value() const;

 private:
  std::uint64_t state = 0xcbf29ce484222325ull;
  std::uint64_t pending = 0;  // the bytes of a word not yet complete, first byte lowest
  int pendingBytes = 0;
  std::uint64_t length = 0;
};
