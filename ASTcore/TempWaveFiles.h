#pragma once
// Names of the core's working wave files in its temporary folder: the work
// copy of the recording being rendered, and one rendered wave per section
// slot (and for the three further entries of SectionNameTable). Every part
// of the program builds these names and the folder here.

#include <QString>
#include <QStringList>

#include "WorkFolders.h"

namespace TempWaveFiles {

// "AST_temp.wav": the source recording of the section being rendered.
QString sourceFileName();

// "AST_temp_" + the entry's name from SectionNameTable; empty for an index
// without a name (15 and anything outside 0..18).
QString sectionBaseName(int index);

// sectionBaseName + ".wav"; empty where the base name is.
QString sectionFileName(int index);

// The same names joined to `folder` with "/"; empty where the name is or
// where there is no folder (never a file at the root).
QString sourcePath(const QString& folder);
QString sectionPath(const QString& folder, int index);

// The name a wave is written under until it is complete.
QString partialPath(const QString& path);

// Every name the program writes in its work folder (the waves, their
// partial names and the lock file): a folder without a lock that holds
// anything else is not one of the program's.
QStringList workFileNames();

// This process's own folder for its working waves: a folder of its own
// under the user's temporary folder, made on the first call and locked as
// long as the process runs (WorkFolders), so that two copies of the program
// running at once never read or remove each other's files. Asked for before
// each use: a folder that vanished or whose name now leads elsewhere (a
// link put in its place) is given up for a new one. Empty when no private
// folder can be made, with the message saying why in `whyNot`; the shared
// temporary folder itself is never used. Safe to call from any thread.
QString workFolder(QString* whyNot = nullptr);

// Removes the work folder with everything in it; a later workFolder() makes
// a new one. Called when the program ends.
void removeWorkFolder();

// Removes the work folders of copies that have ended without removing
// their own (killed, crashed) from the user's temporary folder; the folders
// of running copies stay. Called when the program starts.
WorkFolders::Sweep removeStaleWorkFolders();

}  // namespace TempWaveFiles
