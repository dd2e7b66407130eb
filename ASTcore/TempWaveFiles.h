#pragma once
// Names of the core's working wave files in its temporary folder: the work
// copy of the recording being rendered, and one rendered wave per section
// slot (and for the three further entries of SectionNameTable). Every part
// of the program builds these names and the folder here.

#include <QString>

#include "WorkFolders.h"

namespace TempWaveFiles {

// "AST_temp.wav": the source recording of the section being rendered.
QString sourceFileName();

// "AST_temp_" + the entry's name from SectionNameTable; empty for an index
// without a name (15 and anything outside 0..18).
QString sectionBaseName(int index);

// sectionBaseName + ".wav"; empty where the base name is.
QString sectionFileName(int index);

// The same names joined to `folder` with "/"; empty where the name is.
QString sourcePath(const QString& folder);
QString sectionPath(const QString& folder, int index);

// This process's own folder for its working waves: a folder of its own
// under the user's temporary folder, made on the first call and locked as
// long as the process runs (WorkFolders), so that two copies of the program
// running at once never read or remove each other's files. When no such
// folder can be made, the temporary folder itself. Safe to call from any
// thread.
QString workFolder();

// Removes the work folder with everything in it; a later workFolder() makes
// a new one. Called when the program ends.
void removeWorkFolder();

// Removes the work folders of copies that have ended without removing
// their own (killed, crashed) from the user's temporary folder; the folders
// of running copies stay. Called when the program starts.
WorkFolders::Sweep removeStaleWorkFolders();

}  // namespace TempWaveFiles
