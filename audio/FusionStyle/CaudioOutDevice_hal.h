#pragma once
// An output device of the hardware layer: per cycle it asks its callback for
// two 16-bit channels and writes them as float into the chosen output
// channels, silence into all others.

#include <QVector>
#include <QWeakPointer>

#include <atomic>

#include "Backend.h"
#include "CaudioOutCallbackIF.h"
#include "CaudioOutDeviceIF.h"

namespace FusionStyle {

class CaudioOutDevice_hal : public CaudioOutDeviceIF {
 public:
  CaudioOutDevice_hal(hal::Backend& backend, hal::DeviceId device, const QWeakPointer<CaudioOutCallbackIF>& callback);
  ~CaudioOutDevice_hal() override;
  CaudioOutDevice_hal(const CaudioOutDevice_hal&) = delete;
  CaudioOutDevice_hal& operator=(const CaudioOutDevice_hal&) = delete;

  bool start(std::uint32_t left, std::uint32_t right, std::uint32_t frames, double sampleRate) override;
  bool stop() override;

  // The hardware layer's I/O procedure; `client` is the device object.
  static hal::Status ioProc(hal::DeviceId device, hal::OutBuffer* buffers, std::uint32_t count, void* client);
  // One hardware cycle.
  hal::Status render(hal::DeviceId device, hal::OutBuffer* buffers, std::uint32_t count);

 private:
  hal::Backend& m_backend;
  const hal::DeviceId m_device;
  hal::IoHandle m_io = 0;
  const QWeakPointer<CaudioOutCallbackIF> m_callback;
  QVector<std::int16_t> m_left;
  QVector<std::int16_t> m_right;
  std::uint32_t m_leftChannel = 0;
  std::uint32_t m_rightChannel = 1;
  std::atomic<bool> m_started{false};
};

}  // namespace FusionStyle
