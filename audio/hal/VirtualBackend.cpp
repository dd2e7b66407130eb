#include "VirtualBackend.h"

#include "SoundFile.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace FusionStyle {
namespace hal {

struct VirtualBackend::Runner {
  DeviceId device = 0;
  IoProc proc = nullptr;
  void* client = nullptr;
  std::vector<std::uint32_t> layout;
  std::uint32_t frames = 0;
  double rate = 44100.0;
  PullMode mode = PullMode::Clocked;
  std::shared_ptr<Capture> capture;
  std::size_t captureLimit = 0;

  std::mutex lock;
  std::condition_variable wake;
  bool stopping = false;
  std::uint64_t pending = 0;
  std::uint64_t done = 0;
  std::thread thread;
};

VirtualBackend::VirtualBackend(bool defaultDevice) {
  if (defaultDevice) addDevice(DeviceSpec{});
}

VirtualBackend::~VirtualBackend() {
  std::vector<std::pair<DeviceId, IoHandle>> running;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& [id, device] : m_devices)
      for (auto& [handle, reg] : device->registrations)
        if (reg.runner) running.emplace_back(id, handle);
  }
  for (auto& [id, handle] : running) stop(id, handle);
}

DeviceId VirtualBackend::addDevice(const DeviceSpec& spec) {
  std::lock_guard<std::mutex> guard(m_lock);
  auto device = std::make_unique<Device>();
  device->spec = spec;
  const DeviceId id = m_nextId++;
  m_devices[id] = std::move(device);
  return id;
}

void VirtualBackend::setFailDeviceList(bool fail) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_failDeviceList = fail;
}

void VirtualBackend::setPullMode(PullMode mode) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_mode = mode;
}

void VirtualBackend::setCaptureLimit(std::size_t frames) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_captureLimit = std::max<std::size_t>(frames, 1);
}

VirtualBackend::Device* VirtualBackend::find(DeviceId device) {
  auto it = m_devices.find(device);
  return it == m_devices.end() ? nullptr : it->second.get();
}

Status VirtualBackend::deviceIds(std::vector<DeviceId>& ids) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_failDeviceList) return kStatusUnspecified;
  ids.clear();
  for (auto& entry : m_devices) ids.push_back(entry.first);
  return kStatusOk;
}

Status VirtualBackend::deviceName(DeviceId device, QString& name) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failName) return kStatusUnspecified;
  name = d->spec.name;
  return kStatusOk;
}

Status VirtualBackend::outputFormat(DeviceId device, StreamFormat& format) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failFormat) return kStatusUnspecified;
  format = d->spec.format;
  return kStatusOk;
}

Status VirtualBackend::bufferFrameRange(DeviceId device, double& minimum, double& maximum) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failRange) return kStatusUnspecified;
  minimum = d->spec.minFrames;
  maximum = d->spec.maxFrames;
  return kStatusOk;
}

Status VirtualBackend::outputBufferChannels(DeviceId device, std::vector<std::uint32_t>& channels) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failChannels) return kStatusUnspecified;
  channels = d->spec.bufferChannels;
  return kStatusOk;
}

Status VirtualBackend::bufferFrameSize(DeviceId device, std::uint32_t& frames) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  frames = d->frameSize;
  return kStatusOk;
}

Status VirtualBackend::setBufferFrameSize(DeviceId device, std::uint32_t frames) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failSetFrameSize || frames == 0) return kStatusUnspecified;
  d->frameSize = frames;
  return kStatusOk;
}

Status VirtualBackend::nominalRate(DeviceId device, double& rate) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  rate = d->rate;
  return kStatusOk;
}

Status VirtualBackend::setNominalRate(DeviceId device, double rate) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failSetRate || !(rate > 0.0)) return kStatusUnspecified;
  d->rate = rate;
  return kStatusOk;
}

Status VirtualBackend::createIo(DeviceId device, IoProc proc, void* client, IoHandle& handle) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failCreate || !proc) return kStatusUnspecified;
  handle = m_nextHandle++;
  Registration& reg = d->registrations[handle];
  reg.proc = proc;
  reg.client = client;
  return kStatusOk;
}

Status VirtualBackend::start(DeviceId device, IoHandle handle) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || d->spec.failStart) return kStatusUnspecified;
  auto it = d->registrations.find(handle);
  if (it == d->registrations.end() || it->second.runner) return kStatusUnspecified;
  auto runner = std::make_shared<Runner>();
  runner->device = device;
  runner->proc = it->second.proc;
  runner->client = it->second.client;
  runner->layout = d->spec.bufferChannels;
  runner->frames = d->spec.hardwareFrames ? d->spec.hardwareFrames : d->frameSize;
  runner->rate = d->rate;
  runner->mode = m_mode;
  runner->capture = d->capture;
  runner->captureLimit = m_captureLimit;
  Runner* r = runner.get();
  runner->thread = std::thread([this, r] { runCycles(*r); });
  it->second.runner = std::move(runner);
  return kStatusOk;
}

std::shared_ptr<VirtualBackend::Runner> VirtualBackend::takeRunner(DeviceId device, IoHandle handle) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return nullptr;
  auto it = d->registrations.find(handle);
  if (it == d->registrations.end()) return nullptr;
  return std::move(it->second.runner);
}

