// Creation of the five managers a core owns, in the order the core relies
// on: styMngr, timeStretch, segmenter, onsetAnalyzer, prjMngr. A manager
// that is missing makes the operations that need it answer with their
// missing-manager codes.

#include "CASTcore.h"
#include "IF_onsetAnalyzer.h"
#include "IF_segmenter.h"
#include "IF_styMngr.h"
#include "IF_timeStretch.h"
#include "onsetAnalyzer.h"
#include "prjMngr.h"
#include "segmenter.h"
#include "styMngr.h"
#include "timeStretch.h"

void CASTcore::createManagers() {
  styMngr.reset(::styMngr::create());
  timeStretch.reset(::timeStretch::create());
  segmenter.reset(::segmenter::create());
  onsetAnalyzer.reset(::onsetAnalyzer::create());
  prjMngr.reset(::prjMngr::create(this));
}
