#pragma once
// A sound system without hardware: devices with any properties a test asks
// for, cycles pulled on a thread of the backend either by a clock (so a
// window's play line moves) or by hand with pump(), and every cycle's output
// kept in memory per channel.

#include <QString>

#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "Backend.h"

namespace FusionStyle {
namespace hal {

class VirtualBackend : public Backend {
 public:
  enum class PullMode { Clocked, Manual };

  // What a virtual device reports, and which of its calls fail.
  struct DeviceSpec {
    QString name = QStringLiteral("Virtual Output");
    StreamFormat format{kFormatLinearPcm, kFlagFloat | kFlagPacked, 2, 32, 44100.0};
    double minFrames = 16.0;
    double maxFrames = 8192.0;
    std::vector<std::uint32_t> bufferChannels{2};
    // Frames of each cycle's buffers; 0 means the configured buffer size.
    std::uint32_t hardwareFrames = 0;
    bool failName = false;
    bool failFormat = false;
    bool failRange = false;
    bool failChannels = false;
    bool failSetFrameSize = false;
    bool failSetRate = false;
    bool failCreate = false;
    bool failStart = false;
  };

  // With `defaultDevice`, one "Virtual Output" device exists from the start.
  explicit VirtualBackend(bool defaultDevice = true);
  ~VirtualBackend() override;

  DeviceId addDevice(const DeviceSpec& spec);
  // Makes the system's device list unreadable.
  void setFailDeviceList(bool fail);
  // Applies to devices started afterwards.
  void setPullMode(PullMode mode);
  // Manual mode: runs `cycles` cycles of the device's running procedure on
  // its I/O thread and returns after the last; false when it is not running.
  bool pump(DeviceId device, std::uint32_t cycles);
  bool isRunning(DeviceId device);

  // Every value written to one channel (counted over all buffers) since the
  // start or the last clear, and the status of every cycle.
  std::vector<float> capturedChannel(DeviceId device, std::uint32_t channel);
  std::vector<Status> capturedStatuses(DeviceId device);
  void clearCapture(DeviceId device);
  // Keeps at most about this many frames per channel (older ones go).
  void setCaptureLimit(std::size_t frames);
  // Writes the first two captured channels as a float stereo WAV.
  bool writeCaptureWav(DeviceId device, const QString& path);

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
  struct Runner;
  struct Capture {
    std::mutex lock;
    std::vector<std::vector<float>> channels;
    std::vector<Status> statuses;
  };
  struct Registration {
    IoProc proc = nullptr;
    void* client = nullptr;
    std::shared_ptr<Runner> runner;
  };
  struct Device {
    DeviceSpec spec;
    std::uint32_t frameSize = 512;
    double rate = 44100.0;
    std::map<IoHandle, Registration> registrations;
    std::shared_ptr<Capture> capture = std::make_shared<Capture>();
  };

  Device* find(DeviceId device);  // m_lock held
  std::shared_ptr<Runner> takeRunner(DeviceId device, IoHandle handle);
  void runCycles(Runner& runner);

  std::mutex m_lock;
  std::map<DeviceId, std::unique_ptr<Device>> m_devices;
  DeviceId m_nextId = 1;
  IoHandle m_nextHandle = 1;
  PullMode m_mode = PullMode::Clocked;
  bool m_failDeviceList = false;
  std::size_t m_captureLimit = 44100 * 30;
};

}  // namespace hal
}  // namespace FusionStyle
