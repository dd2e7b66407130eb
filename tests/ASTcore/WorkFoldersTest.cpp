// Work folders: a held folder is never swept, a folder whose lock is free
// goes, a folder without a lock goes only when it has been quiet for long;
// nothing that is not a work folder of this user is touched.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegExp>

#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "RefusedLocks.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "WorkFolders.h"

namespace {

void writeFile(const QString& path, qint64 bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(f.write(QByteArray(static_cast<int>(bytes), 'x')), bytes);
}

// Sets the times of a folder and its files `seconds` into the past.
void age(const QString& folder, long seconds) {
  timeval now{};
  gettimeofday(&now, nullptr);
  const timeval past[2] = {{now.tv_sec - seconds, 0}, {now.tv_sec - seconds, 0}};
  for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
    utimes(QFile::encodeName(file.filePath()).constData(), past);
  utimes(QFile::encodeName(folder).constData(), past);
}

// Sets the times of a folder and of what it holds (not below) `seconds`
// into the past, without following links.
void ageAll(const QString& folder, long seconds) {
  const timespec past[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
  for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot))
    utimensat(AT_FDCWD, QFile::encodeName(folder + "/" + name).constData(), past, AT_SYMLINK_NOFOLLOW);
  utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), past, 0);
}

}  // namespace

TEST(WorkFolders, ASweepRemovesTheFoldersOfEndedCopiesOnlyAndCountsWhatItFreed) {
  const QString parent = TestEnv::tempPath("tmp");
  ASSERT_TRUE(QDir().mkpath(parent));

  auto held = WorkFolders::create(parent);
  ASSERT_TRUE(held);
  EXPECT_TRUE(QFileInfo(held->path()).isDir());
  EXPECT_TRUE(QFileInfo(held->path()).fileName().contains(QRegExp("^Quillmere-[A-Za-z0-9]{6}$")));
  EXPECT_EQ(QFileInfo(held->path()).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup), 0);
  writeFile(held->path() + "/AST_temp.wav", 3000);

  // An ended copy: its lock went with it.
  QString ended;
  {
    auto gone = WorkFolders::create(parent);
    ASSERT_TRUE(gone);
    ended = gone->path();
    writeFile(ended + "/AST_temp.wav", 5000);
    writeFile(ended + "/AST_temp_Main A.wav", 700);
  }
  // A copy that died while making its folder, before the folder's last name.
  const QString halfMade = parent + "/Quillmere-new-Ab12Cd";
  ASSERT_TRUE(QDir().mkpath(halfMade));
  writeFile(halfMade + "/" + WorkFolders::lockFileName(), 0);
  // Folders of an older program without a lock: one left for days, one
  // that may belong to a copy running now.
  const QString oldUnlocked = parent + "/Quillmere-Zz9Yy8";
  const QString newUnlocked = parent + "/Quillmere-Xx7Ww6";
  for (const QString& folder : {oldUnlocked, newUnlocked}) {
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + "/AST_temp.wav", 200);
  }
  age(oldUnlocked, 2 * 24 * 3600);
  // Not work folders: other names, a file, a link to a folder elsewhere.
  const QString elsewhere = TestEnv::tempPath("elsewhere");
  ASSERT_TRUE(QDir().mkpath(elsewhere));
  writeFile(elsewhere + "/" + WorkFolders::lockFileName(), 0);
  writeFile(elsewhere + "/keep.wav", 10);
  ASSERT_TRUE(QFile::link(elsewhere, parent + "/Quillmere-Ln1234"));
  ASSERT_TRUE(QDir().mkpath(parent + "/Quillmere-notes"));
  writeFile(parent + "/Quillmere-Fi1234", 10);
  age(parent + "/Quillmere-notes", 2 * 24 * 3600);

  const WorkFolders::Sweep sweep = WorkFolders::removeStale(parent, TempWaveFiles::workFileNames());
  EXPECT_EQ(sweep.removed, 3);
  EXPECT_EQ(sweep.bytes, 5000 + 700 + 200);
  EXPECT_EQ(sweep.kept, 2);
  EXPECT_FALSE(QFileInfo::exists(ended));
  EXPECT_FALSE(QFileInfo::exists(halfMade));
  EXPECT_FALSE(QFileInfo::exists(oldUnlocked));
  EXPECT_EQ(QFileInfo(held->path() + "/AST_temp.wav").size(), 3000) << "a running copy's folder stays whole";
  EXPECT_TRUE(QFileInfo::exists(newUnlocked));
  EXPECT_TRUE(QFileInfo::exists(elsewhere + "/keep.wav"));
  EXPECT_TRUE(QFileInfo(parent + "/Quillmere-Ln1234").isSymLink());
  EXPECT_TRUE(QFileInfo::exists(parent + "/Quillmere-notes"));
  EXPECT_TRUE(QFileInfo::exists(parent + "/Quillmere-Fi1234"));

  // A second sweep finds nothing more; removing the held folder lets go.
  EXPECT_EQ(WorkFolders::removeStale(parent, TempWaveFiles::workFileNames()).removed, 0);
  const QString path = held->path();
  held->remove();
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(WorkFolders, ManyFoldersAtOnceHaveTheirOwnNamesAndLocks) {
  // A folder of the test's own: where the suite runs as one process, the
  // process's own work folder may already stand in the temporary folder.
  const QString parent = TestEnv::tempPath("many");
  ASSERT_TRUE(QDir().mkpath(parent));
  std::vector<std::unique_ptr<WorkFolders::Held>> folders;
  QStringList names;
  for (int i = 0; i < 20; ++i) {
    folders.push_back(WorkFolders::create(parent));
    ASSERT_TRUE(folders.back());
    names << folders.back()->path();
  }
  names.removeDuplicates();
  EXPECT_EQ(names.size(), 20);
  EXPECT_EQ(WorkFolders::removeStale(parent, TempWaveFiles::workFileNames()).kept, 20) << "every one is in use";
  EXPECT_TRUE(QDir(parent).entryList({"Quillmere-new-*"}, QDir::Dirs).isEmpty()) << "no half-made folder left";
  folders.resize(10);  // ten copies end without removing theirs
  const WorkFolders::Sweep sweep = WorkFolders::removeStale(parent, TempWaveFiles::workFileNames());
  EXPECT_EQ(sweep.removed, 10);
  EXPECT_EQ(sweep.kept, 10);
  EXPECT_FALSE(WorkFolders::create(TestEnv::tempPath("no/such/folder"))) << "no folder where none can be made";
}

