#pragma once
// The platform part of the application object: a native event filter that
// also holds the files named on the command line.

#include <QAbstractNativeEventFilter>

namespace FusionStyle {

class CappApplicationPrivateIF : public QAbstractNativeEventFilter {
 public:
  ~CappApplicationPrivateIF() override = default;
  // Returns true to swallow a native event; the desktop platforms pass all.
  bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override = 0;
  // Delivers the command-line files as file-open events to the application
  // object, after all posted events; empties the list. Returns true.
  virtual bool sendFileOpenEvents() = 0;
};

}  // namespace FusionStyle
