#include "CCnttData.h"

#include "DefaultCtb2Table.h"

ResultCode CCnttData::Clear() {
  channel_ = 0;
  value_ = 0;
  return Result::kOk;
}

ResultCode CCnttData::InitDefault(std::uint8_t channel) {
  Clear();
  if (channel > 15) return Result::fail(2);
  channel_ = channel;
  // b1 of range 1: body offset 22 + 6 (range 1) + 1.
  value_ = DefaultCtb2Table[channel][kDefaultCtb2BodyOffset + 29];
  return Result::kOk;
}

ResultCode CCnttData::SetCode(std::uint8_t code) {
  value_ = static_cast<std::uint8_t>((value_ & 0x80) | (code & 0x7F));
  return Result::kOk;
}

ResultCode CCnttData::SetFlag(std::uint8_t flag) {
  value_ = static_cast<std::uint8_t>((value_ & 0x7F) | ((flag & 1) << 7));
  return Result::kOk;
}
