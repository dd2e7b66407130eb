#pragma once
// A core with one recording whose work copy "AST_temp.wav" lies in the
// test's temporary folder, a beat grid of division 1 over the whole
// recording, and a recording style manager, for the rendering tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "FakeStyleManager.h"
#include "SlotOf.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"
#include "WavBytes.h"

class RenderFixture : public ::testing::Test {
 public:
  // Samples of 16-bit stereo bytes, from byte `offset` on.
  static std::vector<std::int16_t> samplesOf(const QByteArray& bytes, int offset) {
    std::vector<std::int16_t> out;
    for (int i = offset; i + 1 < bytes.size(); i += 2) {
      out.push_back(static_cast<std::int16_t>(WavBytes::getLE(bytes, i, 2)));
    }
    return out;
  }

 protected:
  void SetUp() override {
    style = new FakeStyleManager;
    CASTcoreTestAccess::setStyleManager(core, style);
    // The working waves are looked at in the test's own folder.
    ASSERT_EQ(core.setPath(0, 255, TestEnv::tempDir()), 0u);
  }

  // Writes `audio` as the work copy and adds it as wave 0 with a beat every
  // `beatSeconds`.
  void load(const TestAudio::Stereo16& audio, double beatSeconds) {
    source = audio;
    const std::size_t frames = audio.size() / 2;
    ASSERT_TRUE(TestAudio::writeWav(TempWaveFiles::sourcePath(TestEnv::tempDir()), audio));
    auto* w = new WavInfo;
    w->fileName = L"song.wav";
    const double seconds = frames / 44100.0;
    for (int k = 0; k * beatSeconds / 2 <= seconds; ++k) w->beatTime.push_back(static_cast<float>(k * beatSeconds / 2));
    w->onsetTime = {0.0f, static_cast<float>(seconds)};
    ASSERT_EQ(core.addWavList(w), 0u);
  }

  std::uint64_t beat(std::uint32_t k) {
    std::uint64_t address = 0;
    EXPECT_EQ(core.getAddressOfBeat(0, 0, k, address), 0u);
    return address;
  }

  SecInfo span(std::uint32_t firstBeat, std::uint32_t lastBeat) {
    SecInfo s;
    s.used = 1;
    s.wavNo = 0;
    s.startAdrs = beat(firstBeat);
    s.endAdrs = beat(lastBeat);
    return s;
  }

  const SecInfo& slot(std::uint8_t n) const { return slotOf(core, n); }

  // The samples of slot n's working wave.
  std::vector<std::int16_t> workingWave(std::uint8_t n) {
    const QByteArray file = WavBytes::readAll(TempWaveFiles::sectionPath(TestEnv::tempDir(), n));
    return file.size() < 44 ? std::vector<std::int16_t>() : samplesOf(file, 44);
  }
  // Interleaved samples of source frames [from, to).
  std::vector<std::int16_t> sourceFrames(std::uint64_t from, std::uint64_t to) const {
    return std::vector<std::int16_t>(source.begin() + 2 * from, source.begin() + 2 * to);
  }

  CASTcore core;
  FakeStyleManager* style = nullptr;  // owned by the core
  TestAudio::Stereo16 source;
};
