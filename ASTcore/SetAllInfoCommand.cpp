#include "SetAllInfoCommand.h"

SetAllInfoCommand::SetAllInfoCommand(AllInfo* info, const AllInfo& all, const RenderedFlags& flags,
                                     const QString& text, QUndoCommand* parent)
    : QUndoCommand(text, parent), allInfo(info) {
  if (allInfo) oldAll.assign(*allInfo);
  newAll.assign(all);
  renderedFlags = flags;
}

void SetAllInfoCommand::apply(const AllInfo& all) {
  if (!allInfo || Result::failed(allInfo->assign(all))) return;
  for (std::uint8_t* flag : renderedFlags) {
    if (flag) *flag = 0;
  }
}

void SetAllInfoCommand::undo() { apply(oldAll); }

void SetAllInfoCommand::redo() { apply(newAll); }
