// Auditions through the virtual output pumped by hand: a looped section
// range with the generated metronome clicks on its beats, compared with a
// mix built from the same files another way; the click lists of a range;
// failures; and the audio setup dialog.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>

#include <sndfile.h>

#include <cmath>
#include <cstdlib>

#include "ASTAudition.h"
#include "AudioDeviceASFF.h"
#include "AudioSetupEditor.h"
#include "CASTcore.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "VirtualBackend.h"

using FusionStyle::hal::VirtualBackend;

namespace {

// A beat every 0.25 s: grid times exact in float, so ceil(t * 44100) is exact.
constexpr std::int64_t kBeat = 11025;

// A grid of `beats` beats (division 1) over a recording of `seconds` whose
// samples are all `level16`.
WavInfo* gridWave(const QString& file, int beats, double seconds, std::int16_t level16) {
  EXPECT_TRUE(TestAudio::writeWav(file, TestAudio::Stereo16(std::size_t(seconds * 44100) * 2, level16)));
  auto* w = new WavInfo;
  w->fileName = file.toStdWString();
  w->beatDiv = 1;
  for (int k = 0; k < 2 * beats; ++k) w->beatTime.push_back(0.125f * k);
  w->onsetTime = {0.0f, static_cast<float>(seconds)};
  return w;
}

std::vector<float> readStereo(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_READ, &info);
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(info.channels, 2);
  std::vector<float> v(std::size_t(info.frames) * 2);
  sf_readf_float(file, v.data(), info.frames);
  sf_close(file);
  return v;
}

QString resource(const char* name) { return QCoreApplication::applicationDirPath() + "/../Resources/" + name; }

float deviceLevel(double mix) {
  const float scaled = static_cast<float>(mix * 32768.0);
  const float clamped = std::max(-31130.0f, std::min(31129.0f, scaled));
  return static_cast<float>(static_cast<int>(clamped)) / 32768.0f;
}

VirtualBackend* manualVirtualOutput() {
  setenv("QUILLMERE_AUDIO_BACKEND", "virtual", 1);
  VirtualBackend* backend = FusionStyle::hal::activeVirtualBackend();
  if (backend) backend->setPullMode(VirtualBackend::PullMode::Manual);
  return backend;
}

}  // namespace

TEST(ASTAudition, LoopedSectionHasBarClicksOnBarStartsAndBeatClicksBetweenAtTheSourceLevel) {
  VirtualBackend* backend = manualVirtualOutput();
  if (!backend) GTEST_SKIP() << "another sound system was chosen in this process";
  CASTcore core;
  core.addWavList(gridWave(TestEnv::tempPath("rec.wav"), 14, 3.5, 8192));  // 0.25
  std::uint8_t clickOn = 1, level = 50, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);
  ASSERT_EQ(audition.init(QString()), 0u);
  EXPECT_EQ(audition.deviceName(), "Virtual Output");
  audition.setMetronomeFiles(resource("Metro1.wav"), resource("Metro2.wav"));

  const std::int64_t a = 2 * kBeat, b = 10 * kBeat;  // eight beats, two bars of 4/4
  ASSERT_EQ(audition.togglePlaySection(&core, 0, 3, a, b, 0, 0, 0, 0), 0u);
  ASSERT_TRUE(audition.isPlaying());
  const int cycles = 50;  // past the loop's end at 88200 frames
  ASSERT_TRUE(backend->pump(1, cycles));
  const std::vector<float> left = backend->capturedChannel(1, 0);
  const std::vector<float> right = backend->capturedChannel(1, 1);
  ASSERT_EQ(left.size(), std::size_t(cycles) * 2048);

  const std::vector<float> bar = readStereo(resource("Metro1.wav"));
  const std::vector<float> beat = readStereo(resource("Metro2.wav"));
  ASSERT_LT(bar.size() / 2, std::size_t(kBeat));
  ASSERT_LT(beat.size() / 2, std::size_t(kBeat));
  for (std::size_t f = 0; f < left.size(); ++f) {
    const std::int64_t offset = static_cast<std::int64_t>(f) % (b - a);
    const std::int64_t beatIndex = offset / kBeat, into = offset % kBeat;
    const std::vector<float>& click = beatIndex % 4 == 0 ? bar : beat;
    double mixLeft = 0.25 * 50 / 100.0, mixRight = mixLeft;
    if (std::size_t(into) < click.size() / 2) {
      mixLeft += click[2 * into];
      mixRight += click[2 * into + 1];
    }
    ASSERT_EQ(left[f], deviceLevel(mixLeft)) << f;
    ASSERT_EQ(right[f], deviceLevel(mixRight)) << f;
  }

  // A second press stops; the next one starts again at the range start.
  EXPECT_EQ(audition.togglePlaySection(&core, 0, 3, a, b, 0, 0, 0, 0), 0u);
  EXPECT_FALSE(audition.isPlaying());
  EXPECT_EQ(audition.togglePlaySection(&core, 0, 3, a, b, 0, 0, 0, 0), 0u);
  EXPECT_TRUE(audition.isPlaying());
  EXPECT_EQ(audition.position(), a);
  EXPECT_EQ(audition.close(), 0u);
}

