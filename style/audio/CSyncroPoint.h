#pragma once
// One synchronisation point of a recording (an SPnt record): a sample
// position, the number of the beat it belongs to and a packed 32-bit value
// byteA << 24 | byteB << 16 | tickOffset, the offset inside the beat being
// in 1/1920 of a beat.

#include <cstdint>

#include "ResultCode.h"

class CSyncroPoint {
 public:
  CSyncroPoint() = default;
  virtual ~CSyncroPoint() = default;
  CSyncroPoint(const CSyncroPoint&) = default;
  CSyncroPoint& operator=(const CSyncroPoint&) = default;

  bool operator==(const CSyncroPoint& o) const {
    return position_ == o.position_ && index_ == o.index_ && byteA_ == o.byteA_ && byteB_ == o.byteB_ &&
           tickOffset_ == o.tickOffset_;
  }
  bool operator!=(const CSyncroPoint& o) const { return !(*this == o); }

  // Position 0, index 0, bytes 4 and 4, offset 0.
  ResultCode Reset() {
    *this = CSyncroPoint();
    return Result::kOk;
  }

  ResultCode SetPosition(std::uint64_t v) { position_ = v; return Result::kOk; }
  ResultCode GetPosition(std::uint64_t& v) const { v = position_; return Result::kOk; }
  ResultCode SetIndex(std::uint16_t v) { index_ = v; return Result::kOk; }
  ResultCode GetIndex(std::uint16_t& v) const { v = index_; return Result::kOk; }
  ResultCode SetByteA(std::uint8_t v) { byteA_ = v; return Result::kOk; }
  ResultCode GetByteA(std::uint8_t& v) const { v = byteA_; return Result::kOk; }
  ResultCode SetByteB(std::uint8_t v) { byteB_ = v; return Result::kOk; }
  ResultCode GetByteB(std::uint8_t& v) const { v = byteB_; return Result::kOk; }
  ResultCode SetTickOffset(std::uint16_t v) { tickOffset_ = v; return Result::kOk; }
  ResultCode GetTickOffset(std::uint16_t& v) const { v = tickOffset_; return Result::kOk; }

  ResultCode SetPackedTime(std::uint32_t packed) {
    byteA_ = static_cast<std::uint8_t>(packed >> 24);
    byteB_ = static_cast<std::uint8_t>(packed >> 16);
    tickOffset_ = static_cast<std::uint16_t>(packed);
    return Result::kOk;
  }
  ResultCode GetPackedTime(std::uint32_t& packed) const {
    packed = (std::uint32_t{byteA_} << 24) | (std::uint32_t{byteB_} << 16) | tickOffset_;
    return Result::kOk;
  }

 private:
  std::uint64_t position_ = 0;
  std::uint16_t index_ = 0;
  std::uint8_t byteA_ = 4;
  std::uint8_t byteB_ = 4;
  std::uint16_t tickOffset_ = 0;
};
