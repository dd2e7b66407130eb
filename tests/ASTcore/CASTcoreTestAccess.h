#pragma once
// Lets the core tests look at and prepare state the public interface only
// exposes indirectly.

#include <memory>

#include "ASTundo.h"
#include "CASTcore.h"

class CASTcoreTestAccess {
 public:
  static void setRendered(CASTcore& core, int slot, std::uint8_t value) { core.secRendered[slot] = value; }
  static std::vector<double>& ratios(CASTcore& core, int slot) { return core.stretchRatios[slot]; }
  static void dropUndoStack(CASTcore& core) {
    core.undoStack.reset();
    core.exceptFlag = 1;
  }
  static AllInfo& model(CASTcore& core) { return core.allInfo; }
};
