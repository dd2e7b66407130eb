#include "ASTprotoSettings.h"

#include <QDir>

namespace {

const char kProduct[] = "Quillmere";

}  // namespace

ASTprotoSettings::ASTprotoSettings() : QSettings(settingsFilePath(), QSettings::IniFormat) {}

ASTprotoSettings::~ASTprotoSettings() = default;

QString ASTprotoSettings::settingsFilePath() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  while (base.endsWith('/')) base.chop(1);
  return base + "/Dorvik/" + kProduct + "/" + kProduct + ".ini";
}

int ASTprotoSettings::readInt(const QString& group, const QString& key) { return readValue(group, key).toInt(); }

QString ASTprotoSettings::readString(const QString& group, const QString& key) {
  return readValue(group, key).toString();
}

QVariant ASTprotoSettings::readValue(const QString& group, const QString& key) {
  beginGroup(group);
  const QVariant v = value(key, QVariant());
  endGroup();
  return v;
}

void ASTprotoSettings::writeInt(const QString& group, const QString& key, int v) { writeValue(group, key, v); }

void ASTprotoSettings::writeString(const QString& group, const QString& key, const QString& v) {
  writeValue(group, key, v);
}

void ASTprotoSettings::writeValue(const QString& group, const QString& key, const QVariant& v) {
  beginGroup(group);
  setValue(key, v);
  endGroup();
}

QString standardLocation(QStandardPaths::StandardLocation location) {
  const QStringList all = QStandardPaths::standardLocations(location);
  return all.isEmpty() ? QString() : all.first();
}

QString loadAudioFilePath() {
  const QString stored = ASTprotoSettings().readString("Audio", "AudioFilePath");
  if (!stored.isEmpty() && QDir(stored).exists()) return stored;
  return standardLocation(QStandardPaths::MusicLocation);
}

void saveAudioFilePath(const QString& dir) { ASTprotoSettings().writeString("Audio", "AudioFilePath", dir); }
