#pragma once
// In-memory sources for the song-analysis tests: generated frames, or a
// source that only claims a length and reads as silence.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ISeekable.h"
#include "TestAudio.h"

class MemorySource : public ISeekable<float> {
 public:
  MemorySource(std::vector<float> interleaved, std::uint32_t channels, float rate = 44100.0f)
      : samples(std::move(interleaved)), chans(channels), rate(rate) {}

  // Stereo 16-bit frames as the work copy holds them, scaled as it reads them.
  static MemorySource fromStereo16(const TestAudio::Stereo16& s) {
    std::vector<float> f(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) f[i] = static_cast<float>(s[i]) / 32768.0f;
    return MemorySource(std::move(f), 2);
  }

  // The left channel alone, as a mono source.
  static MemorySource monoFromStereo16(const TestAudio::Stereo16& s) {
    std::vector<float> f(s.size() / 2);
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<float>(s[2 * i]) / 32768.0f;
    return MemorySource(std::move(f), 1);
  }

  void seek(std::uint64_t frame) override {
    position = std::min<std::uint64_t>(frame, length());
    ++seeks;
  }
  std::uint64_t read(float* dst, std::uint64_t frames) override {
    ++reads;
    const std::uint64_t got = std::min(frames, length() - position);
    std::copy(samples.begin() + static_cast<long>(position * chans),
              samples.begin() + static_cast<long>((position + got) * chans), dst);
    std::fill(dst + got * chans, dst + frames * chans, 0.0f);
    position += got;
    return got;
  }
  std::uint64_t length() override { return samples.size() / chans; }
  float sampleRate() override { return rate; }
  std::uint32_t channels() override { return chans; }

  int reads = 0;
  int seeks = 0;

 private:
  std::vector<float> samples;
  std::uint32_t chans;
  float rate;
  std::uint64_t position = 0;
};

// Claims `frames` frames of silence without holding them.
class SilentSource : public ISeekable<float> {
 public:
  SilentSource(std::uint64_t frames, std::uint32_t channels, float rate = 44100.0f)
      : frames(frames), chans(channels), rate(rate) {}
  void seek(std::uint64_t frame) override { position = std::min(frame, frames); }
  std::uint64_t read(float* dst, std::uint64_t n) override {
    const std::uint64_t got = std::min(n, frames - position);
    std::fill(dst, dst + n * chans, 0.0f);
    position += got;
    return got;
  }
  std::uint64_t length() override { return frames; }
  float sampleRate() override { return rate; }
  std::uint32_t channels() override { return chans; }

 private:
  std::uint64_t frames;
  std::uint32_t chans;
  float rate;
  std::uint64_t position = 0;
};
