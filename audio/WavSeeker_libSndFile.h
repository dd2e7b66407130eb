#pragma once
// A seekable reader of interleaved float frames over libsndfile, for
// playback and display. It has the operations of a seekable sample source
// (seek, read, length), then channels and sample rate, without deriving
// from one: the playback path holds it by its own type.

#include <sndfile.h>

#include <cstdint>
#include <string>

class WavSeeker_libSndFile {
 public:
  WavSeeker_libSndFile() = default;
  explicit WavSeeker_libSndFile(const std::wstring& path);
  virtual ~WavSeeker_libSndFile();
  WavSeeker_libSndFile(const WavSeeker_libSndFile&) = delete;
  WavSeeker_libSndFile& operator=(const WavSeeker_libSndFile&) = delete;

  // Closes the current file and opens `path` into this object; false when
  // it cannot be opened (the reader then reads nothing).
  bool open(const std::wstring& path);
  void close();
  bool isOpen() const { return handle != nullptr; }
  // Closes the current file and takes over `other`'s open file and its
  // record; `other` is left without a file, so the handle is closed once.
  void takeFile(WavSeeker_libSndFile& other);

  virtual void seek(std::uint64_t frame);
  // Values past the frames read are zero.
  virtual std::uint64_t read(float* dst, std::uint64_t frames);
  virtual std::uint64_t length();
  virtual std::uint32_t channels();
  virtual float sampleRate();

 private:
  SNDFILE* handle = nullptr;
  SF_INFO info{};
};
