#pragma once
// A seekable source of interleaved float sample frames, scaled to [-1, 1).
// Read by the analysis engines, the time-stretch worker and the playback
// callback; implemented over our own WAV reader and over libsndfile.

#include <cstdint>

template <typename T>
class ISeekable {
 public:
  virtual ~ISeekable() = default;

  // Moves the read position to `frame`. A purely sequential source may honour
  // only 0 (rewind); see the implementation.
  virtual void seek(std::uint64_t frame) = 0;

  // Writes up to `frames` frames (frames * channels() values, interleaved)
  // into `dst` and returns the number of whole frames read. Values past the
  // frames read are zero.
  virtual std::uint64_t read(T* dst, std::uint64_t frames) = 0;

  // Number of frames in the source.
  virtual std::uint64_t length() = 0;

  virtual float sampleRate() = 0;

  virtual std::uint32_t channels() = 0;
};
