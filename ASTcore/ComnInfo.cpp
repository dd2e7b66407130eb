#include "ComnInfo.h"

bool ComnInfo::operator==(const ComnInfo& o) const {
  return volume == o.volume && pan == o.pan && revSend == o.revSend && tempo == o.tempo &&
         timeSigNum == o.timeSigNum && timeSigDen == o.timeSigDen && normDepth == o.normDepth &&
         normSw == o.normSw;
}

bool ComnInfo::isValid() const {
  return isValidLevel(volume) && isValidLevel(pan) && isValidLevel(revSend) &&
         tempo >= kMinTempo && tempo <= kMaxTempo &&
         isValidNumerator(timeSigNum) && isValidDenominator(timeSigDen) &&
         isValidPercent(normDepth) && isValidPercent(normSw);
}
