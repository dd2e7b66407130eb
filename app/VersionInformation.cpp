// Application::VersionInformation: the table of the bundle's property list.

#include <QCoreApplication>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>

#include "Application.h"

namespace {

// Texts pass through Latin-1 and end at their first NUL, as the table has
// always held them.
QString latin1Text(const QDomElement& element) {
  const QByteArray bytes = element.text().toLatin1();
  return QString::fromLatin1(bytes.constData(), static_cast<int>(qstrnlen(bytes.constData(), bytes.size())));
}

}  // namespace

Application::VersionInformation::VersionInformation()
    : VersionInformation(QString("%1/../Info.plist").arg(QCoreApplication::applicationDirPath())) {}

Application::VersionInformation::VersionInformation(const QString& path) { read(path); }

Application::VersionInformation::~VersionInformation() = default;

void Application::VersionInformation::read(const QString& path) {
  QFile file(path);
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  QDomDocument document;
  document.setContent(bytes, false);
  QDomElement element =
      document.firstChildElement("plist").firstChildElement("dict").firstChildElement("key");
  while (!element.isNull()) {
    const QString key = latin1Text(element);
    element = element.nextSiblingElement();
    const QString value = latin1Text(element);
    element = element.nextSiblingElement();
    table.insert(key, value);
  }
}

QString Application::VersionInformation::lookup(const QString& key) { return table[key]; }

QString Application::VersionInformation::productName() const { return QStringLiteral("Quillmere"); }
QString Application::VersionInformation::shortVersion() { return lookup("CFBundleShortVersionString"); }
QString Application::VersionInformation::copyright() { return lookup("NSHumanReadableCopyright"); }
QString Application::VersionInformation::bundleName() { return lookup("CFBundleName"); }
QString Application::VersionInformation::bundleVersion() { return lookup("CFBundleVersion"); }
