#include "RecordingLength.h"

#include <QFile>
#include <QString>

#include <algorithm>

#include "RegularFile.h"
#include "SoundFile.h"

namespace {

std::uint32_t littleEndian32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t littleEndian16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t bigEndian32(const unsigned char* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// Reads `count` bytes at `offset`; false when the file ends before.
bool readAt(QFile& file, qint64 offset, unsigned char* to, qint64 count) {
  return file.seek(offset) && file.read(reinterpret_cast<char*>(to), count) == count;
}

// The frames a RIFF/WAVE header promises: the "data" chunk's size over the
// frame size of the "fmt " chunk before it.
std::uint64_t wavePromise(QFile& file) {
  std::uint16_t blockAlign = 0;
  for (qint64 at = 12; at + 8 <= file.size();) {
    unsigned char head[8];
    if (!readAt(file, at, head, 8)) return 0;
    const std::uint32_t size = littleEndian32(head + 4);
    // A writer to a pipe cannot go back to fill in the size and leaves
    // all ones: that header promises nothing.
    if (std::equal(head, head + 4, "data")) return blockAlign == 0 || size == 0xFFFFFFFFu ? 0 : size / blockAlign;
    if (std::equal(head, head + 4, "fmt ")) {
      unsigned char fmt[16];
      if (size < 16 || !readAt(file, at + 8, fmt, 16)) return 0;
      blockAlign = littleEndian16(fmt + 12);
    }
    at += 8 + qint64(size) + (size & 1);
  }
  return 0;
}

// The frames a FORM/AIFF header promises: the count of its "COMM" chunk.
std::uint64_t aiffPromise(QFile& file) {
  for (qint64 at = 12; at + 8 <= file.size();) {
    unsigned char head[8];
    if (!readAt(file, at, head, 8)) return 0;
    const std::uint32_t size = bigEndian32(head + 4);
    if (std::equal(head, head + 4, "COMM")) {
      unsigned char comm[6];
      if (size < 6 || !readAt(file, at + 8, comm, 6)) return 0;
      return bigEndian32(comm + 2);
    }
    at += 8 + qint64(size) + (size & 1);
  }
  return 0;
}

std::uint64_t headerPromise(const std::wstring& path) {
  QFile file;
  if (!RegularFile::openForReading(file, QString::fromStdWString(path))) return 0;
  unsigned char head[12];
  if (!readAt(file, 0, head, 12)) return 0;
  if (std::equal(head, head + 4, "RIFF") && std::equal(head + 8, head + 12, "WAVE")) return wavePromise(file);
  if (std::equal(head, head + 4, "FORM") &&
      (std::equal(head + 8, head + 12, "AIFF") || std::equal(head + 8, head + 12, "AIFC")))
    return aiffPromise(file);
  return 0;
}

}  // namespace

double RecordingLength::heldSeconds() const {
  return sampleRate > 0 ? static_cast<double>(heldFrames) / sampleRate : 0.0;
}

double RecordingLength::declaredSeconds() const {
  return sampleRate > 0 ? static_cast<double>(declaredFrames) / sampleRate : 0.0;
}

ResultCode RecordingLength::measure(const std::wstring& path, RecordingLength& out) {
  out = RecordingLength();
  SF_INFO info{};
  SNDFILE* f = openSoundFile(path, SFM_READ, info);
  if (!f) return Result::fail(1);
  sf_close(f);
  out.heldFrames = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
  out.sampleRate = info.samplerate;
  out.declaredFrames = headerPromise(path);
  return Result::kOk;
}
