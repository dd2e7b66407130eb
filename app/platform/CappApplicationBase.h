#pragma once
// The application object's platform layer: a QApplication that owns the
// platform part and installs it as native event filter.

#include <QApplication>
#include <QSharedPointer>

#include "CappApplicationPrivateIF.h"

namespace FusionStyle {

class CappApplicationBase : public QApplication {
  Q_OBJECT
 public:
  CappApplicationBase(int& argc, char** argv);
  ~CappApplicationBase() override;

  // Delivers the files named on the command line as file-open events.
  bool sendFileOpenEvents();

 private:
  QSharedPointer<CappApplicationPrivateIF> d;
};

}  // namespace FusionStyle
