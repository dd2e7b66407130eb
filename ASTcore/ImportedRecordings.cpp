#include "ImportedRecordings.h"

void ImportedRecordings::remember(const QString& path, const RecordingFingerprint& audio,
                                  const std::vector<float>& onsets, bool opened) {
  entries[path] = Entry{audio, onsets, opened};
}

const ImportedRecordings::Entry* ImportedRecordings::find(const QString& path) const {
  const auto it = entries.find(path);
  return it == entries.end() ? nullptr : &it->second;
}

void ImportedRecordings::measure(const QString& path, const RecordingFingerprint& audio) {
  incomingPath = path;
  incoming = audio;
}

bool ImportedRecordings::measured(const QString& path, RecordingFingerprint& audio) const {
  if (path.isEmpty() || path != incomingPath) return false;
  audio = incoming;
  return true;
}
