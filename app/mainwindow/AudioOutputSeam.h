#pragma once
// The main window's link to the audio output: opens the output device chosen
// by name, sets the metronome sounds, closes the device, and reports the end
// of playback. The output layer is chosen per process by
// QUILLMERE_AUDIO_BACKEND: "alsa" (default), "virtual" or "none".

#include <QObject>
#include <QString>

#include <cstdint>

#include "ResultCode.h"

class AudioOutputSeam : public QObject {
  Q_OBJECT
 public:
  // The code of an open that finds no output device: the audition's step 1
  // over the device layer's "no device" code.
  static constexpr ResultCode kNoOutputDevice = 0x8880000321ull;

  AudioOutputSeam(std::uint8_t* clickOn, std::uint8_t* sourceLevel, std::uint8_t* click2On);

  // Opens the named device (an empty name: the first one) with 2048-frame
  // buffers at 44100 Hz. 0 on success.
  ResultCode init(const QString& deviceName);
  // Closes the device; 0x80000001 when none was opened.
  ResultCode close();
  void setMetronomeFiles(const QString& bar, const QString& beat);
  // The application's output device, for its signalLocation(); null while
  // none exists.
  QObject* audioDevice() const { return mDevice; }
  QString deviceName() const { return mDeviceName; }

 signals:
  void signalStop();
  void signalLocation();

 private:
  QObject* mDevice = nullptr;
  bool mOpen = false;
  QString mDeviceName;
  QString mMetronome1;
  QString mMetronome2;
  std::uint8_t* mClickOn;
  std::uint8_t* mSourceLevel;
  std::uint8_t* mClick2On;
};
