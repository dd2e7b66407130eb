#include "CCtabData.h"

#include <algorithm>
#include <cstring>

#include "DefaultCtb2Table.h"

namespace {

ResultCode SetGroup(std::uint8_t* field, std::size_t width, std::uint8_t fill, const std::uint8_t* bytes,
                    std::uint64_t n) {
  if (!bytes || n == 0) return Result::fail(1);
  std::memset(field, fill, width);
  std::memcpy(field, bytes, std::min<std::uint64_t>(n, width));
  return Result::kOk;
}

ResultCode GetGroup(const std::uint8_t* field, std::size_t width, std::uint8_t* buffer, std::uint64_t& n) {
  if (!buffer || n == 0) return Result::fail(1);
  if (n < width) {
    std::memcpy(buffer, field, n);
    return Result::kOk;
  }
  std::memcpy(buffer, field, width);
  n = width;
  return Result::kOk;
}

}  // namespace

CCtabData::CCtabData() { Clear(); }

bool CCtabData::operator==(const CCtabData& o) const {
  return std::memcmp(id_, o.id_, sizeof id_) == 0 && sourceChannel_ == o.sourceChannel_ &&
         std::memcmp(name_, o.name_, sizeof name_) == 0 && destinationChannel_ == o.destinationChannel_ &&
         attr_ == o.attr_ && std::memcmp(maskA_, o.maskA_, sizeof maskA_) == 0 &&
         std::memcmp(maskB_, o.maskB_, sizeof maskB_) == 0 && selA_ == o.selA_ && selB_ == o.selB_ &&
         splitLow_ == o.splitLow_ && splitHigh_ == o.splitHigh_ &&
         std::memcmp(ranges_, o.ranges_, sizeof ranges_) == 0 && extA_ == o.extA_ && extB_ == o.extB_ &&
         std::memcmp(extWord_, o.extWord_, sizeof extWord_) == 0 && extC_ == o.extC_ && extD_ == o.extD_ &&
         tailByte_ == o.tailByte_ && std::memcmp(tailWord_, o.tailWord_, sizeof tailWord_) == 0 &&
         pairCount_ == o.pairCount_ && std::memcmp(pairs_, o.pairs_, sizeof pairs_) == 0;
}

ResultCode CCtabData::Clear() {
  std::memset(id_, ' ', sizeof id_);
  sourceChannel_ = 0;
  std::memset(name_, ' ', sizeof name_);
  destinationChannel_ = 0;
  attr_ = 0;
  std::memset(maskA_, 0, sizeof maskA_);
  std::memset(maskB_, 0, sizeof maskB_);
  selA_ = 0;
  selB_ = 0;
  splitLow_ = 0;
  splitHigh_ = 127;
  std::memset(ranges_, 0, sizeof ranges_);
  extA_ = 0;
  extB_ = 0;
  std::memset(extWord_, 0, sizeof extWord_);
  extC_ = 0;
  extD_ = 0;
  tailByte_ = 0;
  std::memset(tailWord_, 0, sizeof tailWord_);
  pairCount_ = 0;
  std::memset(pairs_, 0, sizeof pairs_);
  return Result::kOk;
}

ResultCode CCtabData::InitDefault(std::uint8_t channel) {
  Clear();
  if (channel > 15) return Result::fail(2);
  const std::uint8_t* e = DefaultCtb2Table[channel];
  std::memcpy(id_, e, 4);
  const std::uint8_t* b = e + kDefaultCtb2BodyOffset;
  sourceChannel_ = channel;
  std::memcpy(name_, b + 1, 8);
  destinationChannel_ = b[9];
  attr_ = b[10];
  std::memcpy(maskA_, b + 11, 2);
  std::memcpy(maskB_, b + 13, 5);
  selA_ = b[18];
  selB_ = b[19];
  splitLow_ = b[20];
  splitHigh_ = b[21];
  std::memcpy(ranges_, b + 22, sizeof ranges_);
  extA_ = b[40];
  extB_ = b[41];
  std::memcpy(extWord_, b + 42, 2);
  extC_ = b[44];
  extD_ = b[45];
  tailByte_ = b[46];
  std::memcpy(tailWord_, b + 47, 2);
  std::memcpy(pairs_, b + 49, sizeof pairs_);
  pairCount_ = kPairCount;
  return Result::kOk;
}

ResultCode CCtabData::SyncRangeFlags() {
  const std::uint8_t flag = ranges_[1][1] & 0x80;
  if (splitLow_ == 0) ranges_[0][1] = static_cast<std::uint8_t>((ranges_[0][1] & 0x7F) | flag);
  if (splitHigh_ == 127) ranges_[2][1] = static_cast<std::uint8_t>((ranges_[2][1] & 0x7F) | flag);
  return Result::kOk;
}

