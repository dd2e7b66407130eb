#include "audioFileMngr.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <new>

#include "SoundFile.h"
#include "WholeWrite.h"

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

// Why the last libsndfile call on `file` failed: the system's words when the
// system refused it (no space left, file too large), else libsndfile's.
QString systemReason(SNDFILE* file) {
  if (errno != 0) return WholeWrite::reason(errno);
  return QString::fromLocal8Bit(sf_strerror(file));
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

namespace {

constexpr sf_count_t kBlock = 1024;  // frames per read and write

enum class ReadOutcome { Ok, Short, NoMemory, AppendFailed };

sf_count_t readFrames(SNDFILE* f, short* to, sf_count_t frames) { return sf_readf_short(f, to, frames); }
sf_count_t readFrames(SNDFILE* f, float* to, sf_count_t frames) { return sf_readf_float(f, to, frames); }

// Reads `count` stereo frames from frame `from` block by block and hands
// each block to `append`: memory grows with what the file really holds,
// never with the count its header announces.
template <typename Sample, typename Append>
ReadOutcome readStereoBlocks(SNDFILE* f, sf_count_t from, sf_count_t count, Append append) {
  std::vector<Sample> block;
  try {
    block.resize(kBlock * 2);
  } catch (const std::bad_alloc&) {
    return ReadOutcome::NoMemory;
  }
  if (from > 0 && sf_seek(f, from, SEEK_SET) != from) return ReadOutcome::Short;
  for (sf_count_t done = 0; done < count;) {
    const sf_count_t got = readFrames(f, block.data(), std::min(kBlock, count - done));
    if (got <= 0) return ReadOutcome::Short;
    try {
      append(block.data(), static_cast<std::size_t>(got));
    } catch (const std::bad_alloc&) {
      return ReadOutcome::AppendFailed;
    }
    done += got;
  }
  return ReadOutcome::Ok;
}

// The result code of a read for the four outcomes, in the caller's table.
struct ReadCodes {
  unsigned shortRead, noMemory, appendFailed;
};

ResultCode codeOf(ReadOutcome outcome, const ReadCodes& codes) {
  switch (outcome) {
    case ReadOutcome::Ok: return Result::kOk;
    case ReadOutcome::Short: return Result::fail(codes.shortRead);
    case ReadOutcome::NoMemory: return Result::fail(codes.noMemory);
    case ReadOutcome::AppendFailed: break;
  }
  return Result::fail(codes.appendFailed);
}

bool outOfMemory(ReadOutcome outcome) {
  return outcome == ReadOutcome::NoMemory || outcome == ReadOutcome::AppendFailed;
}

// Stereo frames from the first two channels of `frames` frames of
// `channels` channels (a single channel on both sides).
template <typename Sample>
void firstTwoChannels(const Sample* in, std::size_t channels, Sample* out, std::size_t frames) {
  for (std::size_t f = 0; f < frames; ++f) {
    out[2 * f] = in[f * channels];
    out[2 * f + 1] = in[f * channels + (channels > 1 ? 1 : 0)];
  }
}

}  // namespace

ResultCode audioFileMngr::readFloatBuffer(const std::wstring& path, float*& samples, std::uint64_t& count) {
  exceptFlag = 0;
  samples = nullptr;
  count = 0;
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(3);
  if (info.channels != 2) return Result::fail(4);
  std::vector<float> all;
  const ReadOutcome read = readStereoBlocks<float>(f.get(), 0, info.frames, [&](const float* block, std::size_t n) {
    all.insert(all.end(), block, block + 2 * n);
  });
  // A file that ends before its announced length gives what it holds.
  if (outOfMemory(read)) {
    exceptFlag = 1;
    return Result::fail(5);
  }
  std::unique_ptr<float[]> buffer(new (std::nothrow) float[all.empty() ? 1 : all.size()]());
  if (!buffer) {
    exceptFlag = 1;
    return Result::fail(5);
  }
  std::copy(all.begin(), all.end(), buffer.get());
  count = all.size();
  samples = buffer.release();
  return Result::kOk;
}

ResultCode audioFileMngr::readShortBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  exceptFlag = 0;
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(3);
  // Frames of any other channel count are not the left/right pairs these
  // bytes promise (and would not fit the stereo blocks).
  if (info.channels != 2) return Result::fail(7);
  const std::size_t before = bytes.size();
  const ReadOutcome read = readStereoBlocks<short>(f.get(), 0, info.frames, [&](const short* block, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) appendFrame16(bytes, block + 2 * i);
  });
  if (read == ReadOutcome::Ok) return Result::kOk;
  bytes.resize(before);
  if (outOfMemory(read)) exceptFlag = 1;
  return codeOf(read, {5, 4, 6});
}

