#include "CChunkBase.h"

#include <cstring>

const ChunkIdRecord ChunkIdTable[kChunkIdCount] = {
    {{'M', 'T', 'h', 'd'}, 1},  {{'M', 'T', 'r', 'k'}, 2},  {{'C', 'A', 'S', 'M'}, 4},
    {{'C', 'S', 'E', 'G'}, 5},  {{'S', 'd', 'e', 'c'}, 6},  {{'C', 't', 'a', 'b'}, 7},
    {{'C', 'n', 't', 't'}, 8},  {{'M', 'H', 'h', 'd'}, 9},  {{'M', 'H', 't', 'r'}, 10},
    {{'G', 'h', 's', 't'}, 11}, {{'R', 's', 'e', 'c'}, 12}, {{'R', 't', 'r', 'k'}, 13},
    {{'R', 'v', 'c', 'e'}, 14}, {{'T', 'd', 'e', 'c'}, 15}, {{'O', 'T', 'S', 'c'}, 16},
    {{'F', 'N', 'R', 'c'}, 17}, {{'C', 't', 'b', '2'}, 18}, {{'S', 't', 'N', 'm'}, 19},
    {{'A', 'A', 'S', 'M'}, 20}, {{'A', 'S', 'E', 'G'}, 21}, {{'A', 'd', 'e', 'c'}, 22},
    {{'A', 't', 'a', 'b'}, 23}, {{'A', 'M', 'i', 'x'}, 24}, {{'A', 'F', 'i', 'l'}, 25},
    {{'A', 'D', 'S', 'g'}, 26}, {{'A', 'N', 'd', 'c'}, 27}, {{'A', 'W', 'a', 'v'}, 28},
    {{'A', 'f', 'm', 't'}, 29}, {{'S', 'f', 'm', 't'}, 30}, {{'S', 'P', 'n', 't'}, 31},
    {{'A', 'd', 'a', 't'}, 32}, {{'A', 'I', 'n', 'f'}, 33}, {{'B', 'P', 'n', 't'}, 34},
    {{'O', 'P', 'n', 't'}, 35}, {{'A', 'P', 'n', 't'}, 36}, {{'A', 'T', 'm', 'p'}, 37},
    {{'A', 'P', 't', '2'}, 38}, {{'R', 'I', 'F', 'F'}, 39}, {{'f', 'm', 't', ' '}, 40},
    {{'d', 'a', 't', 'a'}, 41},
};

namespace {

const ChunkIdRecord* FindById(const std::uint8_t* bytes) {
  for (const ChunkIdRecord& r : ChunkIdTable) {
    if (std::memcmp(r.id, bytes, 4) == 0) return &r;
  }
  return nullptr;
}

const ChunkIdRecord* FindByCode(std::uint8_t code) {
  for (const ChunkIdRecord& r : ChunkIdTable) {
    if (r.code == code) return &r;
  }
  return nullptr;
}

}  // namespace

bool CChunkBase::IsChunkId(const std::uint8_t* buffer, std::uint64_t length, std::uint8_t code) {
  if (!buffer || length < 4) return false;
  const ChunkIdRecord* r = FindById(buffer);
  return r && r->code == code;
}

ResultCode CChunkBase::ReadChunkId(const std::uint8_t* buffer, std::uint64_t size,
                                   std::uint64_t& position, std::uint8_t& code) {
  code = ChunkCode::kNone;
  if (!buffer) return Result::fail(1);
  if (!Fits(size, position, 4)) return Result::fail(2);
  const ChunkIdRecord* r = FindById(buffer + position);
  if (!r) return Result::fail(3);
  code = r->code;
  position += 4;
  return Result::kOk;
}

ResultCode CChunkBase::CopyChunkId(std::uint8_t code, char* buffer, std::uint64_t* length) {
  if (code == ChunkCode::kNone) return Result::fail(1);
  if (!buffer || !length) return Result::fail(2);
  if (*length < 4) return Result::fail(3);
  const ChunkIdRecord* r = FindByCode(code);
  if (!r) return Result::fail(4);
  std::memcpy(buffer, r->id, 4);
  *length = 4;
  return Result::kOk;
}

ResultCode CChunkBase::AppendChunkId(ByteVector& out, std::uint8_t code) {
  if (code == ChunkCode::kNone) return Result::fail(1);
  const ChunkIdRecord* r = FindByCode(code);
  if (!r) return Result::fail(2);
  out.insert(out.end(), r->id, r->id + 4);
  return Result::kOk;
}

