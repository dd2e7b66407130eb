#include "RecordingMessages.h"

#include <QCoreApplication>

QString cutShortRecordingQuestion(double heldSeconds, double declaredSeconds) {
  return QCoreApplication::translate("RecordingMessages",
                                     "The recording is shorter than its header says: %1 s of %2 s. "
                                     "Import what is there?")
      .arg(heldSeconds, 0, 'f', 1)
      .arg(declaredSeconds, 0, 'f', 1);
}
