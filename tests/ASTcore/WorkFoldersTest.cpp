// Work folders: a held folder is never swept, a folder whose lock is free
// goes, a folder without a lock goes only when it has been quiet for long;
// nothing that is not a work folder of this user is touched.

#include <gtest/gtest.h>

#include <sys/time.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegExp>

#include <memory>
#include <vector>

#include "TempDir.h"
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

  const WorkFolders::Sweep sweep = WorkFolders::removeStale(parent);
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
  EXPECT_EQ(WorkFolders::removeStale(parent).removed, 0);
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
  EXPECT_EQ(WorkFolders::removeStale(parent).kept, 20) << "every one is in use";
  EXPECT_TRUE(QDir(parent).entryList({"Quillmere-new-*"}, QDir::Dirs).isEmpty()) << "no half-made folder left";
  folders.resize(10);  // ten copies end without removing theirs
  const WorkFolders::Sweep sweep = WorkFolders::removeStale(parent);
  EXPECT_EQ(sweep.removed, 10);
  EXPECT_EQ(sweep.kept, 10);
  EXPECT_FALSE(WorkFolders::create(TestEnv::tempPath("no/such/folder"))) << "no folder where none can be made";
}
