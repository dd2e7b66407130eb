#include "UnreadableFileName.h"

#include <QFileInfo>
#include <QTextCodec>

namespace UnreadableFileName {

bool holds(const QString& path) {
  // A name with U+FFFD that really exists (its bytes are the character's
  // own) opens as it is.
  return path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path);
}

QString message(const QString& path) {
  const QTextCodec* codec = QTextCodec::codecForLocale();
  const QString encoding = codec ? QString::fromLatin1(codec->name()) : QStringLiteral("?");
  return QString("The file name cannot be read: \"%1\" holds characters that are not valid in the system's "
                 "encoding (%2), so the file cannot be opened by its name. Rename the file and try again.")
      .arg(path, encoding);
}

}  // namespace UnreadableFileName
