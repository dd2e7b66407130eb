#pragma once
// Lets the core tests look at and prepare state the public interface only
// exposes indirectly.

#include <memory>

#include "ASTundo.h"
#include "CASTcore.h"
#include "IF_styMngr.h"
#include "IF_onsetAnalyzer.h"
#include "IF_segmenter.h"

class CASTcoreTestAccess {
 public:
  static void setRendered(CASTcore& core, int slot, std::uint8_t value) { core.secRendered[slot] = value; }
  static std::vector<double>& ratios(CASTcore& core, int slot) { return core.stretchRatios[slot]; }
  static void dropUndoStack(CASTcore& core) {
    core.undoStack.reset();
    core.exceptFlag = 1;
  }
  static AllInfo& model(CASTcore& core) { return core.allInfo; }
  // Installs a style manager (owned by the core from then on).
  static void setStyleManager(CASTcore& core, IF_styMngr* manager) { core.styMngr.reset(manager); }
  // Replaces the core's segmenter (e.g. by one that fails).
  static void setSegmenter(CASTcore& core, IF_segmenter* replacement) { core.segmenter.reset(replacement); }
  // Replaces the core's onset analyzer (owned by the core from then on).
  static void setOnsetAnalyzer(CASTcore& core, IF_onsetAnalyzer* replacement) {
    core.onsetAnalyzer.reset(replacement);
  }
};
