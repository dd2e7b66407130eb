#include "DefaultAnalysisInfoText.h"

namespace DefaultAnalysisInfoText {

namespace {

const char* const kLines[] = {
    "$SFormatTag$,0x0001,\n",
    "$OriginalTempo$,500000,\n",
    "$OriginalTimeSignature$,4,2,24,8,\n",
    "$PPQ$,480,\n",
    "$SampleSize$,22050,\n",
    "$NumberOfBars$,1,\n",
    "$SyncroPoint$,0,\n",
    "$BeatPoint$,0,\n",
    "$OnsetPoint$,0,\n",
    "$AttackPoint$,0,\n",
    "$TempoInfo$,0,\n",
    "$Volume$,80,\n",
};

}  // namespace

std::string text() {
  std::string out;
  for (const char* line : kLines) out += line;
  return out;
}

}  // namespace DefaultAnalysisInfoText
