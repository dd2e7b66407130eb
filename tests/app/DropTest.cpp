// Files dragged onto the main window: which drags are accepted, and that a
// dropped recording is imported after the drop, not during it.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include "AnalysedWaveName.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace {

std::unique_ptr<QMimeData> uriList(const QList<QUrl>& urls) {
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls(urls);
  return mime;
}

QUrl local(const QString& name) { return QUrl::fromLocalFile(TestEnv::tempPath(name)); }

// Drags the data over the window; true when the window takes the drag.
bool dragOver(MainWindow& window, const QMimeData* mime, Qt::DropAction* action = nullptr) {
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::LinkAction, mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  if (action) *action = enter.dropAction();
  return enter.isAccepted();
}

// Runs the event loop for a while, past the deferral of a drop.
void waitPastTheDeferral() {
  QEventLoop loop;
  QTimer::singleShot(700, &loop, &QEventLoop::quit);
  loop.exec();
}

void drop(MainWindow& window, const QMimeData* mime) {
  QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::LinkAction, mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &event);
}

}  // namespace

TEST(Drop, OnlyOneLocalAudioOrProjectFileIsTaken) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  MainWindow window;
  const struct {
    const char* what;
    QList<QUrl> urls;
    bool accepted;
    Qt::DropAction action;
  } cases[] = {
      {"an audio file, suffix in any case", {local("Song.WAV")}, true, Qt::LinkAction},
      {"an AIFF file", {local("take.aif")}, true, Qt::LinkAction},
      {"a project file", {local("Song.qmproj")}, true, Qt::CopyAction},
      {"two audio files", {local("a.wav"), local("b.wav")}, false, Qt::IgnoreAction},
      {"another format", {local("song.mp3")}, false, Qt::IgnoreAction},
      {"a folder", {local("folder")}, false, Qt::IgnoreAction},
      {"a web link", {QUrl("https://example.org/song.wav")}, false, Qt::IgnoreAction},
  };
  for (const auto& c : cases) {
    const auto mime = uriList(c.urls);
    Qt::DropAction action = Qt::IgnoreAction;
    EXPECT_EQ(dragOver(window, mime.get(), &action), c.accepted) << c.what;
    if (c.accepted) {
      EXPECT_EQ(action, c.action) << c.what;
    }
  }
  QMimeData text;
  text.setText("song.wav");
  EXPECT_FALSE(dragOver(window, &text)) << "plain text is no file";
}

TEST(Drop, ADroppedRecordingIsImportedAfterTheDrop) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  // The recording comes with its analysis, so the import needs no worker.
  const QString audio = TestEnv::tempPath("dropped.wav");
  ASSERT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(6.0, 0.5, 0.0, 4)));
  {
    CASTcore writer;
    auto* wave = new WavInfo;
    wave->fileName = audio.toStdWString();
    for (int k = 0; k < 24; ++k) wave->beatTime.push_back(0.25f * k);
    wave->onsetTime = {0.0f, 6.0f};  // the analysis ends at the recording's end
    ASSERT_EQ(writer.addWavList(wave), 0u);
    ASSERT_EQ(writer.saveAwi(AnalysedWaveName::pathFor(audio).toStdWString(), 0), 0u);
  }
  MainWindow window;
  ModalDriver driver;

  // Two files at once are refused, and a drop without an accepted drag is
  // ignored.
  const auto two = uriList({QUrl::fromLocalFile(audio), local("other.wav")});
  EXPECT_FALSE(dragOver(window, two.get()));
  drop(window, two.get());
  waitPastTheDeferral();
  EXPECT_EQ(window.core().waveCount(), 0u);

  const auto one = uriList({QUrl::fromLocalFile(audio)});
  ASSERT_TRUE(dragOver(window, one.get()));
  drop(window, one.get());
  EXPECT_EQ(window.core().waveCount(), 0u) << "nothing happens inside the drop";
  waitPastTheDeferral();
  ASSERT_EQ(window.core().waveCount(), 1u);
  EXPECT_EQ(window.mCmbWav->currentText(), "dropped.wav");
  EXPECT_EQ(driver.seen().size(), 0u);
}
