#pragma once
// The controller through which the user interface plays sound: it owns the
// readers of the recording and the two metronome clicks that feed the
// application device, remembers the output device by name, and plays a
// section's range looped with clicks on the recording's beats, or a whole
// sound file once or looped. Its play operations are toggles: called while
// the device plays, they stop it. It also renders a section's stretched
// audio into the section's working wave.

#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ResultCode.h"

class AudioDeviceASFF;
class CASTcore;
class WavSeeker_libSndFile;
struct WavInfo;

class ASTAudition : public QObject {
  Q_OBJECT

 public:
  // The main window's click switch, level (percent) and click-2 switch
  // bytes, handed on to the device.
  ASTAudition(std::uint8_t* clickOn, std::uint8_t* level, std::uint8_t* click2On);
  ~ASTAudition() override;

  // Makes the application device if needed, selects the named device (an
  // empty name: the first one) and opens it with 2048-frame buffers at
  // 44100 Hz. With no output device in the system: 0x8880000321.
  ResultCode init(const QString& deviceName);
  // The bar-start and beat click sounds; a path that does not open leaves
  // that click silent.
  void setMetronomeFiles(const QString& barClick, const QString& beatClick);
  ResultCode close();
  // The application device; null before the first init.
  QSharedPointer<AudioDeviceASFF> audioDevice() const;
  // Takes the name of the device's selected entry as the remembered name.
  ResultCode updateDeviceName();
  QString deviceName() const { return mDeviceName; }
  ResultCode stop();
  // The play position in frames; -1 without a device.
  std::int64_t position() const;
  bool isPlaying() const;

  // Plays frames rangeStart to rangeEnd of the section's recording looped,
  // clicks on its beats (click mode 0) or on the section's bars (mode 1);
  // stops instead when playing. A failure leaves the text "#0077 ..." in the
  // core's last error.
  ResultCode togglePlaySection(CASTcore* core, std::uint8_t wave, std::uint8_t section, std::int64_t rangeStart,
                               std::int64_t rangeEnd, std::uint8_t halfBeat, std::uint8_t blank,
                               std::uint8_t pickup, int clickMode);
  // As togglePlaySection, but the range plays once: the device stops at its
  // end and signals it.
  ResultCode togglePlaySectionOnce(CASTcore* core, std::uint8_t wave, std::uint8_t section,
                                   std::int64_t rangeStart, std::int64_t rangeEnd, std::uint8_t halfBeat,
                                   std::uint8_t blank, std::uint8_t pickup, int clickMode);
  // Plays the section's own assigned range of its recording looped, with a
  // click on each of its bar starts; stops instead when playing. A failure
  // leaves the text "#0077 ..." in the core's last error.
  ResultCode togglePlayAssignedSection(CASTcore* core, std::uint8_t section);
  // Mode 3 renders the section stretched to the project tempo and plays its
  // working wave looped, with bar and beat clicks spread evenly over it; a
  // section not in use is refused with "#0076 trimming on is required!", a
  // stretch ratio out of range with "stretch ratio error!". Any other mode
  // plays the range of the recording as togglePlaySection does with click
  // mode 0. Stops instead when playing; texts go to the core's last error.
  ResultCode togglePlayByMode(CASTcore* core, std::uint8_t wave, std::uint8_t section, std::int64_t rangeStart,
                              std::int64_t rangeEnd, std::uint8_t halfBeat, std::uint8_t blank,
                              std::uint8_t pickup, int mode);
  // Starts what was prepared last, once or looped, on the open device;
  // stops instead when playing. 0x80000001 without a device, 0x80000002
  // when the device is not open or nothing was prepared.
  ResultCode togglePlay(std::uint8_t loop);
  // Lets go of the recording: a device playing from it stops and closes,
  // the reader is deleted, and the next play opens a new one.
  void deleteSourceReader();