TEST(ASTAudition, BeatClicksCountBarsFromTheRangeStartAfterABlankRangesPickup) {
  CASTcore core;
  core.addWavList(gridWave(TestEnv::tempPath("rec.wav"), 20, 0.01, 0));
  WavInfo* wave = nullptr;
  ASSERT_EQ(core.getWaveInfo(0, &wave), 0u);
  std::vector<std::int64_t> bars, beats;
  // Ten beats in 4/4 with the blank flag: two pickup beats, then bars.
  ASSERT_EQ(ASTAudition::beatClicks(core, *wave, 0, 4, 3 * kBeat, 13 * kBeat, 0, 1, bars, beats), 0u);
  EXPECT_EQ(bars, (std::vector<std::int64_t>{2 * kBeat, 6 * kBeat, 10 * kBeat, 14 * kBeat}));
  ASSERT_GE(beats.size(), 2u);
  EXPECT_EQ(beats[0], 0);
  EXPECT_EQ(beats[1], kBeat);
  EXPECT_EQ(bars.size() + beats.size(), 17u);  // every beat from the range start on

  // Without it the beat nearest the start begins a bar, even before the start.
  ASSERT_EQ(ASTAudition::beatClicks(core, *wave, 0, 3, 3 * kBeat + 100, 13 * kBeat, 0, 0, bars, beats), 0u);
  EXPECT_EQ(bars.front(), -100);
  EXPECT_EQ(bars[1], 3 * kBeat - 100);
  EXPECT_EQ(beats.front(), kBeat - 100);
  // A numerator of 0 counts as one beat per bar instead of dividing by 0.
  ASSERT_EQ(ASTAudition::beatClicks(core, *wave, 0, 0, 0, 13 * kBeat, 0, 1, bars, beats), 0u);
  EXPECT_TRUE(beats.empty());
  EXPECT_EQ(bars.size(), 20u);
}

TEST(ASTAudition, MissingRecordingFailsWithTheAuditionTextAndStaysIdle) {
  VirtualBackend* backend = manualVirtualOutput();
  if (!backend) GTEST_SKIP() << "another sound system was chosen in this process";
  CASTcore core;
  WavInfo* wave = gridWave(TestEnv::tempPath("rec.wav"), 8, 0.01, 0);
  wave->fileName = TestEnv::tempPath("gone.wav").toStdWString();
  core.addWavList(wave);
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);
  ASSERT_EQ(audition.init(QString()), 0u);
  const ResultCode rc = audition.togglePlaySection(&core, 0, 3, 0, 4 * kBeat, 0, 0, 0, 0);
  EXPECT_EQ(rc, Result::nest(1, 0x8000000Cu));
  EXPECT_EQ(core.lastError, "#0077 audition process returns some error! [8000000c]");
  EXPECT_FALSE(audition.isPlaying());
  // No wave record at all is the player's first step.
  EXPECT_EQ(audition.togglePlaySection(&core, 5, 3, 0, 4 * kBeat, 0, 0, 0, 0) & 0xFFu, 0x11u);
}

TEST(ASTAudition, WithoutAnyOutputDeviceInitFailsAndPositionIsAllOnes) {
  setenv("QUILLMERE_AUDIO_BACKEND", "none", 1);
  if (FusionStyle::hal::activeVirtualBackend() || AudioDeviceASFF::instance())
    GTEST_SKIP() << "a device was already made in this process";
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);
  EXPECT_EQ(audition.position(), -1);
  EXPECT_EQ(audition.stop(), 0x80000001u);
  EXPECT_EQ(audition.init(QString()), 0x8880000321u);
  EXPECT_EQ(audition.deviceName(), QString());
  EXPECT_EQ(audition.position(), 0);
}

TEST(AudioSetupEditor, OkSelectsAndOpensTheChosenDeviceAndCancelKeepsTheOld) {
  VirtualBackend* backend = manualVirtualOutput();
  if (!backend) GTEST_SKIP() << "another sound system was chosen in this process";
  VirtualBackend::DeviceSpec second;
  second.name = "Second Output";
  const auto secondId = backend->addDevice(second);
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);
  ASSERT_EQ(audition.init("Virtual Output"), 0u);

  {
    AudioSetupEditor dialog;
    ASSERT_EQ(dialog.m_pAudioOutBox->count(), 2);
    EXPECT_EQ(dialog.m_pAudioOutBox->currentIndex(), 0);
    EXPECT_EQ(dialog.size(), QSize(400, 120));
    dialog.m_pAudioOutBox->setCurrentIndex(1);
    EXPECT_FALSE(backend->isRunning(secondId));  // nothing happens before OK
    dialog.m_pCancelButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  ASSERT_EQ(audition.updateDeviceName(), 0u);
  EXPECT_EQ(audition.deviceName(), "Virtual Output");
  EXPECT_TRUE(backend->isRunning(1));

  AudioSetupEditor dialog;
  dialog.m_pAudioOutBox->setCurrentIndex(1);
  dialog.m_pOkButton->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(audition.updateDeviceName(), 0u);
  EXPECT_EQ(audition.deviceName(), "Second Output");
  EXPECT_TRUE(backend->isRunning(secondId));
  EXPECT_FALSE(backend->isRunning(1));
}
