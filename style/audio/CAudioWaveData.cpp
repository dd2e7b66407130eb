#include "CAudioWaveData.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "FileHelpers.h"
#include "WavFileReader.h"

namespace {
const std::string kDatSuffix = ".dat";
}  // namespace

CAudioWaveData::~CAudioWaveData() {
  bytes_.clear();
  if (!tempPath_.empty() && Result::succeeded(RemoveFile(tempPath_))) tempPath_.clear();
  filePath_.clear();
}

CAudioWaveData& CAudioWaveData::operator=(const CAudioWaveData& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioWaveData::CopyFrom(const CAudioWaveData& other) {
  if (this == &other) return Result::kOk;
  // The two objects never share a ".dat" file: the other's is copied to a
  // new one before anything of ours is given up.
  std::string newTemp;
  if (!other.tempPath_.empty()) {
    std::string path;
    if (Result::failed(MakeUniqueTempFilePath(&kDatSuffix, &path)) || path.empty()) return Result::fail(1);
    const ResultCode rc = CopyFile(path, other.tempPath_);
    if (Result::failed(rc)) {
      RemoveFile(path);
      return Result::nest(2, rc);
    }
    if (GetFileSize(path) > 0) newTemp = path;
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes = other.bytes_;
  } catch (const std::bad_alloc&) {
    if (!newTemp.empty()) RemoveFile(newTemp);
    return Result::fail(3);
  }
  filePath_ = other.filePath_;
  if (!tempPath_.empty()) DeleteTempFile();
  tempPath_ = newTemp;
  bytes_.swap(bytes);
  return Result::kOk;
}

bool CAudioWaveData::operator==(const CAudioWaveData& o) const {
  return filePath_ == o.filePath_ && tempPath_ == o.tempPath_ && bytes_ == o.bytes_;
}

ResultCode CAudioWaveData::SetFilePath(const std::string& path) {
  filePath_ = path;
  return Result::kOk;
}

ResultCode CAudioWaveData::GetFilePath(std::string& path) const {
  path = filePath_;
  return Result::kOk;
}

ResultCode CAudioWaveData::ClearFilePath() {
  filePath_.clear();
  return Result::kOk;
}

ResultCode CAudioWaveData::SetBytes(const std::uint8_t* data, std::uint64_t length) {
  if (!data || length == 0) return Result::fail(1);
  if (!tempPath_.empty()) DeleteTempFile();
  try {
    bytes_.assign(data, data + length);
  } catch (const std::bad_alloc&) {
    std::vector<std::uint8_t>().swap(bytes_);
    return Result::fail(2);
  }
  return Result::kOk;
}

ResultCode CAudioWaveData::GetMemorySize(std::uint64_t& size) const {
  size = bytes_.size();
  return Result::kOk;
}

ResultCode CAudioWaveData::GetMemoryBytes(std::uint8_t* buffer, std::uint64_t n) const {
  if (!tempPath_.empty()) return Result::fail(1);
  if (!buffer || n == 0) return Result::fail(2);
  std::memset(buffer, 0, static_cast<std::size_t>(n));
  if (bytes_.empty()) return Result::fail(3);
  std::memcpy(buffer, bytes_.data(), static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size())));
  return Result::kOk;
}

ResultCode CAudioWaveData::ClearBytes() {
  std::vector<std::uint8_t>().swap(bytes_);
  return Result::kOk;
}

ResultCode CAudioWaveData::SetBytesToTempFile(const std::uint8_t* data, std::uint64_t length) {
  if (!data || length == 0) return Result::fail(1);
  if (!tempPath_.empty()) DeleteTempFile();
  ClearBytes();
  std::string path;
  if (Result::failed(MakeUniqueTempFilePath(&kDatSuffix, &path)) || path.empty()) return Result::fail(2);
  const ResultCode rc = WriteWholeFile(path, data, length);
  if (Result::failed(rc)) {
    RemoveFile(path);
    return Result::nest(3, rc);
  }
  tempPath_ = path;
  return Result::kOk;
}

ResultCode CAudioWaveData::GetTempFileSize(std::uint64_t& size) const {
  size = 0;
  if (tempPath_.empty()) return Result::fail(1);
  size = GetFileSize(tempPath_);
  return Result::kOk;
}

ResultCode CAudioWaveData::ReadTempFile(std::uint8_t* buffer, std::uint64_t n) const {
  if (tempPath_.empty()) return Result::fail(1);
  if (!buffer || n == 0) return Result::fail(2);
  const std::uint64_t size = GetFileSize(tempPath_);
  if (size == 0) return Result::fail(3);
  const ResultCode rc = ReadWholeFile(tempPath_, buffer, std::min(size, n));
  if (Result::failed(rc)) return Result::nest(4, rc);
  return Result::kOk;
}

ResultCode CAudioWaveData::DeleteTempFile() {
  if (tempPath_.empty()) return Result::fail(1);
  const ResultCode rc = RemoveFile(tempPath_);
  if (Result::failed(rc)) return Result::nest(2, rc);
  tempPath_.clear();
  return Result::kOk;
}

ResultCode CAudioWaveData::Clear() {
  ClearBytes();
  if (!tempPath_.empty()) DeleteTempFile();
  return Result::kOk;
}

ResultCode CAudioWaveData::LoadBytes(std::vector<std::uint8_t>& out) const {
  try {
    out.clear();
    std::uint64_t size = 0;
    if (!tempPath_.empty() && Result::succeeded(GetTempFileSize(size)) && size > 0) {
      out.resize(static_cast<std::size_t>(size));
      const ResultCode rc = ReadTempFile(out.data(), size);
      if (Result::failed(rc)) {
        out.clear();
        return Result::nest(3, rc);
      }
      return Result::kOk;
    }
    if (!bytes_.empty()) {
      out.resize(bytes_.size());
      const ResultCode rc = GetMemoryBytes(out.data(), out.size());
      if (Result::failed(rc)) {
        out.clear();
        return Result::nest(5, rc);
      }
      return Result::kOk;
    }
    WavFileReader reader;
    const ResultCode rc = reader.Read(out, filePath_);
    if (Result::failed(rc)) return Result::nest(7, rc);
    return Result::kOk;
  } catch (const std::bad_alloc&) {
    out.clear();
    return Result::fail(8);
  }
}
