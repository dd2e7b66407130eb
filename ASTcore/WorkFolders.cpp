#include "WorkFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

namespace WorkFolders {

namespace {

const QString kPrefix = QStringLiteral("Quillmere-");
const QString kStagingPrefix = QStringLiteral("Quillmere-new-");
constexpr int kAttempts = 100;

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd(fd) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd; }
  int release() {
    const int out = fd;
    fd = -1;
    return out;
  }
  void reset(int other = -1) {
    if (fd >= 0) ::close(fd);
    fd = other;
  }

 private:
  int fd;
};

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Opens a folder without following a link in its last step and without
// waiting on whatever the name holds.
int openFolderAt(int parentFd, const char* name) {
  return ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

struct Entry {
  QByteArray name;
  struct stat info;
};

// The entries of an open folder, as they are (links not followed).
bool entriesOf(int dirFd, std::vector<Entry>& out) {
  const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return false;
  DIR* dir = ::fdopendir(listFd);
  if (!dir) {
    ::close(listFd);
    return false;
  }
  bool ok = true;
  while (const dirent* e = ::readdir(dir)) {
    const QByteArray name(e->d_name);
    if (name == "." || name == "..") continue;
    Entry entry{name, {}};
    if (::fstatat(dirFd, e->d_name, &entry.info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone meanwhile
      ok = false;
      break;
    }
    out.push_back(entry);
  }
  ::closedir(dir);
  return ok;
}

// Removes the folder made (or checked) here: every entry but folders
// through the folder's handle, so a link put in the folder's place leads
// nowhere, then the folder itself, only while its name in `parent` still
// leads to it. True when it is gone.
bool removeFolder(const QByteArray& parent, const QByteArray& name, int dirFd, const struct stat& made) {
  std::vector<Entry> entries;
  entriesOf(dirFd, entries);
  for (const Entry& entry : entries) {
    if (!S_ISDIR(entry.info.st_mode)) ::unlinkat(dirFd, entry.name.constData(), 0);
  }
  Fd parentFd(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) return false;
  struct stat now {};
  if (::fstatat(parentFd.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!S_ISDIR(now.st_mode) || !sameFile(now, made)) return false;
  return ::unlinkat(parentFd.get(), name.constData(), AT_REMOVEDIR) == 0;
}

QByteArray parentOf(const QByteArray& path) { return path.left(path.lastIndexOf('/')); }
QByteArray nameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// Gives a folder its final name without ever replacing another folder (a
// plain rename would put it over an empty one).
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
  if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: refuse a name that is taken.
  struct stat existing {};
  if (lstat(to.constData(), &existing) == 0) {
    errno = EEXIST;
    return false;
  }
  return std::rename(from.constData(), to.constData()) == 0;
}

// How a swept folder's lock answered.
enum class Lock { Taken, Missing, Held, NotOurs };

// Takes the lock of a folder's lock file without waiting, and without
// opening anything but a regular file of this user: a FIFO of that name
// would block the open, a link would lead elsewhere.
Lock tryLock(int dirFd, Fd& lock) {
  lock.reset();
  const int fd = ::openat(dirFd, encoded(lockFileName()).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Lock::Missing : Lock::NotOurs;
  Fd opened(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) return Lock::NotOurs;
  // Held by a running copy, or refused by the file system: either way no
  // one can say the copy has ended.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return Lock::Held;
  lock.reset(opened.release());
  return Lock::Taken;
}

// Whether a folder without a lock file may go: nothing in it but the files
// the program writes there, and nothing changed for `ageSecs`.
bool abandoned(const struct stat& folder, const std::vector<Entry>& entries, const QStringList& workFiles,
               qint64 ageSecs) {
  time_t newest = folder.st_mtime;
  for (const Entry& entry : entries) {
    if (!S_ISREG(entry.info.st_mode) || !workFiles.contains(QFile::decodeName(entry.name))) return false;
    newest = std::max(newest, entry.info.st_mtime);
  }
  return std::time(nullptr) - newest >= ageSecs;
}

}  // namespace

QString lockFileName() { return QStringLiteral("owner.lock"); }

Held::Held(QString path, int folderFd, int lockFd) : folder(std::move(path)), dirFd(folderFd), lockFd(lockFd) {
  if (::fstat(dirFd, &made) != 0) made = {};
}

Held::~Held() {
  if (lockFd >= 0) ::close(lockFd);
  if (dirFd >= 0) ::close(dirFd);
}

bool Held::intact() const {
  struct stat now {};
  if (dirFd < 0 || ::lstat(encoded(folder).constData(), &now) != 0) return false;
  return S_ISDIR(now.st_mode) && now.st_uid == getuid() && sameFile(now, made);
}

void Held::remove() {
  if (dirFd >= 0) {
    const QByteArray path = encoded(folder);
    removeFolder(parentOf(path), nameOf(path), dirFd, made);
    ::close(dirFd);
  }
  if (lockFd >= 0) ::close(lockFd);
  dirFd = lockFd = -1;
}

std::unique_ptr<Held> create(const QString& parent, int* error) {
  auto fail = [error](int code) {
    if (error) *error = code;
    return nullptr;
  };
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    QByteArray staging = encoded(parent + "/" + kStagingPrefix + "XXXXXX");
    if (!mkdtemp(staging.data())) return fail(errno);  // mode 0700
    Fd dir(::open(staging.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) {
      const int code = errno;
      ::rmdir(staging.constData());  // removes nothing but an empty folder
      return fail(code);
    }
    struct stat made {};
    if (::fstat(dir.get(), &made) != 0) {
      const int code = errno;
      ::rmdir(staging.constData());
      return fail(code);
    }
    auto discard = [&] { removeFolder(parentOf(staging), nameOf(staging), dir.get(), made); };
    Fd lock(::openat(dir.get(), encoded(lockFileName()).constData(),
                     O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.get() < 0) {
      const int code = errno;
      discard();
      return fail(code);
    }
    if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
      const int code = errno;
      lock.reset();
      discard();
      // A sweep that came between the folder and its lock holds the lock:
      // another folder. Any other answer is the file system refusing locks
      // (ENOLCK where no lock service runs), which no retry mends.
      if (code == EWOULDBLOCK) continue;
      return fail(code);
    }
    const QString suffix = QFile::decodeName(staging).right(6);
    const QString finalPath = parent + "/" + kPrefix + suffix;
    if (renameNoReplace(staging, encoded(finalPath))) {
      auto held = std::make_unique<Held>(finalPath, dir.release(), lock.release());
      if (held->intact()) return held;
      held->remove();
      continue;
    }
    const int code = errno;
    lock.reset();
    discard();
    // The name is taken (by a folder of an older version), or a sweep took
    // the folder before its lock was held: another one.
    if (code != EEXIST && code != ENOENT) return fail(code);
  }
  return fail(EEXIST);
}

Sweep removeStale(const QString& parent, const QStringList& workFiles, qint64 unlockedAgeSecs) {
  static const QRegularExpression finalName(QStringLiteral("^Quillmere-(new-)?[A-Za-z0-9]{6}$"));
  Sweep sweep;
  const QByteArray parentPath = encoded(parent);
  Fd parentFd(::open(parentPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) return sweep;
  std::vector<Entry> candidates;
  entriesOf(parentFd.get(), candidates);
  for (const Entry& candidate : candidates) {
    if (!S_ISDIR(candidate.info.st_mode) || !finalName.match(QFile::decodeName(candidate.name)).hasMatch()) continue;
    Fd dir(openFolderAt(parentFd.get(), candidate.name.constData()));
    if (dir.get() < 0) {
      // Replaced by a link or a file since the listing: not a folder.
      if (errno != ELOOP && errno != ENOTDIR) ++sweep.kept;
      continue;
    }
    struct stat folder {};
    if (::fstat(dir.get(), &folder) != 0 || folder.st_uid != getuid()) {
      ++sweep.kept;
      continue;
    }
    Fd lock;
    const Lock answer = tryLock(dir.get(), lock);
    std::vector<Entry> entries;
    bool removable = (answer == Lock::Taken || answer == Lock::Missing) && entriesOf(dir.get(), entries);
    for (const Entry& entry : entries) removable = removable && !S_ISDIR(entry.info.st_mode);
    if (removable && answer == Lock::Missing) removable = abandoned(folder, entries, workFiles, unlockedAgeSecs);
    if (!removable) {
      ++sweep.kept;
      continue;
    }
    qint64 bytes = 0;
    for (const Entry& entry : entries) {
      if (S_ISREG(entry.info.st_mode)) bytes += entry.info.st_size;
    }
    // Removed while its lock is held here, so a second copy sweeping at the
    // same moment finds it in use and leaves it to this one.
    if (removeFolder(parentPath, candidate.name, dir.get(), folder)) {
      ++sweep.removed;
      sweep.bytes += bytes;
    } else {
      ++sweep.kept;
    }
  }
  return sweep;
}

}  // namespace WorkFolders
