// Auditions through the virtual output pumped by hand: a looped section
// range with the generated metronome clicks on its beats, compared with a
// mix built from the same files another way; the click lists of a range;
// failures; and the audio setup dialog.

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

#include <cmath>
#include <cstdlib>

#include "ASTAudition.h"
#include "AudioDeviceASFF.h"
#include "AudioSetupEditor.h"
#include "CASTcore.h"
#include "ManualOutput.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"
#include "VirtualBackend.h"
#include "WavSeeker_libSndFile.h"

using FusionStyle::hal::VirtualBackend;
using TestOutput::deviceLevel;
using TestOutput::readStereo;
using TestOutput::resource;

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

// Left channel as the device plays it: `level16` scaled by the level byte
// plus the clicks that start at `bars` (Metro1) and `beats` (Metro2),
// looped every `loop` frames.
std::vector<float> expectedLeft(std::size_t frames, double source, std::int64_t loop,
                                const std::vector<std::int64_t>& bars, const std::vector<std::int64_t>& beats) {
  const std::vector<float> bar = readStereo(resource("Metro1.wav"));
  const std::vector<float> beat = readStereo(resource("Metro2.wav"));
  std::vector<double> mix(frames, source);
  for (std::size_t f = 0; f < frames; ++f) {
    const std::int64_t offset = static_cast<std::int64_t>(f) % loop;
    for (const auto& [list, click] : {std::make_pair(&bars, &bar), std::make_pair(&beats, &beat)}) {
      for (std::int64_t at : *list) {
        const std::int64_t into = offset - at;
        if (into >= 0 && std::size_t(into) < click->size() / 2) mix[f] += (*click)[2 * std::size_t(into)];
      }
    }
  }
  std::vector<float> out(frames);
  for (std::size_t f = 0; f < frames; ++f) out[f] = deviceLevel(mix[f]);
  return out;
}

// A project of one 4 s recording at 0.25 with a beat every 0.25 s and
// "Main A" (slot 3) over its first two seconds as two bars of 4/4 at 240.
void loadProject(CASTcore& core) {
  core.addWavList(gridWave(TestEnv::tempPath("rec.wav"), 16, 4.0, 8192));
  SecInfo sec;
  sec.used = 1;
  sec.wavNo = 0;
  sec.startAdrs = 0;
  sec.endAdrs = 8 * kBeat;
  sec.setAreaCount(2);
  sec.barAdrs[0] = 4 * kBeat;
  ASSERT_EQ(core.updateSecInfo(3, sec), 0u);
  ASSERT_EQ(core.updateTempo(240), 0u);
}

// An audition over the virtual output pumped by hand. The tests set the
// click switches and the level before they play: the device reads them on
// every cycle.
class AuditionPlays : public ::testing::Test {
 protected:
  void SetUp() override {
    backend = TestOutput::manualOutput();
    if (!backend) GTEST_SKIP() << "another sound system was chosen in this process";
  }

  void loadMetronome() { audition.setMetronomeFiles(resource("Metro1.wav"), resource("Metro2.wav")); }

  VirtualBackend* backend = nullptr;
  CASTcore core;
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition{&clickOn, &level, &click2On};
};

// The device settings dialog beside an audition of the virtual output.
class AudioSetupDialog : public AuditionPlays {};

}  // namespace

