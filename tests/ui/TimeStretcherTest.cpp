// The stretch worker on a thread of its own: the refusals with their codes
// and texts, one answer per run, and a real render measured against the
// written file with the beat grid over it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QThread>

#include <sndfile.h>

#include <cmath>

#include "ASTAudition.h"
#include "CASTcore.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"
#include "TimeStretcher.h"

namespace {

// A 2.5 s recording; "Main A" (slot 3) holds its first two seconds as two
// bars of 4/4 at 240, so the stretch ratio is 1.
void buildProject(CASTcore& core) {
  const QString recording = TestEnv::tempPath("take.wav");
  ASSERT_TRUE(TestAudio::writeWav(recording, TestAudio::sine(2.5, 440.0)));
  auto* wave = new WavInfo;
  wave->fileName = recording.toStdWString();
  wave->beatDiv = 1;
  for (int k = 0; k < 20; ++k) wave->beatTime.push_back(0.125f * k);
  wave->onsetTime = {0.0f, 2.5f};
  ASSERT_EQ(core.addWavList(wave), 0u);
  ASSERT_EQ(core.updateTempo(240), 0u);
  SecInfo sec;
  sec.used = 1;
  sec.wavNo = 0;
  sec.startAdrs = 0;
  sec.endAdrs = 2 * 44100;
  sec.barNum = 2;
  ASSERT_EQ(core.updateSecInfo(3, sec), 0u);
}

struct Answer {
  int count = 0;
  unsigned long code = 0;
  QString text;
};

// Runs the worker as the main window does: moved to a fresh thread and
// started by a queued call; the thread is ended and waited for afterwards.
Answer run(TimeStretcher& worker) {
  QThread thread;
  worker.moveToThread(&thread);
  Answer answer;
  QEventLoop loop;
  QObject::connect(&worker, &TimeStretcher::done, &loop, [&](unsigned long code, const QString& text) {
    ++answer.count;
    answer.code = code;
    answer.text = text;
    loop.quit();
  });
  thread.start();
  QMetaObject::invokeMethod(&worker, "doTimeStretch", Qt::QueuedConnection);
  loop.exec();
  thread.quit();
  thread.wait();
  QCoreApplication::processEvents();  // a second answer would arrive here
  return answer;
}

std::int64_t framesOf(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_READ, &info);
  if (!file) return -1;
  sf_close(file);
  return info.frames;
}

// The built project with an audition to hand its workers, and the path of
// section 3's working wave.
struct SectionThree {
  CASTcore core;
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition{&clickOn, &level, &click2On};
  QString path;

  SectionThree() {
    buildProject(core);
    QString folder;
    if (core.getPath(0, folder) == 0u) path = TempWaveFiles::sectionPath(folder, 3);
  }
};

}  // namespace

TEST(TimeStretcher, EachRefusalAnswersOnceWithItsCodeAndText) {
  CASTcore core;
  buildProject(core);
  SecInfo unused;
  unused.wavNo = 0;
  unused.barNum = 2;
  ASSERT_EQ(core.updateSecInfo(4, unused), 0u);
  SecInfo empty;
  empty.used = 1;
  empty.wavNo = 0;
  empty.startAdrs = empty.endAdrs = 1000;
  empty.barNum = 1;
  ASSERT_EQ(core.updateSecInfo(12, empty), 0u);
  SecInfo stretchedTooFar;
  stretchedTooFar.used = 1;
  stretchedTooFar.wavNo = 0;
  stretchedTooFar.startAdrs = 0;
  stretchedTooFar.endAdrs = 44100;
  stretchedTooFar.barNum = 8;  // 8 s of bars from 1 s of recording
  ASSERT_EQ(core.updateSecInfo(13, stretchedTooFar), 0u);
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);

  const struct {
    std::uint32_t section;
    unsigned long code;
    const char* text;
  } cases[] = {
      {15, 0x80000001, "no section is specified!"},
      {0, 0x80000002, "no section is specified!"},  // a slot that names no recording
      {4, 0x80000003, "trimming on is required!"},
      {12, 0x80000004, "Selected range of waveform is too short."},
      {13, 0x80000005, "stretch ratio error!"},
  };
  for (const auto& c : cases) {
    TimeStretcher worker(&core, &audition, TestEnv::tempPath("out.wav"), c.section, 0, nullptr);
    const Answer answer = run(worker);
    EXPECT_EQ(answer.count, 1) << c.section;
    EXPECT_EQ(answer.code, c.code) << c.section;
    EXPECT_EQ(answer.text, c.text) << c.section;
    EXPECT_TRUE(worker.gridList().empty());
  }
}

TEST(TimeStretcher, ARenderedSectionIsMeasuredWithItsBeatGridAndNotRenderedAgain) {
  SectionThree s;
  ASSERT_FALSE(s.path.isEmpty());
  CASTcore& core = s.core;
  ASTAudition& audition = s.audition;
  const QString& path = s.path;

  TimeStretcher first(&core, &audition, path, 3, 0, nullptr);
  const Answer answer = run(first);
  ASSERT_EQ(answer.count, 1);
  ASSERT_EQ(answer.code, 0u) << answer.text.toStdString();
  EXPECT_TRUE(answer.text.isEmpty());
  const std::uint64_t n = first.sampleCount();
  EXPECT_EQ(static_cast<std::int64_t>(n), framesOf(path));
  EXPECT_NEAR(static_cast<double>(n), 2 * 44100.0, 44100 * 0.01) << "two bars at 240 last two seconds";
  const std::vector<std::uint64_t>& grid = first.gridList();
  ASSERT_EQ(grid.size(), 9u) << "4 x 2 beats, then the last frame";
  for (std::uint64_t k = 0; k < 8; ++k) EXPECT_EQ(grid[k], static_cast<std::uint64_t>(std::floor(k * n / 8.0)));
  EXPECT_EQ(grid[8], n - 1);
  EXPECT_TRUE(core.isSecRendered(3));

  // Rendered already: the next run only measures, so a file that has gone
  // is found missing instead of being written again.
  ASSERT_TRUE(QFile::remove(path));
  TimeStretcher second(&core, &audition, path, 3, 0, nullptr);
  const Answer again = run(second);
  EXPECT_EQ(again.count, 1);
  EXPECT_EQ(again.code, 0x80000008u);
  EXPECT_EQ(again.text, "stretch ratio error!");
  EXPECT_FALSE(QFile::exists(path));
}

TEST(TimeStretcher, AWaveLeftWithoutTheRenderedFlagIsRenderedAnewBeforeItIsMeasured) {
  SectionThree s;
  ASSERT_FALSE(s.path.isEmpty());
  CASTcore& core = s.core;
  ASTAudition& audition = s.audition;
  const QString& path = s.path;
  // A working wave of another length that no rendering was recorded for, as
  // a side-by-side export leaves for a slot after one that failed.
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::sine(0.5, 220.0)));
  ASSERT_FALSE(core.isSecRendered(3));

  TimeStretcher worker(&core, &audition, path, 3, 0, nullptr);
  const Answer answer = run(worker);
  ASSERT_EQ(answer.count, 1);
  ASSERT_EQ(answer.code, 0u) << answer.text.toStdString();
  EXPECT_NEAR(static_cast<double>(worker.sampleCount()), 2 * 44100.0, 44100 * 0.01) << "the section's two bars";
  EXPECT_EQ(static_cast<std::int64_t>(worker.sampleCount()), framesOf(path));
  EXPECT_TRUE(core.isSecRendered(3));
}
