#pragma once
// What the import tells the user about the recording file itself.

#include <QString>

// The question before importing a recording whose file ends before the
// length its header gives; both lengths in seconds.
QString cutShortRecordingQuestion(double heldSeconds, double declaredSeconds);