TEST_F(AuditionPlays, LoopedSectionHasBarClicksOnBarStartsAndBeatClicksBetweenAtTheSourceLevel) {
  core.addWavList(gridWave(TestEnv::tempPath("rec.wav"), 14, 3.5, 8192));  // 0.25
  level = 50;
  ASSERT_EQ(audition.init(QString()), 0u);
  EXPECT_EQ(audition.deviceName(), "Virtual Output");
  loadMetronome();

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

TEST_F(AuditionPlays, MissingRecordingFailsWithTheAuditionTextAndStaysIdle) {
  WavInfo* wave = gridWave(TestEnv::tempPath("rec.wav"), 8, 0.01, 0);
  wave->fileName = TestEnv::tempPath("gone.wav").toStdWString();
  core.addWavList(wave);
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

TEST_F(AudioSetupDialog, OkSelectsAndOpensTheChosenDeviceAndCancelKeepsTheOld) {
  VirtualBackend::DeviceSpec second;
  second.name = "Second Output";
  const auto secondId = backend->addDevice(second);
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

TEST(ASTAudition, WithoutAnOutputDeviceNoPlayStartsAndEachSaysSo) {
  setenv("QUILLMERE_AUDIO_BACKEND", "none", 1);
  if (FusionStyle::hal::activeVirtualBackend()) GTEST_SKIP() << "another sound system was chosen in this process";
  CASTcore core;
  loadProject(core);
  std::uint8_t clickOn = 1, level = 100, click2On = 1;
  ASTAudition audition(&clickOn, &level, &click2On);
  ASSERT_EQ(audition.init(QString()), 0x8880000321u);
  // Step 9 of the player, the opening, fails: there is nothing to open.
  EXPECT_EQ(audition.togglePlaySection(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 0),
            Result::nest(1, Result::nest(9, 0x80000001u)));
  EXPECT_EQ(core.lastError, "#0077 audition process returns some error! [880000019]");
  EXPECT_FALSE(audition.isPlaying());
  EXPECT_TRUE(Result::failed(audition.togglePlaySectionOnce(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 0)));
  EXPECT_TRUE(Result::failed(audition.togglePlayAssignedSection(&core, 3)));
  EXPECT_TRUE(Result::failed(
      audition.togglePlayFile(TestEnv::tempPath("rec.wav").toStdWString(), 0, 8 * kBeat, 1, {}, {})));
  EXPECT_FALSE(audition.isPlaying());
  EXPECT_EQ(audition.togglePlay(1), 0x80000002u);
  EXPECT_FALSE(audition.isPlaying());
}

TEST_F(AuditionPlays, PlayedOnceASectionStopsAtItsEndAndSaysSo) {
  loadProject(core);
  clickOn = click2On = 0;
  ASSERT_EQ(audition.init(QString()), 0u);
  int stops = 0;
  QObject::connect(&audition, &ASTAudition::signalStop, [&] { ++stops; });
  ASSERT_EQ(audition.togglePlaySectionOnce(&core, 0, 3, 0, 2 * kBeat, 0, 0, 0, 0), 0u);
  ASSERT_TRUE(backend->pump(1, 12));  // 24576 frames, past the range of 22050
  EXPECT_TRUE(TestOutput::waitFor([&] { return stops == 1; }));
  EXPECT_FALSE(audition.isPlaying());
  const std::vector<float> left = backend->capturedChannel(1, 0);
  for (std::size_t f = 0; f < left.size(); ++f) ASSERT_EQ(left[f], f < 2 * kBeat ? 0.25f : 0.0f) << f;
}

TEST_F(AuditionPlays, TheAssignedSectionPlaysItsOwnRangeWithAClickOnEachBar) {
  loadProject(core);
  level = 0;
  ASSERT_EQ(audition.init(QString()), 0u);
  loadMetronome();
  ASSERT_EQ(audition.togglePlayAssignedSection(&core, 3), 0u);
  ASSERT_TRUE(audition.isPlaying());
  const int cycles = 48;  // past the loop at 88200 frames
  ASSERT_TRUE(backend->pump(1, cycles));
  EXPECT_EQ(backend->capturedChannel(1, 0), expectedLeft(cycles * 2048u, 0.0, 8 * kBeat, {0, 4 * kBeat}, {}));
  EXPECT_EQ(audition.togglePlayAssignedSection(&core, 3), 0u);
  EXPECT_FALSE(audition.isPlaying());

  EXPECT_EQ(audition.togglePlayAssignedSection(&core, 20), Result::nest(1, 0x80000001u)) << "no such slot";
  EXPECT_EQ(core.lastError, "#0077 audition process returns some error! [80000001]");
  EXPECT_FALSE(audition.isPlaying());
}

TEST_F(AuditionPlays, ModeThreePlaysTheStretchedSectionWithAnEvenClickGrid) {
  loadProject(core);
  level = 0;
  ASSERT_EQ(audition.init(QString()), 0u);
  loadMetronome();

  EXPECT_EQ(audition.togglePlayByMode(&core, 0, 4, 0, 8 * kBeat, 0, 0, 0, 3), 0x80000001u);
  EXPECT_EQ(core.lastError, "#0076 trimming on is required!");
  ASSERT_EQ(core.updateTempo(60), 0u);  // two bars of 8 s from 2 s of audio
  EXPECT_EQ(audition.togglePlayByMode(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 3), 0x80000003u);
  EXPECT_EQ(core.lastError, "stretch ratio error!");
  EXPECT_FALSE(audition.isPlaying());

  ASSERT_EQ(core.updateTempo(240), 0u);
  ASSERT_EQ(audition.togglePlayByMode(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 3), 0u) << core.lastError.toStdString();
  ASSERT_TRUE(audition.isPlaying());
  QString folder;
  ASSERT_EQ(core.getPath(0, folder), 0u);
  const auto frames =
      static_cast<std::int64_t>(WavSeeker_libSndFile(TempWaveFiles::sectionPath(folder, 3).toStdWString()).length());
  ASSERT_NEAR(static_cast<double>(frames), 8.0 * kBeat, 0.01 * kBeat) << "stretched by a ratio of 1";
  std::vector<std::int64_t> bars, beats;
  ASTAudition::evenClicks(frames, 2, 4, bars, beats);
  EXPECT_EQ(bars, (std::vector<std::int64_t>{0, 4 * frames / 8}));
  EXPECT_EQ(beats.size(), 6u);
  EXPECT_EQ(beats[0], frames / 8);
  const int cycles = 48;
  ASSERT_TRUE(backend->pump(1, cycles));
  EXPECT_EQ(backend->capturedChannel(1, 0), expectedLeft(cycles * 2048u, 0.0, frames, bars, beats));

  // Any other mode plays the recording's range.
  EXPECT_EQ(audition.togglePlayByMode(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 3), 0u);
  EXPECT_FALSE(audition.isPlaying());
  backend->clearCapture(1);
  level = 100;
  clickOn = 0;
  ASSERT_EQ(audition.togglePlayByMode(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 0), 0u);
  ASSERT_TRUE(backend->pump(1, 2));
  EXPECT_EQ(backend->capturedChannel(1, 0), std::vector<float>(4096, 0.25f));
}

TEST_F(AuditionPlays, ModeThreeOfARecordingThatHasGoneSaysWhyAndLeavesTheDeviceAlone) {
  loadProject(core);
  ASSERT_EQ(audition.init(QString()), 0u);
  ASSERT_TRUE(QFile::remove(TestEnv::tempPath("rec.wav")));
  std::uint8_t ratioError = 0;
  const ResultCode render = audition.makeStretchedSectionWave(&core, 3, &ratioError);
  ASSERT_TRUE(Result::failed(render));
  EXPECT_EQ(render & 0xFu, 2u) << "the work copy is not made";

  EXPECT_EQ(audition.togglePlayByMode(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 3), Result::nest(2, render));
  EXPECT_EQ(core.lastError, QStringLiteral("#0077 audition process returns some error! [%1]").arg(render, 0, 16));
  EXPECT_FALSE(audition.isPlaying());

  // While something plays, mode 3 only stops it: nothing is rendered.
  const QString file = TestEnv::tempPath("level.wav");
  ASSERT_TRUE(TestAudio::writeWav(file, TestAudio::Stereo16(2 * 44100, 8192)));
  ASSERT_EQ(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {}), 0u);
  ASSERT_TRUE(audition.isPlaying());
  EXPECT_EQ(audition.togglePlayByMode(&core, 0, 3, 0, 8 * kBeat, 0, 0, 0, 3), 0u);
  EXPECT_FALSE(audition.isPlaying());
}

TEST_F(AuditionPlays, ThePlainToggleRestartsOnlyWhatWasPreparedOnAnOpenDevice) {
  const QString file = TestEnv::tempPath("ramp.wav");
  TestAudio::Stereo16 ramp(2 * 8192);
  for (std::size_t f = 0; f < 8192; ++f) ramp[2 * f] = ramp[2 * f + 1] = static_cast<std::int16_t>(f);
  ASSERT_TRUE(TestAudio::writeWav(file, ramp));
  clickOn = click2On = 0;
  ASSERT_EQ(audition.init(QString()), 0u);
  EXPECT_EQ(audition.togglePlay(1), 0x80000002u) << "nothing prepared yet";
  EXPECT_FALSE(audition.isPlaying());

  ASSERT_EQ(audition.togglePlayFile(file.toStdWString(), 0, 8192, 0, {}, {}), 0u);
  ASSERT_TRUE(backend->pump(1, 1));
  EXPECT_EQ(audition.togglePlay(1), 0u);
  EXPECT_FALSE(audition.isPlaying()) << "a toggle while playing stops";
  EXPECT_EQ(audition.togglePlay(1), 0u);
  EXPECT_TRUE(audition.isPlaying());
  ASSERT_TRUE(backend->pump(1, 3));  // on from frame 2048, looped at 8192
  const std::vector<float> left = backend->capturedChannel(1, 0);
  ASSERT_EQ(left.size(), 4u * 2048);
  for (std::size_t f = 0; f < left.size(); ++f) ASSERT_EQ(left[f], float(f % 8192) / 32768.0f) << f;

  ASSERT_EQ(audition.close(), 0u);
  EXPECT_EQ(audition.togglePlay(1), 0u) << "still playing: the toggle stops";
  EXPECT_EQ(audition.togglePlay(1), 0x80000002u) << "a closed device sounds nothing";
  EXPECT_FALSE(audition.isPlaying());
}

TEST_F(AuditionPlays, DeletingTheRecordingReaderStopsItsPlayAndTheNextPlayReadsAgain) {
  const QString file = TestEnv::tempPath("level.wav");
  ASSERT_TRUE(TestAudio::writeWav(file, TestAudio::Stereo16(2 * 44100, 8192)));
  clickOn = click2On = 0;
  ASSERT_EQ(audition.init(QString()), 0u);
  ASSERT_EQ(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {}), 0u);
  ASSERT_TRUE(backend->pump(1, 1));
  audition.deleteSourceReader();
  EXPECT_FALSE(audition.isPlaying());
  EXPECT_FALSE(backend->isRunning(1));
  EXPECT_EQ(audition.togglePlay(1), 0x80000002u);

  backend->clearCapture(1);
  ASSERT_EQ(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {}), 0u);
  ASSERT_TRUE(backend->pump(1, 2));
  EXPECT_EQ(backend->capturedChannel(1, 0), std::vector<float>(4096, 0.25f));
}

