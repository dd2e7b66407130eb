#include "RegularBarlineFilter.h"

namespace kelo {

namespace {
constexpr std::int32_t kGrid = 4;
}  // namespace

RegularBarlineFilter::RegularBarlineFilter() = default;

void RegularBarlineFilter::reset() {
  counts_.fill(0);
  highest_ = 0;
}

void RegularBarlineFilter::setCallback(BarlineCallback callback, void* user) {
  callback_ = callback;
  user_ = user;
}

void RegularBarlineFilter::add(const t_barline& barline) {
  numerator_ = barline.numerator;
  denominator_ = barline.denominator;
  // A negative tatum still lands on one of the four phases.
  const std::int32_t phase = ((barline.tatum % kGrid) + kGrid) % kGrid;
  ++counts_[static_cast<std::size_t>(phase)];
  if (barline.tatum > highest_) highest_ = barline.tatum;
}

int RegularBarlineFilter::flush() {
  std::int32_t phase = 0;
  for (std::int32_t p = 1; p < kGrid; ++p)
    if (counts_[static_cast<std::size_t>(p)] > counts_[static_cast<std::size_t>(phase)]) phase = p;
  std::int32_t bar = 0;
  for (std::int32_t tatum = phase; tatum < highest_; tatum += kGrid, ++bar)
    if (callback_ != nullptr) callback_(t_barline{tatum, bar, 4, 4}, 1.0, user_);
  return 0;
}

}  // namespace kelo
