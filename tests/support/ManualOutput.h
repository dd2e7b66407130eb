#pragma once
// The virtual sound system pumped by hand, for tests that listen to what the
// program plays: the backend itself, the metronome sounds the build made,
// read back, and the level at which the device writes a mix, so a test can
// build the output it expects another way than the render does.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <sndfile.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

#include "BuiltResources.h"
#include "VirtualBackend.h"

namespace TestOutput {

// Chooses the virtual sound system for this process and has it render only
// when a test pumps it; null when another sound system was chosen here
// before.
inline FusionStyle::hal::VirtualBackend* manualOutput() {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  FusionStyle::hal::VirtualBackend* backend = FusionStyle::hal::activeVirtualBackend();
  if (backend) backend->setPullMode(FusionStyle::hal::VirtualBackend::PullMode::Manual);
  return backend;
}

// A file of the application's resources, such as "Metro1.wav".
inline QString resource(const char* name) { return resourcePath(name); }

// A stereo sound file as interleaved float frames, read through libsndfile.
inline std::vector<float> readStereo(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path.toStdString();
  if (!file) return {};
  EXPECT_EQ(info.channels, 2) << path.toStdString();
  std::vector<float> v(std::size_t(info.frames) * 2);
  sf_readf_float(file, v.data(), info.frames);
  sf_close(file);
  return v;
}

// A mix as the device writes it: held within its 16-bit range and cut to a
// whole step of it.
inline float deviceLevel(double mix) {
  const float clamped = std::max(-31130.0f, std::min(31129.0f, static_cast<float>(mix * 32768.0)));
  return static_cast<float>(static_cast<int>(clamped)) / 32768.0f;
}

// Runs the event loop until `done` holds, ten seconds at most; whether it
// holds.
inline bool waitFor(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

}  // namespace TestOutput