TEST(WorkFolders, ASweepTakesOnlyFoldersOfNothingButTheProgramsFilesAndNeverWaitsOnALock) {
  const QString parent = TestEnv::tempPath("shared");
  const QString elsewhere = TestEnv::tempPath("elsewhere");
  ASSERT_TRUE(QDir().mkpath(parent) && QDir().mkpath(elsewhere));
  writeFile(elsewhere + "/keep.txt", 10);
  const QByteArray fifo = QFile::encodeName(parent + "/Quillmere-Ff1234/" + WorkFolders::lockFileName());
  struct Case {
    const char* name;
    std::function<void(const QString&)> fill;
    bool goes;
  };
  const Case cases[] = {
      // A user's folder two days old at its top, with a fresh file below.
      {"Quillmere-photos", [](const QString& f) { QDir().mkpath(f + "/2023"); writeFile(f + "/2023/new.jpg", 10); },
       false},
      {"Quillmere-Nt1234", [](const QString& f) { writeFile(f + "/AST_temp.wav", 10); writeFile(f + "/notes.txt", 10); },
       false},
      {"Quillmere-Ff1234", [&fifo](const QString&) { ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0); }, false},
      {"Quillmere-Sl1234",
       [&elsewhere](const QString& f) { ASSERT_TRUE(QFile::link(elsewhere + "/keep.txt", f + "/owner.lock")); }, false},
      // An older version's folder, or one whose copy died while making it.
      {"Quillmere-Ok1234",
       [](const QString& f) { writeFile(f + "/AST_temp.wav", 10); writeFile(f + "/AST_temp_Main A.wav.part", 10); },
       true},
  };
  for (const Case& c : cases) {
    const QString folder = parent + "/" + c.name;
    ASSERT_TRUE(QDir().mkpath(folder));
    c.fill(folder);
    ageAll(folder, 2 * 24 * 3600);
  }

  auto sweeping = std::async(std::launch::async, [&parent] {
    return WorkFolders::removeStale(parent, TempWaveFiles::workFileNames());
  });
  if (sweeping.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "the sweep waits on the FIFO, as every start then would";
    const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);  // lets it go on
    if (writer >= 0) ::close(writer);
  }
  const WorkFolders::Sweep sweep = sweeping.get();
  std::printf("[figures] sweep removed %d, kept %d\n", sweep.removed, sweep.kept);
  for (const Case& c : cases) EXPECT_EQ(QFileInfo::exists(parent + "/" + c.name), !c.goes) << c.name;
  EXPECT_EQ(sweep.removed, 1);
  EXPECT_EQ(sweep.kept, 4);
  EXPECT_TRUE(QFileInfo::exists(parent + "/Quillmere-photos/2023/new.jpg"));
  EXPECT_TRUE(QFileInfo::exists(elsewhere + "/keep.txt"));
}

TEST(WorkFolders, ALockTheFileSystemRefusesEndsTheTryWithItsReasonAndLeavesNoStagingFolder) {
  struct Case {
    int error;
    int times;  // refusals, -1 for every try
    bool made;  // a lock a sweep took (EWOULDBLOCK) is tried again
  };
  for (const Case& c : {Case{ENOLCK, -1, false}, Case{EWOULDBLOCK, 1, true}}) {
    SCOPED_TRACE(c.error);
    const QString parent = TestEnv::tempPath(QString("parent%1").arg(c.error));
    ASSERT_TRUE(QDir().mkpath(parent));
    int error = 0;
    std::unique_ptr<WorkFolders::Held> held;
    {
      RefusedLocks refuse(c.error, c.times);
      held = WorkFolders::create(parent, &error);
      EXPECT_GE(refuse.refused(), 1);
    }
    EXPECT_EQ(bool(held), c.made);
    if (!c.made) {
      EXPECT_EQ(error, ENOLCK);
    }
    const QStringList left = QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    std::printf("[figures] flock refused with %d: %d folders left\n", c.error, static_cast<int>(left.size()));
    EXPECT_EQ(left.size(), c.made ? 1 : 0) << left.join(' ').toStdString();
  }
}
