#include "WavInfo.h"

bool WavInfo::operator==(const WavInfo& o) const {
  return fileName == o.fileName && beatTime == o.beatTime && onsetTime == o.onsetTime &&
         barLen == o.barLen && beatDiv == o.beatDiv && segLblOrg == o.segLblOrg &&
         segLbl == o.segLbl && extList == o.extList && tempo == o.tempo;
}

void WavInfo::copyAnalysis(const WavInfo& o) {
  beatTime = o.beatTime;
  onsetTime = o.onsetTime;
  beatDiv = o.beatDiv;
  segLblOrg = o.segLblOrg;
  segLbl = o.segLbl;
}
