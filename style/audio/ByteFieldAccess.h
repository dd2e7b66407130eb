#pragma once
// The two rules every fixed-width byte field of the audio style model
// follows (tempo bytes, time-signature bytes, name records, table groups).
//
// Storing (bytes, n): null bytes or n = 0 -> 0x80000001 with the field
// unchanged; otherwise the field is filled with `fill`, then min(n, width)
// bytes are copied from the start of `bytes`.
// Fetching (buffer, n in/out): null buffer or n = 0 -> 0x80000001; n below
// the width copies n bytes and leaves n; otherwise the whole field is
// copied and n becomes the width.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "ResultCode.h"

namespace ByteField {

inline ResultCode Store(std::uint8_t* field, std::size_t width, std::uint8_t fill, const std::uint8_t* bytes,
                        std::uint64_t n) {
  if (!bytes || n == 0) return Result::fail(1);
  std::memset(field, fill, width);
  std::memcpy(field, bytes, static_cast<std::size_t>(std::min<std::uint64_t>(n, width)));
  return Result::kOk;
}

inline ResultCode Fetch(const std::uint8_t* field, std::size_t width, std::uint8_t* buffer, std::uint64_t& n) {
  if (!buffer || n == 0) return Result::fail(1);
  if (n < width) {
    std::memcpy(buffer, field, static_cast<std::size_t>(n));
    return Result::kOk;
  }
  std::memcpy(buffer, field, width);
  n = width;
  return Result::kOk;
}

}  // namespace ByteField
