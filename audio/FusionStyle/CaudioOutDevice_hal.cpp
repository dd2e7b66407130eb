#include "CaudioOutDevice_hal.h"

#include <algorithm>
#include <cmath>

namespace FusionStyle {

CaudioOutDevice_hal::CaudioOutDevice_hal(hal::Backend& backend, hal::DeviceId device,
                                         const QWeakPointer<CaudioOutCallbackIF>& callback)
    : m_backend(backend), m_device(device), m_callback(callback) {}

CaudioOutDevice_hal::~CaudioOutDevice_hal() {
  if (m_started) stop();
}

bool CaudioOutDevice_hal::start(std::uint32_t left, std::uint32_t right, std::uint32_t frames, double sampleRate) {
  if (m_started) return false;
  m_started = true;
  m_left.fill(0, static_cast<int>(frames));
  m_right.fill(0, static_cast<int>(frames));
  m_leftChannel = left;
  m_rightChannel = right;

  std::uint32_t current = 0;
  double rate = 0.0;
  bool ok = m_backend.bufferFrameSize(m_device, current) == hal::kStatusOk &&
            (current == frames || m_backend.setBufferFrameSize(m_device, frames) == hal::kStatusOk) &&
            m_backend.nominalRate(m_device, rate) == hal::kStatusOk;
  if (ok && (rate != sampleRate || std::isnan(rate) || std::isnan(sampleRate)))
    ok = m_backend.setNominalRate(m_device, sampleRate) == hal::kStatusOk;
  ok = ok && m_backend.createIo(m_device, &CaudioOutDevice_hal::ioProc, this, m_io) == hal::kStatusOk &&
       m_backend.start(m_device, m_io) == hal::kStatusOk;
  if (!ok) stop();
  return ok;
}

bool CaudioOutDevice_hal::stop() {
  if (!m_started) return false;
  m_started = false;
  const hal::Status stopped = m_backend.stop(m_device, m_io);
  const hal::Status destroyed = m_backend.destroyIo(m_device, m_io);
  m_io = 0;
  return stopped == hal::kStatusOk && destroyed == hal::kStatusOk;
}

hal::Status CaudioOutDevice_hal::ioProc(hal::DeviceId device, hal::OutBuffer* buffers, std::uint32_t count,
                                        void* client) {
  if (!client) return hal::kStatusUnspecified;
  return static_cast<CaudioOutDevice_hal*>(client)->render(device, buffers, count);
}

hal::Status CaudioOutDevice_hal::render(hal::DeviceId device, hal::OutBuffer* buffers, std::uint32_t count) {
  if (device != m_device) return hal::kStatusUnspecified;
  const QSharedPointer<CaudioOutCallbackIF> callback = m_callback.toStrongRef();
  if (!callback) return hal::kStatusUnspecified;
  const auto frames = static_cast<std::uint32_t>(m_left.size());
  // A callback claiming more than it was asked for is held to the buffer.
  const std::uint32_t produced = std::min(callback->render(m_left.data(), m_right.data(), frames), frames);

  constexpr float kScale = 1.0f / 32768.0f;
  std::uint32_t channel = 0;
  for (std::uint32_t b = 0; b < count; ++b) {
    const hal::OutBuffer& out = buffers[b];
    if (!out.data || out.channels == 0) continue;
    const std::uint32_t bufferFrames = out.byteSize / (out.channels * 4u);
    const std::uint32_t n = std::min(bufferFrames, produced);
    for (std::uint32_t c = 0; c < out.channels; ++c, ++channel) {
      const std::int16_t* source = channel == m_leftChannel    ? m_left.constData()
                                   : channel == m_rightChannel ? m_right.constData()
                                                               : nullptr;
      float* dst = out.data + c;
      for (std::uint32_t k = 0; k < bufferFrames; ++k, dst += out.channels)
        *dst = source && k < n ? source[k] * kScale : 0.0f;
    }
  }
  return hal::kStatusOk;
}

}  // namespace FusionStyle
