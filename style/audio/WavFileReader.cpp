#include "WavFileReader.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Large reads go from the file straight into the output, past the file
// object's own buffer and in few calls.
constexpr std::uint64_t kBlockSize = 1 << 20;
constexpr std::uint64_t kHeaderSize = 20;

// Reads the id at `pos` of a header of `size` bytes and requires `code`.
ResultCode ExpectId(const std::uint8_t* header, std::uint64_t size, std::uint64_t& pos, std::uint8_t code) {
  std::uint8_t found = ChunkCode::kNone;
  const ResultCode rc = CChunkBase::ReadChunkId(header, size, pos, found);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (found != code) return Result::fail(4);
  return Result::kOk;
}

// A non-zero little-endian size at `pos`.
ResultCode ReadSize(const std::uint8_t* header, std::uint64_t size, std::uint64_t& pos, std::uint64_t& value) {
  const ResultCode rc = CChunkBase::ReadU32LE(header, size, pos, value);
  if (Result::failed(rc)) return Result::nest(5, rc);
  if (value == 0) return Result::fail(6);
  return Result::kOk;
}

ResultCode ReadData(QFile& file, std::vector<std::uint8_t>& out) {
  std::uint8_t header[kHeaderSize];
  qint64 got = file.read(reinterpret_cast<char*>(header), kHeaderSize);
  if (got < 0) got = 0;
  std::uint64_t size = static_cast<std::uint64_t>(got);
  std::uint64_t pos = 0;
  std::uint64_t value = 0;
  ResultCode rc = ExpectId(header, size, pos, ChunkCode::kRIFF);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = ReadSize(header, size, pos, value))) return rc;
  if (size < 12 || std::memcmp(header + 8, "WAVE", 4) != 0) return Result::fail(7);
  pos = 12;
  if (Result::failed(rc = ExpectId(header, size, pos, ChunkCode::kFmt))) return rc;
  std::uint64_t formatSize = 0;
  if (Result::failed(rc = ReadSize(header, size, pos, formatSize))) return rc;

  // The format body is stepped over, but only when the file really holds it.
  const std::uint64_t fileSize = static_cast<std::uint64_t>(file.size());
  const std::uint64_t afterFormat = kHeaderSize + formatSize;
  if (afterFormat > fileSize || !file.seek(static_cast<qint64>(afterFormat))) return Result::fail(8);

  got = file.read(reinterpret_cast<char*>(header), 8);
  size = got < 0 ? 0 : static_cast<std::uint64_t>(got);
  pos = 0;
  if (Result::failed(rc = ExpectId(header, size, pos, ChunkCode::kData))) return rc;
  std::uint64_t dataSize = 0;
  if (Result::failed(rc = ReadSize(header, size, pos, dataSize))) return rc;
  if (dataSize > fileSize - afterFormat - 8) return Result::fail(8);

  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(dataSize));
  std::uint64_t done = 0;
  while (done < dataSize) {
    const std::uint64_t n = std::min(kBlockSize, dataSize - done);
    if (file.read(reinterpret_cast<char*>(out.data() + start + done), static_cast<qint64>(n)) !=
        static_cast<qint64>(n)) {
      out.resize(start);
      return Result::fail(8);
    }
    done += n;
  }
  return Result::kOk;
}

}  // namespace

ResultCode WavFileReader::Read(std::vector<std::uint8_t>& out, const std::string& path) {
  if (path.empty()) return Result::fail(1);
  QFile file(QString::fromUtf8(path.c_str(), static_cast<int>(path.size())));
  if (!file.open(QIODevice::ReadOnly)) return Result::fail(1);
  const std::size_t before = out.size();
  try {
    const ResultCode rc = ReadData(file, out);
    file.close();
    return rc;
  } catch (const std::bad_alloc&) {
    out.resize(before);
    return Result::fail(2);
  }
}
