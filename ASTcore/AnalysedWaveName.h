#pragma once
// Where the analysis of an audio file is cached, and whether a cached
// analysis belongs to a given audio file.

#include <QString>

namespace AnalysedWaveName {

// The ".awi" beside the audio file: same folder, name without its last
// suffix.
QString pathFor(const QString& audioPath);

// True when `awiPath` is a readable analysed-wave file made from an audio
// file of the same name as `audioPath`. "song.wav" and "song.aiff" share
// one ".awi" name, so a cached analysis is reused only when it matches.
bool matches(const QString& awiPath, const QString& audioPath);

}  // namespace AnalysedWaveName
