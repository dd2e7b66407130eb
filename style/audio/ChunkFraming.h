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

// A chunk written straight into the end of `out`, so that its body (a
// recording's samples above all) is not copied once per level of nesting:
// Begin appends the id and a placeholder size, Finish patches the size.
// Until Finish, leaving the scope takes back everything appended since it
// opened, so a writer that fails leaves `out` as it found it.
class InPlace {
 public:
  explicit InPlace(std::vector<std::uint8_t>& out) : out_(out), start_(out.size()) {}
  InPlace(const InPlace&) = delete;
  InPlace& operator=(const InPlace&) = delete;
  ~InPlace() {
    if (!finished_) out_.resize(start_);
  }

  ResultCode Begin(std::uint8_t code) { return ChunkFraming::Begin(out_, code); }

  void Finish() {
    CChunkBase::PatchU32BE(out_.data(), out_.size(), start_ + 4, out_.size() - start_ - 8);
    finished_ = true;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::size_t start_;
  bool finished_ = false;
};

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
