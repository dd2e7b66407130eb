#include "SecInfo.h"

#include <algorithm>

SecInfo::SecInfo(const SecInfo& other) { *this = other; }

SecInfo& SecInfo::operator=(const SecInfo& other) {
  if (this == &other) return *this;
  used = other.used;
  wavNo = other.wavNo;
  startAdrs = other.startAdrs;
  startOfs = other.startOfs;
  endAdrs = other.endAdrs;
  endOfs = other.endOfs;
  barFit = other.barFit;
  manualBar = other.manualBar;
  fadeSw = other.fadeSw;
  pickupSw = other.pickupSw;
  pickupNum = other.pickupNum;
  pickupOfs = other.pickupOfs;
  halfBeat = other.halfBeat;
  holdValue = other.holdValue;
  setAreaCount(other.barNum);
  if (barNum >= 2) {
    std::copy_n(other.barAdrs.get(), barNum - 1, barAdrs.get());
    std::copy_n(other.barOfs.get(), barNum - 1, barOfs.get());
  }
  return *this;
}

bool SecInfo::operator==(const SecInfo& o) const {
  if (used != o.used || wavNo != o.wavNo || startAdrs != o.startAdrs || startOfs != o.startOfs ||
      endAdrs != o.endAdrs || endOfs != o.endOfs || barNum != o.barNum || barFit != o.barFit ||
      manualBar != o.manualBar || fadeSw != o.fadeSw || pickupSw != o.pickupSw ||
      pickupNum != o.pickupNum || pickupOfs != o.pickupOfs || halfBeat != o.halfBeat) {
    return false;
  }
  if (barNum < 2) return true;
  return std::equal(barAdrs.get(), barAdrs.get() + barNum - 1, o.barAdrs.get()) &&
         std::equal(barOfs.get(), barOfs.get() + barNum - 1, o.barOfs.get());
}

void SecInfo::setAreaCount(std::uint16_t count) {
  std::unique_ptr<std::uint64_t[]> oldAdrs = std::move(barAdrs);
  std::unique_ptr<std::int64_t[]> oldOfs = std::move(barOfs);
  const int oldEntries = (barNum >= 2 && oldAdrs) ? barNum - 1 : 0;
  barNum = count;
  if (count < 2) return;
  const int entries = count - 1;
  barAdrs.reset(new std::uint64_t[entries]());
  barOfs.reset(new std::int64_t[entries]());
  const int kept = std::min(entries, oldEntries);
  std::copy_n(oldAdrs.get(), kept, barAdrs.get());
  std::copy_n(oldOfs.get(), kept, barOfs.get());
}

void SecInfo::reset() { *this = SecInfo(); }

std::int64_t SecInfo::lastBarStart() const {
  if (barNum < 2) return static_cast<std::int64_t>(startAdrs) + startOfs;
  return static_cast<std::int64_t>(barAdrs[barNum - 2]) + barOfs[barNum - 2];
}
