// The application device's render callback driven cycle by cycle over
// generated float WAV files, and the process-wide device over the virtual
// sound system.

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdlib>

#include "AudioDeviceASFF.h"
#include "ManualOutput.h"
#include "TempDir.h"
#include "VirtualBackend.h"
#include "WavSeeker_libSndFile.h"

namespace {

// Float WAV written straight through libsndfile, so values such as 1.0
// reach the reader unchanged.
std::wstring floatWav(const QString& name, const std::vector<float>& interleaved, int channels = 2) {
  const QString path = TestEnv::tempPath(name);
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr);
  sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
  sf_close(file);
  return path.toStdWString();
}

std::vector<float> constant(std::size_t frames, float left, float right) {
  std::vector<float> v(frames * 2);
  for (std::size_t f = 0; f < frames; ++f) {
    v[2 * f] = left;
    v[2 * f + 1] = right;
  }
  return v;
}

// A click whose frame k is (k + 1) / 64 on both channels: 512 * (k + 1) out.
std::vector<float> rampClick(std::size_t frames) {
  std::vector<float> v(frames * 2);
  for (std::size_t f = 0; f < frames; ++f) v[2 * f] = v[2 * f + 1] = (f + 1) / 64.0f;
  return v;
}

struct Rendered {
  std::vector<std::int16_t> left, right;
};

class CallbackFixture : public ::testing::Test {
 protected:
  AudioDeviceASFF device{&source, &click1, &click2, &clickOn, &level, &click2On};
  WavSeeker_libSndFile source, click1, click2;
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  int stops = 0, locations = 0;

  void SetUp() override {
    QObject::connect(&device, &AudioDeviceASFF::signalStop, [this] { ++stops; });
    QObject::connect(&device, &AudioDeviceASFF::signalLocation, [this] { ++locations; });
  }

  // Renders `cycles` cycles of `frames`, appended.
  Rendered render(int cycles, std::uint32_t frames) {
    Rendered out;
    std::vector<std::int16_t> l(frames), r(frames);
    for (int c = 0; c < cycles; ++c) {
      EXPECT_EQ(device.callback()->render(l.data(), r.data(), frames), frames);
      out.left.insert(out.left.end(), l.begin(), l.end());
      out.right.insert(out.right.end(), r.begin(), r.end());
    }
    return out;
  }
};

}  // namespace

