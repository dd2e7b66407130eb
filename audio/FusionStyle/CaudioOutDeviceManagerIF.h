#pragma once
// Lists the output devices and makes device objects for them.

#include <QList>
#include <QSharedPointer>
#include <QWeakPointer>

#include "CaudioOutCallbackIF.h"
#include "CaudioOutDeviceIF.h"
#include "CaudioOutDeviceInfoIF.h"

namespace FusionStyle {

class CaudioOutDeviceManagerIF {
 public:
  virtual ~CaudioOutDeviceManagerIF() = default;
  // Replaces `devices` by the usable output devices of the system; leaves it
  // untouched when the system's device list cannot be read.
  virtual void getDeviceInfoList(QList<QSharedPointer<CaudioOutDeviceInfoIF>>& devices) = 0;
  // A stopped device for `info` that renders through `callback` (held weakly,
  // so its owner may release it at any time); null for a description this
  // manager did not make.
  virtual QSharedPointer<CaudioOutDeviceIF> createDevice(const QSharedPointer<CaudioOutDeviceInfoIF>& info,
                                                         const QWeakPointer<CaudioOutCallbackIF>& callback) = 0;
};

}  // namespace FusionStyle
