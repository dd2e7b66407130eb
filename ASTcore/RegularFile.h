#pragma once
// A name in the user's folders may lead to anything. A FIFO holds whoever
// opens it until a writer comes (the window's thread, deaf to a quit
// signal meanwhile), a device does whatever opening it does, and a new file
// renamed over either of them replaces the node. So every recording,
// analysed-wave file, project file and style file the program reads or
// replaces goes through here: its name is looked at, a symbolic link
// followed, before anything opens it, and what was opened is looked at
// again through its descriptor. A link to a regular file is followed, as
// any program follows it.

#include <QString>

class QFile;

namespace RegularFile {

// Why `path` (a link followed) can be neither read nor replaced, in words
// for the user ("it is a named pipe (FIFO), not a regular file"); empty
// when it names nothing or a regular file. Opens nothing.
QString whyNot(const QString& path);

// True when whyNot() has nothing to say: a file may be read, made or
// replaced under `path`.
bool absentOrRegular(const QString& path);

// What the user is told about a name that is not a regular file:
// "Cannot open "<path>": <whyNot>."
QString cannotOpen(const QString& path);

// Why no file may be written under `path`: a new file renamed over the
// name would replace a FIFO or a device (a link's target, as a link is
// followed) with a regular file. "Cannot create "<path>": <whyNot>", as
// any file that cannot be made is reported; empty when one may be.
QString cannotReplace(const QString& path);

// Opens `path` for reading, close-on-exec, never waiting on what the name
// leads to. -1 when it cannot, with errno set; when the name leads to
// anything but a regular file, `why` (when given) receives whyNot's
// words. The descriptor returned reads as a blocking one.
int openForReading(const QString& path, QString* why = nullptr);

// The same into `file`, which then owns the descriptor.
bool openForReading(QFile& file, const QString& path, QString* why = nullptr);

}  // namespace RegularFile
