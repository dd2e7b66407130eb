#include "AlsaBackend.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

namespace FusionStyle {
namespace hal {

namespace {

// alsa-lib reports every failed probe on the terminal; the failures are
// expected (busy or absent devices) and answered by leaving the device out.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

struct HwParams {
  snd_pcm_hw_params_t* p = nullptr;
  HwParams() { snd_pcm_hw_params_malloc(&p); }
  ~HwParams() { snd_pcm_hw_params_free(p); }
  HwParams(const HwParams&) = delete;
  HwParams& operator=(const HwParams&) = delete;
};

QString firstLine(const char* text) {
  return QString::fromUtf8(text ? text : "").section(QLatin1Char('\n'), 0, 0).trimmed();
}

// Waits at most this long for room in the device buffer, so a stop request
// is seen promptly even when the device has stalled.
constexpr int kWaitMs = 20;

}  // namespace

struct AlsaBackend::Stream {
  DeviceId device = 0;
  IoProc proc = nullptr;
  void* client = nullptr;
  std::string pcmName;
  std::uint32_t channels = 2;
  std::uint32_t frames = 2048;
  double rate = 44100.0;

  snd_pcm_t* pcm = nullptr;
  std::thread thread;
  std::atomic<bool> stopping{false};

  bool open();
  void run();
  void close();
};

bool AlsaBackend::Stream::open() {
  if (snd_pcm_open(&pcm, pcmName.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
    pcm = nullptr;
    return false;
  }
  HwParams hw;
  unsigned int wantedRate = static_cast<unsigned int>(rate + 0.5);
  snd_pcm_uframes_t period = frames;
  snd_pcm_uframes_t buffer = snd_pcm_uframes_t(frames) * 4;
  int dir = 0;
  const bool ok = hw.p && snd_pcm_hw_params_any(pcm, hw.p) >= 0 &&
                  snd_pcm_hw_params_set_access(pcm, hw.p, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
                  snd_pcm_hw_params_set_format(pcm, hw.p, SND_PCM_FORMAT_FLOAT_LE) >= 0 &&
                  snd_pcm_hw_params_set_channels(pcm, hw.p, channels) >= 0 &&
                  snd_pcm_hw_params_set_rate_resample(pcm, hw.p, 1) >= 0 &&
                  snd_pcm_hw_params_set_rate_near(pcm, hw.p, &wantedRate, &dir) >= 0 &&
                  snd_pcm_hw_params_set_period_size_near(pcm, hw.p, &period, &dir) >= 0 &&
                  snd_pcm_hw_params_set_buffer_size_near(pcm, hw.p, &buffer) >= 0 &&
                  snd_pcm_hw_params(pcm, hw.p) >= 0 && snd_pcm_prepare(pcm) >= 0;
  if (!ok) close();
  return ok;
}

void AlsaBackend::Stream::close() {
  if (!pcm) return;
  snd_pcm_drop(pcm);
  snd_pcm_close(pcm);
  pcm = nullptr;
}

// One cycle: silence, the procedure, then the whole cycle into the device,
// waiting for room and recovering from underruns and suspends.
void AlsaBackend::Stream::run() {
  std::vector<float> data(std::size_t(frames) * channels);
  OutBuffer buffer{data.data(), channels, static_cast<std::uint32_t>(data.size() * sizeof(float))};
  while (!stopping.load()) {
    std::fill(data.begin(), data.end(), 0.0f);
    proc(device, &buffer, 1, client);
    snd_pcm_uframes_t written = 0;
    while (written < frames && !stopping.load()) {
      const snd_pcm_sframes_t n = snd_pcm_writei(pcm, data.data() + written * channels, frames - written);
      if (n >= 0) {
        written += static_cast<snd_pcm_uframes_t>(n);
      } else if (n == -EAGAIN) {
        const int waited = snd_pcm_wait(pcm, kWaitMs);
        if (waited < 0 && snd_pcm_recover(pcm, waited, 1) < 0) return;
      } else if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) {
        return;  // the device is gone; stop still finds a finished thread
      }
    }
  }
}

AlsaBackend::AlsaBackend(bool listNullDevice) : m_listNull(listNullDevice) {
  snd_lib_error_set_handler(quietAlsaErrors);
}

AlsaBackend::~AlsaBackend() {
  std::map<IoHandle, std::unique_ptr<Stream>> streams;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    streams.swap(m_streams);
  }
  for (auto& entry : streams) {
    Stream& s = *entry.second;
    s.stopping = true;
    if (s.thread.joinable()) s.thread.join();
    s.close();
  }
}

AlsaBackend::Device* AlsaBackend::find(DeviceId device) {
  if (device == 0 || device > m_devices.size()) return nullptr;
  Device* d = &m_devices[device - 1];
  return d->present ? d : nullptr;
}

void AlsaBackend::probe(const std::string& pcm, const QString& description) {
  auto it = std::find_if(m_devices.begin(), m_devices.end(), [&](const Device& d) { return d.pcm == pcm; });
  if (it == m_devices.end()) {
    m_devices.push_back(Device{});
    m_devices.back().pcm = pcm;
    it = m_devices.end() - 1;
  }
  Device& d = *it;
  d.present = false;
  snd_pcm_t* handle = nullptr;
  if (snd_pcm_open(&handle, pcm.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return;
  HwParams hw;
  unsigned int minChannels = 0, maxChannels = 0;
  snd_pcm_uframes_t minPeriod = 0, maxPeriod = 0;
  int dir = 0;
  const bool ok = hw.p && snd_pcm_hw_params_any(handle, hw.p) >= 0 &&
                  snd_pcm_hw_params_set_access(handle, hw.p, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
                  snd_pcm_hw_params_set_format(handle, hw.p, SND_PCM_FORMAT_FLOAT_LE) >= 0 &&
                  snd_pcm_hw_params_get_channels_min(hw.p, &minChannels) >= 0 &&
                  snd_pcm_hw_params_get_channels_max(hw.p, &maxChannels) >= 0 &&
                  snd_pcm_hw_params_get_period_size_min(hw.p, &minPeriod, &dir) >= 0 &&
                  snd_pcm_hw_params_get_period_size_max(hw.p, &maxPeriod, &dir) >= 0;
  snd_pcm_close(handle);
  if (!ok) return;
  d.present = true;
  // Stereo where the device allows it: the program writes two channels and
  // the others only carry silence.
  d.channels = std::clamp(2u, minChannels, std::max(minChannels, maxChannels));
  d.minFrames = static_cast<double>(minPeriod);
  d.maxFrames = static_cast<double>(maxPeriod);
  const QString label = description.isEmpty() ? QString::fromStdString(pcm) : description;
  d.name = label + QStringLiteral(" [") + QString::fromStdString(pcm) + QStringLiteral("]");
}

Status AlsaBackend::deviceIds(std::vector<DeviceId>& ids) {
  std::vector<std::pair<std::string, QString>> candidates;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) >= 0 && hints) {
    for (void** h = hints; *h; ++h) {
      char* name = snd_device_name_get_hint(*h, "NAME");
      char* desc = snd_device_name_get_hint(*h, "DESC");
      char* ioid = snd_device_name_get_hint(*h, "IOID");
      if (name && (!ioid || std::string(ioid) == "Output")) {
        const std::string pcm(name);
        if (pcm != "null" || m_listNull) {
          auto entry = std::make_pair(pcm, firstLine(desc));
          if (pcm == "default")
            candidates.insert(candidates.begin(), entry);
          else
            candidates.push_back(entry);
        }
      }
      free(name);
      free(desc);
      free(ioid);
    }
    snd_device_name_free_hint(hints);
  }
  const auto listed = [&](const char* pcm) {
    return std::any_of(candidates.begin(), candidates.end(), [&](const auto& c) { return c.first == pcm; });
  };
  if (!listed("default")) candidates.insert(candidates.begin(), {"default", QStringLiteral("Default ALSA Output")});
  if (m_listNull && !listed("null")) candidates.push_back({"null", QStringLiteral("Discard all samples")});

  std::lock_guard<std::mutex> guard(m_lock);
  for (Device& d : m_devices) d.present = false;
  ids.clear();
  for (const auto& [pcm, description] : candidates) {
    probe(pcm, description);
    for (std::size_t i = 0; i < m_devices.size(); ++i)
      if (m_devices[i].pcm == pcm && m_devices[i].present) ids.push_back(static_cast<DeviceId>(i + 1));
  }
  return kStatusOk;
}

Status AlsaBackend::deviceName(DeviceId device, QString& name) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  name = d->name;
  return kStatusOk;
}

Status AlsaBackend::outputFormat(DeviceId device, StreamFormat& format) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  format = StreamFormat{kFormatLinearPcm, kFlagFloat | kFlagPacked, d->channels, 32, d->rate};
  return kStatusOk;
}

Status AlsaBackend::bufferFrameRange(DeviceId device, double& minimum, double& maximum) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  minimum = d->minFrames;
  maximum = d->maxFrames;
  return kStatusOk;
}

