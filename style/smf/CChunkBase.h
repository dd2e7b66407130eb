#pragma once
// Chunk ids and the byte-level encodings shared by every chunk of a style
// file (MThd, MTrk, CASM and its children, AASM, AFil) and by the RIFF/WAVE
// reader: the id table with its one-byte chunk codes, big- and little-endian
// integers, in-place size patching and the MIDI variable-length quantity.
//
// A style chunk is a 4-character id, a big-endian u32 body size and the body;
// no padding. A writer builds each chunk in a fresh vector: id, placeholder
// size 0, body, then patches the size at offset 4 with the body's length.
//
// Readers take (buffer, size, position): nothing is read at or beyond `size`,
// so a caller bounds a nested read to its enclosing chunk by passing the
// chunk's end as the size.

#include <cstdint>
#include <vector>

#include "ResultCode.h"

using ByteVector = std::vector<std::uint8_t>;

// One-byte codes of the chunk ids. 255 stands for "no chunk".
namespace ChunkCode {
constexpr std::uint8_t kNone = 255;
constexpr std::uint8_t kMThd = 1;
constexpr std::uint8_t kMTrk = 2;
constexpr std::uint8_t kCASM = 4;
constexpr std::uint8_t kCSEG = 5;
constexpr std::uint8_t kSdec = 6;
constexpr std::uint8_t kCtab = 7;
constexpr std::uint8_t kCntt = 8;
constexpr std::uint8_t kMHhd = 9;
constexpr std::uint8_t kCtb2 = 18;
constexpr std::uint8_t kAASM = 20;
constexpr std::uint8_t kASEG = 21;
constexpr std::uint8_t kAdec = 22;
constexpr std::uint8_t kAtab = 23;
constexpr std::uint8_t kAMix = 24;
constexpr std::uint8_t kAFil = 25;
constexpr std::uint8_t kADSg = 26;
constexpr std::uint8_t kANdc = 27;
constexpr std::uint8_t kAWav = 28;
constexpr std::uint8_t kAfmt = 29;
constexpr std::uint8_t kSfmt = 30;
constexpr std::uint8_t kSPnt = 31;
constexpr std::uint8_t kAdat = 32;
constexpr std::uint8_t kAInf = 33;
constexpr std::uint8_t kBPnt = 34;
constexpr std::uint8_t kOPnt = 35;
constexpr std::uint8_t kAPnt = 36;
constexpr std::uint8_t kATmp = 37;
constexpr std::uint8_t kAPt2 = 38;
constexpr std::uint8_t kRIFF = 39;
constexpr std::uint8_t kFmt = 40;
constexpr std::uint8_t kData = 41;
}  // namespace ChunkCode

struct ChunkIdRecord {
  char id[4];  // case-sensitive ASCII, no terminator
  std::uint8_t code;
};

constexpr int kChunkIdCount = 40;

// Every known id with its code, in lookup order. Ids and codes are unique.
extern const ChunkIdRecord ChunkIdTable[kChunkIdCount];

class CChunkBase {
 public:
  virtual ~CChunkBase() = default;

  // True when the first 4 bytes are a known id whose code equals `code`;
  // false for a null buffer or a length below 4.
  static bool IsChunkId(const std::uint8_t* buffer, std::uint64_t length, std::uint8_t code);

  // Looks up the 4 bytes at `position`; on success stores the code and
  // advances 4. `code` is 255 after any failure: 1 null buffer, 2 fewer than
  // 4 bytes left, 3 unknown id (position not advanced).
  static ResultCode ReadChunkId(const std::uint8_t* buffer, std::uint64_t size,
                                std::uint64_t& position, std::uint8_t& code);

  // Writes the 4 characters of `code`; `length` is the capacity on entry and
  // 4 on success. 1 code 255; 2 null buffer or length; 3 capacity below 4;
  // 4 a code that belongs to no id.
  static ResultCode CopyChunkId(std::uint8_t code, char* buffer, std::uint64_t* length);

  // Appends the 4 characters of `code`. 1 code 255; 2 unknown code (nothing
  // appended).
  static ResultCode AppendChunkId(ByteVector& out, std::uint8_t code);

  // True when `width` bytes from `position` lie within `size`
  // (overflow-safe). Every reader bounds its fields with it.
  static bool Fits(std::uint64_t size, std::uint64_t position, std::uint64_t width) {
    return position <= size && size - position >= width;
  }

  // The big-endian body size at `position` of a chunk whose id was just
  // read: 2 + c when it cannot be read, 3 when it is 0, 4 when the body runs
  // past `size`.
  static ResultCode ReadBodyLength(const std::uint8_t* buffer, std::uint64_t size, std::uint64_t& position,
                                   std::uint64_t& length);

  // Unsigned 32-bit reads; `value` is 0 after a failure. 1 null buffer,
  // 2 fewer than 4 bytes left.
  static ResultCode ReadU32BE(const std::uint8_t* buffer, std::uint64_t size,
                              std::uint64_t& position, std::uint64_t& value);
  static ResultCode ReadU32LE(const std::uint8_t* buffer, std::uint64_t size,
                              std::uint64_t& position, std::uint64_t& value);
  static ResultCode ReadDwordLE(const std::uint8_t* buffer, std::uint64_t size,
                                std::uint64_t& position, std::uint64_t& value);

  // Unsigned 16-bit reads; 1 null buffer, 2 fewer than 2 bytes left.
  static ResultCode ReadU16LE(const std::uint8_t* buffer, std::uint64_t size,
                              std::uint64_t& position, std::uint16_t& value);
  static ResultCode ReadU16BE(const std::uint8_t* buffer, std::uint64_t size,
                              std::uint64_t& position, std::uint16_t& value);

  // Overwrites 4 bytes at `offset` with the low 32 bits of `value`, most
  // significant first. 1 null buffer, 2 offset + 4 beyond `size` (nothing
  // changed).
  static ResultCode PatchU32BE(std::uint8_t* buffer, std::uint64_t size, std::uint64_t offset,
                               std::uint64_t value);

  // Append the low 32 (16) bits, most significant byte first; always 0.
  static ResultCode AppendU32BE(ByteVector& out, std::uint64_t value);
  static ResultCode AppendU16BE(ByteVector& out, std::uint16_t value);

  // Reads a MIDI variable-length quantity of at most 4 bytes. 1 null buffer;
  // 2 the data ends before a byte with bit 7 clear; 3 the fourth byte still
  // has bit 7 set. After a failure `value` holds the bytes read so far.
  static ResultCode ReadVarLen(const std::uint8_t* buffer, std::uint64_t size,
                               std::uint64_t& position, std::uint64_t& value);

  // Appends `value` as a MIDI variable-length quantity (1 to 4 bytes);
  // 1 for a value of 2^28 or more, which has no such form (nothing appended).
  static ResultCode AppendVarLen(ByteVector& out, std::uint64_t value);

  // Finishes a chunk built in `chunk` by the writing rule: its body length
  // (size - 8) goes into bytes 4..7. 1 a vector shorter than a header.
  static ResultCode PatchChunkSize(ByteVector& chunk);
};
