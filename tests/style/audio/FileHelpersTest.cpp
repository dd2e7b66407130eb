#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <string>
#include <vector>

#include "FileHelpers.h"
#include "TempDir.h"

namespace {

std::string Path(const QString& name) { return TestEnv::tempPath(name).toStdString(); }

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 131 + 7) & 0xFF);
  return v;
}

QByteArray ReadBack(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray AsQt(const std::vector<std::uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<int>(v.size()));
}

}  // namespace

TEST(UniqueTempFilePath, TwoCallsGiveDifferentUuidNamesInTheTempFolder) {
  const std::string suffix = ".dat";
  std::string a, b;
  ASSERT_EQ(MakeUniqueTempFilePath(&suffix, &a), 0u);
  ASSERT_EQ(MakeUniqueTempFilePath(&suffix, &b), 0u);
  EXPECT_NE(a, b);
  const QString qa = QString::fromStdString(a);
  EXPECT_EQ(QFileInfo(qa).absolutePath(), QDir(QDir::tempPath()).absolutePath());
  const QRegularExpression uuidName("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\.dat$");
  EXPECT_TRUE(uuidName.match(QString::fromStdString(a.substr(a.size() - 40))).hasMatch()) << a;
  EXPECT_FALSE(QFile::exists(qa));
  EXPECT_EQ(MakeUniqueTempFilePath(nullptr, &a), 0x80000001u);
  EXPECT_EQ(MakeUniqueTempFilePath(&suffix, nullptr), 0x80000001u);
}

TEST(WholeFiles, WriteAppendReadAndSizeInANonAsciiFolder) {
  const QString folder = TestEnv::tempPath(QString::fromUtf8("Stile \xC3\xA9t\xC3\xA9 \xE9\x9F\xB3"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const std::string path = (folder + QString::fromUtf8("/D\xC3\xBCnn.dat")).toStdString();
  const auto first = Pattern(3000);
  const auto second = Pattern(17);
  ASSERT_EQ(WriteWholeFile(path, first.data(), first.size()), 0u);
  ASSERT_EQ(AppendWholeFile(path, second.data(), second.size()), 0u);
  EXPECT_EQ(GetFileSize(path), 3017u);
  // Qt, given the same UTF-8 path, sees the same file.
  EXPECT_EQ(ReadBack(path), AsQt(first) + AsQt(second));
  std::vector<std::uint8_t> back(3017);
  ASSERT_EQ(ReadWholeFile(path, back.data(), back.size()), 0u);
  EXPECT_EQ(std::vector<std::uint8_t>(back.begin(), back.begin() + 3000), first);
  ASSERT_EQ(WriteWholeFile(path, second.data(), second.size()), 0u);  // truncates
  EXPECT_EQ(GetFileSize(path), 17u);
}

TEST(WholeFiles, OpeningFailuresAndShortTransfersAreReported) {
  const auto data = Pattern(10);
  std::vector<std::uint8_t> buffer(20);
  const std::string missing = Path("no such folder/file.dat");
  EXPECT_EQ(ReadWholeFile(missing, buffer.data(), buffer.size()), 0x80000003u);
  EXPECT_EQ(WriteWholeFile(missing, data.data(), data.size()), 0x80000003u);
  EXPECT_EQ(AppendWholeFile(missing, data.data(), data.size()), 0x80000003u);

  const std::string shortFile = Path("short.dat");
  ASSERT_EQ(WriteWholeFile(shortFile, data.data(), data.size()), 0u);
  EXPECT_EQ(ReadWholeFile(shortFile, buffer.data(), 20), 0x80000004u);
  EXPECT_EQ(ReadWholeFile(shortFile, buffer.data(), 10), 0u);
  // A folder opens but cannot be read: the library reports that as an error.
  EXPECT_TRUE(Result::failed(ReadWholeFile(TestEnv::tempDir().toStdString(), buffer.data(), 4)));

  EXPECT_EQ(ReadWholeFile("", buffer.data(), 4), 0x80000001u);
  EXPECT_EQ(ReadWholeFile(shortFile, nullptr, 4), 0x80000001u);
  EXPECT_EQ(WriteWholeFile(shortFile, data.data(), 0), 0x80000001u);
}

TEST(FileRemoval, AFailedRemovalIsReported) {
  const std::string file = Path("gone.dat");
  const auto data = Pattern(4);
  ASSERT_EQ(WriteWholeFile(file, data.data(), data.size()), 0u);
  EXPECT_EQ(RemoveFile(file), 0u);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(file)));
  EXPECT_EQ(RemoveFile(file), 0u);  // nothing there to remove
  EXPECT_EQ(RemoveFile(""), 0x80000001u);
  const QString folder = TestEnv::tempPath("a folder");
  ASSERT_TRUE(QDir().mkpath(folder));
  EXPECT_EQ(RemoveFile(folder.toStdString()), 0x80000002u);
  EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(FileCopy, CopiesEveryByteAndSkipsEmptySources) {
  const std::string source = Path(QString::fromUtf8("Quelle \xC3\xA4.dat"));
  const std::string target = Path("copy.dat");
  const auto data = Pattern(200000);
  ASSERT_EQ(WriteWholeFile(source, data.data(), data.size()), 0u);
  ASSERT_EQ(CopyFile(target, source), 0u);
  EXPECT_EQ(ReadBack(target), AsQt(data));

  const std::string empty = Path("empty.dat");
  QFile(QString::fromStdString(empty)).open(QIODevice::WriteOnly);
  const std::string none = Path("none.dat");
  EXPECT_EQ(CopyFile(none, empty), 0u);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(none)));
  EXPECT_EQ(CopyFile(Path("missing dir/x.dat"), source), 0x80000004u);
  EXPECT_EQ(CopyFile("", source), 0x80000001u);
}

TEST(ApplicationPaths, FoldersAndNumberedPaths) {
  QString audition, convert, project, init, helpFolder, helpFile;
  GetAuditionTempDir(&audition);
  GetConvertTempDir(&convert);
  EXPECT_EQ(audition, QDir::tempPath() + "/BrevanA.Audition");
  EXPECT_EQ(convert, QDir::tempPath() + "/BrevanA.Convert");
  GetNewProjectPath(&project);
  GetInitStylePath(&init);
  const QString app = QCoreApplication::applicationDirPath();
  EXPECT_EQ(project, app + "/../Resources/new.prj");
  EXPECT_EQ(init, app + "/../Resources/Init.sty");
  GetHelpPaths(&helpFolder, &helpFile);
  EXPECT_EQ(helpFolder, app + "/../Resources/Help");
  EXPECT_TRUE(helpFile.startsWith("/"));
  GetAuditionTempDir(nullptr);
  GetHelpPaths(nullptr, &helpFile);

  const QString folder = TestEnv::tempDir();
  for (const char* name : {"temp1.wav", "temp2.wav"}) QFile(folder + "/" + name).open(QIODevice::WriteOnly);
  QVariant out("unchanged");
  MakeUnusedNumberedPath(QVariant(folder), ".wav", &out);
  EXPECT_EQ(out.toString(), folder + "/temp3.wav");
  SetFinderTypeCreator(Path("temp3.wav"), 0x53545946, 0x4252564E);  // no codes on this platform
}
