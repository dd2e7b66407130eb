#include "SetComnInfoCommand.h"

SetComnInfoCommand::SetComnInfoCommand(AllInfo* info, const ComnInfo& comn, const QString& text,
                                       QUndoCommand* parent)
    : QUndoCommand(text, parent), allInfo(info) {
  if (!allInfo) return;
  const ComnInfo* current = nullptr;
  allInfo->getComnInfo(&current);
  oldComn = *current;
  newComn = comn;
}

void SetComnInfoCommand::undo() {
  if (allInfo) allInfo->setComnInfo(oldComn);
}

void SetComnInfoCommand::redo() {
  if (allInfo) allInfo->setComnInfo(newComn);
}
