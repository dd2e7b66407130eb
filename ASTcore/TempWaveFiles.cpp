#include "TempWaveFiles.h"

#include <QDir>
#include <QStandardPaths>

#include <memory>
#include <mutex>

#include "SectionNameTable.h"
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

QString sourcePath(const QString& folder) { return folder + "/" + sourceFileName(); }

QString sectionPath(const QString& folder, int index) {
  const QString file = sectionFileName(index);
  return file.isEmpty() ? QString() : folder + "/" + file;
}

QString workFolder() {
  WorkFolderState& state = workFolderState();
  std::lock_guard<std::mutex> guard(state.lock);
  const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  if (!state.dir || !QDir(state.dir->path()).exists()) {
    state.dir = WorkFolders::create(temp);
    if (!state.dir) return temp;
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
  return WorkFolders::removeStale(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
}

}  // namespace TempWaveFiles
