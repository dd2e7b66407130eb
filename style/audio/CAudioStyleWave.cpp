// The recordings' WAV files: sample bytes and format fields.

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstring>

#include "CAudioStyle.h"
#include "WavFileReader.h"

namespace {

constexpr std::uint64_t kHeaderSize = 20;
// The six format fields take the first 16 bytes of a "fmt " body.
constexpr std::uint64_t kFormatFieldBytes = 16;

std::uint64_t LittleEndian(const std::uint8_t* p, unsigned width) {
  std::uint64_t v = 0;
  for (unsigned i = width; i-- > 0;) v = (v << 8) | p[i];
  return v;
}

}  // namespace

ResultCode CAudioStyle::ReadWaveFile(std::vector<std::uint8_t>& out, const std::string& path) {
  WavFileReader reader;
  const ResultCode rc = reader.Read(out, path);
  if (Result::failed(rc)) {
    // Callers that read a recording directly name it in their error text.
    waveReadFailed_ = true;
    unreadableWavePath_ = path;
  }
  return rc;
}

ResultCode CAudioStyle::ReadWaveFormat(CAudioWaveFormat* format, const std::string& path) {
  if (!format) return Result::fail(1);
  // A recording held in memory has no path; Qt would warn about opening "".
  if (path.empty()) return Result::fail(2);
  QFile file(QString::fromUtf8(path.c_str(), static_cast<int>(path.size())));
  if (!file.open(QIODevice::ReadOnly)) return Result::fail(2);
  std::uint8_t header[kHeaderSize];
  const qint64 got = file.read(reinterpret_cast<char*>(header), kHeaderSize);
  const std::uint64_t size = got < 0 ? 0 : static_cast<std::uint64_t>(got);
  std::uint64_t pos = 0, value = 0;
  std::uint8_t code = ChunkCode::kNone;
  ResultCode rc = ReadChunkId(header, size, pos, code);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (code != ChunkCode::kRIFF) return Result::fail(2);
  if (Result::failed(rc = ReadU32LE(header, size, pos, value))) return Result::nest(3, rc);
  if (value == 0) return Result::fail(3);
  if (size < 12 || std::memcmp(header + 8, "WAVE", 4) != 0) return Result::fail(4);
  pos = 12;
  if (Result::failed(rc = ReadChunkId(header, size, pos, code))) return Result::nest(5, rc);
  if (code != ChunkCode::kFmt) return Result::fail(5);
  std::uint64_t bodySize = 0;
  if (Result::failed(rc = ReadU32LE(header, size, pos, bodySize))) return Result::nest(6, rc);
  if (bodySize == 0) return Result::fail(6);

  // Only the bytes the fields need are read, and only those the file has.
  std::uint8_t body[kFormatFieldBytes];
  const qint64 bodyGot = file.read(reinterpret_cast<char*>(body),
                                   static_cast<qint64>(std::min(bodySize, kFormatFieldBytes)));
  const std::uint64_t available = bodyGot < 0 ? 0 : static_cast<std::uint64_t>(bodyGot);
  file.close();
  struct Field {
    unsigned offset, width;
  };
  static const Field kFields[6] = {{0, 2}, {2, 2}, {4, 4}, {8, 4}, {12, 2}, {14, 2}};
  for (unsigned f = 0; f < 6; ++f) {
    if (kFields[f].offset + kFields[f].width > available) return Result::fail(7 + f);
    const std::uint64_t v = LittleEndian(body + kFields[f].offset, kFields[f].width);
    switch (f) {
      case 0: format->SetFormatTag(static_cast<std::uint16_t>(v)); break;
      case 1: format->SetChannels(static_cast<std::uint16_t>(v)); break;
      case 2: format->SetSampleRate(v); break;
      case 3: format->SetByteRate(v); break;
      case 4: format->SetBlockAlign(static_cast<std::uint16_t>(v)); break;
      default: format->SetBitsPerSample(static_cast<std::uint16_t>(v)); break;
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::RefreshWaveFormat(CAudioWaveForm* wave) {
  if (!wave) return Result::fail(1);
  const CAudioWaveData* data = wave->GetWaveData();
  if (!data) return Result::fail(2);
  std::string path;
  ResultCode rc = data->GetFilePath(path);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (Result::failed(rc = ReadWaveFormat(wave->GetWaveFormat(), path))) return Result::nest(4, rc);
  return Result::kOk;
}
