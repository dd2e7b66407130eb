// Undoable edits of the core's model. Each edit adds exactly one entry to
// the undo stack: a macro named "set all", "set section" or "set common"
// around one snapshot command with a finer text.

#include "ASTundo.h"
#include "CASTcore.h"
#include "NamedSectionEditCommand.h"
#include "SetAllInfoCommand.h"
#include "SetComnInfoCommand.h"
#include "SetSecInfoCommand.h"

namespace {

// Out-of-range values never enter the model, whatever the caller passes.
constexpr unsigned kStepOutOfRange = 4;

// Pushes a fully built command inside a macro, so the snapshot copies (the
// only part that can run out of memory) are made before the stack is touched.
void pushInMacro(ASTundo& stack, const QString& macroText, std::unique_ptr<QUndoCommand> cmd) {
  stack.pushMacro(macroText, cmd.release());
}

}  // namespace

std::array<std::uint8_t*, CASTcore::kSectionCount> CASTcore::renderedFlagPointers() {
  std::array<std::uint8_t*, kSectionCount> flags{};
  for (int i = 0; i < kSectionCount; ++i) flags[i] = &secRendered[i];
  return flags;
}

void CASTcore::clearRenderedFlags() { secRendered.fill(0); }

ResultCode CASTcore::setAllInfo(const AllInfo& info) {
  if (!undoStack) return Result::fail(1);
  try {
    auto cmd = std::make_unique<SetAllInfoCommand>(&allInfo, info, renderedFlagPointers(), "set all");
    pushInMacro(*undoStack, "set all", std::move(cmd));
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(2);
  }
  clearRenderedFlags();
  return Result::kOk;
}

ResultCode CASTcore::updateSecInfo(std::uint8_t slot, const SecInfo& sec) {
  return updateSecInfoNamed(slot, sec, QString());
}

ResultCode CASTcore::updateSecInfoNamed(std::uint8_t slot, const SecInfo& sec, const QString& macroText) {
  if (!undoStack) return Result::fail(1);
  const SecInfo* current = nullptr;
  const ResultCode rc = allInfo.getSecInfo(slot, &current);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (*current == sec) {
    if (current->holdValue == sec.holdValue) return Result::kOk;
    // Only the rendered length changed: recorded without an undo step.
    try {
      return allInfo.setSecInfo(slot, sec);
    } catch (...) {
      exceptFlag = 1;
      return Result::fail(3);
    }
  }
  try {
    if (macroText.isNull()) {
      auto cmd = std::make_unique<SetSecInfoCommand>(&allInfo, slot, sec, &secRendered[slot],
                                                     QString("set section[%1]").arg(slot));
      pushInMacro(*undoStack, "set section", std::move(cmd));
    } else {
      // Applied before the stack takes it; a merged command is deleted by the
      // stack, an unapplied one by the owner here.
      auto cmd = std::make_unique<NamedSectionEditCommand>(&allInfo, slot, sec, &secRendered[slot], macroText,
                                                           undoStack->lastPushIsCurrent());
      undoStack->push(cmd.get());
      cmd.release();
    }
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(3);
  }
  secRendered[slot] = 0;
  return Result::kOk;
}

ResultCode CASTcore::pushCommon(const ComnInfo& comn, const QString& text, ResultCode exceptionCode) {
  if (!undoStack) return Result::fail(1);
  if (!comn.isValid()) return Result::fail(kStepOutOfRange);
  try {
    auto cmd = std::make_unique<SetComnInfoCommand>(&allInfo, comn, text);
    pushInMacro(*undoStack, "set common", std::move(cmd));
  } catch (...) {
    exceptFlag = 1;
    return exceptionCode;
  }
  return Result::kOk;
}

ResultCode CASTcore::setCommonInfo(const ComnInfo& comn) {
  if (!undoStack) return Result::fail(1);
  if (getCommonInfo() == comn) return Result::kOk;
  return pushCommon(comn, "set common", Result::fail(3));
}

ResultCode CASTcore::setVolume(std::uint8_t value) {
  ComnInfo comn = getCommonInfo();
  comn.volume = value;
  return pushCommon(comn, "set volume", Result::fail(3));
}

ResultCode CASTcore::setPan(std::uint8_t value) {
  ComnInfo comn = getCommonInfo();
  comn.pan = value;
  return pushCommon(comn, "set pan", Result::fail(3));
}

ResultCode CASTcore::setRevSend(std::uint8_t value) {
  ComnInfo comn = getCommonInfo();
  comn.revSend = value;
  return pushCommon(comn, "set revSend", Result::fail(3));
}

ResultCode CASTcore::updateTempo(std::uint64_t tempo) {
  ComnInfo comn = getCommonInfo();
  comn.tempo = tempo;
  const ResultCode rc = pushCommon(comn, "set tempo", Result::fail(2));
  if (Result::failed(rc)) return rc;
  resetRenderState();
  return Result::kOk;
}

ResultCode CASTcore::setNormDepth(std::uint8_t value) {
  ComnInfo comn = getCommonInfo();
  comn.normDepth = value;
  return pushCommon(comn, "set normDepth", Result::fail(3));
}

ResultCode CASTcore::setNormSw(std::uint8_t value) {
  ComnInfo comn = getCommonInfo();
  comn.normSw = value;
  return pushCommon(comn, "set normSw", Result::fail(3));
}
