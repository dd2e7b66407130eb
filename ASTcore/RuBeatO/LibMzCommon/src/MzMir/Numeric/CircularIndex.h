// A position on a ring of fixed size, for the frame rings of the comb-filter
// bank, the beat tracker and the onset detectors. Everything is inline and
// allocation-free: these run once per audio frame.

#pragma once

#include <cstdint>
#include <stdexcept>

namespace Numeric {

// Remainder of a by b moved into 0 .. b-1, negative a included
// (PositiveMod(-1, 8) == 7). Throws std::domain_error for b == 0, where the
// remainder is undefined.
inline int32_t PositiveMod(int32_t a, int32_t b) {
  if (b == 0) throw std::domain_error("modulus must not be zero");
  // INT32_MIN % -1 overflows; its remainder is 0 anyway.
  if (b == -1) return 0;
  const int32_t r = a % b;
  return r < 0 ? r + b : r;
}

class CircularIndex {
 public:
  // A ring of `size` slots (at least 1) positioned at slot 0. Throws
  // std::invalid_argument for a smaller size, which has no slot to point at.
  explicit CircularIndex(int32_t size = 1) { Reset(size); }

  // Back to slot 0 of a ring of `size` slots (same rule as the constructor).
  void Reset(int32_t size) {
    if (size < 1) throw std::invalid_argument("ring size must be positive");
    position_ = 0;
    size_ = size;
  }

  // The slot `delta` steps ahead of the current one (delta may be negative);
  // the position does not move.
  int32_t Offset(int32_t delta) const { return wrap(int64_t{position_} + delta); }
  int32_t Ahead(int32_t delta) const { return Offset(delta); }

  // The slot `delta` steps behind the current one; the position does not move.
  int32_t Behind(int32_t delta) const {
    return wrap(int64_t{position_} - delta + size_);
  }

  // Moves the position by `delta` slots and returns the new position.
  int32_t Shift(int32_t delta) {
    position_ = Offset(delta);
    return position_;
  }

  // Moves the position one slot on, wrapping at the end of the ring.
  CircularIndex& operator++() {
    if (++position_ >= size_) position_ -= size_;
    return *this;
  }
  void Advance() { ++*this; }

  int32_t GetSize() const { return size_; }
  // The current slot, 0 <= position < size.
  int32_t GetPosition() const { return position_; }

 private:
  // Sums are formed in 64 bits so a large delta cannot overflow before the
  // wrap; the remainder always fits the ring again.
  int32_t wrap(int64_t value) const {
    const int64_t r = value % size_;
    return static_cast<int32_t>(r < 0 ? r + size_ : r);
  }

  int32_t position_ = 0;
  int32_t size_ = 1;
};

}  // namespace Numeric
