#include "RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include <cerrno>

#include "WholeWrite.h"

namespace RegularFile {

namespace {

QString wordsFor(mode_t mode) {
  if (S_ISFIFO(mode)) return QStringLiteral("it is a named pipe (FIFO), not a regular file");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("it is a device, not a regular file");
  if (S_ISSOCK(mode)) return QStringLiteral("it is a socket, not a regular file");
  if (S_ISDIR(mode)) return QStringLiteral("it is a folder, not a regular file");
  return QStringLiteral("it is not a regular file");
}

// Refuses a node that is not a regular file: errno EISDIR for a folder,
// EINVAL for anything else, `why` in the user's words.
int refuse(mode_t mode, QString* why) {
  if (why) *why = wordsFor(mode);
  errno = S_ISDIR(mode) ? EISDIR : EINVAL;
  return -1;
}

// Closes a descriptor whose use failed, keeping the failure's errno.
int closeFailed(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
  return -1;
}

}  // namespace

QString whyNot(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode)) return QString();
  return wordsFor(info.st_mode);
}

bool absentOrRegular(const QString& path) { return whyNot(path).isEmpty(); }

QString cannotOpen(const QString& path) { return QString("Cannot open \"%1\": %2.").arg(path, whyNot(path)); }

QString cannotReplace(const QString& path) {
  const QString why = whyNot(path);
  return why.isEmpty() ? QString() : WholeWrite::cannotCreate(path, why);
}

int openForReading(const QString& path, QString* why) {
  if (why) why->clear();
  const QByteArray name = QFile::encodeName(path);
  // Looked at first, so that a device node is never opened at all.
  struct stat before {};
  if (::stat(name.constData(), &before) != 0) return -1;
  if (!S_ISREG(before.st_mode)) return refuse(before.st_mode, why);
  // Something else may have taken the name since: without waiting on it,
  // and looked at again once open.
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) return closeFailed(fd);
  if (!S_ISREG(opened.st_mode)) {
    ::close(fd);
    return refuse(opened.st_mode, why);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return closeFailed(fd);
  return fd;
}

bool openForReading(QFile& file, const QString& path, QString* why) {
  const int fd = openForReading(path, why);
  if (fd < 0) return false;
  if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
  ::close(fd);
  return false;
}

}  // namespace RegularFile