ResultCode audioFileMngr::readFloatSamples(const std::wstring& path, std::vector<float>& samples) {
  exceptFlag = 0;
  SF_INFO info{};
  SoundFilePtr f(openSoundFile(path, SFM_READ, info));
  if (!f) return Result::fail(3);
  if (info.channels != 2) return Result::fail(7);
  const std::size_t before = samples.size();
  const ReadOutcome read = readStereoBlocks<float>(f.get(), 0, info.frames, [&](const float* block, std::size_t n) {
    samples.insert(samples.end(), block, block + 2 * n);
  });
  if (read == ReadOutcome::Ok) return Result::kOk;
  samples.resize(before);
  if (outOfMemory(read)) exceptFlag = 1;
  return codeOf(read, {5, 4, 6});
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
  // A range reaching the end of the file ends with the file's last frame:
  // stopping one frame short would drop it.
  const std::uint64_t bound = std::min(end, static_cast<std::uint64_t>(std::max<sf_count_t>(info.frames, 0)));
  if (start >= bound) return Result::kOk;
  const ReadOutcome read = readStereoBlocks<short>(
      f.get(), static_cast<sf_count_t>(start), static_cast<sf_count_t>(bound - start),
      [&](const short* block, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) appendFrame16(bytes, block + 2 * i);
      });
  if (read == ReadOutcome::Ok) return Result::kOk;
  bytes.clear();
  if (outOfMemory(read)) exceptFlag = 1;
  return codeOf(read, {8, 7, 9});
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
  errorText.clear();
  SF_INFO inInfo{};
  SoundFilePtr in(openSoundFile(source, SFM_READ, inInfo));
  if (!in) return Result::fail(1);
  SF_INFO outInfo = workCopyFormat();
  errno = 0;
  SoundFilePtr out(openSoundFile(target.toStdWString(), SFM_WRITE, outInfo));
  if (!out) {
    errorText = WholeWrite::cannotCreate(target, systemReason(nullptr));
    return Result::fail(2);
  }
  // A failed copy must not leave a half-written work copy behind.
  auto discard = [&](ResultCode code) {
    out.reset();
    QFile::remove(target);
    return code;
  };
  // The analysis and rendering workers copy on their own threads: only a
  // copy on the GUI thread lets the window handle its events meanwhile, so
  // no worker's event loop runs a queued call in the middle of its job.
  const QCoreApplication* app = QCoreApplication::instance();
  const bool onGuiThread = app && QThread::currentThread() == app->thread();
  try {
    // libsndfile hands float samples out as shorts without scaling them
    // (every sample would become 0 or +-1), so a float source goes through
    // float and is scaled to 16 bits on writing, clipped at full scale.
    // Integer sources stay on shorts: their samples are copied exactly.
    const int subtype = inInfo.format & SF_FORMAT_SUBMASK;
    const bool floatSource = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    if (floatSource) sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The callers check for stereo first; a source of other channels is
    // still read whole frames at a time (its first two channels, a mono
    // one on both), never into a buffer too small for them.
    const auto channels = static_cast<std::size_t>(std::max(inInfo.channels, 1));
    const std::size_t aside = channels == 2 ? 0 : kBlock * channels;
    std::vector<short> buffer(kBlock * 2), shortsIn(floatSource ? 0 : aside);
    std::vector<float> floats(floatSource ? kBlock * 2 : 0), floatsIn(floatSource ? aside : 0);
    const sf_count_t total = inInfo.frames;
    sf_count_t copied = 0;
    while (copied < total) {
      const sf_count_t wanted = std::min(kBlock, total - copied);
      sf_count_t got = 0;
      if (floatSource)
        got = sf_readf_float(in.get(), channels == 2 ? floats.data() : floatsIn.data(), wanted);
      else
        got = sf_readf_short(in.get(), channels == 2 ? buffer.data() : shortsIn.data(), wanted);
      // A source that ends before its announced length is damaged.
      if (got <= 0 || sf_error(in.get()) != SF_ERR_NO_ERROR) return discard(Result::fail(6));
      if (channels != 2) {
        if (floatSource)
          firstTwoChannels(floatsIn.data(), channels, floats.data(), static_cast<std::size_t>(got));
        else
          firstTwoChannels(shortsIn.data(), channels, buffer.data(), static_cast<std::size_t>(got));
      }
      // A NaN has no level: silence, not the full-scale value the 16-bit
      // conversion makes of it. Infinities clip to full scale.
      if (floatSource) {
        for (sf_count_t i = 0; i < 2 * got; ++i) {
          if (std::isnan(floats[static_cast<std::size_t>(i)])) floats[static_cast<std::size_t>(i)] = 0.0f;
        }
      }
      errno = 0;
      const sf_count_t put = floatSource ? sf_writef_float(out.get(), floats.data(), got)
                                         : sf_writef_short(out.get(), buffer.data(), got);
      if (put != got) {
        // A full temporary folder is the user's to mend: say so.
        errorText = WholeWrite::cannotWrite(target, systemReason(out.get()));
        return discard(Result::fail(4));
      }
      copied += got;
      if (onGuiThread && copied < total) QCoreApplication::processEvents();
    }
    out.reset();  // closing writes the header
  } catch (...) {
    exceptFlag = 1;
    return discard(Result::fail(5));
  }
  return Result::kOk;
}
