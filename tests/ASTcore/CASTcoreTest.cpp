#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "SlotOf.h"
#include "TempDir.h"

namespace {

WavInfo* namedWave(const std::wstring& name) {
  auto* w = new WavInfo;
  w->fileName = name;
  w->beatTime = {0.0f, 0.25f, 0.5f, 0.75f};
  return w;
}

void useSlot(CASTcore& core, std::uint8_t slot, std::uint8_t wavNo) {
  SecInfo s;
  s.used = 1;
  s.wavNo = wavNo;
  s.startAdrs = 100u * (slot + 1);
  s.endAdrs = 100u * (slot + 2);
  s.barNum = 1;
  ASSERT_EQ(core.updateSecInfo(slot, s), 0u);
}

}  // namespace

TEST(CASTcore, ResourcesAreFoundBesideTheExecutable) {
  CASTcore core;
  const QString resources = CASTcore::applicationDir() + "/../Resources";
  QString path;
  ASSERT_EQ(core.getPath(1, path), 0u);
  EXPECT_EQ(path, resources + "/Empty.sty");
  core.getPath(2, path);
  EXPECT_EQ(path, resources + "/Metro1.wav");
  core.getPath(3, path);
  EXPECT_EQ(path, resources + "/Metro2.wav");
  core.getPath(0, path);
  EXPECT_EQ(QFileInfo(path).absolutePath(), QStandardPaths::writableLocation(QStandardPaths::TempLocation))
      << "a work folder of the process's own in the temporary folder";
  EXPECT_TRUE(QFileInfo(path).isDir());
  EXPECT_TRUE(QDir(resources).exists()) << "the build lays Resources beside bin";
}

TEST(CASTcore, PathCodeTable) {
  CASTcore core;
  QString out;
  EXPECT_EQ(core.getPath(4, out), 0x80000001u);
  EXPECT_EQ(core.setPath(1, 255, QString()), 0x80000001u);
  EXPECT_EQ(core.setPath(0, 100, "x"), 0x80000002u);
  EXPECT_EQ(core.setPath(0, 18, "x"), 0x80000002u);
  EXPECT_EQ(core.setPath(4, 7, "x"), 0x80000003u);

  EXPECT_EQ(core.setPath(1, 255, "/opt/res"), 0u);
  core.getPath(1, out);
  EXPECT_EQ(out, "/opt/res/Empty.sty");
  EXPECT_EQ(core.setPath(2, 253, "sounds"), 0u);
  core.getPath(2, out);
  EXPECT_EQ(out, CASTcore::applicationDir() + "/sounds/Metro1.wav");
  EXPECT_EQ(core.setPath(3, 254, "m"), 0u);
  core.getPath(3, out);
  EXPECT_EQ(out, QDir::current().canonicalPath() + "/m/Metro2.wav");
  EXPECT_EQ(core.setPath(0, static_cast<std::uint8_t>(QStandardPaths::TempLocation), "work"), 0u);
  core.getPath(0, out);
  EXPECT_EQ(out, QStandardPaths::writableLocation(QStandardPaths::TempLocation) + "/work");
}

TEST(CASTcore, AddWaveIsOneUndoableStep) {
  CASTcore core;
  ASSERT_EQ(core.addWavList(namedWave(L"one.wav")), 0u);
  ASSERT_EQ(core.addWavList(namedWave(L"two.wav")), 0u);
  EXPECT_EQ(core.waveCount(), 2u);
  EXPECT_EQ(core.undoText(), "set all");
  core.undo();
  EXPECT_EQ(core.waveCount(), 1u);
  WavInfo* w = nullptr;
  core.getWaveInfo(0, &w);
  EXPECT_EQ(w->fileName, L"one.wav");
}

TEST(CASTcore, RemovingAWaveRenumbersLaterSectionsAndResetsItsOwn) {
  CASTcore core;
  core.addWavList(namedWave(L"a.wav"));
  core.addWavList(namedWave(L"b.wav"));
  core.addWavList(namedWave(L"c.wav"));
  useSlot(core, 0, 0);
  useSlot(core, 3, 1);
  useSlot(core, 4, 2);
  const SecInfo onC = slotOf(core, 4);

  ASSERT_EQ(core.removeWave(1), 0u);
  EXPECT_EQ(core.waveCount(), 2u);
  EXPECT_EQ(slotOf(core, 0).wavNo, 0);
  EXPECT_EQ(slotOf(core, 0).used, 1);
  EXPECT_EQ(slotOf(core, 3), SecInfo()) << "an emptied slot points at no wave";
  EXPECT_EQ(slotOf(core, 4).wavNo, 1);
  EXPECT_EQ(slotOf(core, 4).startAdrs, onC.startAdrs);
  WavInfo* w = nullptr;
  core.getWaveInfo(1, &w);
  EXPECT_EQ(w->fileName, L"c.wav");

  core.undo();
  EXPECT_EQ(core.waveCount(), 3u);
  EXPECT_EQ(slotOf(core, 3).wavNo, 1);
  EXPECT_EQ(slotOf(core, 3).used, 1);
  EXPECT_EQ(slotOf(core, 4).wavNo, 2);
}

