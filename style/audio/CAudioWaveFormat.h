#pragma once
// The PCM format of one recording (the Afmt chunk): the fields of a WAV
// "fmt " chunk. Rates are 64-bit here and 32-bit on file.

#include <cstdint>

#include "ResultCode.h"

class CAudioWaveFormat {
 public:
  // Every field 0; SetDefault gives the program's own format.
  CAudioWaveFormat() = default;
  virtual ~CAudioWaveFormat() = default;
  CAudioWaveFormat(const CAudioWaveFormat&) = default;
  CAudioWaveFormat& operator=(const CAudioWaveFormat&) = default;

  bool operator==(const CAudioWaveFormat& o) const {
    return formatTag_ == o.formatTag_ && channels_ == o.channels_ && sampleRate_ == o.sampleRate_ &&
           byteRate_ == o.byteRate_ && blockAlign_ == o.blockAlign_ && bitsPerSample_ == o.bitsPerSample_;
  }
  bool operator!=(const CAudioWaveFormat& o) const { return !(*this == o); }

  // PCM, stereo, 44100 Hz, 176400 bytes a second, 4 bytes a frame, 16 bits.
  ResultCode SetDefault() {
    formatTag_ = 1;
    channels_ = 2;
    sampleRate_ = 44100;
    byteRate_ = 176400;
    blockAlign_ = 4;
    bitsPerSample_ = 16;
    return Result::kOk;
  }
  ResultCode Reset() { return SetDefault(); }

  ResultCode SetFormatTag(std::uint16_t v) { formatTag_ = v; return Result::kOk; }
  ResultCode GetFormatTag(std::uint16_t& v) const { v = formatTag_; return Result::kOk; }
  ResultCode SetChannels(std::uint16_t v) { channels_ = v; return Result::kOk; }
  ResultCode GetChannels(std::uint16_t& v) const { v = channels_; return Result::kOk; }
  ResultCode SetSampleRate(std::uint64_t v) { sampleRate_ = v; return Result::kOk; }
  ResultCode GetSampleRate(std::uint64_t& v) const { v = sampleRate_; return Result::kOk; }
  ResultCode SetByteRate(std::uint64_t v) { byteRate_ = v; return Result::kOk; }
  ResultCode GetByteRate(std::uint64_t& v) const { v = byteRate_; return Result::kOk; }
  ResultCode SetBlockAlign(std::uint16_t v) { blockAlign_ = v; return Result::kOk; }
  ResultCode GetBlockAlign(std::uint16_t& v) const { v = blockAlign_; return Result::kOk; }
  ResultCode SetBitsPerSample(std::uint16_t v) { bitsPerSample_ = v; return Result::kOk; }
  ResultCode GetBitsPerSample(std::uint16_t& v) const { v = bitsPerSample_; return Result::kOk; }

 private:
  std::uint16_t formatTag_ = 0;
  std::uint16_t channels_ = 0;
  std::uint64_t sampleRate_ = 0;
  std::uint64_t byteRate_ = 0;
  std::uint16_t blockAlign_ = 0;
  std::uint16_t bitsPerSample_ = 0;
};
