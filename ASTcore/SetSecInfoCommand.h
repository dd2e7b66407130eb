#pragma once
// Undo step holding one section slot before and after an edit. Undo and
// redo invalidate the slot's rendered audio.

#include <QUndoCommand>

#include <cstdint>

#include "AllInfo.h"

class SetSecInfoCommand : public QUndoCommand {
 public:
  SetSecInfoCommand(AllInfo* allInfo, std::uint8_t secNo, const SecInfo& newSec,
                    std::uint8_t* renderedFlag, const QString& text, QUndoCommand* parent = nullptr);

  void undo() override;
  void redo() override;

  // Makes `later`'s resulting slot state this step's result, keeping this
  // step's state before; `later` edits the same slot and was applied after.
  void takeResultOf(const SetSecInfoCommand& later) { newSec = later.newSec; }

 private:
  void apply(const SecInfo& sec);

  AllInfo* allInfo;
  std::uint8_t secNo = 0;
  SecInfo oldSec;
  SecInfo newSec;
  std::uint8_t* renderedFlag = nullptr;
};
