#pragma once
// The private work folders of the copies of the program, under the user's
// temporary folder: "Quillmere-" and six letters or digits, each holding a
// lock file "owner.lock" that its copy keeps locked (flock) for as long as
// it runs. The system lets go of such a lock when the process ends, however
// it ends (a crash, kill -9), so a folder whose lock can be taken belongs to
// no running copy and can go.
//
// A folder is made under a staging name ("Quillmere-new-" and six
// characters) and gets its final name only once its lock is held. A sweep
// treats a staging folder like any other: taken only when its lock is free,
// or, before its lock file exists, only after a day without change, so a
// starting copy's half-made folder is never taken for a dead one.
//
// The temporary folder is shared with other users: a folder's name is only
// trusted while it still leads to the very folder made (or checked) here.
// Files are removed through a handle to the folder, never by a path that a
// symbolic link could send elsewhere, and work folders never hold folders,
// so nothing is ever removed below one.

#include <sys/stat.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace WorkFolders {

// A work folder made by this process, locked while the object lives.
class Held {
 public:
  // Takes over the open folder and its locked lock file.
  Held(QString path, int folderFd, int lockFd);
  // Lets go of the lock; the folder stays (remove() takes it away).
  ~Held();
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  const QString& path() const { return folder; }
  // Whether path() still leads to the folder made: a real folder (not a
  // link) of this user, the same one. False once it vanished or something
  // else took its name; nothing may then be written through the name.
  bool intact() const;
  // Removes the files in the folder made, and the folder itself while its
  // name still leads to it; then lets go of the lock.
  void remove();

 private:
  QString folder;
  int dirFd;
  int lockFd;
  struct stat made {};
};

// Makes and locks a new work folder under `parent` (owner-only access);
// null when none can be made there, with the system's error number in
// `error` (no space or inodes left, locks refused by the file system).
std::unique_ptr<Held> create(const QString& parent, int* error = nullptr);

// What a sweep found.
struct Sweep {
  int removed = 0;      // folders removed
  qint64 bytes = 0;     // bytes of the files in them
  int kept = 0;         // folders left: in use, another user's, not ours, or too young to tell
};

// Removes every work folder under `parent` whose copy has ended: its lock
// file is a regular file of this user and its lock can be taken. A folder
// without a lock file (made by an older version of the program, or a copy
// that died while making it) cannot say whether its copy runs; it goes only
// when it holds nothing but files named in `workFiles` and nothing in it
// changed for `unlockedAgeSecs` seconds. A folder that holds a folder, or
// whose lock file is anything but a regular file, is not a work folder and
// stays; so do other users' folders, symbolic links and anything not named
// like a work folder. Never waits on a lock. Safe while other copies run
// and sweep.
Sweep removeStale(const QString& parent, const QStringList& workFiles, qint64 unlockedAgeSecs = 24 * 3600);

// The name of the lock file in a work folder.
QString lockFileName();

}  // namespace WorkFolders
