#pragma once
// One tempo entry of a recording (an ATmp record): a sample position and
// the tempo from there on, 3 bytes of microseconds per quarter note, most
// significant first (the MIDI tempo layout).

#include <cstdint>
#include <cstring>

#include "ByteFieldAccess.h"
#include "ResultCode.h"

class CAudioTempo {
 public:
  CAudioTempo() = default;
  virtual ~CAudioTempo() = default;
  CAudioTempo(const CAudioTempo&) = default;
  CAudioTempo& operator=(const CAudioTempo&) = default;

  bool operator==(const CAudioTempo& o) const {
    return position_ == o.position_ && std::memcmp(tempo_, o.tempo_, sizeof tempo_) == 0;
  }
  bool operator!=(const CAudioTempo& o) const { return !(*this == o); }

  ResultCode Reset() {
    *this = CAudioTempo();
    return Result::kOk;
  }

  ResultCode SetPosition(std::uint64_t v) { position_ = v; return Result::kOk; }
  ResultCode GetPosition(std::uint64_t& v) const { v = position_; return Result::kOk; }
  // The byte-field rules of ByteFieldAccess.h, 3 bytes wide, zero fill.
  ResultCode SetTempo(const std::uint8_t* bytes, std::uint64_t n) {
    return ByteField::Store(tempo_, sizeof tempo_, 0, bytes, n);
  }
  ResultCode GetTempo(std::uint8_t* buffer, std::uint64_t& n) const {
    return ByteField::Fetch(tempo_, sizeof tempo_, buffer, n);
  }

 private:
  std::uint64_t position_ = 0;
  std::uint8_t tempo_[3] = {0, 0, 0};
};
