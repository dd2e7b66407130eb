// MainWindow: files dragged onto the window. The drag handlers decide from
// the dragged URLs alone; the drop only records the paths, and the import or
// the open runs 600 ms later from a timer, outside the drop event, so the
// desktop's drag is finished before any dialog appears.

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "FileKinds.h"
#include "MainWindow.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");
constexpr int kDropDelayMs = 600;

enum class UrlCheck { NotUrls, Refused, Passed };

UrlCheck checkUrls(const QDropEvent* event, const QStringList& suffixes) {
  const QMimeData* mime = event->mimeData();
  if (!mime || !mime->hasFormat(kUriList)) return UrlCheck::NotUrls;
  const QList<QUrl> urls = mime->urls();
  if (urls.size() > 1) return UrlCheck::Refused;
  for (const QUrl& url : urls) {
    // A URL that names no local file has no suffix and matches nothing.
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    if (suffix.isEmpty() || !suffixes.contains(suffix)) return UrlCheck::Refused;
  }
  return UrlCheck::Passed;
}

}  // namespace

bool MainWindow::acceptDragOfKind(QDropEvent* event, const QStringList& suffixes, int kind, Qt::DropAction action) {
  if (!event) return false;
  switch (checkUrls(event, suffixes)) {
    case UrlCheck::NotUrls: event->ignore(); return false;
    case UrlCheck::Refused: return false;
    case UrlCheck::Passed: break;
  }
  mDropKind = kind;
  event->setDropAction(action);
  event->accept();
  return true;
}

bool MainWindow::isAudioFileUrl(QDropEvent* event) {
  return acceptDragOfKind(event, audioFileSuffixes(), 1, Qt::LinkAction);
}

bool MainWindow::isProjectFileUrl(QDropEvent* event) {
  return acceptDragOfKind(event, projectFileSuffixes(), 2, Qt::CopyAction);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!event) return;
  if (!isAudioFileUrl(event) && !isProjectFileUrl(event)) event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!event) return;
  if (!isAudioFileUrl(event) && !isProjectFileUrl(event)) event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const int kind = mDropKind;
  mDropKind = 0;
  if (!event) return;
  if (kind == 2)
    scheduleProjectDrop(event);
  else if (kind == 1)
    scheduleAudioDrop(event);
  else
    event->ignore();
}

bool MainWindow::scheduleDrop(QDropEvent* event, const char* slot) {
  if (!event || !event->mimeData() || !event->mimeData()->hasFormat(kUriList)) return false;
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  mDropFiles.clear();
  for (const QUrl& url : urls) mDropFiles << url.toLocalFile();
  event->accept();
  connect(&mDropTimer, SIGNAL(timeout()), this, slot);
  mDropTimer.setSingleShot(true);
  mDropTimer.start(kDropDelayMs);
  return true;
}

bool MainWindow::scheduleAudioDrop(QDropEvent* event) {
  return scheduleDrop(event, SLOT(dropEventAsynchronousProcessingImportWav()));
}

bool MainWindow::scheduleProjectDrop(QDropEvent* event) {
  return scheduleDrop(event, SLOT(dropEventAsynchronousProcessingLoadPrj()));
}

bool MainWindow::deferDropWhileBusy() {
  // The timer can fire inside the modal loop of a running job, which works
  // on the project core without locks: the drop waits until the job ends.
  if (!isBusy()) return false;
  mDropTimer.start(kDropDelayMs);
  return true;
}

void MainWindow::dropEventAsynchronousProcessingImportWav() {
  if (deferDropWhileBusy()) return;
  QObject::disconnect(&mDropTimer, nullptr, nullptr, nullptr);
  // Each import runs dialogs of its own, during which a new drop may replace
  // the list.
  const QStringList files = mDropFiles;
  importAudioFiles(files);
}

void MainWindow::dropEventAsynchronousProcessingLoadPrj() {
  if (deferDropWhileBusy()) return;
  QObject::disconnect(&mDropTimer, nullptr, nullptr, nullptr);
  const QStringList files = mDropFiles;
  for (const QString& file : files) openProjectFile(file);
}
