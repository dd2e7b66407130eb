#pragma once
// The application's one audio output: the device list and the chosen device
// of the output-device layer, the render callback that feeds it, and the
// signals that tell the user interface where playback stands.

#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

#include "AudioOutDeviceCallbackSeq.h"
#include "CaudioOutDeviceIF.h"
#include "CaudioOutDeviceInfoIF.h"
#include "CaudioOutDeviceManagerIF.h"
#include "ResultCode.h"

class WavSeeker_libSndFile;

class AudioDeviceASFF : public QObject {
  Q_OBJECT

 public:
  // A device over the given readers (not owned) and the main window's click
  // switch, level (percent) and click-2 switch bytes, read on every cycle.
  // The program makes its one device through create(); a test may make its
  // own and drive the callback directly.
  AudioDeviceASFF(WavSeeker_libSndFile* source, WavSeeker_libSndFile* click1, WavSeeker_libSndFile* click2,
                  std::uint8_t* clickOn, std::uint8_t* level, std::uint8_t* click2On);
  ~AudioDeviceASFF() override;

  // Makes the process's device and runs init; 0 when it already exists.
  static ResultCode create(WavSeeker_libSndFile* source, WavSeeker_libSndFile* click1,
                           WavSeeker_libSndFile* click2, std::uint8_t* clickOn, std::uint8_t* level,
                           std::uint8_t* click2On);
  // The process's device; null before the first create.
  static QSharedPointer<AudioDeviceASFF> instance();

  // Lists the system's output devices and selects the first: 0x80000003
  // when there is none.
  ResultCode init();
  // Asks the system for its output devices again and selects none of them:
  // choosing is left to the caller (the setup dialog's OK). Meant for a list
  // that was empty, where no device is selected yet.
  ResultCode listDevices();
  // Points the device and its callback at other readers and bytes (null:
  // none). The device must be closed: the audio thread reads them.
  void setSources(WavSeeker_libSndFile* source, WavSeeker_libSndFile* click1, WavSeeker_libSndFile* click2,
                  std::uint8_t* clickOn, std::uint8_t* level, std::uint8_t* click2On);
  bool usesSource(const WavSeeker_libSndFile* source) const { return m_source == source; }
  ResultCode deviceCount(std::int64_t& count) const;
  ResultCode deviceName(std::int64_t index, QString& name) const;
  ResultCode findDevice(const QString& name, bool& found, std::int64_t& index) const;
  ResultCode selectDeviceByName(const QString& name);
  ResultCode selectDevice(std::int64_t index);
  std::int64_t selectedIndex() const { return m_selected; }
  // Starts the selected device: 0x80000001 when no device is selected (no
  // output device was found), 0x80000002 when the sound system refuses it.
  // A play must not start on a device that sounds nothing.
  ResultCode open(std::uint32_t frames, double sampleRate);
  ResultCode close();
  // The selected device was opened and has not been closed or replaced.
  bool isOpen() const { return m_open; }
  // Sets the region to play; `regionEnd` of -1 stands for the source's end.
  ResultCode prepare(std::int64_t regionStart, std::int64_t regionEnd, std::int64_t position,
                     const std::vector<std::int64_t>& clicks1, const std::vector<std::int64_t>& clicks2);
  ResultCode start();
  ResultCode stop();
  void setLoop(bool loop);
  std::int64_t position() const;
  bool isPlaying() const { return m_playing.load() != 0; }
  // 0 once the callback exists, else 0x80000001.
  ResultCode checkCallback() const;
  // The render callback (null before the first prepare).
  QSharedPointer<AudioOutDeviceCallbackSeq> callback() const { return m_callback; }

 signals:
  void signalStop();
  void signalLocation();

 private:
  friend class AudioOutDeviceCallbackSeq;

  WavSeeker_libSndFile* m_source;
  WavSeeker_libSndFile* m_click1;
  WavSeeker_libSndFile* m_click2;
  std::uint8_t* m_clickOn;
  std::uint8_t* m_level;
  std::uint8_t* m_click2On;
  std::int64_t m_selected = 0;
  std::atomic<std::uint8_t> m_playing{0};
  bool m_open = false;
  QSharedPointer<FusionStyle::CaudioOutDeviceManagerIF> m_manager;
  QList<QSharedPointer<FusionStyle::CaudioOutDeviceInfoIF>> m_devices;
  QSharedPointer<FusionStyle::CaudioOutDeviceIF> m_device;
  QSharedPointer<AudioOutDeviceCallbackSeq> m_callback;
};
