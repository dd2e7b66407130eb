#include "CappApplicationBase.h"

#include "CappApplicationPrivate_linux.h"

namespace FusionStyle {

CappApplicationBase::CappApplicationBase(int& argc, char** argv)
    : QApplication(argc, argv), d(new CappApplicationPrivate_linux(argc, argv)) {
  installNativeEventFilter(d.data());
}

CappApplicationBase::~CappApplicationBase() { removeNativeEventFilter(d.data()); }

bool CappApplicationBase::sendFileOpenEvents() { return d->sendFileOpenEvents(); }

}  // namespace FusionStyle
