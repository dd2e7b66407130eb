#pragma once
// A main window over a project built directly through the core: one
// generated recording of 12 s whose beat grid has a half-beat entry every
// 0.25 s (120 beats per minute), its section ranges stored beat-aligned.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "MainWindow.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace WaveViewProject {

constexpr double kSeconds = 12.0;

// Chooses the silent audio output; a member constructed before the window.
struct VirtualAudio {
  VirtualAudio() { qputenv("QUILLMERE_AUDIO_BACKEND", "virtual"); }
};

inline std::uint64_t samples(double seconds) { return static_cast<std::uint64_t>(std::ceil(seconds * 44100.0)); }

// A recording whose grid has `entries` half-beat entries (0: as many as
// the recording holds); the audio file itself is at most 12 s long.
inline void addRecording(MainWindow& window, double seconds = kSeconds, std::size_t entries = 0,
                         const QString& name = "take.wav") {
  const QString wav = TestEnv::tempPath(name);
  ASSERT_TRUE(TestAudio::writeWav(wav, TestAudio::sine(std::min(seconds, kSeconds), 220.0)));
  auto* info = new WavInfo;
  info->fileName = wav.toStdWString();
  if (entries == 0) entries = static_cast<std::size_t>(seconds / 0.25) + 1;
  for (std::size_t k = 0; k < entries; ++k) info->beatTime.push_back(static_cast<float>(0.25 * k));
  info->onsetTime = {0.0f, static_cast<float>(seconds)};
  ASSERT_EQ(window.core().addWavList(info), 0u);
}

// Stores `slot` on `wave` from beat `first` to beat `last` (beats of 0.5 s).
inline void storeSection(MainWindow& window, std::uint8_t slot, int first, int last, bool blank = false,
                         std::uint8_t wave = 0) {
  SecInfo* current = nullptr;
  ASSERT_EQ(window.core().getSecInfo(slot, &current), 0u);
  SecInfo section = *current;
  section.used = 1;
  section.wavNo = wave;
  section.startAdrs = samples(0.5 * first);
  section.endAdrs = samples(0.5 * last);
  section.pickupSw = blank ? 1 : 0;
  ASSERT_EQ(window.core().setSecInfo(slot, section), 0u);
}

inline SecInfo sectionRecord(MainWindow& window, std::uint8_t slot) {
  SecInfo* current = nullptr;
  EXPECT_EQ(window.core().getSecInfo(slot, &current), 0u);
  return current ? *current : SecInfo();
}

// Shows the window on section `slot` (Main A by default) with its layers.
inline void show(MainWindow& window, int slot = 3) {
  window.show();
  QApplication::processEvents();
  window.refreshSectionView();
  window.mCmbTrimSec->setCurrentIndex(slot);
  window.loadSectionWaveView(true);
  QApplication::processEvents();
}

// The window point over the wave frame's pixel column of `seconds`, from
// the frame's width and the view's zoom and scroll.
inline QPoint pointAt(MainWindow& window, double seconds) {
  const double count = static_cast<double>(samples(kSeconds));
  const double w = window.mFrameWav->width();
  const int x = static_cast<int>(std::lround(w * (window.zoom() * (samples(seconds) / count) - window.scrollOffset())));
  return window.mFrameWav->mapTo(&window, QPoint(x, window.mFrameWav->height() / 2));
}

inline void mouse(MainWindow& window, QEvent::Type type, const QPoint& at, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, window.mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(&window, &event);
}

// A typed value, then the field loses the focus.
inline void enter(QLineEdit* field, const QString& text) {
  field->setText(text);
  field->setModified(true);
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(field, &out);
}

// Press at one time, move to the other, release.
inline void drag(MainWindow& window, double from, double to) {
  mouse(window, QEvent::MouseButtonPress, pointAt(window, from), Qt::LeftButton);
  mouse(window, QEvent::MouseMove, pointAt(window, to), Qt::LeftButton);
  mouse(window, QEvent::MouseButtonRelease, pointAt(window, to), Qt::NoButton);
}

// The window shown on "Main A", stored from 1 s to 5 s of the recording.
class MainAOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    addRecording(window);
    storeSection(window, 3, 2, 10);
    show(window);
  }

  VirtualAudio audio;
  MainWindow window;
};

}  // namespace WaveViewProject
