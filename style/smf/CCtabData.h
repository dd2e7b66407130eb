#pragma once
// The channel table of one style source channel, written as a Ctab (first
// format version) or Ctb2 (second) chunk. Every field is a byte or a byte
// group held in file byte order; groups are never read as numbers.
//
// Byte-group setters take (bytes, n): the field is first filled (id and name
// with blanks, the others with zeros), then min(n, width) bytes are copied;
// null or n = 0 -> 0x80000001. Byte-group getters take (buffer, in/out n):
// null or n = 0 -> 0x80000001; n below the width copies n bytes; otherwise
// the whole field is copied and n becomes the width.

#include <cstdint>

#include "ResultCode.h"

class CCtabData {
 public:
  static constexpr int kRangeCount = 3;
  static constexpr int kRangeBytes = 6;
  static constexpr int kPairCount = 4;

  CCtabData();
  virtual ~CCtabData() = default;
  CCtabData(const CCtabData&) = default;
  CCtabData& operator=(const CCtabData&) = default;

  // Every field from id through the pair count and the pairs.
  bool operator==(const CCtabData& other) const;
  bool operator!=(const CCtabData& other) const { return !(*this == other); }

  // Back to the constructed values: blanks in id and name, splitHigh 127,
  // everything else 0.
  ResultCode Clear();
  // The default table of `channel` (0..15): id "Ctb2", the channel's entry
  // of the default table, pairCount 4. A channel above 15 -> 0x80000002 with
  // the constructed values kept.
  ResultCode InitDefault(std::uint8_t channel);
  // Copies range 1's b1 flag to range 0 when splitLow is 0 and to range 2
  // when splitHigh is 127.
  ResultCode SyncRangeFlags();

  ResultCode SetId(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetId(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetName(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetName(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetMaskA(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetMaskA(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetMaskB(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetMaskB(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetExtWord(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetExtWord(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetTailWord(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetTailWord(std::uint8_t* buffer, std::uint64_t& n) const;

  ResultCode SetSourceChannel(std::uint8_t v) { sourceChannel_ = v; return 0; }
  ResultCode GetSourceChannel(std::uint8_t& v) const { v = sourceChannel_; return 0; }
  ResultCode SetDestinationChannel(std::uint8_t v) { destinationChannel_ = v; return 0; }
  ResultCode GetDestinationChannel(std::uint8_t& v) const { v = destinationChannel_; return 0; }
  ResultCode SetAttr(std::uint8_t v) { attr_ = v; return 0; }
  ResultCode GetAttr(std::uint8_t& v) const { v = attr_; return 0; }
  ResultCode SetSelA(std::uint8_t v) { selA_ = v; return 0; }
  ResultCode GetSelA(std::uint8_t& v) const { v = selA_; return 0; }
  ResultCode SetSelB(std::uint8_t v) { selB_ = v; return 0; }
  ResultCode GetSelB(std::uint8_t& v) const { v = selB_; return 0; }
  ResultCode SetSplitLow(std::uint8_t v) { splitLow_ = v; return 0; }
  ResultCode GetSplitLow(std::uint8_t& v) const { v = splitLow_; return 0; }
  ResultCode SetSplitHigh(std::uint8_t v) { splitHigh_ = v; return 0; }
  ResultCode GetSplitHigh(std::uint8_t& v) const { v = splitHigh_; return 0; }
  ResultCode SetExtA(std::uint8_t v) { extA_ = v; return 0; }
  ResultCode GetExtA(std::uint8_t& v) const { v = extA_; return 0; }
  ResultCode SetExtB(std::uint8_t v) { extB_ = v; return 0; }
  ResultCode GetExtB(std::uint8_t& v) const { v = extB_; return 0; }
  ResultCode SetExtC(std::uint8_t v) { extC_ = v; return 0; }
  ResultCode GetExtC(std::uint8_t& v) const { v = extC_; return 0; }
  ResultCode SetExtD(std::uint8_t v) { extD_ = v; return 0; }
  ResultCode GetExtD(std::uint8_t& v) const { v = extD_; return 0; }
  ResultCode SetTailByte(std::uint8_t v) { tailByte_ = v; return 0; }
  ResultCode GetTailByte(std::uint8_t& v) const { v = tailByte_; return 0; }
  ResultCode GetPairCount(std::uint8_t& v) const { v = pairCount_; return 0; }

  // Range bytes b0..b5 of range 0..2. A range above 2 (or a byte index above
  // 5) -> 0x80000001.
  ResultCode SetRangeByte(std::uint8_t range, std::uint8_t index, std::uint8_t value);
  ResultCode GetRangeByte(std::uint8_t range, std::uint8_t index, std::uint8_t& value) const;
  ResultCode SetB0(std::uint8_t range, std::uint8_t v) { return SetRangeByte(range, 0, v); }
  ResultCode GetB0(std::uint8_t range, std::uint8_t& v) const { return GetRangeByte(range, 0, v); }
  ResultCode SetB1(std::uint8_t range, std::uint8_t v) { return SetRangeByte(range, 1, v); }
  ResultCode GetB1(std::uint8_t range, std::uint8_t& v) const { return GetRangeByte(range, 1, v); }
  // b1's code (bits 0..6; setting keeps the flag) and flag (bit 7; setting
  // takes bit 0 of the argument and keeps the code).
  ResultCode SetB1Code(std::uint8_t range, std::uint8_t code);
  ResultCode GetB1Code(std::uint8_t range, std::uint8_t& code) const;
  ResultCode SetB1Flag(std::uint8_t range, std::uint8_t flag);
  ResultCode GetB1Flag(std::uint8_t range, std::uint8_t& flag) const;

  // Pair bytes of pair 0..3; an index above 3 -> 0x80000001. A setter raises
  // the pair count to index + 1 when it is lower.
  ResultCode SetPairFirst(std::uint8_t index, std::uint8_t value);
  ResultCode GetPairFirst(std::uint8_t index, std::uint8_t& value) const;
  ResultCode SetPairSecond(std::uint8_t index, std::uint8_t value);
  ResultCode GetPairSecond(std::uint8_t index, std::uint8_t& value) const;

 private:
  std::uint8_t id_[4];
  std::uint8_t sourceChannel_;
  std::uint8_t name_[8];
  std::uint8_t destinationChannel_;
  std::uint8_t attr_;
  std::uint8_t maskA_[2];
  std::uint8_t maskB_[5];
  std::uint8_t selA_;
  std::uint8_t selB_;
  std::uint8_t splitLow_;
  std::uint8_t splitHigh_;
  std::uint8_t ranges_[kRangeCount][kRangeBytes];
  std::uint8_t extA_;
  std::uint8_t extB_;
  std::uint8_t extWord_[2];
  std::uint8_t extC_;
  std::uint8_t extD_;
  std::uint8_t tailByte_;
  std::uint8_t tailWord_[2];
  std::uint8_t pairCount_;
  std::uint8_t pairs_[kPairCount][2];
};
