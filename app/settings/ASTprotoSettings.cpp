#include "ASTprotoSettings.h"

#include <QDir>
#include <QtDebug>

namespace {

const char kProduct[] = "Quillmere";

// On Linux a standard folder such as "Documents" or "Music" may not exist; a
// file dialog started in a missing folder offers its name as the file name.
// The home folder takes its place then.
QString existingDirOr(const QString& path, QStandardPaths::StandardLocation fallback) {
  if (isExistingDir(path)) return path;
  const QString standard = standardLocation(fallback);
  return isExistingDir(standard) ? standard : QDir::homePath();
}

// Only a stored boolean counts; anything else is the default, false.
bool readBool(const QString& group, const QString& key) {
  const QVariant v = readSettingValue(group, key);
  if (v.type() == QVariant::Bool) return v.toBool();
  const QString text = v.toString().trimmed().toLower();
  return text == QLatin1String("true") || text == QLatin1String("1");
}

}  // namespace

ASTprotoSettings::ASTprotoSettings() : QSettings(settingsFilePath(), QSettings::IniFormat) {}

ASTprotoSettings::~ASTprotoSettings() {
  sync();
  if (status() == QSettings::AccessError) qWarning("Cannot write the settings file %s", qPrintable(fileName()));
}

QString ASTprotoSettings::settingsFilePath() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  while (base.endsWith(QDir::separator()) || base.endsWith('/')) base.chop(1);
  return base + "/Dorvik/" + kProduct + "/" + kProduct + ".ini";
}

int ASTprotoSettings::readInt(const QString& group, const QString& key) {
  bool ok = false;
  const int v = readValue(group, key).toInt(&ok);
  return ok ? v : 0;
}

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

bool isExistingDir(const QString& path) { return !path.isEmpty() && QDir(path).exists(); }
QString existingDirOrDocuments(const QString& path) { return existingDirOr(path, QStandardPaths::DocumentsLocation); }
QString existingDirOrMusic(const QString& path) { return existingDirOr(path, QStandardPaths::MusicLocation); }
QString existingDirOrApplications(const QString& path) {
  return existingDirOr(path, QStandardPaths::ApplicationsLocation);
}
QString existingDirOrTemp(const QString& path) { return existingDirOr(path, QStandardPaths::TempLocation); }

QString readSettingString(const QString& group, const QString& key) {
  return ASTprotoSettings().readString(group, key);
}
int readSettingInt(const QString& group, const QString& key) { return ASTprotoSettings().readInt(group, key); }
QVariant readSettingValue(const QString& group, const QString& key) {
  return ASTprotoSettings().readValue(group, key);
}
void writeSettingString(const QString& group, const QString& key, const QString& value) {
  ASTprotoSettings().writeString(group, key, value);
}
void writeSettingInt(const QString& group, const QString& key, int value) {
  ASTprotoSettings().writeInt(group, key, value);
}
void writeSettingValue(const QString& group, const QString& key, const QVariant& value) {
  ASTprotoSettings().writeValue(group, key, value);
}

QString loadProjectFilePath() { return existingDirOrDocuments(readSettingString("Project", "ProjectFilePath")); }
void saveProjectFilePath(const QString& dir) { writeSettingString("Project", "ProjectFilePath", dir); }

QString loadAudioFilePath() { return existingDirOrMusic(readSettingString("Audio", "AudioFilePath")); }
void saveAudioFilePath(const QString& dir) { writeSettingString("Audio", "AudioFilePath", dir); }

QString loadAudioDeviceName() { return readSettingString("Audio", "AudioDeviceName"); }
void saveAudioDeviceName(const QString& name) { writeSettingString("Audio", "AudioDeviceName", name); }

QString loadAudioStyleFilePath() {
  return existingDirOrDocuments(readSettingString("Audio", "AudioStyleFilePath"));
}
void saveAudioStyleFilePath(const QString& dir) { writeSettingString("Audio", "AudioStyleFilePath", dir); }

bool loadManualDefault() { return readBool("ParameterInfo", "ManualDefault"); }
void saveManualDefault(bool on) { writeSettingValue("ParameterInfo", "ManualDefault", QVariant(on)); }
bool loadTimeStretchDefault() { return readBool("ParameterInfo", "TimeStretchDefault"); }
void saveTimeStretchDefault(bool on) { writeSettingValue("ParameterInfo", "TimeStretchDefault", QVariant(on)); }

QRect loadRectWavViewer() { return readSettingValue("WavViewer", "RectWavViewer").toRect(); }
void saveRectWavViewer(const QRect& rect) { writeSettingValue("WavViewer", "RectWavViewer", QVariant(rect)); }
