#include "WavSeeker_libSndFile.h"

#include <algorithm>

#include "SoundFile.h"

WavSeeker_libSndFile::WavSeeker_libSndFile(const std::wstring& path) { open(path); }

WavSeeker_libSndFile::~WavSeeker_libSndFile() { close(); }

bool WavSeeker_libSndFile::open(const std::wstring& path) {
  close();
  info = SF_INFO{};
  handle = openSoundFile(path, SFM_READ, info);
  if (!handle) info = SF_INFO{};
  return handle != nullptr;
}

void WavSeeker_libSndFile::close() {
  if (handle) sf_close(handle);
  handle = nullptr;
}

void WavSeeker_libSndFile::takeFile(WavSeeker_libSndFile& other) {
  if (&other == this) return;
  close();
  handle = other.handle;
  info = other.info;
  other.handle = nullptr;
  other.info = SF_INFO{};
}

void WavSeeker_libSndFile::seek(std::uint64_t frame) {
  if (!handle) return;
  const auto target = static_cast<sf_count_t>(std::min<std::uint64_t>(frame, length()));
  sf_seek(handle, target, SEEK_SET);
}

std::uint64_t WavSeeker_libSndFile::read(float* dst, std::uint64_t frames) {
  const std::uint64_t values = frames * channels();
  std::uint64_t got = 0;
  if (handle && frames > 0) {
    const sf_count_t n = sf_readf_float(handle, dst, static_cast<sf_count_t>(frames));
    got = n > 0 ? static_cast<std::uint64_t>(n) : 0;
  }
  std::fill(dst + got * channels(), dst + values, 0.0f);
  return got;
}

std::uint64_t WavSeeker_libSndFile::length() { return info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0; }

std::uint32_t WavSeeker_libSndFile::channels() {
  return info.channels > 0 ? static_cast<std::uint32_t>(info.channels) : 2;
}

float WavSeeker_libSndFile::sampleRate() { return info.samplerate > 0 ? static_cast<float>(info.samplerate) : 44100.0f; }
