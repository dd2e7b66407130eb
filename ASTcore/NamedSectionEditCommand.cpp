#include "NamedSectionEditCommand.h"

#include "SetSecInfoCommand.h"

namespace {
// Any value unique among the program's commands; -1 means "never merge".
constexpr int kNamedSectionEditId = 0x5EC;
}  // namespace

NamedSectionEditCommand::NamedSectionEditCommand(AllInfo* allInfo, std::uint8_t slot, const SecInfo& newSec,
                                                 std::uint8_t* renderedFlag, const QString& text, bool merge)
    : QUndoCommand(text), secNo(slot), mayMerge(merge) {
  edit = new SetSecInfoCommand(allInfo, slot, newSec, renderedFlag, QString("set section[%1]").arg(slot), this);
}

int NamedSectionEditCommand::id() const { return kNamedSectionEditId; }

bool NamedSectionEditCommand::mergeWith(const QUndoCommand* other) {
  const auto* next = dynamic_cast<const NamedSectionEditCommand*>(other);
  if (!next || !next->mayMerge || next->secNo != secNo || next->text() != text()) return false;
  edit->takeResultOf(*next->edit);
  return true;
}