Status AlsaBackend::outputBufferChannels(DeviceId device, std::vector<std::uint32_t>& channels) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  channels.assign(1, d->channels);
  return kStatusOk;
}

Status AlsaBackend::bufferFrameSize(DeviceId device, std::uint32_t& frames) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  frames = d->frameSize;
  return kStatusOk;
}

Status AlsaBackend::setBufferFrameSize(DeviceId device, std::uint32_t frames) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || frames == 0) return kStatusUnspecified;
  d->frameSize = frames;
  return kStatusOk;
}

Status AlsaBackend::nominalRate(DeviceId device, double& rate) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d) return kStatusUnspecified;
  rate = d->rate;
  return kStatusOk;
}

Status AlsaBackend::setNominalRate(DeviceId device, double rate) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || !(rate >= 1000.0 && rate <= 768000.0)) return kStatusUnspecified;
  d->rate = rate;
  return kStatusOk;
}

Status AlsaBackend::createIo(DeviceId device, IoProc proc, void* client, IoHandle& handle) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  if (!d || !proc) return kStatusUnspecified;
  auto stream = std::make_unique<Stream>();
  stream->device = device;
  stream->proc = proc;
  stream->client = client;
  handle = m_nextHandle++;
  m_streams[handle] = std::move(stream);
  return kStatusOk;
}

