// The audio is hashed in the blocks a decoder hands over, whose sizes need
// not be whole words: a split must not change the value, a changed sample
// or a longer take must.

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "RecordingFingerprint.h"

namespace {

std::uint64_t hashInPieces(const std::vector<unsigned char>& bytes, const std::vector<std::size_t>& pieces) {
  FingerprintHash hash;
  std::size_t at = 0;
  for (std::size_t piece : pieces) {
    hash.add(bytes.data() + at, piece);
    at += piece;
  }
  hash.add(bytes.data() + at, bytes.size() - at);
  return hash.value();
}

}  // namespace

TEST(RecordingFingerprint, ASplitKeepsTheValueAChangedByteOrLengthDoesNot) {
  std::vector<unsigned char> bytes(61);
  std::iota(bytes.begin(), bytes.end(), 3);
  const std::uint64_t whole = hashInPieces(bytes, {});
  for (const auto& pieces : std::vector<std::vector<std::size_t>>{{1}, {3, 5}, {7, 1, 8, 9}, {0, 16, 2}, {60}})
    EXPECT_EQ(hashInPieces(bytes, pieces), whole);

  for (std::size_t at : {std::size_t(0), std::size_t(7), std::size_t(60)}) {
    auto changed = bytes;
    changed[at] ^= 0x80;
    EXPECT_NE(hashInPieces(changed, {}), whole) << at;
  }
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_NE(hashInPieces(longer, {}), whole);
}
