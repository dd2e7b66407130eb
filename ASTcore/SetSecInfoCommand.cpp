#include "SetSecInfoCommand.h"

SetSecInfoCommand::SetSecInfoCommand(AllInfo* info, std::uint8_t slot, const SecInfo& sec,
                                     std::uint8_t* flag, const QString& text, QUndoCommand* parent)
    : QUndoCommand(text, parent), allInfo(info) {
  const SecInfo* current = nullptr;
  if (slot >= AllInfo::kSectionCount || !allInfo || Result::failed(allInfo->getSecInfo(slot, &current))) {
    allInfo = nullptr;  // nothing to edit: undo and redo do nothing
    return;
  }
  secNo = slot;
  oldSec = *current;
  newSec = sec;
  renderedFlag = flag;
}

void SetSecInfoCommand::apply(const SecInfo& sec) {
  if (!allInfo) return;
  allInfo->setSecInfo(secNo, sec);
  if (renderedFlag) *renderedFlag = 0;
}

void SetSecInfoCommand::undo() { apply(oldSec); }

void SetSecInfoCommand::redo() { apply(newSec); }