Status AlsaBackend::start(DeviceId device, IoHandle handle) {
  std::lock_guard<std::mutex> guard(m_lock);
  Device* d = find(device);
  auto it = m_streams.find(handle);
  if (!d || it == m_streams.end() || it->second->device != device || it->second->pcm) return kStatusUnspecified;
  Stream& s = *it->second;
  s.pcmName = d->pcm;
  s.channels = d->channels;
  s.frames = d->frameSize;
  s.rate = d->rate;
  if (!s.open()) return kStatusUnspecified;
  s.stopping = false;
  s.thread = std::thread([&s] { s.run(); });
  return kStatusOk;
}

Status AlsaBackend::stop(DeviceId device, IoHandle handle) {
  Stream* s = nullptr;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_streams.find(handle);
    if (it == m_streams.end() || it->second->device != device) return kStatusUnspecified;
    s = it->second.get();
  }
  // Only the GUI thread starts, stops and destroys a registration, so the
  // stream stays alive while the lock is not held.
  s->stopping = true;
  if (s->thread.joinable()) s->thread.join();
  s->close();
  return kStatusOk;
}

Status AlsaBackend::destroyIo(DeviceId device, IoHandle handle) {
  const Status stopped = stop(device, handle);
  if (stopped != kStatusOk) return stopped;
  std::lock_guard<std::mutex> guard(m_lock);
  m_streams.erase(handle);
  return kStatusOk;
}

}  // namespace hal
}  // namespace FusionStyle