ResultCode CCtabData::SetId(const std::uint8_t* b, std::uint64_t n) { return SetGroup(id_, 4, ' ', b, n); }
ResultCode CCtabData::GetId(std::uint8_t* b, std::uint64_t& n) const { return GetGroup(id_, 4, b, n); }
ResultCode CCtabData::SetName(const std::uint8_t* b, std::uint64_t n) { return SetGroup(name_, 8, ' ', b, n); }
ResultCode CCtabData::GetName(std::uint8_t* b, std::uint64_t& n) const { return GetGroup(name_, 8, b, n); }
ResultCode CCtabData::SetMaskA(const std::uint8_t* b, std::uint64_t n) { return SetGroup(maskA_, 2, 0, b, n); }
ResultCode CCtabData::GetMaskA(std::uint8_t* b, std::uint64_t& n) const { return GetGroup(maskA_, 2, b, n); }
ResultCode CCtabData::SetMaskB(const std::uint8_t* b, std::uint64_t n) { return SetGroup(maskB_, 5, 0, b, n); }
ResultCode CCtabData::GetMaskB(std::uint8_t* b, std::uint64_t& n) const { return GetGroup(maskB_, 5, b, n); }
ResultCode CCtabData::SetExtWord(const std::uint8_t* b, std::uint64_t n) { return SetGroup(extWord_, 2, 0, b, n); }
ResultCode CCtabData::GetExtWord(std::uint8_t* b, std::uint64_t& n) const { return GetGroup(extWord_, 2, b, n); }
ResultCode CCtabData::SetTailWord(const std::uint8_t* b, std::uint64_t n) { return SetGroup(tailWord_, 2, 0, b, n); }
ResultCode CCtabData::GetTailWord(std::uint8_t* b, std::uint64_t& n) const { return GetGroup(tailWord_, 2, b, n); }

ResultCode CCtabData::SetRangeByte(std::uint8_t range, std::uint8_t index, std::uint8_t value) {
  if (range >= kRangeCount || index >= kRangeBytes) return Result::fail(1);
  ranges_[range][index] = value;
  return Result::kOk;
}

ResultCode CCtabData::GetRangeByte(std::uint8_t range, std::uint8_t index, std::uint8_t& value) const {
  if (range >= kRangeCount || index >= kRangeBytes) return Result::fail(1);
  value = ranges_[range][index];
  return Result::kOk;
}

ResultCode CCtabData::SetB1Code(std::uint8_t range, std::uint8_t code) {
  if (range >= kRangeCount) return Result::fail(1);
  ranges_[range][1] = static_cast<std::uint8_t>((ranges_[range][1] & 0x80) | (code & 0x7F));
  return Result::kOk;
}

ResultCode CCtabData::GetB1Code(std::uint8_t range, std::uint8_t& code) const {
  if (range >= kRangeCount) return Result::fail(1);
  code = ranges_[range][1] & 0x7F;
  return Result::kOk;
}

ResultCode CCtabData::SetB1Flag(std::uint8_t range, std::uint8_t flag) {
  if (range >= kRangeCount) return Result::fail(1);
  ranges_[range][1] = static_cast<std::uint8_t>((ranges_[range][1] & 0x7F) | ((flag & 1) << 7));
  return Result::kOk;
}

ResultCode CCtabData::GetB1Flag(std::uint8_t range, std::uint8_t& flag) const {
  if (range >= kRangeCount) return Result::fail(1);
  flag = ranges_[range][1] >> 7;
  return Result::kOk;
}

ResultCode CCtabData::SetPairFirst(std::uint8_t index, std::uint8_t value) {
  if (index >= kPairCount) return Result::fail(1);
  pairs_[index][0] = value;
  if (pairCount_ < index + 1) pairCount_ = static_cast<std::uint8_t>(index + 1);
  return Result::kOk;
}

ResultCode CCtabData::GetPairFirst(std::uint8_t index, std::uint8_t& value) const {
  if (index >= kPairCount) return Result::fail(1);
  value = pairs_[index][0];
  return Result::kOk;
}

ResultCode CCtabData::SetPairSecond(std::uint8_t index, std::uint8_t value) {
  if (index >= kPairCount) return Result::fail(1);
  pairs_[index][1] = value;
  if (pairCount_ < index + 1) pairCount_ = static_cast<std::uint8_t>(index + 1);
  return Result::kOk;
}

ResultCode CCtabData::GetPairSecond(std::uint8_t index, std::uint8_t& value) const {
  if (index >= kPairCount) return Result::fail(1);
  value = pairs_[index][1];
  return Result::kOk;
}
