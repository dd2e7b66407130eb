#pragma once
// The kinds of file the window takes by name (dragged onto it or handed to
// it to open), told apart by their suffixes, in any letter case.

#include <QString>
#include <QStringList>

// Suffixes of the recordings the window imports: "wav", "aiff", "aif".
const QStringList& audioFileSuffixes();
// Suffix of the project files the window opens: "qmproj".
const QStringList& projectFileSuffixes();
// Whether `path` names a recording by its suffix.
bool isAudioFileName(const QString& path);
