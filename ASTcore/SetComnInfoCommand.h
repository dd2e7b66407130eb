#pragma once
// Undo step holding the common record before and after an edit.

#include <QUndoCommand>

#include "AllInfo.h"

class SetComnInfoCommand : public QUndoCommand {
 public:
  SetComnInfoCommand(AllInfo* allInfo, const ComnInfo& newComn, const QString& text,
                     QUndoCommand* parent = nullptr);

  void undo() override;
  void redo() override;

 private:
  AllInfo* allInfo;
  ComnInfo oldComn;
  ComnInfo newComn;
};
