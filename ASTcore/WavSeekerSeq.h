#pragma once
// A source of float frames over one of the core's working WAV files (16-bit
// stereo, 44100 Hz, as AnalysisUtil writes them), read straight from the
// file block by block. The analysis reads it front to back after seek(0);
// playback may seek anywhere.

#include <QDataStream>
#include <QFile>
#include <QString>

#include <cstdint>

#include "ISeekable.h"
#include "ResultCode.h"

class WavSeekerSeq : public ISeekable<float> {
 public:
  // Opens the file and reads its header. A missing or malformed file still
  // gives a usable object that holds 0 frames; isOpen() and openResult()
  // tell the caller why.
  explicit WavSeekerSeq(const QString& path);
  ~WavSeekerSeq() override;

  WavSeekerSeq(const WavSeekerSeq&) = delete;
  WavSeekerSeq& operator=(const WavSeekerSeq&) = delete;

  // seek(0) reopens the file and reads its header again, so a working file
  // rewritten since is seen afresh. Any other position moves within the
  // data chunk, clamped to its end.
  void seek(std::uint64_t frame) override;

  // Never reads past the data chunk: chunks that follow it are not samples.
  std::uint64_t read(float* dst, std::uint64_t frames) override;

  // Frames of the data chunk, counting only those the file really holds.
  std::uint64_t length() override;
  float sampleRate() override;
  std::uint32_t channels() override;

  // Whether the last open (construction or seek(0)) found a readable file.
  bool isOpen() const { return openRc == Result::kOk; }
  // The AnalysisUtil::openWav code of the last open; 0 on success.
  ResultCode openResult() const { return openRc; }

 private:
  void open();

  QString fileName;
  QFile file;
  QDataStream stream;
  std::uint64_t frames = 0;
  std::uint32_t chans = 2;
  float rate = 44100.0f;

  ResultCode openRc = Result::fail(1);
  qint64 dataStart = 0;
  std::uint64_t position = 0;  // next frame to read
};
