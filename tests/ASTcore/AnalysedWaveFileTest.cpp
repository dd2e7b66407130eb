// Whether an analysed-wave file beside a recording can be used for it, and
// what a failed read says.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "TempDir.h"

namespace {

constexpr std::uint64_t kFrames = 4 * 44100 + 17;

// The analysis of a recording of `frames` frames, as the worker writes it:
// its onset list ends at the recording's end.
QString writeAnalysis(const QString& name, std::uint64_t frames) {
  const QString path = TestEnv::tempPath(name);
  CASTcore writer;
  auto* wave = new WavInfo;
  wave->fileName = TestEnv::tempPath("song.wav").toStdWString();
  for (int k = 0; k < 16; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 1.0f, static_cast<float>(frames / 44100.0)};
  EXPECT_EQ(writer.addWavList(wave), 0u);
  EXPECT_EQ(writer.saveAwi(path.toStdWString(), 0), 0u);
  return path;
}

void cutTo(const QString& path, qint64 size) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.resize(size));
}

}  // namespace

TEST(AnalysedWaveFile, OnlyAWholeAnalysisOfARecordingOfTheSameLengthIsUsable) {
  const QString good = writeAnalysis("good.awi", kFrames);
  QString why;
  EXPECT_TRUE(AnalysedWaveName::isUsable(good, kFrames, &why)) << why.toStdString();
  EXPECT_TRUE(AnalysedWaveName::isUsable(good, kFrames + 1));

  EXPECT_FALSE(AnalysedWaveName::isUsable(good, kFrames + 4410, &why)) << "another recording's analysis";
  EXPECT_TRUE(why.contains("4.000")) << why.toStdString();
  EXPECT_FALSE(AnalysedWaveName::isUsable(good, kFrames - 44100));

  const qint64 size = QFile(good).size();
  for (qint64 cut : {size - 1, size / 2, qint64(40), qint64(0)}) {
    const QString cutShort = writeAnalysis("cut.awi", kFrames);
    cutTo(cutShort, cut);
    why.clear();
    EXPECT_FALSE(AnalysedWaveName::isUsable(cutShort, kFrames, &why)) << cut;
    EXPECT_FALSE(why.isEmpty()) << "says what failed, cut at " << cut;
  }

  const QString foreign = TestEnv::tempPath("foreign.awi");
  {
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF\x24\x00\x00\x00WAVEfmt ", 16);
    f.write(QByteArray(200, '\x7f'));
  }
  EXPECT_FALSE(AnalysedWaveName::isUsable(foreign, kFrames, &why));
  EXPECT_FALSE(AnalysedWaveName::isUsable(TestEnv::tempPath("none.awi"), kFrames, &why));
  EXPECT_TRUE(why.contains("none.awi")) << why.toStdString();
}

TEST(AnalysedWaveFile, AnAnalysisOlderThanItsRecordingOrOfAnOverlongOneIsNotUsable) {
  const QString audio = TestEnv::tempPath("song.wav");
  {
    QFile f(audio);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QString awi = writeAnalysis("song.awi", kFrames);
  const QDateTime recorded = QFileInfo(audio).lastModified();
  const auto setWritten = [&](const QDateTime& when) {
    QFile f(awi);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
  };
  QString why;
  for (qint64 ms : {0, 1, 3600 * 1000}) {
    setWritten(recorded.addMSecs(ms));
    EXPECT_TRUE(AnalysedWaveName::isUsableFor(awi, audio, kFrames, &why)) << ms << ": " << why.toStdString();
  }
  for (qint64 ms : {-1, -3600 * 1000}) {
    setWritten(recorded.addMSecs(ms));
    EXPECT_TRUE(AnalysedWaveName::isUsable(awi, kFrames)) << ms;
    EXPECT_FALSE(AnalysedWaveName::isUsableFor(awi, audio, kFrames, &why)) << ms;
  }
  // A damaged analysis stays unusable whatever its date.
  setWritten(recorded.addSecs(60));
  EXPECT_FALSE(AnalysedWaveName::isUsableFor(awi, audio, kFrames + 44100));

  // Beside a recording over the analysis's limit only a made-up grid can
  // stand (an earlier version saved one): it is not taken.
  const std::uint64_t overlong = 61ull * 60 * 44100;
  const QString grid = writeAnalysis("long.awi", overlong);
  EXPECT_FALSE(AnalysedWaveName::isUsable(grid, overlong, &why));
  EXPECT_TRUE(why.contains("longer")) << why.toStdString();
  const std::uint64_t hour = 60ull * 60 * 44100;
  EXPECT_TRUE(AnalysedWaveName::isUsable(writeAnalysis("hour.awi", hour), hour));
}

TEST(AnalysedWaveFile, AFailedLoadSaysWhatFailed) {
  const QString good = writeAnalysis("song.awi", kFrames);
  cutTo(good, QFile(good).size() / 2);
  CASTcore core;
  ASSERT_EQ(core.addWavList(new WavInfo), 0u);
  EXPECT_TRUE(Result::failed(core.loadAwi(good.toStdWString(), 0)));
  EXPECT_EQ(core.lastError, QString("The analysed-wave file \"%1\" is damaged or incomplete.").arg(good));

  core.clearLastError();
  const QString missing = TestEnv::tempPath("missing.awi");
  EXPECT_TRUE(Result::failed(core.loadAwi(missing.toStdWString(), 0)));
  EXPECT_EQ(core.lastError, QString("Cannot open the analysed-wave file \"%1\".").arg(missing));

  core.clearLastError();
  const QString whole = writeAnalysis("whole.awi", kFrames);
  EXPECT_TRUE(Result::failed(core.loadAwi(whole.toStdWString(), 3)));
  EXPECT_TRUE(core.lastError.contains("no wave 3")) << core.lastError.toStdString();
}
