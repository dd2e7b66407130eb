// The ring index against a brute-force reference that walks the ring one
// slot at a time, plus the wrap rules the ring buffers rely on.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "CircularIndex.h"

namespace {

using Numeric::CircularIndex;
using Numeric::PositiveMod;

// Where a walk of `delta` single steps from `start` ends on a ring of `size`.
int32_t walk(int32_t start, int32_t delta, int32_t size) {
  int32_t p = start;
  for (int32_t i = 0; i < delta; ++i) p = (p + 1 == size) ? 0 : p + 1;
  for (int32_t i = 0; i > delta; --i) p = (p == 0) ? size - 1 : p - 1;
  return p;
}

TEST(CircularIndex, PositiveModIsNonNegativeForNegativeDividends) {
  EXPECT_EQ(PositiveMod(-1, 8), 7);
  EXPECT_EQ(PositiveMod(-8, 8), 0);
  EXPECT_EQ(PositiveMod(-9, 8), 7);
  for (int32_t b = 1; b <= 9; ++b) {
    for (int32_t a = -40; a <= 40; ++a) {
      EXPECT_EQ(PositiveMod(a, b), walk(0, a, b)) << a << " mod " << b;
    }
  }
}

TEST(CircularIndex, PositiveModHandlesTheExtremeDividends) {
  const int32_t lo = std::numeric_limits<int32_t>::min();
  const int32_t hi = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(PositiveMod(lo, 7), static_cast<int32_t>(((int64_t{lo} % 7) + 7) % 7));
  EXPECT_EQ(PositiveMod(hi, 7), static_cast<int32_t>(int64_t{hi} % 7));
  EXPECT_EQ(PositiveMod(lo, -1), 0);
}

TEST(CircularIndex, PositiveModByZeroThrowsInsteadOfDividing) {
  EXPECT_THROW(PositiveMod(3, 0), std::domain_error);
}

TEST(CircularIndex, OffsetAheadBehindAndShiftMatchAStepByStepWalk) {
  for (int32_t size = 1; size <= 7; ++size) {
    CircularIndex ring(size);
    for (int32_t start = 0; start < size; ++start) {
      ring.Reset(size);
      ring.Shift(start);
      ASSERT_EQ(ring.GetPosition(), start);
      for (int32_t delta = -3 * size; delta <= 3 * size; ++delta) {
        EXPECT_EQ(ring.Offset(delta), walk(start, delta, size));
        EXPECT_EQ(ring.Ahead(delta), walk(start, delta, size));
        EXPECT_EQ(ring.Behind(delta), walk(start, -delta, size));
        EXPECT_EQ(ring.GetPosition(), start);
      }
      CircularIndex moved = ring;
      EXPECT_EQ(moved.Shift(-2 * size - 1), walk(start, -2 * size - 1, size));
      EXPECT_EQ(moved.GetPosition(), walk(start, -2 * size - 1, size));
    }
  }
}

TEST(CircularIndex, IncrementWrapsFromTheLastSlotToTheFirst) {
  CircularIndex ring(4);
  ring.Shift(3);
  EXPECT_EQ((++ring).GetPosition(), 0);
  for (int i = 0; i < 9; ++i) ring.Advance();
  EXPECT_EQ(ring.GetPosition(), 1);
  EXPECT_EQ(ring.GetSize(), 4);
}

TEST(CircularIndex, ResetReturnsToSlotZeroWithTheNewSize) {
  CircularIndex ring(10);
  ring.Shift(7);
  ring.Reset(3);
  EXPECT_EQ(ring.GetPosition(), 0);
  EXPECT_EQ(ring.GetSize(), 3);
  EXPECT_EQ(ring.Offset(-1), 2);
}

TEST(CircularIndex, LargeDeltasDoNotOverflowBeforeWrapping) {
  const int32_t hi = std::numeric_limits<int32_t>::max();
  const int32_t lo = std::numeric_limits<int32_t>::min();
  CircularIndex ring(10);
  ring.Shift(9);
  EXPECT_EQ(ring.Offset(hi), static_cast<int32_t>((int64_t{9} + hi) % 10));
  EXPECT_EQ(ring.Behind(lo), static_cast<int32_t>((int64_t{9} - lo + 10) % 10));
  EXPECT_EQ(ring.Offset(lo), static_cast<int32_t>(((int64_t{9} + lo) % 10 + 10) % 10));
}

TEST(CircularIndex, RingsWithoutSlotsAreRefused) {
  EXPECT_THROW(CircularIndex(0), std::invalid_argument);
  EXPECT_THROW(CircularIndex(-4), std::invalid_argument);
  CircularIndex ring(3);
  EXPECT_THROW(ring.Reset(0), std::invalid_argument);
  EXPECT_EQ(ring.GetSize(), 3);
}

}  // namespace
