#include "CAtabData.h"

#include <cstring>

#include "ByteFieldAccess.h"

CAtabData::CAtabData() { Clear(); }

bool CAtabData::operator==(const CAtabData& o) const {
  return table_ == o.table_ && std::memcmp(nameRecord_, o.nameRecord_, sizeof nameRecord_) == 0;
}

ResultCode CAtabData::Clear() {
  table_.Clear();
  table_.SetId(reinterpret_cast<const std::uint8_t*>("Atab"), 4);
  for (std::uint8_t r = 0; r < CCtabData::kRangeCount; ++r) table_.SetRangeByte(r, 4, 127);
  std::memset(nameRecord_, 0, sizeof nameRecord_);
  return Result::kOk;
}

ResultCode CAtabData::Reset(std::uint8_t channel) {
  Clear();
  if (channel > 15) return Result::fail(2);
  static const std::uint8_t kMaskA[2] = {0x0F, 0xFF};
  static const std::uint8_t kMaskB[5] = {0x07, 0xFF, 0xFF, 0xFF, 0xFF};
  table_.SetSourceChannel(channel);
  table_.SetDestinationChannel(0x29);
  table_.SetAttr(1);
  table_.SetMaskA(kMaskA, sizeof kMaskA);
  table_.SetMaskB(kMaskB, sizeof kMaskB);
  return Result::kOk;
}

ResultCode CAtabData::CopyFrom(const CAtabData& other) {
  *this = other;
  return Result::kOk;
}

ResultCode CAtabData::SetBlock(const std::uint8_t* b, std::uint64_t n) {
  return ByteField::Store(nameRecord_, sizeof nameRecord_, 0, b, n);
}

ResultCode CAtabData::GetBlock(std::uint8_t* b, std::uint64_t& n) const {
  return ByteField::Fetch(nameRecord_, sizeof nameRecord_, b, n);
}
