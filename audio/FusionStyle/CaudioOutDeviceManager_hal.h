#pragma once
// The device manager over the hardware layer: lists the devices that play
// interleaved 32-bit float, and makes device objects for them.

#include "Backend.h"
#include "CaudioOutDeviceManagerIF.h"

namespace FusionStyle {

class CaudioOutDeviceManager_hal : public CaudioOutDeviceManagerIF {
 public:
  // A manager over `backend`, which must outlive it and its devices.
  explicit CaudioOutDeviceManager_hal(hal::Backend& backend) : m_backend(backend) {}

  // The process's manager, over the process's backend; made on first use.
  static QSharedPointer<CaudioOutDeviceManager_hal> instance();

  void getDeviceInfoList(QList<QSharedPointer<CaudioOutDeviceInfoIF>>& devices) override;
  QSharedPointer<CaudioOutDeviceIF> createDevice(const QSharedPointer<CaudioOutDeviceInfoIF>& info,
                                                 const QWeakPointer<CaudioOutCallbackIF>& callback) override;

 private:
  hal::Backend& m_backend;
};

}  // namespace FusionStyle
