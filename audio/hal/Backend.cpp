// Choosing the process's sound system.

#include "Backend.h"

#include <QByteArray>

#include <cstdlib>

#include "AlsaBackend.h"
#include "VirtualBackend.h"

namespace FusionStyle {
namespace hal {

namespace {

// No sound system: there is no device list, so the program takes its
// no-output-device road.
class NoBackend : public Backend {
 public:
  Status deviceIds(std::vector<DeviceId>&) override { return kStatusUnspecified; }
  Status deviceName(DeviceId, QString&) override { return kStatusUnspecified; }
  Status outputFormat(DeviceId, StreamFormat&) override { return kStatusUnspecified; }
  Status bufferFrameRange(DeviceId, double&, double&) override { return kStatusUnspecified; }
  Status outputBufferChannels(DeviceId, std::vector<std::uint32_t>&) override { return kStatusUnspecified; }
  Status bufferFrameSize(DeviceId, std::uint32_t&) override { return kStatusUnspecified; }
  Status setBufferFrameSize(DeviceId, std::uint32_t) override { return kStatusUnspecified; }
  Status nominalRate(DeviceId, double&) override { return kStatusUnspecified; }
  Status setNominalRate(DeviceId, double) override { return kStatusUnspecified; }
  Status createIo(DeviceId, IoProc, void*, IoHandle&) override { return kStatusUnspecified; }
  Status start(DeviceId, IoHandle) override { return kStatusUnspecified; }
  Status stop(DeviceId, IoHandle) override { return kStatusUnspecified; }
  Status destroyIo(DeviceId, IoHandle) override { return kStatusUnspecified; }
};

Backend* makeBackend() {
  const QByteArray choice = qgetenv("QUILLMERE_AUDIO_BACKEND").trimmed().toLower();
  if (choice == "virtual") return new VirtualBackend();
  if (choice == "none") return new NoBackend();
  return new AlsaBackend();
}

// Never deleted: output devices held in other process-wide objects may
// still stop through it while the process exits.
Backend* processBackend() {
  static Backend* const backend = makeBackend();
  return backend;
}

}  // namespace

Backend& activeBackend() { return *processBackend(); }

VirtualBackend* activeVirtualBackend() { return dynamic_cast<VirtualBackend*>(processBackend()); }

}  // namespace hal
}  // namespace FusionStyle
