// An export checks each section's recording again before it renders: one
// changed since its analysis (its header now saying 48 kHz, or another take
// of the same length saved over it) stops the export with the recording's
// name and what changed, and nothing is written; an unchanged one exports
// as before.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cmath>

#include "AnalysedRecording.h"
#include "AnalysedWaveName.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "WaveReanalysis.h"

namespace {

// The project of SectionProject with the analysis file beside its
// recording, written after it, as an import leaves them.
QString projectWithAnalysis(const QString& recording) {
  const QString project = QFileInfo(recording).completeBaseName() + ".qmproj";
  return SectionProject::write(recording, project, [&recording](CASTcore& core) {
    EXPECT_EQ(core.saveAwi(AnalysedWaveName::pathFor(recording).toStdWString(), 0), 0u);
  });
}

void writeLittleEndian32(QByteArray& bytes, int at, quint32 value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct Outcome {
  QString text;
  bool written = false;
};

// Exports the window's project to a new file named `name`; the last box's
// text and whether the file is there.
Outcome exportFrom(MainWindow& window, const QString& name) {
  const QString path = TestEnv::tempPath(name + ".aus");
  QFile::remove(path);
  ModalDriver driver;
  driver.chooseFile(path);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnExportSty();
  EXPECT_EQ(driver.seen().size(), 2u);
  Outcome outcome;
  if (!driver.seen().empty()) outcome.text = driver.seen().back().text;
  outcome.written = QFileInfo::exists(path);
  return outcome;
}

Outcome exportProject(const QString& project) {
  MainWindow window;
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  return exportFrom(window, QFileInfo(project).completeBaseName());
}

const QString kImportAgain = "Please import the audio file again.";

QString changedMessage(const QString& recording, const QString& change, const QString& advice = kImportAgain) {
  return "The audio file \"" + recording + "\" has changed since it was analysed: " + change +
         ".\n  section: Main A.\n\nThe project cannot be exported.\n" + advice;
}

const QString kFinished = "Export operation has been finished.";

// A 4 s click track with a click every `interval` seconds from `first` on.
TestAudio::Stereo16 take(double interval, double first) { return TestAudio::clickTrack(4.0, interval, first); }

// The first take of "song": clicks every 0.5 s, with its analysis beside it
// (half beats every 0.25 s, onsets on the clicks, "Main A" over the first
// bar), imported as a new project.
void importFirstTake(MainWindow& window, const QString& song) {
  ASSERT_TRUE(TestAudio::writeWav(song, take(0.5, 0.0)));
  std::vector<float> onsets;
  for (int k = 0; k <= 8; ++k) onsets.push_back(0.5f * k);
  SecInfo mainA;
  mainA.startAdrs = 0;
  mainA.endAdrs = 2 * 44100;
  mainA.barNum = 1;
  writeAnalysisBeside(song, 17, onsets, mainA, 120);
  ModalDriver driver;
  driver.chooseFile(song);
  window.releasedBtnOpenWav();
  ASSERT_EQ(window.core().waveCount(), 1u);
  ASSERT_EQ(driver.unexpected(), 0);
}

void setModified(const QString& path, const QDateTime& when) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

const WavInfo& projectWave(MainWindow& window) {
  WavInfo* wave = nullptr;
  EXPECT_EQ(window.core().getWaveInfo(0, &wave), 0u);
  static const WavInfo none;
  return wave ? *wave : none;
}

}  // namespace

TEST(ExportRecordingCheck, ARecordingWhoseHeaderNowSays48kHzStopsTheExportWithItsName) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString recording = TestEnv::tempPath("rate.wav");
  const QString project = projectWithAnalysis(recording);
  ASSERT_FALSE(project.isEmpty());
  {
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray header = file.read(44);
    ASSERT_EQ(header.mid(24, 4), QByteArray("\x44\xAC\x00\x00", 4));
    writeLittleEndian32(header, 24, 48000);
    writeLittleEndian32(header, 28, 48000 * 4);
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(header), 44);
  }
  const Outcome outcome = exportProject(project);
  EXPECT_EQ(outcome.text, changedMessage(recording, "its sample rate is no longer 44100 Hz",
                                         "Please save it again as a stereo 44100 Hz audio file and import it again, "
                                         "or assign another audio file to the sections."));
  EXPECT_FALSE(outcome.written);
}

TEST(ExportRecordingCheck, AnotherTakeOfTheSameLengthSavedOverTheRecordingStopsTheExportWithItsName) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString recording = TestEnv::tempPath("swapped.wav");
  const QString project = projectWithAnalysis(recording);
  ASSERT_FALSE(project.isEmpty());
  const QDateTime analysed = QFileInfo(AnalysedWaveName::pathFor(recording)).lastModified();
  ASSERT_TRUE(TestAudio::writeWav(recording, TestAudio::noise(4.0, 0.5, 9)));
  const QDateTime saved = analysed.addSecs(90);
  {
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(saved, QFileDevice::FileModificationTime));
  }
  const Outcome outcome = exportProject(project);
  EXPECT_EQ(outcome.text, changedMessage(recording, QString("it was modified (%1) after its analysis was written (%2)")
                                                        .arg(saved.toString(Qt::ISODate), analysed.toString(Qt::ISODate))));
  EXPECT_FALSE(outcome.written);
}