TEST_F(AudioSetupDialog, AnOutputAttachedAfterAFailedStartIsListedAndPlays) {
  backend->setFailDeviceList(true);
  clickOn = click2On = 0;
  ASSERT_EQ(audition.init(QString()), 0x8880000321u);
  const QString file = TestEnv::tempPath("level.wav");
  ASSERT_TRUE(TestAudio::writeWav(file, TestAudio::Stereo16(2 * 44100, 8192)));
  EXPECT_TRUE(Result::failed(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {})));

  backend->setFailDeviceList(false);
  AudioSetupEditor dialog;
  ASSERT_EQ(dialog.m_pAudioOutBox->count(), 1);
  EXPECT_EQ(dialog.m_pAudioOutBox->itemText(0), "Virtual Output");
  dialog.m_pOkButton->click();
  ASSERT_EQ(audition.updateDeviceName(), 0u);
  EXPECT_EQ(audition.deviceName(), "Virtual Output");
  ASSERT_EQ(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {}), 0u);
  ASSERT_TRUE(backend->pump(1, 2));
  EXPECT_EQ(backend->capturedChannel(1, 0), std::vector<float>(4096, 0.25f));
}

TEST_F(AudioSetupDialog, CancelAfterTheListWasAskedForAgainChoosesNoDevice) {
  backend->setFailDeviceList(true);
  clickOn = click2On = 0;
  ASSERT_EQ(audition.init(QString()), 0x8880000321u);
  const QString file = TestEnv::tempPath("level.wav");
  ASSERT_TRUE(TestAudio::writeWav(file, TestAudio::Stereo16(2 * 44100, 8192)));
  const ResultCode before = audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {});
  ASSERT_TRUE(Result::failed(before));

  backend->setFailDeviceList(false);
  {
    AudioSetupEditor dialog;
    ASSERT_EQ(dialog.m_pAudioOutBox->count(), 1) << "the output attached since is listed";
    dialog.m_pCancelButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  // As before the dialog: no device, so the play fails the same way and
  // nothing runs.
  EXPECT_EQ(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {}), before);
  EXPECT_FALSE(audition.isPlaying());
  EXPECT_FALSE(backend->isRunning(1));
  EXPECT_FALSE(audition.audioDevice()->isOpen());

  // A second look lists it again; OK chooses it.
  AudioSetupEditor dialog;
  ASSERT_EQ(dialog.m_pAudioOutBox->count(), 1);
  dialog.m_pOkButton->click();
  ASSERT_EQ(audition.updateDeviceName(), 0u);
  EXPECT_EQ(audition.deviceName(), "Virtual Output");
  ASSERT_EQ(audition.togglePlayFile(file.toStdWString(), 0, -1, 1, {}, {}), 0u);
  ASSERT_TRUE(backend->pump(1, 1));
  EXPECT_EQ(backend->capturedChannel(1, 0), std::vector<float>(2048, 0.25f));
}
