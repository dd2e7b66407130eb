#include "audioFileMngr.h"

#include <QFile>

#include <memory>
#include <new>

#include "SoundFile.h"

namespace {

// Closes a libsndfile handle when it goes out of scope.
struct SoundFileCloser {
  void operator()(SNDFILE* f) const {
    if (f) sf_close(f);
  }
};
using SoundFilePtr = std::unique_ptr<SNDFILE, SoundFileCloser>;

void appendFrame16(std::vector<std::uint8_t>& bytes, const short* frame) {
  for (int c = 0; c < 2; ++c) {
    const auto v = static_cast<std::uint16_t>(frame[c]);
    bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  }
}

}  // namespace

IF_audioFileMngr* audioFileMngr::create() { return new (std::nothrow) audioFileMngr(); }

void audioFileMngr::clearError() {
  errorText.clear();
  exceptFlag = 0;
}

ResultCode audioFileMngr::checkFile(const std::wstring& path, std::uint64_t& frames) {
  exceptFlag = 0;
  SF_INFO info{};
  SNDFILE* f = openSoundFile(path, SFM_READ, info);
  if (!f) return Result::fail(3);
  sf_close(f);
  if (info.channels != 2) return Result::fail(4);
  if (!(info.format & 0x0002)) return Result::fail(5);
  if (info.samplerate != 44100) return Result::fail(6);
  if (info.sections != 1) return Result::fail(7);
  if (!info.seekable) return Result::fail(8);
  frames = static_cast<std::uint64_t>(info.frames);
  return Result::kOk;
}

ResultCode audioFileMngr::readFloatBuffer(const std::wstring& path, float*& samples, std::uint64_t& count) {
  exceptFlag = 0;
  samples = nullptr;
  count = 0;
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(3);
  if (info.channels != 2) return Result::fail(4);
  const auto values = static_cast<std::size_t>(info.frames) * 2;
  std::unique_ptr<float[]> buffer(new (std::nothrow) float[values ? values : 1]());
  if (!buffer) {
    exceptFlag = 1;
    return Result::fail(5);
  }
  const sf_count_t got = sf_readf_float(f.get(), buffer.get(), info.frames);
  count = static_cast<std::uint64_t>(got > 0 ? got : 0) * 2;
  samples = buffer.release();
  return Result::kOk;
}

namespace {

enum class ReadOutcome { Ok, Short, NoMemory };

// Reads `count` frames from `start` as 16-bit samples and appends 4 bytes a
// frame to `bytes`.
ReadOutcome readFrames16(SNDFILE* f, std::uint64_t start, std::uint64_t count, std::vector<std::uint8_t>& bytes) {
  try {
    std::vector<short> frames(static_cast<std::size_t>(count) * 2);
    if (start > 0 && sf_seek(f, static_cast<sf_count_t>(start), SEEK_SET) < 0) return ReadOutcome::Short;
    const sf_count_t got = sf_readf_short(f, frames.data(), static_cast<sf_count_t>(count));
    if (got < static_cast<sf_count_t>(count)) return ReadOutcome::Short;
    bytes.reserve(bytes.size() + frames.size() * 2);
    for (std::size_t i = 0; i < frames.size(); i += 2) appendFrame16(bytes, &frames[i]);
  } catch (const std::bad_alloc&) {
    return ReadOutcome::NoMemory;
  }
  return ReadOutcome::Ok;
}

}  // namespace

ResultCode audioFileMngr::readShortBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  exceptFlag = 0;
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(3);
  switch (readFrames16(f.get(), 0, static_cast<std::uint64_t>(info.frames), bytes)) {
    case ReadOutcome::Ok: return Result::kOk;
    case ReadOutcome::Short: return Result::fail(5);
    case ReadOutcome::NoMemory: break;
  }
  exceptFlag = 1;
  return Result::fail(4);
}

