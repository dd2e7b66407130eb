#pragma once
// One analysis point of a recording (a BPnt, OPnt, APnt or APt2 record): a
// sample position, the beat it falls in and its offset inside that beat in
// 1/1920 of a beat.

#include <cstdint>

#include "ResultCode.h"

class CAudioPoint {
 public:
  CAudioPoint() = default;
  virtual ~CAudioPoint() = default;
  CAudioPoint(const CAudioPoint&) = default;
  CAudioPoint& operator=(const CAudioPoint&) = default;

  bool operator==(const CAudioPoint& o) const {
    return position_ == o.position_ && beatIndex_ == o.beatIndex_ && tickOffset_ == o.tickOffset_;
  }
  bool operator!=(const CAudioPoint& o) const { return !(*this == o); }

  ResultCode Reset() {
    *this = CAudioPoint();
    return Result::kOk;
  }

  ResultCode SetPosition(std::uint64_t v) { position_ = v; return Result::kOk; }
  ResultCode GetPosition(std::uint64_t& v) const { v = position_; return Result::kOk; }
  ResultCode SetBeatIndex(std::uint16_t v) { beatIndex_ = v; return Result::kOk; }
  ResultCode GetBeatIndex(std::uint16_t& v) const { v = beatIndex_; return Result::kOk; }
  ResultCode SetTickOffset(std::uint16_t v) { tickOffset_ = v; return Result::kOk; }
  ResultCode GetTickOffset(std::uint16_t& v) const { v = tickOffset_; return Result::kOk; }

 private:
  std::uint64_t position_ = 0;
  std::uint16_t beatIndex_ = 0;
  std::uint16_t tickOffset_ = 0;
};
