#include "WorkFolders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

namespace WorkFolders {

namespace {

const QString kPrefix = QStringLiteral("Quillmere-");
const QString kStagingPrefix = QStringLiteral("Quillmere-new-");
constexpr int kAttempts = 100;

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// Gives a folder its final name without ever replacing another folder (a
// plain rename would put it over an empty one).
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
  if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: refuse a name that is taken.
  struct stat existing {};
  if (lstat(to.constData(), &existing) == 0) return false;
  return std::rename(from.constData(), to.constData()) == 0;
}

// Takes the lock of a folder's lock file without waiting: the descriptor,
// -1 while another process holds it, -2 when there is no lock file.
int tryLock(const QString& folder) {
  const int fd = ::open(encoded(folder + "/" + lockFileName()).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return -2;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The bytes of the files in a folder (work folders hold no subfolders, but
// any found are counted too).
qint64 bytesIn(const QString& folder) {
  qint64 total = 0;
  for (const QFileInfo& entry :
       QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
    total += entry.isDir() && !entry.isSymLink() ? bytesIn(entry.filePath()) : entry.size();
  }
  return total;
}

// Seconds since anything in the folder (or the folder itself) changed.
qint64 quietSeconds(const QString& folder) {
  QDateTime newest = QFileInfo(folder).lastModified();
  for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
    if (entry.lastModified() > newest) newest = entry.lastModified();
  }
  return newest.secsTo(QDateTime::currentDateTime());
}

}  // namespace

QString lockFileName() { return QStringLiteral("owner.lock"); }

Held::Held(QString path, int lockFd) : folder(std::move(path)), fd(lockFd) {}

Held::~Held() {
  if (fd >= 0) ::close(fd);
}

void Held::remove() {
  QDir(folder).removeRecursively();
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::unique_ptr<Held> create(const QString& parent) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    QByteArray staging = encoded(parent + "/" + kStagingPrefix + "XXXXXX");
    if (!mkdtemp(staging.data())) return nullptr;  // mode 0700
    const QString stagingPath = QFile::decodeName(staging);
    const int fd = ::open(encoded(stagingPath + "/" + lockFileName()).constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      QDir(stagingPath).removeRecursively();
      return nullptr;
    }
    // A sweep that came between the folder and its lock took the lock (and
    // removes the folder): another one.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    const QString suffix = stagingPath.right(6);
    const QString finalPath = parent + "/" + kPrefix + suffix;
    if (renameNoReplace(staging, encoded(finalPath))) return std::make_unique<Held>(finalPath, fd);
    // The name is taken (by a folder of an older version), or a sweep took
    // the folder before its lock was held: another one.
    ::close(fd);
    QDir(stagingPath).removeRecursively();
  }
  return nullptr;
}

Sweep removeStale(const QString& parent, qint64 unlockedAgeSecs) {
  static const QRegularExpression finalName(QStringLiteral("^Quillmere-(new-)?[A-Za-z0-9]{6}$"));
  Sweep sweep;
  const uint me = static_cast<uint>(getuid());
  const QFileInfoList entries =
      QDir(parent).entryInfoList({kPrefix + "*"}, QDir::Dirs | QDir::NoSymLinks | QDir::Hidden | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    if (!finalName.match(entry.fileName()).hasMatch()) continue;
    if (entry.isSymLink() || entry.ownerId() != me) {
      ++sweep.kept;
      continue;
    }
    const QString folder = entry.filePath();
    const int fd = tryLock(folder);
    if (fd == -1 || (fd == -2 && quietSeconds(folder) < unlockedAgeSecs)) {
      ++sweep.kept;
      continue;
    }
    const qint64 bytes = bytesIn(folder);
    // Removed while its lock is held here, so a second copy sweeping at the
    // same moment finds it in use and leaves it to this one.
    const bool gone = QDir(folder).removeRecursively();
    if (fd >= 0) ::close(fd);
    if (gone) {
      ++sweep.removed;
      sweep.bytes += bytes;
    } else {
      ++sweep.kept;
    }
  }
  return sweep;
}

}  // namespace WorkFolders
