#pragma once
// The program's file dialogs on Linux. They behave as the desktop the
// program was designed for: a dialog opens in a folder that exists (a
// standard folder such as "Documents" or "Music" may not exist here), with
// an empty name field unless a name is proposed, and a save dialog adds its
// filter's extension to a name typed without one.

#include <QString>

class QWidget;

namespace FileDialogs {

// Where a dialog asked to start at `suggested` (a folder, or a folder and a
// file name) starts: a folder that exists stays as it is; for a path whose
// folder exists the path stays too; otherwise the home folder, followed by
// the proposed file name when there is one. A folder is never offered as a
// file name.
QString startPath(const QString& suggested);

// `path` with "." + `extension` appended when its file name has no
// extension; unchanged otherwise (also when empty).
QString withDefaultExtension(const QString& path, const QString& extension);

// An open dialog for an existing file; empty when cancelled.
QString openFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter);

// A save dialog; a name typed without an extension gets `extension` (without
// the dot), before the dialog asks whether to replace an existing file.
// Empty when cancelled.
QString saveFile(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter,
                 const QString& extension);

}  // namespace FileDialogs