ResultCode CChunkBase::ReadU32BE(const std::uint8_t* buffer, std::uint64_t size,
                                 std::uint64_t& position, std::uint64_t& value) {
  value = 0;
  if (!buffer) return Result::fail(1);
  if (!Fits(size, position, 4)) return Result::fail(2);
  const std::uint8_t* p = buffer + position;
  value = (std::uint64_t{p[0]} << 24) | (std::uint64_t{p[1]} << 16) | (std::uint64_t{p[2]} << 8) | p[3];
  position += 4;
  return Result::kOk;
}

ResultCode CChunkBase::ReadU32LE(const std::uint8_t* buffer, std::uint64_t size,
                                 std::uint64_t& position, std::uint64_t& value) {
  value = 0;
  if (!buffer) return Result::fail(1);
  if (!Fits(size, position, 4)) return Result::fail(2);
  const std::uint8_t* p = buffer + position;
  value = (std::uint64_t{p[3]} << 24) | (std::uint64_t{p[2]} << 16) | (std::uint64_t{p[1]} << 8) | p[0];
  position += 4;
  return Result::kOk;
}

ResultCode CChunkBase::ReadDwordLE(const std::uint8_t* buffer, std::uint64_t size,
                                   std::uint64_t& position, std::uint64_t& value) {
  return ReadU32LE(buffer, size, position, value);
}

ResultCode CChunkBase::ReadU16LE(const std::uint8_t* buffer, std::uint64_t size,
                                 std::uint64_t& position, std::uint16_t& value) {
  value = 0;
  if (!buffer) return Result::fail(1);
  if (!Fits(size, position, 2)) return Result::fail(2);
  value = static_cast<std::uint16_t>(buffer[position] | (buffer[position + 1] << 8));
  position += 2;
  return Result::kOk;
}

ResultCode CChunkBase::ReadU16BE(const std::uint8_t* buffer, std::uint64_t size,
                                 std::uint64_t& position, std::uint16_t& value) {
  value = 0;
  if (!buffer) return Result::fail(1);
  if (!Fits(size, position, 2)) return Result::fail(2);
  value = static_cast<std::uint16_t>((buffer[position] << 8) | buffer[position + 1]);
  position += 2;
  return Result::kOk;
}

ResultCode CChunkBase::PatchU32BE(std::uint8_t* buffer, std::uint64_t size, std::uint64_t offset,
                                  std::uint64_t value) {
  if (!buffer) return Result::fail(1);
  if (!Fits(size, offset, 4)) return Result::fail(2);
  buffer[offset] = static_cast<std::uint8_t>(value >> 24);
  buffer[offset + 1] = static_cast<std::uint8_t>(value >> 16);
  buffer[offset + 2] = static_cast<std::uint8_t>(value >> 8);
  buffer[offset + 3] = static_cast<std::uint8_t>(value);
  return Result::kOk;
}

ResultCode CChunkBase::AppendU32BE(ByteVector& out, std::uint64_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
  return Result::kOk;
}

ResultCode CChunkBase::AppendU16BE(ByteVector& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
  return Result::kOk;
}

ResultCode CChunkBase::ReadVarLen(const std::uint8_t* buffer, std::uint64_t size,
                                  std::uint64_t& position, std::uint64_t& value) {
  value = 0;
  if (!buffer) return Result::fail(1);
  for (int count = 0; count < 4; ++count) {
    if (position >= size) return Result::fail(2);
    const std::uint8_t byte = buffer[position++];
    value = (value << 7) | (byte & 0x7F);
    if (!(byte & 0x80)) return Result::kOk;
  }
  return Result::fail(3);
}

ResultCode CChunkBase::AppendVarLen(ByteVector& out, std::uint64_t value) {
  if (value >= (std::uint64_t{1} << 28)) return Result::fail(1);
  std::uint8_t groups[4];
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(groups[--n] | 0x80);
  out.push_back(groups[0]);
  return Result::kOk;
}

ResultCode CChunkBase::PatchChunkSize(ByteVector& chunk) {
  if (chunk.size() < 8) return Result::fail(1);
  return PatchU32BE(chunk.data(), chunk.size(), 4, chunk.size() - 8);
}

ResultCode CChunkBase::ReadBodyLength(const std::uint8_t* buffer, std::uint64_t size, std::uint64_t& position,
                                      std::uint64_t& length) {
  const ResultCode rc = ReadU32BE(buffer, size, position, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (length == 0) return Result::fail(3);
  if (!Fits(size, position, length)) return Result::fail(4);
  return Result::kOk;
}
