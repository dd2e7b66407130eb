#pragma once
// The audio hardware layer under the FusionStyle output devices: a small
// property-and-procedure interface, one implementation per sound system
// (ALSA, a virtual device for tests and headless runs, none at all).
//
// Statuses are integers, 0 for success, so the device classes above keep
// the same sequence of calls and checks whatever the backend.

#include <QString>

#include <cstdint>
#include <vector>

namespace FusionStyle {
namespace hal {

using DeviceId = std::uint32_t;
using Status = std::int32_t;

constexpr Status kStatusOk = 0;
// The unspecified error ('what').
constexpr Status kStatusUnspecified = 0x77686174;
// Linear PCM ('lpcm').
constexpr std::uint32_t kFormatLinearPcm = 0x6C70636D;
constexpr std::uint32_t kFlagFloat = 1;
constexpr std::uint32_t kFlagPacked = 8;

struct StreamFormat {
  std::uint32_t formatId = 0;
  std::uint32_t flags = 0;
  std::uint32_t channelsPerFrame = 0;
  std::uint32_t bitsPerChannel = 0;
  double sampleRate = 0.0;
};

// One output buffer of a cycle: interleaved float32 frames.
struct OutBuffer {
  float* data = nullptr;
  std::uint32_t channels = 0;
  std::uint32_t byteSize = 0;
};

// Called once per hardware cycle on the backend's I/O thread; the buffers
// arrive zero-filled.
using IoProc = Status (*)(DeviceId device, OutBuffer* buffers, std::uint32_t count, void* client);
using IoHandle = std::uintptr_t;  // 0 = none

class Backend {
 public:
  virtual ~Backend() = default;

  // The ids of every output device of the system, in the system's order.
  virtual Status deviceIds(std::vector<DeviceId>& ids) = 0;
  // The device's display name; unique and stable across runs.
  virtual Status deviceName(DeviceId device, QString& name) = 0;
  // The format of the device's output stream as the cycles deliver it.
  virtual Status outputFormat(DeviceId device, StreamFormat& format) = 0;
  // The smallest and largest buffer size in frames the device accepts.
  virtual Status bufferFrameRange(DeviceId device, double& minimum, double& maximum) = 0;
  // The channel count of each output buffer of a cycle.
  virtual Status outputBufferChannels(DeviceId device, std::vector<std::uint32_t>& channels) = 0;
  // The frames per cycle the next start uses, and setting it.
  virtual Status bufferFrameSize(DeviceId device, std::uint32_t& frames) = 0;
  virtual Status setBufferFrameSize(DeviceId device, std::uint32_t frames) = 0;
  // The sample rate the next start uses, and setting it.
  virtual Status nominalRate(DeviceId device, double& rate) = 0;
  virtual Status setNominalRate(DeviceId device, double rate) = 0;
  // Registers `proc` with its client data for the device; `handle` names
  // the registration in start, stop and destroyIo.
  virtual Status createIo(DeviceId device, IoProc proc, void* client, IoHandle& handle) = 0;
  // Starts calling the procedure from a thread of the backend's own, one
  // cycle of exactly the configured buffer frame size at a time.
  virtual Status start(DeviceId device, IoHandle handle) = 0;
  // Returns only after the I/O thread has finished its current cycle and
  // will call the procedure no more.
  virtual Status stop(DeviceId device, IoHandle handle) = 0;
  // Forgets the registration (stopping it first when it still runs).
  virtual Status destroyIo(DeviceId device, IoHandle handle) = 0;
};

// The process's backend, chosen on first use by QUILLMERE_AUDIO_BACKEND:
// "alsa" (default), "virtual" or "none". It lives to the end of the process.
Backend& activeBackend();

class VirtualBackend;
// The active backend when it is the virtual one, else null.
VirtualBackend* activeVirtualBackend();

}  // namespace hal
}  // namespace FusionStyle