  // Plays a sound file's range, once or looped, with the given click lists;
  // stops instead when playing.
  ResultCode togglePlayFile(const std::wstring& path, std::int64_t rangeStart, std::int64_t rangeEnd,
                            std::uint8_t loop, const std::vector<std::int64_t>& clicks1,
                            const std::vector<std::int64_t>& clicks2);
  // Renders the section's range stretched to the project tempo into its
  // working wave; `ratioError` gets the core's stretch-ratio answer.
  ResultCode makeStretchedSectionWave(CASTcore* core, std::uint8_t section, std::uint8_t* ratioError);
  // The same for several sections, rendered side by side, each recording
  // copied once (CASTcore::renderSections); `stop` may end it early.
  ResultCode makeStretchedSectionWaves(CASTcore* core, const std::vector<std::uint8_t>& sections,
                                       std::uint8_t* ratioError, const std::atomic<std::uint8_t>* stop = nullptr);

  // Click lists from a recording's beats for the range a..b in a bar of
  // `numerator` beats: bar starts in `bars`, the other beats (and a blank
  // range's pickup beats) in `beats`, as frame offsets from a.
  static ResultCode beatClicks(const CASTcore& core, const WavInfo& wave, std::uint8_t waveIndex,
                               std::uint8_t numerator, std::int64_t rangeStart, std::int64_t rangeEnd,
                               std::uint8_t halfBeat, std::uint8_t blank, std::vector<std::int64_t>& bars,
                               std::vector<std::int64_t>& beats);
  // Click lists of `barCount` bars of `numerator` beats spread evenly over
  // `frames` frames: bar starts in `bars`, the other beats in `beats`.
  static void evenClicks(std::int64_t frames, unsigned barCount, unsigned numerator,
                         std::vector<std::int64_t>& bars, std::vector<std::int64_t>& beats);

 signals:
  void signalStop();
  void signalLocation();

 public slots:
  void stopped();
  void location();

 private:
  // The section toggles: stop when playing, else play the range once or
  // looped and report a failure as "#0077 ...".
  ResultCode toggleSection(CASTcore* core, std::uint8_t wave, std::uint8_t section, std::int64_t rangeStart,
                           std::int64_t rangeEnd, bool loop, std::uint8_t halfBeat, std::uint8_t blank,
                           int clickMode);
  ResultCode playSection(CASTcore* core, std::uint8_t wave, std::uint8_t section, std::int64_t rangeStart,
                         std::int64_t rangeEnd, bool loop, std::uint8_t halfBeat, std::uint8_t blank,
                         int clickMode);
  ResultCode playFile(const std::wstring& path, std::int64_t rangeStart, std::int64_t rangeEnd, bool loop,
                      const std::vector<std::int64_t>& clicks1, const std::vector<std::int64_t>& clicks2);
  // Every play is a toggle: a playing device is stopped, and that is the
  // whole answer (true). False when there is no device or it is idle.
  static bool stopPlaying(const QSharedPointer<AudioDeviceASFF>& device);
  // A section play that failed with `code`: the core's last error says so
  // ("#0077 ..."), the device is stopped, and the code is nested as `step`.
  static ResultCode auditionFailed(CASTcore* core, const QSharedPointer<AudioDeviceASFF>& device, ResultCode code,
                                   unsigned step);
  // Device ready for a new region: selected by name, opened, looping set,
  // started; each step's code as the players number them from `firstStep`.
  ResultCode startRegion(AudioDeviceASFF& device, std::int64_t rangeStart, std::int64_t rangeEnd, bool loop,
                         const std::vector<std::int64_t>& clicks1, const std::vector<std::int64_t>& clicks2,
                         unsigned firstStep);

  QString mDeviceName;
  std::uint8_t* mClickOn;
  std::uint8_t* mLevel;
  std::uint8_t* mClick2On;
  QString mMetronome1;
  QString mMetronome2;
  std::unique_ptr<WavSeeker_libSndFile> mSource;
  std::unique_ptr<WavSeeker_libSndFile> mClick1;
  std::unique_ptr<WavSeeker_libSndFile> mClick2;
};
