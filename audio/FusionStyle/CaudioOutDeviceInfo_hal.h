#pragma once
// A device description as the hardware layer reported it.

#include "CaudioOutDeviceInfoIF.h"

namespace FusionStyle {

class CaudioOutDeviceInfo_hal : public CaudioOutDeviceInfoIF {
 public:
  CaudioOutDeviceInfo_hal(std::uint32_t id, const QString& name, std::uint32_t channels, std::uint32_t minFrames,
                          std::uint32_t maxFrames)
      : m_id(id), m_name(name), m_channels(channels), m_minFrames(minFrames), m_maxFrames(maxFrames) {}

  bool isValid() override { return true; }
  QString name() override { return m_name; }
  std::uint32_t channels() override { return m_channels; }
  std::uint32_t minBufferFrames() override { return m_minFrames; }
  std::uint32_t maxBufferFrames() override { return m_maxFrames; }
  std::uint32_t inputChannels() override { return 0; }
  std::uint32_t latencyFrames() override { return 0; }
  std::uint32_t deviceId() override { return m_id; }

 private:
  std::uint32_t m_id;
  QString m_name;
  std::uint32_t m_channels;
  std::uint32_t m_minFrames;
  std::uint32_t m_maxFrames;
};

}  // namespace FusionStyle
