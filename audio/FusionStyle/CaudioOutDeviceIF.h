#pragma once
// An output device that plays what its callback renders.

#include <cstdint>

namespace FusionStyle {

class CaudioOutDeviceIF {
 public:
  virtual ~CaudioOutDeviceIF() = default;
  // Starts calling the callback once per buffer of `frames` frames at
  // `sampleRate` from an I/O thread, its two channels going to the output
  // channels `left` and `right` (counted over all output streams). False
  // when already started or when the device refuses; a refused start leaves
  // the device stopped.
  virtual bool start(std::uint32_t left, std::uint32_t right, std::uint32_t frames, double sampleRate) = 0;
  // Stops the device; on return the callback is no longer called. False when
  // it was not started or the sound system reported a failure.
  virtual bool stop() = 0;
};

}  // namespace FusionStyle
