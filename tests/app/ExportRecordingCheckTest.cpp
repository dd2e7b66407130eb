// An export checks each section's recording again before it renders: one
// changed since its analysis (its header now saying 48 kHz, or another take
// of the same length saved over it) stops the export with the recording's
// name and what changed, and nothing is written; an unchanged one exports
// as before.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "AnalysedWaveName.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "SectionProject.h"

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

// Exports the project to a new file; the last box's text and whether the
// file is there.
Outcome exportProject(const QString& project) {
  MainWindow window;
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  const QString path = TestEnv::tempPath(QFileInfo(project).completeBaseName() + ".aus");
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

QString changedMessage(const QString& recording, const QString& change) {
  return "The audio file \"" + recording + "\" has changed since it was analysed: " + change +
         ".\n  section: Main A.\n\nThe project cannot be exported.\nPlease import the audio file again.";
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
  EXPECT_EQ(outcome.text, changedMessage(recording, "its sample rate is no longer 44100 Hz"));
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
  EXPECT_EQ(outcome.text, "Export operation has been finished.");
  EXPECT_TRUE(outcome.written);
}
