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

#include <QString>

#include <memory>

namespace WorkFolders {

// A work folder made by this process, locked while the object lives.
class Held {
 public:
  Held(QString path, int lockFd);
  // Lets go of the lock; the folder stays (remove() takes it away).
  ~Held();
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  const QString& path() const { return folder; }
  // Removes the folder with everything in it, then lets go of the lock.
  void remove();

 private:
  QString folder;
  int fd;
};

// Makes and locks a new work folder under `parent` (owner-only access);
// null when none can be made there.
std::unique_ptr<Held> create(const QString& parent);

// What a sweep found.
struct Sweep {
  int removed = 0;      // folders removed
  qint64 bytes = 0;     // bytes of the files in them
  int kept = 0;         // folders left: in use, another user's, or too young to tell
};

// Removes every work folder under `parent` whose copy has ended: its lock
// can be taken. A folder without a lock file (made by an older version of
// the program, or a copy that died while making it) cannot say whether its
// copy runs; it goes only when nothing in it changed for `unlockedAgeSecs`
// seconds. Other users' folders, symbolic links and anything not named like
// a work folder are never touched. Safe while other copies run and sweep.
Sweep removeStale(const QString& parent, qint64 unlockedAgeSecs = 24 * 3600);

// The name of the lock file in a work folder.
QString lockFileName();

}  // namespace WorkFolders
