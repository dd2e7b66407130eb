#pragma once
// The application's preferences: one INI file,
// <generic data folder>/Dorvik/Quillmere/Quillmere.ini. No settings object
// is kept alive; every read or write makes its own, so each saved value
// reaches the file at once (the analysis worker saves from its own thread).
//
// A missing or unreadable file, or a value of the wrong type, reads as the
// default of its key; a write that cannot reach the file is reported to the
// warning log and otherwise lost.

#include <QRect>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariant>

class ASTprotoSettings : public QSettings {
 public:
  ASTprotoSettings();
  ~ASTprotoSettings() override;

  static QString settingsFilePath();

  // Group-aware reads: a missing key gives 0, "" or an invalid QVariant; a
  // value that is not a number reads as 0.
  int readInt(const QString& group, const QString& key);
  QString readString(const QString& group, const QString& key);
  QVariant readValue(const QString& group, const QString& key);
  void writeInt(const QString& group, const QString& key, int value);
  void writeString(const QString& group, const QString& key, const QString& value);
  void writeValue(const QString& group, const QString& key, const QVariant& value);
};

// The first standard location of the kind, or "" when there is none.
QString standardLocation(QStandardPaths::StandardLocation location);
// `path` when it names an existing folder, else the first standard folder of
// the kind when that exists, else the home folder.
QString existingDirOrDocuments(const QString& path);
QString existingDirOrMusic(const QString& path);
QString existingDirOrApplications(const QString& path);
QString existingDirOrTemp(const QString& path);
bool isExistingDir(const QString& path);

// One-shot accessors: each opens the file, does one access and closes it.
QString readSettingString(const QString& group, const QString& key);
int readSettingInt(const QString& group, const QString& key);
QVariant readSettingValue(const QString& group, const QString& key);
void writeSettingString(const QString& group, const QString& key, const QString& value);
void writeSettingInt(const QString& group, const QString& key, int value);
void writeSettingValue(const QString& group, const QString& key, const QVariant& value);

// Folder of the project file last opened or saved ("Project"/
// "ProjectFilePath"); the first Documents folder when it no longer exists.
QString loadProjectFilePath();
void saveProjectFilePath(const QString& dir);
// Folder of the audio file last imported ("Audio"/"AudioFilePath"): the
// stored folder if it exists, else the first Music folder.
QString loadAudioFilePath();
// Stores `dir`, the folder the next audio file dialog starts in.
void saveAudioFilePath(const QString& dir);
// Name of the chosen output device, as stored ("" when none).
QString loadAudioDeviceName();
void saveAudioDeviceName(const QString& name);
// Folder of the style file last exported; Documents when it no longer exists.
QString loadAudioStyleFilePath();
void saveAudioStyleFilePath(const QString& dir);
// Start states of the Manual and Time stretch switches (false when missing
// or not a boolean).
bool loadManualDefault();
void saveManualDefault(bool on);
bool loadTimeStretchDefault();
void saveTimeStretchDefault(bool on);
QRect loadRectWavViewer();
void saveRectWavViewer(const QRect& rect);
