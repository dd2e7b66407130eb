// A section wave that cannot be written whole (a full temporary folder) is
// not left behind torn: the last complete one stays, and no partial file.

#include <QDir>
#include <QFile>

#include "FileSizeLimit.h"
#include "RenderFixture.h"

namespace {

using SectionWaveWrite = RenderFixture;

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

}  // namespace

TEST_F(SectionWaveWrite, AFailedWriteKeepsTheLastCompleteWaveAndLeavesNoPartialFile) {
  load(TestAudio::clickTrack(6.0, 0.6), 0.6);
  ASSERT_EQ(core.setSecInfo(3, span(1, 9)), 0u);  // two bars
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u) << core.lastError.toStdString();
  const QString path = TempWaveFiles::sectionPath(TestEnv::tempDir(), 3);
  const QByteArray complete = WavBytes::readAll(path);
  ASSERT_GT(complete.size(), 200000);
  const QStringList before = filesIn(TestEnv::tempDir());

  ASSERT_EQ(core.updateTempo(110), 0u);  // renders anew, to another length
  ResultCode rc = 0;
  {
    FileSizeLimit full(100000);
    rc = core.renderAudition(3, &ratioFlag);
  }
  EXPECT_TRUE(Result::failed(rc));
  EXPECT_EQ(core.isSecRendered(3), 0);
  EXPECT_EQ(WavBytes::readAll(path), complete) << "the last complete wave stays as it was";
  EXPECT_EQ(filesIn(TestEnv::tempDir()), before) << "no partial file";

  // With room again the same slot renders whole.
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u);
  const QByteArray again = WavBytes::readAll(path);
  EXPECT_EQ(WavBytes::getLE(again, 40, 4) + 44, static_cast<std::uint64_t>(again.size()));
  EXPECT_EQ(filesIn(TestEnv::tempDir()), before);
}

TEST_F(SectionWaveWrite, AFailedNormalisationKeepsTheSectionWavesWhole) {
  load(TestAudio::clickTrack(6.0, 0.6), 0.6);
  ASSERT_EQ(core.setSecInfo(3, span(1, 9)), 0u);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u);
  const QString path = TempWaveFiles::sectionPath(TestEnv::tempDir(), 3);
  // A quiet wave, so the normalisation has something to raise.
  QByteArray quiet = WavBytes::readAll(path);
  for (int i = 44; i + 1 < quiet.size(); i += 2) {
    const auto sample = static_cast<std::int16_t>(WavBytes::getLE(quiet, i, 2));
    const auto half = static_cast<std::uint16_t>(static_cast<std::int16_t>(sample / 4));
    quiet[i] = static_cast<char>(half & 0xff);
    quiet[i + 1] = static_cast<char>(half >> 8);
  }
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(quiet), quiet.size());
  }
  ComnInfo c = core.getCommonInfo();
  c.normSw = 1;
  ASSERT_EQ(core.setCommonInfo(c), 0u);
  const QStringList before = filesIn(TestEnv::tempDir());
  ResultCode rc = 0;
  {
    FileSizeLimit full(100000);
    rc = core.normalizeSectionWaves();
  }
  EXPECT_TRUE(Result::failed(rc));
  EXPECT_EQ(WavBytes::readAll(path), quiet);
  EXPECT_EQ(filesIn(TestEnv::tempDir()), before);
}
