#include "ASTundo.h"

#include <QDebug>

void ASTundo::push(QUndoCommand* cmd) {
  const QString text = cmd ? cmd->text() : QString();
  QUndoStack::push(cmd);
  indexAfterLastPush = index();
  modified = 1;
  qDebug().noquote() << QString("push -> [%1] / undo count [%2]").arg(text).arg(count());
}

void ASTundo::clear() {
  QUndoStack::clear();
  indexAfterLastPush = -1;
  modified = 0;
  qDebug().noquote() << QString("clear -> undo index [%1] / undo count [%2]").arg(index()).arg(count());
}

void ASTundo::undo() {
  const int before = index();
  QUndoStack::undo();
  // A redo brings the index back to where the last push left it; the edit
  // after it must still not fold into the redone step.
  if (index() != before) indexAfterLastPush = -1;
  if (index() == 0) modified = 0;
  qDebug().noquote() << QString("undo -> undo index [%1] / undo count [%2]").arg(index()).arg(count());
}

void ASTundo::redo() {
  const int before = index();
  QUndoStack::redo();
  if (index() != before) indexAfterLastPush = -1;
  modified = 1;
  qDebug().noquote() << QString("redo -> undo index [%1] / undo count [%2]").arg(index()).arg(count());
}

void ASTundo::pushMacro(const QString& macroText, QUndoCommand* cmd) {
  beginMacro(macroText);
  try {
    push(cmd);
  } catch (...) {
    // The top-level macro is the stack's last command while it is open. The
    // stack takes a command over only after its first redo returned.
    QUndoCommand* macro = const_cast<QUndoCommand*>(command(count() - 1));
    const bool taken = macro && macro->childCount() > 0;
    if (!taken) delete cmd;
    endMacro();
    if (!taken && macro) {
      // An obsolete command is dropped from the stack when it is undone.
      macro->setObsolete(true);
      QUndoStack::undo();
    }
    throw;
  }
  endMacro();
}
