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
  // barNum is a public field: a record may carry a count without arrays,
  // which reads as bar lines at 0, and so must the copy (setAreaCount kept
  // this record's own old entries).
  for (int i = 0; i + 1 < barNum; ++i) {
    barAdrs[i] = other.barAddress(i);
    barOfs[i] = other.barOffset(i);
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
  for (int i = 0; i + 1 < barNum; ++i) {
    if (barAddress(i) != o.barAddress(i) || barOffset(i) != o.barOffset(i)) return false;
  }
  return true;
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
  if (kept > 0) {
    std::copy_n(oldAdrs.get(), kept, barAdrs.get());
    std::copy_n(oldOfs.get(), kept, barOfs.get());
  }
}

void SecInfo::reset() { *this = SecInfo(); }

std::int64_t SecInfo::lastBarStart() const {
  if (barNum < 2) return static_cast<std::int64_t>(startAdrs) + startOfs;
  return static_cast<std::int64_t>(barAddress(barNum - 2)) + barOffset(barNum - 2);
}

std::uint64_t SecInfo::barAddress(int i) const { return barAdrs ? barAdrs[i] : 0; }

std::int64_t SecInfo::barOffset(int i) const { return barOfs ? barOfs[i] : 0; }
