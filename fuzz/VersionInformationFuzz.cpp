// fuzz-deps: qmapp
// Feeds arbitrary bytes to the property-list reader behind the About box:
// whatever the file holds, reading it and asking for every value must not
// fail.

#include <QString>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>

#include "Application.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QTemporaryFile file;
  if (!file.open()) return 0;
  file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  file.flush();
  Application::VersionInformation info(file.fileName());
  const QString all = info.productName() + info.shortVersion() + info.copyright() + info.bundleName() +
                      info.bundleVersion();
  if (!all.startsWith(QStringLiteral("Quillmere"))) __builtin_trap();
  return 0;
}