ResultCode audioFileMngr::readFloatSamples(const std::wstring& path, std::vector<float>& samples) {
  exceptFlag = 0;
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(3);
  try {
    std::vector<float> all(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
    const sf_count_t got = sf_readf_float(f.get(), all.data(), info.frames);
    if (got < info.frames) return Result::fail(5);
    samples.insert(samples.end(), all.begin(), all.end());
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(4);
  }
  return Result::kOk;
}

ResultCode audioFileMngr::readShortBytesRange(const std::wstring& path, std::vector<std::uint8_t>& bytes,
                                              std::uint64_t start, std::uint64_t end) {
  exceptFlag = 0;
  bytes.clear();
  if (start >= end) return Result::fail(1);
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(4);
  if (info.channels != 2) return Result::fail(5);
  const auto total = static_cast<std::uint64_t>(info.frames);
  const std::uint64_t bound = std::min(end, total);
  if (start >= bound) return Result::kOk;
  // Only the wanted range is read, not the whole file.
  switch (readFrames16(f.get(), start, bound - start, bytes)) {
    case ReadOutcome::Ok: return Result::kOk;
    case ReadOutcome::Short: bytes.clear(); return Result::fail(8);
    case ReadOutcome::NoMemory: break;
  }
  exceptFlag = 1;
  bytes.clear();
  return Result::fail(7);
}

ResultCode audioFileMngr::writeWaveFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  SF_INFO info = workCopyFormat();
  SoundFilePtr f(openSoundFile(path, SFM_WRITE, info));
  if (!f) return Result::fail(4);
  const std::size_t frameCount = bytes.size() / 4;
  std::vector<float> samples(frameCount * 2);
  for (std::size_t i = 0; i < frameCount * 2; ++i) {
    const auto v = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    samples[i] = static_cast<float>(v) / 32768.0f;
  }
  const sf_count_t written = sf_writef_float(f.get(), samples.data(), static_cast<sf_count_t>(frameCount));
  if (written < static_cast<sf_count_t>(frameCount)) return Result::fail(5);
  return Result::kOk;
}

ResultCode audioFileMngr::copyFile(const std::wstring& source, const QString& target) {
  exceptFlag = 0;
  SF_INFO inInfo{};
  SoundFilePtr in(openSoundFile(source, SFM_READ, inInfo));
  if (!in) return Result::fail(1);
  SF_INFO outInfo = workCopyFormat();
  SoundFilePtr out(openSoundFile(target.toStdWString(), SFM_WRITE, outInfo));
  if (!out) return Result::fail(2);
  // A failed copy must not leave a half-written work copy behind.
  auto discard = [&](ResultCode code) {
    out.reset();
    QFile::remove(target);
    return code;
  };
  try {
    // libsndfile hands float samples out as shorts without scaling them
    // (every sample would become 0 or +-1), so a float source goes through
    // float and is scaled to 16 bits on writing, clipped at full scale.
    // Integer sources stay on shorts: their samples are copied exactly.
    const int subtype = inInfo.format & SF_FORMAT_SUBMASK;
    const bool floatSource = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    if (floatSource) sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    constexpr sf_count_t kBlock = 1024;
    std::vector<short> buffer(kBlock * 2);
    std::vector<float> floats(floatSource ? kBlock * 2 : 0);
    const sf_count_t total = inInfo.frames;
    sf_count_t copied = 0;
    while (copied < total) {
      const sf_count_t wanted = std::min(kBlock, total - copied);
      const sf_count_t got = floatSource ? sf_readf_float(in.get(), floats.data(), wanted)
                                         : sf_readf_short(in.get(), buffer.data(), wanted);
      // A source that ends before its announced length is damaged.
      if (got <= 0 || sf_error(in.get()) != SF_ERR_NO_ERROR) return discard(Result::fail(6));
      const sf_count_t put = floatSource ? sf_writef_float(out.get(), floats.data(), got)
                                         : sf_writef_short(out.get(), buffer.data(), got);
      if (put != got) return discard(Result::fail(4));
      copied += got;
    }
    out.reset();  // closing writes the header; check the file really holds the frames
  } catch (...) {
    exceptFlag = 1;
    return discard(Result::fail(5));
  }
  return Result::kOk;
}
