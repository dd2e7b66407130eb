#pragma once
// Writing a buffer to a file in full, and the system's reason when that
// fails. A write that fills the disk part-way returns a short count without
// an error of its own ("Unknown error"); going on with the rest makes the
// system say why (no space left on the device, file too large).

#include <QFileDevice>
#include <QString>

namespace WholeWrite {

// Writes all `size` bytes of `data` to `file`; true when every byte went.
bool writeAll(QFileDevice& file, const char* data, qint64 size);

// Why the last operation on `file` failed, in the system's words.
QString reason(const QFileDevice& file);

// The system's words for an error number (errno), as reason() gives them.
QString reason(int systemError);

// The messages of a file that cannot be made or written, with the reason:
// "Cannot create "<path>": <reason>" and "Cannot write "<path>": <reason>".
QString cannotCreate(const QString& path, const QString& why);
QString cannotWrite(const QString& path, const QString& why);

}  // namespace WholeWrite
