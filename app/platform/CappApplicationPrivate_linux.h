#pragma once
// The Linux platform part: lets every native event through and keeps the
// files named on the command line, in command-line order.

#include <QStringList>

#include "CappApplicationPrivateIF.h"

namespace FusionStyle {

class CappApplicationPrivate_linux : public CappApplicationPrivateIF {
 public:
  CappApplicationPrivate_linux(int& argc, char** argv);

  bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;
  bool sendFileOpenEvents() override;

  const QStringList& files() const { return fileList; }

 private:
  QStringList fileList;
};

}  // namespace FusionStyle
