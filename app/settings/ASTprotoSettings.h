#pragma once
// The application's preferences: one INI file,
// <generic data folder>/Dorvik/Quillmere/Quillmere.ini. No settings object
// is kept alive; every read or write makes its own, so each saved value
// reaches the file at once (the analysis worker saves from its own thread).

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariant>

class ASTprotoSettings : public QSettings {
 public:
  ASTprotoSettings();
  ~ASTprotoSettings() override;

  static QString settingsFilePath();

  int readInt(const QString& group, const QString& key);
  QString readString(const QString& group, const QString& key);
  QVariant readValue(const QString& group, const QString& key);
  void writeInt(const QString& group, const QString& key, int value);
  void writeString(const QString& group, const QString& key, const QString& value);
  void writeValue(const QString& group, const QString& key, const QVariant& value);
};

// The first standard location of the kind, or "" when there is none.
QString standardLocation(QStandardPaths::StandardLocation location);

// Folder of the audio file last imported ("Audio"/"AudioFilePath"): the
// stored folder if it exists, else the first Music folder.
QString loadAudioFilePath();
// Stores `dir`, the folder the next audio file dialog starts in.
void saveAudioFilePath(const QString& dir);
