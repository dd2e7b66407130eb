#pragma once
// Undo step of a named section edit: one SetSecInfoCommand under the
// caller's text. A control that is dragged sends a stream of edits of one
// slot under one text; consecutive ones fold into the first step, which keeps
// the slot's state before the drag and takes the latest state after it.
// Edits of another slot, under another text, or after the history moved
// (undo, redo, any other step) start a step of their own.

#include <QUndoCommand>

#include <cstdint>

#include "AllInfo.h"

class SetSecInfoCommand;

class NamedSectionEditCommand : public QUndoCommand {
 public:
  // `mayMerge`: the step on top of the stack is the one pushed last, so this
  // edit directly follows it.
  NamedSectionEditCommand(AllInfo* allInfo, std::uint8_t secNo, const SecInfo& newSec, std::uint8_t* renderedFlag,
                          const QString& text, bool mayMerge);

  int id() const override;
  // Takes over `other`'s resulting slot state when it edits the same slot
  // under the same text; false (nothing changed) otherwise.
  bool mergeWith(const QUndoCommand* other) override;

 private:
  SetSecInfoCommand* edit = nullptr;  // the only child, owned by QUndoCommand
  std::uint8_t secNo = 0;
  bool mayMerge = false;
};
