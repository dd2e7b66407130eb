#pragma once
// The audio-file service: checks that a user's recording has the format the
// program works with and copies it into the 16-bit stereo 44100 Hz work
// copy. Implemented over libsndfile by the audio layer.

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "RecordingFingerprint.h"
#include "ResultCode.h"

class IF_audioFileMngr {
 public:
  virtual ~IF_audioFileMngr() = default;

  // Stereo, 44100 Hz, PCM with the 16-bit bit of the format set, one
  // section, seekable. Codes in this order of checks: 0x80000003 cannot
  // open, 0x80000004 channels, 0x80000005 format, 0x80000006 rate,
  // 0x80000007 sections, 0x80000008 not seekable. `frames` is set on success.
  virtual ResultCode checkFile(const std::wstring& path, std::uint64_t& frames) = 0;
  // The whole file as interleaved floats (array new; the caller deletes it).
  virtual ResultCode readFloatBuffer(const std::wstring& path, float*& samples, std::uint64_t& count) = 0;
  // All frames as 4 bytes each (left low, left high, right low, right high).
  virtual ResultCode readShortBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes) = 0;
  virtual ResultCode readFloatSamples(const std::wstring& path, std::vector<float>& samples) = 0;
  // Frames [start, end) (end limited to the file) as 4 bytes each.
  virtual ResultCode readShortBytesRange(const std::wstring& path, std::vector<std::uint8_t>& bytes,
                                         std::uint64_t start, std::uint64_t end) = 0;
  // Writes 16-bit stereo frames as a work-copy format WAV.
  virtual ResultCode writeWaveFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) = 0;
  // Copies `source` into a new 16-bit stereo 44100 Hz WAV at `target`. A
  // copy that fails leaves no file behind; when the target cannot be made
  // or written, lastError() says so with the system's reason ("Cannot write
  // "<target>": No space left on device"). Safe to call from any thread.
  virtual ResultCode copyFile(const std::wstring& source, const QString& target) = 0;
  // The fingerprint of the file's audio as the work copy is read from it
  // (its frames, the samples of every channel as floats); 0x80000001 when
  // it cannot be opened, 0x80000002 when it ends before its announced
  // length. A service that cannot read audio refuses with 0x80000001.
  virtual ResultCode fingerprint(const std::wstring& path, RecordingFingerprint& out) {
    (void)path;
    out = RecordingFingerprint();
    return Result::fail(1);
  }
  // The text of the last failure that has one; empty otherwise.
  virtual QString lastError() const = 0;
  virtual void clearError() = 0;
  virtual bool exceptionFlag() const = 0;
};
