// The audio-file service: the fingerprint of a recording's audio.

#include <algorithm>
#include <vector>

#include "SoundFile.h"
#include "audioFileMngr.h"

ResultCode audioFileMngr::fingerprint(const std::wstring& path, RecordingFingerprint& out) {
  out = RecordingFingerprint();
  SF_INFO info{};
  SNDFILE* file = openSoundFile(path, SFM_READ, info);
  if (!file) return Result::fail(1);
  // Floats hold every 16- and 24-bit sample exactly, whatever the file's
  // own sample format; the header's other fields take no part.
  constexpr sf_count_t kBlock = 8192;
  const auto channels = static_cast<std::size_t>(info.channels > 0 ? info.channels : 1);
  std::vector<float> block(static_cast<std::size_t>(kBlock) * channels);
  FingerprintHash hash;
  sf_count_t read = 0;
  while (read < info.frames) {
    const sf_count_t got = sf_readf_float(file, block.data(), std::min(kBlock, info.frames - read));
    if (got <= 0) break;
    hash.add(block.data(), static_cast<std::size_t>(got) * channels * sizeof(float));
    read += got;
  }
  sf_close(file);
  if (read != info.frames) return Result::fail(2);
  out.frames = static_cast<std::uint64_t>(read);
  out.hash = hash.value();
  return Result::kOk;
}
