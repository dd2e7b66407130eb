// What an import that cannot start says: a recording whose file name has
// bytes the locale cannot decode is a name that cannot be read, not a file
// of the wrong format; a work copy that does not fit in the temporary
// folder names the system's reason.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QMessageBox>
#include <QTextCodec>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AnalysedWaveName.h"
#include "FileSizeLimit.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"

TEST(ImportErrorText, ARecordingWhoseNameCannotBeDecodedIsNamedAsSuchNotAsAFormatError) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  QTextCodec* const before = QTextCodec::codecForLocale();
  QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
  // A good recording under a name of the bytes 0xff 0xfe, as the file
  // dialog or a drop hands it over: decoded in the locale's encoding.
  const QString good = TestEnv::tempPath("good.wav");
  ASSERT_TRUE(TestAudio::writeWav(good, TestAudio::clickTrack(2.0, 0.5)));
  const QByteArray raw = QFile::encodeName(TestEnv::tempDir()) + "/\xff\xfe.wav";
  ASSERT_EQ(std::rename(QFile::encodeName(good).constData(), raw.constData()), 0);
  const QString audio = QFile::decodeName(raw);
  ASSERT_FALSE(QFileInfo::exists(audio)) << "the decoded name no longer leads to the file";

  MainWindow window;
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  driver.pressButton(QMessageBox::Ok);
  QFileOpenEvent open(audio);  // the road of a drop and of a file named to the program
  QCoreApplication::sendEvent(&window, &open);
  QTextCodec::setCodecForLocale(before);

  ASSERT_EQ(driver.seen().size(), 2u);
  const QString text = driver.seen()[0].text;
  EXPECT_TRUE(text.startsWith(QString("The file name cannot be read: \"%1\"").arg(audio))) << text.toStdString();
  EXPECT_TRUE(text.contains("(UTF-8)")) << text.toStdString();
  EXPECT_FALSE(text.contains("Internal Error")) << text.toStdString();
  EXPECT_FALSE(text.contains("format")) << text.toStdString();
  EXPECT_EQ(driver.seen()[1].text, "The import operation has been canceled.");
  EXPECT_EQ(driver.unexpected(), 0);
  EXPECT_EQ(window.core().waveCount(), 0u);
}

TEST(ImportErrorText, AWorkCopyThatDoesNotFitNamesTheSystemsReason) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString audio = TestEnv::tempPath("song.wav");
  ASSERT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(3.0, 0.5)));  // a 529 KB work copy

  MainWindow window;
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  driver.pressButton(QMessageBox::Ok);
  {
    FileSizeLimit full(64 * 1024);  // no file grows past 64 KiB, as on a full disk
    ASSERT_TRUE(full.holds());
    QFileOpenEvent open(audio);
    QCoreApplication::sendEvent(&window, &open);
  }
  const QString workCopy = TempWaveFiles::sourcePath(TempWaveFiles::workFolder());
  ASSERT_EQ(driver.seen().size(), 2u);
  EXPECT_EQ(driver.seen()[0].text.toStdString(),
            QString("Cannot write \"%1\": %2").arg(workCopy, QString::fromLocal8Bit(std::strerror(EFBIG))).toStdString());
  EXPECT_EQ(driver.seen()[1].text, "The import operation has been canceled.");
  EXPECT_FALSE(QFileInfo::exists(workCopy)) << "no partial work copy";
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(audio)));
  EXPECT_EQ(window.core().waveCount(), 0u);
}
