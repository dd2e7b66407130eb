#pragma once
// The render callback of the application device: plays a region of one
// stereo source once or looped, scaled by the level byte, with two streams
// of metronome clicks at given frame offsets from the region start, as
// 16-bit stereo.
//
// The GUI thread sets the region and click lists while the device is closed
// or silent; the flags and the position are atomic because the audio thread
// reads and writes them while the GUI thread may too.

#include <atomic>
#include <cstdint>
#include <vector>

#include "CaudioOutCallbackIF.h"

class AudioDeviceASFF;
class WavSeeker_libSndFile;

class AudioOutDeviceCallbackSeq : public FusionStyle::CaudioOutCallbackIF {
 public:
  // Takes the readers and the three byte pointers from `owner` (which may be
  // null for a callback driven on its own; then all of them are null).
  explicit AudioOutDeviceCallbackSeq(AudioDeviceASFF* owner);

  bool ready() override { return true; }
  std::uint32_t render(std::int16_t* left, std::int16_t* right, std::uint32_t frames) override;
  // The main source reader takes over `other`'s open file and its record
  // (`other` gives them up). Only while the device is closed or silent: the
  // audio thread reads the source. False without a main source reader.
  bool takeSourceFile(WavSeeker_libSndFile& other);

 private:
  friend class AudioDeviceASFF;

  struct ClickStream {
    WavSeeker_libSndFile* reader = nullptr;
    std::vector<std::int64_t> list;
    std::int64_t count = 0;
    bool sounding = false;
    std::int32_t startSlot = 0;
    bool startedHere = false;
    std::vector<float> buffer;
  };

  // One cycle into the channel buffers; true when the region ended in it
  // (or its buffers could not be had).
  bool renderCycle(std::int16_t* left, std::int16_t* right, std::uint32_t frames);
  // A click of `stream` fires at slot i when the offset is on its list.
  void fireClick(ClickStream& stream, std::int64_t offset, std::uint32_t i, std::uint32_t frames);
  // Frame i of the stream's sounding click, added to the mix.
  void addClick(const ClickStream& stream, std::uint32_t i, double& left, double& right) const;
  void silence(ClickStream& stream);
  // Reads interleaved stereo whatever the reader's channel count.
  std::uint64_t readStereo(WavSeeker_libSndFile* reader, float* dst, std::uint64_t frames);

  std::atomic<std::int64_t> m_position{0};
  std::atomic<std::uint8_t> m_playing{0};
  AudioDeviceASFF* m_owner = nullptr;
  WavSeeker_libSndFile* m_source = nullptr;
  std::atomic<std::uint8_t> m_loop{0};
  std::atomic<std::int64_t> m_regionStart{0};
  std::atomic<std::int64_t> m_regionEnd{0};
  const std::uint8_t* m_clickOn = nullptr;
  const std::uint8_t* m_level = nullptr;
  const std::uint8_t* m_click2On = nullptr;
  ClickStream m_click1;
  ClickStream m_click2;
  std::vector<float> m_sourceBuffer;
  std::vector<float> m_scratch;
};
