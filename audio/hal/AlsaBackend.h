#pragma once
// ALSA as the sound system: the playback PCMs alsa-lib's hints name, each
// driven as interleaved float through ALSA's conversion layers, so that any
// device (sound servers behind "default" included) takes the same format.

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Backend.h"

namespace FusionStyle {
namespace hal {

class AlsaBackend : public Backend {
 public:
  // alsa-lib's "null" PCM (which discards all it is given) is listed only
  // when `listNullDevice` is set.
  explicit AlsaBackend(bool listNullDevice = false);
  ~AlsaBackend() override;

  Status deviceIds(std::vector<DeviceId>& ids) override;
  Status deviceName(DeviceId device, QString& name) override;
  Status outputFormat(DeviceId device, StreamFormat& format) override;
  Status bufferFrameRange(DeviceId device, double& minimum, double& maximum) override;
  Status outputBufferChannels(DeviceId device, std::vector<std::uint32_t>& channels) override;
  Status bufferFrameSize(DeviceId device, std::uint32_t& frames) override;
  Status setBufferFrameSize(DeviceId device, std::uint32_t frames) override;
  Status nominalRate(DeviceId device, double& rate) override;
  Status setNominalRate(DeviceId device, double rate) override;
  Status createIo(DeviceId device, IoProc proc, void* client, IoHandle& handle) override;
  Status start(DeviceId device, IoHandle handle) override;
  Status stop(DeviceId device, IoHandle handle) override;
  Status destroyIo(DeviceId device, IoHandle handle) override;

 private:
  struct Stream;
  struct Device {
    std::string pcm;  // the name alsa-lib opens
    QString name;
    bool present = false;
    std::uint32_t channels = 0;
    double minFrames = 0.0;
    double maxFrames = 0.0;
    std::uint32_t frameSize = 2048;
    double rate = 44100.0;
  };

  Device* find(DeviceId device);  // m_lock held
  void probe(const std::string& pcm, const QString& description);

  const bool m_listNull;
  std::mutex m_lock;
  std::vector<Device> m_devices;  // id = index + 1; never shrinks, so ids stay valid
  std::map<IoHandle, std::unique_ptr<Stream>> m_streams;
  IoHandle m_nextHandle = 1;
};

}  // namespace hal
}  // namespace FusionStyle
