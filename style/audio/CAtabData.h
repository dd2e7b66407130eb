#pragma once
// The channel table of an audio section (the Atab chunk): the fields of
// the style's channel table CCtabData, held in one, plus the 50-byte name
// record of the recording the section plays, which the Atab body carries
// between destinationChannel and attr. The first table of a section is the
// one through which the model finds the section of a recording.
//
// Byte-group setters and getters follow ByteFieldAccess.h; `id` and `name`
// fill with blanks, the others with zeros.

#include <cstdint>

#include "CCtabData.h"
#include "ResultCode.h"

class CAtabData {
 public:
  static constexpr int kNameRecordSize = 50;

  // id "Atab", name blanks, splitHigh 127, b4 127 in every range, all else 0.
  CAtabData();
  virtual ~CAtabData() = default;
  CAtabData(const CAtabData&) = default;
  CAtabData& operator=(const CAtabData&) = default;

  bool operator==(const CAtabData& other) const;
  bool operator!=(const CAtabData& other) const { return !(*this == other); }

  // Back to the constructed values; 0.
  ResultCode Clear();
  // The constructed values, then for a channel 0..15: sourceChannel = the
  // channel, destinationChannel 0x29, attr 1, maskA 0F FF, maskB 07 FF FF FF
  // FF. A channel above 15 -> 0x80000002 with the constructed values.
  ResultCode Reset(std::uint8_t channel);
  // Every field from id to the pairs and their count; 0.
  ResultCode CopyFrom(const CAtabData& other);

  // The table fields other than the name record, for the chunk code that
  // reads and writes them field by field.
  CCtabData& GetTable() { return table_; }
  const CCtabData& GetTable() const { return table_; }

  ResultCode SetId(const std::uint8_t* b, std::uint64_t n) { return table_.SetId(b, n); }
  ResultCode GetId(std::uint8_t* b, std::uint64_t& n) const { return table_.GetId(b, n); }
  ResultCode SetName(const std::uint8_t* b, std::uint64_t n) { return table_.SetName(b, n); }
  ResultCode GetName(std::uint8_t* b, std::uint64_t& n) const { return table_.GetName(b, n); }
  // The 50-byte name record.
  ResultCode SetBlock(const std::uint8_t* b, std::uint64_t n);
  ResultCode GetBlock(std::uint8_t* b, std::uint64_t& n) const;
  ResultCode SetMaskA(const std::uint8_t* b, std::uint64_t n) { return table_.SetMaskA(b, n); }
  ResultCode GetMaskA(std::uint8_t* b, std::uint64_t& n) const { return table_.GetMaskA(b, n); }
  ResultCode SetMaskB(const std::uint8_t* b, std::uint64_t n) { return table_.SetMaskB(b, n); }
  ResultCode GetMaskB(std::uint8_t* b, std::uint64_t& n) const { return table_.GetMaskB(b, n); }
  ResultCode SetExtWord(const std::uint8_t* b, std::uint64_t n) { return table_.SetExtWord(b, n); }
  ResultCode GetExtWord(std::uint8_t* b, std::uint64_t& n) const { return table_.GetExtWord(b, n); }
  ResultCode SetTailWord(const std::uint8_t* b, std::uint64_t n) { return table_.SetTailWord(b, n); }
  ResultCode GetTailWord(std::uint8_t* b, std::uint64_t& n) const { return table_.GetTailWord(b, n); }

