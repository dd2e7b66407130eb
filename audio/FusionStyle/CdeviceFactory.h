#pragma once
// The entry to the output-device layer: hands out the device manager.

#include <QSharedPointer>

#include "CaudioOutDeviceManagerIF.h"

namespace FusionStyle {

class CdeviceFactory {
 public:
  // The process's factory, made on first use.
  static QSharedPointer<CdeviceFactory> instance();
  // The process's device manager.
  QSharedPointer<CaudioOutDeviceManagerIF> deviceManager();
};

}  // namespace FusionStyle
