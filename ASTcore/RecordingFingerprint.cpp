#include "RecordingFingerprint.h"

#include <cstring>

namespace {

// A word at a time, with the high bits folded down after each product so
// that a change anywhere in a word reaches every bit: a byte at a time took
// longer than decoding the recording (1.5 s for an hour on the GUI thread).
std::uint64_t mix(std::uint64_t h, std::uint64_t word) {
  h = (h ^ word) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

}  // namespace

void FingerprintHash::add(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  length += bytes;
  while (bytes > 0 && pendingBytes > 0 && pendingBytes < 8) {
    pending |= std::uint64_t(*p++) << (8 * pendingBytes++);
    --bytes;
  }
  if (pendingBytes == 8) {
    state = mix(state, pending);
    pending = 0;
    pendingBytes = 0;
  }
  for (; bytes >= 8; bytes -= 8, p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);  // in the machine's byte order: a fingerprint lives in memory for one run
    state = mix(state, word);
  }
  for (; bytes > 0; --bytes) pending |= std::uint64_t(*p++) << (8 * pendingBytes++);
}

std::uint64_t FingerprintHash::value() const {
  std::uint64_t h = pendingBytes > 0 ? mix(state, pending) : state;
  return mix(h, length);
}