TEST(ExportRecordingCheck, AnUnchangedRecordingWithItsAnalysisBesideItExportsAsBefore) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString recording = TestEnv::tempPath("unchanged.wav");
  const QString project = projectWithAnalysis(recording);
  ASSERT_FALSE(project.isEmpty());
  const Outcome outcome = exportProject(project);
  EXPECT_EQ(outcome.text.toStdString(), "Export operation has been finished.");
  EXPECT_TRUE(outcome.written);
}

TEST(ExportRecordingCheck, ATakeSavedOverTheRecordingAndImportedAgainExportsUnderItsOwnGrid) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString song = TestEnv::tempPath("song.wav");
  MainWindow window;
  importFirstTake(window, song);
  // Another take of the same length, clicks every 0.4 s from 0.2 s on,
  // saved over it.
  ASSERT_TRUE(TestAudio::writeWav(song, take(0.4, 0.2)));
  setModified(AnalysedWaveName::pathFor(song), QFileInfo(song).lastModified().addSecs(-90));
  EXPECT_EQ(exportFrom(window, "refused").text.left(40), changedMessage(song, "").left(40));

  {
    ModalDriver driver;
    driver.chooseFile(song);
    window.releasedBtnImportAudio();
    EXPECT_EQ(driver.unexpected(), 0);
  }
  const Outcome outcome = exportFrom(window, "again");
  EXPECT_EQ(outcome.text.toStdString(), kFinished.toStdString());
  EXPECT_TRUE(outcome.written);
  // The grid exported is the analysis of the audio exported: the one the
  // import wrote beside it, with the onsets on the new take's clicks.
  const WavInfo& wave = projectWave(window);
  WavInfo analysis;
  ASSERT_EQ(WaveReanalysis::load(AnalysedWaveName::pathFor(song), analysis), 0u);
  EXPECT_EQ(wave.onsetTime, analysis.onsetTime);
  EXPECT_EQ(wave.beatTime, analysis.beatTime);
  ASSERT_GT(wave.onsetTime.size(), 2u);
  for (std::size_t k = 1; k + 1 < wave.onsetTime.size(); ++k) {
    const double t = wave.onsetTime[k] - 0.2;
    EXPECT_NEAR(t, 0.4 * std::round(t / 0.4), 0.012) << "onset " << wave.onsetTime[k];
  }
}

TEST(ExportRecordingCheck, AnotherTakeWithAnOlderDateIsToldFromTheAnalysedOne) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QDateTime longAgo = QDateTime::currentDateTime().addDays(-30);
  // Copied: cp -p of the take over the recording while the project that
  // imported it is open. Reanalysed: the take copied over it and analysed
  // by another copy of the program after the project was saved, the project
  // then opened anew. Opened: the saved project opened anew, without an
  // import, and the take copied over its recording while it is open.
  enum class When { Copied, Reanalysed, Opened };
  const struct {
    const char* name;
    When when;
  } cases[] = {{"copied", When::Copied}, {"reanalysed", When::Reanalysed}, {"opened", When::Opened}};
  for (const auto& c : cases) {
    const QString song = TestEnv::tempPath(QString("%1.wav").arg(c.name));
    const QString project = TestEnv::tempPath(QString("%1.qmproj").arg(c.name));
    const QString awi = AnalysedWaveName::pathFor(song);
    MainWindow window;
    importFirstTake(window, song);
    {
      ModalDriver driver;
      driver.chooseFile(project);
      window.saveProjectAs();
      ASSERT_TRUE(QFileInfo::exists(project));
    }
    setModified(project, longAgo.addDays(1));
    MainWindow reopened;
    if (c.when == When::Opened) reopened.openProjectFile(project);
    ASSERT_TRUE(TestAudio::writeWav(song, take(0.4, 0.2)));
    setModified(song, longAgo);
    Outcome outcome;
    QString change;
    if (c.when == When::Copied) {
      outcome = exportFrom(window, c.name);
      change = "its audio is no longer the audio imported (another take was put in its place)";
    } else if (c.when == When::Opened) {
      outcome = exportFrom(reopened, c.name);
      change = "its audio is no longer the audio it held when the project was opened (another take was put in its "
               "place)";
    } else {
      // The other copy's analysis: onsets on the new take's clicks.
      std::vector<float> onsets{0.0f};
      for (int k = 0; k < 10; ++k) onsets.push_back(0.2f + 0.4f * k);
      onsets.push_back(4.0f);
      writeAnalysisBeside(song, 17, onsets, SecInfo(), 150);
      reopened.openProjectFile(project);
      outcome = exportFrom(reopened, c.name);
      change = QString("it was analysed again (%1) after the project was saved (%2), as other audio")
                   .arg(QFileInfo(awi).lastModified().toString(Qt::ISODate),
                        QFileInfo(project).lastModified().toString(Qt::ISODate));
    }
    EXPECT_EQ(outcome.text.toStdString(), changedMessage(song, change).toStdString()) << c.name;
    EXPECT_FALSE(outcome.written) << c.name;
  }
}