TEST(CASTcore, AGridRefreshAfterARemovalTakesNoTempoFromTheEmptiedSlot) {
  CASTcore core;
  core.addWavList(namedWave(L"a.wav"));
  core.addWavList(namedWave(L"b.wav"));
  useSlot(core, 3, 1);
  ASSERT_EQ(core.updateTempo(97), 0u);
  ASSERT_EQ(core.removeWave(1), 0u);
  EXPECT_EQ(core.refreshSecBars(0, 3, QString()), 0u) << core.lastError.toStdString();
  EXPECT_EQ(core.getCommonInfo().tempo, 97u);
}

TEST(CASTcore, RemovingTheOnlyWaveLeavesSectionsWithoutWave) {
  CASTcore core;
  core.addWavList(namedWave(L"a.wav"));
  useSlot(core, 7, 0);
  ASSERT_EQ(core.removeWave(0), 0u);
  EXPECT_EQ(slotOf(core, 7), SecInfo());
  EXPECT_EQ(core.removeWave(0), Result::nest(2, 0x80000001u));
}

TEST(CASTcore, NewProjectEmptiesModelAndHistory) {
  CASTcore core;
  core.addWavList(namedWave(L"a.wav"));
  useSlot(core, 1, 0);
  core.updateTempo(90);
  ASSERT_EQ(core.newProject(), 0u);
  EXPECT_EQ(core.waveCount(), 0u);
  EXPECT_EQ(slotOf(core, 1), SecInfo());
  EXPECT_EQ(core.getCommonInfo(), ComnInfo());
  EXPECT_FALSE(core.canUndo());
  EXPECT_FALSE(core.isModified());
}

TEST(CASTcore, CopyFromTakesModelAndPathsAsOneStep) {
  CASTcore source;
  source.addWavList(namedWave(L"src.wav"));
  source.setPath(1, 255, "/templates");
  source.setPath(0, 255, "/scratch");
  CASTcore copy;
  ASSERT_EQ(copy.copyFrom(source), 0u);
  EXPECT_EQ(copy.waveCount(), 1u);
  EXPECT_EQ(copy.undoCount(), 1);
  QString path;
  copy.getPath(1, path);
  EXPECT_EQ(path, "/templates/Empty.sty");
  copy.getPath(0, path);
  EXPECT_EQ(path, "/scratch");
}

TEST(CASTcore, FileOperationsWithoutFileManagerAnswerTheirCodes) {
  CASTcore core;
  // These answer 0x80000001 only while no file manager is installed;
  // with one they report the file's own result.
  const std::wstring missing = TestEnv::tempPath("missing.qmproj").toStdWString();
  const ResultCode open = core.openProject(missing);
  EXPECT_TRUE(Result::failed(open));
  EXPECT_EQ(core.waveCount(), 0u);
}

TEST(CASTcore, ClearLastErrorResetsTextAndExceptionFlag) {
  CASTcore core;
  core.lastError = "#0097 no section is specified!";
  CASTcoreTestAccess::dropUndoStack(core);
  EXPECT_TRUE(core.hasException());
  core.clearLastError();
  EXPECT_TRUE(core.lastError.isEmpty());
  EXPECT_FALSE(core.hasException());
}

TEST(CASTcore, RenderStateQueries) {
  CASTcore core;
  CASTcoreTestAccess::setRendered(core, 14, 1);
  EXPECT_EQ(core.isSecRendered(14), 1);
  EXPECT_EQ(core.isSecRendered(15), 0);
  CASTcoreTestAccess::ratios(core, 2) = {0.9};
  core.resetRenderState();
  EXPECT_EQ(core.isSecRendered(14), 0);
  EXPECT_TRUE(CASTcoreTestAccess::ratios(core, 2).empty());
}