  ResultCode SetSourceChannel(std::uint8_t v) { return table_.SetSourceChannel(v); }
  // The source channel: the byte by which a section's tables are found.
  ResultCode GetHeadByte(std::uint8_t& v) const { return table_.GetSourceChannel(v); }
  ResultCode SetDestinationChannel(std::uint8_t v) { return table_.SetDestinationChannel(v); }
  ResultCode GetDestinationChannel(std::uint8_t& v) const { return table_.GetDestinationChannel(v); }
  ResultCode SetAttr(std::uint8_t v) { return table_.SetAttr(v); }
  ResultCode GetAttr(std::uint8_t& v) const { return table_.GetAttr(v); }
  ResultCode SetSelA(std::uint8_t v) { return table_.SetSelA(v); }
  ResultCode GetSelA(std::uint8_t& v) const { return table_.GetSelA(v); }
  ResultCode SetSelB(std::uint8_t v) { return table_.SetSelB(v); }
  ResultCode GetSelB(std::uint8_t& v) const { return table_.GetSelB(v); }
  ResultCode SetSplitLow(std::uint8_t v) { return table_.SetSplitLow(v); }
  ResultCode GetSplitLow(std::uint8_t& v) const { return table_.GetSplitLow(v); }
  ResultCode SetSplitHigh(std::uint8_t v) { return table_.SetSplitHigh(v); }
  ResultCode GetSplitHigh(std::uint8_t& v) const { return table_.GetSplitHigh(v); }
  ResultCode SetExtA(std::uint8_t v) { return table_.SetExtA(v); }
  ResultCode GetExtA(std::uint8_t& v) const { return table_.GetExtA(v); }
  ResultCode SetExtB(std::uint8_t v) { return table_.SetExtB(v); }
  ResultCode GetExtB(std::uint8_t& v) const { return table_.GetExtB(v); }
  ResultCode SetExtC(std::uint8_t v) { return table_.SetExtC(v); }
  ResultCode GetExtC(std::uint8_t& v) const { return table_.GetExtC(v); }
  ResultCode SetExtD(std::uint8_t v) { return table_.SetExtD(v); }
  ResultCode GetExtD(std::uint8_t& v) const { return table_.GetExtD(v); }
  ResultCode SetTailByte(std::uint8_t v) { return table_.SetTailByte(v); }
  ResultCode GetTailByte(std::uint8_t& v) const { return table_.GetTailByte(v); }
  ResultCode GetPairCount(std::uint8_t& v) const { return table_.GetPairCount(v); }

  // Bytes b0..b5 of range 0..2; a range above 2 -> 0x80000001.
  ResultCode SetB0(std::uint8_t r, std::uint8_t v) { return table_.SetRangeByte(r, 0, v); }
  ResultCode GetB0(std::uint8_t r, std::uint8_t& v) const { return table_.GetRangeByte(r, 0, v); }
  ResultCode SetB1(std::uint8_t r, std::uint8_t v) { return table_.SetRangeByte(r, 1, v); }
  ResultCode GetB1(std::uint8_t r, std::uint8_t& v) const { return table_.GetRangeByte(r, 1, v); }
  ResultCode SetB2(std::uint8_t r, std::uint8_t v) { return table_.SetRangeByte(r, 2, v); }
  ResultCode GetB2(std::uint8_t r, std::uint8_t& v) const { return table_.GetRangeByte(r, 2, v); }
  ResultCode SetB3(std::uint8_t r, std::uint8_t v) { return table_.SetRangeByte(r, 3, v); }
  ResultCode GetB3(std::uint8_t r, std::uint8_t& v) const { return table_.GetRangeByte(r, 3, v); }
  ResultCode SetB4(std::uint8_t r, std::uint8_t v) { return table_.SetRangeByte(r, 4, v); }
  ResultCode GetB4(std::uint8_t r, std::uint8_t& v) const { return table_.GetRangeByte(r, 4, v); }
  ResultCode SetB5(std::uint8_t r, std::uint8_t v) { return table_.SetRangeByte(r, 5, v); }
  ResultCode GetB5(std::uint8_t r, std::uint8_t& v) const { return table_.GetRangeByte(r, 5, v); }
  // b1's code (bits 0..6) and flag (bit 7), each set keeping the other.
  ResultCode SetB1Code(std::uint8_t r, std::uint8_t code) { return table_.SetB1Code(r, code); }
  ResultCode GetB1Code(std::uint8_t r, std::uint8_t& code) const { return table_.GetB1Code(r, code); }
  ResultCode SetB1Flag(std::uint8_t r, std::uint8_t flag) { return table_.SetB1Flag(r, flag); }
  ResultCode GetB1Flag(std::uint8_t r, std::uint8_t& flag) const { return table_.GetB1Flag(r, flag); }

  // Pair bytes of pair 0..3 (above 3 -> 0x80000001); a setter raises the
  // pair count to index + 1 when it is lower.
  ResultCode SetPairFirst(std::uint8_t i, std::uint8_t v) { return table_.SetPairFirst(i, v); }
  ResultCode GetPairFirst(std::uint8_t i, std::uint8_t& v) const { return table_.GetPairFirst(i, v); }
  ResultCode SetPairSecond(std::uint8_t i, std::uint8_t v) { return table_.SetPairSecond(i, v); }
  ResultCode GetPairSecond(std::uint8_t i, std::uint8_t& v) const { return table_.GetPairSecond(i, v); }

 private:
  CCtabData table_;
  std::uint8_t nameRecord_[kNameRecordSize];
};
