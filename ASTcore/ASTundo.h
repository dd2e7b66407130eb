#pragma once
// The core's undo stack. Besides the history it tracks whether the project
// was modified since it was created, opened or saved.

#include <QUndoStack>

#include <cstdint>

class ASTundo : public QUndoStack {
  Q_OBJECT

 public:
  ASTundo() : QUndoStack(nullptr) {}

  // Pushes (and thereby applies) the command; the project is modified.
  virtual void push(QUndoCommand* cmd);
  // Drops the whole history; the project counts as unmodified.
  virtual void clear();
  // Steps back; back at the start of the history the project is unmodified.
  virtual void undo();
  virtual void redo();

  // Pushes `cmd` as the only command of a top-level macro named
  // `macroText`, so the stack gains exactly one step. When applying the
  // command throws, the macro is closed and taken off the stack again, the
  // command is deleted and the exception passes on: the stack is never left
  // inside an open macro that would swallow every later edit.
  void pushMacro(const QString& macroText, QUndoCommand* cmd);

  bool isModified() const { return modified != 0; }

  // True while the step before the current index is the one pushed last
  // and no undo, redo or clear has moved the history since, not even one
  // that an undo and a redo brought back to the same index.
  bool lastPushIsCurrent() const { return index() == indexAfterLastPush; }

 private:
  std::uint8_t modified = 0;
  int indexAfterLastPush = -1;
};
