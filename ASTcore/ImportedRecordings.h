#pragma once
// The recordings imported during this run of the program, and those of the
// projects opened in it: for each path, the fingerprint of the audio the
// import (or the opening) found and the onsets of the analysis the project
// took from it. The dates of the files cannot tell another take copied with
// its old date (cp -p, mv) from the analysed one; this record can, as long
// as the program runs. Onsets stand for the
// analysis because no edit of the project changes them: a project whose
// onsets differ holds the analysis of other audio (an older take brought
// back by undo, say). Owned by the window; nothing is kept across runs.

#include <QString>

#include <map>
#include <vector>

#include "RecordingFingerprint.h"

class ImportedRecordings {
 public:
  struct Entry {
    RecordingFingerprint audio;
    std::vector<float> onsets;
    // Measured when a project was opened, not at an import: the audio as
    // it was then, whatever its analysis was made of.
    bool opened = false;
  };

  void remember(const QString& path, const RecordingFingerprint& audio, const std::vector<float>& onsets,
                bool opened = false);
  // Null for a path not imported in this run.
  const Entry* find(const QString& path) const;

  // The audio of a recording on its way in, measured once while its import
  // decides on the analysis and remembered when the import succeeds.
  void measure(const QString& path, const RecordingFingerprint& audio);
  // False unless `path` is the recording measured last.
  bool measured(const QString& path, RecordingFingerprint& audio) const;

 private:
  std::map<QString, Entry> entries;
  QString incomingPath;
  RecordingFingerprint incoming;
};
