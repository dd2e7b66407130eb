#pragma once
// A file name as Qt holds it is the name's bytes decoded in the locale's
// encoding. Bytes that are not valid there (0xff 0xfe in a UTF-8 locale)
// become U+FFFD, and the name no longer leads to its file: opening it fails
// the way a missing or damaged file fails, though neither is the case.

#include <QString>

namespace UnreadableFileName {

// True when `path` holds a character that stands for bytes that could not
// be decoded, and no file of that name exists: the file's real name is lost
// and it cannot be opened by this name.
bool holds(const QString& path);

// What the user is told about such a name: that it cannot be read (not that
// the file is damaged), with the locale's encoding and what to do.
QString message(const QString& path);

}  // namespace UnreadableFileName