TEST_F(CallbackFixture, MixesClampToTheDeviceRangeAndTruncate) {
  source.open(floatWav("s.wav", {1.0f, -1.0f, 0.9f, -0.9f, 0.5f, 0.25f, 2.0f, -3.0f, 0.0f, 0.0f}));
  struct Case {
    std::uint8_t level;
    std::vector<std::int16_t> left, right;
  };
  const Case cases[] = {
      {100, {31129, 29491, 16384, 31129}, {-31130, -29491, 8192, -31130}},
      {50, {16384, 14745, 8192, 31129}, {-16384, -14745, 4096, -31130}},
      {0, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    level = c.level;
    ASSERT_EQ(device.prepare(0, -1, 0, {}, {}), 0u);
    device.start();
    const Rendered out = render(1, 4);
    EXPECT_EQ(out.left, c.left) << int(c.level);
    EXPECT_EQ(out.right, c.right) << int(c.level);
  }
}

TEST_F(CallbackFixture, ClicksSoundAtFullLevelOverTheScaledSourceAndOnlyWithTheSwitch) {
  source.open(floatWav("s.wav", constant(200, 0.5f, 0.5f)));
  click1.open(floatWav("c1.wav", rampClick(10)));
  click2.open(floatWav("c2.wav", constant(4, -0.25f, -0.25f)));
  struct Case {
    std::uint8_t level, clickOn, click2On;
    std::int16_t base;
    bool hearClick1, hearClick2;
  };
  const Case cases[] = {
      {0, 1, 1, 0, true, true},      {50, 1, 1, 8192, true, true}, {100, 1, 0, 16384, true, false},
      {100, 0, 1, 16384, false, false},
  };
  for (const Case& c : cases) {
    level = c.level;
    clickOn = c.clickOn;
    click2On = c.click2On;
    ASSERT_EQ(device.prepare(0, -1, 0, {3}, {40}), 0u);
    device.start();
    const Rendered out = render(2, 32);
    for (int f = 0; f < 64; ++f) {
      std::int16_t want = c.base;
      if (c.hearClick1 && f >= 3 && f < 13) want += 512 * (f - 2);
      if (c.hearClick2 && f >= 40 && f < 44) want -= 8192;
      ASSERT_EQ(out.left[f], want) << "case " << &c - cases << " frame " << f;
      ASSERT_EQ(out.right[f], want);
    }
  }
}

TEST_F(CallbackFixture, ClickAtOffsetZeroFiresOnEveryLoopPassAcrossCycles) {
  source.open(floatWav("s.wav", constant(400, 0.0f, 0.0f)));
  click1.open(floatWav("c1.wav", rampClick(20)));
  ASSERT_EQ(device.prepare(100, 150, 100, {0}, {}), 0u);
  device.setLoop(true);
  device.start();
  const Rendered out = render(4, 48);  // cycle edges at 48, 96 and 144 cut the clicks
  for (int f = 0; f < 192; ++f) {
    const int intoPass = f % 50;
    const std::int16_t want = intoPass < 20 ? 512 * (intoPass + 1) : 0;
    ASSERT_EQ(out.left[f], want) << f;
  }
  EXPECT_EQ(device.position(), 100 + 192 % 50);
  EXPECT_EQ(stops, 0);
  EXPECT_EQ(locations, 4);
}

TEST_F(CallbackFixture, RegionPlayedOnceEndsWithOneStopAndSilenceAfter) {
  std::vector<float> ramp(2 * 300);
  for (int f = 0; f < 300; ++f) ramp[2 * f] = ramp[2 * f + 1] = f / 1024.0f;
  source.open(floatWav("s.wav", ramp));
  ASSERT_EQ(device.prepare(10, 110, 10, {}, {}), 0u);
  device.start();
  const Rendered out = render(3, 64);
  for (int f = 0; f < 192; ++f) ASSERT_EQ(out.left[f], f < 100 ? (f + 10) * 32 : 0) << f;
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(locations, 2);
  EXPECT_FALSE(device.isPlaying());
  EXPECT_EQ(device.position(), 110);
}

TEST_F(CallbackFixture, ARecordingThatRunsOutEndsTheRegionAfterItsLastFrame) {
  source.open(floatWav("s.wav", constant(70, 0.5f, 0.5f)));
  for (bool loop : {false, true}) {
    stops = 0;
    ASSERT_EQ(device.prepare(0, 1000, 0, {}, {}), 0u);
    device.setLoop(loop);
    device.start();
    const Rendered out = render(2, 64);
    for (int f = 0; f < 128; ++f) ASSERT_EQ(out.left[f], (loop || f < 70) ? 16384 : 0) << loop << " " << f;
    EXPECT_EQ(stops, loop ? 0 : 1);
    EXPECT_EQ(device.position(), loop ? 128 - 70 : 70);
  }
}

TEST_F(CallbackFixture, StoppingKeepsThePositionAndSilencesTheCycles) {
  source.open(floatWav("s.wav", constant(500, 0.5f, 0.5f)));
  ASSERT_EQ(device.prepare(0, -1, 10, {}, {}), 0u);
  device.start();
  render(1, 64);
  device.stop();
  const Rendered out = render(2, 64);
  EXPECT_EQ(out.left, std::vector<std::int16_t>(128, 0));
  EXPECT_EQ(device.position(), 74);
  EXPECT_EQ(stops, 0);
}

TEST_F(CallbackFixture, SourcesOfOtherChannelCountsAreReadAsStereo) {
  source.open(floatWav("mono.wav", std::vector<float>(40, 0.5f), 1));
  click1.open(floatWav("quad.wav", std::vector<float>(4 * 40, 0.25f), 4));
  ASSERT_EQ(device.prepare(0, -1, 0, {0}, {}), 0u);
  device.start();
  const Rendered out = render(1, 16);
  EXPECT_EQ(out.left, std::vector<std::int16_t>(16, 16384 + 8192));
  EXPECT_EQ(out.right, out.left);
}

TEST_F(CallbackFixture, TheSourceTakesOverAnotherReadersFile) {
  source.open(floatWav("s.wav", constant(100, 0.5f, 0.5f)));
  WavSeeker_libSndFile other(floatWav("o.wav", constant(100, -0.25f, 0.25f)));
  other.seek(90);
  ASSERT_TRUE(device.callback() == nullptr);
  ASSERT_EQ(device.prepare(0, 200, 0, {}, {}), 0u);
  ASSERT_TRUE(device.callback()->takeSourceFile(other));
  EXPECT_FALSE(other.isOpen());
  device.start();
  const Rendered out = render(1, 16);
  // From where the other reader stood: its last ten frames, then the end.
  EXPECT_EQ(std::vector<std::int16_t>(out.left.begin(), out.left.begin() + 10), std::vector<std::int16_t>(10, -8192));
  EXPECT_EQ(std::vector<std::int16_t>(out.right.begin(), out.right.begin() + 10), std::vector<std::int16_t>(10, 8192));
  EXPECT_EQ(stops, 1);

  AudioOutDeviceCallbackSeq alone(nullptr);
  EXPECT_FALSE(alone.takeSourceFile(other)) << "no source reader to take it";
}

TEST(ApplicationDevice, PlaysThroughTheVirtualDeviceAndReportsTheEndQueued) {
  auto* backend = TestOutput::manualOutput();
  if (!backend) GTEST_SKIP() << "another sound system was chosen in this process";
  FusionStyle::hal::VirtualBackend::DeviceSpec second;
  second.name = "Second Output";
  const auto secondId = backend->addDevice(second);

  static WavSeeker_libSndFile source, click1, click2;
  static std::uint8_t clickOn = 0, level = 100, click2On = 0;
  source.open(floatWav("s.wav", constant(100, 0.5f, -0.5f)));
  ASSERT_EQ(AudioDeviceASFF::create(&source, &click1, &click2, &clickOn, &level, &click2On), 0u);
  const QSharedPointer<AudioDeviceASFF> device = AudioDeviceASFF::instance();
  ASSERT_TRUE(device);
  EXPECT_EQ(AudioDeviceASFF::create(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(AudioDeviceASFF::instance(), device);

  std::int64_t count = 0;
  device->deviceCount(count);
  ASSERT_EQ(count, 2);
  device->selectDeviceByName("Second Output");
  EXPECT_EQ(device->selectedIndex(), 1);
  device->selectDeviceByName("No Such Output");
  EXPECT_EQ(device->selectedIndex(), 1);
  bool found = false;
  std::int64_t index = -1;
  device->findDevice("Virtual Output", found, index);
  EXPECT_TRUE(found);
  EXPECT_EQ(index, 0);

  int stops = 0;
  QObject::connect(device.data(), &AudioDeviceASFF::signalStop, [&] { ++stops; });
  ASSERT_EQ(device->prepare(0, -1, 0, {}, {}), 0u);
  device->selectDevice(1);  // after prepare, so the device carries the callback
  device->open(64, 44100.0);
  device->start();
  ASSERT_TRUE(backend->pump(secondId, 3));
  device->close();
  const std::vector<float> left = backend->capturedChannel(secondId, 0);
  const std::vector<float> right = backend->capturedChannel(secondId, 1);
  ASSERT_EQ(left.size(), 192u);
  for (std::size_t f = 0; f < left.size(); ++f) {
    ASSERT_EQ(left[f], f < 100 ? 0.5f : 0.0f) << f;
    ASSERT_EQ(right[f], f < 100 ? -0.5f : 0.0f) << f;
  }
  EXPECT_TRUE(TestOutput::waitFor([&] { return stops == 1; }));
  EXPECT_FALSE(device->isPlaying());
}

TEST(ApplicationDevice, WithoutAnOutputDeviceCreateFailsButKeepsTheDevice) {
  setenv("QUILLMERE_AUDIO_BACKEND", "none", 1);
  if (FusionStyle::hal::activeVirtualBackend()) GTEST_SKIP() << "another sound system was chosen in this process";
  static WavSeeker_libSndFile source, click1, click2;
  static std::uint8_t clickOn = 0, level = 100, click2On = 0;
  EXPECT_EQ(AudioDeviceASFF::create(&source, &click1, &click2, &clickOn, &level, &click2On), 0x880000032u);
  const QSharedPointer<AudioDeviceASFF> device = AudioDeviceASFF::instance();
  ASSERT_TRUE(device);
  std::int64_t count = -1;
  device->deviceCount(count);
  EXPECT_EQ(count, 0);
  // Nothing to open: no play may start on it as if it sounded.
  EXPECT_EQ(device->open(2048, 44100.0), 0x80000001u);
  EXPECT_FALSE(device->isOpen());
  EXPECT_EQ(device->start(), 0u);
  EXPECT_EQ(device->stop(), 0u);
  EXPECT_EQ(device->close(), 0u);
  EXPECT_EQ(device->position(), 0);
  EXPECT_NE(device->selectDevice(-1), 0u);
}

TEST(ApplicationDevice, ADeviceThatRefusesToStartIsNotOpenAndAnotherOneOpens) {
  auto* backend = TestOutput::manualOutput();
  if (!backend) GTEST_SKIP() << "another sound system was chosen in this process";
  FusionStyle::hal::VirtualBackend::DeviceSpec refusing;
  refusing.name = "Busy Output";
  refusing.failStart = true;
  const auto busyId = backend->addDevice(refusing);
  static WavSeeker_libSndFile source, click1, click2;
  static std::uint8_t clickOn = 0, level = 100, click2On = 0;
  ASSERT_EQ(AudioDeviceASFF::create(&source, &click1, &click2, &clickOn, &level, &click2On), 0u);
  const QSharedPointer<AudioDeviceASFF> device = AudioDeviceASFF::instance();
  ASSERT_EQ(device->prepare(0, -1, 0, {}, {}), 0u);
  ASSERT_EQ(device->selectDeviceByName("Busy Output"), 0u);
  EXPECT_EQ(device->open(2048, 44100.0), 0x80000002u);
  EXPECT_FALSE(device->isOpen());
  EXPECT_FALSE(backend->isRunning(busyId));

  ASSERT_EQ(device->selectDeviceByName("Virtual Output"), 0u);
  EXPECT_EQ(device->open(2048, 44100.0), 0u);
  EXPECT_TRUE(device->isOpen());
  EXPECT_EQ(device->open(2048, 44100.0), 0u) << "a running device is open";
  EXPECT_EQ(device->close(), 0u);
  EXPECT_FALSE(device->isOpen());
}
