#pragma once
// A text edit that accepts dropped files by their extension (and, in a
// non-zero mode, folders) and reports an accepted drop by a signal. It
// inserts nothing itself.

#include <QStringList>
#include <QTextEdit>

class QMimeData;

class CTextEditDrop : public QTextEdit {
  Q_OBJECT
 public:
  explicit CTextEditDrop(QWidget* parent = nullptr) : QTextEdit(parent) {}

  // Accepts files whose suffix equals `extension` exactly (letter case counts).
  void addExtension(const QString& extension) { mExtensions.append(extension); }
  // Non-zero: existing folders are accepted as well.
  void setMode(int mode) { mMode = mode; }

  // True when one of the URLs is an existing local file with an accepted
  // suffix, or (non-zero mode) an existing folder. False for null data.
  bool acceptUrls(const QMimeData* data) const;

 signals:
  void acceptDrop(const QMimeData* inMimeData);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QStringList mExtensions;
  int mMode = 0;
};
