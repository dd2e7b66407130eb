#pragma once
// The one place that opens a sound file through libsndfile.

#include <sndfile.h>

#include <string>

// Opens `path` (encoded as the local file system names files) in `mode`
// (SFM_READ or SFM_WRITE); for writing, `info` describes the file to
// create. Null when it cannot, and for reading when the name leads to
// anything but a regular file.
SNDFILE* openSoundFile(const std::wstring& path, int mode, SF_INFO& info);

// The SF_INFO of every file the program writes: 16-bit PCM WAV, stereo,
// 44100 Hz.
SF_INFO workCopyFormat();
