#include "CaudioOutDeviceManager_hal.h"

#include <numeric>

#include "CaudioOutDeviceInfo_hal.h"
#include "CaudioOutDevice_hal.h"

namespace FusionStyle {

QSharedPointer<CaudioOutDeviceManager_hal> CaudioOutDeviceManager_hal::instance() {
  static const QSharedPointer<CaudioOutDeviceManager_hal> manager(
      new CaudioOutDeviceManager_hal(hal::activeBackend()));
  return manager;
}

void CaudioOutDeviceManager_hal::getDeviceInfoList(QList<QSharedPointer<CaudioOutDeviceInfoIF>>& devices) {
  std::vector<hal::DeviceId> ids;
  if (m_backend.deviceIds(ids) != hal::kStatusOk) return;
  devices.clear();
  for (hal::DeviceId id : ids) {
    QString name;
    hal::StreamFormat format;
    double minFrames = 0.0, maxFrames = 0.0;
    std::vector<std::uint32_t> buffers;
    if (m_backend.deviceName(id, name) != hal::kStatusOk || m_backend.outputFormat(id, format) != hal::kStatusOk ||
        m_backend.bufferFrameRange(id, minFrames, maxFrames) != hal::kStatusOk ||
        m_backend.outputBufferChannels(id, buffers) != hal::kStatusOk)
      continue;
    const std::uint64_t channels = std::accumulate(buffers.begin(), buffers.end(), std::uint64_t{0});
    // Truncation as an unsigned conversion; a negative or absurd end counts as 0.
    const auto frames = [](double v) {
      return v >= 1.0 && v < 4294967296.0 ? static_cast<std::uint32_t>(v) : std::uint32_t{0};
    };
    const std::uint32_t minimum = frames(minFrames);
    const std::uint32_t maximum = frames(maxFrames);
    if (format.formatId != hal::kFormatLinearPcm || format.flags != (hal::kFlagFloat | hal::kFlagPacked) ||
        minimum == 0 || maximum == 0 || channels == 0 || channels > 0xFFFFFFFFu || name.isEmpty())
      continue;
    devices.append(QSharedPointer<CaudioOutDeviceInfoIF>(
        new CaudioOutDeviceInfo_hal(id, name, static_cast<std::uint32_t>(channels), minimum, maximum)));
  }
}

QSharedPointer<CaudioOutDeviceIF> CaudioOutDeviceManager_hal::createDevice(
    const QSharedPointer<CaudioOutDeviceInfoIF>& info, const QWeakPointer<CaudioOutCallbackIF>& callback) {
  const auto ours = info.dynamicCast<CaudioOutDeviceInfo_hal>();
  if (!ours) return {};
  return QSharedPointer<CaudioOutDeviceIF>(new CaudioOutDevice_hal(m_backend, ours->deviceId(), callback));
}

}  // namespace FusionStyle
