#pragma once
// The recording shown in the wave view, read through libsndfile as a
// seekable sample source for the waveform layers.

#include <string>

#include "ISeekable.h"
#include "WavSeeker_libSndFile.h"

class WaveFileSeekable : public ISeekable<float> {
 public:
  // A file that cannot be opened gives a source of no frames.
  explicit WaveFileSeekable(const std::wstring& path) { reader.open(path); }

  void seek(std::uint64_t frame) override { reader.seek(frame); }
  std::uint64_t read(float* dst, std::uint64_t frames) override { return reader.read(dst, frames); }
  std::uint64_t length() override { return reader.length(); }
  float sampleRate() override { return reader.sampleRate(); }
  std::uint32_t channels() override { return reader.channels(); }

 private:
  WavSeeker_libSndFile reader;
};
