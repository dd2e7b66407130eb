#pragma once
// What the program knows of one output device before using it.

#include <QString>

#include <cstdint>

namespace FusionStyle {

class CaudioOutDeviceInfoIF {
 public:
  virtual ~CaudioOutDeviceInfoIF() = default;
  // True when the description names a usable device.
  virtual bool isValid() = 0;
  // The name shown to the user and stored in the settings.
  virtual QString name() = 0;
  // Output channels of the device over all its output streams.
  virtual std::uint32_t channels() = 0;
  // The buffer sizes in frames the device accepts.
  virtual std::uint32_t minBufferFrames() = 0;
  virtual std::uint32_t maxBufferFrames() = 0;
  // Input channels and latency in frames; 0 where the layer does not know them.
  virtual std::uint32_t inputChannels() = 0;
  virtual std::uint32_t latencyFrames() = 0;
  // The sound system's id of the device.
  virtual std::uint32_t deviceId() = 0;
};

}  // namespace FusionStyle
