// The audition's further ways to play: a section's own assigned range, the
// stretched rendering of a section (mode 3), restarting what was prepared,
// and letting go of the recording.

#include <algorithm>

#include "ASTAudition.h"
#include "AudioDeviceASFF.h"
#include "CASTcore.h"
#include "SecInfo.h"
#include "TempWaveFiles.h"
#include "WavSeeker_libSndFile.h"

ResultCode ASTAudition::togglePlayAssignedSection(CASTcore* core, std::uint8_t section) {
  core->clearLastError();
  const auto device = audioDevice();
  if (stopPlaying(device)) return Result::kOk;
  SecInfo* sec = nullptr;
  ResultCode rc = core->getSecInfo(section, &sec);
  if (Result::succeeded(rc) && !sec) rc = Result::fail(1);
  if (Result::succeeded(rc)) {
    const std::int64_t start = static_cast<std::int64_t>(sec->startAdrs) + sec->startOfs;
    const std::int64_t end = static_cast<std::int64_t>(sec->endAdrs) + sec->endOfs;
    rc = playSection(core, sec->wavNo, section, start, end, true, sec->halfBeat, sec->pickupSw, 1);
  }
  if (Result::succeeded(rc)) return Result::kOk;
  return auditionFailed(core, device, rc, 1);
}

ResultCode ASTAudition::togglePlayByMode(CASTcore* core, std::uint8_t wave, std::uint8_t section,
                                         std::int64_t rangeStart, std::int64_t rangeEnd, std::uint8_t halfBeat,
                                         std::uint8_t blank, std::uint8_t pickup, int mode) {
  if (mode != 3) return togglePlaySection(core, wave, section, rangeStart, rangeEnd, halfBeat, blank, pickup, 0);
  core->clearLastError();
  const auto device = audioDevice();
  if (stopPlaying(device)) return Result::kOk;
  SecInfo* sec = nullptr;
  if (Result::failed(core->getSecInfo(section, &sec)) || !sec || !sec->used) {
    core->lastError = QStringLiteral("#0076 trimming on is required!");
    return Result::fail(1);
  }
  std::uint8_t ratioError = 0;
  ResultCode rc = makeStretchedSectionWave(core, section, &ratioError);
  // Nothing was started yet: the device is left as it is.
  if (Result::failed(rc)) return auditionFailed(core, nullptr, rc, 2);
  if (ratioError) {
    core->lastError = QStringLiteral("stretch ratio error!");
    return Result::fail(3);
  }
  QString folder;
  core->getPath(0, folder);
  const QString path = TempWaveFiles::sectionPath(folder, section);
  const auto frames = static_cast<std::int64_t>(WavSeeker_libSndFile(path.toStdWString()).length());
  std::uint8_t numerator = 4, denominator = 4;
  core->getTimeSig(numerator, denominator);
  std::vector<std::int64_t> bars, beats;
  evenClicks(frames, std::max<unsigned>(sec->barNum, 1), std::max<unsigned>(numerator, 1), bars, beats);
  rc = playFile(path.toStdWString(), 0, frames, true, bars, beats);
  if (Result::succeeded(rc)) return Result::kOk;
  return auditionFailed(core, device, rc, 4);
}

void ASTAudition::evenClicks(std::int64_t frames, unsigned barCount, unsigned numerator,
                             std::vector<std::int64_t>& bars, std::vector<std::int64_t>& beats) {
  bars.clear();
  beats.clear();
  const std::int64_t total = static_cast<std::int64_t>(barCount) * numerator;
  if (total <= 0) return;
  for (std::int64_t k = 0; k < total; ++k) (k % numerator == 0 ? bars : beats).push_back(k * frames / total);
}

ResultCode ASTAudition::togglePlay(std::uint8_t loop) {
  const auto device = audioDevice();
  if (!device) return Result::fail(1);
  if (stopPlaying(device)) return Result::kOk;
  // Starting a closed device, or one with nothing prepared, would show a
  // playing state with nothing to hear.
  if (!device->isOpen() || Result::failed(device->checkCallback())) return Result::fail(2);
  device->setLoop(loop != 0);
  return device->start();
}

void ASTAudition::deleteSourceReader() {
  const auto device = audioDevice();
  const bool used = device && device->usesSource(mSource.get());
  if (used) {
    // The audio thread reads the reader while the device runs.
    device->stop();
    device->close();
  }
  mSource.reset(new WavSeeker_libSndFile);
  mSource->open(std::wstring());
  if (used) device->setSources(mSource.get(), mClick1.get(), mClick2.get(), mClickOn, mLevel, mClick2On);
}
