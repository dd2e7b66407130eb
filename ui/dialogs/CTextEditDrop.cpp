#include "CTextEditDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

bool CTextEditDrop::acceptUrls(const QMimeData* data) const {
  if (!data) return false;
  for (const QUrl& url : data->urls()) {
    const QFileInfo info(url.toLocalFile());
    if (info.isFile() && mExtensions.contains(info.suffix(), Qt::CaseSensitive)) return true;
    if (mMode != 0 && info.isDir()) return true;
  }
  return false;
}

void CTextEditDrop::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && acceptUrls(event->mimeData())) event->accept();
}

void CTextEditDrop::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && acceptUrls(event->mimeData())) event->accept();
}

void CTextEditDrop::dropEvent(QDropEvent* event) {
  if (!(event->mimeData()->hasUrls() && acceptUrls(event->mimeData()))) return;
  event->accept();
  emit acceptDrop(event->mimeData());
}
