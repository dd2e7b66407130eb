#pragma once
// The sample bytes of one recording (the Adat chunk): the body of its WAV
// file's "data" chunk, unchanged. They are held in memory, or in a ".dat"
// file in the temporary folder that this object owns, or not at all, in
// which case they are still in the source WAV file whose path is kept.
//
// The ".dat" file belongs to exactly one object: a copy gets a file of its
// own, and clearing, destroying or giving the object other bytes removes
// only its own file. A removal that fails keeps the path, so the next clear
// tries again. At most one of memory and ".dat" file holds bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "ResultCode.h"

class CAudioWaveData {
 public:
  CAudioWaveData() = default;
  // Removes the own ".dat" file.
  virtual ~CAudioWaveData();
  CAudioWaveData(const CAudioWaveData&) = delete;

  // Same source path; a ".dat" file of the other is copied to a new file of
  // this object's own; in-memory bytes are copied. On failure the object is
  // left as it was (CopyFrom reports it).
  CAudioWaveData& operator=(const CAudioWaveData& other);
  // As operator=. 1 no unique path; 2 + c copying the ".dat" file; 3 no
  // memory for the bytes.
  ResultCode CopyFrom(const CAudioWaveData& other);
  // Same source path, same ".dat" path and same in-memory bytes.
  bool operator==(const CAudioWaveData& other) const;
  bool operator!=(const CAudioWaveData& other) const { return !(*this == other); }

  // Path of the source WAV file (UTF-8).
  ResultCode SetFilePath(const std::string& path);
  ResultCode GetFilePath(std::string& path) const;
  ResultCode ClearFilePath();

  // Removes the ".dat" file, then keeps a copy of the bytes in memory.
  // 1 null data or length 0; 2 no memory (the bytes are then empty).
  ResultCode SetBytes(const std::uint8_t* data, std::uint64_t length);
  ResultCode GetMemorySize(std::uint64_t& size) const;
  // Zeroes n bytes of the buffer and copies min(size, n) in-memory bytes
  // into it. 1 a ".dat" file is held; 2 null buffer or n = 0; 3 no bytes in
  // memory.
  ResultCode GetMemoryBytes(std::uint8_t* buffer, std::uint64_t n) const;
  ResultCode ClearBytes();

  // Removes the old ".dat" file, empties the in-memory bytes and writes the
  // data to a new ".dat" file. 1 null data or length 0; 2 no unique path;
  // 3 + c the write (no file is kept then).
  ResultCode SetBytesToTempFile(const std::uint8_t* data, std::uint64_t length);
  // size = 0, then the ".dat" file's size. 1 no ".dat" file.
  ResultCode GetTempFileSize(std::uint64_t& size) const;
  // Reads min(file size, n) bytes of the ".dat" file. 1 no ".dat" file;
  // 2 null buffer or n = 0; 3 the file is empty or missing; 4 + c the read.
  ResultCode ReadTempFile(std::uint8_t* buffer, std::uint64_t n) const;
  // 1 no ".dat" file; 2 + c the removal (the path is kept).
  ResultCode DeleteTempFile();
  // Path of the own ".dat" file; empty when there is none.
  const std::string& GetTempFilePath() const { return tempPath_; }

  // Empties the bytes and removes the ".dat" file; 0.
  ResultCode Clear();

  // `out` becomes the sample bytes: those of the ".dat" file when it holds
  // any, else the in-memory ones, else those of the source WAV file.
  // 3 + c reading the ".dat" file; 5 + c copying the in-memory bytes (a
  // ".dat" path whose file is empty or missing); 7 + c reading the WAV file;
  // 8 no memory.
  ResultCode LoadBytes(std::vector<std::uint8_t>& out) const;

 private:
  std::string filePath_;
  std::string tempPath_;
  std::vector<std::uint8_t> bytes_;
};
