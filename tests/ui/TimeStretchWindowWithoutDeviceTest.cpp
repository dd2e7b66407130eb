// The result viewer with no output device at all: opening it and pressing
// Play leave it idle, with the play icon, instead of showing a playing
// state that sounds nothing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include "ASTAudition.h"
#include "IconImage.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "TimeStretchWindow.h"
#include "UiResources.h"
#include "VirtualBackend.h"

TEST(TimeStretchWindowWithoutDevice, OpeningAndPlayLeaveItIdle) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "none");
  if (FusionStyle::hal::activeVirtualBackend()) GTEST_SKIP() << "another sound system was chosen in this process";
  initUiResources();
  std::uint8_t level = 100, clickOn = 1, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);
  ASSERT_EQ(audition.init(QString()), 0x8880000321u);
  const QString path = TestEnv::tempPath("AST_temp_Main A.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::sine(1.0, 440.0)));
  std::vector<std::uint64_t> beats;
  for (int k = 0; k < 8; ++k) beats.push_back(static_cast<std::uint64_t>(k * 44100 / 8));
  TimeStretchWindow viewer(path.toStdWString(), 3, 0, 44100, 4, &beats, 1, &audition, false, &level, &clickOn,
                           &click2On, nullptr, nullptr);
  const QImage playIcon = iconImage(QIcon(QStringLiteral(":/img/btn_play.png")));
  ASSERT_FALSE(playIcon.isNull());
  auto idle = [&](const char* when) {
    EXPECT_FALSE(viewer.isPlaying()) << when;
    EXPECT_FALSE(audition.isPlaying()) << when;
    EXPECT_EQ(iconImage(viewer.mPushButtonPlay->icon()), playIcon) << when;
  };
  bool checked = false;
  QTimer::singleShot(0, [&] {
    checked = true;
    idle("opened");
    viewer.mPushButtonPlay->click();
    idle("Play pressed");
    viewer.releasedBtnPlayOnce();
    idle("played once");
    viewer.close();
  });
  viewer.exec();
  EXPECT_TRUE(checked);
  idle("closed");
}
