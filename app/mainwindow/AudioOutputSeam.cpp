#include "AudioOutputSeam.h"

#include <QByteArray>

namespace {

// The output layers that can play: "virtual" is silent but complete, "alsa"
// waits for its device layer and until then finds no device, like "none".
bool backendHasDevice() {
  const QByteArray backend = qgetenv("QUILLMERE_AUDIO_BACKEND");
  return backend == "virtual";
}

}  // namespace

AudioOutputSeam::AudioOutputSeam(std::uint8_t* clickOn, std::uint8_t* sourceLevel, std::uint8_t* click2On)
    : mClickOn(clickOn), mSourceLevel(sourceLevel), mClick2On(click2On) {}

ResultCode AudioOutputSeam::init(const QString& deviceName) {
  mDeviceName = deviceName;
  if (!backendHasDevice()) return kNoOutputDevice;
  if (mDeviceName.isEmpty()) mDeviceName = QStringLiteral("Virtual Output");
  mOpen = true;
  return Result::kOk;
}

ResultCode AudioOutputSeam::close() {
  if (!mOpen) return Result::fail(1);
  mOpen = false;
  return Result::kOk;
}

void AudioOutputSeam::setMetronomeFiles(const QString& bar, const QString& beat) {
  mMetronome1 = bar;
  mMetronome2 = beat;
}
