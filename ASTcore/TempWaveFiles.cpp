#include "TempWaveFiles.h"

#include <QStandardPaths>

#include <memory>
#include <mutex>

#include "SectionNameTable.h"
#include "WholeWrite.h"
#include "WorkFolders.h"

namespace TempWaveFiles {

namespace {

// The analysis worker asks for the folder from its own thread.
struct WorkFolderState {
  std::mutex lock;
  std::unique_ptr<WorkFolders::Held> dir;
};

WorkFolderState& workFolderState() {
  static WorkFolderState state;
  return state;
}

}  // namespace

QString sourceFileName() { return QStringLiteral("AST_temp.wav"); }

QString sectionBaseName(int index) {
  const QString name = SectionNameTable::name(index);
  if (name.isEmpty()) return QString();
  return QStringLiteral("AST_temp_") + name;
}

QString sectionFileName(int index) {
  const QString base = sectionBaseName(index);
  return base.isEmpty() ? QString() : base + QStringLiteral(".wav");
}

QString sourcePath(const QString& folder) { return folder.isEmpty() ? QString() : folder + "/" + sourceFileName(); }

QString sectionPath(const QString& folder, int index) {
  const QString file = sectionFileName(index);
  return file.isEmpty() || folder.isEmpty() ? QString() : folder + "/" + file;
}

QString partialPath(const QString& path) { return path + QStringLiteral(".part"); }

QStringList workFileNames() {
  QStringList names = {sourceFileName(), WorkFolders::lockFileName()};
  for (int index = 0; index < SectionNameTable::kEntries; ++index) {
    const QString file = sectionFileName(index);
    if (!file.isEmpty()) names << file << partialPath(file);
  }
  return names;
}

QString workFolder(QString* whyNot) {
  WorkFolderState& state = workFolderState();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.dir && !state.dir->intact()) {
    // Its own files go through the folder's handle; whatever now bears its
    // name is left alone.
    state.dir->remove();
    state.dir.reset();
  }
  if (!state.dir) {
    const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    int error = 0;
    state.dir = WorkFolders::create(temp, &error);
    if (!state.dir) {
      if (whyNot) *whyNot = QString("Cannot create a work folder in \"%1\": %2").arg(temp, WholeWrite::reason(error));
      return QString();
    }
  }
  return state.dir->path();
}

void removeWorkFolder() {
  WorkFolderState& state = workFolderState();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.dir) state.dir->remove();
  state.dir.reset();
}

WorkFolders::Sweep removeStaleWorkFolders() {
  return WorkFolders::removeStale(QStandardPaths::writableLocation(QStandardPaths::TempLocation), workFileNames());
}

}  // namespace TempWaveFiles
