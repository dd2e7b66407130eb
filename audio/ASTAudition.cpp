#include "ASTAudition.h"

#include <QStandardPaths>

#include "AnalysisUtil.h"
#include "AudioDeviceASFF.h"
#include "CASTcore.h"
#include "SecInfo.h"
#include "TempWaveFiles.h"
#include "WavInfo.h"
#include "WavSeeker_libSndFile.h"
#include "audioFileMngr.h"

namespace {

constexpr std::uint32_t kFrames = 2048;
constexpr double kRate = 44100.0;

}  // namespace

ASTAudition::ASTAudition(std::uint8_t* clickOn, std::uint8_t* level, std::uint8_t* click2On)
    : mClickOn(clickOn),
      mLevel(level),
      mClick2On(click2On),
      mSource(new WavSeeker_libSndFile),
      mClick1(new WavSeeker_libSndFile),
      mClick2(new WavSeeker_libSndFile) {
  mSource->open(std::wstring());
  mClick1->open(std::wstring());
  mClick2->open(std::wstring());
}

ASTAudition::~ASTAudition() {
  // The device outlives this object and renders from its readers: it must
  // not touch them once they are gone.
  const auto device = audioDevice();
  if (device && device->usesSource(mSource.get())) {
    device->stop();
    device->close();
    device->setSources(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
}

QSharedPointer<AudioDeviceASFF> ASTAudition::audioDevice() const { return AudioDeviceASFF::instance(); }

ResultCode ASTAudition::init(const QString& deviceName) {
  mDeviceName = deviceName;
  const ResultCode created =
      AudioDeviceASFF::create(mSource.get(), mClick1.get(), mClick2.get(), mClickOn, mLevel, mClick2On);
  if (Result::failed(created)) return Result::nest(1, created);
  const auto device = audioDevice();
  if (!device->usesSource(mSource.get())) {
    // The device was made for an audition that has gone (or another one):
    // it plays from this one's readers from now on.
    device->close();
    device->setSources(mSource.get(), mClick1.get(), mClick2.get(), mClickOn, mLevel, mClick2On);
  }
  if (mDeviceName.isEmpty()) {
    std::int64_t count = 0;
    device->deviceCount(count);
    if (count > 0) device->deviceName(0, mDeviceName);
  }
  device->selectDeviceByName(mDeviceName);
  device->open(kFrames, kRate);
  connect(device.data(), &AudioDeviceASFF::signalStop, this, &ASTAudition::stopped, Qt::UniqueConnection);
  return Result::kOk;
}

void ASTAudition::setMetronomeFiles(const QString& barClick, const QString& beatClick) {
  mMetronome1 = barClick;
  mMetronome2 = beatClick;
  mClick1->open(barClick.toStdWString());
  mClick2->open(beatClick.toStdWString());
}

void ASTAudition::stopped() {
  if (const auto device = audioDevice()) device->stop();
  emit signalStop();
}

void ASTAudition::location() {
  if (isPlaying()) emit signalLocation();
}

ResultCode ASTAudition::close() {
  const auto device = audioDevice();
  if (!device) return Result::fail(1);
  disconnect(device.data(), &AudioDeviceASFF::signalStop, this, &ASTAudition::stopped);
  device->close();
  return Result::kOk;
}

ResultCode ASTAudition::updateDeviceName() {
  const auto device = audioDevice();
  if (!device) return Result::fail(1);
  device->deviceName(device->selectedIndex(), mDeviceName);
  return Result::kOk;
}

ResultCode ASTAudition::stop() {
  const auto device = audioDevice();
  if (!device) return Result::fail(1);
  device->stop();
  return Result::kOk;
}

std::int64_t ASTAudition::position() const {
  const auto device = audioDevice();
  return device ? device->position() : -1;
}

bool ASTAudition::isPlaying() const {
  const auto device = audioDevice();
  return device && device->isPlaying();
}

ResultCode ASTAudition::togglePlaySection(CASTcore* core, std::uint8_t wave, std::uint8_t section,
                                          std::int64_t rangeStart, std::int64_t rangeEnd, std::uint8_t halfBeat,
                                          std::uint8_t blank, std::uint8_t /*pickup*/, int clickMode) {
  return toggleSection(core, wave, section, rangeStart, rangeEnd, true, halfBeat, blank, clickMode);
}

ResultCode ASTAudition::togglePlaySectionOnce(CASTcore* core, std::uint8_t wave, std::uint8_t section,
                                              std::int64_t rangeStart, std::int64_t rangeEnd, std::uint8_t halfBeat,
                                              std::uint8_t blank, std::uint8_t /*pickup*/, int clickMode) {
  return toggleSection(core, wave, section, rangeStart, rangeEnd, false, halfBeat, blank, clickMode);
}

ResultCode ASTAudition::toggleSection(CASTcore* core, std::uint8_t wave, std::uint8_t section,
                                      std::int64_t rangeStart, std::int64_t rangeEnd, bool loop,
                                      std::uint8_t halfBeat, std::uint8_t blank, int clickMode) {
  core->clearLastError();
  const auto device = audioDevice();
  if (stopPlaying(device)) return Result::kOk;
  const ResultCode played = playSection(core, wave, section, rangeStart, rangeEnd, loop, halfBeat, blank, clickMode);
  if (Result::succeeded(played)) return Result::kOk;
  return auditionFailed(core, device, played, 1);
}

bool ASTAudition::stopPlaying(const QSharedPointer<AudioDeviceASFF>& device) {
  if (!device || !device->isPlaying()) return false;
  device->stop();
  return true;
}

ResultCode ASTAudition::auditionFailed(CASTcore* core, const QSharedPointer<AudioDeviceASFF>& device, ResultCode code,
                                       unsigned step) {
  core->lastError = QStringLiteral("#0077 audition process returns some error! [%1]").arg(code, 0, 16);
  if (device) device->stop();
  return Result::nest(step, code);
}

ResultCode ASTAudition::startRegion(AudioDeviceASFF& device, std::int64_t rangeStart, std::int64_t rangeEnd,
                                    bool loop, const std::vector<std::int64_t>& clicks1,
                                    const std::vector<std::int64_t>& clicks2, unsigned firstStep) {
  ResultCode rc = device.prepare(rangeStart, rangeEnd, rangeStart, clicks1, clicks2);
  if (Result::failed(rc)) return Result::nest(firstStep, rc);
  // Selected after prepare, so the device made by the selection carries the
  // callback.
  rc = device.selectDeviceByName(mDeviceName);
  if (Result::failed(rc)) return Result::nest(firstStep + 1, rc);
  rc = device.open(kFrames, kRate);
  if (Result::failed(rc)) return Result::nest(firstStep + 2, rc);
  device.setLoop(loop);
  rc = device.start();
  if (Result::failed(rc)) return Result::nest(firstStep + 3, rc);
  return Result::kOk;
}

ResultCode ASTAudition::playSection(CASTcore* core, std::uint8_t wave, std::uint8_t section,
                                    std::int64_t rangeStart, std::int64_t rangeEnd, bool loop,
                                    std::uint8_t halfBeat, std::uint8_t blank, int clickMode) {
  const auto device = audioDevice();
  if (!device) return Result::fail(0xB);
  if (stopPlaying(device)) return Result::kOk;
  WavInfo* info = nullptr;
  ResultCode rc = core->getWaveInfo(wave, &info);
  if (Result::failed(rc) || !info) return Result::nest(1, rc);
  rc = device->close();
  if (Result::failed(rc)) return Result::nest(2, rc);
  std::uint8_t numerator = 4, denominator = 4;
  rc = core->getTimeSig(numerator, denominator);
  if (Result::failed(rc)) return Result::nest(3, rc);
  // A recording that cannot be opened would play as silence: a failure.
  if (!mSource->open(info->fileName)) return Result::fail(0xC);

  std::vector<std::int64_t> bars, beats;
  if (clickMode == 0) {
    rc = beatClicks(*core, *info, wave, numerator, rangeStart, rangeEnd, halfBeat, blank, bars, beats);
    if (Result::failed(rc)) return Result::nest(4, rc);
  } else if (clickMode == 1) {
    SecInfo* sec = nullptr;
    rc = core->getSecInfo(section, &sec);
    if (Result::failed(rc) || !sec) return Result::nest(5, rc);
    // A click on each bar start of the section.
    bars.push_back(static_cast<std::int64_t>(sec->startAdrs) + sec->startOfs - rangeStart);
    for (int k = 0; sec->barAdrs && sec->barOfs && k + 1 < sec->barNum; ++k)
      bars.push_back(static_cast<std::int64_t>(sec->barAdrs[k]) + sec->barOfs[k] - rangeStart);
  }
  return startRegion(*device, rangeStart, rangeEnd, loop, bars, beats, 7);
}

ResultCode ASTAudition::beatClicks(const CASTcore& core, const WavInfo& wave, std::uint8_t waveIndex,
                                   std::uint8_t numerator, std::int64_t rangeStart, std::int64_t rangeEnd,
                                   std::uint8_t halfBeat, std::uint8_t blank, std::vector<std::int64_t>& bars,
                                   std::vector<std::int64_t>& beats) {
  bars.clear();
  beats.clear();
  const AnalysisUtil util;
  const std::size_t division = std::max<std::uint16_t>(wave.beatDiv, 1);
  std::vector<std::int64_t> addresses;
  for (std::size_t i = halfBeat * division; i < wave.beatTime.size(); i += 2 * division)
    addresses.push_back(static_cast<std::int64_t>(util.secondsToSamples(wave.beatTime[i])));

  std::uint32_t first = 0, last = 0;
  ResultCode rc = core.getBeatPosOfAddress(waveIndex, halfBeat, static_cast<std::uint64_t>(std::max<std::int64_t>(rangeStart, 0)), first);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = core.getBeatPosOfAddress(waveIndex, halfBeat, static_cast<std::uint64_t>(std::max<std::int64_t>(rangeEnd, 0)), last);
  if (Result::failed(rc)) return Result::nest(2, rc);
  // A bar of no beats would divide by zero: count it as one beat.
  const std::int64_t n = std::max<std::uint8_t>(numerator, 1);
  const std::int64_t a = first;
  const std::int64_t pickup = blank ? (static_cast<std::int64_t>(last) - a) % n : 0;
  for (std::int64_t k = a; k < static_cast<std::int64_t>(addresses.size()); ++k) {
    const std::int64_t offset = addresses[static_cast<std::size_t>(k)] - rangeStart;
    if (k - a < pickup)
      beats.push_back(offset);
    else if ((k - a - pickup) % n == 0)
      bars.push_back(offset);
    else
      beats.push_back(offset);
  }
  return Result::kOk;
}

ResultCode ASTAudition::togglePlayFile(const std::wstring& path, std::int64_t rangeStart, std::int64_t rangeEnd,
                                       std::uint8_t loop, const std::vector<std::int64_t>& clicks1,
                                       const std::vector<std::int64_t>& clicks2) {
  if (stopPlaying(audioDevice())) return Result::kOk;
  const ResultCode played = playFile(path, rangeStart, rangeEnd, loop != 0, clicks1, clicks2);
  return Result::failed(played) ? Result::nest(1, played) : Result::kOk;
}

ResultCode ASTAudition::playFile(const std::wstring& path, std::int64_t rangeStart, std::int64_t rangeEnd, bool loop,
                                 const std::vector<std::int64_t>& clicks1, const std::vector<std::int64_t>& clicks2) {
  const auto device = audioDevice();
  if (!device) return Result::fail(6);
  if (stopPlaying(device)) return Result::kOk;
  const ResultCode rc = device->close();
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (!mSource->open(path)) return Result::fail(7);
  return startRegion(*device, rangeStart, rangeEnd, loop, clicks1, clicks2, 2);
}

ResultCode ASTAudition::makeStretchedSectionWave(CASTcore* core, std::uint8_t section, std::uint8_t* ratioError) {
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  ResultCode rc = core->getSecWave(section, &sec, &wave);
  if (Result::failed(rc) || !sec || !wave) return Result::nest(1, rc);
  // The work copy goes where this core renders from.
  QString folder;
  core->getPath(0, folder);
  const QString workCopy = TempWaveFiles::sourcePath(folder);
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  if (!files) return Result::fail(2);
  rc = files->copyFile(wave->fileName, workCopy);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = core->renderAudition(section, ratioError);
  if (Result::failed(rc)) return Result::nest(3, rc);
  return Result::kOk;
}
