#pragma once
// Framing steps every audio chunk reader and writer shares.

#include <cstdint>
#include <vector>

#include "CChunkBase.h"
#include "ResultCode.h"

namespace ChunkFraming {

// Starts a chunk in `chunk`: its id (2 + c) and a placeholder size.
inline ResultCode Begin(std::vector<std::uint8_t>& chunk, std::uint8_t code) {
  const ResultCode rc = CChunkBase::AppendChunkId(chunk, code);
  if (Result::failed(rc)) return Result::nest(2, rc);
  CChunkBase::AppendU32BE(chunk, 0);
  return Result::kOk;
}

// Patches the size and appends the finished chunk to `out`.
inline void Finish(std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& chunk) {
  CChunkBase::PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
}

inline void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& part) {
  out.insert(out.end(), part.begin(), part.end());
}

// Appends the low `width` bytes of `value`, most significant first.
inline void AppendBE(std::vector<std::uint8_t>& out, std::uint64_t value, unsigned width) {
  for (unsigned i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Reads `width` bytes at `pos` as a big-endian number; false, nothing
// consumed, when they are not all before `size`.
inline bool ReadBE(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, unsigned width,
                   std::uint64_t& value) {
  if (!CChunkBase::Fits(size, pos, width)) return false;
  value = 0;
  for (unsigned i = 0; i < width; ++i) value = (value << 8) | buf[pos + i];
  pos += width;
  return true;
}

}  // namespace ChunkFraming
