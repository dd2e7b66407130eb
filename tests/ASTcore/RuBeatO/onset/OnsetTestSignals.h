#pragma once
// Sample sources and generated signals for the onset detector tests.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "ISeekable.h"

namespace onsettest {

// Interleaved 16-bit stereo frames.
using Stereo16 = std::vector<std::int16_t>;

// An in-memory seekable source over 16-bit stereo frames, delivering floats
// scaled by 1/32768. Counts its reads; can be told to stop early.
class MemorySource : public ISeekable<float> {
 public:
  explicit MemorySource(Stereo16 frames, std::uint32_t channels = 2)
      : data_(std::move(frames)), channels_(channels) {}

  // The source delivers only this many frames, then nothing (a truncated
  // file); length() still announces the full length.
  void deliverOnly(std::uint64_t frames) { deliverable_ = frames; }

  void seek(std::uint64_t frame) override {
    ++seeks;
    pos_ = frame;
  }

  std::uint64_t read(float* dst, std::uint64_t frames) override {
    ++reads;
    const std::uint64_t available = std::min<std::uint64_t>(deliverable_, length());
    const std::uint64_t n = pos_ >= available ? 0 : std::min(frames, available - pos_);
    for (std::uint64_t i = 0; i < n * channels_; ++i) dst[i] = data_[pos_ * channels_ + i] / 32768.0f;
    for (std::uint64_t i = n * channels_; i < frames * channels_; ++i) dst[i] = 0.0f;
    pos_ += n;
    return n;
  }

  std::uint64_t length() override { return data_.size() / channels_; }
  float sampleRate() override { return 44100.0f; }
  std::uint32_t channels() override { return channels_; }

  int reads = 0;
  int seeks = 0;

 private:
  Stereo16 data_;
  std::uint32_t channels_;
  std::uint64_t pos_ = 0;
  std::uint64_t deliverable_ = ~std::uint64_t{0};
};

inline std::int16_t clip16(double v) {
  return static_cast<std::int16_t>(std::lround(std::max(-32768.0, std::min(32767.0, v))));
}

// Silence of `frames` stereo frames.
inline Stereo16 silence(std::size_t frames) { return Stereo16(frames * 2, 0); }

// A sharp click (alternating-sign decaying burst of 2 ms) at frame `at`.
inline void addClick(Stereo16& s, std::size_t at, double amplitude = 0.8) {
  const std::size_t frames = s.size() / 2;
  for (std::size_t i = 0; i < 88 && at + i < frames; ++i) {
    const double v = amplitude * 32767.0 * std::exp(-5.0 * i / 88.0) * ((i % 2) ? -1.0 : 1.0);
    s[2 * (at + i)] = clip16(s[2 * (at + i)] + v);
    s[2 * (at + i) + 1] = clip16(s[2 * (at + i) + 1] + v);
  }
}

// A burst of white noise at frame `at` decaying with the given time constant.
inline void addNoiseBurst(Stereo16& s, std::size_t at, double seconds, double tau, unsigned seed,
                          double amplitude = 0.7) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  const std::size_t frames = s.size() / 2;
  const auto len = static_cast<std::size_t>(seconds * 44100.0);
  for (std::size_t i = 0; i < len && at + i < frames; ++i) {
    const double env = amplitude * 32767.0 * std::exp(-static_cast<double>(i) / (tau * 44100.0));
    s[2 * (at + i)] = clip16(s[2 * (at + i)] + env * dist(gen));
    s[2 * (at + i) + 1] = clip16(s[2 * (at + i) + 1] + env * dist(gen));
  }
}

// Mono mix as the style export makes it: (left + right) / 2 toward zero.
inline std::vector<std::int16_t> monoMix(const Stereo16& s) {
  std::vector<std::int16_t> mono(s.size() / 2);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    mono[i] = static_cast<std::int16_t>((int{s[2 * i]} + int{s[2 * i + 1]}) / 2);
  }
  return mono;
}

}  // namespace onsettest