Status VirtualBackend::stop(DeviceId device, IoHandle handle) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    Device* d = find(device);
    if (!d || !d->registrations.count(handle)) return kStatusUnspecified;
  }
  std::shared_ptr<Runner> runner = takeRunner(device, handle);
  if (!runner) return kStatusOk;
  {
    std::lock_guard<std::mutex> guard(runner->lock);
    runner->stopping = true;
  }
  runner->wake.notify_all();
  runner->thread.join();
  return kStatusOk;
}

Status VirtualBackend::destroyIo(DeviceId device, IoHandle handle) {
  const Status stopped = stop(device, handle);
  if (stopped != kStatusOk) return stopped;
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (d) d->registrations.erase(handle);
  return kStatusOk;
}

void VirtualBackend::runCycles(Runner& r) {
  std::uint32_t totalChannels = 0;
  for (std::uint32_t c : r.layout) totalChannels += c;
  std::vector<std::vector<float>> data(r.layout.size());
  std::vector<OutBuffer> buffers(r.layout.size());
  const auto period = std::chrono::duration<double>(r.frames / r.rate);
  auto next = std::chrono::steady_clock::now();

  for (;;) {
    {
      std::unique_lock<std::mutex> guard(r.lock);
      if (r.mode == PullMode::Manual) {
        r.wake.wait(guard, [&] { return r.stopping || r.pending > 0; });
        if (r.stopping) break;
        --r.pending;
      } else {
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
        if (r.wake.wait_until(guard, next, [&] { return r.stopping; })) break;
      }
    }
    for (std::size_t b = 0; b < data.size(); ++b) {
      data[b].assign(std::size_t(r.frames) * r.layout[b], 0.0f);
      buffers[b] = OutBuffer{data[b].data(), r.layout[b],
                             static_cast<std::uint32_t>(data[b].size() * sizeof(float))};
    }
    const Status status = r.proc(r.device, buffers.data(), static_cast<std::uint32_t>(buffers.size()), r.client);
    {
      std::lock_guard<std::mutex> guard(r.capture->lock);
      auto& channels = r.capture->channels;
      channels.resize(std::max<std::size_t>(channels.size(), totalChannels));
      std::uint32_t global = 0;
      for (std::size_t b = 0; b < data.size(); ++b) {
        for (std::uint32_t c = 0; c < r.layout[b]; ++c, ++global) {
          auto& out = channels[global];
          for (std::uint32_t f = 0; f < r.frames; ++f) out.push_back(data[b][std::size_t(f) * r.layout[b] + c]);
          if (out.size() > 2 * r.captureLimit) out.erase(out.begin(), out.end() - r.captureLimit);
        }
      }
      r.capture->statuses.push_back(status);
    }
    {
      std::lock_guard<std::mutex> guard(r.lock);
      ++r.done;
    }
    r.wake.notify_all();
  }
  r.wake.notify_all();
}

bool VirtualBackend::pump(DeviceId device, std::uint32_t cycles) {
  std::shared_ptr<Runner> runner;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    Device* d = find(device);
    if (!d) return false;
    for (auto& entry : d->registrations)
      if (entry.second.runner) runner = entry.second.runner;
  }
  if (!runner || runner->mode != PullMode::Manual) return false;
  std::unique_lock<std::mutex> guard(runner->lock);
  const std::uint64_t target = runner->done + runner->pending + cycles;
  runner->pending += cycles;
  runner->wake.notify_all();
  runner->wake.wait(guard, [&] { return runner->stopping || runner->done >= target; });
  return runner->done >= target;
}

bool VirtualBackend::isRunning(DeviceId device) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return false;
  for (auto& entry : d->registrations)
    if (entry.second.runner) return true;
  return false;
}

std::vector<float> VirtualBackend::capturedChannel(DeviceId device, std::uint32_t channel) {
  std::shared_ptr<Capture> capture;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    Device* d = find(device);
    if (!d) return {};
    capture = d->capture;
  }
  std::lock_guard<std::mutex> guard(capture->lock);
  return channel < capture->channels.size() ? capture->channels[channel] : std::vector<float>{};
}

std::vector<Status> VirtualBackend::capturedStatuses(DeviceId device) {
  std::shared_ptr<Capture> capture;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    Device* d = find(device);
    if (!d) return {};
    capture = d->capture;
  }
  std::lock_guard<std::mutex> guard(capture->lock);
  return capture->statuses;
}

void VirtualBackend::clearCapture(DeviceId device) {
  std::shared_ptr<Capture> capture;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    Device* d = find(device);
    if (!d) return;
    capture = d->capture;
  }
  std::lock_guard<std::mutex> guard(capture->lock);
  capture->channels.clear();
  capture->statuses.clear();
}

bool VirtualBackend::writeCaptureWav(DeviceId device, const QString& path) {
  const std::vector<float> left = capturedChannel(device, 0);
  std::vector<float> right = capturedChannel(device, 1);
  right.resize(left.size(), 0.0f);
  std::vector<float> frames(left.size() * 2);
  for (std::size_t i = 0; i < left.size(); ++i) {
    frames[2 * i] = left[i];
    frames[2 * i + 1] = right[i];
  }
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = openSoundFile(path.toStdWString(), SFM_WRITE, info);
  if (!file) return false;
  const sf_count_t written = sf_writef_float(file, frames.data(), static_cast<sf_count_t>(left.size()));
  sf_close(file);
  return written == static_cast<sf_count_t>(left.size());
}

}  // namespace hal
}  // namespace FusionStyle
