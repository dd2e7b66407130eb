// A song rendered from MIDI by fluidsynth goes the whole way: import,
// analysis, proposed sections, rendering and a style file.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <memory>

#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "ExportStyle.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestSong.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace {

constexpr int kBpm = 100;

}  // namespace

TEST(RealisticSong, ImportsProposesSectionsAndExports) {
  const QString audio = TestSong::render(32, kBpm);
  if (audio.isEmpty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";

  anaThreadObj worker(audioFileMngr::create());
  ASSERT_EQ(worker.analyzeProcTh({}, {audio}), 0u) << worker.errorString().toStdString();
  const QString awi = AnalysedWaveName::pathFor(audio);
  ASSERT_TRUE(QFileInfo::exists(awi));

  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  std::uint64_t frames = 0;
  ASSERT_EQ(files->checkFile(audio.toStdWString(), frames), 0u);
  CASTcore project;
  ASSERT_EQ(project.addAnalyzedFile(new WavInfo, awi, frames), 0u) << project.lastError.toStdString();
  const std::uint64_t tempo = project.getCommonInfo().tempo;
  EXPECT_NEAR(static_cast<double>(tempo), kBpm, 3.0) << "the proposed tempo is the song's";
  bool mainA = false;
  project.getAllInfo().isSecUsed(3, &mainA);
  EXPECT_TRUE(mainA);

  // The sections are found: a segment starts within a bar of each change
  // between verse and chorus, and the verses share a label, as do the
  // choruses (a verse and chorus that recur as a pair may share one too).
  WavInfo* wave = nullptr;
  ASSERT_EQ(project.getWaveInfo(0, &wave), 0u);
  const std::vector<SegLabel>& segments = wave->segLblOrg;
  ASSERT_FALSE(segments.empty());
  const double bar = 4 * 60.0 / kBpm;
  for (int change = 1; change < 4; ++change) {
    bool found = false;
    for (const SegLabel& s : segments) found = found || std::abs(s.start - change * 8 * bar) <= bar;
    EXPECT_TRUE(found) << "no segment starts near bar " << change * 8;
  }
  const auto labelAt = [&](double t) {
    int label = -1;
    for (const SegLabel& s : segments)
      if (s.start <= t) label = s.label;
    return label;
  };
  EXPECT_EQ(labelAt(4 * bar), labelAt(20 * bar)) << "the verses";
  EXPECT_EQ(labelAt(12 * bar), labelAt(28 * bar)) << "the choruses";

  // The audition layer's work copy, then every used section rendered.
  ASSERT_EQ(files->copyFile(audio.toStdWString(), TempWaveFiles::sourcePath(TestEnv::tempDir())), 0u);
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    bool used = false;
    project.getAllInfo().isSecUsed(slot, &used);
    if (!used) continue;
    std::uint8_t ratio = 0;
    ASSERT_EQ(project.renderAudition(slot, &ratio), 0u) << project.lastError.toStdString();
    EXPECT_EQ(ratio, 0);
  }
  const QString style = TestEnv::tempPath("song.aus");
  ExportStyle exporter([] { return std::uint64_t{0}; }, &project, style, nullptr);
  bool done = false;
  QObject::connect(&exporter, &ExportStyle::done, [&](unsigned long code) { done = code == 0; });
  project.setStyleParam1(256);
  exporter.doExport();
  EXPECT_TRUE(done) << project.lastError.toStdString();
  EXPECT_EQ(exporter.written(), static_cast<std::uint64_t>(QFileInfo(style).size()));
}
