#pragma once
// Undo step holding the whole model before and after a compound edit. Undo
// and redo invalidate the rendered audio of every slot.

#include <QUndoCommand>

#include <array>
#include <cstdint>

#include "AllInfo.h"

class SetAllInfoCommand : public QUndoCommand {
 public:
  using RenderedFlags = std::array<std::uint8_t*, AllInfo::kSectionCount>;

  SetAllInfoCommand(AllInfo* allInfo, const AllInfo& newAll, const RenderedFlags& flags,
                    const QString& text, QUndoCommand* parent = nullptr);

  void undo() override;
  void redo() override;

 private:
  void apply(const AllInfo& all);

  AllInfo* allInfo;
  AllInfo oldAll;
  AllInfo newAll;
  RenderedFlags renderedFlags{};
};
