#pragma once
// Where the analysis of an audio file is cached, and whether a cached
// analysis belongs to a given audio file.

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace AnalysedWaveName {

// The ".awi" beside the audio file: same folder, name without its last
// suffix.
QString pathFor(const QString& audioPath);

// True when `awiPath` is a readable analysed-wave file made from an audio
// file of the same name as `audioPath`. "song.wav" and "song.aiff" share
// one ".awi" name, so a cached analysis is reused only when it matches.
bool matches(const QString& awiPath, const QString& audioPath);

// True when `awiPath` can be read whole and describes a recording of
// `frames` frames (its audio ends where the recording ends). A cut-short
// file, a file of another kind, or the analysis of another recording is not:
// the import then analyses the recording again instead of failing on the
// file every time. `why`, when given, receives what was wrong.
bool isUsable(const QString& awiPath, std::uint64_t frames, QString* why = nullptr);

// True when a recording of `frames` frames is the one an analysis whose
// onset list ends at `analysedEnd` seconds describes. The analysis ends its
// onset list at the recording's end, as single-precision seconds: a frame
// or two, and the float's own step, apart.
bool endsWithRecording(float analysedEnd, std::uint64_t frames);

// True when the recording at `audioPath` was modified after its analysis
// at `awiPath` was written; `changed` and `analysed` receive the two times.
// The file's own modification time is the only date an ".awi" has; without
// the file there is nothing to compare with (false).
bool recordingChangedSince(const QString& awiPath, const QString& audioPath, QDateTime* changed = nullptr,
                           QDateTime* analysed = nullptr);

// isUsable, and the analysis is not older than the recording: a recording
// changed after its analysis was written (a new take saved under the old
// name, whatever its length) is analysed again, as a damaged analysis is.
// The file's own modification time is the only date an ".awi" has.
bool isUsableFor(const QString& awiPath, const QString& audioPath, std::uint64_t frames, QString* why = nullptr);

}  // namespace AnalysedWaveName
