#pragma once
// One per-channel byte pair of the first format version (a Cntt chunk): a
// source channel and the value that goes into byte b1 of that channel's
// table ranges (bit 7 flag, bits 0..6 code).

#include <cstdint>

#include "ResultCode.h"

class CCnttData {
 public:
  virtual ~CCnttData() = default;

  bool operator==(const CCnttData& other) const {
    return channel_ == other.channel_ && value_ == other.value_;
  }
  bool operator!=(const CCnttData& other) const { return !(*this == other); }

  // Both bytes 0.
  ResultCode Clear();
  // channel = c and value = b1 of range 1 of the default table of c; a
  // channel above 15 -> 0x80000002 with both bytes 0.
  ResultCode InitDefault(std::uint8_t channel);

  ResultCode SetChannel(std::uint8_t v) { channel_ = v; return 0; }
  ResultCode GetChannel(std::uint8_t& v) const { v = channel_; return 0; }
  ResultCode SetValue(std::uint8_t v) { value_ = v; return 0; }
  ResultCode GetValue(std::uint8_t& v) const { v = value_; return 0; }
  ResultCode SetCode(std::uint8_t code);
  ResultCode GetCode(std::uint8_t& code) const { code = value_ & 0x7F; return 0; }
  ResultCode SetFlag(std::uint8_t flag);
  ResultCode GetFlag(std::uint8_t& flag) const { flag = value_ >> 7; return 0; }

 private:
  std::uint8_t channel_ = 0;
  std::uint8_t value_ = 0;
};
