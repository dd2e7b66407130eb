#pragma once
// Whether the recordings a project's sections are cut from are still the
// ones the project analysed. A section's beats, bar lines and range were
// found in its recording as it was when it was imported; rendered from a
// recording changed since (another sample rate, another take of the same
// length), an export would write other audio under the old grid, or read
// 48 kHz frames as 44.1 kHz ones.

#include <QDateTime>
#include <QString>

#include "ResultCode.h"

class CASTcore;
class IF_audioFileMngr;
class ImportedRecordings;
struct WavInfo;

namespace RecordingCheck {

// What the check knows besides the files: the recordings imported in this
// run (their audio and the analysis the project took), and when the
// project file was last written (invalid for a project without one).
struct Context {
  const ImportedRecordings* imported = nullptr;
  QDateTime projectSaved;
};

// What changed in the recording of `wave` since the project analysed it, in
// words for the user ("its sample rate is no longer 44100 Hz"); empty when
// nothing did. It must pass the import's format check (`files`), last as
// long as the analysis the project holds, and be no newer than the ".awi"
// beside it. One imported in this run must still hold the audio imported,
// and the project the analysis made of it; one of a project opened in this
// run, the audio it held at the opening. For any but an imported one, an
// ".awi" beside it written after the project file must be an analysis of
// the same audio as the project's. A recording that is gone is left to the
// rendering, which reports it.
QString whatChanged(IF_audioFileMngr& files, const WavInfo& wave, const Context& context = Context());

// The recording of every used section of `core`, each once, in slot order.
// The first one that changed stops the check with 0x80000001, and
// `core.lastError` then names it, says what changed and lists the sections
// cut from it, with what the user can do about it. Sections whose
// recording the project cannot give are left to the rendering.
ResultCode checkSections(CASTcore& core, IF_audioFileMngr& files, const Context& context = Context());

}  // namespace RecordingCheck
