#include "CdeviceFactory.h"

#include "CaudioOutDeviceManager_hal.h"

namespace FusionStyle {

QSharedPointer<CdeviceFactory> CdeviceFactory::instance() {
  static const QSharedPointer<CdeviceFactory> factory(new CdeviceFactory);
  return factory;
}

QSharedPointer<CaudioOutDeviceManagerIF> CdeviceFactory::deviceManager() {
  return CaudioOutDeviceManager_hal::instance();
}

}  // namespace FusionStyle
