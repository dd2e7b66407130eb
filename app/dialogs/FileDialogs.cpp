#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace FileDialogs {

QString startPath(const QString& suggested) {
  if (suggested.isEmpty()) return QDir::homePath();
  const QFileInfo info(suggested);
  if (info.isDir()) return suggested;
  // A last part without an extension names a folder, here one that is
  // missing (a standard folder such as "~/Documents"): a dialog started
  // there would offer the folder's name as the file name.
  const bool folder = suggested.endsWith('/') || info.suffix().isEmpty();
  if (folder) return QDir::homePath();
  if (QFileInfo(info.absolutePath()).isDir()) return suggested;
  return QDir::homePath() + "/" + info.fileName();
}

QString withDefaultExtension(const QString& path, const QString& extension) {
  if (path.isEmpty() || extension.isEmpty()) return path;
  const QFileInfo info(path);
  if (info.fileName().isEmpty() || !info.suffix().isEmpty()) return path;
  return path + "." + extension;
}

QString openFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, startPath(suggested), filter);
}

QString saveFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter,
                 const QString& extension) {
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Applied to the typed name before the replace question, as the desktop's
  // own save dialog does.
  dialog.setDefaultSuffix(extension);
  const QString start = startPath(suggested);
  const QFileInfo info(start);
  if (info.isDir()) {
    dialog.setDirectory(start);
  } else {
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return QString();
  // A dialog of the desktop's own may hand the name back as typed.
  return withDefaultExtension(dialog.selectedFiles().value(0), extension);
}

}  // namespace FileDialogs
