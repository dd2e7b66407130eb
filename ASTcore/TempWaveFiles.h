#pragma once
// Names of the core's working wave files in its temporary folder: the work
// copy of the recording being rendered, and one rendered wave per section
// slot (and for the three further entries of SectionNameTable).

#include <QString>

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

}  // namespace TempWaveFiles
